// Fixed-point values, 16-bit items and rounding as the capabilities use them.
#include "../../twain/Fix32.h"

#include <gtest/gtest.h>

#include <limits>

TEST(Fix32, FromFloatRoundsToTheNearestStepAndRefusesWhatDoesNotFit) {
  const std::pair<float, TW_UINT32> cases[] = {
      {300.0f, 0x0000012C}, {8.5f, 0x80000008},      {0.1f, 0x199A0000},  // Frac 6554
      {-1.5f, 0x8000FFFE},  {-32768.0f, 0x00008000}, {32767.5f, 0x80007FFF}};
  for (const auto& c : cases) {
    TW_FIX32 fixed = {123, 456};
    EXPECT_EQ(Fix32FromFloat(c.first, fixed), 0);
    EXPECT_EQ(ItemFromFix32(fixed), c.second) << c.first;
    EXPECT_EQ(ItemFromFix32(Fix32FromItem(c.second)), c.second);
  }
  for (float value :
       {32768.0f, -32769.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
    TW_FIX32 fixed = {1, 2};
    EXPECT_EQ(Fix32FromFloat(value, fixed), 1);
    EXPECT_EQ(fixed.Whole * 10 + fixed.Frac, 12) << "left as it was";
  }
  EXPECT_EQ(FloatFromFix32({-2, 32768}), -1.5f);
}

TEST(Fix32, SixteenBitItemsAndRoundingHalfToEven) {
  TW_UINT16 bits = 7;
  EXPECT_EQ(UInt16FromLong(65535, bits) * 100000 + bits, 65535);
  EXPECT_EQ(UInt16FromLong(65536, bits) + UInt16FromLong(-1, bits), 2);
  EXPECT_EQ(bits, 65535) << "left as it was";
  EXPECT_EQ(LongFromUInt16(0xFFFF), 65535);
  std::int16_t small = 0;
  for (const auto& c : {std::make_pair(2.5, 2), {-2.5, -2}, {3.5, 4}}) {
    ASSERT_TRUE(RoundToInt16(c.first, small));
    EXPECT_EQ(small, c.second);
  }
  EXPECT_FALSE(RoundToInt16(32767.5, small));
  std::int32_t large = 0;
  ASSERT_TRUE(RoundToInt32(-2147483648.4, large));
  EXPECT_EQ(large, INT32_MIN);
  EXPECT_FALSE(RoundToInt32(2147483647.5, large));
}
