#include "TestImage.h"

#include <cstring>

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

}  // namespace

HGLOBAL MakeTestImage(std::int32_t width, std::int32_t height, int pixelType, double dpi) {
  if (width <= 0 || height <= 0) return nullptr;
  const int bits = pixelType == 0 ? 1 : pixelType == 1 ? 8 : 24;
  const int colours = pixelType == 0 ? 2 : pixelType == 1 ? 256 : 0;
  const std::int64_t stride = (static_cast<std::int64_t>(bits) * width + 31) / 32 * 4;
  const std::int64_t total = sizeof(BITMAPINFOHEADER) + colours * 4 + stride * height;
  // The largest image that a .bmp file can hold with its 14-byte file header; larger ones are
  // refused, as a source that cannot deliver them.
  if (BitmapFileHeaderBytes + total > 0xFFFFFFFFll) return nullptr;
  HGLOBAL memory = HandOverMemory(static_cast<SIZE_T>(total));
  if (!memory) return nullptr;
  auto* block = static_cast<std::uint8_t*>(LockHandedMemory(memory));

  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // rows bottom-up
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bits);
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(stride * height);
  header.biXPelsPerMeter = header.biYPelsPerMeter = static_cast<LONG>(dpi / 0.0254 + 0.5);
  header.biClrUsed = static_cast<DWORD>(colours);
  std::memcpy(block, &header, sizeof header);

  auto* palette = reinterpret_cast<RGBQUAD*>(block + sizeof header);
  for (int i = 0; i < colours; ++i) {
    const BYTE level = static_cast<BYTE>(pixelType == 0 ? (i ? 255 : 0) : i);
    palette[i] = {level, level, level, 0};
  }

  std::uint8_t* pixels = block + sizeof header + colours * 4;
  for (std::int32_t row = 0; row < height; ++row) {
    const std::int32_t y = height - 1 - row;  // the first stored row is the image's bottom
    std::uint8_t* line = pixels + stride * row;
    for (std::int32_t x = 0; x < width; ++x) {
      const bool ink = OnPattern(x, y, width, height);
      if (bits == 1) {
        if (!ink) line[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));  // 1 is white
      } else if (bits == 8) {
        line[x] = ink ? 0 : static_cast<std::uint8_t>(64 + (std::int64_t{x} * 191) / width);
      } else {
        std::uint8_t* pixel = line + 3 * x;
        pixel[0] = ink ? 0 : 160;                                                          // blue
        pixel[1] = ink ? 0 : static_cast<std::uint8_t>((std::int64_t{y} * 255) / height);  // green
        pixel[2] = ink ? 0 : static_cast<std::uint8_t>((std::int64_t{x} * 255) / width);   // red
      }
    }
  }
  UnlockHandedMemory(memory);
  return memory;
}

std::uint32_t PixelChecksum(HGLOBAL dib) {
  const auto* block = static_cast<const std::uint8_t*>(LockHandedMemory(dib));
  if (!block) return 0;
  BITMAPINFOHEADER header;
  std::memcpy(&header, block, sizeof header);
  const std::uint8_t* pixels = block + header.biSize + header.biClrUsed * 4;
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (DWORD i = 0; i < header.biSizeImage; ++i) hash = (hash ^ pixels[i]) * 16777619u;
  UnlockHandedMemory(dib);
  return hash;
}
