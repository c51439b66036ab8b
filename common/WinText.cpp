#include "WinText.h"

#include <windows.h>

#include <vector>

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, &result[0], needed, nullptr, nullptr);
  return result;
}

std::wstring FromAnsi(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring result(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, &result[0], needed);
  return result;
}

std::wstring ProgramFolder() {
  // Paths beyond MAX_PATH are possible, so grow the buffer until the name fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD copied = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (copied == 0) return {};
    if (copied < buffer.size()) {
      std::wstring path(buffer.data(), copied);
      return path.substr(0, path.find_last_of(L'\\') == std::wstring::npos ? 0 : path.find_last_of(L'\\'));
    }
    buffer.resize(buffer.size() * 2);
  }
}

AppError LastWin32Error() {
  const DWORD code = GetLastError();
  wchar_t* message = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring description = length ? std::wstring(message, length) : std::wstring();
  if (message) LocalFree(message);
  while (!description.empty() &&
         (description.back() == L'\n' || description.back() == L'\r' || description.back() == L' '))
    description.pop_back();
  return {static_cast<std::int32_t>(code), description};
}

namespace {

using GetDpiForWindowProc = UINT(WINAPI*)(HWND);

GetDpiForWindowProc GetDpiForWindowIfAny() {
  static const auto found = reinterpret_cast<GetDpiForWindowProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return found;
}

}  // namespace

bool TellsEachWindowsDpi() { return GetDpiForWindowIfAny() != nullptr; }

int WindowDpi(HWND window) {
  const GetDpiForWindowProc getDpiForWindow = GetDpiForWindowIfAny();
  if (getDpiForWindow && window) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(window);
  const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(window, dc);
  return dpi > 0 ? dpi : 96;
}
