#include "../../settings/INIModul.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <regex>

#include "TestFolders.h"

namespace {

// Every test starts from the record's values before any load, with an empty log.
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScanSettings = ScanSettingsRecord();
    iniPath = FreshTestFolder(L"settings") + L"\\Settings.ini";
    RemoveTree(logFolder());
  }
  void TearDown() override { RemoveTree(logFolder()); }

  static std::wstring logFolder() { return TestExeFolder() + L"\\Logs"; }
  static std::string logText() { return ReadFileBytes(logFolder() + L"\\Error.log"); }
  static long logLines() {
    const std::string text = logText();
    return static_cast<long>(std::count(text.begin(), text.end(), '\n'));
  }

  void load(const std::string& contents) {
    WriteFileBytes(iniPath, contents);
    LoadConfigFrom(iniPath);
  }

  std::wstring iniPath;
};

const char FullFile[] =
    "[Path]\r\nPath=C:\\Scans\\\r\n[Scanner]\r\nDPI=%DPI%\r\nColorType=GREY\r\nIsArray=%ISARRAY%\r\n"
    "ScanPath=C:\\Tools\\scan.exe\r\nScanUI=%SCANUI%\r\n";

// The record that FileWith(dpi, "-1", "True") loads, with the resolution it should give.
void ExpectLoadedFromFileWith(std::int16_t resolution) {
  EXPECT_EQ(ScanSettings.OutputFolder, L"C:\\Scans\\");
  EXPECT_EQ(ScanSettings.Resolution, resolution);
  EXPECT_EQ(ScanSettings.ColorTypeName, L"GREY");
  EXPECT_EQ(ScanSettings.UseExternalProgram, -1);
  EXPECT_EQ(ScanSettings.ExternalProgramPath, L"C:\\Tools\\scan.exe");
  EXPECT_EQ(ScanSettings.ShowSourceUI, -1);
}

std::string FileWith(const std::string& dpi, const std::string& isArray, const std::string& scanUI) {
  std::string text = FullFile;
  text.replace(text.find("%DPI%"), 5, dpi);
  text.replace(text.find("%ISARRAY%"), 9, isArray);
  text.replace(text.find("%SCANUI%"), 8, scanUI);
  return text;
}

}  // namespace

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndCreatesNothing) {
  LoadConfigFrom(iniPath);
  EXPECT_EQ(ScanSettings.OutputFolder, L"");
  EXPECT_EQ(ScanSettings.Resolution, 300);
  EXPECT_EQ(ScanSettings.ColorTypeName, L"RGB");
  EXPECT_EQ(ScanSettings.UseExternalProgram, 0);
  EXPECT_EQ(ScanSettings.ExternalProgramPath, L"");
  EXPECT_EQ(ScanSettings.ShowSourceUI, 0);
  EXPECT_FALSE(PathExists(iniPath));
  EXPECT_FALSE(PathExists(logFolder()));
}

TEST_F(SettingsFileTest, LoadsEveryKey) {
  load(FileWith("600", "-1", "True"));
  ExpectLoadedFromFileWith(600);
  EXPECT_FALSE(PathExists(logFolder()));
}

TEST_F(SettingsFileTest, FractionalDpiRoundsHalfToEven) {
  load(FileWith("300.5", "0", "False"));
  EXPECT_EQ(ScanSettings.Resolution, 300);
  load(FileWith("301.5", "0", "False"));
  EXPECT_EQ(ScanSettings.Resolution, 302);
}

// A value that cannot be converted is logged once and its field takes the key's default;
// the keys after it still load, so the next save does not blank them.
TEST_F(SettingsFileTest, BadDpiIsLoggedAndTheLaterKeysStillLoad) {
  struct Case {
    const char* dpi;
    const char* logged;
  };
  for (const Case& c : {Case{"abc", " 13 +Type mismatch +LoadConfig"}, Case{"", " 13 +Type mismatch +LoadConfig"},
                        Case{"70000", " 6 +Overflow +LoadConfig"}}) {
    SCOPED_TRACE(c.dpi);
    RemoveTree(logFolder());
    ScanSettings = ScanSettingsRecord();
    load(FileWith(c.dpi, "-1", "True"));
    EXPECT_EQ(logLines(), 1);
    EXPECT_TRUE(std::regex_search(logText(), std::regex(c.logged))) << logText();
    ExpectLoadedFromFileWith(300);
  }
}

TEST_F(SettingsFileTest, BadFlagsAreLoggedEachAndFallBackToOff) {
  load(FileWith("200", "yes", "maybe"));
  EXPECT_EQ(logLines(), 2);
  EXPECT_EQ(ScanSettings.Resolution, 200);
  EXPECT_EQ(ScanSettings.UseExternalProgram, 0);
  EXPECT_EQ(ScanSettings.ExternalProgramPath, L"C:\\Tools\\scan.exe");
  EXPECT_EQ(ScanSettings.ShowSourceUI, 0);
}

