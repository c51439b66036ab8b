// The program's guard against a scanner driver that crashes or hangs inside its process, for the
// whole run:
// - the last-chance handler (an unhandled-exception filter and the C++ terminate handler) writes
//   one line to the error log and a small dump into "Logs" (the newest five are kept), and leaves
//   the restart to Windows unless the program crashed within ten minutes before;
// - the watchdog logs a call into the source that has not come back for the set time (60 s, or
//   ZEMBROLITE_HANG_SECONDS), and again when it returns. It kills nothing.
// Both work on a thread of their own that is started in advance, from buffers of fixed size:
// after a stack overflow the crashed thread has little stack left, and after a fault its heap may
// be damaged.
#pragma once

#include <windows.h>

class StationGuard {
 public:
  // The program's guard learns from pressInProgress whether a press is running. Without it the
  // guard is a scan worker's: its whole run is one press, and a crash ends the worker alone, with
  // no restart.
  explicit StationGuard(bool (*pressInProgress)() = nullptr);
  ~StationGuard();
  StationGuard(const StationGuard&) = delete;
  StationGuard& operator=(const StationGuard&) = delete;
};

// The procedure that a scan worker's crash and hang lines name: its task's ("Main_cmdZadudUVur_Click"
// until told otherwise). The text must outlive the guard.
void NameGuardedWork(const wchar_t* procedure);

// Asks Windows to restart the program after a crash or a hang, with the command line that marks
// the new run as such a restart; not after an update or a reboot.
void RegisterForRestart();
// True when the command line holds the restart's mark.
bool StartedAsRestart(const wchar_t* commandLine);
