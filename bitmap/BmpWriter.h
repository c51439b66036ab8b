// The writer of .bmp files: the packed DIB of a native transfer, as the source handed it over
// (its memory the manager's), written straight from that block.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Writes the packed DIB in image to path as a .bmp file. The handle is released and the
// variable set to null on every path. An existing file is replaced only by a complete new one.
std::int32_t WriteDibToBmp(HGLOBAL& image, const std::wstring& path);
// The same straight into the prepared file, which is emptied first and on failure may hold part of
// the image; a failure names path, where the image was to go.
std::int32_t WriteDibIntoFile(HGLOBAL& image, const std::wstring& preparedFile, const std::wstring& path);
