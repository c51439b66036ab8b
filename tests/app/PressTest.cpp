// Presses of the scan button inside the test process, with Wine's manager, the virtual
// scanner, the stand-in name provider and a stand-in for the external program: the image each
// way gives, the negotiation, the names, and failures of every call.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <regex>

#include "../../app/resource.h"
#include "../../twain/Dsm.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

// Called at every tick of a press with the source's own dialog (null while none shows) until
// it returns true.
std::function<bool(HWND)> DuringPress;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = FindWindowW(L"ZembroliteVirtualScannerUI", nullptr);
  if (dialog && (!IsWindowVisible(dialog) || !GetDlgItem(dialog, 101))) dialog = nullptr;
  if (DuringPress && DuringPress(dialog)) DuringPress = nullptr;
}

// Presses "scan" and returns when the press has ended.
void PressScan(std::function<bool(HWND)> during = nullptr) {
  DuringPress = std::move(during);
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
  SendMessageW(GetDlgItem(MainWindow(), IDC_CMDZADUDUVUR), BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  DuringPress = nullptr;
}
// Answers the source's dialog with a click on its "Scan", or closes it.
bool ClickScanIn(HWND dialog) { return dialog && PostMessageW(GetDlgItem(dialog, 101), BM_CLICK, 0, 0); }
bool CloseSourceDialog(HWND dialog) { return dialog && PostMessageW(dialog, WM_CLOSE, 0, 0); }

struct Bitmap {
  std::uint32_t size = 0, offset = 0;
  std::int32_t width = 0, height = 0;
  std::uint16_t bits = 0;
};
Bitmap ReadBitmap(const std::wstring& path) {
  const std::string file = ReadFileBytes(path);
  Bitmap facts;
  if (file.size() < 54 || file.compare(0, 2, "BM") != 0) return facts;
  std::memcpy(&facts.size, &file[2], 4);
  std::memcpy(&facts.offset, &file[10], 4);
  std::memcpy(&facts.width, &file[18], 4);
  std::memcpy(&facts.height, &file[22], 4);
  std::memcpy(&facts.bits, &file[28], 2);
  if (facts.size != file.size()) facts = {};
  return facts;
}
std::string Text(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }

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
    UseSettings("[Path]\r\nPath=" + Text(output) + "\r\n[Scanner]\r\n" + scanner);
  }
  std::wstring output;
};

}  // namespace

