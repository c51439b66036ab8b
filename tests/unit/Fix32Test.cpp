#include "../../twain/Fix32.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TW_FIX32 Fix(float value) {
  TW_FIX32 fixed = {123, 456};
  EXPECT_EQ(Fix32FromFloat(value, fixed), 0) << value;
  return fixed;
}

}  // namespace

TEST(Fix32, FromFloatRoundsToTheNearestStep) {
  EXPECT_EQ(Fix(300.0f).Whole, 300);
  EXPECT_EQ(Fix(300.0f).Frac, 0);
  EXPECT_EQ(Fix(8.5f).Whole, 8);
  EXPECT_EQ(Fix(8.5f).Frac, 32768);
  EXPECT_EQ(Fix(0.1f).Whole, 0);
  EXPECT_EQ(Fix(0.1f).Frac, 6554);
  EXPECT_EQ(Fix(-1.5f).Whole, -2);
  EXPECT_EQ(Fix(-1.5f).Frac, 32768);
  EXPECT_EQ(Fix(-32768.0f).Whole, -32768);
  EXPECT_EQ(Fix(32767.5f).Whole, 32767);
  EXPECT_EQ(Fix(32767.5f).Frac, 32768);
}

TEST(Fix32, FromFloatRefusesWhatDoesNotFit) {
  TW_FIX32 fixed = {1, 2};
  EXPECT_EQ(Fix32FromFloat(32768.0f, fixed), 1);
  EXPECT_EQ(Fix32FromFloat(-32769.0f, fixed), 1);
  EXPECT_EQ(Fix32FromFloat(std::numeric_limits<float>::infinity(), fixed), 1);
  EXPECT_EQ(Fix32FromFloat(std::numeric_limits<float>::quiet_NaN(), fixed), 1);
  EXPECT_EQ(fixed.Whole, 1);
  EXPECT_EQ(fixed.Frac, 2);
}

TEST(Fix32, ToFloat) {
  EXPECT_EQ(FloatFromFix32({8, 16384}), 8.25f);
  EXPECT_EQ(FloatFromFix32({-2, 32768}), -1.5f);
  EXPECT_EQ(FloatFromFix32({0, 65535}), static_cast<float>(65535 / 65536.0));
  for (float value : {0.0f, 1.0f, 8.5f, 11.69f, -3.25f, 600.0f}) EXPECT_NEAR(FloatFromFix32(Fix(value)), value, 1e-4);
}

TEST(Fix32, ItemBytesKeepWholeFirstAndFracSecond) {
  EXPECT_EQ(ItemFromFix32({8, 32768}), 0x80000008u);
  EXPECT_EQ(ItemFromFix32({-2, 0}), 0x0000FFFEu);
  EXPECT_EQ(Fix32FromItem(0x80000008u).Whole, 8);
  EXPECT_EQ(Fix32FromItem(0x80000008u).Frac, 32768);
  EXPECT_EQ(Fix32FromItem(0x0000FFFEu).Whole, -2);
}

TEST(UInt16Conversions, RangeAndBits) {
  TW_UINT16 bits = 7;
  EXPECT_EQ(UInt16FromLong(65535, bits), 0);
  EXPECT_EQ(bits, 0xFFFF);
  EXPECT_EQ(UInt16FromLong(0, bits), 0);
  EXPECT_EQ(bits, 0);
  bits = 7;
  EXPECT_EQ(UInt16FromLong(65536, bits), 1);
  EXPECT_EQ(UInt16FromLong(-1, bits), 1);
  EXPECT_EQ(bits, 7);
  EXPECT_EQ(LongFromUInt16(0xFFFF), 65535);
  EXPECT_EQ(LongFromUInt16(0), 0);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  std::int16_t small = 0;
  ASSERT_TRUE(RoundToInt16(2.5, small));
  EXPECT_EQ(small, 2);
  ASSERT_TRUE(RoundToInt16(-2.5, small));
  EXPECT_EQ(small, -2);
  ASSERT_TRUE(RoundToInt16(3.5, small));
  EXPECT_EQ(small, 4);
  EXPECT_FALSE(RoundToInt16(32767.5, small));
  std::int32_t large = 0;
  ASSERT_TRUE(RoundToInt32(-2147483648.4, large));
  EXPECT_EQ(large, INT32_MIN);
  EXPECT_FALSE(RoundToInt32(2147483647.5, large));
}
