// The options dialog "Settings" inside the test process, driven as a user would: its layout,
// what it loads, its rules, what "OK" saves and refuses, its keys and the windows it opens.
#include <gtest/gtest.h>

#include <regex>

#include "../../options/fOptionsControls.h"
#include "../../settings/INIModul.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

const char BothOff[] =
    "[Path]\r\nPath=C:\\Scans\\\r\n[Scanner]\r\nDPI=300\r\nColorType=GREY\r\nIsArray=0\r\nScanPath=C:\\Tools\\scan."
    "exe\r\nScanUI=False\r\n";
const char BothOn[] =
    "[Path]\r\nPath=C:\\Scans\\\r\n[Scanner]\r\nDPI=150\r\nColorType=BW\r\nIsArray=-1\r\nScanPath=C:\\Tools\\scan."
    "exe\r\nScanUI=True\r\n";

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }
void Click(HWND dialog, int id) { SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
void Type(HWND dialog, int id, const std::wstring& text) { SetWindowTextW(Item(dialog, id), text.c_str()); }
std::wstring Text(HWND dialog, int id) {
  wchar_t text[512] = L"";
  GetWindowTextW(Item(dialog, id), text, 512);
  return text;
}
// The state of the boxes and fields a user sees: ticks and enabled controls as 0/1, texts, selection.
std::wstring State(HWND d) {
  auto bit = [&](bool on) { return on ? L"1" : L"0"; };
  auto ticked = [&](int id) { return bit(SendMessageW(Item(d, id), BM_GETCHECK, 0, 0) == BST_CHECKED); };
  auto enabled = [&](int id) { return bit(IsWindowEnabled(Item(d, id)) != FALSE); };
  return std::wstring(L"ui=") + ticked(chkScanUI) + L" ext=" + ticked(chkScannerArray) + L" on:" + enabled(txtDPI) +
         enabled(cboColorType) + enabled(txtScanArray) + enabled(cmdSrc) + L" " + Text(d, txtScanPath) + L"|" +
         Text(d, txtDPI) + L"|" + Text(d, txtScanArray) + L"|" +
         std::to_wstring(SendMessageW(Item(d, cboColorType), CB_GETCURSEL, 0, 0));
}
// Expects the state to start as given.
Step Shows(const std::wstring& expected) {
  return [=](HWND d) {
    EXPECT_EQ(State(d).substr(0, expected.size()), expected);
    return true;
  };
}
// Expects a field's text.
Step Holds(int id, const std::wstring& expected) {
  return [=](HWND d) {
    EXPECT_EQ(Text(d, id), expected);
    return true;
  };
}
Step Do(std::function<void(HWND)> action) {
  return [action](HWND dialog) {
    action(dialog);
    return true;
  };
}
Step Press(int id) {
  return Do([id](HWND d) { Click(d, id); });
}
// Posts a click on a button that opens a window, and waits for the window.
Step Opens(int id) {
  return [id, posted = false](HWND d) mutable {
    if (!posted) PostMessageW(Item(d, id), BM_CLICK, 0, 0);
    posted = true;
    return WindowOver(d) != nullptr;
  };
}
// Sends a command to the window over the dialog and waits until it has gone.
Step Answer(WORD command) {
  return [command](HWND d) {
    HWND over = WindowOver(d);
    if (over) PostMessageW(over, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    return over == nullptr;
  };
}

}  // namespace

// At every DPI (tests/app/dpi.sh runs it at 96, 120, 144 and 192): every caption whole, nothing
// on top of anything else, all inside the window; the window modal over the main window with the
// focus on its first box, the program's icon and no boxes to minimise or maximise it, and the
// colour list's three entries. Its picture goes to the screenshots.
TEST(OptionsDialog, WhatTheUserSeesAtTheScreensDpi) {
  std::vector<std::wstring> faults;
  std::wstring window, entries;
  bool pictured = false;
  UseSettings(BothOff);
  RunOptionsDialog({Do([&](HWND dialog) {
                      faults = LayoutFaults(dialog);
                      ICONINFO icon = {};
                      BITMAP picture = {};
                      GetIconInfo(reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0)), &icon);
                      GetObjectW(icon.hbmColor, sizeof picture, &picture);
                      const bool boxes = GetWindowLongW(dialog, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
                      const bool modal = GetWindow(dialog, GW_OWNER) == MainWindow() && !IsWindowEnabled(MainWindow());
                      window = L"focus " + std::to_wstring(GetDlgCtrlID(GetFocus())) + L" icon " +
                               std::to_wstring(picture.bmWidth) + (boxes ? L" boxes" : L"") + (modal ? L" modal" : L"");
                      HWND list = Item(dialog, cboColorType);
                      for (int i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
                        wchar_t text[16] = L"";
                        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                        entries += std::wstring(text) + L" ";
                      }
                      if ((GetWindowLongW(list, GWL_STYLE) & 3) == CBS_DROPDOWNLIST) entries += L"(no typed text)";
                      CreateDirectoryW((TestExeFolder() + L"\\..\\screenshots").c_str(), nullptr);
                      pictured = SaveWindowPicture(dialog, TestExeFolder() + L"\\..\\screenshots\\options-dialog.bmp");
                    }),
                    Press(cmdCancel)});
  EXPECT_EQ(faults, std::vector<std::wstring>());
  EXPECT_EQ(window, L"focus " + std::to_wstring(chkScanUI) + L" icon 32 modal");
  EXPECT_EQ(entries, L"BW GREY RGB (no typed text)");
  EXPECT_TRUE(pictured);
  EXPECT_TRUE(IsWindowEnabled(MainWindow()));
}

