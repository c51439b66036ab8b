#include "ErrorLog.h"

#include <windows.h>

#include <optional>

#include "../common/Handles.h"
#include "../common/MachineLock.h"
#include "../common/WinText.h"
#include "LogText.h"

namespace {

// Paths and lines in buffers of their own: the last-chance handler writes through the same code
// and must not allocate.
using PathText = FixedText<MAX_PATH * 2>;
using LineText = FixedText<2048>;
using LockName = FixedText<64>;

// Every program that writes to a log folder (this one and its scan worker, of either bitness,
// under any user) takes the folder's lock around the rollover and the append. A holder that does
// not let go within this time is not waited for: the line is written anyway.
constexpr DWORD LockTimeoutMs = 5000;

// Where a line goes: the folder (ending with "\") and the name of its lock.
struct LogTarget {
  PathText folder;
  LockName lock;
};

// The lock's name from the folder's full path in capitals, so that every spelling of one folder
// gives the same lock.
LogTarget TargetOf(const wchar_t* logFolder) {
  LogTarget target{PathText(logFolder), LockName()};
  wchar_t full[MAX_PATH * 2] = L"";
  const DWORD length = GetFullPathNameW(logFolder, MAX_PATH * 2, full, nullptr);
  const wchar_t* path = length > 0 && length < MAX_PATH * 2 ? full : logFolder;
  wchar_t folded[MAX_PATH * 2] = L"";
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path, -1, folded, MAX_PATH * 2) > 0) path = folded;
  AppendLogLockName(target.lock, path);
  return target;
}

// The program's log and the security attributes of its lock, set once at start for the
// last-chance handler.
LogTarget PreparedTarget;
std::optional<SecurityFromText> PreparedLockRights;

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

// The log's one writer: the line in the system's code page, the folder made when missing, then
// under the folder's lock the log moved aside when too large and the line appended in one write.
template <typename Text>
void WriteLine(const LogTarget& target, SECURITY_ATTRIBUTES* lockRights, const Text& line) {
  const wchar_t* const logFolder = target.folder.c_str();
  PathText logFile(logFolder);
  logFile.append(L"Error.log");
  char bytes[sizeof(LineText) * 2];
  const int length = WideCharToMultiByte(CP_ACP, 0, line.c_str(), static_cast<int>(line.size()), bytes,
                                         static_cast<int>(sizeof bytes), nullptr, nullptr);
  std::string longer;  // a line longer than the buffer
  if (length <= 0 && line.size() > 0) longer = ToAnsi(std::wstring(line.c_str(), line.size()));
  if (!FolderExists(logFolder)) CreateDirectoryW(logFolder, nullptr);
  const MachineLock lock(target.lock.c_str(), lockRights, LockTimeoutMs);
  RollOverIfTooLarge(logFolder, logFile.c_str());
  if (length > 0)
    AppendBytes(logFile.c_str(), bytes, length);
  else if (!longer.empty())
    AppendBytes(logFile.c_str(), longer.data(), static_cast<int>(longer.size()));
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
    SecurityFromText lockRights(MachineLockRights);
    WriteLine(TargetOf(logFolder.c_str()), lockRights.get(), line);
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

void PrepareLastChanceLog() {
  PreparedTarget = TargetOf((ProgramFolder() + L"\\Logs\\").c_str());
  PreparedLockRights.emplace(MachineLockRights);
}

const wchar_t* PreparedLogFolder() { return PreparedTarget.folder.c_str(); }

std::wstring ErrorLogLockName(const std::wstring& logFolder) { return TargetOf(logFolder.c_str()).lock.c_str(); }

void AppendLastChanceLine(std::int32_t number, const wchar_t* description, const wchar_t* procedureName) noexcept {
  static LineText line;  // the handler runs once; its stack may be nearly spent
  line = LineText();
  FixedText<128> now;
  AppendNow(now);
  AppendLogLine(line, now.c_str(), number, description, procedureName);
  WriteLine(PreparedTarget, PreparedLockRights ? PreparedLockRights->get() : nullptr, line);
}
