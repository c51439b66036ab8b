// The text of the error log: its lines, the date and time form and the archive name.
// Kept free of Win32 so that it can be built and checked on any platform.
#pragma once

#include <cstdint>
#include <string>

// The log is moved aside only when it is strictly larger than this many bytes.
constexpr std::uint64_t LogSizeLimit = 1000000;

bool LogNeedsRollover(std::uint64_t logFileSize);

// The general date and time form: the short date, a blank and the long time;
// a time of exactly midnight is left out.
std::wstring GeneralDateTimeText(const std::wstring& shortDate, const std::wstring& longTime, bool isMidnight);

// A number as printed into the log: a blank or "-", the digits, one trailing blank.
std::wstring LogNumberText(std::int32_t number);

// One log line, CR LF included. Each item starts at a print zone (columns 1, 15, 29, ...),
// the first zone after the end of the item before it.
std::wstring LogLineText(const std::wstring& dateTime, std::int32_t number, const std::wstring& description,
                         const std::wstring& procedureName);

// "error" & date and time & ".log", with every character that a Windows file name
// cannot hold ("/" and ":" of most regional date and time forms) replaced by "-".
std::wstring ArchiveFileName(const std::wstring& dateTime);
