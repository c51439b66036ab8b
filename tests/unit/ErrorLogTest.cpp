// The error log under US English, whose dates hold "/" and whose times hold ":".
#include "../../log/ErrorLog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "../../common/Handles.h"
#include "../../log/LogText.h"
#include "TestFolders.h"

namespace {

const char Stamp[] = R"(\d{1,2}/\d{1,2}/\d{4}(?: \d{1,2}:\d{2}:\d{2} [AP]M)? +)";

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

TEST_F(ErrorLogTest, LockOfAHolderThatEndedIsTakenAndOneThatHoldsOnIsNotWaitedFor) {
  const std::wstring name = ErrorLogLockName(logFolder);
  std::wstring spelling = logFolder.substr(0, 2) + L"\\.\\" + logFolder.substr(3);
  CharUpperBuffW(&spelling[0], static_cast<DWORD>(spelling.size()));
  EXPECT_EQ(ErrorLogLockName(spelling), name);
  EXPECT_NE(ErrorLogLockName(logFolder + L"Other\\"), name);
  HANDLE abandoned = nullptr;
  std::thread([&] { abandoned = CreateMutexW(nullptr, TRUE, name.c_str()); }).join();
  UniqueHandle lock(abandoned);
  AppendErrorLine(logFolder, 1, L"After an ended holder", L"Test");
  DWORD free = WAIT_FAILED;
  std::thread([&] {
    free = WaitForSingleObject(lock.get(), 0);
    if (free == WAIT_OBJECT_0) ReleaseMutex(lock.get());
  }).join();
  ASSERT_EQ(free, WAIT_OBJECT_0) << "the writer kept the lock";

  UniqueHandle held(CreateEventW(nullptr, TRUE, FALSE, nullptr)), done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    WaitForSingleObject(lock.get(), INFINITE);
    SetEvent(held.get());
    WaitForSingleObject(done.get(), INFINITE);
    ReleaseMutex(lock.get());
  });
  WaitForSingleObject(held.get(), INFINITE);
  std::thread writer([&] { AppendErrorLine(logFolder, 2, L"Beside a holder", L"Test"); });
  EXPECT_TRUE(WaitUntil([&] { return logText().find("Beside a holder") != std::string::npos; }, 60000));
  SetEvent(done.get());
  holder.join();
  writer.join();
}

namespace {

// Set in a copy of this program started as one of the writers below: "<writer>|<log folder>".
constexpr wchar_t WriterVariable[] = L"ZEMBROLITE_LOG_WRITER";
constexpr int Writers = 4, LinesPerWriter = 1000;

// Lines of about 1 kB: a few seconds' lines cross the size limit several times a second, and the
// archive's name holds the second, so the log also stays above the limit for a while and each
// further line tries to move it aside.
std::wstring WriterLine(int writer, int line) {
  return L"writer " + std::to_wstring(writer) + L" line " + std::to_wstring(line) + L" " + std::wstring(1000, L'.');
}

}  // namespace

TEST(ErrorLogWriter, AppendsItsLinesWhenStartedAsOneOfSeveralPrograms) {
  const wchar_t* given = _wgetenv(WriterVariable);
  if (!given) GTEST_SKIP() << "a writer of ErrorLogTest.ProgramsAppendingAtOnceAcrossRolloversLoseAndSplitNoLine";
  const std::wstring setting = given;
  const std::wstring folder = setting.substr(setting.find(L'|') + 1);
  for (int line = 0; line < LinesPerWriter; ++line)
    AppendErrorLine(folder, 1, WriterLine(_wtoi(given), line), L"Writer");
}

// Programs that append to one log at once, starting just below the size limit, write each of
// their lines once and whole, into the log or an archive.
TEST_F(ErrorLogTest, ProgramsAppendingAtOnceAcrossRolloversLoseAndSplitNoLine) {
  const std::string filler = std::string(98, 'x') + "\r\n";
  std::string seed;
  while (seed.size() + filler.size() <= LogSizeLimit - 2000) seed += filler;
  CreateDirectoryW(logFolder.c_str(), nullptr);
  WriteFileBytes(logFolder + L"Error.log", seed);
  wchar_t self[MAX_PATH * 4];
  GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::vector<UniqueHandle> programs;
  for (int writer = 0; writer < Writers; ++writer) {
    SetEnvironmentVariableW(WriterVariable, (std::to_wstring(writer) + L"|" + logFolder).c_str());
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_brief=1 --gtest_filter=ErrorLogWriter.*";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    programs.emplace_back(process.hProcess);
  }
  SetEnvironmentVariableW(WriterVariable, nullptr);
  for (auto& program : programs) ASSERT_EQ(WaitForSingleObject(program.get(), 300000), WAIT_OBJECT_0);

  const std::regex writerLine(std::string(Stamp) + R"(1 +(writer \d+ line \d+) \.+ +Writer\r)");
  std::map<std::string, int> seen;
  int others = 0;
  for (const std::wstring& file : FilesIn(logFolder)) {
    std::istringstream lines(ReadFileBytes(logFolder + file));
    for (std::string line; std::getline(lines, line);) {
      std::smatch match;
      if (std::regex_match(line, match, writerLine))
        ++seen[match[1].str()];
      else if (line + "\n" != filler)
        ++others;
    }
  }
  int missing = 0, twice = 0;
  for (int writer = 0; writer < Writers; ++writer)
    for (int line = 0; line < LinesPerWriter; ++line) {
      const int times = seen["writer " + std::to_string(writer) + " line " + std::to_string(line)];
      missing += times == 0;
      twice += times > 1;
    }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(twice, 0);
  EXPECT_EQ(others, 0) << "lines split or overwritten";
}
