// Faults: every call that an acquisition makes to the source fails in turn, for both ways, and
// the manager refuses to open.
// After each: no new image and the old one of that name untouched, source and manager closed,
// no memory that the source handed over left allocated, and the next press works.
#include <gtest/gtest.h>

#include <string>

#include "../probe/ZProbe.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "Driver.h"

namespace {

struct Fault {
  const char* way;   // the [Scanner] settings of the way
  const char* fail;  // the scanner's [Fail] key
  int returnCode;
};

const char FixedSettings[] = "DPI=20\r\nColorType=RGB\r\nScanUI=False\r\n";
const char InterfaceSettings[] = "ScanUI=True\r\n";

const Fault Faults[] = {
    {FixedSettings, "IDENTITY.OPENDS", 1},
    {FixedSettings, "CAPABILITY.GET.1111", 1},
    {FixedSettings, "CAPABILITY.GET.1112", 1},
    {FixedSettings, "IMAGELAYOUT.SET", 1},
    {FixedSettings, "CAPABILITY.SET.1118", 1},
    {FixedSettings, "CAPABILITY.SET.1119", 1},
    {FixedSettings, "CAPABILITY.SET.0101", 1},
    {FixedSettings, "CAPABILITY.SET.0001", 1},
    {FixedSettings, "USERINTERFACE.ENABLEDS", 1},
    {FixedSettings, "IMAGENATIVEXFER.GET", 1},
    {FixedSettings, "IMAGENATIVEXFER.GET", 3},
    {FixedSettings, "PENDINGXFERS.ENDXFER", 1},
    {FixedSettings, "USERINTERFACE.DISABLEDS", 1},
    {FixedSettings, "IDENTITY.CLOSEDS", 1},
    {InterfaceSettings, "IDENTITY.OPENDS", 1},
    {InterfaceSettings, "USERINTERFACE.ENABLEDS", 1},
    {InterfaceSettings, "IMAGENATIVEXFER.GET", 1},
    {InterfaceSettings, "IMAGENATIVEXFER.GET", 3},
    {InterfaceSettings, "PENDINGXFERS.ENDXFER", 1},
    {InterfaceSettings, "PENDINGXFERS.RESET", 1},
    {InterfaceSettings, "USERINTERFACE.DISABLEDS", 1},
    {InterfaceSettings, "IDENTITY.CLOSEDS", 1},
};

class FaultMatrixTest : public ::testing::TestWithParam<Fault> {
 protected:
  void TearDown() override {
    RemoveScannerControl();
    ClearProviderAnswers();
  }

  // One press; with the source's interface, its "Scan" is pressed when it shows.
  void press(HWND window, bool withInterface) {
    PressScan(window);
    if (!withInterface) return;
    HWND dialog = nullptr;
    const bool shown = WaitUntil(
        [&] {
          dialog = FindProcessWindow(program.processId(), L"ZembroliteVirtualScannerUI");
          return (dialog && GetDlgItem(dialog, 101)) || ScannerCallLog().find("(scripted)") != std::string::npos;
        },
        10000);
    if (shown && dialog) PostMessageW(GetDlgItem(dialog, 101), BM_CLICK, 0, 0);
  }

  // Waits until the press has returned to the program's own loop: the source has seen the
  // call that marks its end, and after that nothing pumps messages below the press.
  bool settled(HWND window, const std::string& mark) {
    if (!WaitUntil([&] { return ScannerCallLog().find(mark) != std::string::npos; }, 10000)) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored) != 0;
  }

  // The settings of the fault's way, with an earlier image of the name the next press writes.
  HWND startWithEarlierImage(const Fault& fault) {
    ProviderAnswersText(L"page");
    output = program.folder() + L"\\out\\";
    CreateDirectoryW(output.c_str(), nullptr);
    image = output + L"page.bmp";
    WriteFileBytes(image, "the earlier image");
    program.writeSettings("[Path]\r\nPath=" + std::string(output.begin(), output.end()) + "\r\n[Scanner]\r\n" +
                          fault.way);
    if (!program.start()) return nullptr;
    return program.waitForMainWindow();
  }

  // After a failed press: nothing written, nothing logged.
  void expectEarlierImageOnly(const std::string& log) {
    EXPECT_EQ(ReadFileBytes(image), "the earlier image") << log;
    EXPECT_EQ(FilesIn(output).size(), 1u) << "no partial or temporary file";
    EXPECT_FALSE(PathExists(program.path(L"Logs"))) << "acquisition failures are not logged";
  }

