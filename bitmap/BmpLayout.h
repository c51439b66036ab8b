// The sizes of a packed device-independent bitmap and the file header that makes it a .bmp
// file. Free of Win32; every size is checked against the format's limit: the file header holds
// the file's size in an unsigned 32-bit field, so a file holds at most 4 GiB less one byte.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::int32_t BitmapInfoHeaderBytes = 40;
constexpr std::int32_t BitmapFileHeaderBytes = 14;

struct DibLayout {
  std::uint32_t headerBytes;       // 40, or the size of a larger header that says so
  std::uint32_t rowStride;         // bytes per row, a whole number of 32-bit words
  std::uint32_t pixelBytes;        // all rows, or the size the header gives for compressed data
  std::uint32_t colourTableBytes;  // colour masks and colour entries after the header
  std::uint32_t dibSize;           // header + colour table + pixels
};

// Reads the first 40 bytes of a packed DIB (BITMAPINFOHEADER). Returns false for a header that
// no decoder could show (no width or height, not one plane, an unknown bit count or header size,
// a negative colour count) or sizes beyond the signed 32-bit range.
// Rows may be stored top-down (negative height); 16- and 32-bit images with bit-field
// compression carry three colour masks after a 40-byte header (larger headers hold them inside);
// compressed images take their pixel size from the header; the colour table follows a larger
// header (52, 56, 108 or 124 bytes) where that header ends.
bool ComputeDibLayout(const std::uint8_t* header, DibLayout& layout);

// The 14-byte BITMAPFILEHEADER for a DIB of this layout: "BM", the file size, two zero reserved
// fields and the offset of the pixels.
bool BuildFileHeader(const DibLayout& layout, std::uint8_t (&fileHeader)[BitmapFileHeaderBytes]);
