#include "NameSequence.h"

std::wstring SequenceName(std::uint32_t day, std::uint32_t number) {
  std::wstring digits = std::to_wstring(number);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), L'0');
  return std::to_wstring(day) + L"-" + digits;
}

std::uint32_t NextNumber(std::uint32_t lastDay, std::uint32_t lastNumber, std::uint32_t today) {
  return lastDay == today ? lastNumber + 1 : 1;
}
