#include "../../settings/ValueText.h"

#include <gtest/gtest.h>

TEST(ValueText, StoredForms) {
  EXPECT_EQ(Int16ToText(300), L"300");
  EXPECT_EQ(Int16ToText(-1), L"-1");
  EXPECT_EQ(Int16ToText(-32768), L"-32768");
  EXPECT_EQ(TruthToText(-1), L"True");
  EXPECT_EQ(TruthToText(1), L"True");
  EXPECT_EQ(TruthToText(0), L"False");
}
