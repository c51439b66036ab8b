#include "INIModul.h"

#include <windows.h>

#include <new>
#include <vector>

#include "../common/WinText.h"
#include "../log/ErrorLog.h"
#include "ValueConversions.h"
#include "ValueText.h"

ScanSettingsRecord ScanSettings;

namespace {

constexpr std::int16_t IniBufferSize = 256;

// The defaults of the keys, as stored text and as the field value they load into.
const wchar_t DefaultDpiText[] = L"300";
constexpr std::int16_t DefaultResolution = 300;
const wchar_t DefaultColorType[] = L"RGB";
const wchar_t DefaultFlagText[] = L"0";

const AppError OutOfMemory{7, L"Out of memory"};

// Converts one stored value; a value that cannot be converted is logged and replaced by
// the key's default, so that one bad key neither stops the load nor blanks the keys after it.
template <typename Convert>
std::int16_t ConvertOrDefault(const std::wstring& text, Convert convert, std::int16_t defaultValue) {
  try {
    return convert(text);
  } catch (const AppError& error) {
    LogError(error.Number, error.Description, L"LoadConfig");
    return defaultValue;
  }
}

void WriteIniValue(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                   const std::wstring& filePath) {
  WritePrivateProfileStringA(ToAnsi(section).c_str(), ToAnsi(key).c_str(), ToAnsi(value).c_str(),
                             ToAnsi(filePath).c_str());
}

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
    auto read = [&](const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) {
      return GetIniValue(section, key, defaultValue, filePath, IniBufferSize);
    };
    ScanSettings.OutputFolder = read(L"Path", L"Path", L"");
    ScanSettings.Resolution =
        ConvertOrDefault(read(L"Scanner", L"DPI", DefaultDpiText), TextToInt16, DefaultResolution);
    ScanSettings.ColorTypeName = read(L"Scanner", L"ColorType", DefaultColorType);
    ScanSettings.UseExternalProgram =
        ConvertOrDefault(read(L"Scanner", L"IsArray", DefaultFlagText), TextToTruth, TruthFalse);
    ScanSettings.ExternalProgramPath = read(L"Scanner", L"ScanPath", L"");
    ScanSettings.ShowSourceUI = ConvertOrDefault(read(L"Scanner", L"ScanUI", DefaultFlagText), TextToTruth, TruthFalse);
  } catch (const std::bad_alloc&) {
    LogError(OutOfMemory.Number, OutOfMemory.Description, L"LoadConfig");
  }
}

void SaveConfigTo(const std::wstring& filePath) {
  try {
    WriteIniValue(L"Path", L"Path", ScanSettings.OutputFolder, filePath);
    WriteIniValue(L"Scanner", L"DPI", Int16ToText(ScanSettings.Resolution), filePath);
    WriteIniValue(L"Scanner", L"ColorType", ScanSettings.ColorTypeName, filePath);
    WriteIniValue(L"Scanner", L"IsArray", Int16ToText(ScanSettings.UseExternalProgram), filePath);
    WriteIniValue(L"Scanner", L"ScanPath", ScanSettings.ExternalProgramPath, filePath);
    WriteIniValue(L"Scanner", L"ScanUI", TruthToText(ScanSettings.ShowSourceUI), filePath);
  } catch (const std::bad_alloc&) {
    LogError(OutOfMemory.Number, OutOfMemory.Description, L"SaveConfig");
  }
}

void LoadConfig() { LoadConfigFrom(SettingsFilePath()); }

void SaveConfig() { SaveConfigTo(SettingsFilePath()); }