// The dialog's behaviours, one row each: the settings file before, what the user does (the last
// step ends the dialog), then a text that Settings.ini holds (none: the file as it was) and the
// log's last line (none: no log).
TEST(OptionsDialog, Behaviours) {
  const std::wstring folder = FreshTestFolder(L"options"), made = folder + L"\\new folder";
  const std::string typed = "Path=" + Narrow(folder) + "\r\n[Scanner]\r\nDPI=";
  const std::wstring program = TestExeFolder() + L"\\app_tests.exe";
  std::wstring chosen;
  struct Row {
    const char* what;
    const char* before;
    std::vector<Step> steps;
    std::string saved;
    const char* logged;
  };
  auto ok = [](const std::wstring& folder, const wchar_t* dpi) {
    return Do([=](HWND d) { Type(d, txtScanPath, folder), Type(d, txtDPI, dpi), Click(d, cmdOK); });
  };
  const Row rows[] = {
      {"loaded; Cancel saves nothing",
       BothOff,
       {Shows(L"ui=0 ext=0 on:1100 C:\\Scans\\|300|C:\\Tools\\scan.exe|1"), Press(cmdCancel)},
       "",
       ""},
      {"each flag from its own box",
       BothOff,
       {Press(chkScanUI), Press(cmdOK)},
       "IsArray=0\r\nScanPath=C:\\Tools\\scan.exe\r\nScanUI=True",
       ""},
      {"each box switches its own two controls; a disabled one is still saved",
       BothOn,
       {Shows(L"ui=1 ext=1 on:0011 C:\\Scans\\|150|C:\\Tools\\scan.exe|0"), Press(chkScanUI),
        Shows(L"ui=0 ext=1 on:1111"), Press(chkScannerArray), Shows(L"ui=0 ext=0 on:1100"),
        Do([](HWND d) { Type(d, txtScanArray, L"D:\\Other\\scan.exe"); }), Press(cmdOK)},
       "IsArray=0\r\nScanPath=D:\\Other\\scan.exe\r\nScanUI=False",
       ""},
      {"DPI below 1 accepted", BothOff, {ok(folder, L"-5")}, typed + "-5\r\n", ""},
      {"DPI converted as the settings file's", BothOff, {ok(folder, L"2.5")}, typed + "2\r\n", ""},
      {"a missing last folder is made", BothOff, {ok(made, L"7")}, "Path=" + Narrow(made) + "\r\n", ""},
      {"DPI that does not convert",
       BothOff,
       {ok(folder, L"abc"), Press(cmdCancel)},
       "",
       " 13 +Type mismatch +fOptions_cmdOK_Click"},
      {"folder beyond a missing one",
       BothOff,
       {ok(folder + L"\\missing\\child", L"8"), Press(cmdCancel)},
       "",
       "fOptions_cmdOK_Click"},
      {"unknown colour type",
       "[Scanner]\r\nDPI=300\r\nColorType=GRAY\r\n",
       {Shows(L"ui=0 ext=0 on:1100 |||-1"), Press(cmdCancel)},
       "",
       " 380 +Invalid property value +fOptions_Form_Load"},
      {"Esc and Enter outside a button press nothing; the close box cancels",
       BothOff,
       {Do([](HWND d) {
          PostMessageW(Item(d, chkScanUI), WM_KEYDOWN, VK_ESCAPE, 0);
          PostMessageW(Item(d, txtDPI), WM_KEYDOWN, VK_RETURN, 0);
          PostMessageW(Item(d, chkScanUI), WM_KEYDOWN, VK_RETURN, 0);
          Type(d, txtDPI, L"77");  // changed, but never confirmed
        }),
        [](HWND d) { return IsWindow(d) && PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
       "",
       ""},
      {"program picker cancelled, then confirmed",
       BothOn,
       {Opens(cmdSrc), Answer(IDCANCEL), Holds(txtScanArray, L"C:\\Tools\\scan.exe"), Opens(cmdSrc), Do([&](HWND d) {
          for (int nameBox : {0x480, 0x47C}) SetDlgItemTextW(WindowOver(d), nameBox, program.c_str());  // edt1, cmb13
        }),
        Answer(IDOK), Do([&](HWND d) { EXPECT_EQ(lstrcmpiW(Text(d, txtScanArray).c_str(), program.c_str()), 0); }),
        Press(cmdCancel)},
       "",
       ""},
      // The browser opens on the desktop; confirming it chooses the desktop's folder, at once.
      {"folder browser cancelled, then confirmed",
       BothOff,
       {Do([](HWND d) { Type(d, txtScanPath, L"typed but not confirmed"); }), Opens(cmdPath), Answer(IDCANCEL),
        Holds(txtScanPath, L"C:\\Scans\\"), Opens(cmdPath), [](HWND) { return Sleep(300), true; }, Answer(IDOK),
        Do([&](HWND d) { chosen = Text(d, txtScanPath); }), Press(cmdCancel)},
       "",
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    UseSettings(row.before);
    RunOptionsDialog(row.steps);
    if (row.saved.empty())
      EXPECT_EQ(SettingsFile(), std::string(row.before) == "-" ? "" : row.before);
    else
      EXPECT_NE(SettingsFile().find(row.saved), std::string::npos) << SettingsFile();
    EXPECT_TRUE(*row.logged ? std::regex_search(ErrorLog(), std::regex(row.logged + std::string("\r\n$")))
                            : ErrorLog().empty())
        << ErrorLog();
  }
  EXPECT_EQ(GetFileAttributesW(made.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  ASSERT_GT(chosen.size(), 1u);
  EXPECT_EQ(chosen.back(), L'\\');
  EXPECT_EQ(ScanSettings.OutputFolder, chosen) << "the browser's choice takes effect at once, Cancel or not";
}
