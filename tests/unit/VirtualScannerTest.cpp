// The session and capability procedures against Wine's real manager and the virtual scanner,
// which the bench installs as the manager's default source.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "../../twain/mdlTwain.h"
#include "Bench.h"
#include "TestFolders.h"

namespace {

std::wstring ControlFile() { return ScannerFolder() + L"VirtualScanner.ini"; }

class VirtualScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PathExists(ScannerFolder() + L"sane.ds")) << "the bench installs the virtual scanner";
    WriteFileBytes(ControlFile(), "[Log]\r\nCalls=1\r\n");
    DeleteFileW(callLogPath().c_str());
  }
  void TearDown() override {
    DeleteFileW(ControlFile().c_str());
    DeleteFileW(callLogPath().c_str());
  }

  static std::wstring callLogPath() { return ScannerFolder() + L"VirtualScanner.log"; }
  static std::string callLog() { return ReadFileBytes(callLogPath()); }
  static void control(const std::string& contents) { WriteFileBytes(ControlFile(), contents); }

  void openSource() {
    ASSERT_EQ(OpenSourceManager(), 0);
    ASSERT_EQ(OpenDefaultSource(), 0);
  }
  void closeSource() {
    EXPECT_EQ(CloseSource(), 0);
    EXPECT_EQ(CloseSourceManager(), 0);
  }
};

float AsFloat(const CapabilityValue& value) { return std::get<float>(value); }

}  // namespace

TEST_F(VirtualScannerTest, OpensAsTheDefaultSourceAndNamesItself) {
  openSource();
  EXPECT_STREQ(SourceIdentity.ProductName, "Zembrolite Virtual Scanner");
  EXPECT_NE(SourceIdentity.Id, 0u);
  closeSource();
  EXPECT_NE(callLog().find("IDENTITY.OPENDS -> 0"), std::string::npos) << callLog();
  EXPECT_NE(callLog().find("IDENTITY.CLOSEDS -> 0"), std::string::npos) << callLog();
}

TEST_F(VirtualScannerTest, CapabilitiesRoundTripThroughTheSource) {
  openSource();
  EXPECT_EQ(SetCapability(ICAP_XRESOLUTION, TWTY_FIX32, 200.0f), 0);
  EXPECT_EQ(SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{TWPT_GRAY}), 0);
  EXPECT_EQ(SetCapability(CAP_XFERCOUNT, TWTY_INT16, std::int16_t{1}), 0);
  CapabilityValue value = 0.0f;
  EXPECT_EQ(GetCapability(ICAP_XRESOLUTION, value), 0);
  EXPECT_EQ(AsFloat(value), 200.0f);
  EXPECT_EQ(GetCapability(ICAP_PIXELTYPE, value), 0);
  EXPECT_EQ(std::get<std::int32_t>(value), TWPT_GRAY);
  EXPECT_EQ(GetCapability(ICAP_BITDEPTH, value), 0);
  EXPECT_EQ(std::get<std::int32_t>(value), 8);
  EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), 0);
  EXPECT_NEAR(AsFloat(value), 8.5f, 1e-4);
  EXPECT_EQ(GetCapability(ICAP_PHYSICALHEIGHT, value), 0);
  EXPECT_NEAR(AsFloat(value), 11.69f, 1e-4);
  // Values the source refuses.
  EXPECT_EQ(SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{9}), 1);
  EXPECT_EQ(SetCapability(ICAP_PHYSICALWIDTH, TWTY_FIX32, 4.0f), 1);
  closeSource();
  EXPECT_NE(callLog().find("CAPABILITY.SET cap=1118 type=7 item=000000C8 -> 0"), std::string::npos) << callLog();
}

TEST_F(VirtualScannerTest, FrameBeyondTheFlatbedIsClippedAndStillAccepted) {
  control("[Log]\r\nCalls=1\r\n[Device]\r\nPhysicalWidth=4\r\nPhysicalHeight=6\r\n");
  openSource();
  EXPECT_EQ(SetImageLayout(0, 0, 4, 6), 0);
  EXPECT_EQ(SetImageLayout(0, 0, 8.5f, 11.69f), 0);
  EXPECT_EQ(SetImageLayout(5, 0, 8, 6), 1) << "nothing of this frame lies on the flatbed";
  closeSource();
  const std::string log = callLog();
  EXPECT_NE(log.find("IMAGELAYOUT.SET frame=0.0000,0.0000,4.0000,6.0000 -> 0"), std::string::npos) << log;
  EXPECT_NE(log.find("IMAGELAYOUT.SET frame=0.0000,0.0000,8.5000,11.6900 -> 2"), std::string::npos) << log;
}

TEST_F(VirtualScannerTest, ScriptedFailuresReachTheProcedures) {
  control("[Fail]\r\nIDENTITY.OPENDS=1\r\n");
  ASSERT_EQ(OpenSourceManager(), 0);
  EXPECT_EQ(OpenDefaultSource(), 1);
  EXPECT_EQ(CloseSourceManager(), 0);

  control("[Fail]\r\nCAPABILITY.SET.1118=1\r\nCAPABILITY.GET=1\r\nIMAGELAYOUT.SET=1\r\nIDENTITY.CLOSEDS=1\r\n");
  openSource();
  EXPECT_EQ(SetCapability(ICAP_XRESOLUTION, TWTY_FIX32, 300.0f), 1);
  EXPECT_EQ(SetCapability(ICAP_YRESOLUTION, TWTY_FIX32, 300.0f), 0);
  CapabilityValue value = 1.0f;
  EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), 1);
  EXPECT_EQ(SetImageLayout(0, 0, 1, 1), 1);
  EXPECT_EQ(CloseSource(), 1);
  EXPECT_EQ(CloseSourceManager(), 0);
}

// Wine's manager shows its own chooser; a helper thread answers it as a user would.
TEST_F(VirtualScannerTest, ChoosingTheSourceInTheManagersList) {
  for (const WPARAM button : {WPARAM{IDCANCEL}, WPARAM{IDOK}}) {
    std::atomic<bool> answered{false};
    std::thread user([&] {
      const DWORD self = GetCurrentProcessId();
      for (int attempt = 0; attempt < 200 && !answered; ++attempt) {
        Sleep(50);
        HWND dialog = nullptr;
        while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr)) != nullptr) {
          DWORD owner = 0;
          GetWindowThreadProcessId(dialog, &owner);
          if (owner == self && dialog != MessageWindow && IsWindowVisible(dialog)) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            answered = true;
            break;
          }
        }
      }
    });
    const std::int32_t result = SelectSource();
    user.join();
    EXPECT_TRUE(answered) << "the chooser did not appear";
    EXPECT_EQ(result, button == IDOK ? 0 : 1);
    EXPECT_FALSE(IsWindow(MessageWindow));
  }
  EXPECT_STREQ(SourceIdentity.ProductName, "Zembrolite Virtual Scanner");
}
