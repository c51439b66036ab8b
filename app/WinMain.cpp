// The program's entry: one running copy, one main window, its message loop.
#include <windows.h>

#include "../common/ComHandles.h"
#include "../common/Handles.h"
#include "../log/ErrorLog.h"
#include "../guard/LastChance.h"
#include "Main.h"
#include "ScanCommand.h"

namespace {

// Held for the whole run; a second copy finds it and ends before it reads or writes anything.
constexpr wchar_t RunningCopyMutexName[] = L"Local\\Zembrolite.RunningCopy.6C2E5F0A";

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  UniqueHandle runningCopy(CreateMutexW(nullptr, FALSE, RunningCopyMutexName));
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  // Scanner drivers run in the scan workers, each with a guard of its own; this one is for the
  // program's own faults and for what it loads (the name provider, the shell's dialogs): a crash
  // is logged, and Windows restarts the program.
  StationGuard guard(PressInProgress);
  RegisterForRestart();
  if (StartedAsRestart(GetCommandLineW())) LogError(0, L"Restarted by Windows after a crash.", L"Main");

  // The UI thread is a single-threaded apartment: automation objects, shell dialogs.
  ComApartment apartment;
  HWND main = CreateMain(instance);
  if (!main) return 1;
  ShowWindow(main, showCommand);
  UpdateWindow(main);
  return RunMessageLoop();
}
