#include "SettingsRecord.h"

#include "ValueText.h"

namespace {

const wchar_t DefaultDpiText[] = L"300";
constexpr std::int16_t DefaultResolution = 300;
const wchar_t DefaultColorType[] = L"RGB";
const wchar_t DefaultFlagText[] = L"0";

std::int16_t ConvertOrDefault(const ConvertedInt16& converted, std::int16_t defaultValue,
                              const SettingsFaultSink& reportFault) {
  if (converted.ErrorNumber == 0) return converted.Value;
  reportFault(converted.ErrorNumber == ErrOverflow ? OverflowError() : TypeMismatchError());
  return defaultValue;
}

}  // namespace

void LoadSettingsRecord(ScanSettingsRecord& record, const SettingsValueReader& read, const NumberSymbols& symbols,
                        const SettingsFaultSink& reportFault) {
  record.OutputFolder = read(L"Path", L"Path", L"");
  record.Resolution =
      ConvertOrDefault(ParseInt16(read(L"Scanner", L"DPI", DefaultDpiText), symbols), DefaultResolution, reportFault);
  record.ColorTypeName = read(L"Scanner", L"ColorType", DefaultColorType);
  record.UseExternalProgram =
      ConvertOrDefault(ParseTruth(read(L"Scanner", L"IsArray", DefaultFlagText), symbols), TruthFalse, reportFault);
  record.ExternalProgramPath = read(L"Scanner", L"ScanPath", L"");
  record.ShowSourceUI =
      ConvertOrDefault(ParseTruth(read(L"Scanner", L"ScanUI", DefaultFlagText), symbols), TruthFalse, reportFault);
}

std::vector<StoredSetting> StoredSettingsOf(const ScanSettingsRecord& record) {
  return {
      {L"Path", L"Path", record.OutputFolder},
      {L"Scanner", L"DPI", Int16ToText(record.Resolution)},
      {L"Scanner", L"ColorType", record.ColorTypeName},
      {L"Scanner", L"IsArray", Int16ToText(record.UseExternalProgram)},
      {L"Scanner", L"ScanPath", record.ExternalProgramPath},
      {L"Scanner", L"ScanUI", TruthToText(record.ShowSourceUI)},
  };
}
