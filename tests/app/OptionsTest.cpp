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
std::string SavedLine(const std::string& key) {
  std::smatch found;
  const std::string file = SettingsFile();
  return std::regex_search(file, found, std::regex(key + "=[^\r]*")) ? found.str() : "<missing>";
}

}  // namespace

// At every DPI (tests/app/dpi.sh runs it at 96, 120, 144 and 192): every caption whole, nothing
// on top of anything else, all inside the window, each font at its points; the window modal over
// the main window with the focus on its first box, and the colour list's three entries.
TEST(OptionsDialog, WhatTheUserSeesAtTheScreensDpi) {
  const struct {
    int id, hundredthsOfPoints, weight;
  } fonts[] = {{lblScanPath, 1125, 400},  {txtScanPath, 1125, 400}, {cmdPath, 975, 700},
               {Label1, 1125, 400},       {txtDPI, 1125, 400},      {lblColorType, 1125, 400},
               {cboColorType, 975, 400},  {chkScanUI, 1125, 400},   {chkScannerArray, 1125, 400},
               {txtScanArray, 1125, 400}, {cmdSrc, 975, 700},       {cmdSource, 1125, 400},
               {cmdOK, 1125, 700},        {cmdCancel, 1125, 700}};
  std::vector<std::wstring> faults, seenFonts, expectedFonts;
  std::wstring window, entries;
  for (const auto& font : fonts)
    expectedFonts.push_back(std::to_wstring(font.id) + L" Tahoma " +
                            std::to_wstring(-MulDiv(font.hundredthsOfPoints, TestDpi(), 7200)) + L" " +
                            std::to_wstring(font.weight));
  UseSettings(BothOff);
  RunOptionsDialog({Do([&](HWND dialog) {
                      faults = LayoutFaults(dialog);
                      for (const auto& font : fonts) {
                        const FontFacts facts = FontOf(Item(dialog, font.id));
                        seenFonts.push_back(std::to_wstring(font.id) + L" " + facts.face + L" " +
                                            std::to_wstring(facts.height) + L" " + std::to_wstring(facts.weight));
                      }
                      ICONINFO icon = {};
                      BITMAP picture = {};
                      GetIconInfo(reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0)), &icon);
                      GetObjectW(icon.hbmColor, sizeof picture, &picture);
                      const bool boxes = GetWindowLongW(dialog, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
                      const bool modal = GetWindow(dialog, GW_OWNER) == MainWindow() && !IsWindowEnabled(MainWindow());
                      window = L"font " + std::to_wstring(FontOf(dialog).height) + L" focus " +
                               std::to_wstring(GetDlgCtrlID(GetFocus())) + L" icon " +
                               std::to_wstring(picture.bmWidth) + (boxes ? L" boxes" : L"") + (modal ? L" modal" : L"");
                      HWND list = Item(dialog, cboColorType);
                      for (int i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
                        wchar_t text[16] = L"";
                        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                        entries += std::wstring(text) + L" ";
                      }
                      if ((GetWindowLongW(list, GWL_STYLE) & 3) == CBS_DROPDOWNLIST) entries += L"(no typed text)";
                      CreateDirectoryW((TestExeFolder() + L"\\..\\screenshots").c_str(), nullptr);
                      SaveWindowPicture(dialog, TestExeFolder() + L"\\..\\screenshots\\options-dialog.bmp");
                    }),
                    Press(cmdCancel)});
  EXPECT_EQ(faults, std::vector<std::wstring>());
  EXPECT_EQ(seenFonts, expectedFonts);
  EXPECT_EQ(window, L"font " + std::to_wstring(-MulDiv(1200, TestDpi(), 7200)) + L" focus " +
                        std::to_wstring(chkScanUI) + L" icon 32 modal");
  EXPECT_EQ(entries, L"BW GREY RGB (no typed text)");
  EXPECT_TRUE(IsWindowEnabled(MainWindow()));
}

