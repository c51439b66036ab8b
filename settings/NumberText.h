// Text to number and text to truth value in a regional number format. Free of Win32: the caller
// supplies the user's symbols, so the same code runs in the program and in native checks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "../common/AppError.h"

struct NumberSymbols {
  std::wstring DecimalSeparator = L".";
  std::wstring GroupSeparator = L",";
  std::wstring NegativeSign = L"-";
  std::wstring PositiveSign = L"+";
};

// ErrorNumber is 0 when the text converted, else ErrTypeMismatch or ErrOverflow.
struct ConvertedInt16 {
  std::int32_t ErrorNumber;
  std::int16_t Value;
};

// Blanks, an optional sign, digits with group separators after the first, an optional fraction
// and blanks: " -1,234.5 ". The fraction rounds half to even; the rounded number must fit 16 bits.
// "-" and "+" are accepted besides the regional signs.
ConvertedInt16 ParseInt16(std::wstring_view text, const NumberSymbols& symbols);

// "True" or "False" in any ASCII letter case, or a number as above of any size: zero is false,
// anything else true. The value is -1 or 0.
ConvertedInt16 ParseTruth(std::wstring_view text, const NumberSymbols& symbols);
