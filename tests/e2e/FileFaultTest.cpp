// Faults of the file system: a full disk, a read-only folder, a settings file that cannot be
// written. Nothing crashes, no stored setting and no earlier image is lost, and the program goes
// on answering.
// The bench maps S: to a 1 MB disk and R: to a read-only view of faults\readonly-source.
#include <gtest/gtest.h>

#include <string>

#include "../../app/resource.h"
#include "../../options/fOptionsControls.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "Driver.h"

namespace {

std::wstring ReadOnlySource() { return TestExeFolder() + L"\\..\\faults\\readonly-source"; }

class FileFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PathExists(L"S:\\")) << "the bench maps the small disk";
    ASSERT_TRUE(PathExists(L"R:\\")) << "the bench maps the read-only folder";
    ResetScanner();
    WriteScannerControl("[Log]\r\nCalls=1\r\n");
    ProviderAnswersText(L"page");
  }
  void TearDown() override {
    RemoveScannerControl();
    ClearProviderAnswers();
  }

  HWND start(ProgramCopy& copy, const std::wstring& output, const std::string& scanner) {
    copy.writeSettings("[Path]\r\nPath=" + std::string(output.begin(), output.end()) + "\r\n[Scanner]\r\n" + scanner);
    EXPECT_TRUE(copy.start());
    return copy.waitForMainWindow();
  }

  // One press that ends at the source's closing, and is then back in the program's loop.
  static bool PressAndSettle(HWND window) {
    DeleteFileW((ScannerFolder() + L"VirtualScanner.log").c_str());
    PressScan(window);
    return WaitUntil([] { return ScannerCallLog().find("IDENTITY.CLOSEDS") != std::string::npos; }) && Settled(window);
  }

  ProgramCopy program;
};

}  // namespace

TEST_F(FileFaultTest, FullDiskKeepsTheEarlierImageAndLeavesNoPartialFile) {
  RemoveTree(L"S:\\scans");
  ASSERT_TRUE(CreateDirectoryW(L"S:\\scans", nullptr));
  WriteFileBytes(L"S:\\scans\\page.bmp", "the earlier image");
  // 300 dpi on the whole flatbed is some 26 MB: far beyond the 1 MB disk.
  HWND window = start(program, L"S:\\scans\\", "DPI=300\r\nColorType=RGB\r\n");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PressAndSettle(window));
  EXPECT_EQ(ReadFileBytes(L"S:\\scans\\page.bmp"), "the earlier image");
  EXPECT_EQ(FilesIn(L"S:\\scans").size(), 1u) << "no partial or temporary file";

  // A small image still fits: the program goes on.
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Device]\r\nPhysicalWidth=1\r\nPhysicalHeight=1\r\n");
  ASSERT_TRUE(PressAndSettle(window));
  EXPECT_EQ(ReadFileBytes(L"S:\\scans\\page.bmp").substr(0, 2), "BM");
  RemoveTree(L"S:\\scans");
}

TEST_F(FileFaultTest, ReadOnlyFolderKeepsTheEarlierImage) {
  RemoveTree(ReadOnlySource() + L"\\scans");
  CreateDirectoryW((ReadOnlySource() + L"\\scans").c_str(), nullptr);
  WriteFileBytes(ReadOnlySource() + L"\\scans\\page.bmp", "the earlier image");
  HWND window = start(program, L"R:\\scans\\", "DPI=30\r\n");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PressAndSettle(window));
  EXPECT_EQ(ReadFileBytes(L"R:\\scans\\page.bmp"), "the earlier image");
  EXPECT_EQ(FilesIn(L"R:\\scans").size(), 1u);
  EXPECT_FALSE(program.waitForExit(0));
}

TEST_F(FileFaultTest, SettingsFileThatCannotBeWrittenKeepsItsContentAndTheNewValuesWork) {
  // The program runs from the read-only view, so neither Settings.ini nor Logs can be written.
  const std::wstring folder = ReadOnlySource() + L"\\program";
  RemoveTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(
      CopyFileW((TestExeFolder() + L"\\Zembrolite.exe").c_str(), (folder + L"\\Zembrolite.exe").c_str(), FALSE));
  const std::wstring output = program.path(L"out\\");
  CreateDirectoryW(output.c_str(), nullptr);
  const std::string stored =
      "[Path]\r\nPath=" + std::string(output.begin(), output.end()) + "\r\n[Scanner]\r\nDPI=30\r\nColorType=RGB\r\n";
  WriteFileBytes(folder + L"\\Settings.ini", stored);

  ASSERT_TRUE(program.start(L"R:\\program\\Zembrolite.exe"));
  HWND window = program.waitForMainWindow();
  ASSERT_NE(window, nullptr);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_OPTIONS, 0), 0);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND shown : WindowsOfProcess(program.processId()))
      if (IsWindowVisible(shown) && WindowText(shown) == L"Settings") dialog = shown;
    return dialog != nullptr;
  }));
  SendMessageW(GetDlgItem(dialog, cboColorType), CB_SETCURSEL, 1, 0);  // GREY
  PostMessageW(GetDlgItem(dialog, cmdOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the save fails quietly and the dialog closes";
  EXPECT_EQ(ReadFileBytes(L"R:\\program\\Settings.ini"), stored);

  // The new colour type is in effect for this run.
  ASSERT_TRUE(PressAndSettle(window));
  const std::string image = ReadFileBytes(output + L"page.bmp");
  ASSERT_GE(image.size(), 30u);
  EXPECT_EQ(static_cast<unsigned char>(image[28]), 8) << "a grey image";

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.waitForExit(10000));
  EXPECT_FALSE(PathExists(L"R:\\program\\Logs"));
}