  // The next press, with the fault gone, works; its opening reports what is still allocated.
  void expectNextPressWorks(HWND window, bool withInterface) {
    WriteScannerControl("[Log]\r\nCalls=1\r\n[Device]\r\nPhysicalWidth=1\r\nPhysicalHeight=1\r\n");
    DeleteFileW((ScannerFolder() + L"VirtualScanner.log").c_str());
    press(window, withInterface);
    ASSERT_TRUE(settled(window, "IDENTITY.CLOSEDS -> 0")) << ScannerCallLog();
    EXPECT_NE(ScannerCallLog().find("outstanding=0"), std::string::npos)
        << "memory from the failed press still allocated:\n"
        << ScannerCallLog();
    EXPECT_NE(ReadFileBytes(image), "the earlier image");
    EXPECT_EQ(ReadFileBytes(image).substr(0, 2), "BM");
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program.waitForExit(10000));
  }

  ProgramCopy program;
  std::wstring output;
  std::wstring image;
};

class ManagerFaultTest : public FaultMatrixTest {};

}  // namespace

TEST_P(FaultMatrixTest, FailureClosesEverythingKeepsTheOldImageAndTheNextPressWorks) {
  const Fault& fault = GetParam();
  const bool withInterface = fault.way == InterfaceSettings;
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Device]\r\nPhysicalWidth=1\r\nPhysicalHeight=1\r\n[Fail]\r\n" +
                      std::string(fault.fail) + "=" + std::to_string(fault.returnCode) + "\r\n");
  DeleteFileW((ScannerFolder() + L"VirtualScanner.log").c_str());
  HWND window = startWithEarlierImage(fault);
  ASSERT_NE(window, nullptr);

  press(window, withInterface);
  ASSERT_TRUE(settled(window, "(scripted)")) << ScannerCallLog();
  const std::string log = ScannerCallLog();
  EXPECT_NE(log.find("(scripted)"), std::string::npos) << log;
  // A source that did not open is not closed (the manager does not hold it open).
  if (std::string(fault.fail) != "IDENTITY.OPENDS") {
    EXPECT_NE(log.find("IDENTITY.CLOSEDS"), std::string::npos) << "the source is closed:\n" << log;
  }
  expectEarlierImageOnly(log);
  expectNextPressWorks(window, withInterface);
}

// While another session holds Wine's manager, the program's own opening fails: the press ends
// without a call to the source, without closing the manager it did not open, and quietly.
TEST_P(ManagerFaultTest, ManagerThatWillNotOpenEndsThePressAndTheNextPressWorks) {
  const Fault& fault = GetParam();
  const bool withInterface = fault.way == InterfaceSettings;
  WriteScannerControl("[Log]\r\nCalls=1\r\n");
  DeleteFileW((ScannerFolder() + L"VirtualScanner.log").c_str());
  HWND window = startWithEarlierImage(fault);
  ASSERT_NE(window, nullptr);

  const ProbeReport held = Probe(window, ProbeHoldManagerRequest);
  ASSERT_EQ(ReportValue(held, L"manager.result"), L"0") << "the probe's own session did not open";
  PressScan(window);
  Probe(window);  // answered once the press has returned to the program's loop
  EXPECT_EQ(ScannerCallLog().find("IDENTITY.OPENDS"), std::string::npos) << ScannerCallLog();
  expectEarlierImageOnly(ScannerCallLog());
  const ProbeReport released = Probe(window, ProbeReleaseManagerRequest);
  EXPECT_EQ(ReportValue(released, L"manager.result"), L"0") << "the program closed a manager it had not opened";

  expectNextPressWorks(window, withInterface);
}

std::string FaultName(const ::testing::TestParamInfo<Fault>& info) {
  std::string name = std::string(info.param.way == InterfaceSettings ? "Interface_" : "Fixed_") + info.param.fail +
                     "_" + std::to_string(info.param.returnCode);
  for (char& c : name)
    if (c == '.') c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryCall, FaultMatrixTest, ::testing::ValuesIn(Faults), FaultName);

INSTANTIATE_TEST_SUITE_P(WillNotOpen, ManagerFaultTest,
                         ::testing::Values(Fault{FixedSettings, "PARENT.OPENDSM", 1},
                                           Fault{InterfaceSettings, "PARENT.OPENDSM", 1}),
                         FaultName);
