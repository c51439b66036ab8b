// The program's own list of TWAIN sources, for the 64-bit edition where sources of both bitnesses
// are installed: each source with its manufacturer and bitness, in columns wide enough for every
// name, at the DPI of the screen that shows it, and used from the keyboard as well as the mouse.
#pragma once

#include <windows.h>

#include <vector>

#include "../worker/ScanWorker.h"

// Shows the list modally over owner with the given row selected: the row the user picks, or -1.
int PickSource(HWND owner, const std::vector<ListedSource>& sources, int preselected);
