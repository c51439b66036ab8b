// The error log under US English, whose dates hold "/" and whose times hold ":".
#include "../../log/ErrorLog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <set>

#include "TestFolders.h"

namespace {

const char Stamp[] = R"(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2} [AP]M)? +)";

class ErrorLogTest : public ::testing::Test {
 protected:
  void SetUp() override { logFolder = FreshTestFolder(L"logs") + L"\\Logs\\"; }
  std::string logText() const { return ReadFileBytes(logFolder + L"Error.log"); }
  std::wstring logFolder;
};

}  // namespace

TEST_F(ErrorLogTest, EachFailureAddsOneLineInTheSystemCodePage) {
  AppendErrorLine(logFolder, 13, L"Type mismatch", L"LoadConfig");
  AppendErrorLine(logFolder, -2147221005, L"Pfad nicht gefunden: \u00e4\u00f6\u00fc", L"Main_cmdZadudUVur_Click");
  AppendErrorLine(logFolder, 6, L"", L"SaveConfig");
  const std::string s = Stamp;
  EXPECT_TRUE(std::regex_match(logText(), std::regex(s + "13 +Type mismatch +LoadConfig\r\n" + s +
                                                     "-2147221005 +Pfad nicht gefunden: \xe4\xf6\xfc +"
                                                     "Main_cmdZadudUVur_Click\r\n" +
                                                     s + "6 +SaveConfig\r\n")))
      << logText();
  const std::wstring unreachable = logFolder + L"no\\such\\folder\\";
  AppendErrorLine(unreachable, 13, L"Type mismatch", L"LoadConfig");
  EXPECT_FALSE(PathExists(unreachable)) << "a missing parent folder loses the line quietly";

  const std::wstring programLogs = TestExeFolder() + L"\\Logs";
  RemoveTree(programLogs);
  LogError(6, L"Overflow", L"LoadConfig");
  EXPECT_TRUE(
      std::regex_match(ReadFileBytes(programLogs + L"\\Error.log"), std::regex(s + "6 +Overflow +LoadConfig\r\n")));
  RemoveTree(programLogs);
}

TEST_F(ErrorLogTest, LogBeyondTheLimitIsMovedToADatedNameThatWindowsAccepts) {
  for (size_t size : {1000000u, 1000001u}) {
    SCOPED_TRACE(size);
    RemoveTree(logFolder);
    CreateDirectoryW(logFolder.c_str(), nullptr);
    WriteFileBytes(logFolder + L"Error.log", std::string(size, 'x'));
    AppendErrorLine(logFolder, 13, L"Type mismatch", L"LoadConfig");
    if (size == 1000000u) {
      EXPECT_EQ(FilesIn(logFolder).size(), 1u) << "exactly the limit is not moved";
      continue;
    }
    AppendErrorLine(logFolder, 6, L"Overflow", L"LoadConfig");
    const std::vector<std::wstring> files = FilesIn(logFolder);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(std::regex_match(logText(), std::regex(std::string(Stamp) + "13 .*\r\n" + Stamp + "6 .*\r\n")));
    const std::wstring archive = files[0] == L"Error.log" ? files[1] : files[0];
    EXPECT_TRUE(std::regex_match(std::string(archive.begin(), archive.end()),
                                 std::regex(R"(error\d{1,2}-\d{1,2}-\d{4}( \d{1,2}-\d{2}-\d{2} [AP]M)?\.log)")));
    EXPECT_EQ(ReadFileBytes(logFolder + archive).size(), size);
  }
}

// Load: ten thousand failures in a row. The log is moved aside as soon as it has grown beyond
// the limit, and every line is in exactly one of the files.
TEST_F(ErrorLogTest, TenThousandFailuresRollOverAtTheLimitAndLoseNoLine) {
  constexpr int Failures = 10000;
  for (int i = 0; i < Failures; ++i) AppendErrorLine(logFolder, i, std::wstring(80, L'd'), L"LoadConfig");
  std::set<int> seen;
  int lines = 0;
  const std::vector<std::wstring> files = FilesIn(logFolder);
  EXPECT_GE(files.size(), 2u) << "at least one rollover";
  for (const std::wstring& name : files) {
    const std::string text = ReadFileBytes(logFolder + name);
    EXPECT_LE(text.size(), 1000000u + 200u) << "moved as soon as it was beyond the limit";
    EXPECT_TRUE(name == L"Error.log" || text.size() > 1000000u) << "moved only beyond the limit";
    const std::regex line(" (\\d+) +d{80} +LoadConfig\r\n");
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it, ++lines)
      seen.insert(std::stoi((*it)[1]));
  }
  EXPECT_EQ(lines, Failures);
  EXPECT_EQ(seen.size(), static_cast<size_t>(Failures)) << "no line twice";
}
