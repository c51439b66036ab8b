#include "INIModul.h"

#include <windows.h>

#include <new>
#include <vector>

#include "../common/WinText.h"
#include "../log/ErrorLog.h"
#include "ValueConversions.h"

ScanSettingsRecord ScanSettings;

namespace {

constexpr std::int16_t IniBufferSize = 256;

const AppError OutOfMemory{7, L"Out of memory"};

void WriteIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                   const std::wstring& filePath) {
  WritePrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(), ToAnsi(value).c_str(),
                             ToAnsi(filePath).c_str());
}

void LogLoadFault(const AppError& error) { LogError(error.Number, error.Description, L"LoadConfig"); }

}  // namespace

std::wstring SettingsFilePath() { return ProgramFolder() + L"\\Settings.ini"; }

std::wstring GetIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue,
                         const std::wstring& filePath, std::int16_t bufferSize) {
  if (bufferSize <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(bufferSize), ' ');
  const DWORD copied =
      GetPrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(), ToAnsi(defaultValue).c_str(),
                               buffer.data(), static_cast<DWORD>(buffer.size()), ToAnsi(filePath).c_str());
  const size_t length = copied < buffer.size() ? copied : buffer.size() - 1;
  return FromAnsi(std::string(buffer.data(), length));
}

void LoadConfigFrom(const std::wstring& filePath) {
  try {
    const auto read = [&](const std::wstring& section, const std::wstring& key, const std::wstring& defaultValue) {
      return GetIniValue(section, key, defaultValue, filePath, IniBufferSize);
    };
    LoadSettingsRecord(ScanSettings, read, UserNumberSymbols(), LogLoadFault);
  } catch (const std::bad_alloc&) {
    LogError(OutOfMemory.Number, OutOfMemory.Description, L"LoadConfig");
  }
}

void SaveConfigTo(const std::wstring& filePath) {
  try {
    for (const StoredSetting& setting : StoredSettingsOf(ScanSettings))
      WriteIniValue(setting.Section, setting.Key, setting.Text, filePath);
  } catch (const std::bad_alloc&) {
    LogError(OutOfMemory.Number, OutOfMemory.Description, L"SaveConfig");
  }
}

void LoadConfig() { LoadConfigFrom(SettingsFilePath()); }

void SaveConfig() { SaveConfigTo(SettingsFilePath()); }
