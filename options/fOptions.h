// The options dialog "Settings": edits ScanSettings, chooses the TWAIN source, picks the output
// folder and the external program.
#pragma once

#include <windows.h>

// Shows the dialog modally over owner and returns when it has closed.
void ShowOptionsDialog(HWND owner);

// The open dialog, or null.
HWND OpenOptionsDialog();

// Closes the open dialog as the system's close command would (nothing is saved).
void CloseOptionsDialog();
