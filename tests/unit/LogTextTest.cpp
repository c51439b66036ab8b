// The log line's layout as examples; whole lines and archive names over any text are the fuzzer's.
#include "../../log/LogText.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(LogText, ItemsStartAtPrintZonesAndNumbersKeepASignPlace) {
  // Columns 1, 15, 29, 43, ...: the date (20 characters) pushes the number to column 29.
  EXPECT_EQ(LogLineText(L"12/7/2026 4:26:24 AM", 13, L"Type mismatch", L"LoadConfig"),
            L"12/7/2026 4:26:24 AM" + std::wstring(8, L' ') + L" 13 " + std::wstring(10, L' ') +
                L"Type mismatch LoadConfig\r\n");
  EXPECT_EQ(LogLineText(L"1/2/2026", -5, L"", L"SaveConfig"),
            L"1/2/2026" + std::wstring(6, L' ') + L"-5 " + std::wstring(25, L' ') + L"SaveConfig\r\n");
  EXPECT_EQ(LogNumberText(0) + LogNumberText(INT32_MIN), L" 0 -2147483648 ");
}

TEST(LogText, DatesAndArchiveNames) {
  EXPECT_EQ(GeneralDateTimeText(L"12/7/2026", L"4:26:24 AM", false), L"12/7/2026 4:26:24 AM");
  EXPECT_EQ(GeneralDateTimeText(L"12/7/2026", L"12:00:00 AM", true), L"12/7/2026");
  EXPECT_EQ(ArchiveFileName(L"12/7/2026 4:26:24 AM"), L"error12-7-2026 4-26-24 AM.log");
}
