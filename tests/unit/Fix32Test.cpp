// Fixed-point values as the resolution and the frame go to the source.
#include "../../twain/Fix32.h"

#include <gtest/gtest.h>

TEST(Fix32, FromFloatRoundsToTheNearestStep) {
  const std::pair<float, TW_UINT32> cases[] = {
      {300.0f, 0x0000012C}, {8.5f, 0x80000008},      {0.1f, 0x199A0000},  // Frac 6554
      {-1.5f, 0x8000FFFE},  {-32768.0f, 0x00008000}, {32767.5f, 0x80007FFF}};
  for (const auto& c : cases) {
    TW_FIX32 fixed = {123, 456};
    EXPECT_EQ(Fix32FromFloat(c.first, fixed), 0);
    EXPECT_EQ(ItemFromFix32(fixed), c.second) << c.first;
    EXPECT_EQ(ItemFromFix32(Fix32FromItem(c.second)), c.second);
  }
  EXPECT_EQ(FloatFromFix32({-2, 32768}), -1.5f);
}
