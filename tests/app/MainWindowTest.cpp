// The main window inside the test process: its size, its one button, its picture, fonts, menu,
// focus and icon, and its menu's "Options".
#include <gtest/gtest.h>

#include "../../app/resource.h"
#include "../../options/fOptionsControls.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

std::wstring MenuText(HMENU menu, int position) {
  wchar_t text[64] = L"";
  GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
  return text + (GetSubMenu(menu, position) ? L"" : L" " + std::to_wstring(GetMenuItemID(menu, position)));
}
std::wstring Describe(const FontFacts& font) {
  return font.face + L" " + std::to_wstring(font.height) + L" " + std::to_wstring(font.weight);
}

}  // namespace

TEST(MainWindow, LayoutFontsMenuFocusAndIcon) {
  UseSettings("-");
  HWND main = MainWindow(), button = GetWindow(main, GW_CHILD);
  wchar_t caption[64] = L"", text[16] = L"", kind[16] = L"";
  GetWindowTextW(main, caption, 64);
  GetWindowTextW(button, text, 16);
  GetClassNameW(button, kind, 16);
  RECT client, r;
  GetClientRect(main, &client);
  GetWindowRect(button, &r);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
  const bool tabStop = GetWindowLongW(button, GWL_STYLE) & WS_TABSTOP;
  EXPECT_EQ(std::wstring(caption) + L"|" + std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom) +
                L"|" + kind + L" " + text + L" " + std::to_wstring(GetDlgCtrlID(button)) + (tabStop ? L" tab" : L"") +
                L"|" + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," +
                std::to_wstring(r.right - r.left) + L"," + std::to_wstring(r.bottom - r.top) + L"|" +
                Describe(FontOf(main)) + L"|" + Describe(FontOf(button)),  // 12 points at 96 dots per inch
            L"Zembrolite 1.0.0|181x115|Button scan " + std::to_wstring(IDC_CMDZADUDUVUR) +
                L" tab|8,16,149,83|Tahoma -16 400|Tahoma -16 700");
  EXPECT_EQ(GetWindow(button, GW_HWNDNEXT), nullptr) << "one control";
  SetFocus(main);
  EXPECT_EQ(GetFocus(), button);

  HMENU bar = GetMenu(main), file = GetSubMenu(bar, 0);
  EXPECT_EQ(std::to_wstring(GetMenuItemCount(bar)) + L" " + MenuText(bar, 0) + L": " +
                std::to_wstring(GetMenuItemCount(file)) + L" " + MenuText(file, 0) + L", " + MenuText(file, 1),
            L"1 File: 2 Options " + std::to_wstring(IDM_OPTIONS) + L", Close " + std::to_wstring(IDM_CLOSE));

  ICONINFO icon = {};
  BITMAP picture = {};
  GetIconInfo(reinterpret_cast<HICON>(GetClassLongPtrW(main, GCLP_HICON)), &icon);
  GetObjectW(icon.hbmColor, sizeof picture, &picture);
  EXPECT_EQ(picture.bmWidth * 1000 + picture.bmHeight, 32032);
}

TEST(MainWindow, ButtonFaceIsLightGreyWithThePictureAboveTheCaption) {
  HWND main = MainWindow();
  RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC dc = GetDC(main);
  // Left of the centred 64-pixel picture, the face shows; in its middle, the picture does.
  EXPECT_EQ(GetPixel(dc, 8 + 10, 16 + 30), RGB(224, 224, 224));
  EXPECT_NE(GetPixel(dc, 8 + 74, 16 + 2 + 40), RGB(224, 224, 224));
  ReleaseDC(main, dc);
}

// Moved to a screen of 144 dpi and back: client area, button and fonts follow their twips and
// points within the frame that Windows suggests.
TEST(MainWindow, LayoutFollowsTheDpiOfTheScreen) {
  HWND main = MainWindow(), button = GetDlgItem(main, IDC_CMDZADUDUVUR);
  for (int dpi : {144, 96}) {
    RECT frame;
    GetWindowRect(main, &frame);
    RECT suggested = {frame.left, frame.top, frame.left + 400, frame.top + 300};
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT client, r;
    GetClientRect(main, &client);
    GetWindowRect(button, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom) + L" " + std::to_wstring(r.left) +
                  L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right - r.left) + L"," +
                  std::to_wstring(r.bottom - r.top) + L" " + std::to_wstring(FontOf(main).height) + L" " +
                  std::to_wstring(FontOf(button).height),
              dpi == 144 ? L"272x173 12,24,224,125 -24 -24" : L"181x115 8,16,149,83 -16 -16");
  }
}

// At the DPI that tests/app/dpi.sh gives Wine (96, 120, 144, 192): the main window and the
// options dialog sized from their twips, their fonts from their points; pictures of both land
// in the screenshots folder.
TEST(DISABLED_AtDpi, WindowsFollowTheirTwipsAndPoints) {
  const wchar_t* given = _wgetenv(L"ZEMBROLITE_DPI");
  ASSERT_NE(given, nullptr);
  const int dpi = _wtoi(given);
  auto pixels = [dpi](int twips) { return std::to_wstring(MulDiv(twips, dpi, 1440)); };
  UseSettings("-");
  HWND main = MainWindow(), button = GetDlgItem(main, IDC_CMDZADUDUVUR);
  RECT client, r;
  GetClientRect(main, &client);
  GetWindowRect(button, &r);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom) + L" " + std::to_wstring(r.left) +
                L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right - r.left) + L"," +
                std::to_wstring(r.bottom - r.top) + L" " + std::to_wstring(FontOf(button).height),
            pixels(2715) + L"x" + pixels(1725) + L" " + pixels(120) + L"," + pixels(240) + L"," + pixels(2235) + L"," +
                pixels(1245) + L" " + std::to_wstring(-MulDiv(12, dpi, 72)));
  const std::wstring shots = TestExeFolder() + L"\\..\\screenshots\\";
  CreateDirectoryW(shots.c_str(), nullptr);
  RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  SaveWindowPicture(main, shots + L"main-window-" + given + L"dpi.bmp");
  std::wstring dialog;
  RunOptionsDialog({[&](HWND d) {
                      GetClientRect(d, &client);
                      dialog = std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom) + L" " +
                               std::to_wstring(FontOf(d).height);
                      SaveWindowPicture(d, shots + L"options-dialog-" + given + L"dpi.bmp");
                      return true;
                    },
                    [](HWND d) { return PostMessageW(d, WM_COMMAND, cmdCancel, 0), true; }});
  EXPECT_EQ(dialog, pixels(6795) + L"x" + pixels(4410) + L" " + std::to_wstring(-MulDiv(1200, dpi, 7200)));
}
