// "Settings.ini" beside the program: what each file loads and logs, and what a save writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "../../settings/INIModul.h"
#include "TestFolders.h"

namespace {

std::string LogText() { return ReadFileBytes(TestExeFolder() + L"\\Logs\\Error.log"); }

// The record as one line: folder|resolution|colour type|external flag|program|interface flag.
std::string Record() {
  const ScanSettingsRecord& r = ScanSettings;
  const std::wstring text = r.OutputFolder + L"|" + std::to_wstring(r.Resolution) + L"|" + r.ColorTypeName + L"|" +
                            std::to_wstring(r.UseExternalProgram) + L"|" + r.ExternalProgramPath + L"|" +
                            std::to_wstring(r.ShowSourceUI);
  return std::string(text.begin(), text.end());
}

std::string FileWith(const std::string& dpi, const std::string& isArray, const std::string& scanUI) {
  return "[Path]\r\nPath=C:\\Scans\\\r\n[Scanner]\r\nDPI=" + dpi + "\r\nColorType=GREY\r\nIsArray=" + isArray +
         "\r\nScanPath=C:\\Tools\\scan.exe\r\nScanUI=" + scanUI + "\r\n";
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScanSettings = ScanSettingsRecord();
    iniPath = FreshTestFolder(L"settings") + L"\\Settings.ini";
    RemoveTree(TestExeFolder() + L"\\Logs");
  }
  void TearDown() override { RemoveTree(TestExeFolder() + L"\\Logs"); }
  std::wstring iniPath;
};

}  // namespace

// A value that cannot be converted is logged once and its field takes the key's default; the
// keys after it still load, so the next save does not blank them. Which texts convert to what,
// and which fault each gives, are the conversions' (and their fuzzer's).
TEST_F(SettingsFileTest, WhatEachFileLoadsAndLogs) {
  struct Case {
    const char* what;
    std::string contents;
    std::string record;
    const char* logged;  // the lines, one regex
  };
  const Case cases[] = {
      {"missing file: defaults", "-", "|300|RGB|0||0", ""},
      {"every key", FileWith("600", "-1", "True"), "C:\\Scans\\|600|GREY|-1|C:\\Tools\\scan.exe|-1", ""},
      {"text DPI", FileWith("abc", "-1", "True"), "C:\\Scans\\|300|GREY|-1|C:\\Tools\\scan.exe|-1",
       "[^\n]* 13 +Type mismatch +LoadConfig\r\n"},
      {"bad flags", FileWith("200", "yes", "maybe"), "C:\\Scans\\|200|GREY|0|C:\\Tools\\scan.exe|0",
       "([^\n]* 13 +Type mismatch +LoadConfig\r\n){2}"},
      {"DPI beyond 16 bits", FileWith("70000", "0", "False"), "C:\\Scans\\|300|GREY|0|C:\\Tools\\scan.exe|0",
       "[^\n]* 6 +Overflow +LoadConfig\r\n"},
      {"empty value is empty, not the default", "[Scanner]\r\nColorType=\r\n", "|300||0||0", ""},
      {"long value cut to 255", "[Path]\r\nPath=" + std::string(300, 'f') + "\r\n",
       std::string(255, 'f') + "|300|RGB|0||0", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveTree(TestExeFolder() + L"\\Logs");
    DeleteFileW(iniPath.c_str());
    ScanSettings = ScanSettingsRecord();
    if (c.contents != "-") WriteFileBytes(iniPath, c.contents);
    LoadConfigFrom(iniPath);
    EXPECT_EQ(Record(), c.record);
    EXPECT_TRUE(std::regex_match(LogText(), std::regex(c.logged))) << LogText();
    EXPECT_EQ(PathExists(iniPath), c.contents != "-") << "a load creates nothing";
  }
}

TEST_F(SettingsFileTest, SaveWritesTheKeysInOrderKeepsOtherContentAndReadsBack) {
  ScanSettings = {L"D:\\Bilder\\Gr\u00fcn\\", -5, L"BW", -1, std::wstring(255, L'p'), 1};
  SaveConfigTo(iniPath);
  const std::string text = ReadFileBytes(iniPath);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\[Path\]\s+Path=D:\\Bilder\\Gr.n\\\s+\[Scanner\]\s+DPI=-5\s+)"
                                                R"(ColorType=BW\s+IsArray=-1\s+ScanPath=p{255}\s+ScanUI=True\s*)")))
      << text;
  const std::string saved = Record();
  ScanSettings = ScanSettingsRecord();
  LoadConfigFrom(iniPath);
  EXPECT_EQ(Record(), saved.substr(0, saved.size() - 1) + "-1");
  WriteFileBytes(iniPath, "[Other]\r\nKeep=me\r\n" + text);
  SaveConfigTo(iniPath);
  EXPECT_EQ(ReadFileBytes(iniPath), "[Other]\r\nKeep=me\r\n" + text) << "other content kept, nothing twice";

  // A file that another process holds open cannot be written; the save fails quietly.
  HANDLE held = CreateFileW(iniPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ScanSettings.Resolution = 400;
  SaveConfigTo(iniPath);
  CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(iniPath), "[Other]\r\nKeep=me\r\n" + text);
  EXPECT_EQ(LogText(), "");
}
