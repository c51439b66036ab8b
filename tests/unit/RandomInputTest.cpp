// Arbitrary input for the settings reader with the platform's profile functions, which the native
// fuzzing cannot reach. A fixed seed keeps runs repeatable.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>
#include <string>

#include "../../settings/INIModul.h"
#include "../model/ProfileModel.h"
#include "TestFolders.h"

namespace {

const std::string Pieces[] = {"[Path]",   "[Scanner]",   "[scanner]",
                              "Path=",    "DPI=",        "ColorType=",
                              "IsArray=", "ScanPath=",   "ScanUI=",
                              "\r\n",     "\n",          "\r",
                              "=",        ";",           " ",
                              "\"",       "\t",          "-",
                              "300",      "301.5",       "1e5",
                              "70000",    "True",        "false",
                              "yes",      "-1",          "\xe4\xf6",
                              "\x01",     "[",           "]",
                              "\\",       "C:\\Scans\\", std::string(300, 'x')};

std::string RandomSettings(std::mt19937& random) {
  std::string text;
  const int pieces = static_cast<int>(random() % 40);
  for (int i = 0; i < pieces; ++i) {
    if (random() % 5 == 0) {
      text += static_cast<char>(random() % 256);
    } else {
      text += Pieces[random() % (sizeof Pieces / sizeof Pieces[0])];
    }
  }
  return text;
}

}  // namespace

TEST(RandomInput, SettingsReaderLoadsSomethingSoundFromAnyFile) {
  const std::wstring path = FreshTestFolder(L"random") + L"\\Settings.ini";
  const std::wstring logs = TestExeFolder() + L"\\Logs";
  std::mt19937 random(20261207);
  for (int round = 0; round < 400; ++round) {
    RemoveTree(logs);
    WriteFileBytes(path, RandomSettings(random));
    ScanSettings = ScanSettingsRecord();
    LoadConfigFrom(path);
    EXPECT_LE(ScanSettings.OutputFolder.size(), 255u);
    EXPECT_LE(ScanSettings.ColorTypeName.size(), 255u);
    EXPECT_LE(ScanSettings.ExternalProgramPath.size(), 255u);
    EXPECT_TRUE(ScanSettings.UseExternalProgram == 0 || ScanSettings.UseExternalProgram == -1);
    EXPECT_TRUE(ScanSettings.ShowSourceUI == 0 || ScanSettings.ShowSourceUI == -1);
    const std::string log = ReadFileBytes(logs + L"\\Error.log");
    EXPECT_LE(std::count(log.begin(), log.end(), '\n'), 3) << "at most one line per convertible key";
  }
  RemoveTree(logs);
}

// The plain profile reader that the native fuzzing of the settings reader stands on must read
// what the platform reads, on files made of the lines people write by hand.
namespace {

const std::string LinePieces[] = {
    "[Path]",  "[Scanner]", "[SCANNER]", "  [Scanner]  ", "[Other]",   "[Scanner", "Path", "DPI", "dpi", "ColorType",
    "IsArray", "ScanPath",  "ScanUI",    "Other",         "; DPI=1",   "",         "  ",   "=",   " = ", "300",
    "\"RGB\"", "'x'",       "\"",        "'a\"",          "C:\\Scans", " value ",  "a=b",  "\t"};

std::string HandWrittenSettings(std::mt19937& random) {
  const char* lineEnds[] = {"\r\n", "\n", "\r\n", "\r"};
  std::string text;
  const int lines = static_cast<int>(random() % 14);
  for (int line = 0; line < lines; ++line) {
    const int pieces = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < pieces; ++i) text += LinePieces[random() % (sizeof LinePieces / sizeof LinePieces[0])];
    if (random() % 20 == 0) text += std::string(random() % 300, 'v');
    text += lineEnds[random() % 4];
  }
  return text;
}

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text)
    escaped += c == '\r'   ? std::string("\\r")
               : c == '\n' ? std::string("\\n\n")
               : c == '\t' ? std::string("\\t")
                           : std::string(1, c);
  return escaped;
}

}  // namespace

TEST(RandomInput, PlainProfileReaderReadsWhatThePlatformReads) {
  const std::wstring path = FreshTestFolder(L"profile") + L"\\Settings.ini";
  const std::wstring keys[][2] = {{L"Path", L"Path"},       {L"Scanner", L"DPI"},      {L"Scanner", L"ColorType"},
                                  {L"Scanner", L"IsArray"}, {L"Scanner", L"ScanPath"}, {L"Scanner", L"ScanUI"},
                                  {L"Other", L"Other"}};
  std::mt19937 random(31);
  for (int round = 0; round < 1000; ++round) {
    const std::string contents = HandWrittenSettings(random);
    WriteFileBytes(path, contents);
    const std::wstring wide(contents.begin(), contents.end());
    for (const auto& key : keys) {
      ASSERT_EQ(profile_model::Value(wide, key[0], key[1], L"default", 256),
                GetIniValue(key[0], key[1], L"default", path, 256))
          << "[" << std::string(key[1].begin(), key[1].end()) << "] in: " << Escaped(contents);
    }
  }
}
