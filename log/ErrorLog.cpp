#include "ErrorLog.h"

#include <windows.h>

#include "../common/Handles.h"
#include "../common/WinText.h"
#include "LogText.h"

namespace {

// Paths and lines in buffers of their own: the last-chance handler writes through the same code
// and must not allocate.
using PathText = FixedText<MAX_PATH * 2>;
using LineText = FixedText<2048>;

// The log folder of the program (ending with "\"), set once at start for the last-chance handler.
PathText PreparedFolder;

void AppendNow(FixedText<128>& text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t date[64] = L"", time[64] = L"";
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 64);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 64);
  AppendGeneralDateTime(text, date, time, now.wHour == 0 && now.wMinute == 0 && now.wSecond == 0);
}

bool FolderExists(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSize(const wchar_t* path, ULONGLONG& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

void RollOverIfTooLarge(const wchar_t* logFolder, const wchar_t* logFile) {
  ULONGLONG size = 0;
  if (!FileSize(logFile, size) || !LogNeedsRollover(size)) return;
  FixedText<128> now;
  AppendNow(now);
  PathText archive(logFolder);
  AppendArchiveFileName(archive, now.c_str());
  // Like a file-system Move, this refuses to replace an archive of the same name;
  // the line then goes to the large log.
  MoveFileW(logFile, archive.c_str());
}

void AppendBytes(const wchar_t* logFile, const char* bytes, int length) {
  UniqueHandle file(CreateFileW(logFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), bytes, static_cast<DWORD>(length), &written, nullptr);
}

// The log's one writer: the folder made when missing, the log moved aside when too large, then
// the line in the system's code page, in one write.
template <typename Text>
void WriteLine(const wchar_t* logFolder, const Text& line) {
  PathText logFile(logFolder);
  logFile.append(L"Error.log");
  if (!FolderExists(logFolder)) CreateDirectoryW(logFolder, nullptr);
  RollOverIfTooLarge(logFolder, logFile.c_str());
  char bytes[sizeof(LineText) * 2];
  const int length = WideCharToMultiByte(CP_ACP, 0, line.c_str(), static_cast<int>(line.size()), bytes,
                                         static_cast<int>(sizeof bytes), nullptr, nullptr);
  if (length > 0) {
    AppendBytes(logFile.c_str(), bytes, length);
  } else if (line.size() > 0) {
    const std::string ansi = ToAnsi(std::wstring(line.c_str(), line.size()));  // longer than the buffer
    AppendBytes(logFile.c_str(), ansi.data(), static_cast<int>(ansi.size()));
  }
}

}  // namespace

std::wstring NowText() {
  FixedText<128> now;
  AppendNow(now);
  return now.c_str();
}

void AppendErrorLine(const std::wstring& logFolder, std::int32_t number, const std::wstring& description,
                     const std::wstring& procedureName) noexcept {
  try {
    FixedText<128> now;
    AppendNow(now);
    std::wstring line;
    AppendLogLine(line, now.c_str(), number, description.c_str(), procedureName.c_str());
    WriteLine(logFolder.c_str(), line);
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

void PrepareLastChanceLog() { PreparedFolder = PathText((ProgramFolder() + L"\\Logs\\").c_str()); }

const wchar_t* PreparedLogFolder() { return PreparedFolder.c_str(); }

void AppendLastChanceLine(std::int32_t number, const wchar_t* description, const wchar_t* procedureName) noexcept {
  static LineText line;  // the handler runs once; its stack may be nearly spent
  line = LineText();
  FixedText<128> now;
  AppendNow(now);
  AppendLogLine(line, now.c_str(), number, description, procedureName);
  WriteLine(PreparedFolder.c_str(), line);
}
