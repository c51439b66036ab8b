// The texts of a scan: file paths, the external program's command line, the pixel type.
// Free of Win32.
#pragma once

#include <cstdint>
#include <string>

// The TWAIN pixel type for a colour type name: "BW" 0, "GREY" 1, anything else 2 (exact case).
std::int32_t PixelTypeFor(const std::wstring& colorTypeName);

// The name without any "." (the external program's file names).
std::wstring WithoutDots(const std::wstring& name);

// OutputFolder & name & ".bmp", with no separator added.
std::wstring ImagePath(const std::wstring& outputFolder, const std::wstring& name);

// The program path, a blank, OutputFolder & name & ".TIF". A program path with a blank is
// quoted unless it is quoted already, so that Windows starts that program and no other.
std::wstring ExternalCommandLine(const std::wstring& programPath, const std::wstring& outputFolder,
                                 const std::wstring& name);
