#include "SourceCalls.h"

// psapi.h needs windows.h first.
#include <psapi.h>

#include "../common/ModuleNames.h"

namespace {

SRWLOCK Lock = SRWLOCK_INIT;
SourceCall Current;

// The sources' modules (".ds") that were loaded before the source was opened: the manager may
// keep others loaded; the one it loads for the opening is the source.
constexpr int MaxModules = 512;
HMODULE LoadedBefore[64];
int LoadedBeforeCount = 0;
HMODULE Opened = nullptr;
unsigned long Watched = 0;
ULONGLONG WatchedMilliseconds = 0;

bool IsSourceModule(HMODULE module) {
  wchar_t name[MAX_PATH] = L"";
  ModuleFileName(module, name, MAX_PATH);
  const int length = lstrlenW(name);
  return length > 3 && lstrcmpiW(name + length - 3, L".ds") == 0;
}

template <typename Visit>
void ForEachSourceModule(Visit visit) {
  HMODULE modules[MaxModules];
  DWORD bytes = 0;
  if (!K32EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return;
  const DWORD count = bytes / sizeof(HMODULE) < MaxModules ? bytes / sizeof(HMODULE) : MaxModules;
  for (DWORD i = 0; i < count; ++i)
    if (IsSourceModule(modules[i])) visit(modules[i]);
}

void NoteModulesBeforeOpening() {
  LoadedBeforeCount = 0;
  Opened = nullptr;
  ForEachSourceModule([](HMODULE module) {
    if (LoadedBeforeCount < 64) LoadedBefore[LoadedBeforeCount++] = module;
  });
}

HMODULE NewSourceModule() {
  HMODULE found = nullptr, any = nullptr;
  ForEachSourceModule([&](HMODULE module) {
    any = module;
    bool before = false;
    for (int i = 0; i < LoadedBeforeCount; ++i) before = before || LoadedBefore[i] == module;
    if (!before) found = module;
  });
  return found ? found : any;
}

}  // namespace

SourceCall CurrentSourceCall() {
  AcquireSRWLockShared(&Lock);
  const SourceCall copy = Current;
  ReleaseSRWLockShared(&Lock);
  return copy;
}

void WatchForReturn(unsigned long sequence) {
  AcquireSRWLockExclusive(&Lock);
  Watched = sequence;
  WatchedMilliseconds = 0;
  if (Current.sequence != sequence)
    WatchedMilliseconds = 1;  // it has returned, and another call has begun
  else if (!Current.inCall)
    WatchedMilliseconds = Current.endTick - Current.startTick + 1;
  ReleaseSRWLockExclusive(&Lock);
}

ULONGLONG WatchedCallMilliseconds() {
  AcquireSRWLockShared(&Lock);
  const ULONGLONG milliseconds = WatchedMilliseconds;
  ReleaseSRWLockShared(&Lock);
  return milliseconds;
}

SourceCallScope::SourceCallScope(TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data)
    : sequence_(0), start_(GetTickCount64()), opening_(dataType == DAT_IDENTITY && message == MSG_OPENDS) {
  if (opening_) NoteModulesBeforeOpening();
  const bool modalInterface = dataType == DAT_USERINTERFACE && message == MSG_ENABLEDS && data &&
                              static_cast<const TW_USERINTERFACE*>(data)->ShowUI;
  AcquireSRWLockExclusive(&Lock);
  sequence_ = ++Current.sequence;
  Current.inCall = true;
  Current.waitsOnDialog = modalInterface || message == MSG_USERSELECT;
  Current.startTick = start_;
  Current.dataType = dataType;
  Current.message = message;
  const PressStep step = StepOfCall(dataType, message);
  if (step != PressStep::None) Current.step = step;
  ReleaseSRWLockExclusive(&Lock);
}

SourceCallScope::~SourceCallScope() {
  const ULONGLONG end = GetTickCount64();
  AcquireSRWLockExclusive(&Lock);
  if (Current.sequence == sequence_) Current.inCall = false, Current.endTick = end;
  if (Watched == sequence_) WatchedMilliseconds = end - start_ + 1;
  ReleaseSRWLockExclusive(&Lock);
  if (opening_) Opened = NewSourceModule();
}

void ForgetPressSteps() {
  AcquireSRWLockExclusive(&Lock);
  Current.step = PressStep::None;
  ReleaseSRWLockExclusive(&Lock);
}

HMODULE SourceModule() {
  const SourceCall call = CurrentSourceCall();
  if (call.inCall && call.dataType == DAT_IDENTITY && call.message == MSG_OPENDS) return NewSourceModule();
  return Opened && IsSourceModule(Opened) ? Opened : nullptr;
}
