#include "../../app/VersionText.h"

#include <gtest/gtest.h>

TEST(VersionText, NumbersAreNeverPadded) {
  EXPECT_EQ(VersionText(1, 0, 0), L"1.0.0");
  EXPECT_EQ(VersionText(2, 10, 3), L"2.10.3");
  EXPECT_EQ(TitleText(L"Zembrolite", VersionText(1, 0, 0)), L"Zembrolite 1.0.0");
}
