// The conversions follow the user's regional settings; the bench pins US English.
#include "../../settings/ValueConversions.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <random>

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

// The conversions follow the same rules as the platform's variant conversions on every number
// written in a regional format, and never accept a text that those refuse.
namespace {

std::int32_t VariantError(HRESULT result) {
  if (SUCCEEDED(result)) return 0;
  return result == DISP_E_OVERFLOW ? ErrOverflow : ErrTypeMismatch;
}

ConvertedInt16 VariantInt16(const std::wstring& text, LCID locale) {
  SHORT value = 0;
  const std::int32_t error = VariantError(VarI2FromStr(const_cast<OLECHAR*>(text.c_str()), locale, 0, &value));
  return {error, error == 0 ? static_cast<std::int16_t>(value) : std::int16_t{0}};
}

ConvertedInt16 VariantTruth(const std::wstring& text, LCID locale) {
  VARIANT_BOOL value = VARIANT_FALSE;
  const std::int32_t error = VariantError(VarBoolFromStr(const_cast<OLECHAR*>(text.c_str()), locale, 0, &value));
  return {error, error == 0 && value != VARIANT_FALSE ? TruthTrue : TruthFalse};
}

std::wstring RegionalNumber(std::mt19937& random, const NumberSymbols& symbols) {
  const wchar_t* blanks[] = {L"", L"", L" ", L"\t", L"  "};
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::wstring text = blanks[pick(5)];
  switch (pick(4)) {
    case 0:
      text += L"-" + std::wstring(blanks[pick(5)]);
      break;
    case 1:
      text += L"+";
      break;
    default:
      break;
  }
  const int integerDigits = pick(8);
  for (int i = 0; i < integerDigits; ++i) {
    text += static_cast<wchar_t>(L'0' + (i == 0 && pick(3) != 0 ? 1 + pick(9) : pick(10)));
    if (pick(4) == 0) text += symbols.GroupSeparator;
  }
  if (integerDigits == 0 || pick(2) == 0) {
    text += symbols.DecimalSeparator;
    const int fractionDigits = integerDigits == 0 ? 1 + pick(30) : pick(30);
    for (int i = 0; i < fractionDigits; ++i)
      text += static_cast<wchar_t>(i == 0 && pick(2) == 0 ? L'5' : pick(3) == 0 ? L'0' + pick(10) : L'0');
  }
  return text + blanks[pick(5)];
}

std::wstring Soup(std::mt19937& random) {
  const wchar_t alphabet[] = L"0123456789+-.,eE$()&H \t TrueFalsy\u00a0\u00e4";
  std::wstring text;
  const int length = static_cast<int>(random() % 10);
  for (int i = 0; i < length; ++i) text += alphabet[random() % (sizeof alphabet / sizeof alphabet[0] - 1)];
  return text;
}

// Wine's VarI2FromStr rounds a number below one with zeros after the point away from zero:
// "0.06" gives 1. Windows rounds it to 0, as the conversion must.
bool WineRoundsUpBelowOne(const std::wstring& text, const NumberSymbols& symbols, const ConvertedInt16& ours,
                          const ConvertedInt16& platform) {
  const size_t point = text.find(symbols.DecimalSeparator);
  if (point == std::wstring::npos || ours.ErrorNumber != 0 || platform.ErrorNumber != 0) return false;
  if (text.substr(0, point).find_first_of(L"123456789") != std::wstring::npos) return false;
  return ours.Value == 0 && (platform.Value == 1 || platform.Value == -1);
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

const LCID UsEnglish = 0x0409;
const LCID German = 0x0407;

}  // namespace

TEST(TextConversions, MatchTheVariantConversionsOnRegionalNumbers) {
  std::mt19937 random(1207);
  int roundedUpByWine = 0;
  for (LCID locale : {UsEnglish, German}) {
    const NumberSymbols symbols = NumberSymbolsOf(locale);
    for (int round = 0; round < 4000; ++round) {
      const std::wstring text = RegionalNumber(random, symbols);
      const ConvertedInt16 ours = ParseInt16(text, symbols);
      const ConvertedInt16 platform = VariantInt16(text, locale);
      if (WineRoundsUpBelowOne(text, symbols, ours, platform)) {
        ++roundedUpByWine;
        continue;
      }
      ASSERT_EQ(ours.ErrorNumber, platform.ErrorNumber) << "[" << Narrow(text) << "] locale " << locale;
      ASSERT_EQ(ours.Value, platform.Value) << "[" << Narrow(text) << "] locale " << locale;
      const ConvertedInt16 ourTruth = ParseTruth(text, symbols);
      const ConvertedInt16 platformTruth = VariantTruth(text, locale);
      ASSERT_EQ(ourTruth.ErrorNumber, platformTruth.ErrorNumber) << "[" << Narrow(text) << "]";
      ASSERT_EQ(ourTruth.Value, platformTruth.Value) << "[" << Narrow(text) << "]";
    }
  }
  std::printf("numbers below one that Wine's variant conversion rounds away from zero: %d of 8000\n", roundedUpByWine);
}

TEST(TextConversions, NeverAcceptWhatTheVariantConversionsRefuse) {
  std::mt19937 random(612);
  int refusedBeyondThePlatform = 0;
  for (LCID locale : {UsEnglish, German}) {
    const NumberSymbols symbols = NumberSymbolsOf(locale);
    for (int round = 0; round < 20000; ++round) {
      const std::wstring text = Soup(random);
      for (bool truth : {false, true}) {
        const ConvertedInt16 ours = truth ? ParseTruth(text, symbols) : ParseInt16(text, symbols);
        const ConvertedInt16 platform = truth ? VariantTruth(text, locale) : VariantInt16(text, locale);
        if (!truth && WineRoundsUpBelowOne(text, symbols, ours, platform)) continue;
        if (platform.ErrorNumber != 0) {
          ASSERT_NE(ours.ErrorNumber, 0) << "[" << Narrow(text) << "] locale " << locale;
        } else if (ours.ErrorNumber == 0) {
          ASSERT_EQ(ours.Value, platform.Value) << "[" << Narrow(text) << "] locale " << locale;
        } else {
          ++refusedBeyondThePlatform;  // currency, exponents, "&H", brackets, trailing signs
        }
        if (ours.ErrorNumber == ErrOverflow) {
          ASSERT_EQ(platform.ErrorNumber, ErrOverflow) << "[" << Narrow(text) << "]";
        }
      }
    }
  }
  std::printf("texts that only the platform accepts: %d of 80000\n", refusedBeyondThePlatform);
}
