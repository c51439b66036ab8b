// Presses of the scan button inside the test process, with Wine's manager, the virtual
// scanner, the stand-in name provider and a stand-in for the external program: a name given as a
// number, the external program and what is logged, the acquisition guard and the file-system
// faults. The images of each way are the table of presses' (PressesTest.cpp).
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <regex>

#include "../../app/resource.h"
#include "../../twain/mdlTwain.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

// Called once at the first tick of a press, while the source works.
std::function<void()> DuringPress;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (DuringPress) DuringPress(), DuringPress = nullptr;
}

// Presses "scan" and returns when the press has ended.
void PressScan(std::function<void()> during = nullptr) {
  DuringPress = std::move(during);
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
  SendMessageW(GetDlgItem(MainWindow(), IDC_CMDZADUDUVUR), BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  DuringPress = nullptr;
}

class PressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetScanner();
    ProviderAnswersText(L"A1");
    output = FreshTestFolder(L"press") + L"\\";
  }
  void TearDown() override {
    RemoveScannerControl();
    ClearProviderAnswers();
  }
  void settings(const std::string& scanner) {
    UseSettings("[Path]\r\nPath=" + Narrow(output) + "\r\n[Scanner]\r\n" + scanner);
  }
  std::wstring output;
};

}  // namespace

TEST_F(PressTest, ExternalProgramGetsTheTifPathWithoutDotsAndFailuresAreLogged) {
  const std::wstring tools = output + L"Scan Tools";
  CreateDirectoryW(tools.c_str(), nullptr);
  ASSERT_TRUE(
      CopyFileW((TestExeFolder() + L"\\..\\bin\\FakeScan.exe").c_str(), (tools + L"\\FakeScan.exe").c_str(), FALSE));
  ProviderAnswersText(L"2015.02.09-001");
  settings("IsArray=-1\r\nScanUI=True\r\nScanPath=" + Narrow(tools) + "\\FakeScan.exe\r\n");
  PressScan();
  ASSERT_TRUE(WaitUntil([&] { return PathExists(tools + L"\\FakeScan.log"); }));
  EXPECT_EQ(ReadFileBytes(tools + L"\\FakeScan.log"),
            "\"" + Narrow(tools) + "\\FakeScan.exe\" " + Narrow(output) + "20150209-001.TIF\r\n");

  settings("IsArray=-1\r\nScanPath=C:\\no\\such\\scanner.exe\r\n");
  PressScan();
  EXPECT_TRUE(std::regex_search(ErrorLog(), std::regex(R"( 2 +.+Main_cmdZadudUVur_Click\r\n$)"))) << ErrorLog();
  settings("DPI=30\r\n");
  ProviderFails(static_cast<HRESULT>(0x80004005));
  PressScan();
  EXPECT_TRUE(std::regex_search(
      ErrorLog(), std::regex(R"(-2147467259 +No image name could be made\. +Main_cmdZadudUVur_Click\r\n$)")))
      << ErrorLog();
  EXPECT_TRUE(ScannerCallLog().empty()) << "no TWAIN call on the external way or without a name";
}

TEST_F(PressTest, PressesAndOptionsDuringAnAcquisitionAreIgnored) {
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Behaviour]\r\nReadyDelayMs=1500\r\n");
  settings("DPI=30\r\n");
  PressScan([] {
    HWND main = MainWindow();
    PostMessageW(GetDlgItem(main, IDC_CMDZADUDUVUR), BM_CLICK, 0, 0);
    PostMessageW(GetDlgItem(main, IDC_CMDZADUDUVUR), BM_CLICK, 0, 0);
    PostMessageW(main, WM_COMMAND, IDM_OPTIONS, 0);
  });
  EXPECT_FALSE(ImageFacts(output + L"A1.bmp").empty());
  const std::string log = ScannerCallLog();
  EXPECT_EQ(log.find("IDENTITY.OPENDS"), log.rfind("IDENTITY.OPENDS")) << log;
}