TEST_F(SettingsFileTest, FlagsAcceptNumbersAndWordsAndSaveInTheirOwnForms) {
  load(FileWith("300", "1", "-1"));
  EXPECT_EQ(ScanSettings.UseExternalProgram, -1);
  EXPECT_EQ(ScanSettings.ShowSourceUI, -1);
  SaveConfigTo(iniPath);
  const std::string text = ReadFileBytes(iniPath);
  EXPECT_NE(text.find("IsArray=-1"), std::string::npos) << text;
  EXPECT_NE(text.find("ScanUI=True"), std::string::npos) << text;
}

TEST_F(SettingsFileTest, EmptyValueLoadsEmptyNotTheDefault) {
  load("[Scanner]\r\nColorType=\r\n");
  EXPECT_EQ(ScanSettings.ColorTypeName, L"");
}

TEST_F(SettingsFileTest, LongValueIsCutTo255Characters) {
  const std::string longFolder(300, 'f');
  load("[Path]\r\nPath=" + longFolder + "\r\n");
  EXPECT_EQ(ScanSettings.OutputFolder, std::wstring(255, L'f'));
}

TEST_F(SettingsFileTest, FirstSaveCreatesTheFileWithKeysInOrder) {
  ScanSettings.OutputFolder = L"C:\\Scans\\";
  ScanSettings.Resolution = 300;
  ScanSettings.ColorTypeName = L"RGB";
  ScanSettings.ExternalProgramPath = L"C:\\Program Files\\Scan\\scan.exe";
  SaveConfigTo(iniPath);
  const std::string text = ReadFileBytes(iniPath);
  EXPECT_TRUE(
      std::regex_search(text, std::regex(R"(\[Path\]\s+Path=C:\\Scans\\\s+\[Scanner\]\s+DPI=300\s+)"
                                         R"(ColorType=RGB\s+IsArray=0\s+ScanPath=C:\\Program Files\\Scan\\scan\.exe\s+)"
                                         R"(ScanUI=False\s*$)")))
      << text;
}

TEST_F(SettingsFileTest, SaveThenLoadGivesTheSameRecord) {
  ScanSettingsRecord saved;
  saved.OutputFolder = L"D:\\Bilder\\Gr\u00fcn\\";
  saved.Resolution = -5;
  saved.ColorTypeName = L"BW";
  saved.UseExternalProgram = -1;
  saved.ExternalProgramPath = std::wstring(255, L'p');
  saved.ShowSourceUI = -1;
  ScanSettings = saved;
  SaveConfigTo(iniPath);
  ScanSettings = ScanSettingsRecord();
  LoadConfigFrom(iniPath);
  EXPECT_EQ(ScanSettings.OutputFolder, saved.OutputFolder);
  EXPECT_EQ(ScanSettings.Resolution, saved.Resolution);
  EXPECT_EQ(ScanSettings.ColorTypeName, saved.ColorTypeName);
  EXPECT_EQ(ScanSettings.UseExternalProgram, saved.UseExternalProgram);
  EXPECT_EQ(ScanSettings.ExternalProgramPath, saved.ExternalProgramPath);
  EXPECT_EQ(ScanSettings.ShowSourceUI, saved.ShowSourceUI);
}

TEST_F(SettingsFileTest, SaveKeepsOtherContentOfTheFile) {
  WriteFileBytes(iniPath, "[Other]\r\nKeep=me\r\n[Scanner]\r\nDPI=100\r\n");
  ScanSettings.Resolution = 400;
  SaveConfigTo(iniPath);
  const std::string text = ReadFileBytes(iniPath);
  EXPECT_NE(text.find("Keep=me"), std::string::npos);
  EXPECT_NE(text.find("DPI=400"), std::string::npos);
  EXPECT_EQ(text.find("DPI=100"), std::string::npos);
}

// A file that another process holds open cannot be written; the save fails quietly.
TEST_F(SettingsFileTest, UnwritableFileFailsQuietlyAndKeepsTheRecord) {
  WriteFileBytes(iniPath, "[Scanner]\r\nDPI=100\r\n");
  HANDLE held = CreateFileW(iniPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ScanSettings.Resolution = 400;
  SaveConfigTo(iniPath);
  CloseHandle(held);
  EXPECT_EQ(ScanSettings.Resolution, 400);
  EXPECT_EQ(ReadFileBytes(iniPath), "[Scanner]\r\nDPI=100\r\n");
  EXPECT_FALSE(PathExists(logFolder()));
}

TEST_F(SettingsFileTest, SettingsFileSitsBesideTheProgram) {
  EXPECT_EQ(SettingsFilePath(), TestExeFolder() + L"\\Settings.ini");
}
