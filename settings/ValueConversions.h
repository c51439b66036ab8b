// Text to number and text to truth value, in the user's regional number format.
// Both raise AppError: 13 "Type mismatch" for a text that is not a number (or truth word),
// 6 "Overflow" for a number outside the 16-bit range.
#pragma once

#include <cstdint>
#include <string>

#include "../common/AppError.h"
#include "NumberText.h"

// An optional sign, blanks around, a fraction rounded half to even: "301.5" gives 302.
std::int16_t TextToInt16(const std::wstring& text);

// "True" and "False" in any letter case, or a number: zero is false, anything else true.
// The result is -1 or 0.
std::int16_t TextToTruth(const std::wstring& text);

// The decimal and group separators and the signs of a locale; the user's own settings for
// the user's default locale (0x0400).
NumberSymbols NumberSymbolsOf(std::uint32_t localeId);
NumberSymbols UserNumberSymbols();
