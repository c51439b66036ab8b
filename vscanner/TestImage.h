// The virtual scanner's test pattern as a packed DIB in memory handed over to the application.
#pragma once

#include <windows.h>

#include <cstdint>

// A width x height image of the pixel type (0 black and white, 1 grey, 2 colour) at dpi dots
// per inch; null when it cannot be allocated.
HGLOBAL MakeTestImage(std::int32_t width, std::int32_t height, int pixelType, double dpi);
// FNV-1a over the pixel bytes of an image that MakeTestImage made, as tests compare with a file.
std::uint32_t PixelChecksum(HGLOBAL dib);
