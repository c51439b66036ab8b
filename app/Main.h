// The main window: the scan button and the "File" menu.
#pragma once

#include <windows.h>

constexpr wchar_t MainClassName[] = L"ZembroliteMain";

// Registers the window class and creates the (not yet shown) main window; its load step
// has run when this returns. Returns null when the window cannot be created.
HWND CreateMain(HINSTANCE instance);

// The main window while it exists, else null.
HWND MainWindowHandle();

// Runs the thread's message loop until the last window of the program has closed.
int RunMessageLoop();
