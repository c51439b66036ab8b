#include "TestImage.h"

#include <cstring>
#include <vector>

#include "../bitmap/BmpLayout.h"
#include "HandedMemory.h"

namespace {

constexpr int Border = 4;
constexpr int StripeEvery = 32;

// A frame, diagonal stripes and a gradient: wrong sizes, flipped rows and swapped colours all
// show at a glance.
bool OnPattern(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  if (x < Border || y < Border || x >= width - Border || y >= height - Border) return true;
  return (std::int64_t{x} + y) % StripeEvery < 4;
}

// The image's format: bits per pixel, colour entries, bytes per row and header, table and pixels.
struct Shape {
  int bits, colours;
  std::int64_t stride, total;
};

bool ShapeOf(std::int32_t width, std::int32_t height, int pixelType, Shape& shape) {
  if (width <= 0 || height <= 0) return false;
  shape.bits = pixelType == 0 ? 1 : pixelType == 1 ? 8 : 24;
  shape.colours = pixelType == 0 ? 2 : pixelType == 1 ? 256 : 0;
  shape.stride = (static_cast<std::int64_t>(shape.bits) * width + 31) / 32 * 4;
  shape.total = sizeof(BITMAPINFOHEADER) + shape.colours * 4 + shape.stride * height;
  // The largest image that a .bmp file can hold with its 14-byte file header; larger ones are
  // refused, as a source that cannot deliver them.
  return BitmapFileHeaderBytes + shape.total <= 0xFFFFFFFFll;
}

// The header and the colour table.
void WriteHeader(std::uint8_t* block, std::int32_t width, std::int32_t height, int pixelType, double dpi,
                 const Shape& shape) {
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // positive: rows bottom-up
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(shape.bits);
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(shape.stride * (height < 0 ? -height : height));
  header.biXPelsPerMeter = header.biYPelsPerMeter = static_cast<LONG>(dpi / 0.0254 + 0.5);
  header.biClrUsed = static_cast<DWORD>(shape.colours);
  std::memcpy(block, &header, sizeof header);
  auto* palette = reinterpret_cast<RGBQUAD*>(block + sizeof header);
  for (int i = 0; i < shape.colours; ++i) {
    const BYTE level = static_cast<BYTE>(pixelType == 0 ? (i ? 255 : 0) : i);
    palette[i] = {level, level, level, 0};
  }
}

// The pattern's rows, the image's bottom row first or, top-down, its top row first.
void DrawRows(std::uint8_t* pixels, std::int32_t width, std::int32_t height, const Shape& shape, bool topDown) {
  for (std::int32_t row = 0; row < height; ++row) {
    const std::int32_t y = topDown ? row : height - 1 - row;
    std::uint8_t* line = pixels + shape.stride * row;
    for (std::int32_t x = 0; x < width; ++x) {
      const bool ink = OnPattern(x, y, width, height);
      if (shape.bits == 1) {
        if (!ink) line[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));  // 1 is white
      } else if (shape.bits == 8) {
        line[x] = ink ? 0 : static_cast<std::uint8_t>(64 + (std::int64_t{x} * 191) / width);
      } else {
        std::uint8_t* pixel = line + 3 * x;
        pixel[0] = ink ? 0 : 160;                                                          // blue
        pixel[1] = ink ? 0 : static_cast<std::uint8_t>((std::int64_t{y} * 255) / height);  // green
        pixel[2] = ink ? 0 : static_cast<std::uint8_t>((std::int64_t{x} * 255) / width);   // red
      }
    }
  }
}

std::uint32_t Fnv1a(const std::uint8_t* bytes, std::int64_t count, std::uint32_t hash = 2166136261u) {
  for (std::int64_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

}  // namespace

HGLOBAL MakeTestImage(std::int32_t width, std::int32_t height, int pixelType, double dpi) {
  Shape shape;
  if (!ShapeOf(width, height, pixelType, shape)) return nullptr;
  HGLOBAL memory = HandOverMemory(static_cast<SIZE_T>(shape.total));
  if (!memory) return nullptr;
  auto* block = static_cast<std::uint8_t*>(LockHandedMemory(memory));
  WriteHeader(block, width, height, pixelType, dpi, shape);
  DrawRows(block + sizeof(BITMAPINFOHEADER) + shape.colours * 4, width, height, shape, false);
  UnlockHandedMemory(memory);
  return memory;
}

HBITMAP MakeTestSection(std::int32_t width, std::int32_t height, int pixelType, double dpi, bool topDown) {
  Shape shape;
  if (!ShapeOf(width, height, pixelType, shape)) return nullptr;
  std::vector<std::uint8_t> info(sizeof(BITMAPINFOHEADER) + shape.colours * 4);
  WriteHeader(info.data(), width, topDown ? -height : height, pixelType, dpi, shape);
  void* pixels = nullptr;
  HBITMAP section =
      CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (section) DrawRows(static_cast<std::uint8_t*>(pixels), width, height, shape, topDown);
  return section;
}

std::uint32_t SectionChecksum(HBITMAP section, bool topDown) {
  DIBSECTION facts = {};
  if (GetObjectW(section, sizeof facts, &facts) != sizeof facts || !facts.dsBm.bmBits) return 0;
  const auto* pixels = static_cast<const std::uint8_t*>(facts.dsBm.bmBits);
  const std::int64_t stride = facts.dsBm.bmWidthBytes, rows = facts.dsBm.bmHeight;
  std::uint32_t hash = 2166136261u;
  // In the order of a bottom-up DIB, as a file holds them.
  for (std::int64_t row = 0; row < rows; ++row)
    hash = Fnv1a(pixels + stride * (topDown ? rows - 1 - row : row), stride, hash);
  return hash;
}

std::uint32_t PixelChecksum(HGLOBAL dib) {
  const auto* block = static_cast<const std::uint8_t*>(LockHandedMemory(dib));
  if (!block) return 0;
  BITMAPINFOHEADER header;
  std::memcpy(&header, block, sizeof header);
  const std::uint32_t hash = Fnv1a(block + header.biSize + header.biClrUsed * 4, header.biSizeImage);
  UnlockHandedMemory(dib);
  return hash;
}
