#include "LogText.h"

bool logtext::IsForbiddenInFileName(wchar_t c) {
  return c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'/' || c == L'\\' || c == L'|' ||
         c == L'?' || c == L'*';
}

bool LogNeedsRollover(std::uint64_t logFileSize) { return logFileSize > LogSizeLimit; }

std::wstring GeneralDateTimeText(const std::wstring& shortDate, const std::wstring& longTime, bool isMidnight) {
  std::wstring text;
  AppendGeneralDateTime(text, shortDate.c_str(), longTime.c_str(), isMidnight);
  return text;
}

std::wstring LogNumberText(std::int32_t number) {
  std::wstring text;
  AppendLogNumber(text, number);
  return text;
}

std::wstring LogLineText(const std::wstring& dateTime, std::int32_t number, const std::wstring& description,
                         const std::wstring& procedureName) {
  std::wstring line;
  AppendLogLine(line, dateTime.c_str(), number, description.c_str(), procedureName.c_str());
  return line;
}

std::wstring ArchiveFileName(const std::wstring& dateTime) {
  std::wstring name;
  AppendArchiveFileName(name, dateTime.c_str());
  return name;
}
