// Presses of the real Zembrolite.exe through Wine's manager and the virtual scanner, one table
// for both benches, each case starting the program afresh as an operator does: on the host a
// copy of the build's program in a fresh folder; on the emulated station
// (tests/station/station-job.sh) the program as the x86 package installed it, with the provider
// the package registers, when ZEMBROLITE_INSTALLED names its folder (and
// ZEMBROLITE_SHARED_OUTPUT the images' folder).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

class Presses : public ::testing::Test {
 protected:
  void SetUp() override {
    const wchar_t* installed = _wgetenv(L"ZEMBROLITE_INSTALLED");
    const wchar_t* shared = _wgetenv(L"ZEMBROLITE_SHARED_OUTPUT");
    if (installed && shared) {
      folder = installed;
      output = shared;
    } else {
      folder = FreshTestFolder(L"runs");
      output = folder + L"\\out\\";
      CopyFileW((TestExeFolder() + L"\\..\\bin\\Zembrolite.exe").c_str(), (folder + L"\\Zembrolite.exe").c_str(),
                FALSE);
      ClearProviderAnswers();  // the stand-in then names as the release provider does
    }
    ResetScanner();
    CreateDirectoryW(output.c_str(), nullptr);
    before = Listing();
  }
  void TearDown() override { RemoveScannerControl(); }

  // Writes the program's Settings.ini with the output folder and these scanner keys.
  void settings(const std::string& scanner) {
    WriteFileBytes(folder + L"\\Settings.ini", "[Path]\r\nPath=" + Narrow(output) + "\r\n[Scanner]\r\n" + scanner);
  }
  std::vector<std::wstring> Listing() const {
    std::vector<std::wstring> names = FilesIn(output);
    std::sort(names.begin(), names.end());
    return names;
  }
  // The one image that the press added, once it is in place (the writer's temporary file aside);
  // nothing when the program ended first, or when the press has ended without one: the source
  // is closed before the image is written, and the program answers again once the press is over.
  std::wstring NewImage(ProgramCopy& program, DWORD timeoutMs = 30000) const {
    std::wstring added;
    auto look = [&] {
      for (const std::wstring& name : Listing())
        if (std::find(before.begin(), before.end(), name) == before.end() && name.size() > 4 &&
            name.compare(name.size() - 4, 4, L".bmp") == 0)
          added = name;
      return !added.empty();
    };
    WaitUntil(
        [&] {
          if (look() || program.ended(0)) return true;
          if (ScannerCallLog().find("IDENTITY.CLOSEDS") == std::string::npos) return false;
          DWORD_PTR ignored = 0;
          SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, Slowed(300000), &ignored);
          look();
          return true;
        },
        timeoutMs);
    return added.empty() ? L"" : output + added;
  }
  ProgramCopy Started(const std::wstring& arguments = L"") {
    ProgramCopy program = ProgramCopy::InFolderAsItIs(folder);
    EXPECT_TRUE(program.start(arguments));
    window = program.mainWindow();
    EXPECT_NE(window, nullptr);
    return program;
  }
  void Close(ProgramCopy& program) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 1234;
    EXPECT_TRUE(program.ended(ExitTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
  }

  std::string ErrorLog() const { return ReadFileBytes(folder + L"\\Logs\\Error.log"); }
  // The lines that the log gained since it was as given.
  std::vector<std::string> LinesAfter(const std::string& earlier) const {
    std::vector<std::string> lines;
    const std::string log = ErrorLog();
    for (size_t at = earlier.size(), end; at < log.size(); at = end + 2)
      lines.push_back(log.substr(at, (end = std::min(log.find("\r\n", at), log.size())) - at));
    return lines;
  }

  std::wstring folder, output;
  std::vector<std::wstring> before;
  HWND window = nullptr;
};

}  // namespace

// Each colour type without the source's dialog: the image's depth and size, its pixels exactly
// those the scanner delivered, and the provider's names numbered one after another.
TEST_F(Presses, FixedSettingsInEachColourTypeWithConsecutiveNames) {
  const struct {
    const char* scanner;
    std::vector<int> facts;
  } cases[] = {
      {"DPI=50\r\nColorType=RGB\r\n", {425, 585, 24, 54}},  // 8.5 x 11.69 inches
      {"DPI=40\r\nColorType=GREY\r\n", {340, 468, 8, 54 + 1024}},
      {"DPI=100\r\nColorType=BW\r\n", {850, 1169, 1, 54 + 8}},
  };
  std::vector<int> numbers;
  std::string sequence;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scanner);
    settings(c.scanner);
    ResetScanner();
    WriteScannerControl("[Log]\r\nCalls=1\r\nChecksum=1\r\n");
    ProgramCopy program = Started();
    ClickScan(window);
    const std::wstring image = NewImage(program);
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(ImageFacts(image), c.facts);
    EXPECT_TRUE(PixelsAsScanned(image)) << ScannerCallLog();
    std::smatch name;
    const std::string file = Narrow(image.substr(output.size()));
    ASSERT_TRUE(std::regex_match(file, name, std::regex(R"(\d{8}-[0-9A-Z_-]+-([0-9A-Z]{6})-(\d{4,})\.bmp)"))) << file;
    EXPECT_TRUE(sequence.empty() || name[1] == sequence) << file;
    sequence = name[1];
    numbers.push_back(std::stoi(name[2]));
    Close(program);
    before = Listing();
  }
  EXPECT_EQ(numbers, std::vector<int>({numbers[0], numbers[0] + 1, numbers[0] + 2}));
}

