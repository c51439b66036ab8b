// Text to number and truth value in the US and the German number format.
#include "../../settings/NumberText.h"

#include <gtest/gtest.h>

#include <string>

#include "../../settings/ValueText.h"

namespace {

const NumberSymbols US;

NumberSymbols German() {
  NumberSymbols symbols;
  symbols.DecimalSeparator = L",";
  symbols.GroupSeparator = L".";
  return symbols;
}

std::int32_t ErrorOf(const wchar_t* text, const NumberSymbols& symbols = US) {
  return ParseInt16(text, symbols).ErrorNumber;
}

std::int16_t ValueOf(const wchar_t* text, const NumberSymbols& symbols = US) {
  const ConvertedInt16 converted = ParseInt16(text, symbols);
  EXPECT_EQ(converted.ErrorNumber, 0) << std::string(text, text + std::wcslen(text));
  return converted.Value;
}

}  // namespace

TEST(NumberText, SignsBlanksAndHalvesToEven) {
  EXPECT_EQ(ValueOf(L"300"), 300);
  EXPECT_EQ(ValueOf(L" \t12 "), 12);
  EXPECT_EQ(ValueOf(L"-5"), -5);
  EXPECT_EQ(ValueOf(L"- 5"), -5);
  EXPECT_EQ(ValueOf(L"+7"), 7);
  EXPECT_EQ(ValueOf(L"300.5"), 300);
  EXPECT_EQ(ValueOf(L"301.5"), 302);
  EXPECT_EQ(ValueOf(L"-301.5"), -302);
  EXPECT_EQ(ValueOf(L"0.5"), 0);
  EXPECT_EQ(ValueOf(L".5"), 0);
  EXPECT_EQ(ValueOf(L"0.06"), 0) << "Wine's VarI2FromStr gives 1";
  EXPECT_EQ(ValueOf(L".0836"), 0);
  EXPECT_EQ(ValueOf(L"-0.6"), -1);
  EXPECT_EQ(ValueOf(L"5."), 5);
  EXPECT_EQ(ValueOf(L"2.50000000000000000000000000000000001"), 3);
  EXPECT_EQ(ValueOf(L"3.49999999999999999999999999999999999"), 3);
  EXPECT_EQ(ValueOf(L"000000000000000000000000000000300"), 300);
  EXPECT_EQ(ValueOf(L"32767"), 32767);
  EXPECT_EQ(ValueOf(L"-32768"), -32768);
  EXPECT_EQ(ValueOf(L"-32768.5"), -32768);
  EXPECT_EQ(ValueOf(L"-0"), 0);
}

TEST(NumberText, GroupSeparatorsAfterTheFirstDigit) {
  EXPECT_EQ(ValueOf(L"1,000"), 1000);
  EXPECT_EQ(ValueOf(L"1,0,0,0"), 1000);
  EXPECT_EQ(ValueOf(L"5,"), 5);
  EXPECT_EQ(ErrorOf(L",5"), ErrTypeMismatch);
  EXPECT_EQ(ErrorOf(L"1.5,0"), ErrTypeMismatch);
}

TEST(NumberText, RegionalSeparators) {
  EXPECT_EQ(ValueOf(L"1.000", German()), 1000);
  EXPECT_EQ(ValueOf(L"301,5", German()), 302);
  EXPECT_EQ(ValueOf(L"-1.234,5", German()), -1234);
  EXPECT_EQ(ErrorOf(L"1,2,3", German()), ErrTypeMismatch);
}

TEST(NumberText, NotANumberIsTypeMismatch) {
  for (const wchar_t* text : {L"", L" ", L"abc", L"1 2", L"-", L"+", L".", L"--5", L"+-5", L"5-", L"(5)", L"$5",
                              L"&H10", L"1e3", L"0x10", L"1.2.3", L"\x0661",
                              L"\x2212"
                              L"5"}) {
    EXPECT_EQ(ErrorOf(text), ErrTypeMismatch) << std::string(text, text + std::wcslen(text));
  }
}

TEST(NumberText, OutsideSixteenBitsIsOverflowAfterRounding) {
  for (const wchar_t* text : {L"70000", L"32768", L"-32769", L"32767.5", L"-32768.51", L"99999999999999999999999999"}) {
    EXPECT_EQ(ErrorOf(text), ErrOverflow) << std::string(text, text + std::wcslen(text));
  }
  EXPECT_EQ(ValueOf(L"32766.5"), 32766);
  EXPECT_EQ(ValueOf(L"32767.4999999999999999999999"), 32767);
}

TEST(NumberText, TruthWordsAndNumbers) {
  for (const wchar_t* text : {L"True", L"tRUE", L"-1", L"1", L"2.5", L"0.4", L"99999999999999999999", L" 7 "}) {
    const ConvertedInt16 truth = ParseTruth(text, US);
    EXPECT_EQ(truth.ErrorNumber, 0);
    EXPECT_EQ(truth.Value, TruthTrue) << std::string(text, text + std::wcslen(text));
  }
  for (const wchar_t* text : {L"False", L"FALSE", L"0", L"-0", L"0.000", L".0"}) {
    const ConvertedInt16 truth = ParseTruth(text, US);
    EXPECT_EQ(truth.ErrorNumber, 0);
    EXPECT_EQ(truth.Value, TruthFalse) << std::string(text, text + std::wcslen(text));
  }
  for (const wchar_t* text : {L"", L"yes", L"on", L"Wahr", L" true", L"false ", L"Tru"}) {
    EXPECT_EQ(ParseTruth(text, US).ErrorNumber, ErrTypeMismatch) << std::string(text, text + std::wcslen(text));
  }
}

TEST(NumberText, EverySixteenBitValueReadsBackAsWritten) {
  for (std::int32_t value = -32768; value <= 32767; ++value) {
    const std::int16_t number = static_cast<std::int16_t>(value);
    ASSERT_EQ(ParseInt16(Int16ToText(number), US).Value, number);
    ASSERT_EQ(ParseTruth(Int16ToText(number), US).Value, number != 0 ? TruthTrue : TruthFalse);
  }
}
