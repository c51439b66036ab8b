#include "Fix32.h"

#include <cmath>

namespace {

// Ties to even, independent of the current rounding mode.
double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double fraction = value - floor;
  if (fraction > 0.5) return floor + 1;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace

bool RoundToInt16(double value, std::int16_t& result) {
  if (!std::isfinite(value)) return false;
  const double rounded = RoundHalfEven(value);
  if (rounded < -32768.0 || rounded > 32767.0) return false;
  result = static_cast<std::int16_t>(rounded);
  return true;
}

bool RoundToInt32(double value, std::int32_t& result) {
  if (!std::isfinite(value)) return false;
  const double rounded = RoundHalfEven(value);
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return false;
  result = static_cast<std::int32_t>(rounded);
  return true;
}

std::int32_t Fix32FromFloat(float value, TW_FIX32& target) {
  std::int32_t scaled = 0;
  if (!RoundToInt32(static_cast<double>(value) * 65536.0, scaled)) return 1;
  // Whole is the arithmetic shift of the 32-bit value, Frac its low 16 bits.
  const std::uint32_t bits = static_cast<std::uint32_t>(scaled);
  target.Whole = static_cast<TW_INT16>(static_cast<std::uint16_t>(bits >> 16));
  target.Frac = static_cast<TW_UINT16>(bits & 0xFFFFu);
  return 0;
}

float FloatFromFix32(TW_FIX32 value) {
  return static_cast<float>(static_cast<double>(value.Whole) + LongFromUInt16(value.Frac) / 65536.0);
}

std::int32_t UInt16FromLong(std::int32_t value, TW_UINT16& target) {
  if (value < 0 || value > 65535) return 1;
  target = static_cast<TW_UINT16>(value);
  return 0;
}

std::int32_t LongFromUInt16(TW_UINT16 value) { return static_cast<std::int32_t>(value); }

TW_UINT32 ItemFromFix32(TW_FIX32 value) {
  return static_cast<TW_UINT32>(static_cast<std::uint16_t>(value.Whole)) | (static_cast<TW_UINT32>(value.Frac) << 16);
}

TW_FIX32 Fix32FromItem(TW_UINT32 item) {
  return {static_cast<TW_INT16>(static_cast<std::uint16_t>(item & 0xFFFFu)), static_cast<TW_UINT16>(item >> 16)};
}