// A frame with one extent 0 stands for the whole flatbed: both extents are read from the source,
// and no frame goes out without a width or a height.
TEST_F(PressTest, FrameWithOneExtentZeroScansTheWholeFlatbed) {
  for (const auto& extents : {std::make_pair(5.0f, 0.0f), std::make_pair(0.0f, 7.0f)}) {
    const std::wstring image = output + L"frame.bmp";
    EXPECT_EQ(AcquireNoUI(30, TWPT_RGB, 0, 0, extents.first, extents.second, image), 0) << ScannerCallLog();
    EXPECT_EQ(ImageFacts(image), std::vector<int>({255, 351, 24, 54}));
  }
}

// Every form in which a driver hands over its image, in each colour type: a packed DIB; a DIB
// section bottom-up or top-down, or one of which the driver wrote only the handle's low half.
// Each is saved as the same picture and freed as it was made. A GDI object that is no image saves
// nothing, keeps the earlier image and is named.
TEST_F(PressTest, EachFormOfImageADriverHandsOverIsSavedAsTheSamePicture) {
  const struct {
    const char* behaviour;
    bool saves;
  } forms[] = {
      {"Image=dib", true},
      {"Image=dibsection", true},
      {"Image=dibsection-topdown", true},
      {"Image=dib\r\nHandle=low32", true},
      {"Image=dibsection\r\nHandle=low32", true},
      {"Image=brush", false},
  };
  // Size and bit count, then colour table and pixels.
  const auto picture = [](const std::string& file) {
    return file.size() < 54 ? "" : file.substr(18, 12) + file.substr(54);
  };
  const std::wstring image = output + L"form.bmp";
  for (const std::int32_t pixelType : {TWPT_BW, TWPT_GRAY, TWPT_RGB}) {
    std::string expected;
    for (const auto& form : forms) {
      SCOPED_TRACE(std::string(form.behaviour) + " pixel type " + std::to_string(pixelType));
      WriteScannerControl("[Behaviour]\r\n" + std::string(form.behaviour) + "\r\n");
      WriteFileBytes(image, "the earlier image");
      const unsigned long gdiObjects = GdiObjects();
      const std::int32_t status = AcquireNoUI(30, pixelType, 0, 0, 0, 0, image);
      EXPECT_EQ(GdiObjects(), gdiObjects) << "a GDI object left behind";
      if (!form.saves) {
        EXPECT_EQ(status, 1);
        EXPECT_EQ(ReadFileBytes(image), "the earlier image");
        EXPECT_EQ(LastAcquisitionFailure().description,
                  L"The source handed over an image the program cannot read: a GDI object of type 2.");
        continue;
      }
      ASSERT_EQ(status, 0) << Narrow(LastAcquisitionFailure().description);
      if (expected.empty()) expected = picture(ReadFileBytes(image));
      EXPECT_TRUE(picture(ReadFileBytes(image)) == expected) << "another picture";
    }
  }
}

// On the bench's fault drive S: (a 1 MB disk), a press that cannot write keeps the earlier image,
// leaves no partial file and says so in the log, and the program goes on.
class FileFaults : public PressTest {};

TEST_F(FileFaults, FullDiskKeepsTheEarlierImage) {
  RemoveTree(L"S:\\scans");
  CreateDirectoryW(L"S:\\scans", nullptr);
  WriteFileBytes(L"S:\\scans\\A1.bmp", "the earlier image");
  UseSettings("[Path]\r\nPath=S:\\scans\\\r\n[Scanner]\r\nDPI=300\r\nColorType=RGB\r\n");  // some 26 MB
  PressScan();
  EXPECT_EQ(ReadFileBytes(L"S:\\scans\\A1.bmp"), "the earlier image");
  EXPECT_EQ(FilesIn(L"S:\\scans").size(), 1u) << "no partial or temporary file";
  EXPECT_TRUE(std::regex_search(
      ErrorLog(),
      std::regex(R"( 112 +The image could not be saved as S:\\scans\\A1\.bmp\. +Main_cmdZadudUVur_Click\r\n$)")))
      << ErrorLog();
  UseSettings("[Path]\r\nPath=S:\\scans\\\r\n[Scanner]\r\nDPI=20\r\n");
  PressScan();
  EXPECT_EQ(ReadFileBytes(L"S:\\scans\\A1.bmp").substr(0, 2), "BM") << "a small image still fits";
  RemoveTree(L"S:\\scans");
}
