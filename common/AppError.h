// A trapped failure: the error number and description that reach the error log.
#pragma once

#include <string>

struct AppError {
  long Number;
  std::wstring Description;
};

// The error numbers of the text conversions, with their fixed descriptions.
constexpr long ErrTypeMismatch = 13;
constexpr long ErrOverflow = 6;

inline AppError TypeMismatchError() { return {ErrTypeMismatch, L"Type mismatch"}; }
inline AppError OverflowError() { return {ErrOverflow, L"Overflow"}; }
