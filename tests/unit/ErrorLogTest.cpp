// The error log under US English, whose dates hold "/" and whose times hold ":".
#include "../../log/ErrorLog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <regex>
#include <vector>

#include "TestFolders.h"

namespace {

class ErrorLogTest : public ::testing::Test {
 protected:
  void SetUp() override { logFolder = FreshTestFolder(L"logs") + L"\\Logs\\"; }

  std::wstring logFile() const { return logFolder + L"Error.log"; }
  std::string logText() const { return ReadFileBytes(logFile()); }

  std::wstring logFolder;
};

const std::regex OneLine(R"(^\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2} [AP]M)? +13 +Type mismatch +LoadConfig\r\n$)");

}  // namespace

TEST_F(ErrorLogTest, FirstFailureCreatesFolderAndFileWithOneLine) {
  AppendErrorLine(logFolder, 13, L"Type mismatch", L"LoadConfig");
  EXPECT_TRUE(std::regex_match(logText(), OneLine)) << logText();
}

TEST_F(ErrorLogTest, EachCallAddsOneLineAtTheEnd) {
  AppendErrorLine(logFolder, 13, L"Type mismatch", L"LoadConfig");
  AppendErrorLine(logFolder, -2147221005, L"Invalid class string", L"Main_cmdZadudUVur_Click");
  AppendErrorLine(logFolder, 6, L"", L"SaveConfig");
  const std::string text = logText();
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(M +13 +Type mismatch +LoadConfig\r\n)")));
  EXPECT_TRUE(
      std::regex_search(text, std::regex(R"( -2147221005 +Invalid class string +Main_cmdZadudUVur_Click\r\n)")));
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(M +6 +SaveConfig\r\n$)")));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST_F(ErrorLogTest, DescriptionIsWrittenInTheSystemCodePage) {
  AppendErrorLine(logFolder, 1, L"Pfad nicht gefunden: \u00e4\u00f6\u00fc", L"fOptions_cmdOK_Click");
  EXPECT_NE(logText().find("Pfad nicht gefunden: \xe4\xf6\xfc"), std::string::npos);
}

TEST_F(ErrorLogTest, LogOfExactlyTheLimitIsNotMoved) {
  CreateDirectoryW(logFolder.c_str(), nullptr);
  WriteFileBytes(logFile(), std::string(1000000, 'x'));
  AppendErrorLine(logFolder, 13, L"Type mismatch", L"LoadConfig");
  EXPECT_EQ(FilesIn(logFolder).size(), 1u);
  EXPECT_GT(logText().size(), 1000000u);
}

TEST_F(ErrorLogTest, LogBeyondTheLimitIsMovedToADatedNameThatWindowsAccepts) {
  CreateDirectoryW(logFolder.c_str(), nullptr);
  WriteFileBytes(logFile(), std::string(1000001, 'x'));
  AppendErrorLine(logFolder, 13, L"Type mismatch", L"LoadConfig");

  EXPECT_TRUE(std::regex_match(logText(), OneLine)) << "the new log holds only the new line";
  std::vector<std::wstring> archives;
  for (const auto& name : FilesIn(logFolder))
    if (name != L"Error.log") archives.push_back(name);
  ASSERT_EQ(archives.size(), 1u);
  const std::string archive(archives[0].begin(), archives[0].end());
  EXPECT_TRUE(std::regex_match(archive, std::regex(R"(error\d{1,2}-\d{1,2}-\d{4}( \d{1,2}-\d{2}-\d{2} [AP]M)?\.log)")))
      << archive;
  EXPECT_EQ(ReadFileBytes(logFolder + archives[0]).size(), 1000001u);
}

TEST_F(ErrorLogTest, SecondCallAfterTheMoveAppendsToTheNewSmallLog) {
  CreateDirectoryW(logFolder.c_str(), nullptr);
  WriteFileBytes(logFile(), std::string(1000001, 'x'));
  AppendErrorLine(logFolder, 13, L"Type mismatch", L"LoadConfig");
  AppendErrorLine(logFolder, 6, L"Overflow", L"LoadConfig");
  EXPECT_EQ(FilesIn(logFolder).size(), 2u);
  const std::string text = logText();
  EXPECT_LT(text.size(), 200u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST_F(ErrorLogTest, MissingParentFolderLosesTheLineQuietly) {
  const std::wstring unreachable = logFolder + L"no\\such\\folder\\";
  AppendErrorLine(unreachable, 13, L"Type mismatch", L"LoadConfig");
  EXPECT_FALSE(PathExists(unreachable));
}

TEST(LogError, WritesBelowTheProgramFolder) {
  const std::wstring logs = TestExeFolder() + L"\\Logs";
  RemoveTree(logs);
  LogError(6, L"Overflow", L"LoadConfig");
  const std::string text = ReadFileBytes(logs + L"\\Error.log");
  EXPECT_TRUE(std::regex_search(text, std::regex(R"( 6 +Overflow +LoadConfig\r\n$)"))) << text;
  RemoveTree(logs);
}

// Load: ten thousand failures in a row. The log is moved aside each time it has grown beyond
// the limit, and every line is in exactly one of the files.
TEST_F(ErrorLogTest, TenThousandFailuresRollOverAtTheLimitAndLoseNoLine) {
  const std::wstring description(80, L'd');
  constexpr int Failures = 10000;
  for (int i = 0; i < Failures; ++i) AppendErrorLine(logFolder, i, description, L"LoadConfig");

  std::string all;
  size_t longestLine = 0;
  for (const std::wstring& name : FilesIn(logFolder)) {
    const std::string text = ReadFileBytes(logFolder + name);
    if (name == L"Error.log") {
      EXPECT_LE(text.size(), 1000000u + 200u);
    } else {
      EXPECT_GT(text.size(), 1000000u) << "moved only beyond the limit";
      EXPECT_LT(text.size(), 1000000u + 200u) << "moved as soon as it was beyond the limit";
    }
    all += text;
  }
  EXPECT_GE(FilesIn(logFolder).size(), 2u) << "at least one rollover";
  std::vector<bool> seen(Failures, false);
  size_t start = 0;
  int lines = 0;
  while (start < all.size()) {
    const size_t end = all.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = all.substr(start, end - start);
    longestLine = std::max(longestLine, line.size());
    std::smatch number;
    ASSERT_TRUE(std::regex_search(line, number, std::regex(" (\\d+) +d{80} +LoadConfig$"))) << line;
    const int index = std::stoi(number[1]);
    ASSERT_LT(index, Failures);
    EXPECT_FALSE(seen[index]) << "line " << index << " twice";
    seen[index] = true;
    ++lines;
    start = end + 2;
  }
  EXPECT_EQ(lines, Failures);
  EXPECT_LT(longestLine, 200u);
}
