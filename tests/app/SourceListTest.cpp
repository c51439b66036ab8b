// The program's list of the sources of both bitnesses, inside the test process, at the screen's
// DPI (tests/app/dpi.sh runs it at each): what the user sees of it, and its keys.
#include <gtest/gtest.h>

#include "../../options/SourceList.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

const std::vector<ListedSource> Sources = {
    {64, 1, false, L"Zembrolite Virtual Scanner", L"Qorv", L"Zembrolite"},
    {64, 2, true, L"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW", L"MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM", L"Widest"},
    {32, 1, true, L"Zembrolite Virtual Scanner", L"Qorv", L"Zembrolite"},
};

struct Run {
  std::vector<UINT> keys;  // pressed on the control with the focus, one per tick
  std::vector<std::wstring> faults;
  std::vector<std::wstring> rows;
  size_t next = 0;
} Current;

int TextWidth(HWND control, const std::wstring& text) {
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return extent.cx;
}

// Each row as the list holds it, and a fault for each cell that would not show whole under its
// heading: it reaches the next heading, or the list's edge.
void LookAtRows(HWND dialog) {
  HWND list = FindWindowExW(dialog, nullptr, L"ListBox", nullptr);
  std::vector<int> headings;  // in the list's client area
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t kind[16] = L"";
    GetClassNameW(child, kind, 16);
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&place), 2);
    if (lstrcmpiW(kind, L"Static") == 0) headings.push_back(place.left);
  }
  RECT inside;
  GetClientRect(list, &inside);
  headings.push_back(inside.right);
  for (int row = 0; row < SendMessageW(list, LB_GETCOUNT, 0, 0); ++row) {
    wchar_t text[128] = L"";
    SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
    Current.rows.push_back(text);
    std::wstring rest = text;
    for (size_t column = 0; column + 1 < headings.size(); ++column) {
      const std::wstring cell = rest.substr(0, rest.find(L'\t'));
      rest = rest.find(L'\t') == std::wstring::npos ? L"" : rest.substr(rest.find(L'\t') + 1);
      if (headings[column] + TextWidth(list, cell) >= headings[column + 1])
        Current.faults.push_back(L"\"" + cell + L"\" is cut");
    }
  }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = WindowOver(nullptr);
  if (!dialog) return;
  if (Current.next == 0) {
    Current.faults = LayoutFaults(dialog);
    LookAtRows(dialog);
    CreateDirectoryW((TestExeFolder() + L"\\..\\screenshots").c_str(), nullptr);
    SaveWindowPicture(dialog, TestExeFolder() + L"\\..\\screenshots\\source-list.bmp");
  }
  if (Current.next < Current.keys.size()) PostMessageW(GetFocus(), WM_KEYDOWN, Current.keys[Current.next++], 0);
}

int Pick(const std::vector<UINT>& keys, int preselected) {
  Current = {keys, {}, {}, 0};
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, Tick);
  const int picked = PickSource(MainWindow(), Sources, preselected);
  KillTimer(nullptr, timer);
  return picked;
}

}  // namespace

TEST(SourceList, EveryNameWholeAndEachBitnessShownAndPickedFromTheKeyboard) {
  MainWindow();
  const struct {
    const char* keys;
    std::vector<UINT> pressed;
    int preselected, picked;
  } cases[] = {
      {"Enter takes the row preselected", {VK_RETURN}, 2, 2},
      {"Down, then Enter", {VK_DOWN, VK_RETURN}, 0, 1},
      {"Up twice, then Enter", {VK_UP, VK_UP, VK_RETURN}, 2, 0},
      {"Escape", {VK_ESCAPE}, 1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    EXPECT_EQ(Pick(c.pressed, c.preselected), c.picked);
    EXPECT_EQ(Current.faults, std::vector<std::wstring>());
  }
  EXPECT_EQ(Current.rows,
            std::vector<std::wstring>({L"Zembrolite Virtual Scanner\tQorv\t64-bit",
                                       L"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW\tMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM\t64-bit",
                                       L"Zembrolite Virtual Scanner\tQorv\t32-bit"}));
  EXPECT_TRUE(IsWindowEnabled(MainWindow()));
}