// The operator closes the source's dialog (no image), then scans with it (one image).
TEST_F(Presses, SourceDialogClosedGivesNoImageAndScanGivesOne) {
  settings("DPI=30\r\nScanUI=True\r\n");
  ProgramCopy program = Started();
  for (const bool scan : {false, true}) {
    SCOPED_TRACE(scan ? "Scan" : "closed");
    ResetScanner();
    ClickScan(window);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      dialog = FindWindowW(L"ZembroliteVirtualScannerUI", nullptr);
      return dialog && IsWindowVisible(dialog) && GetDlgItem(dialog, 101);
    }));
    if (scan) PostMessageW(GetDlgItem(dialog, 101), BM_CLICK, 0, 0);
    if (!scan) PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(ImageFacts(NewImage(program)).size(), scan ? 4u : 0u);
    EXPECT_TRUE(WaitUntil([] { return !FindWindowW(L"ZembroliteVirtualScannerUI", nullptr); }));
  }
  Close(program);
}

TEST_F(Presses, FailingPressKeepsTheEarlierImage) {
  settings("DPI=30\r\n");
  WriteFileBytes(output + L"earlier.bmp", "the earlier image");
  before = Listing();
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Fail]\r\nIMAGENATIVEXFER.GET=1\r\n");
  ProgramCopy program = Started();
  ClickScan(window);
  EXPECT_TRUE(WaitUntil([] { return ScannerCallLog().find("IDENTITY.CLOSEDS") != std::string::npos; }));
  Close(program);
  EXPECT_EQ(Listing(), before);
  EXPECT_EQ(ReadFileBytes(output + L"earlier.bmp"), "the earlier image");
}

TEST_F(Presses, ClosingDuringAScanEndsItWithoutAnImage) {
  settings("DPI=30\r\n");
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Behaviour]\r\nReady=never\r\n");
  ProgramCopy program = Started();
  ClickScan(window);
  ASSERT_TRUE(WaitUntil([] { return ScannerCallLog().find("USERINTERFACE.ENABLEDS -> 0") != std::string::npos; }));
  Close(program);
  EXPECT_TRUE(std::regex_search(ScannerCallLog(), std::regex("USERINTERFACE.DISABLEDS -> 0[^]*IDENTITY.CLOSEDS -> 0")));
  EXPECT_EQ(Listing(), before);
}

// 1,566 MiB in one block: a 78 x 78 inch flatbed at 300 dpi in colour. A 32-bit process without
// large-address-aware has no room for it.
TEST_F(Presses, ImageOfMoreThan1536MiBIsScannedAndSaved) {
  settings("DPI=300\r\nColorType=RGB\r\n");
  WriteScannerControl("[Log]\r\nCalls=1\r\nChecksum=1\r\n[Device]\r\nPhysicalWidth=78\r\nPhysicalHeight=78\r\n");
  ProgramCopy program = Started();
  ClickScan(window);
  const std::wstring image = NewImage(program, 120000);
  ASSERT_FALSE(image.empty()) << ScannerCallLog();
  EXPECT_EQ(ImageFacts(image), std::vector<int>({23400, 23400, 24, 54}));
  EXPECT_TRUE(PixelsAsScanned(image)) << ScannerCallLog();
  Close(program);
  DeleteFileW(image.c_str());
}

