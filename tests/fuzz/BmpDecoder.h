// An independent reader of .bmp files for the fuzz targets: it accepts a file only when every
// size and offset in its headers is consistent and lies inside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

inline bool DecodableBmp(const std::vector<std::uint8_t>& file) {
  if (file.size() < 14 + 40 || file[0] != 'B' || file[1] != 'M') return false;
  if (Le32(&file[2]) != file.size()) return false;
  const std::uint64_t offset = Le32(&file[10]);
  const std::uint8_t* info = &file[14];
  const std::uint64_t infoSize = Le32(info);
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) return false;
  if (14 + infoSize > file.size()) return false;
  const std::int64_t width = static_cast<std::int32_t>(Le32(info + 4));
  const std::int64_t height = static_cast<std::int32_t>(Le32(info + 8));
  const unsigned planes = Le16(info + 12), bits = Le16(info + 14);
  const std::uint32_t compression = Le32(info + 16), sizeImage = Le32(info + 20);
  const std::int64_t colours = static_cast<std::int32_t>(Le32(info + 32));
  if (width <= 0 || height == 0 || planes != 1 || colours < 0) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  std::uint64_t masks = 0;
  if (compression == 3) {
    if (bits != 16 && bits != 32) return false;
    if (infoSize == 40) masks = 12;
  } else if (compression == 1 || compression == 2) {
    if (height < 0 || bits != (compression == 1 ? 8u : 4u)) return false;
  } else if (compression != 0) {
    return false;
  }
  const std::uint64_t entries = colours ? static_cast<std::uint64_t>(colours) : (bits <= 8 ? 1u << bits : 0u);
  if (offset != 14 + infoSize + masks + entries * 4) return false;
  if (offset > file.size()) return false;
  const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
  const std::uint64_t stride = (static_cast<std::uint64_t>(bits) * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  const std::uint64_t pixels = (compression == 1 || compression == 2) ? sizeImage : stride * rows;
  return offset + pixels <= file.size();
}
