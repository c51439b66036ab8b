#include "Driver.h"

#include <gtest/gtest.h>

#include "../probe/ZProbe.h"
#include "../unit/TestFolders.h"

ProgramCopy::ProgramCopy() { prepare(L""); }

ProgramCopy::ProgramCopy(const std::wstring& suffix) { prepare(suffix); }

void ProgramCopy::prepare(const std::wstring& suffix) {
  folder_ = FreshTestFolder(L"runs", suffix);
  CopyFileW((TestExeFolder() + L"\\Zembrolite.exe").c_str(), path(L"Zembrolite.exe").c_str(), FALSE);
}

ProgramCopy::~ProgramCopy() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

void ProgramCopy::writeSettings(const std::string& contents) const { WriteFileBytes(path(L"Settings.ini"), contents); }

bool ProgramCopy::start() {
  std::wstring commandLine = L"\"" + path(L"Zembrolite.exe") + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  // The working folder is deliberately not the program's own: the program must find its files by itself.
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, TestExeFolder().c_str(), &startup,
                      &info))
    return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  return true;
}

HWND ProgramCopy::waitForMainWindow(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    for (HWND window : WindowsOfProcess(processId_))
      if (ClassOf(window) == ProgramClassName && IsWindowVisible(window)) {
        WaitForInputIdle(process_, 5000);
        return window;
      }
    if (WaitForSingleObject(process_, 50) == WAIT_OBJECT_0) return nullptr;
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool ProgramCopy::waitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_, exitCode);
  return true;
}

namespace {

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM searchAddress) {
  auto& search = *reinterpret_cast<WindowSearch*>(searchAddress);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId) search.found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM listAddress) {
  auto& list = *reinterpret_cast<std::vector<HWND>*>(listAddress);
  if (GetParent(child) == GetAncestor(child, GA_PARENT)) list.push_back(child);
  return TRUE;
}

BOOL CALLBACK CollectDescendant(HWND child, LPARAM listAddress) {
  reinterpret_cast<std::vector<HWND>*>(listAddress)->push_back(child);
  return TRUE;
}

// Receives the probe's report.
struct ReportWindow {
  ProbeReport report;
  bool arrived = false;
};

LRESULT CALLBACK ReportProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    auto* target = reinterpret_cast<ReportWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (target && data->dwData == ProbeReportTag) {
      std::wstring text(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
      size_t begin = 0;
      while (begin < text.size()) {
        size_t end = text.find(L'\n', begin);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(begin, end - begin);
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) target->report[line.substr(0, equals)] = line.substr(equals + 1);
        begin = end + 1;
      }
      target->arrived = true;
    }
    return TRUE;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

std::vector<HWND> WindowsOfProcess(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> VisibleWindowsOfProcess(DWORD processId) {
  std::vector<HWND> visible;
  for (HWND window : WindowsOfProcess(processId))
    if (IsWindowVisible(window)) visible.push_back(window);
  return visible;
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = L"";
  // Cross-process, WM_GETTEXT reads what the window holds; GetWindowText would only read the cache.
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, nullptr);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

SIZE ClientSize(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  return {client.right - client.left, client.bottom - client.top};
}

RECT ChildRect(HWND child) {
  RECT rect = {};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> list;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&list));
  return list;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> list;
  EnumChildWindows(parent, CollectDescendant, reinterpret_cast<LPARAM>(&list));
  return list;
}

ProbeReport Probe(HWND target, long request) {
  static const UINT query = RegisterWindowMessageW(ProbeQueryMessageName);
  HMODULE probe = LoadLibraryW((TestExeFolder() + L"\\ZProbe.dll").c_str());
  auto hookProc =
      probe ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, ProbeHookExport))) : nullptr;
  if (!hookProc) {
    ADD_FAILURE() << "ZProbe.dll or its hook is missing";
    return {};
  }

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = ReportProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"ZembroliteProbeReport";
  RegisterClassW(&windowClass);
  ReportWindow result;
  HWND receiver = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
  SetWindowLongPtrW(receiver, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&result));

  const DWORD thread = GetWindowThreadProcessId(target, nullptr);
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, hookProc, probe, thread);
  if (!hook) ADD_FAILURE() << "cannot hook the program's UI thread: " << GetLastError();
  PostMessageW(target, query, reinterpret_cast<WPARAM>(receiver), request);

  const DWORD start = GetTickCount();
  while (hook && !result.arrived && GetTickCount() - start < 10000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  if (hook) UnhookWindowsHookEx(hook);
  DestroyWindow(receiver);
  if (!result.arrived) ADD_FAILURE() << "the probe did not answer";
  return result.report;
}

std::wstring ReportValue(const ProbeReport& report, const std::wstring& key) {
  const auto found = report.find(key);
  return found == report.end() ? L"<missing>" : found->second;
}

UINT MenuCommandId(const ProbeReport& report, const std::wstring& text) {
  for (const auto& entry : report)
    if (entry.first.rfind(L"menu.", 0) == 0 && entry.second == text) {
      auto id = report.find(entry.first + L".id");
      if (id != report.end()) return static_cast<UINT>(std::stoul(id->second));
    }
  return 0;
}

COLORREF ScreenColourAt(HWND window, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(window, &point);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

void PressScan(HWND mainWindow) {
  const auto children = Children(mainWindow);
  if (!children.empty()) PostMessageW(children[0], BM_CLICK, 0, 0);
}

HWND FindProcessWindow(DWORD processId, const std::wstring& className) {
  for (HWND window : WindowsOfProcess(processId))
    if (ClassOf(window) == className && IsWindowVisible(window)) return window;
  return nullptr;
}

bool SaveWindowPicture(HWND window, const std::wstring& path) {
  // The client area: without a window manager the frame shows whatever lies below it.
  RECT rect;
  if (!GetClientRect(window, &rect)) return false;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  const DWORD stride = ((width * 3 + 3) / 4) * 4;
  header.biSizeImage = stride * height;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP picture = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ previous = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(static_cast<const char*>(bits), header.biSizeImage);
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(picture);
  ReleaseDC(nullptr, screen);
  WriteFileBytes(path, bytes);
  return true;
}