// A scanner driver that fails inside a call, at each step of a press: one line in Error.log that
// names the failure, the driver with the place in it and the step; a dump in Logs, of which the
// newest five stay; the earlier image and Settings.ini as they were; and a second crash within
// ten minutes ends Windows' restarts.
TEST_F(Presses, DriverThatCrashesIsNamedInTheLogAndNothingIsLost) {
  const struct {
    const char* call;
    const char* how;
    const char* words;
  } cases[] = {
      {"IDENTITY.OPENDS", "access-violation", "Access violation writing address 0x0+ in .*\\+0x[0-9A-F]+.*, at open"},
      {"USERINTERFACE.ENABLEDS", "access-violation", "Access violation writing .*\\+0x[0-9A-F]+.*, at enable"},
      {"IMAGENATIVEXFER.GET", "access-violation", "Access violation writing .*\\+0x[0-9A-F]+.*, at transfer"},
      {"USERINTERFACE.ENABLEDS", "stack-overflow", "Stack overflow in .*, at enable"},
      {"IMAGENATIVEXFER.GET", "cpp-exception", "C\\+\\+ exception not caught .*, at transfer"},
      {"IMAGENATIVEXFER.GET", "access-violation", "Access violation .*no restart: the second crash within ten minutes"},
  };
  const std::wstring logs = folder + L"\\Logs\\";
  CreateDirectoryW(logs.c_str(), nullptr);
  const std::wstring oldDumps[] = {L"Zembrolite-20250101-080000-000.dmp", L"Zembrolite-20250101-090000-000.dmp"};
  for (const std::wstring& old : oldDumps) WriteFileBytes(logs + old, "MDMP");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " " + c.how);
    settings("DPI=30\r\n");
    const std::string settingsBefore = ReadFileBytes(folder + L"\\Settings.ini"), log = ErrorLog();
    WriteFileBytes(output + L"earlier.bmp", "the earlier image");
    before = Listing();
    if (&c != &cases[5]) DeleteFileW((logs + L"LastCrash.txt").c_str());
    WriteScannerControl(std::string("[Crash]\r\n") + c.call + "=" + c.how + "\r\n");
    ProgramCopy program = Started();
    ClickScan(window);
    EXPECT_TRUE(program.ended(30000)) << "the program lives on after its driver's crash";
    const std::vector<std::string> lines = LinesAfter(log);
    ASSERT_EQ(lines.size(), 1u) << ErrorLog();
    EXPECT_TRUE(std::regex_search(lines[0], std::regex(std::string(" -?\\d+ +") + c.words))) << lines[0];
    EXPECT_TRUE(std::regex_search(lines[0], std::regex("VirtualScanner\\.ds.* Main_cmdZadudUVur_Click$"))) << lines[0];
    EXPECT_EQ(Listing(), before);
    EXPECT_EQ(ReadFileBytes(output + L"earlier.bmp"), "the earlier image");
    EXPECT_EQ(ReadFileBytes(folder + L"\\Settings.ini"), settingsBefore);
  }
  std::vector<std::wstring> dumps;
  for (const std::wstring& name : FilesIn(logs))
    if (name.size() > 4 && name.compare(name.size() - 4, 4, L".dmp") == 0) dumps.push_back(name);
  EXPECT_EQ(dumps.size(), 5u);
  for (const std::wstring& dump : dumps) {
    EXPECT_NE(dump, oldDumps[0]);
    EXPECT_EQ(ReadFileBytes(logs + dump).substr(0, 4), "MDMP") << Narrow(dump);
  }
}

// A driver that does not return from a call: one line once the set time has passed, with the
// program still running, and one more when the call returns.
TEST_F(Presses, DriverThatDoesNotReturnIsLoggedAndAgainWhenItDoes) {
  settings("DPI=30\r\n");
  WriteScannerControl("[Crash]\r\nIDENTITY.OPENDS=hang 6000\r\n");
  SetEnvironmentVariableW(L"ZEMBROLITE_HANG_SECONDS", L"2");
  const std::string log = ErrorLog();
  ProgramCopy program = Started();
  SetEnvironmentVariableW(L"ZEMBROLITE_HANG_SECONDS", nullptr);
  ClickScan(window);
  ASSERT_TRUE(WaitUntil([&] { return !LinesAfter(log).empty(); }, 5000));
  const std::vector<std::string> hung = LinesAfter(log);
  EXPECT_TRUE(std::regex_search(hung[0],
                                std::regex(" 1460 +The source .*VirtualScanner\\.ds.* has not returned from "
                                           "DAT_IDENTITY MSG_OPENDS \\(open\\) for [2-4] s +Main_cmdZadudUVur_Click$")))
      << hung[0];
  EXPECT_FALSE(program.ended(0));
  EXPECT_FALSE(NewImage(program).empty()) << "the press goes on once the driver returns";
  EXPECT_TRUE(WaitUntil([&] { return LinesAfter(log).size() > 1; }, 2000));
  const std::vector<std::string> lines = LinesAfter(log);
  ASSERT_EQ(lines.size(), 2u) << ErrorLog();
  EXPECT_TRUE(std::regex_search(lines[1], std::regex(" 0 +The source .* returned from DAT_IDENTITY MSG_OPENDS "
                                                     "\\(open\\) after \\d+ s +Main_cmdZadudUVur_Click$")))
      << lines[1];
  Close(program);
}

// Windows starts the program again with the restart's mark; the new run says so, once.
TEST_F(Presses, RunStartedByTheRestartSaysSo) {
  settings("DPI=30\r\n");
  const std::string log = ErrorLog();
  ProgramCopy program = Started(L"/restarted");
  const std::vector<std::string> lines = LinesAfter(log);
  ASSERT_EQ(lines.size(), 1u) << ErrorLog();
  EXPECT_TRUE(std::regex_search(lines[0], std::regex(" 0 +Restarted by Windows after a crash\\. +Main$"))) << lines[0];
  Close(program);
}
