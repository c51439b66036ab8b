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

// The rules are the native tests'; here, the numbered errors and the symbols of a locale.
TEST(TextConversions, RaiseNumberedErrorsAndTakeTheSymbolsOfTheLocale) {
  EXPECT_EQ(TextToInt16(L" 1,200.5 "), 1200) << "the bench pins US English";
  EXPECT_EQ(ErrorOf(TextToInt16, L"abc").Description + ErrorOf(TextToInt16, L"70000").Description +
                std::to_wstring(ErrorOf(TextToTruth, L"yes").Number),
            L"Type mismatchOverflow13");
  const NumberSymbols german = NumberSymbolsOf(0x0407);
  EXPECT_EQ(german.DecimalSeparator + german.GroupSeparator + german.NegativeSign, L",.-");
}
