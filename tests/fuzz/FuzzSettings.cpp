// The settings reader on any file contents: every field sound, at most one fault per
// convertible key and only 13 or 6, the resolution as the "DPI" text converts, and a record
// that a save writes loads back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../../settings/SettingsRecord.h"
#include "../../settings/ValueText.h"
#include "../model/ProfileModel.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr std::size_t BufferSize = 256;

struct Loaded {
  ScanSettingsRecord Record;
  int Faults = 0;
};

Loaded Load(const std::wstring& contents) {
  Loaded loaded;
  const auto read = [&](const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue) {
    return profile_model::Value(contents, section, key, defaultValue, BufferSize);
  };
  LoadSettingsRecord(loaded.Record, read, NumberSymbols(), [&](const AppError& error) {
    Require(error.Number == ErrTypeMismatch || error.Number == ErrOverflow);
    Require(error.Description == (error.Number == ErrOverflow ? L"Overflow" : L"Type mismatch"));
    ++loaded.Faults;
  });
  return loaded;
}

bool SameRecord(const ScanSettingsRecord& a, const ScanSettingsRecord& b) {
  return a.OutputFolder == b.OutputFolder && a.Resolution == b.Resolution && a.ColorTypeName == b.ColorTypeName &&
         a.UseExternalProgram == b.UseExternalProgram && a.ExternalProgramPath == b.ExternalProgramPath &&
         a.ShowSourceUI == b.ShowSourceUI;
}

// Blanks and quotes at the ends of a value do not survive a profile file.
bool SurvivesProfileFile(const std::wstring& text) {
  if (text.empty()) return true;
  const std::wstring ends = L" \t\v\f\"'";
  return ends.find(text.front()) == std::wstring::npos && ends.find(text.back()) == std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The file's bytes as code page 1252 would mostly read them: one character per byte.
  const std::wstring contents(data, data + size);
  const Loaded first = Load(contents);
  const ScanSettingsRecord& record = first.Record;

  Require(first.Faults <= 3);
  for (const std::wstring* text : {&record.OutputFolder, &record.ColorTypeName, &record.ExternalProgramPath})
    Require(text->size() < BufferSize);
  Require(record.UseExternalProgram == TruthTrue || record.UseExternalProgram == TruthFalse);
  Require(record.ShowSourceUI == TruthTrue || record.ShowSourceUI == TruthFalse);
  const ConvertedInt16 dpi =
      ParseInt16(profile_model::Value(contents, L"Scanner", L"DPI", L"300", BufferSize), NumberSymbols());
  Require(record.Resolution == (dpi.ErrorNumber == 0 ? dpi.Value : 300));

  if (SurvivesProfileFile(record.OutputFolder) && SurvivesProfileFile(record.ColorTypeName) &&
      SurvivesProfileFile(record.ExternalProgramPath)) {
    const Loaded again = Load(profile_model::FileOf(record));
    Require(again.Faults == 0);
    Require(SameRecord(again.Record, record));
  }
  return 0;
}
