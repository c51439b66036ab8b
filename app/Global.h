// Process-wide texts written once by the main window's load step.
#pragma once

#include <string>

extern std::wstring AppTitle;    // "Zembrolite", then "Zembrolite 1.0.0": the main window's caption
extern std::wstring AppVersion;  // "1.0.0"

constexpr wchar_t ProductName[] = L"Zembrolite";
