// Sizes and headers of a .bmp file for every kind of DIB a source may hand over.
#include "../../twain/BmpLayout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A BITMAPINFOHEADER's fields as 32-bit words (little-endian, as this machine stores them).
struct Header {
  std::int32_t width, height;
  std::uint16_t bits;
  std::uint32_t coloursUsed = 0, compression = 0, sizeImage = 0, headerSize = 40, planes = 1;

  std::vector<std::uint8_t> bytes() const {
    const std::uint32_t words[10] = {headerSize,
                                     static_cast<std::uint32_t>(width),
                                     static_cast<std::uint32_t>(height),
                                     planes | static_cast<std::uint32_t>(bits) << 16,
                                     compression,
                                     sizeImage,
                                     0,
                                     0,
                                     coloursUsed,
                                     0};
    std::vector<std::uint8_t> header(40);
    std::memcpy(header.data(), words, sizeof words);
    return header;
  }
};

std::int32_t Read32(const std::uint8_t* bytes) {
  std::int32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

}  // namespace

TEST(BmpLayout, SizesOfEachKindOfImage) {
  struct Case {
    const char* what;
    Header header;
    std::int32_t stride, dib, offset;
  };
  const Case cases[] = {
      {"24 bits", {100, 50, 24}, 300, 15040, 54},
      {"8 bits, full palette", {10, 2, 8}, 12, 1088, 1078},
      {"1 bit, two colours", {33, 1, 1, 2}, 8, 56, 62},
      {"4 bits", {3, 3, 4}, 4, 40 + 64 + 12, 54 + 64},
      {"32 bits", {5, 2, 32}, 20, 80, 54},
      {"top-down", {100, -50, 24}, 300, 15040, 54},
      {"bit fields carry three masks", {4, 4, 16, 0, 3}, 8, 40 + 12 + 32, 54 + 12},
      {"compressed: size from the header", {640, 480, 8, 0, 1, 1234}, 640, 40 + 1024 + 1234, 54 + 1024},
      {"version 5 header", {10, 2, 8, 0, 0, 0, 124}, 12, 124 + 1024 + 24, 14 + 124 + 1024},
      {"masks inside the header", {4, 4, 32, 0, 3, 0, 108}, 16, 108 + 64, 14 + 108},
      {"largest that fits", {20000, 20000, 24}, 60000, 40 + 60000 * 20000, 54},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DibLayout layout = {};
    ASSERT_TRUE(ComputeDibLayout(c.header.bytes().data(), layout));
    std::uint8_t file[14] = {};
    ASSERT_TRUE(BuildFileHeader(layout, file));
    EXPECT_EQ(std::vector<std::int32_t>({layout.rowStride, layout.dibSize, Read32(file + 2), Read32(file + 10)}),
              std::vector<std::int32_t>({c.stride, c.dib, 14 + c.dib, c.offset}));
    EXPECT_EQ(std::string(file, file + 2) + std::to_string(Read32(file + 6)), "BM0");
  }
}

TEST(BmpLayout, RefusesSizesBeyondThirtyTwoBits) {
  // Headers that no decoder could show are the fuzzer's (against an independent reader).
  const Header refused[] = {
      {10, 10, 8, 0, 1, 0},  // compressed without a size
      {0x7FFFFFFF, 1, 32},
      {65536, 65536, 24},
      {10, INT32_MIN, 24},
      {1, 1, 8, 0x7FFFFFFF},
      // Found by fuzzing: a row wider than 32 bits times a tall image overflowed even 64 bits.
      {0x58000004, 0x7F040000, 32},
  };
  for (const Header& header : refused) {
    DibLayout layout = {};
    EXPECT_FALSE(ComputeDibLayout(header.bytes().data(), layout)) << header.width << " x " << header.height;
  }
}
