// The program's side of a scan worker: a fresh worker process of the source's bitness for every
// press, which runs the whole TWAIN session and writes the image into a file the program has
// prepared. A driver that crashes or hangs then costs the worker, never the window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "WorkerMessages.h"

struct WorkerOutcome {
  bool imageWritten = false;
  // Why no image was saved, for the error log; empty when there is nothing to log: the press
  // saved its image, the operator or the program ended it, or the worker's guard has logged why
  // the worker ended.
  std::int32_t number = 0;
  std::wstring failure;
  bool done = false;  // the worker did what it was asked
};

// The worker program of a bitness, beside the program.
std::wstring WorkerProgramPath(unsigned bitness);

// The bitness of the sources a press reaches: the program's own for the 32-bit edition; for the
// 64-bit one, the bitness the user last chose a source of (64 until then).
unsigned WorkerBitnessForPress();

// Runs one job in a fresh worker of the bitness and waits for its end while the window's messages
// go on; the given window owns the worker's windows and, for a job with a dialog, takes no input
// meanwhile. A scan's prepared file must exist; the worker writes the image into it.
WorkerOutcome ScanInWorker(unsigned bitness, WorkerJob job, HWND mainWindow);

// A source in a manager's list, and the bitness of that manager.
struct ListedSource {
  unsigned bitness = 0;
  std::uint32_t index = 0;  // in its manager's list, from 1
  bool isDefault = false;   // its manager's default source
  std::wstring productName, manufacturer, productFamily;
};
// Lets the user pick one of the sources over the owner: its row, or -1 for none.
using SourcePicker = int (*)(HWND owner, const std::vector<ListedSource>& sources, int preselected);

// Lets the user choose the source that presses use, owned by the given window; the choice becomes
// the default source of its manager. The 32-bit edition shows the manager's own list, in a worker.
// The 64-bit one shows the sources of both bitnesses in pickFromBoth where there are sources of
// both, and the manager's own list of the one bitness otherwise; the bitness chosen is the one its
// presses use from then on.
void ChooseSourceInWorker(HWND owner, SourcePicker pickFromBoth);

// Starts the worker of the next press ahead of time, unless one of the bitness waits already;
// and ends the one that waits, when the program closes.
void StartNextWorker() noexcept;
void EndWaitingWorker();

// The program is closing: the running press is asked to end without an image, and its worker is
// ended if it has not within a few seconds.
void CancelWorkerScan();
