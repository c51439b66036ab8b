// Text to number and text to truth value for any text, under the US and the German number
// format: a result of 0, 13 or 6 only, numbers that read back as written, blanks and signs that
// act as they should, and short plain numbers that round as an independent reckoning does.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "../../settings/NumberText.h"
#include "../../settings/ValueText.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

NumberSymbols German() {
  NumberSymbols symbols;
  symbols.DecimalSeparator = L",";
  symbols.GroupSeparator = L".";
  return symbols;
}

// A plain decimal of at most 15 digits with "." for the point, which a double holds exactly
// enough for rounding half to even to come out right.
bool PlainShortDecimal(const std::wstring& text, double& value) {
  int digits = 0, points = 0;
  for (wchar_t c : text) {
    if (c >= L'0' && c <= L'9')
      ++digits;
    else if (c == L'.')
      ++points;
    else
      return false;
  }
  if (digits == 0 || digits > 15 || points > 1) return false;
  value = std::stod(std::string(text.begin(), text.end()));
  return true;
}

void CheckOneFormat(const std::wstring& text, const NumberSymbols& symbols) {
  const ConvertedInt16 number = ParseInt16(text, symbols);
  Require(number.ErrorNumber == 0 || number.ErrorNumber == ErrTypeMismatch || number.ErrorNumber == ErrOverflow);
  if (number.ErrorNumber == 0) {
    Require(ParseInt16(Int16ToText(number.Value), symbols).Value == number.Value);
  }
  const ConvertedInt16 padded = ParseInt16(L" \t" + text + L" ", symbols);
  Require(padded.ErrorNumber == number.ErrorNumber && padded.Value == number.Value);

  const bool signedText = !text.empty() && (text[0] == L'-' || text[0] == L'+' || text[0] == L' ' || text[0] == L'\t');
  if (!signedText && number.ErrorNumber == 0) {
    const ConvertedInt16 negated = ParseInt16(L"-" + text, symbols);
    Require(negated.ErrorNumber == 0 && negated.Value == -number.Value);
  }

  const ConvertedInt16 truth = ParseTruth(text, symbols);
  Require(truth.ErrorNumber == 0 || truth.ErrorNumber == ErrTypeMismatch);
  Require(truth.Value == TruthTrue || truth.Value == TruthFalse);
  if (number.ErrorNumber == 0 && number.Value != 0) Require(truth.ErrorNumber == 0 && truth.Value == TruthTrue);
  if (number.ErrorNumber == ErrOverflow) Require(truth.ErrorNumber == 0 && truth.Value == TruthTrue);
  if (number.ErrorNumber == ErrTypeMismatch && truth.ErrorNumber == 0) {
    std::wstring lower;
    for (wchar_t c : text) lower += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    Require(lower == L"true" || lower == L"false");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  if (size % 2 == 1) text += static_cast<wchar_t>(data[size - 1]);

  CheckOneFormat(text, NumberSymbols());
  CheckOneFormat(text, German());

  double plain = 0;
  if (PlainShortDecimal(text, plain)) {
    const ConvertedInt16 number = ParseInt16(text, NumberSymbols());
    const double rounded = std::nearbyint(plain);
    if (rounded > 32767)
      Require(number.ErrorNumber == ErrOverflow);
    else
      Require(number.ErrorNumber == 0 && number.Value == static_cast<std::int16_t>(rounded));
  }
  return 0;
}
