// One press, one image: the real program with Wine's manager, the virtual scanner, the image
// name provider and a stand-in for the external scanning program.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "Driver.h"

namespace {

struct BitmapFacts {
  bool valid = false;
  std::uint32_t fileSize = 0, offset = 0;
  std::int32_t width = 0, height = 0;
  std::uint16_t bits = 0;
};

BitmapFacts ReadBitmap(const std::wstring& path) {
  const std::string file = ReadFileBytes(path);
  BitmapFacts facts;
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return facts;
  std::memcpy(&facts.fileSize, &file[2], 4);
  std::memcpy(&facts.offset, &file[10], 4);
  std::memcpy(&facts.width, &file[18], 4);
  std::memcpy(&facts.height, &file[22], 4);
  std::memcpy(&facts.bits, &file[28], 2);
  facts.valid = facts.fileSize == file.size();
  return facts;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetScanner();
    ProviderAnswersText(L"A1");
    output = program.folder() + L"\\out\\";
    CreateDirectoryW(output.c_str(), nullptr);
  }
  void TearDown() override {
    RemoveScannerControl();
    ClearProviderAnswers();
  }

  // Starts the program with these scanner settings after [Path].
  HWND start(const std::string& scanner) {
    const std::string folder(output.begin(), output.end());
    program.writeSettings("[Path]\r\nPath=" + folder + "\r\n[Scanner]\r\n" + scanner);
    EXPECT_TRUE(program.start());
    HWND window = program.waitForMainWindow();
    EXPECT_NE(window, nullptr);
    return window;
  }

  bool callLogHas(const std::string& part, DWORD timeoutMs = 15000) {
    return WaitUntil([&] { return ScannerCallLog().find(part) != std::string::npos; }, timeoutMs);
  }

  std::string errorLog() { return ReadFileBytes(program.path(L"Logs\\Error.log")); }

  ProgramCopy program;
  std::wstring output;
};

}  // namespace

TEST_F(ScanTest, FixedSettingsScanTheWholeFlatbedInColour) {
  HWND window = start("DPI=50\r\nColorType=RGB\r\nIsArray=0\r\nScanUI=False\r\n");
  PressScan(window);
  ASSERT_TRUE(callLogHas("IDENTITY.CLOSEDS -> 0")) << ScannerCallLog();
  ASSERT_TRUE(WaitUntil([&] { return ReadBitmap(output + L"A1.bmp").valid; }));
  const BitmapFacts image = ReadBitmap(output + L"A1.bmp");
  EXPECT_EQ(image.width, 425);   // 8.5 inches at 50 dpi
  EXPECT_EQ(image.height, 585);  // 11.69 inches at 50 dpi
  EXPECT_EQ(image.bits, 24);
  EXPECT_EQ(image.offset, 54u);

  // The negotiation, in its order: frame, resolutions, pixel type, bit depth, count.
  const std::string log = ScannerCallLog();
  const std::regex order(
      "CAPABILITY.GET cap=1111 -> 0[^]*CAPABILITY.GET cap=1112 -> 0[^]*IMAGELAYOUT.SET "
      "frame=0.0000,0.0000,8.5000,11.6900 -> 0[^]*CAPABILITY.SET cap=1118 type=7 item=00000032 -> 0[^]*"
      "CAPABILITY.SET cap=1119 type=7 item=00000032 -> 0[^]*CAPABILITY.SET cap=0101 type=4 item=00000002 -> 0[^]*"
      "CAPABILITY.SET cap=112B type=4 item=00000018 -> 0[^]*CAPABILITY.SET cap=0001 type=1 item=00000001 -> 0[^]*"
      "USERINTERFACE.ENABLEDS -> 0[^]*IMAGENATIVEXFER.GET -> 6[^]*PENDINGXFERS.ENDXFER -> 0[^]*"
      "USERINTERFACE.DISABLEDS -> 0[^]*IDENTITY.CLOSEDS -> 0");
  EXPECT_TRUE(std::regex_search(log, order)) << log;
  EXPECT_FALSE(PathExists(program.path(L"Logs")));
  EXPECT_FALSE(program.waitForExit(0));
}