TEST(OptionsDialog, LoadsTheSettingsAndEachBoxSwitchesItsOwnTwoControls) {
  UseSettings(BothOff);
  RunOptionsDialog(
      {Do([](HWND d) { EXPECT_EQ(State(d), L"ui=0 ext=0 on:1100 C:\\Scans\\|300|C:\\Tools\\scan.exe|1"); }),
       Press(cmdCancel)});
  EXPECT_EQ(SettingsFile(), BothOff) << "Cancel saves nothing";
  RunOptionsDialog({Press(chkScanUI), Press(cmdOK)});
  EXPECT_EQ(SavedLine("IsArray") + " " + SavedLine("ScanUI"), "IsArray=0 ScanUI=True") << "each flag from its own box";

  UseSettings(BothOn);
  RunOptionsDialog(
      {Do([](HWND d) { EXPECT_EQ(State(d), L"ui=1 ext=1 on:0011 C:\\Scans\\|150|C:\\Tools\\scan.exe|0"); }),
       Press(chkScanUI), Do([](HWND d) { EXPECT_EQ(State(d).substr(0, 18), L"ui=0 ext=1 on:1111"); }),
       Press(chkScannerArray), Do([](HWND d) { EXPECT_EQ(State(d).substr(0, 18), L"ui=0 ext=0 on:1100"); }),
       Do([](HWND d) { Type(d, txtScanArray, L"D:\\Other\\scan.exe"); }), Press(cmdOK)});
  EXPECT_EQ(SavedLine("ScanPath") + " " + SavedLine("IsArray") + " " + SavedLine("ScanUI"),
            "ScanPath=D:\\Other\\scan.exe IsArray=0 ScanUI=False")
      << "a disabled box is still taken over";
}

