// Conversions between the program's wide text and the system's 8-bit code page,
// and the few process facts that several modules need.
#pragma once

#include <windows.h>

#include <string>

#include "AppError.h"

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

// The folder of the running executable, without a trailing separator
// ("C:\Program Files\Zembrolite"; "C:" for a program in a drive's root).
std::wstring ProgramFolder();

// The DPI of the screen that shows the window: per monitor where Windows offers it (Windows 10
// 1607 and later, for a program that says it is aware), otherwise the DPI its text is drawn at.
int WindowDpi(HWND window);
// True where the system tells each window's DPI, as Windows 10 1607 and later (and Wine) do.
bool TellsEachWindowsDpi();

// The failure that a Win32 call just reported through GetLastError.
AppError LastWin32Error();
