#include <gtest/gtest.h>

#include "../../app/resource.h"
#include "../unit/TestFolders.h"
#include "Driver.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.start());
    window = program.waitForMainWindow();
    ASSERT_NE(window, nullptr) << "the main window did not appear";
  }

  ProgramCopy program;
  HWND window = nullptr;
};

}  // namespace

TEST_F(MainWindowTest, CaptionAndClientArea) {
  EXPECT_EQ(WindowText(window), L"Zembrolite 1.0.0");
  const SIZE client = ClientSize(window);
  EXPECT_EQ(client.cx, 181);
  EXPECT_EQ(client.cy, 115);
}

TEST_F(MainWindowTest, OneScanButtonAtItsPlace) {
  const auto children = Children(window);
  ASSERT_EQ(children.size(), 1u);
  HWND button = children[0];
  EXPECT_EQ(ClassOf(button), L"Button");
  EXPECT_EQ(WindowText(button), L"scan");
  EXPECT_EQ(GetDlgCtrlID(button), IDC_CMDZADUDUVUR);
  const RECT rect = ChildRect(button);
  EXPECT_EQ(rect.left, 8);
  EXPECT_EQ(rect.top, 16);
  EXPECT_EQ(rect.right - rect.left, 149);
  EXPECT_EQ(rect.bottom - rect.top, 83);
  const LONG style = GetWindowLongW(button, GWL_STYLE);
  EXPECT_TRUE(style & WS_TABSTOP);
  EXPECT_TRUE(style & WS_VISIBLE);
}

TEST_F(MainWindowTest, ButtonFaceIsLightGreyWithThePictureAboveTheCaption) {
  // Left of the centred 64-pixel picture, the face shows; in its middle, the picture does.
  // The first paint may come a moment after the window shows.
  EXPECT_TRUE(WaitUntil([&] { return ScreenColourAt(window, 8 + 10, 16 + 30) == RGB(224, 224, 224); }, 5000))
      << std::hex << ScreenColourAt(window, 8 + 10, 16 + 30);
  EXPECT_NE(ScreenColourAt(window, 8 + 74, 16 + 2 + 40), RGB(224, 224, 224));
}

TEST_F(MainWindowTest, MenuFileHoldsOptionsAndCloseWithoutAccessKeys) {
  const ProbeReport report = Probe(window);
  EXPECT_EQ(report.at(L"menu.count"), L"1");
  EXPECT_EQ(report.at(L"menu.0"), L"File");
  EXPECT_EQ(report.at(L"menu.0.count"), L"2");
  EXPECT_EQ(report.at(L"menu.0.0"), L"Options");
  EXPECT_EQ(report.at(L"menu.0.1"), L"Close");
}

TEST_F(MainWindowTest, FontsFocusAndIcon) {
  const ProbeReport report = Probe(window);
  // 12 points at 96 dots per inch.
  EXPECT_EQ(report.at(L"font.face"), L"Tahoma");
  EXPECT_EQ(report.at(L"font.height"), L"-16");
  EXPECT_EQ(report.at(L"font.weight"), L"400");
  EXPECT_EQ(report.at(L"font.charset"), L"0");
  const std::wstring button = L"child." + std::to_wstring(IDC_CMDZADUDUVUR) + L".";
  EXPECT_EQ(report.at(button + L"font.face"), L"Tahoma");
  EXPECT_EQ(report.at(button + L"font.height"), L"-16");
  EXPECT_EQ(report.at(button + L"font.weight"), L"700");
  EXPECT_EQ(report.at(L"focus.id"), std::to_wstring(IDC_CMDZADUDUVUR));
  EXPECT_EQ(report.at(L"icon.width"), L"32");
  EXPECT_EQ(report.at(L"icon.height"), L"32");
}

TEST_F(MainWindowTest, OptionsItemOpensSettingsAndClosingItReturnsToTheIdleWindow) {
  const UINT options = MenuCommandId(Probe(window), L"Options");
  ASSERT_NE(options, 0u);
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(options, 0), 0);
  HWND settings = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND shown : VisibleWindowsOfProcess(program.processId()))
      if (WindowText(shown) == L"Settings") settings = shown;
    return settings != nullptr;
  }));
  PostMessageW(settings, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return VisibleWindowsOfProcess(program.processId()).size() == 1u; }));
  EXPECT_EQ(WindowText(window), L"Zembrolite 1.0.0");
}

TEST_F(MainWindowTest, PressingScanKeepsTheWindowIdle) {
  HWND button = Children(window).at(0);
  SendMessageW(button, BM_CLICK, 0, 0);
  PostMessageW(button, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(button, WM_KEYDOWN, VK_SPACE, 0);
  PostMessageW(button, WM_KEYUP, VK_SPACE, 0);
  Sleep(300);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(WindowText(window), L"Zembrolite 1.0.0");
  EXPECT_FALSE(program.waitForExit(0));
}
