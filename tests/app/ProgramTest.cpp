// The real Zembrolite.exe as processes of its own: how it starts and ends, one running copy only,
// what it leaves in its folder, and the files' resources. Its presses are the table of presses'.
#include <gtest/gtest.h>

#include <cstdio>

#include "../../app/resource.h"
#include "../../options/fOptionsControls.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

void ExpectEndedWithoutSaving(ProgramCopy& program) {
  DWORD exitCode = 1234;
  EXPECT_TRUE(program.ended(ExitTimeoutMs, &exitCode)) << "the program asked something or hung";
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(PathExists(program.path(L"Settings.ini")));
  EXPECT_FALSE(PathExists(program.path(L"Logs")));
}

}  // namespace

TEST(Program, EveryWayToCloseEndsItAtOnceWithoutAskingOrSaving) {
  struct Way {
    const char* what;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  const Way ways[] = {{"close box", WM_CLOSE, 0, 0},
                      {"system menu", WM_SYSCOMMAND, SC_CLOSE, 0},
                      {"File, Close", WM_COMMAND, IDM_CLOSE, 0},
                      {"end of the session", WM_ENDSESSION, TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF)}};
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    ProgramCopy program;
    ASSERT_TRUE(program.start());
    HWND window = program.mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(WindowTitle(window), L"Zembrolite 1.0.0") << "without a settings file";
    DWORD_PTR agrees = 0;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &agrees);
    EXPECT_EQ(agrees, TRUE) << "no objection to the end of the session";
    PostMessageW(window, way.message, way.wParam, way.lParam);
    ExpectEndedWithoutSaving(program);
  }
}

TEST(Program, SecondCopyShowsNothingTouchesNothingAndEnds) {
  ProgramCopy first;
  ASSERT_TRUE(first.start());
  HWND window = first.mainWindow();
  ASSERT_NE(window, nullptr);
  HWND foreground = GetForegroundWindow();
  ProgramCopy second(L"second");
  WriteFileBytes(second.path(L"Settings.ini"), "[Scanner]\r\nDPI=abc\r\n");  // logged, had the second copy read it
  ASSERT_TRUE(second.start());
  DWORD exitCode = 1234;
  EXPECT_TRUE(second.ended(ExitTimeoutMs, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(second.windows().empty()) << "the second copy created a window";
  EXPECT_FALSE(PathExists(second.path(L"Logs")));
  EXPECT_EQ(GetForegroundWindow(), foreground);
  EXPECT_FALSE(first.ended(0));
}

// Each shipped file's version block names the file itself and carries the project's version; the
// program's manifest asks for no elevation and for the DPI of each monitor.
TEST(Program, ShippedFilesNameThemselvesWithTheProjectsVersion) {
  unsigned major = 0, minor = 0, patch = 0;
  std::sscanf(ZEMBROLITE_VERSION, "%u.%u.%u", &major, &minor, &patch);
  const std::wstring worker = sizeof(void*) == 8 ? L"ZembroliteScan64.exe" : L"ZembroliteScan32.exe";
  for (const std::wstring& name : {std::wstring(L"Zembrolite.exe"), worker, std::wstring(L"ImageNameProvider.dll"),
                                   std::wstring(L"VirtualScanner.ds")}) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    const std::wstring path = TestExeFolder() + L"\\..\\bin\\" + name;
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    void* found = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040704B0\\OriginalFilename", &found, &length));
    EXPECT_EQ(static_cast<const wchar_t*>(found), name);
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &found, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
    EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS}),
              std::vector<DWORD>({major << 16 | minor, patch << 16}));
  }
  HMODULE program =
      LoadLibraryExW((TestExeFolder() + L"\\..\\bin\\Zembrolite.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(program, found))),
                             SizeofResource(program, found));
  for (const char* part : {"level=\"asInvoker\"", "PerMonitorV2"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  FreeLibrary(program);
}
