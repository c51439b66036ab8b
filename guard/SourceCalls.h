// The call that the user-interface thread is making into the manager or the source, kept for the
// watchdog and the last-chance handler, which read it from other threads; and the source's
// module, to name it in their lines.
#pragma once

#include <windows.h>

#include "CallSteps.h"

struct SourceCall {
  unsigned long sequence = 0;  // counts the calls; 0 before the first
  bool inCall = false;
  // A dialog is up while the call lasts: the source's own (an enable with its interface, which
  // some sources keep until the dialog is gone) or the manager's list of sources.
  bool waitsOnDialog = false;
  ULONGLONG startTick = 0, endTick = 0;
  TW_UINT16 dataType = 0, message = 0;
  PressStep step = PressStep::None;  // of this call, or of the last one of the press
};

// A consistent copy of the call in progress, or of the last one.
SourceCall CurrentSourceCall();

// The watchdog asks to learn when this call returns; the milliseconds it took, once it has
// returned, else 0.
void WatchForReturn(unsigned long sequence);
ULONGLONG WatchedCallMilliseconds();

// Marks one call to the manager for its scope.
class SourceCallScope {
 public:
  SourceCallScope(TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data);
  ~SourceCallScope();
  SourceCallScope(const SourceCallScope&) = delete;
  SourceCallScope& operator=(const SourceCallScope&) = delete;

 private:
  unsigned long sequence_;
  ULONGLONG start_;
  bool opening_;
};

// A press begins: no step of it yet.
void ForgetPressSteps();

// The module of the data source that is open or being opened, or null. Allocates nothing.
HMODULE SourceModule();
