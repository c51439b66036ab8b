// The writer of .bmp files: the image of a native transfer, as the source handed it over, written
// straight from its memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "NativeImage.h"

// Writes the image of a native transfer to path as a .bmp file: a packed DIB as it is, a DIB
// section as the packed DIB of the same picture would be (bottom-up). The image is freed the way
// it was made and left empty on every path. An existing file is replaced only by a complete new
// one.
std::int32_t WriteImageToBmp(NativeImage& image, const std::wstring& path);
std::int32_t WriteDibToBmp(HGLOBAL& image, const std::wstring& path);
// The same straight into the prepared file, which is emptied first and on failure may hold part of
// the image; a failure names path, where the image was to go.
std::int32_t WriteImageIntoFile(NativeImage& image, const std::wstring& preparedFile, const std::wstring& path);