TEST_F(ScanTest, GreyAndBlackAndWhiteGiveTheirBitDepthsAndNoBitDepthRequest) {
  HWND window = start("DPI=40\r\nColorType=GREY\r\n");
  PressScan(window);
  ASSERT_TRUE(WaitUntil([&] { return ReadBitmap(output + L"A1.bmp").valid; }));
  EXPECT_EQ(ReadBitmap(output + L"A1.bmp").bits, 8);
  EXPECT_EQ(ReadBitmap(output + L"A1.bmp").offset, 54u + 1024u);
  ASSERT_TRUE(callLogHas("IDENTITY.CLOSEDS -> 0"));
  EXPECT_EQ(ScannerCallLog().find("cap=112B"), std::string::npos);

  ResetScanner();
  ProviderAnswersText(L"B2");
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(program.waitForExit(10000));
  ProgramCopy second(L"bw");
  const std::string folder(output.begin(), output.end());
  second.writeSettings("[Path]\r\nPath=" + folder + "\r\n[Scanner]\r\nDPI=40\r\nColorType=BW\r\n");
  ASSERT_TRUE(second.start());
  HWND bw = second.waitForMainWindow();
  ASSERT_NE(bw, nullptr);
  PressScan(bw);
  ASSERT_TRUE(WaitUntil([&] { return ReadBitmap(output + L"B2.bmp").valid; })) << ScannerCallLog();
  EXPECT_EQ(ReadBitmap(output + L"B2.bmp").bits, 1);
  EXPECT_EQ(ReadBitmap(output + L"B2.bmp").offset, 54u + 8u);
}

TEST_F(ScanTest, NameKeepsItsDotsAndANumberBecomesItsDigits) {
  ProviderAnswersText(L"2015.02.09-001");
  HWND window = start("DPI=30\r\n");
  PressScan(window);
  ASSERT_TRUE(WaitUntil([&] { return ReadBitmap(output + L"2015.02.09-001.bmp").valid; }));

  ResetScanner();
  ProviderAnswersNumber(42);
  PressScan(window);
  ASSERT_TRUE(WaitUntil([&] { return ReadBitmap(output + L"42.bmp").valid; }));
}

TEST_F(ScanTest, FolderWithoutSeparatorRunsIntoTheName) {
  const std::wstring prefix = program.folder() + L"\\Scans";
  const std::string text(prefix.begin(), prefix.end());
  program.writeSettings("[Path]\r\nPath=" + text + "\r\n[Scanner]\r\nDPI=30\r\n");
  ASSERT_TRUE(program.start());
  HWND window = program.waitForMainWindow();
  ASSERT_NE(window, nullptr);
  PressScan(window);
  EXPECT_TRUE(WaitUntil([&] { return ReadBitmap(prefix + L"A1.bmp").valid; }));
}

TEST_F(ScanTest, SourceInterfaceScanTakesOneImageAndDiscardsThePendingOnes) {
  HWND window = start("DPI=30\r\nScanUI=True\r\n");
  PressScan(window);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    dialog = FindProcessWindow(program.processId(), L"ZembroliteVirtualScannerUI");
    return dialog && GetDlgItem(dialog, 101);
  }));
  PostMessageW(GetDlgItem(dialog, 101), BM_CLICK, 0, 0);  // "Scan"
  ASSERT_TRUE(WaitUntil([&] { return ReadBitmap(output + L"A1.bmp").valid; })) << ScannerCallLog();
  const std::string log = ScannerCallLog();
  // The source keeps further pages pending after the transfer; they are discarded before the disable.
  EXPECT_TRUE(std::regex_search(log, std::regex("PENDINGXFERS.ENDXFER -> 0\r\nPENDINGXFERS.RESET -> 0\r\n"
                                                "USERINTERFACE.DISABLEDS -> 0")))
      << log;
  EXPECT_EQ(log.find("CAPABILITY.SET"), std::string::npos) << "the interface way sets nothing";
  EXPECT_TRUE(WaitUntil([&] { return !FindProcessWindow(program.processId(), L"ZembroliteVirtualScannerUI"); }));
}

