// The settings record and how its six keys turn into fields and back. Free of Win32: the
// profile file is read and written by the caller, which passes each key's stored text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../common/AppError.h"
#include "NumberText.h"

struct ScanSettingsRecord {
  std::wstring OutputFolder;            // [Path] Path: images go to OutputFolder & name & ".bmp"
  std::int16_t Resolution = 0;          // [Scanner] DPI
  std::wstring ColorTypeName;           // [Scanner] ColorType: "BW", "GREY" or "RGB"
  std::int16_t UseExternalProgram = 0;  // [Scanner] IsArray: -1 on, 0 off
  std::wstring ExternalProgramPath;     // [Scanner] ScanPath
  std::int16_t ShowSourceUI = 0;        // [Scanner] ScanUI: -1 true, 0 false
};

// The stored text of one key: (section, key, default for a missing file, section or key).
using SettingsValueReader = std::function<std::wstring(const std::wstring&, const std::wstring&, const std::wstring&)>;
using SettingsFaultSink = std::function<void(const AppError&)>;

// Fills the record key by key, in the file's order. A value that cannot be converted is
// reported and its field takes the key's default, so that one bad key neither stops the load
// nor leaves the keys after it blank (a later save would write those blanks over the user's values).
void LoadSettingsRecord(ScanSettingsRecord& record, const SettingsValueReader& read, const NumberSymbols& symbols,
                        const SettingsFaultSink& reportFault);

struct StoredSetting {
  std::wstring Section;
  std::wstring Key;
  std::wstring Text;
};

// The six keys with the texts that a save writes, in the order in which it writes them.
std::vector<StoredSetting> StoredSettingsOf(const ScanSettingsRecord& record);
