#include "LogText.h"

namespace {

constexpr size_t PrintZoneWidth = 14;

bool IsForbiddenInFileName(wchar_t c) {
  return c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'/' || c == L'\\' || c == L'|' ||
         c == L'?' || c == L'*';
}

void AppendInZone(std::wstring& line, const std::wstring& item) {
  line += item;
  // Columns are counted from 0 here; zones start at 0, 14, 28, ...
  const size_t nextZone = (line.size() / PrintZoneWidth + 1) * PrintZoneWidth;
  line.append(nextZone - line.size(), L' ');
}

}  // namespace

bool LogNeedsRollover(std::uint64_t logFileSize) { return logFileSize > LogSizeLimit; }

std::wstring GeneralDateTimeText(const std::wstring& shortDate, const std::wstring& longTime, bool isMidnight) {
  return isMidnight ? shortDate : shortDate + L" " + longTime;
}

std::wstring LogNumberText(std::int32_t number) {
  // Negate in 64 bits so that the most negative 32-bit value prints correctly.
  const long long value = number;
  const unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
  return (value < 0 ? L"-" : L" ") + std::to_wstring(magnitude) + L" ";
}

std::wstring LogLineText(const std::wstring& dateTime, std::int32_t number, const std::wstring& description,
                         const std::wstring& procedureName) {
  std::wstring line;
  AppendInZone(line, dateTime);
  AppendInZone(line, LogNumberText(number));
  AppendInZone(line, description);
  line += procedureName;
  line += L"\r\n";
  return line;
}

std::wstring ArchiveFileName(const std::wstring& dateTime) {
  std::wstring safe = dateTime;
  for (wchar_t& c : safe)
    if (IsForbiddenInFileName(c)) c = L'-';
  return L"error" + safe + L".log";
}
