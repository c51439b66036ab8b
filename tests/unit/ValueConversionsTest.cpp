// The conversions follow the user's regional settings; the bench pins US English.
#include "../../settings/ValueConversions.h"

#include <gtest/gtest.h>

#include "../../settings/ValueText.h"

namespace {

std::int32_t ErrorOf(std::int16_t (*convert)(const std::wstring&), const std::wstring& text) {
  try {
    convert(text);
  } catch (const AppError& error) {
    return error.Number;
  }
  return 0;
}

}  // namespace

TEST(TextToInt16, AcceptsSignsBlanksAndRoundsHalvesToEven) {
  EXPECT_EQ(TextToInt16(L"300"), 300);
  EXPECT_EQ(TextToInt16(L" 12 "), 12);
  EXPECT_EQ(TextToInt16(L"-5"), -5);
  EXPECT_EQ(TextToInt16(L"+7"), 7);
  EXPECT_EQ(TextToInt16(L"300.5"), 300);
  EXPECT_EQ(TextToInt16(L"301.5"), 302);
  EXPECT_EQ(TextToInt16(L"2.5"), 2);
  EXPECT_EQ(TextToInt16(L"3.5"), 4);
  EXPECT_EQ(TextToInt16(L"32767"), 32767);
  EXPECT_EQ(TextToInt16(L"-32768"), -32768);
}

TEST(TextToInt16, NotANumberIsTypeMismatch) {
  for (const wchar_t* text : {L"abc", L"", L" ", L"1 2", L"yes"}) {
    EXPECT_EQ(ErrorOf(TextToInt16, text), ErrTypeMismatch)
        << "text: [" << std::string(text, text + wcslen(text)) << "]";
  }
  try {
    TextToInt16(L"abc");
  } catch (const AppError& error) {
    EXPECT_EQ(error.Description, L"Type mismatch");
  }
}

TEST(TextToInt16, OutsideSixteenBitsIsOverflow) {
  EXPECT_EQ(ErrorOf(TextToInt16, L"70000"), ErrOverflow);
  EXPECT_EQ(ErrorOf(TextToInt16, L"32768"), ErrOverflow);
  EXPECT_EQ(ErrorOf(TextToInt16, L"-32769"), ErrOverflow);
  // Rounding comes first: 32767.5 rounds to 32768.
  EXPECT_EQ(ErrorOf(TextToInt16, L"32767.5"), ErrOverflow);
  try {
    TextToInt16(L"70000");
  } catch (const AppError& error) {
    EXPECT_EQ(error.Description, L"Overflow");
  }
}

TEST(TextToTruth, WordsInAnyCaseAndNumbers) {
  EXPECT_EQ(TextToTruth(L"True"), TruthTrue);
  EXPECT_EQ(TextToTruth(L"tRUE"), TruthTrue);
  EXPECT_EQ(TextToTruth(L"False"), TruthFalse);
  EXPECT_EQ(TextToTruth(L"FALSE"), TruthFalse);
  EXPECT_EQ(TextToTruth(L"-1"), TruthTrue);
  EXPECT_EQ(TextToTruth(L"1"), TruthTrue);
  EXPECT_EQ(TextToTruth(L"2.5"), TruthTrue);
  EXPECT_EQ(TextToTruth(L"0"), TruthFalse);
}

TEST(TextToTruth, OtherTextIsTypeMismatch) {
  for (const wchar_t* text : {L"yes", L"", L"on", L"Wahr"}) {
    EXPECT_EQ(ErrorOf(TextToTruth, text), ErrTypeMismatch)
        << "text: [" << std::string(text, text + wcslen(text)) << "]";
  }
}
