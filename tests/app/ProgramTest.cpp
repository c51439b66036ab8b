// The real Zembrolite.exe as processes of its own: how it starts and ends, one running copy only,
// what it leaves in its folder, and the files' resources. Its presses are the table of presses'.
#include <gtest/gtest.h>

#include <cwchar>

#include "../../app/LastChance.h"
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

// The version blocks of the three shipped files and the program's manifest, read from the files
// themselves (the icon and the button's picture are the main window's tests').
TEST(Program, ResourcesOfTheShippedFiles) {
  const std::pair<const wchar_t*, const wchar_t*> files[] = {
      {L"Zembrolite.exe", L"Qorv|Zembrolite scan station|Zembrolite|Zembrolite|Zembrolite.exe|1.00|1.00"},
      {L"ImageNameProvider.dll",
       L"Qorv|Zembrolite image name provider|Zembrolite|ImageNameProvider|ImageNameProvider.dll|1.0.0|1.0.0"},
      {L"VirtualScanner.ds",
       L"Qorv|Zembrolite virtual scanner (TWAIN data source)|Zembrolite|VirtualScanner|VirtualScanner.ds|1.0.0|1.0.0"},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(std::string(file.first, file.first + std::wcslen(file.first)));
    const std::wstring path = TestExeFolder() + L"\\..\\bin\\" + file.first;
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    auto value = [&](const std::wstring& name) {
      void* found = nullptr;
      UINT length = 0;
      return VerQueryValueW(block.data(), name.c_str(), &found, &length) ? found : nullptr;
    };
    std::wstring strings;
    for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"ProductName", L"InternalName",
                                L"OriginalFilename", L"FileVersion", L"ProductVersion"}) {
      const auto* text = static_cast<const wchar_t*>(value(std::wstring(L"\\StringFileInfo\\040704B0\\") + name));
      strings += (strings.empty() ? L"" : L"|") + std::wstring(text ? text : L"<missing>");
    }
    EXPECT_EQ(strings, file.second);
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value(L"\\"));
    const auto* translation = static_cast<const WORD*>(value(L"\\VarFileInfo\\Translation"));
    ASSERT_TRUE(fixed && translation);
    EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                                  translation[0], translation[1]}),
              std::vector<DWORD>({0x10000, 0, 0x10000, 0x0407, 1200}));
  }

  HMODULE module =
      LoadLibraryExW((TestExeFolder() + L"\\..\\bin\\Zembrolite.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  auto resource = [&](int id, int type) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    const auto* bytes = found ? static_cast<const char*>(LockResource(LoadResource(module, found))) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
  };
  // No elevation and no file virtualization, themed controls, Windows 7 to 11, the DPI of each
  // monitor (the system's where Windows offers no more).
  const std::string manifest = resource(1, 24);
  for (const char* part : {"level=\"asInvoker\"", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                           ">true</dpiAware>", ">PerMonitorV2, system</dpiAwareness>"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  FreeLibrary(module);
}

namespace {

std::wstring RegisteredLine;
DWORD RegisteredFlags = 0;

HRESULT WINAPI RecordRegistration(PCWSTR commandLine, DWORD flags) {
  RegisteredLine = commandLine;
  RegisteredFlags = flags;
  return S_OK;
}

}  // namespace

// Wine restarts nothing: what the program asks of Windows, and how it knows the restarted run.
TEST(Program, AsksWindowsToRestartItAfterACrashOrAHang) {
  ReplaceRestartRegistrationForTesting(RecordRegistration);
  RegisterForRestart();
  ReplaceRestartRegistrationForTesting(nullptr);
  EXPECT_EQ(RegisteredLine, L"/restarted");
  EXPECT_EQ(RegisteredFlags, static_cast<DWORD>(RESTART_NO_PATCH | RESTART_NO_REBOOT));
  EXPECT_TRUE(StartedAsRestart((L"\"C:\\Program Files (x86)\\Zembrolite\\Zembrolite.exe\" " + RegisteredLine).c_str()));
  EXPECT_FALSE(StartedAsRestart(L"\"C:\\Zembrolite /restarted\\Zembrolite.exe\""));
}
