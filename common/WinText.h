// Conversions between the program's wide text and the system's 8-bit code page,
// and the few process facts that several modules need.
#pragma once

#include <string>

#include "AppError.h"

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);

// The folder of the running executable, without a trailing separator
// ("C:\Program Files\Zembrolite"; "C:" for a program in a drive's root).
std::wstring ProgramFolder();

// The failure that a Win32 call just reported through GetLastError.
AppError LastWin32Error();
