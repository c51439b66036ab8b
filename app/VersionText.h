// The program's version as shown in its title. Free of Win32.
#pragma once

#include <string>

// major.minor.revision in decimal, no blanks and no leading zeros: "1.0.0", "2.10.3".
std::wstring VersionText(unsigned major, unsigned minor, unsigned revision);

// The product name, a blank and the version: "Zembrolite 1.0.0".
std::wstring TitleText(const std::wstring& productName, const std::wstring& version);
