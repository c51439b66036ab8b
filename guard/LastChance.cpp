#include "LastChance.h"

#include <dbghelp.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdlib>
#include <exception>

#include "../common/Handles.h"
#include "../common/ModuleNames.h"
#include "../log/ErrorLog.h"
#include "../log/LogText.h"
#include "SourceCalls.h"
#include "CrashText.h"

namespace {

constexpr wchar_t ScanProcedure[] = L"Main_cmdZadudUVur_Click";
constexpr wchar_t MainProcedure[] = L"Main";
constexpr int DumpsKept = 5;
constexpr ULONG HandlerStackBytes = 64 * 1024;
constexpr DWORD WatchIntervalMs = 250;
constexpr std::int32_t HangNumber = ERROR_TIMEOUT;

#ifdef _MSC_VER
constexpr std::uint32_t CppThrowCode = VisualCppExceptionCode;
#else
constexpr std::uint32_t CppThrowCode = GccExceptionCode;
#endif

using PathText = FixedText<MAX_PATH * 2>;
using WriteDumpProc = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                    PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

struct GuardState {
  UniqueHandle stop, crashRequested, crashHandled, thread;
  DWORD threadId = 0;
  UniqueModule dbghelp;
  WriteDumpProc writeDump = nullptr;
  ULONGLONG hangMs = 60000;
  bool (*pressInProgress)() = nullptr;           // null in a scan worker
  const wchar_t* workProcedure = ScanProcedure;  // what a scan worker's run is for
  LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
  std::terminate_handler previousTerminate = nullptr;
};
GuardState State;

bool InPress() { return !State.pressInProgress || State.pressInProgress(); }

// The crash being handled, written by the crashed thread before it wakes the guard's thread.
LONG Crashing = 0;
EXCEPTION_POINTERS* CrashPointers = nullptr;
DWORD CrashThreadId = 0;
// The terminate handler's own record of an escaped C++ exception.
EXCEPTION_RECORD TerminateRecord;
CONTEXT TerminateContext;
EXCEPTION_POINTERS TerminatePointers = {&TerminateRecord, &TerminateContext};

template <typename Text>
void AppendDigits(Text& text, unsigned value, int width) {
  wchar_t digits[10];
  for (int i = width - 1; i >= 0; --i, value /= 10) digits[i] = static_cast<wchar_t>(L'0' + value % 10);
  text.append(digits, static_cast<std::size_t>(width));
}

std::uint64_t SecondsNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000000;
}

// The crash before this one is kept in "Logs\LastCrash.txt" as seconds on the system clock. A
// second crash within ten minutes withdraws the restart, so that a driver that crashes at once
// cannot keep the station in a loop.
bool DecideRestart() {
  PathText path(PreparedLogFolder());
  CreateDirectoryW(path.c_str(), nullptr);
  path.append(L"LastCrash.txt");
  char text[32] = "";
  DWORD length = 0;
  {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) ReadFile(file.get(), text, sizeof text - 1, &length, nullptr);
  }
  std::uint64_t previous = 0;
  for (DWORD i = 0; i < length && text[i] >= '0' && text[i] <= '9'; ++i) previous = previous * 10 + (text[i] - '0');
  const std::uint64_t now = SecondsNow();
  FixedText<24> digits;
  crashtext::AppendDecimal(digits, now);
  char written[24];
  const int count = static_cast<int>(digits.size());
  for (int i = 0; i < count; ++i) written[i] = static_cast<char>(digits.c_str()[i]);
  UniqueHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD done = 0;
  if (file) WriteFile(file.get(), written, static_cast<DWORD>(count), &done, nullptr);
  const bool restarts = RestartsAfterCrash(previous, now);
  if (!restarts) UnregisterApplicationRestart();
  return restarts;
}

void WriteDump() {
  if (!State.writeDump) return;
  SYSTEMTIME time;
  GetLocalTime(&time);
  PathText path(PreparedLogFolder());
  path.append(L"Zembrolite-");
  AppendDigits(path, time.wYear, 4), AppendDigits(path, time.wMonth, 2), AppendDigits(path, time.wDay, 2);
  path.append(L"-");
  AppendDigits(path, time.wHour, 2), AppendDigits(path, time.wMinute, 2), AppendDigits(path, time.wSecond, 2);
  path.append(L"-");
  AppendDigits(path, time.wMilliseconds, 3);
  path.append(L".dmp");
  UniqueHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  // The threads' stacks and the module list: enough to see where a driver failed.
  MINIDUMP_EXCEPTION_INFORMATION exception = {CrashThreadId, CrashPointers, FALSE};
  State.writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpNormal, &exception, nullptr, nullptr);
}

