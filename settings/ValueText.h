// The text forms in which settings are stored. Free of Win32.
#pragma once

#include <cstdint>
#include <string>

// Decimal digits with a leading "-" for negatives and no leading blank: "300", "-1".
std::wstring Int16ToText(std::int16_t value);

// "True" for any non-zero value, "False" for zero.
std::wstring TruthToText(std::int16_t value);

// Truth values are held in 16 bits: -1 for true, 0 for false.
constexpr std::int16_t TruthTrue = -1;
constexpr std::int16_t TruthFalse = 0;
