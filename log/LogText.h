// The text of the error log: its lines, the date and time form, the archive name and the name of
// the lock that every program writing to one log folder takes.
// Kept free of Win32 so that it can be built and checked on any platform. Each text is composed
// into any text type with append(const wchar_t*, size_t), append(size_t, wchar_t) and size():
// std::wstring, or FixedText where nothing may be allocated (the last-chance handler).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "../common/FixedText.h"

// The log is moved aside only when it is strictly larger than this many bytes.
constexpr std::uint64_t LogSizeLimit = 1000000;

namespace logtext {

constexpr std::size_t PrintZoneWidth = 14;

inline std::size_t Length(const wchar_t* text) {
  std::size_t count = 0;
  while (text && text[count]) ++count;
  return count;
}

// The item, then blanks to the start of the next print zone (columns counted from 0 here; zones
// start at 0, 14, 28, ...).
template <typename Text>
void AppendInZone(Text& line, const wchar_t* item, std::size_t length) {
  line.append(item, length);
  const std::size_t nextZone = (line.size() / PrintZoneWidth + 1) * PrintZoneWidth;
  line.append(nextZone - line.size(), L' ');
}

bool IsForbiddenInFileName(wchar_t c);

}  // namespace logtext

bool LogNeedsRollover(std::uint64_t logFileSize);

// The general date and time form: the short date, a blank and the long time;
// a time of exactly midnight is left out.
template <typename Text>
void AppendGeneralDateTime(Text& text, const wchar_t* shortDate, const wchar_t* longTime, bool isMidnight) {
  text.append(shortDate, logtext::Length(shortDate));
  if (isMidnight) return;
  text.append(1, L' ');
  text.append(longTime, logtext::Length(longTime));
}
std::wstring GeneralDateTimeText(const std::wstring& shortDate, const std::wstring& longTime, bool isMidnight);

// A number as printed into the log: a blank or "-", the digits, one trailing blank.
template <typename Text>
void AppendLogNumber(Text& text, std::int32_t number) {
  // Negate in 64 bits so that the most negative 32-bit value prints correctly.
  const long long value = number;
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
  wchar_t digits[24];
  std::size_t count = 0;
  do {
    digits[sizeof digits / sizeof digits[0] - 1 - count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  text.append(1, value < 0 ? L'-' : L' ');
  text.append(digits + sizeof digits / sizeof digits[0] - count, count);
  text.append(1, L' ');
}
std::wstring LogNumberText(std::int32_t number);

// One log line, CR LF included. Each item starts at a print zone (columns 1, 15, 29, ...),
// the first zone after the end of the item before it.
template <typename Text>
void AppendLogLine(Text& line, const wchar_t* dateTime, std::int32_t number, const wchar_t* description,
                   const wchar_t* procedureName) {
  logtext::AppendInZone(line, dateTime, logtext::Length(dateTime));
  FixedText<16> numberText;
  AppendLogNumber(numberText, number);
  logtext::AppendInZone(line, numberText.c_str(), numberText.size());
  logtext::AppendInZone(line, description, logtext::Length(description));
  line.append(procedureName, logtext::Length(procedureName));
  line.append(L"\r\n", 2);
}
std::wstring LogLineText(const std::wstring& dateTime, std::int32_t number, const std::wstring& description,
                         const std::wstring& procedureName);

// "error" & date and time & ".log", with every character that a Windows file name
// cannot hold ("/" and ":" of most regional date and time forms) replaced by "-".
template <typename Text>
void AppendArchiveFileName(Text& name, const wchar_t* dateTime) {
  name.append(L"error", 5);
  for (std::size_t i = 0; dateTime && dateTime[i]; ++i)
    name.append(1, logtext::IsForbiddenInFileName(dateTime[i]) ? L'-' : dateTime[i]);
  name.append(L".log", 4);
}
std::wstring ArchiveFileName(const std::wstring& dateTime);

// "Global\Zembrolite.ErrorLog." & eight hex digits of a hash of the log folder's full path as
// the caller folded it to one case: the name of the machine-wide lock that every program
// writing to that folder takes around its append and rollover.
template <typename Text>
void AppendLogLockName(Text& name, const wchar_t* foldedFolder) {
  std::uint32_t hash = 2166136261u;  // FNV-1a over the UTF-16 code units, low byte first
  for (std::size_t i = 0; foldedFolder && foldedFolder[i]; ++i) {
    const auto unit = static_cast<std::uint16_t>(foldedFolder[i]);
    hash = (hash ^ (unit & 0xFFu)) * 16777619u;
    hash = (hash ^ (unit >> 8)) * 16777619u;
  }
  const wchar_t* const prefix = L"Global\\Zembrolite.ErrorLog.";
  name.append(prefix, logtext::Length(prefix));
  for (int shift = 28; shift >= 0; shift -= 4) name.append(1, L"0123456789ABCDEF"[(hash >> shift) & 0xFu]);
}
