// The plain profile reader that the native fuzzing of the settings load stands on, held to the
// platform's profile functions, which the fuzzing cannot reach. A fixed seed keeps runs repeatable.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>
#include <string>

#include "../../settings/INIModul.h"
#include "../model/ProfileModel.h"
#include "TestFolders.h"

namespace {

// Files made of the lines people write by hand.
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
