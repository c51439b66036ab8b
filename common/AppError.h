// A trapped failure: the error number and description that reach the error log.
#pragma once

#include <cstdint>
#include <string>

struct AppError {
  std::int32_t Number;
  std::wstring Description;
};

// The error numbers of the text conversions, with their fixed descriptions.
constexpr std::int32_t ErrTypeMismatch = 13;
constexpr std::int32_t ErrOverflow = 6;

inline AppError TypeMismatchError() { return {ErrTypeMismatch, L"Type mismatch"}; }
inline AppError OverflowError() { return {ErrOverflow, L"Overflow"}; }
