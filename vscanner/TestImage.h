// The virtual scanner's test pattern, as a packed DIB in memory handed over to the application or
// as a DIB section.
#pragma once

#include <windows.h>

#include <cstdint>

// A width x height image of the pixel type (0 black and white, 1 grey, 2 colour) at dpi dots
// per inch; null when it cannot be allocated.
HGLOBAL MakeTestImage(std::int32_t width, std::int32_t height, int pixelType, double dpi);
// The same image as a DIB section, as some drivers hand over in place of a packed DIB: its rows
// bottom-up or top-down.
HBITMAP MakeTestSection(std::int32_t width, std::int32_t height, int pixelType, double dpi, bool topDown);
// FNV-1a over the pixel bytes of an image that MakeTestImage or MakeTestSection made, in the
// order of a bottom-up DIB, as tests compare with a file.
std::uint32_t PixelChecksum(HGLOBAL dib);
std::uint32_t SectionChecksum(HBITMAP section, bool topDown);
