// Text to number and truth value in the US and the German number format. Read-back, blanks,
// signs and plain decimals over any text are the fuzzer's; these are the rules written out.
#include "../../settings/NumberText.h"

#include <gtest/gtest.h>

#include <string>

#include "../../settings/ValueText.h"

namespace {

NumberSymbols German() {
  NumberSymbols symbols;
  symbols.DecimalSeparator = L",";
  symbols.GroupSeparator = L".";
  return symbols;
}

}  // namespace

TEST(NumberText, NumbersRoundHalfToEvenWithinSixteenBits) {
  const int Mismatch = ErrTypeMismatch, Overflow = ErrOverflow;
  struct Case {
    const wchar_t* text;
    int error, value;
    bool german = false;
  };
  // Blanks, signs and short plain decimals over any text are the fuzzer's.
  const Case cases[] = {
      {L"2.50000000000000000000000000000000001", 0, 3},
      {L"3.49999999999999999999999999999999999", 0, 3},
      {L"-32768.5", 0, -32768},
      {L"32767.4999999999999999999999", 0, 32767},
      {L"1,0,0,0", 0, 1000},
      {L",5", Mismatch, 0},
      {L"1.5,0", Mismatch, 0},
      {L"1.000", 0, 1000, true},
      {L"-1.234,5", 0, -1234, true},
      {L"1,2,3", Mismatch, 0, true},
      {L"70000", Overflow, 0},
      {L"32767.5", Overflow, 0},
      {L"-32768.51", Overflow, 0},
  };
  for (const Case& c : cases) {
    const ConvertedInt16 converted = ParseInt16(c.text, c.german ? German() : NumberSymbols());
    EXPECT_EQ(converted.ErrorNumber * 100000 + converted.Value, c.error * 100000 + c.value)
        << std::string(c.text, c.text + std::wcslen(c.text));
  }
  for (const wchar_t* text :
       {L"", L"abc", L"1 2", L"-", L".", L"+-5", L"5-", L"(5)", L"$5", L"&H10", L"1e3", L"1.2.3", L"\x0661",
        L"\x2212"
        L"5"}) {
    EXPECT_EQ(ParseInt16(text, NumberSymbols()).ErrorNumber, ErrTypeMismatch)
        << std::string(text, text + std::wcslen(text));
  }
}

TEST(NumberText, TruthWordsAndNumbers) {
  struct Case {
    const wchar_t* text;
    int error, value;
  };
  const Case cases[] = {
      {L"tRUE", 0, TruthTrue},   {L"0.4", 0, TruthTrue},        {L"False", 0, TruthFalse},      {L"-0", 0, TruthFalse},
      {L"", ErrTypeMismatch, 0}, {L"Wahr", ErrTypeMismatch, 0}, {L" true", ErrTypeMismatch, 0},
  };
  for (const Case& c : cases) {
    const ConvertedInt16 truth = ParseTruth(c.text, NumberSymbols());
    EXPECT_EQ(truth.ErrorNumber * 10 + (truth.ErrorNumber ? 0 : truth.Value), c.error * 10 + c.value)
        << std::string(c.text, c.text + std::wcslen(c.text));
  }
}