TEST_F(PressTest, FixedSettingsNegotiateInOrderAndGiveTheImageOfTheColourType) {
  struct Case {
    const char* scanner;
    int width, height, bits, offset;
    const char* negotiation;
  };
  const Case cases[] = {
      {"DPI=50\r\nColorType=RGB\r\nIsArray=0\r\nScanUI=False\r\n", 425, 585, 24, 54,  // 8.5 x 11.69 inches
       "CAPABILITY.GET cap=1111 -> 0[^]*CAPABILITY.GET cap=1112 -> 0[^]*IMAGELAYOUT.SET "
       "frame=0.0000,0.0000,8.5000,11.6900 -> 0[^]*CAPABILITY.SET cap=1118 type=7 item=00000032 -> 0[^]*"
       "CAPABILITY.SET cap=1119 type=7 item=00000032 -> 0[^]*CAPABILITY.SET cap=0101 type=4 item=00000002 -> 0[^]*"
       "CAPABILITY.SET cap=112B type=4 item=00000018 -> 0[^]*CAPABILITY.SET cap=0001 type=1 item=00000001 -> 0[^]*"
       "USERINTERFACE.ENABLEDS -> 0[^]*IMAGENATIVEXFER.GET -> 6[^]*PENDINGXFERS.ENDXFER -> 0[^]*"
       "USERINTERFACE.DISABLEDS -> 0[^]*IDENTITY.CLOSEDS -> 0"},
      {"DPI=40\r\nColorType=GREY\r\n", 340, 468, 8, 54 + 1024, "cap=0101 type=4 item=00000001 -> 0"},
      {"DPI=40\r\nColorType=BW\r\n", 340, 468, 1, 54 + 8, "cap=0101 type=4 item=00000000 -> 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scanner);
    ResetScanner();
    settings(c.scanner);
    PressScan();
    const Bitmap image = ReadBitmap(output + L"A1.bmp");
    EXPECT_EQ(std::vector<int>({image.width, image.height, image.bits, static_cast<int>(image.offset)}),
              std::vector<int>({c.width, c.height, c.bits, c.offset}));
    const std::string log = ScannerCallLog();
    EXPECT_TRUE(std::regex_search(log, std::regex(c.negotiation))) << log;
    EXPECT_EQ(log.find("cap=112B") != std::string::npos, c.bits == 24) << "bit depth for colour only";
    EXPECT_EQ(ErrorLog(), "");
  }
}

TEST_F(PressTest, NamesAndFoldersAsTheyCome) {
  settings("DPI=20\r\n");
  ProviderAnswersText(L"2015.02.09-001");
  PressScan();
  EXPECT_GT(ReadBitmap(output + L"2015.02.09-001.bmp").size, 0u) << "the name keeps its dots";
  ProviderAnswersNumber(42);
  PressScan();
  EXPECT_GT(ReadBitmap(output + L"42.bmp").size, 0u) << "a number becomes its digits";
  UseSettings("[Path]\r\nPath=" + Text(output) + "Scans\r\n[Scanner]\r\nDPI=20\r\n");
  PressScan();
  EXPECT_GT(ReadBitmap(output + L"Scans42.bmp").size, 0u) << "a folder without separator runs into the name";
}

TEST_F(PressTest, SourceInterfaceTakesOneImageOrNoneWhenClosed) {
  settings("DPI=30\r\nScanUI=True\r\n");
  PressScan(CloseSourceDialog);
  EXPECT_EQ(FilesIn(output).size(), 0u);
  EXPECT_EQ(ScannerCallLog().find("IMAGENATIVEXFER"), std::string::npos);
  PressScan(ClickScanIn);
  EXPECT_GT(ReadBitmap(output + L"A1.bmp").size, 0u);
  const std::string log = ScannerCallLog();
  // The source keeps further pages pending after the transfer; they are discarded before the disable.
  EXPECT_TRUE(std::regex_search(
      log, std::regex("PENDINGXFERS.ENDXFER -> 0\r\nPENDINGXFERS.RESET -> 0\r\nUSERINTERFACE.DISABLEDS -> 0")))
      << log;
  EXPECT_EQ(log.find("CAPABILITY.SET"), std::string::npos) << "the interface way sets nothing";
  EXPECT_FALSE(FindWindowW(L"ZembroliteVirtualScannerUI", nullptr));
  EXPECT_EQ(ErrorLog(), "");
}

TEST_F(PressTest, ExternalProgramGetsTheTifPathWithoutDotsAndFailuresAreLogged) {
  const std::wstring tools = output + L"Scan Tools";
  CreateDirectoryW(tools.c_str(), nullptr);
  ASSERT_TRUE(
      CopyFileW((TestExeFolder() + L"\\..\\bin\\FakeScan.exe").c_str(), (tools + L"\\FakeScan.exe").c_str(), FALSE));
  ProviderAnswersText(L"2015.02.09-001");
  settings("IsArray=-1\r\nScanUI=True\r\nScanPath=" + Text(tools) + "\\FakeScan.exe\r\n");
  PressScan();
  ASSERT_TRUE(WaitUntil([&] { return PathExists(tools + L"\\FakeScan.log"); }));
  EXPECT_EQ(ReadFileBytes(tools + L"\\FakeScan.log"),
            "\"" + Text(tools) + "\\FakeScan.exe\" " + Text(output) + "20150209-001.TIF\r\n");

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
  PressScan([](HWND) {  // the first tick comes while the source works
    HWND main = MainWindow();
    PostMessageW(GetDlgItem(main, IDC_CMDZADUDUVUR), BM_CLICK, 0, 0);
    PostMessageW(GetDlgItem(main, IDC_CMDZADUDUVUR), BM_CLICK, 0, 0);
    PostMessageW(main, WM_COMMAND, IDM_OPTIONS, 0);
    return true;
  });
  EXPECT_GT(ReadBitmap(output + L"A1.bmp").size, 0u);
  const std::string log = ScannerCallLog();
  EXPECT_EQ(log.find("IDENTITY.OPENDS"), log.rfind("IDENTITY.OPENDS")) << log;
}

// Every call that an acquisition makes to the source fails in turn, for both ways. After each:
// no new image and the old one of that name untouched, nothing logged, and the next press
// works with no memory that the source handed over still allocated.
TEST_F(PressTest, FailureOfEveryCallKeepsTheOldImageAndTheNextPressWorks) {
  const char fixed[] = "DPI=20\r\nColorType=RGB\r\nScanUI=False\r\n", withInterface[] = "ScanUI=True\r\n";
  const std::pair<const char*, const char*> faults[] = {
      {fixed, "IDENTITY.OPENDS=1"},
      {fixed, "CAPABILITY.GET.1111=1"},
      {fixed, "CAPABILITY.GET.1112=1"},
      {fixed, "IMAGELAYOUT.SET=1"},
      {fixed, "CAPABILITY.SET.1118=1"},
      {fixed, "CAPABILITY.SET.1119=1"},
      {fixed, "CAPABILITY.SET.0101=1"},
      {fixed, "CAPABILITY.SET.0001=1"},
      {fixed, "USERINTERFACE.ENABLEDS=1"},
      {fixed, "IMAGENATIVEXFER.GET=1"},
      {fixed, "IMAGENATIVEXFER.GET=3"},
      {fixed, "PENDINGXFERS.ENDXFER=1"},
      {fixed, "USERINTERFACE.DISABLEDS=1"},
      {fixed, "IDENTITY.CLOSEDS=1"},
      {withInterface, "IDENTITY.OPENDS=1"},
      {withInterface, "USERINTERFACE.ENABLEDS=1"},
      {withInterface, "IMAGENATIVEXFER.GET=1"},
      {withInterface, "IMAGENATIVEXFER.GET=3"},
      {withInterface, "PENDINGXFERS.ENDXFER=1"},
      {withInterface, "PENDINGXFERS.RESET=1"},
      {withInterface, "USERINTERFACE.DISABLEDS=1"},
      {withInterface, "IDENTITY.CLOSEDS=1"},
  };
  const std::string smallFlatbed = "[Log]\r\nCalls=1\r\n[Device]\r\nPhysicalWidth=1\r\nPhysicalHeight=1\r\n";
  for (const auto& fault : faults) {
    SCOPED_TRACE(std::string(fault.second) + (fault.first == fixed ? "" : " with interface"));
    ResetScanner();
    WriteScannerControl(smallFlatbed + "[Fail]\r\n" + fault.second + "\r\n");
    settings(fault.first);
    WriteFileBytes(output + L"A1.bmp", "the earlier image");
    PressScan(ClickScanIn);
    const std::string log = ScannerCallLog();
    EXPECT_NE(log.find("(scripted)"), std::string::npos) << log;
    if (std::strncmp(fault.second, "IDENTITY.OPENDS", 15) != 0) {
      EXPECT_NE(log.find("IDENTITY.CLOSEDS"), std::string::npos) << "the source is closed:\n" << log;
    }
    EXPECT_EQ(ReadFileBytes(output + L"A1.bmp"), "the earlier image") << log;
    EXPECT_EQ(FilesIn(output).size(), 1u) << "no partial or temporary file";
    EXPECT_EQ(ErrorLog(), "") << "acquisition failures are not logged";

    ResetScanner();
    WriteScannerControl(smallFlatbed);
    PressScan(ClickScanIn);
    EXPECT_NE(ScannerCallLog().find("outstanding=0"), std::string::npos) << ScannerCallLog();
    EXPECT_EQ(ReadFileBytes(output + L"A1.bmp").substr(0, 2), "BM");
  }
}

// While another session of this process holds the manager, the program's own opening fails:
// the press ends without a call to the source, without closing the manager it did not open,
// and quietly.
TEST_F(PressTest, ManagerHeldByAnotherSessionEndsThePressQuietly) {
  HMODULE manager = LoadLibraryW(DsmPath().c_str());
  const auto entry = reinterpret_cast<DsmEntryProc>(reinterpret_cast<void*>(GetProcAddress(manager, "DSM_Entry")));
  ASSERT_NE(entry, nullptr);
  TW_IDENTITY other = {};
  other.ProtocolMajor = 1;
  other.SupportedGroups = DG_CONTROL | DG_IMAGE;
  std::strcpy(other.ProductName, "Another session");
  HWND parent = MainWindow();
  ASSERT_EQ(entry(&other, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent), TWRC_SUCCESS);
  settings("DPI=20\r\n");
  WriteFileBytes(output + L"A1.bmp", "the earlier image");
  PressScan();
  EXPECT_EQ(ScannerCallLog().find("IDENTITY.OPENDS"), std::string::npos) << ScannerCallLog();
  EXPECT_EQ(ReadFileBytes(output + L"A1.bmp"), "the earlier image");
  EXPECT_EQ(ErrorLog(), "");
  EXPECT_EQ(entry(&other, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent), TWRC_SUCCESS)
      << "the program closed a manager it had not opened";
  FreeLibrary(manager);
  PressScan();
  EXPECT_EQ(ReadFileBytes(output + L"A1.bmp").substr(0, 2), "BM");
}
