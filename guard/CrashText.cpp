#include "CrashText.h"

bool RestartsAfterCrash(std::uint64_t previousCrash, std::uint64_t now) {
  return previousCrash == 0 || now < previousCrash || now - previousCrash >= RestartPauseSeconds;
}

bool SameText(const wchar_t* a, const wchar_t* b) {
  auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
  for (; *a && *b; ++a, ++b)
    if (lower(*a) != lower(*b)) return false;
  return *a == *b;
}