TEST_F(ScanTest, ClosingTheSourceInterfaceWritesNothing) {
  HWND window = start("ScanUI=True\r\n");
  PressScan(window);
  HWND dialog = nullptr;
  ASSERT_TRUE(
      WaitUntil([&] { return (dialog = FindProcessWindow(program.processId(), L"ZembroliteVirtualScannerUI")); }));
  PostMessageW(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(callLogHas("IDENTITY.CLOSEDS -> 0")) << ScannerCallLog();
  EXPECT_EQ(ScannerCallLog().find("IMAGENATIVEXFER"), std::string::npos);
  Sleep(300);
  EXPECT_FALSE(PathExists(output + L"A1.bmp"));
  EXPECT_FALSE(PathExists(program.path(L"Logs")));
}

TEST_F(ScanTest, ExternalProgramGetsTheTifPathWithoutDotsAndAQuotedProgramPath) {
  const std::wstring tools = program.folder() + L"\\Scan Tools";
  CreateDirectoryW(tools.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((TestExeFolder() + L"\\FakeScan.exe").c_str(), (tools + L"\\FakeScan.exe").c_str(), FALSE));
  ProviderAnswersText(L"2015.02.09-001");
  const std::string scanPath(tools.begin(), tools.end());
  HWND window = start("IsArray=-1\r\nScanUI=True\r\nScanPath=" + scanPath + "\\FakeScan.exe\r\n");
  PressScan(window);
  const std::wstring record = tools + L"\\FakeScan.log";
  ASSERT_TRUE(WaitUntil([&] { return PathExists(record); }));
  const std::string folder(output.begin(), output.end());
  EXPECT_EQ(ReadFileBytes(record), "\"" + scanPath + "\\FakeScan.exe\" " + folder + "20150209-001.TIF\r\n");
  Sleep(300);
  EXPECT_TRUE(ScannerCallLog().empty()) << "no TWAIN call on the external way";
}

TEST_F(ScanTest, ExternalProgramThatCannotStartIsLogged) {
  HWND window = start("IsArray=-1\r\nScanPath=C:\\no\\such\\scanner.exe\r\n");
  PressScan(window);
  ASSERT_TRUE(WaitUntil([&] { return !errorLog().empty(); }));
  EXPECT_TRUE(std::regex_search(errorLog(), std::regex(R"( 2 +.+Main_cmdZadudUVur_Click\r\n$)"))) << errorLog();
  EXPECT_TRUE(ScannerCallLog().empty());
}

TEST_F(ScanTest, FailingProviderIsLoggedWithItsNegativeNumberAndNothingIsScanned) {
  ProviderFails(static_cast<HRESULT>(0x80004005));
  HWND window = start("DPI=30\r\n");
  PressScan(window);
  ASSERT_TRUE(WaitUntil([&] { return !errorLog().empty(); }));
  EXPECT_TRUE(std::regex_search(
      errorLog(), std::regex(R"(-2147467259 +No image name could be made\. +Main_cmdZadudUVur_Click\r\n$)")))
      << errorLog();
  Sleep(300);
  EXPECT_TRUE(ScannerCallLog().empty());
}

TEST_F(ScanTest, AFailedAcquisitionIsSilentAndTheNextPressWorks) {
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Fail]\r\nCAPABILITY.SET.1119=1\r\n");
  HWND window = start("DPI=30\r\n");
  PressScan(window);
  ASSERT_TRUE(callLogHas("IDENTITY.CLOSEDS")) << ScannerCallLog();
  const std::string log = ScannerCallLog();
  EXPECT_EQ(log.find("cap=0101"), std::string::npos) << "nothing after the refused resolution";
  Sleep(300);
  EXPECT_FALSE(PathExists(output + L"A1.bmp"));
  EXPECT_FALSE(PathExists(program.path(L"Logs")));

  ResetScanner();
  PressScan(window);
  EXPECT_TRUE(WaitUntil([&] { return ReadBitmap(output + L"A1.bmp").valid; }));
}

TEST_F(ScanTest, PressesAndOptionsDuringAnAcquisitionAreIgnored) {
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Behaviour]\r\nReadyDelayMs=1500\r\n");
  HWND window = start("DPI=30\r\n");
  PressScan(window);
  ASSERT_TRUE(callLogHas("USERINTERFACE.ENABLEDS -> 0"));
  PressScan(window);
  PressScan(window);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(2001, 0), 0);  // "Options"
  ASSERT_TRUE(WaitUntil([&] { return ReadBitmap(output + L"A1.bmp").valid; }));
  Sleep(500);
  EXPECT_EQ(Count(ScannerCallLog(), "IDENTITY.OPENDS"), 1u) << ScannerCallLog();
  EXPECT_EQ(VisibleWindowsOfProcess(program.processId()).size(), 1u);
}

TEST_F(ScanTest, ClosingDuringAnAcquisitionEndsItCleanlyAndThenTheProgram) {
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Behaviour]\r\nReady=never\r\n");
  HWND window = start("DPI=30\r\n");
  PressScan(window);
  ASSERT_TRUE(callLogHas("USERINTERFACE.ENABLEDS -> 0"));
  PostMessageW(window, WM_CLOSE, 0, 0);
  DWORD exitCode = 1234;
  ASSERT_TRUE(program.waitForExit(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  const std::string log = ScannerCallLog();
  EXPECT_TRUE(std::regex_search(log, std::regex("USERINTERFACE.DISABLEDS -> 0[^]*IDENTITY.CLOSEDS -> 0"))) << log;
  EXPECT_FALSE(PathExists(output + L"A1.bmp"));
}
