// A plain reader and writer of profile files, standing in for the platform's profile functions
// where those cannot run (native checks and fuzzing). A test under Wine holds it to the real
// GetPrivateProfileStringA on random files:
// - lines end at CR or LF; blanks around a line, around a key and after "=" are dropped;
// - "[name]" opens a section; section and key names match without regard to ASCII case;
// - only the first section of a name is searched, and its first matching key wins; a key
//   written without "=" has no value and reads as the default;
// - a value of two or more characters that begins and ends with the same quote loses both;
// - the result is cut to bufferSize - 1 characters; the default stands for a missing key.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "../../settings/SettingsRecord.h"

namespace profile_model {

inline bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'; }

inline std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

inline bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    if (x != y) return false;
  }
  return true;
}

inline std::vector<std::wstring_view> Lines(std::wstring_view contents) {
  std::vector<std::wstring_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= contents.size(); ++i) {
    if (i == contents.size() || contents[i] == L'\r' || contents[i] == L'\n') {
      lines.push_back(contents.substr(start, i - start));
      start = i + 1;
    }
  }
  return lines;
}

inline std::wstring WithoutQuotes(std::wstring_view value) {
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
    return std::wstring(value.substr(1, value.size() - 2));
  return std::wstring(value);
}

inline std::wstring Value(std::wstring_view contents, std::wstring_view section, std::wstring_view key,
                          std::wstring_view defaultValue, std::size_t bufferSize) {
  std::wstring result(defaultValue);
  bool inSection = false;
  bool sectionSeen = false;
  for (std::wstring_view line : Lines(contents)) {
    line = Trimmed(line);
    if (!line.empty() && line.front() == L'[') {
      const std::size_t close = line.rfind(L']');
      if (close != std::wstring_view::npos) {
        if (inSection) break;
        inSection = !sectionSeen && SameName(line.substr(1, close - 1), section);
        sectionSeen = sectionSeen || inSection;
        continue;
      }
    }
    if (!inSection) continue;
    const std::size_t equals = line.find(L'=');
    if (SameName(Trimmed(line.substr(0, equals)), key)) {
      if (equals != std::wstring_view::npos) result = WithoutQuotes(Trimmed(line.substr(equals + 1)));
      break;
    }
  }
  if (bufferSize == 0) return {};
  if (result.size() > bufferSize - 1) result.resize(bufferSize - 1);
  return result;
}

// The file that a save of the record writes where none existed.
inline std::wstring FileOf(const ScanSettingsRecord& record) {
  std::wstring contents;
  std::wstring section;
  for (const StoredSetting& setting : StoredSettingsOf(record)) {
    if (setting.Section != section) {
      section = setting.Section;
      contents += L"[" + section + L"]\r\n";
    }
    contents += setting.Key + L"=" + setting.Text + L"\r\n";
  }
  return contents;
}

}  // namespace profile_model