// The dumps' names hold their time, so the smallest names are the oldest.
void PruneDumps() {
  constexpr int MaxSeen = 64;
  static wchar_t names[MaxSeen][64];
  int count = 0;
  PathText pattern(PreparedLogFolder());
  pattern.append(L"Zembrolite-*.dmp");
  WIN32_FIND_DATAW found;
  UniqueFind search(FindFirstFileW(pattern.c_str(), &found));
  for (bool more = static_cast<bool>(search); more && count < MaxSeen; more = FindNextFileW(search.get(), &found))
    if (lstrlenW(found.cFileName) < 64) lstrcpyW(names[count++], found.cFileName);
  while (count > DumpsKept) {
    int oldest = 0;
    for (int i = 1; i < count; ++i)
      if (lstrcmpW(names[i], names[oldest]) < 0) oldest = i;
    PathText path(PreparedLogFolder());
    path.append(names[oldest]);
    DeleteFileW(path.c_str());
    lstrcpyW(names[oldest], names[--count]);
  }
}

void HandleCrash() {
  static wchar_t module[MAX_PATH], moduleNote[MAX_PATH * 2], source[MAX_PATH], sourceNote[MAX_PATH * 2];
  static FixedText<2048> description;
  const EXCEPTION_RECORD& record = *CrashPointers->ExceptionRecord;
  CrashFacts facts;
  facts.code = record.ExceptionCode;
  if (facts.code == AccessViolationCode && record.NumberParameters >= 2) {
    facts.accessKnown = true;
    facts.accessKind = static_cast<std::uint32_t>(record.ExceptionInformation[0]);
    facts.accessAddress = record.ExceptionInformation[1];
  }
  if (HMODULE at = ModuleAt(record.ExceptionAddress)) {
    ModuleFileName(at, module, MAX_PATH);
    ModuleNote(at, moduleNote, MAX_PATH * 2);
    facts.module = module;
    facts.moduleNote = moduleNote;
    facts.moduleOffset =
        reinterpret_cast<std::uintptr_t>(record.ExceptionAddress) - reinterpret_cast<std::uintptr_t>(at);
  }
  const SourceCall call = CurrentSourceCall();
  if (HMODULE sourceModule = call.inCall ? SourceModule() : nullptr) {
    ModuleFileName(sourceModule, source, MAX_PATH);
    ModuleNote(sourceModule, sourceNote, MAX_PATH * 2);
    facts.source = source;
    facts.sourceNote = sourceNote;
  }
  facts.inPress = InPress();
  facts.step = call.step;
  facts.inWorker = !State.pressInProgress;
  facts.restarts = !facts.inWorker && DecideRestart();
  description = FixedText<2048>();
  AppendCrashDescription(description, facts);
  AppendLastChanceLine(static_cast<std::int32_t>(facts.code), description.c_str(),
                       facts.inPress ? State.workProcedure : MainProcedure);
  WriteDump();
  PruneDumps();
}

// The crashed thread hands the work to the guard's thread, whose stack and state are sound.
void HandOverCrash(EXCEPTION_POINTERS* pointers) {
  CrashPointers = pointers;
  CrashThreadId = GetCurrentThreadId();
  if (State.thread && CrashThreadId != State.threadId) {
    SetEvent(State.crashRequested.get());
    WaitForSingleObject(State.crashHandled.get(), 60000);
  } else {
    HandleCrash();
  }
}

// A scan worker ends at once with the exception's code, which tells the program that its guard
// has logged: no error report of Windows is shown for it, and no thread of it lingers.
void EndScanWorker(DWORD code) {
  if (!State.pressInProgress) TerminateProcess(GetCurrentProcess(), code);
}

LONG WINAPI LastChanceFilter(EXCEPTION_POINTERS* pointers) {
  if (InterlockedExchange(&Crashing, 1) == 0) HandOverCrash(pointers);
  EndScanWorker(pointers->ExceptionRecord->ExceptionCode);
  // Windows' error reporting goes on from here, and restarts the program when it was asked to.
  return EXCEPTION_CONTINUE_SEARCH;
}

// An exception escaped the program's own code, or one was thrown while another unwound.
[[noreturn]] void LastChanceTerminate() {
  if (InterlockedExchange(&Crashing, 1) == 0) {
    RtlCaptureContext(&TerminateContext);
    TerminateRecord = EXCEPTION_RECORD();
    TerminateRecord.ExceptionCode = CppThrowCode;
#ifdef _MSC_VER
    TerminateRecord.ExceptionAddress = _ReturnAddress();
#else
    TerminateRecord.ExceptionAddress = __builtin_return_address(0);
#endif
    HandOverCrash(&TerminatePointers);
  }
  EndScanWorker(CppThrowCode);
  RaiseException(CppThrowCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);  // for Windows' error reporting
  std::abort();
}

