#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "../unit/TestFolders.h"
#include "Driver.h"

namespace {

constexpr DWORD ExitTimeoutMs = 10000;

void ExpectEndsAtOnce(ProgramCopy& program) {
  DWORD exitCode = 1234;
  EXPECT_TRUE(program.waitForExit(ExitTimeoutMs, &exitCode)) << "the program asked something or hung";
  EXPECT_EQ(exitCode, 0u);
  // Nothing is saved on the way out.
  EXPECT_FALSE(PathExists(program.path(L"Settings.ini")));
  EXPECT_FALSE(PathExists(program.path(L"Logs")));
}

class StartStopTest : public ::testing::Test {
 protected:
  HWND startProgram() {
    EXPECT_TRUE(program.start());
    HWND window = program.waitForMainWindow();
    EXPECT_NE(window, nullptr);
    return window;
  }

  ProgramCopy program;
};

}  // namespace

TEST_F(StartStopTest, CloseBoxEndsTheProgram) {
  HWND window = startProgram();
  PostMessageW(window, WM_CLOSE, 0, 0);
  ExpectEndsAtOnce(program);
}

TEST_F(StartStopTest, SystemMenuCloseEndsTheProgram) {
  HWND window = startProgram();
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ExpectEndsAtOnce(program);
}

TEST_F(StartStopTest, MenuCloseEndsTheProgram) {
  HWND window = startProgram();
  const UINT close = MenuCommandId(Probe(window), L"Close");
  ASSERT_NE(close, 0u);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(close, 0), 0);
  ExpectEndsAtOnce(program);
}

TEST_F(StartStopTest, EndOfTheWindowsSessionEndsTheProgramWithoutObjection) {
  HWND window = startProgram();
  DWORD_PTR agrees = 0;
  SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &agrees);
  EXPECT_EQ(agrees, TRUE);
  SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, nullptr);
  ExpectEndsAtOnce(program);
}

TEST_F(StartStopTest, SecondCopyShowsNothingTouchesNothingAndEnds) {
  HWND first = startProgram();
  RECT before = {};
  GetWindowRect(first, &before);
  HWND foregroundBefore = GetForegroundWindow();

  ProgramCopy second(L"second");
  second.writeSettings("[Scanner]\r\nDPI=abc\r\n");
  ASSERT_TRUE(second.start());
  DWORD exitCode = 1234;
  EXPECT_TRUE(second.waitForExit(ExitTimeoutMs, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(WindowsOfProcess(second.processId()).empty()) << "the second copy created a window";
  // A bad value would have been logged had the second copy read its settings.
  EXPECT_FALSE(PathExists(second.path(L"Logs")));

  RECT after = {};
  GetWindowRect(first, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_EQ(GetForegroundWindow(), foregroundBefore);
  EXPECT_EQ(WindowText(first), L"Zembrolite 1.0.0");
  EXPECT_FALSE(program.waitForExit(0));
}

TEST_F(StartStopTest, MissingSettingsFileIsNotCreatedAndNothingIsLogged) {
  HWND window = startProgram();
  EXPECT_EQ(WindowText(window), L"Zembrolite 1.0.0");
  PostMessageW(window, WM_CLOSE, 0, 0);
  ExpectEndsAtOnce(program);
}

TEST_F(StartStopTest, UnreadableValuesAreLoggedUnderLoadConfigAndTheTitleStays) {
  program.writeSettings("[Path]\r\nPath=C:\\Scans\\\r\n[Scanner]\r\nDPI=70000\r\nIsArray=yes\r\nScanUI=-1\r\n");
  HWND window = startProgram();
  EXPECT_EQ(WindowText(window), L"Zembrolite 1.0.0");
  const std::string log = ReadFileBytes(program.path(L"Logs\\Error.log"));
  const std::regex line(R"(\d+/\d+/\d{4}( \d+:\d\d:\d\d [AP]M)? +(6 +Overflow|13 +Type mismatch) +LoadConfig\r\n)");
  EXPECT_EQ(std::distance(std::sregex_iterator(log.begin(), log.end(), line), std::sregex_iterator()), 2) << log;
  EXPECT_NE(log.find(" 6 "), std::string::npos);
  EXPECT_NE(log.find(" 13 "), std::string::npos);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.waitForExit(ExitTimeoutMs));
}

// Load: twenty copies started at the same moment leave exactly one running.
TEST(ManyCopies, TwentyStartedAtOnceLeaveExactlyOne) {
  std::vector<std::unique_ptr<ProgramCopy>> copies;
  for (int i = 0; i < 20; ++i) copies.push_back(std::make_unique<ProgramCopy>(std::to_wstring(i)));
  for (auto& copy : copies) ASSERT_TRUE(copy->start());
  int running = 0, ended = 0;
  ProgramCopy* survivor = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        running = ended = 0;
        for (auto& copy : copies) {
          if (copy->waitForExit(0)) {
            ++ended;
          } else {
            ++running;
            survivor = copy.get();
          }
        }
        return running == 1 && ended == 19;
      },
      30000))
      << running << " running, " << ended << " ended";
  for (auto& copy : copies) {
    DWORD exitCode = 1234;
    if (copy.get() != survivor) {
      EXPECT_TRUE(copy->waitForExit(0, &exitCode));
      EXPECT_EQ(exitCode, 0u);
    }
  }
  HWND window = survivor->waitForMainWindow();
  ASSERT_NE(window, nullptr);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(survivor->waitForExit(ExitTimeoutMs));
}
