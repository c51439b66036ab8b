#include "NumberText.h"

#include "ValueText.h"

namespace {

// A decimal number as its significant digits and the position of the decimal point among them:
// "-0012.50" is digits "1250", two digits before the point, negative.
struct DecimalNumber {
  bool Negative = false;
  std::string Digits;
  std::size_t IntegerDigits = 0;
};

class TextCursor {
 public:
  explicit TextCursor(std::wstring_view text) : text_(text) {}

  bool AtEnd() const { return at_ == text_.size(); }

  void SkipBlanks() {
    while (!AtEnd() && (text_[at_] == L' ' || text_[at_] == L'\t')) ++at_;
  }

  bool Take(std::wstring_view symbol) {
    if (symbol.empty() || text_.substr(at_, symbol.size()) != symbol) return false;
    at_ += symbol.size();
    return true;
  }

  bool TakeDigit(char& digit) {
    if (AtEnd() || text_[at_] < L'0' || text_[at_] > L'9') return false;
    digit = static_cast<char>('0' + (text_[at_] - L'0'));
    ++at_;
    return true;
  }

 private:
  std::wstring_view text_;
  std::size_t at_ = 0;
};

bool ParseDecimal(std::wstring_view text, const NumberSymbols& symbols, DecimalNumber& number) {
  TextCursor cursor(text);
  cursor.SkipBlanks();
  if (cursor.Take(symbols.NegativeSign) || cursor.Take(L"-")) {
    number.Negative = true;
    cursor.SkipBlanks();
  } else if (cursor.Take(symbols.PositiveSign) || cursor.Take(L"+")) {
    cursor.SkipBlanks();
  }
  char digit = 0;
  bool anyDigit = false;
  for (;;) {
    if (cursor.TakeDigit(digit)) {
      anyDigit = true;
      number.Digits += digit;
    } else if (!anyDigit || !cursor.Take(symbols.GroupSeparator)) {
      break;
    }
  }
  number.IntegerDigits = number.Digits.size();
  if (cursor.Take(symbols.DecimalSeparator)) {
    while (cursor.TakeDigit(digit)) {
      anyDigit = true;
      number.Digits += digit;
    }
  }
  cursor.SkipBlanks();
  if (!anyDigit || !cursor.AtEnd()) return false;

  std::size_t leadingZeros = 0;
  while (leadingZeros < number.IntegerDigits && number.Digits[leadingZeros] == '0') ++leadingZeros;
  number.Digits.erase(0, leadingZeros);
  number.IntegerDigits -= leadingZeros;
  return true;
}

bool IsZero(const DecimalNumber& number) { return number.Digits.find_first_not_of('0') == std::string::npos; }

// The magnitude rounded half to even; false when it cannot fit 16 bits whatever its sign.
bool RoundMagnitude(const DecimalNumber& number, std::int32_t& magnitude) {
  if (number.IntegerDigits > 5) return false;
  magnitude = 0;
  for (std::size_t i = 0; i < number.IntegerDigits; ++i) magnitude = magnitude * 10 + (number.Digits[i] - '0');
  const std::string fraction = number.Digits.substr(number.IntegerDigits);
  if (fraction.empty() || fraction[0] < '5') return true;
  const bool exactHalf = fraction[0] == '5' && fraction.find_first_not_of('0', 1) == std::string::npos;
  if (!exactHalf || magnitude % 2 == 1) ++magnitude;
  return true;
}

}  // namespace

ConvertedInt16 ParseInt16(std::wstring_view text, const NumberSymbols& symbols) {
  DecimalNumber number;
  if (!ParseDecimal(text, symbols, number)) return {ErrTypeMismatch, 0};
  std::int32_t magnitude = 0;
  if (!RoundMagnitude(number, magnitude)) return {ErrOverflow, 0};
  const std::int32_t value = number.Negative ? -magnitude : magnitude;
  if (value < -32768 || value > 32767) return {ErrOverflow, 0};
  return {0, static_cast<std::int16_t>(value)};
}

namespace {

bool EqualsIgnoringAsciiCase(std::wstring_view text, std::wstring_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

ConvertedInt16 ParseTruth(std::wstring_view text, const NumberSymbols& symbols) {
  if (EqualsIgnoringAsciiCase(text, L"true")) return {0, TruthTrue};
  if (EqualsIgnoringAsciiCase(text, L"false")) return {0, TruthFalse};
  DecimalNumber number;
  if (!ParseDecimal(text, symbols, number)) return {ErrTypeMismatch, 0};
  return {0, IsZero(number) ? TruthFalse : TruthTrue};
}
