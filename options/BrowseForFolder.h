// The shell's folder browser.
#pragma once

#include <string>

// The file-system path of the folder that the user chose ("C:\Scans", "C:\" for a drive root),
// or "" when the browser was cancelled or the item has no file-system path.
std::wstring BrowseForFolder(const std::wstring& prompt);
