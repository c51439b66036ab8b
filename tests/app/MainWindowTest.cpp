// The main window inside the test process: its size, its one button, its picture, fonts, menu,
// focus and icon, and its menu's "Options".
#include <gtest/gtest.h>

#include "../../app/resource.h"
#include "InProcess.h"

namespace {

std::wstring MenuText(HMENU menu, int position) {
  wchar_t text[64] = L"";
  GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
  return text;
}

}  // namespace

TEST(MainWindow, LayoutFontsMenuFocusAndIcon) {
  UseSettings("-");
  HWND main = MainWindow();
  wchar_t caption[64] = L"";
  GetWindowTextW(main, caption, 64);
  EXPECT_STREQ(caption, L"Zembrolite 1.0.0");
  RECT client;
  GetClientRect(main, &client);
  EXPECT_EQ(client.right * 1000 + client.bottom, 181115);

  HWND button = GetWindow(main, GW_CHILD);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(GetWindow(button, GW_HWNDNEXT), nullptr) << "one control";
  wchar_t text[16] = L"", kind[16] = L"";
  GetWindowTextW(button, text, 16);
  GetClassNameW(button, kind, 16);
  EXPECT_EQ(std::wstring(kind) + L" " + text, L"Button scan");
  EXPECT_EQ(GetDlgCtrlID(button), IDC_CMDZADUDUVUR);
  RECT r;
  GetWindowRect(button, &r);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right - r.left, r.bottom - r.top}),
            std::vector<LONG>({8, 16, 149, 83}));
  EXPECT_TRUE(GetWindowLongW(button, GWL_STYLE) & WS_TABSTOP);

  // 12 points at 96 dots per inch.
  const FontFacts form = FontOf(main), caption12 = FontOf(button);
  EXPECT_EQ(form.face + L" " + std::to_wstring(form.height) + L" " + std::to_wstring(form.weight), L"Tahoma -16 400");
  EXPECT_EQ(caption12.face + L" " + std::to_wstring(caption12.height) + L" " + std::to_wstring(caption12.weight),
            L"Tahoma -16 700");
  SetFocus(main);
  EXPECT_EQ(GetFocus(), button);

  HMENU bar = GetMenu(main);
  EXPECT_EQ(GetMenuItemCount(bar), 1);
  EXPECT_EQ(MenuText(bar, 0), L"File");
  HMENU file = GetSubMenu(bar, 0);
  EXPECT_EQ(GetMenuItemCount(file), 2);
  EXPECT_EQ(MenuText(file, 0) + L" " + std::to_wstring(GetMenuItemID(file, 0)),
            L"Options " + std::to_wstring(IDM_OPTIONS));
  EXPECT_EQ(MenuText(file, 1) + L" " + std::to_wstring(GetMenuItemID(file, 1)), L"Close " + std::to_wstring(IDM_CLOSE));

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
