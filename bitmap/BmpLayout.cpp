#include "BmpLayout.h"

namespace {

constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;

std::int32_t ReadInt32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t ReadUInt16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void WriteUInt32(std::uint8_t* p, std::uint32_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[2] = static_cast<std::uint8_t>(value >> 16);
  p[3] = static_cast<std::uint8_t>(value >> 24);
}

// Whether a size fits the format's unsigned 32-bit fields.
bool FitsFormat(std::int64_t value) { return value >= 0 && value <= 0xFFFFFFFFll; }

bool IsKnownBitCount(std::uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool IsKnownHeaderSize(std::int64_t bytes) {
  return bytes == 40 || bytes == 52 || bytes == 56 || bytes == 108 || bytes == 124;
}

}  // namespace

bool ComputeDibLayout(const std::uint8_t* header, DibLayout& layout) {
  const std::int64_t headerBytes = ReadInt32(header);
  const std::uint16_t planes = ReadUInt16(header + 12);
  const std::int64_t width = ReadInt32(header + 4);
  const std::int64_t height = ReadInt32(header + 8);
  const std::uint16_t bitCount = ReadUInt16(header + 14);
  const std::uint32_t compression = static_cast<std::uint32_t>(ReadInt32(header + 16));
  const std::int64_t sizeImage = static_cast<std::uint32_t>(ReadInt32(header + 20));
  const std::int64_t coloursUsed = ReadInt32(header + 32);

  if (!IsKnownHeaderSize(headerBytes) || planes != 1 || width <= 0 || height == 0 || !IsKnownBitCount(bitCount) ||
      coloursUsed < 0)
    return false;

  const std::int64_t stride = (bitCount * width + 31) / 32 * 4;
  // Checked before it is multiplied: a wide row times many rows would not fit even in 64 bits.
  if (!FitsFormat(stride)) return false;
  const std::int64_t rows = height < 0 ? -height : height;
  std::int64_t pixels = stride * rows;
  std::int64_t masks = 0;
  switch (compression) {
    case BI_RGB:
      break;
    case BI_BITFIELDS:
      if (bitCount != 16 && bitCount != 32) return false;
      if (headerBytes == BitmapInfoHeaderBytes) masks = 3 * 4;  // larger headers hold the masks
      break;
    case BI_RLE8:
    case BI_RLE4:
      // Compressed rows are stored bottom-up only, and their size comes from the header.
      if (height < 0 || sizeImage == 0 || bitCount != (compression == BI_RLE8 ? 8 : 4)) return false;
      pixels = sizeImage;
      break;
    default:
      return false;
  }

  std::int64_t entries = coloursUsed;
  if (entries == 0 && bitCount <= 8) entries = std::int64_t{1} << bitCount;
  const std::int64_t table = masks + entries * 4;
  const std::int64_t dib = headerBytes + table + pixels;
  if (!FitsFormat(pixels) || !FitsFormat(table) || !FitsFormat(dib + BitmapFileHeaderBytes)) return false;

  layout.headerBytes = static_cast<std::uint32_t>(headerBytes);
  layout.rowStride = static_cast<std::uint32_t>(stride);
  layout.pixelBytes = static_cast<std::uint32_t>(pixels);
  layout.colourTableBytes = static_cast<std::uint32_t>(table);
  layout.dibSize = static_cast<std::uint32_t>(dib);
  return true;
}

bool BuildFileHeader(const DibLayout& layout, std::uint8_t (&fileHeader)[BitmapFileHeaderBytes]) {
  const std::int64_t fileSize = std::int64_t{layout.dibSize} + BitmapFileHeaderBytes;
  const std::int64_t offset = std::int64_t{BitmapFileHeaderBytes} + layout.headerBytes + layout.colourTableBytes;
  if (layout.dibSize < 1 || !FitsFormat(fileSize) || !FitsFormat(offset)) return false;
  fileHeader[0] = 'B';
  fileHeader[1] = 'M';
  WriteUInt32(fileHeader + 2, static_cast<std::uint32_t>(fileSize));
  WriteUInt32(fileHeader + 6, 0);  // both reserved fields
  WriteUInt32(fileHeader + 10, static_cast<std::uint32_t>(offset));
  return true;
}