void LogHang(const SourceCall& call, ULONGLONG milliseconds, bool returned, bool inPress) {
  wchar_t source[MAX_PATH] = L"", note[MAX_PATH * 2] = L"";
  HMODULE module = SourceModule();
  ModuleFileName(module, source, MAX_PATH);
  ModuleNote(module, note, MAX_PATH * 2);
  FixedText<1024> text;
  AppendHangDescription(text, source, note, call.dataType, call.message, milliseconds / 1000, returned);
  LogError(returned ? 0 : HangNumber, text.c_str(), inPress ? State.workProcedure : MainProcedure);
}

// One line when a call into the source has not come back for the set time, and one when it has,
// both under the name of the procedure that made the call.
void Watch(unsigned long& reported, SourceCall& reportedCall, bool& reportedInPress) {
  if (reported != 0) {
    const ULONGLONG took = WatchedCallMilliseconds();
    if (took == 0) return;
    LogHang(reportedCall, took, true, reportedInPress);
    reported = 0;
    return;
  }
  const SourceCall call = CurrentSourceCall();
  const ULONGLONG waited = GetTickCount64() - call.startTick;
  if (!call.inCall || call.waitsOnDialog || waited < State.hangMs) return;
  reported = call.sequence;
  reportedCall = call;
  reportedInPress = InPress();
  WatchForReturn(reported);
  LogHang(call, waited, false, reportedInPress);
}

DWORD WINAPI GuardThread(void*) {
  HANDLE waits[] = {State.stop.get(), State.crashRequested.get()};
  unsigned long reported = 0;
  SourceCall reportedCall;
  bool reportedInPress = false;
  for (;;) {
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, WatchIntervalMs);
    if (woke == WAIT_OBJECT_0) {
      Watch(reported, reportedCall, reportedInPress);  // a call reported as hung may have returned since
      return 0;
    }
    if (woke == WAIT_OBJECT_0 + 1) {
      HandleCrash();
      SetEvent(State.crashHandled.get());
      return 0;
    }
    Watch(reported, reportedCall, reportedInPress);
  }
}

ULONGLONG HangMilliseconds() {
  const wchar_t* given = _wgetenv(L"ZEMBROLITE_HANG_SECONDS");
  const int seconds = given ? _wtoi(given) : 0;
  return (seconds > 0 ? seconds : 60) * 1000ULL;
}

}  // namespace

void NameGuardedWork(const wchar_t* procedure) { State.workProcedure = procedure; }

StationGuard::StationGuard(bool (*pressInProgress)()) {
  State.pressInProgress = pressInProgress;
  PrepareLastChanceLog();
  wchar_t system[MAX_PATH] = L"";
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length > 0 && length < MAX_PATH - 16) {
    PathText path(system);
    path.append(L"\\dbghelp.dll");
    State.dbghelp.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  }
  if (State.dbghelp)
    State.writeDump = reinterpret_cast<WriteDumpProc>(
        reinterpret_cast<void*>(GetProcAddress(State.dbghelp.get(), "MiniDumpWriteDump")));
  State.hangMs = HangMilliseconds();
  ULONG guarantee = HandlerStackBytes;
  SetThreadStackGuarantee(&guarantee);
  State.stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  State.crashRequested.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  State.crashHandled.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (State.stop && State.crashRequested && State.crashHandled)
    State.thread.reset(CreateThread(nullptr, 256 * 1024, GuardThread, nullptr, 0, &State.threadId));
  State.previousFilter = SetUnhandledExceptionFilter(LastChanceFilter);
  State.previousTerminate = std::set_terminate(LastChanceTerminate);
}

StationGuard::~StationGuard() {
  std::set_terminate(State.previousTerminate);
  SetUnhandledExceptionFilter(State.previousFilter);
  if (State.thread) {
    SetEvent(State.stop.get());
    WaitForSingleObject(State.thread.get(), 5000);
  }
  State = GuardState();
}

void RegisterForRestart() { RegisterApplicationRestart(RestartArgument, RESTART_NO_PATCH | RESTART_NO_REBOOT); }

bool StartedAsRestart(const wchar_t* commandLine) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
  bool restarted = false;
  for (int i = 1; arguments && i < count; ++i) restarted = restarted || lstrcmpiW(arguments[i], RestartArgument) == 0;
  LocalFree(arguments);
  return restarted;
}
