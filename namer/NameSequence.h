// The default image names: the date and a running number of the day, "20261207-0001".
// Free of Win32.
#pragma once

#include <cstdint>
#include <string>

// The name for the given day (yyyymmdd) and number; the number has at least four digits.
std::wstring SequenceName(std::uint32_t day, std::uint32_t number);

// The next number: 1 on a new day, otherwise the last one plus one.
std::uint32_t NextNumber(std::uint32_t lastDay, std::uint32_t lastNumber, std::uint32_t today);
