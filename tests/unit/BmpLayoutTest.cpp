#include "../../twain/BmpLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::uint8_t> Header(std::int32_t width, std::int32_t height, std::uint16_t bits,
                                 std::uint32_t coloursUsed = 0, std::uint32_t compression = 0,
                                 std::uint32_t sizeImage = 0, std::uint32_t headerSize = 40) {
  std::vector<std::uint8_t> header(40, 0);
  auto put32 = [&](size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) header[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  put32(0, headerSize);
  put32(4, static_cast<std::uint32_t>(width));
  put32(8, static_cast<std::uint32_t>(height));
  header[12] = 1;
  header[14] = static_cast<std::uint8_t>(bits);
  put32(16, compression);
  put32(20, sizeImage);
  put32(32, coloursUsed);
  return header;
}

struct Sizes {
  std::int32_t stride, dib, fileSize, offset;
};

Sizes SizesOf(const std::vector<std::uint8_t>& header) {
  DibLayout layout = {};
  EXPECT_TRUE(ComputeDibLayout(header.data(), layout));
  std::uint8_t file[14] = {};
  EXPECT_TRUE(BuildFileHeader(layout, file));
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  for (int i = 6; i < 10; ++i) EXPECT_EQ(file[i], 0);
  auto read32 = [&](int offset) {
    return static_cast<std::int32_t>(file[offset] | file[offset + 1] << 8 | file[offset + 2] << 16 |
                                     static_cast<std::uint32_t>(file[offset + 3]) << 24);
  };
  return {layout.rowStride, layout.dibSize, read32(2), read32(10)};
}

}  // namespace

TEST(BmpLayout, TwentyFourBitImage) {
  const Sizes s = SizesOf(Header(100, 50, 24));
  EXPECT_EQ(s.stride, 300);
  EXPECT_EQ(s.dib, 15040);
  EXPECT_EQ(s.fileSize, 15054);
  EXPECT_EQ(s.offset, 54);
}

TEST(BmpLayout, EightBitImageHasAFullPaletteByDefault) {
  const Sizes s = SizesOf(Header(10, 2, 8));
  EXPECT_EQ(s.stride, 12);
  EXPECT_EQ(s.dib, 1088);
  EXPECT_EQ(s.fileSize, 1102);
  EXPECT_EQ(s.offset, 1078);
}

TEST(BmpLayout, OneBitImageWithTwoColours) {
  const Sizes s = SizesOf(Header(33, 1, 1, 2));
  EXPECT_EQ(s.stride, 8);
  EXPECT_EQ(s.dib, 56);
  EXPECT_EQ(s.fileSize, 70);
  EXPECT_EQ(s.offset, 62);
}

TEST(BmpLayout, FourBitAndThirtyTwoBitImages) {
  const Sizes four = SizesOf(Header(3, 3, 4));
  EXPECT_EQ(four.stride, 4);
  EXPECT_EQ(four.offset, 54 + 64);
  EXPECT_EQ(four.dib, 40 + 64 + 12);
  const Sizes thirtyTwo = SizesOf(Header(5, 2, 32));
  EXPECT_EQ(thirtyTwo.stride, 20);
  EXPECT_EQ(thirtyTwo.offset, 54);
  EXPECT_EQ(thirtyTwo.dib, 80);
}

TEST(BmpLayout, TopDownRowsCountByTheirNumber) {
  const Sizes s = SizesOf(Header(100, -50, 24));
  EXPECT_EQ(s.dib, 15040);
}

TEST(BmpLayout, BitFieldImagesCarryThreeMasks) {
  const Sizes s = SizesOf(Header(4, 4, 16, 0, 3));
  EXPECT_EQ(s.stride, 8);
  EXPECT_EQ(s.offset, 54 + 12);
  EXPECT_EQ(s.dib, 40 + 12 + 32);
}

TEST(BmpLayout, CompressedImagesTakeTheirSizeFromTheHeader) {
  const Sizes s = SizesOf(Header(640, 480, 8, 0, 1, 1234));
  EXPECT_EQ(s.dib, 40 + 1024 + 1234);
}

TEST(BmpLayout, RefusesHeadersNoDecoderCouldShow) {
  DibLayout layout = {};
  EXPECT_FALSE(ComputeDibLayout(Header(0, 10, 24).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(-5, 10, 24).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(10, 0, 24).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(10, 10, 7).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(10, 10, 8, 0x80000000u).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(10, 10, 24, 0, 3).data(), layout));      // masks need 16 or 32 bits
  EXPECT_FALSE(ComputeDibLayout(Header(10, -10, 8, 0, 1, 50).data(), layout));  // compressed top-down
  EXPECT_FALSE(ComputeDibLayout(Header(10, 10, 8, 0, 1, 0).data(), layout));    // compressed without a size
  EXPECT_FALSE(ComputeDibLayout(Header(10, 10, 24, 0, 4).data(), layout));      // JPEG inside a DIB
}

TEST(BmpLayout, RefusesSizesBeyondThirtyTwoBits) {
  DibLayout layout = {};
  EXPECT_FALSE(ComputeDibLayout(Header(0x7FFFFFFF, 1, 32).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(65536, 65536, 24).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(10, INT32_MIN, 24).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(1, 1, 8, 0x7FFFFFFF).data(), layout));
  // Found by fuzzing: a row wider than 32 bits times a tall image overflowed even 64 bits.
  EXPECT_FALSE(ComputeDibLayout(Header(0x58000004, 0x7F040000, 32).data(), layout));
  // The largest that fits still works.
  EXPECT_TRUE(ComputeDibLayout(Header(20000, 20000, 24).data(), layout));
}

TEST(BmpLayout, LargerHeadersPutTheTableWhereTheyEnd) {
  const Sizes v5 = SizesOf(Header(10, 2, 8, 0, 0, 0, 124));
  EXPECT_EQ(v5.offset, 14 + 124 + 1024);
  EXPECT_EQ(v5.dib, 124 + 1024 + 24);
  const Sizes masksInside = SizesOf(Header(4, 4, 32, 0, 3, 0, 108));
  EXPECT_EQ(masksInside.offset, 14 + 108);
}

TEST(BmpLayout, RefusesOddHeaderSizesAndPlanes) {
  DibLayout layout = {};
  EXPECT_FALSE(ComputeDibLayout(Header(10, 10, 24, 0, 0, 0, 12).data(), layout));
  EXPECT_FALSE(ComputeDibLayout(Header(10, 10, 24, 0, 0, 0, 64).data(), layout));
  std::vector<std::uint8_t> noPlanes = Header(10, 10, 24);
  noPlanes[12] = 0;
  EXPECT_FALSE(ComputeDibLayout(noPlanes.data(), layout));
}
