// The program's windows inside the test process: its main window (made once, with the
// program's resources linked in), its options dialog driven step by step from within the
// dialog's own modal loop, and the files beside the test executable that the program uses.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The program's main window, shown; made at the first call.
HWND MainWindow();

// Writes Settings.ini beside the executable (none for "-"), removes the log folder and loads.
void UseSettings(const std::string& contents);
std::string SettingsFile();
std::string ErrorLog();

struct FontFacts {
  std::wstring face;
  int height, weight;
};
FontFacts FontOf(HWND window);

// A step of a dialog script; one that returns false runs again at the next tick (waiting for
// a window to appear or close). Steps never nest, so clicks that open a window are posted.
using Step = std::function<bool(HWND dialog)>;
// Opens the options dialog over the main window and runs the steps inside its modal loops;
// after 20 s the dialog and what it opened are closed and the test fails.
void RunOptionsDialog(const std::vector<Step>& steps);
// A shown window of this thread other than the main window and the dialog, or null.
HWND WindowOver(HWND dialog);

// Saves what the screen shows of a window's client area as a 24-bit .bmp file.
bool SaveWindowPicture(HWND window, const std::wstring& path);
