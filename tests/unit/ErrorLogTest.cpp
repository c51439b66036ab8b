// The error log under US English, whose dates hold "/" and whose times hold ":".
#include "../../log/ErrorLog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

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