TEST(OptionsDialog, OkSavesWhatConvertsAndLogsWhatDoesNot) {
  struct Case {
    const wchar_t* dpi;
    const wchar_t* folder;  // below the test folder
    const char* saved;      // the DPI line, or the end of the logged line
  };
  const Case cases[] = {
      {L"0", L"", "DPI=0"},
      {L"-5", L"", "DPI=-5"},
      {L"2.5", L"", "DPI=2"},
      {L"3.5", L"", "DPI=4"},
      {L"7", L"\\new folder", "DPI=7"},  // a missing last folder is made
      {L"", L"", " 13 +Type mismatch +fOptions_cmdOK_Click\r\n$"},
      {L"abc", L"", " 13 +Type mismatch +fOptions_cmdOK_Click\r\n$"},
      {L"40000", L"", " 6 +Overflow +fOptions_cmdOK_Click\r\n$"},
      {L"8", L"\\missing\\child", "fOptions_cmdOK_Click\r\n$"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.saved);
    UseSettings(BothOff);
    const std::wstring folder = FreshTestFolder(L"options") + c.folder;
    std::vector<Step> steps = {Do([&](HWND d) {
      Type(d, txtScanPath, folder);
      Type(d, txtDPI, c.dpi);
      Click(d, cmdOK);
    })};
    if (c.saved[0] != 'D') steps.push_back(Press(cmdCancel));  // a failed OK leaves the dialog open
    RunOptionsDialog(steps);
    if (c.saved[0] == 'D') {
      EXPECT_EQ(SavedLine("DPI"), c.saved);
      EXPECT_EQ(SavedLine("Path"), "Path=" + std::string(folder.begin(), folder.end()));
      EXPECT_EQ(GetFileAttributesW(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
      EXPECT_EQ(ErrorLog(), "");
    } else {
      EXPECT_EQ(SettingsFile(), BothOff);
      EXPECT_TRUE(std::regex_search(ErrorLog(), std::regex(c.saved))) << ErrorLog();
    }
  }
}

TEST(OptionsDialog, UnknownColourTypeIsLoggedAndLeavesTheDpiEmpty) {
  UseSettings("[Scanner]\r\nDPI=300\r\nColorType=GRAY\r\n");
  RunOptionsDialog({Do([](HWND d) { EXPECT_EQ(State(d).substr(19), L"|||-1"); }), Press(cmdCancel)});
  EXPECT_TRUE(std::regex_search(ErrorLog(), std::regex(" 380 +Invalid property value +fOptions_Form_Load\r\n$")))
      << ErrorLog();
}

TEST(OptionsDialog, EscAndEnterOutsideAButtonPressNothingAndTheCloseBoxCancels) {
  UseSettings(BothOff);
  RunOptionsDialog({Do([](HWND d) {
                      PostMessageW(Item(d, chkScanUI), WM_KEYDOWN, VK_ESCAPE, 0);
                      PostMessageW(Item(d, txtDPI), WM_KEYDOWN, VK_RETURN, 0);
                      PostMessageW(Item(d, chkScanUI), WM_KEYDOWN, VK_RETURN, 0);
                      Type(d, txtDPI, L"77");  // changed, but never confirmed
                    }),
                    [](HWND d) { return IsWindow(d) && PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }});
  EXPECT_EQ(SettingsFile(), BothOff) << "the close box saves nothing";
  UseSettings(BothOff);
  RunOptionsDialog({Do([](HWND d) {
    SendMessageW(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(d, cmdCancel)), TRUE);
    PostMessageW(Item(d, cmdCancel), WM_KEYDOWN, VK_RETURN, 0);
  })});
  EXPECT_EQ(SettingsFile(), BothOff);
}

TEST(OptionsDialog, FolderBrowserCancelledGivesTheStoredFolderAndConfirmedTheChosenOne) {
  UseSettings("-");
  RunOptionsDialog({Opens(cmdPath), Answer(IDCANCEL),
                    Do([](HWND d) { EXPECT_EQ(Text(d, txtScanPath), L"\\") << "the separator alone"; }),
                    Press(cmdCancel)});
  UseSettings(BothOff);
  std::wstring chosen;
  RunOptionsDialog({Do([](HWND d) { Type(d, txtScanPath, L"typed but not confirmed"); }), Opens(cmdPath),
                    Answer(IDCANCEL), Do([](HWND d) { EXPECT_EQ(Text(d, txtScanPath), L"C:\\Scans\\"); }),
                    // The browser opens on the desktop; confirming it chooses the desktop's folder.
                    Opens(cmdPath), [](HWND) { return Sleep(300), true; }, Answer(IDOK),
                    Do([&](HWND d) { chosen = Text(d, txtScanPath); }), Press(cmdCancel)});
  ASSERT_GT(chosen.size(), 1u);
  EXPECT_EQ(chosen.back(), L'\\');
  EXPECT_EQ(ScanSettings.OutputFolder, chosen) << "the choice takes effect at once, also when cancelled";
  EXPECT_EQ(SettingsFile(), BothOff) << "nothing is saved";
}

TEST(OptionsDialog, FileOpenCancelledKeepsTheTextAndConfirmedReplacesIt) {
  UseSettings(BothOn);
  const std::wstring chosen = TestExeFolder() + L"\\app_tests.exe";
  RunOptionsDialog(
      {Opens(cmdSrc), Answer(IDCANCEL), Do([](HWND d) { EXPECT_EQ(Text(d, txtScanArray), L"C:\\Tools\\scan.exe"); }),
       Opens(cmdSrc), Do([&](HWND d) {
         for (int nameBox : {0x480, 0x47C}) SetDlgItemTextW(WindowOver(d), nameBox, chosen.c_str());  // edt1 or cmb13
       }),
       Answer(IDOK), Do([&](HWND d) { EXPECT_EQ(lstrcmpiW(Text(d, txtScanArray).c_str(), chosen.c_str()), 0); }),
       Press(cmdCancel)});
}

TEST(OptionsDialog, ChooseSourceShowsTheManagersListAndCancellingItChangesNothing) {
  UseSettings(BothOff);
  RunOptionsDialog({Opens(cmdSource), Answer(IDCANCEL), Press(cmdCancel)});
  EXPECT_EQ(ErrorLog(), "");
}

// Moved to a monitor of 144 dpi while open: every control and font follows at once.
TEST(OptionsDialog, LayoutFollowsTheDpiOfTheScreen) {
  UseSettings("-");
  std::wstring at144;
  RunOptionsDialog({Do([&](HWND d) {
                      RECT frame;
                      GetWindowRect(d, &frame);
                      RECT suggested = {frame.left, frame.top, frame.left + 800, frame.top + 600};
                      SendMessageW(d, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
                      RECT client;
                      GetClientRect(d, &client);
                      RECT ok;
                      GetWindowRect(Item(d, cmdOK), &ok);
                      MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&ok), 2);
                      at144 = std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom) + L" " +
                              std::to_wstring(ok.left) + L"," + std::to_wstring(ok.top) + L"," +
                              std::to_wstring(ok.right - ok.left) + L"," + std::to_wstring(ok.bottom - ok.top) + L" " +
                              std::to_wstring(FontOf(Item(d, cmdOK)).height) + L" " + std::to_wstring(FontOf(d).height);
                    }),
                    Press(cmdCancel)});
  EXPECT_EQ(at144, L"680x441 420,372,98,50 -23 -24");
}
