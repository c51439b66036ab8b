// ScanSettings and its file "Settings.ini" beside the program.
#pragma once

#include <cstdint>
#include <string>

#include "SettingsRecord.h"

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
