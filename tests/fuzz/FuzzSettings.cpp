// The settings record on any stored texts: every field sound, at most one fault per convertible
// key and only 13 or 6, the resolution as the "DPI" text converts, and a record that a save
// writes loads back the same. The input holds the keys' texts, one per line, in the file's
// order; a missing line is a missing key. (Reading the file itself is the platform's.)
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "../../settings/SettingsRecord.h"
#include "../../settings/ValueText.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

using Stored = std::map<std::wstring, std::wstring>;  // "Section/Key" -> text

struct Loaded {
  ScanSettingsRecord Record;
  int Faults = 0;
};

Loaded Load(const Stored& stored) {
  Loaded loaded;
  const auto read = [&](const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue) {
    const auto found = stored.find(section + L"/" + key);
    return found == stored.end() ? defaultValue : found->second;
  };
  LoadSettingsRecord(loaded.Record, read, NumberSymbols(), [&](const AppError& error) {
    Require(error.Number == ErrTypeMismatch || error.Number == ErrOverflow);
    Require(error.Description == (error.Number == ErrOverflow ? L"Overflow" : L"Type mismatch"));
    ++loaded.Faults;
  });
  return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const wchar_t* keys[] = {L"Path/Path",       L"Scanner/DPI",      L"Scanner/ColorType",
                           L"Scanner/IsArray", L"Scanner/ScanPath", L"Scanner/ScanUI"};
  // One character per byte, as code page 1252 mostly reads them; a lone DEL stands for a missing key.
  const std::wstring input(data, data + size);
  Stored stored;
  std::size_t begin = 0;
  for (const wchar_t* key : keys) {
    if (begin > input.size()) break;
    const std::size_t end = std::min(input.find(L'\n', begin), input.size());
    if (input.compare(begin, end - begin, L"\x7f") != 0) stored[key] = input.substr(begin, end - begin);
    begin = end + 1;
  }
  const Loaded first = Load(stored);
  const ScanSettingsRecord& record = first.Record;
  Require(first.Faults <= 3);
  Require(record.UseExternalProgram == TruthTrue || record.UseExternalProgram == TruthFalse);
  Require(record.ShowSourceUI == TruthTrue || record.ShowSourceUI == TruthFalse);
  const auto dpiText = stored.find(L"Scanner/DPI");
  const ConvertedInt16 dpi = ParseInt16(dpiText == stored.end() ? L"300" : dpiText->second, NumberSymbols());
  Require(record.Resolution == (dpi.ErrorNumber == 0 ? dpi.Value : 300));

  Stored saved;
  for (const StoredSetting& setting : StoredSettingsOf(record))
    saved[setting.Section + L"/" + setting.Key] = setting.Text;
  const Loaded again = Load(saved);
  Require(again.Faults == 0);
  const ScanSettingsRecord& back = again.Record;
  Require(back.OutputFolder == record.OutputFolder && back.Resolution == record.Resolution &&
          back.ColorTypeName == record.ColorTypeName && back.UseExternalProgram == record.UseExternalProgram &&
          back.ExternalProgramPath == record.ExternalProgramPath && back.ShowSourceUI == record.ShowSourceUI);
  return 0;
}
