// The record's fields from stored texts, and the texts a save writes, without a file.
#include "../../settings/SettingsRecord.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

struct Load {
  ScanSettingsRecord Record;
  std::vector<std::int32_t> Faults;
};

// Keys absent from the map read as their default, as from a missing file.
Load LoadFrom(const std::map<std::wstring, std::wstring>& stored) {
  Load load;
  const auto read = [&](const std::wstring&, const std::wstring& key, const std::wstring& defaultValue) {
    const auto found = stored.find(key);
    return found == stored.end() ? defaultValue : found->second;
  };
  LoadSettingsRecord(load.Record, read, NumberSymbols(),
                     [&](const AppError& error) { load.Faults.push_back(error.Number); });
  return load;
}

}  // namespace

TEST(SettingsRecord, NothingStoredGivesTheDefaults) {
  const Load load = LoadFrom({});
  EXPECT_TRUE(load.Faults.empty());
  EXPECT_EQ(load.Record.OutputFolder, L"");
  EXPECT_EQ(load.Record.Resolution, 300);
  EXPECT_EQ(load.Record.ColorTypeName, L"RGB");
  EXPECT_EQ(load.Record.UseExternalProgram, 0);
  EXPECT_EQ(load.Record.ExternalProgramPath, L"");
  EXPECT_EQ(load.Record.ShowSourceUI, 0);
}

TEST(SettingsRecord, EachBadValueIsReportedOnceAndTakesItsDefault) {
  const Load load = LoadFrom({{L"Path", L"C:\\Scans\\"},
                              {L"DPI", L"70000"},
                              {L"ColorType", L"GREY"},
                              {L"IsArray", L"yes"},
                              {L"ScanPath", L"C:\\Scan.exe"},
                              {L"ScanUI", L""}});
  EXPECT_EQ(load.Faults, (std::vector<std::int32_t>{ErrOverflow, ErrTypeMismatch, ErrTypeMismatch}));
  EXPECT_EQ(load.Record.OutputFolder, L"C:\\Scans\\");
  EXPECT_EQ(load.Record.Resolution, 300);
  EXPECT_EQ(load.Record.ColorTypeName, L"GREY");
  EXPECT_EQ(load.Record.UseExternalProgram, 0);
  EXPECT_EQ(load.Record.ExternalProgramPath, L"C:\\Scan.exe");
  EXPECT_EQ(load.Record.ShowSourceUI, 0);
}

TEST(SettingsRecord, FlagsAreStoredInTheirTwoForms) {
  const Load load = LoadFrom({{L"DPI", L"301.5"}, {L"IsArray", L"True"}, {L"ScanUI", L"-1"}});
  ASSERT_TRUE(load.Faults.empty());
  const std::vector<StoredSetting> stored = StoredSettingsOf(load.Record);
  ASSERT_EQ(stored.size(), 6u);
  const wchar_t* expected[][3] = {
      {L"Path", L"Path", L""},         {L"Scanner", L"DPI", L"302"},   {L"Scanner", L"ColorType", L"RGB"},
      {L"Scanner", L"IsArray", L"-1"}, {L"Scanner", L"ScanPath", L""}, {L"Scanner", L"ScanUI", L"True"}};
  for (size_t i = 0; i < stored.size(); ++i) {
    EXPECT_EQ(stored[i].Section, expected[i][0]);
    EXPECT_EQ(stored[i].Key, expected[i][1]);
    EXPECT_EQ(stored[i].Text, expected[i][2]);
  }
}
