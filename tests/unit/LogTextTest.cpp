#include "../../log/LogText.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(LogText, NumbersPrintWithSignPlaceAndTrailingBlank) {
  EXPECT_EQ(LogNumberText(13), L" 13 ");
  EXPECT_EQ(LogNumberText(0), L" 0 ");
  EXPECT_EQ(LogNumberText(-2147221005), L"-2147221005 ");
  EXPECT_EQ(LogNumberText(INT32_MIN), L"-2147483648 ");
}

TEST(LogText, ItemsStartAtPrintZones) {
  const std::wstring line = LogLineText(L"12/7/2026 4:26:24 AM", 13, L"Type mismatch", L"LoadConfig");
  // Columns 1, 15, 29, 43, ...: the date (20 characters) pushes the number to column 29.
  EXPECT_EQ(line, std::wstring(L"12/7/2026 4:26:24 AM") + std::wstring(8, L' ') + L" 13 " + std::wstring(10, L' ') +
                      L"Type mismatch" + L" " + L"LoadConfig\r\n");
}

TEST(LogText, EmptyDescriptionStillKeepsTheOtherItems) {
  const std::wstring line = LogLineText(L"1/2/2026", -5, L"", L"SaveConfig");
  EXPECT_EQ(line, L"1/2/2026" + std::wstring(6, L' ') + L"-5 " + std::wstring(11, L' ') + std::wstring(14, L' ') +
                      L"SaveConfig\r\n");
}

TEST(LogText, ItemThatFillsItsZoneIsStillFollowedByABlank) {
  const std::wstring line = LogLineText(L"12345678901234", 1, L"d", L"p");
  EXPECT_EQ(line.substr(14, 1), L" ");
  EXPECT_EQ(line.substr(28, 3), L" 1 ");
}

TEST(LogText, GeneralDateTimeLeavesOutMidnight) {
  EXPECT_EQ(GeneralDateTimeText(L"12/7/2026", L"4:26:24 AM", false), L"12/7/2026 4:26:24 AM");
  EXPECT_EQ(GeneralDateTimeText(L"12/7/2026", L"12:00:00 AM", true), L"12/7/2026");
}

TEST(LogText, ArchiveNameHoldsNoCharacterThatAFileNameCannot) {
  EXPECT_EQ(ArchiveFileName(L"12/7/2026 4:26:24 AM"), L"error12-7-2026 4-26-24 AM.log");
  EXPECT_EQ(ArchiveFileName(L"07.12.2026 04:26:24"), L"error07.12.2026 04-26-24.log");
  EXPECT_EQ(ArchiveFileName(L"a<b>c\"d|e?f*g\\h\ti"), L"errora-b-c-d-e-f-g-h-i.log");
}

TEST(LogText, RolloverOnlyBeyondTheLimit) {
  EXPECT_FALSE(LogNeedsRollover(0));
  EXPECT_FALSE(LogNeedsRollover(1000000));
  EXPECT_TRUE(LogNeedsRollover(1000001));
}
