#include "ErrorLog.h"

#include <windows.h>

#include "../common/Handles.h"
#include "../common/WinText.h"
#include "LogText.h"

namespace {

std::wstring FormatWith(int(WINAPI* format)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int), DWORD flags,
                        const SYSTEMTIME& time) {
  const int needed = format(LOCALE_USER_DEFAULT, flags, &time, nullptr, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<size_t>(needed), L'\0');
  format(LOCALE_USER_DEFAULT, flags, &time, nullptr, &text[0], needed);
  text.resize(static_cast<size_t>(needed - 1));
  return text;
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSize(const std::wstring& path, ULONGLONG& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

void RollOverIfTooLarge(const std::wstring& logFolder, const std::wstring& logFile) {
  ULONGLONG size = 0;
  if (!FileSize(logFile, size) || !LogNeedsRollover(size)) return;
  // Like a file-system Move, this refuses to replace an archive of the same name;
  // the line then goes to the large log.
  MoveFileW(logFile.c_str(), (logFolder + ArchiveFileName(NowText())).c_str());
}

void AppendLine(const std::wstring& logFile, const std::string& line) {
  UniqueHandle file(CreateFileW(logFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

std::wstring NowText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const bool midnight = now.wHour == 0 && now.wMinute == 0 && now.wSecond == 0;
  return GeneralDateTimeText(FormatWith(GetDateFormatW, DATE_SHORTDATE, now), FormatWith(GetTimeFormatW, 0, now),
                             midnight);
}

void AppendErrorLine(const std::wstring& logFolder, std::int32_t number, const std::wstring& description,
                     const std::wstring& procedureName) noexcept {
  try {
    const std::wstring logFile = logFolder + L"Error.log";
    if (!FolderExists(logFolder)) CreateDirectoryW(logFolder.c_str(), nullptr);
    RollOverIfTooLarge(logFolder, logFile);
    AppendLine(logFile, ToAnsi(LogLineText(NowText(), number, description, procedureName)));
  } catch (...) {
    // The log is the last resort for failures; a failure here has nowhere to go.
  }
}

void LogError(std::int32_t number, const std::wstring& description, const std::wstring& procedureName) noexcept {
  try {
    AppendErrorLine(ProgramFolder() + L"\\Logs\\", number, description, procedureName);
  } catch (...) {
  }
}
