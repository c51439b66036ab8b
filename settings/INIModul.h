// ScanSettings and its file "Settings.ini" beside the program.
#pragma once

#include <cstdint>
#include <string>

struct ScanSettingsRecord {
  std::wstring OutputFolder;            // [Path] Path: images go to OutputFolder & name & ".bmp"
  std::int16_t Resolution = 0;          // [Scanner] DPI
  std::wstring ColorTypeName;           // [Scanner] ColorType: "BW", "GREY" or "RGB"
  std::int16_t UseExternalProgram = 0;  // [Scanner] IsArray: -1 on, 0 off
  std::wstring ExternalProgramPath;     // [Scanner] ScanPath
  std::int16_t ShowSourceUI = 0;        // [Scanner] ScanUI: -1 true, 0 false
};

// The one record of the run, read and assigned directly by its users.
extern ScanSettingsRecord ScanSettings;

// The program's folder & "\Settings.ini".
std::wstring SettingsFilePath();

// One value of a profile file, at most bufferSize - 1 characters; the default when the
// file, section or key is missing, the empty text for a key present with no value.
std::wstring GetIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue,
                         const std::wstring& filePath, std::int16_t bufferSize);

// Fills ScanSettings from the file. A value that cannot be converted is logged under
// "LoadConfig" and its field takes the key's default; the other keys still load.
void LoadConfig();
// Writes all six keys. A file that cannot be written fails quietly.
void SaveConfig();

// The same with an explicit file path; LoadConfig and SaveConfig use SettingsFilePath().
void LoadConfigFrom(const std::wstring& filePath);
void SaveConfigTo(const std::wstring& filePath);
