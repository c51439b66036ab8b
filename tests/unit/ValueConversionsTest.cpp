// The conversions follow the user's regional settings; the bench pins US English.
#include "../../settings/ValueConversions.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include "../../settings/ValueText.h"

namespace {

AppError ErrorOf(std::int16_t (*convert)(const std::wstring&), const std::wstring& text) {
  try {
    convert(text);
  } catch (const AppError& error) {
    return error;
  }
  return {0, L""};
}

}  // namespace

// The rules themselves are checked natively too (NumberText); here, what the program adds.
TEST(TextConversions, UseTheUserNumberFormatAndRaiseNumberedErrors) {
  EXPECT_EQ(TextToInt16(L" 1,200.5 "), 1200);
  EXPECT_EQ(TextToTruth(L"tRUE"), TruthTrue);
  EXPECT_EQ(TextToTruth(L"0"), TruthFalse);
  const AppError mismatch = ErrorOf(TextToInt16, L"abc");
  EXPECT_EQ(mismatch.Number, 13);
  EXPECT_EQ(mismatch.Description, L"Type mismatch");
  const AppError overflow = ErrorOf(TextToInt16, L"70000");
  EXPECT_EQ(overflow.Number, 6);
  EXPECT_EQ(overflow.Description, L"Overflow");
  EXPECT_EQ(ErrorOf(TextToTruth, L"yes").Number, 13);
}

TEST(TextConversions, SymbolsComeFromTheLocale) {
  const NumberSymbols us = NumberSymbolsOf(0x0409);
  EXPECT_EQ(us.DecimalSeparator, L".");
  EXPECT_EQ(us.GroupSeparator, L",");
  EXPECT_EQ(us.NegativeSign, L"-");
  const NumberSymbols german = NumberSymbolsOf(0x0407);
  EXPECT_EQ(german.DecimalSeparator, L",");
  EXPECT_EQ(german.GroupSeparator, L".");
  EXPECT_EQ(UserNumberSymbols().DecimalSeparator, L".") << "the bench pins US English";
}
