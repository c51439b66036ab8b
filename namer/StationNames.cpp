#include "StationNames.h"

#include <bcrypt.h>
#include <shlobj.h>

#include <optional>

#include "../common/Handles.h"
#include "../common/MachineLock.h"

namespace {

// The station's users (BUILTIN\Users) may read, write and replace what the folder holds; the
// rest is inherited from the parent folder. Without this, the first user to save a name would
// own the record and every other user of the station would fall back to random names.
constexpr wchar_t StoreFolderRights[] = L"D:(A;OICI;0x1301BF;;;BU)";
ClockReading LocalClock() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::uint64_t RandomBits() {
  std::uint64_t bits = 0;
  if (BCRYPT_SUCCESS(
          BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&bits), sizeof bits, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
    return bits;
  // No system generator: mix what differs between calls, threads and processes.
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  static volatile LONG calls = 0;
  return static_cast<std::uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull ^
         (static_cast<std::uint64_t>(GetCurrentProcessId()) << 40) ^
         (static_cast<std::uint64_t>(GetCurrentThreadId()) << 20) ^
         static_cast<std::uint64_t>(InterlockedIncrement(&calls));
}

std::wstring ParentOf(const std::wstring& folder) {
  const size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

void MakeStoreFolder(const std::wstring& folder) {
  if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  const std::wstring parent = ParentOf(folder);
  if (!parent.empty()) CreateDirectoryW(parent.c_str(), nullptr);
  SecurityFromText rights(StoreFolderRights);
  CreateDirectoryW(folder.c_str(), rights.get());
}

std::optional<std::string> ReadRecord(HANDLE file) {
  char bytes[512];
  DWORD read = 0;
  if (!ReadFile(file, bytes, sizeof bytes, &read, nullptr)) return std::nullopt;
  return std::string(bytes, read);
}

bool ReplaceRecord(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
         WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && SetEndOfFile(file) && FlushFileBuffers(file);
}

// The next sequence name, recorded on disk before it is handed out, so that neither another
// program nor a power cut can see it issued twice.
std::optional<std::wstring> NameFromRecord(const StationNameSetup& setup, const std::string& station,
                                           std::uint32_t today) {
  if (setup.storeFolder.empty()) return std::nullopt;
  // Abandoned by a program that ended while holding it, the lock is still taken: a half-written
  // record then reads as damaged.
  SecurityFromText lockRights(MachineLockRights);
  MachineLock lock(SequenceLockName(setup.storeFolder).c_str(), lockRights.get(), setup.lockTimeoutMs);
  if (!lock.held()) return std::nullopt;
  MakeStoreFolder(setup.storeFolder);
  UniqueHandle file(CreateFileW(SequenceRecordPath(setup.storeFolder).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  const std::optional<std::string> stored = ReadRecord(file.get());
  if (!stored) return std::nullopt;
  const SequenceRecord next = NextRecord(DecodeRecord(*stored), today, RandomPart(RandomBits(), SequenceLength));
  if (!ReplaceRecord(file.get(), EncodeRecord(next))) return std::nullopt;
  return SequenceName(next, station);
}

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = L"";
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

}  // namespace

StationNameSetup StationSetup() {
  StationNameSetup setup;
  wchar_t programData[MAX_PATH] = L"";
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, programData)))
    setup.storeFolder = std::wstring(programData) + L"\\Zembrolite\\ImageNameProvider";
  setup.computerName = ComputerName();
  setup.clock = LocalClock;
  return setup;
}

std::wstring SequenceRecordPath(const std::wstring& storeFolder) { return storeFolder + L"\\NameSequence.txt"; }

std::wstring NextStationName(const StationNameSetup& setup) {
  const ClockReading now = setup.clock();
  const std::string station = StationPart(setup.computerName);
  if (auto name = NameFromRecord(setup, station, DayNumber(now))) return *name;
  return FallbackName(now, station, RandomPart(RandomBits(), FallbackRandomLength));
}
