// Fixed-point and 16-bit conversions of capability values. Free of Win32.
#pragma once

#include <cstdint>

#include "TwainTypes.h"

// Status results: 0 success, 1 failure.

// value x 65536 rounded to the nearest integer, ties to even, split into Whole and Frac.
// Fails for a value that is not finite or does not fit (-32768 <= value < 32768, after rounding).
std::int32_t Fix32FromFloat(float value, TW_FIX32& target);

// The float nearest to Whole + Frac / 65536.
float FloatFromFix32(TW_FIX32 value);

// 0..65535 go to target; anything else fails and leaves target unchanged.
std::int32_t UInt16FromLong(std::int32_t value, TW_UINT16& target);

std::int32_t LongFromUInt16(TW_UINT16 value);

// Rounds to the nearest integer, ties to even, and checks the range; false when it does not fit.
bool RoundToInt16(double value, std::int16_t& result);
bool RoundToInt32(double value, std::int32_t& result);

// The 4 bytes of a one-value Item for a fixed-point value, and back.
TW_UINT32 ItemFromFix32(TW_FIX32 value);
TW_FIX32 Fix32FromItem(TW_UINT32 item);
