// The options dialog "Settings", driven as a user would from the main window's "File" menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "../../app/resource.h"
#include "../../options/fOptionsControls.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "Driver.h"

namespace {

struct Expected {
  ControlId id;
  const wchar_t* className;
  const wchar_t* caption;
  int left, top, width, height;  // pixels
  int fontHeight, weight;
};

const Expected Layout[] = {
    {lblScanPath, L"Static", L"Scan Path:", 16, 24, 73, 17, -15, 400},
    {txtScanPath, L"Edit", nullptr, 96, 24, 289, 21, -15, 400},
    {cmdPath, L"Button", L"...", 400, 24, 28, 22, -13, 700},
    {Label1, L"Static", L"DPI:", 16, 80, 29, 18, -15, 400},
    {txtDPI, L"Edit", nullptr, 56, 80, 58, 21, -15, 400},
    {lblColorType, L"Static", L"Colortype:", 160, 80, 66, 18, -15, 400},
    {cboColorType, L"ComboBox", nullptr, 232, 80, 57, 24, -13, 400},
    {chkScanUI, L"Button", L"With user interface", 16, 128, 177, 16, -15, 400},
    {chkScannerArray, L"Button", L"External Scanner-Software:", 16, 160, 244, 14, -15, 400},
    {txtScanArray, L"Edit", nullptr, 16, 176, 373, 25, -15, 400},
    {cmdSrc, L"Button", L"...", 400, 176, 28, 22, -13, 700},
    {cmdSource, L"Button", L"Choose source", 16, 208, 172, 31, -15, 400},
    {cmdOK, L"Button", L"OK", 280, 248, 65, 33, -15, 700},
    {cmdCancel, L"Button", L"Cancel", 360, 248, 81, 33, -15, 700},
};

class OptionsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    RemoveScannerControl();
    ClearProviderAnswers();
  }

  void start(const std::string& settings) {
    program.writeSettings(settings);
    ASSERT_TRUE(program.start());
    main = program.waitForMainWindow();
    ASSERT_NE(main, nullptr);
  }

  // Opens "Settings" from the "File" menu.
  HWND open() {
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_OPTIONS, 0), 0);
    HWND dialog = nullptr;
    WaitUntil([&] {
      for (HWND window : VisibleWindowsOfProcess(program.processId()))
        if (window != main && WindowText(window) == L"Settings") dialog = window;
      return dialog != nullptr;
    });
    return dialog;
  }

  // The window that a button of the dialog opened over it: the folder browser, the file-open
  // dialog or the source chooser.
  HWND waitForWindowOver(HWND dialog) {
    HWND found = nullptr;
    WaitUntil([&] {
      for (HWND window : VisibleWindowsOfProcess(program.processId()))
        if (window != main && window != dialog) found = window;
      return found != nullptr;
    });
    return found;
  }

  // Starts the program with these settings and opens "Settings".
  HWND startAndOpen(const std::string& settings) {
    start(settings);
    return main ? open() : nullptr;
  }

  // Presses a button that opens a window over the dialog and cancels that window.
  bool cancelWindowOpenedBy(HWND dialog, ControlId button) {
    PostClick(dialog, button);
    HWND over = waitForWindowOver(dialog);
    if (!over) return false;
    PostMessageW(over, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return WaitUntil([&] { return !IsWindow(over); });
  }

  // Presses "Cancel" and waits for the dialog to close.
  bool cancel(HWND dialog) {
    PostClick(dialog, cmdCancel);
    return closed(dialog);
  }

  bool closed(HWND dialog) {
    return WaitUntil([&] { return !IsWindow(dialog); }, 5000);
  }

  static HWND Item(HWND dialog, ControlId id) { return GetDlgItem(dialog, id); }
  static void Click(HWND dialog, ControlId id) { SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
  static void PostClick(HWND dialog, ControlId id) { PostMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
  static void Type(HWND dialog, ControlId id, const std::wstring& text) {
    SendMessageW(Item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  static bool Ticked(HWND dialog, ControlId id) {
    return SendMessageW(Item(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  static bool Enabled(HWND dialog, ControlId id) { return IsWindowEnabled(Item(dialog, id)) != FALSE; }
  static int Selected(HWND dialog) {
    return static_cast<int>(SendMessageW(Item(dialog, cboColorType), CB_GETCURSEL, 0, 0));
  }

  std::string settingsFile() { return ReadFileBytes(program.path(L"Settings.ini")); }
  std::string errorLog() { return ReadFileBytes(program.path(L"Logs\\Error.log")); }

  ProgramCopy program;
  HWND main = nullptr;
};

const char BothOff[] =
    "[Path]\r\nPath=C:\\Scans\\\r\n[Scanner]\r\nDPI=300\r\nColorType=GREY\r\nIsArray=0\r\nScanPath=C:\\Tools\\scan."
    "exe\r\nScanUI=False\r\n";
const char BothOn[] =
    "[Path]\r\nPath=C:\\Scans\\\r\n[Scanner]\r\nDPI=150\r\nColorType=BW\r\nIsArray=-1\r\nScanPath=C:\\Tools\\scan."
    "exe\r\nScanUI=True\r\n";

}  // namespace

TEST_F(OptionsTest, WindowAndControlsAsDesigned) {
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  const SIZE client = ClientSize(dialog);
  EXPECT_EQ(client.cx, 453);
  EXPECT_EQ(client.cy, 294);
  const LONG style = GetWindowLongW(dialog, GWL_STYLE);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), main);
  EXPECT_FALSE(IsWindowEnabled(main)) << "modal over the main window";

  const ProbeReport report = Probe(dialog);
  for (const Expected& control : Layout) {
    SCOPED_TRACE(control.id);
    HWND item = Item(dialog, control.id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(ClassOf(item), control.className);
    if (control.caption) {
      EXPECT_EQ(WindowText(item), control.caption);
    }
    const RECT rect = ChildRect(item);
    EXPECT_EQ(rect.left, control.left);
    EXPECT_EQ(rect.top, control.top);
    EXPECT_EQ(rect.right - rect.left, control.width);
    EXPECT_EQ(rect.bottom - rect.top, control.height);
    const std::wstring prefix = L"child." + std::to_wstring(control.id) + L".";
    EXPECT_EQ(ReportValue(report, prefix + L"font.face"), L"Tahoma");
    EXPECT_EQ(ReportValue(report, prefix + L"font.height"), std::to_wstring(control.fontHeight));
    EXPECT_EQ(ReportValue(report, prefix + L"font.weight"), std::to_wstring(control.weight));
  }
  EXPECT_EQ(ReportValue(report, L"font.height"), L"-16");
  EXPECT_EQ(ReportValue(report, L"focus.id"), std::to_wstring(chkScanUI));
  EXPECT_EQ(ReportValue(report, L"icon.width"), L"32") << "the main window's icon";

  HWND list = Item(dialog, cboColorType);
  ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
  const wchar_t* entries[] = {L"BW", L"GREY", L"RGB"};
  for (int i = 0; i < 3; ++i) {
    wchar_t text[16] = L"";
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, entries[i]);
  }
  EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & 3, CBS_DROPDOWNLIST) << "no typed text";

  CreateDirectoryW((TestExeFolder() + L"\\..\\screenshots").c_str(), nullptr);
  EXPECT_TRUE(SaveWindowPicture(dialog, TestExeFolder() + L"\\..\\screenshots\\options-dialog.bmp"));
  EXPECT_TRUE(cancel(dialog));
}

TEST_F(OptionsTest, LoadsWithBothFlagsOffAndSavesEachFlagFromItsOwnBox) {
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(Item(dialog, txtScanPath)), L"C:\\Scans\\");
  EXPECT_FALSE(Ticked(dialog, chkScanUI));
  EXPECT_FALSE(Ticked(dialog, chkScannerArray));
  EXPECT_FALSE(Enabled(dialog, txtScanArray));
  EXPECT_FALSE(Enabled(dialog, cmdSrc));
  EXPECT_TRUE(Enabled(dialog, txtDPI));
  EXPECT_TRUE(Enabled(dialog, cboColorType));
  EXPECT_EQ(Selected(dialog), 1);
  EXPECT_EQ(WindowText(Item(dialog, txtDPI)), L"300");
  EXPECT_EQ(WindowText(Item(dialog, txtScanArray)), L"C:\\Tools\\scan.exe");
  EXPECT_TRUE(cancel(dialog));
  EXPECT_EQ(settingsFile(), BothOff) << "Cancel saves nothing";

  // One box ticked and the other not: each flag is saved from its own box.
  dialog = open();
  ASSERT_NE(dialog, nullptr);
  Click(dialog, chkScanUI);
  PostClick(dialog, cmdOK);
  EXPECT_TRUE(closed(dialog));
  const std::string saved = settingsFile();
  EXPECT_NE(saved.find("IsArray=0"), std::string::npos) << saved;
  EXPECT_NE(saved.find("ScanUI=True"), std::string::npos) << saved;
}

TEST_F(OptionsTest, LoadsWithBothFlagsOnAndTheRulesFollowTheBoxes) {
  HWND dialog = startAndOpen(BothOn);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(Ticked(dialog, chkScanUI));
  EXPECT_TRUE(Ticked(dialog, chkScannerArray));
  EXPECT_TRUE(Enabled(dialog, txtScanArray));
  EXPECT_TRUE(Enabled(dialog, cmdSrc));
  EXPECT_FALSE(Enabled(dialog, txtDPI));
  EXPECT_FALSE(Enabled(dialog, cboColorType));
  EXPECT_EQ(WindowText(Item(dialog, txtDPI)), L"150");
  EXPECT_EQ(Selected(dialog), 0);

  Click(dialog, chkScanUI);
  EXPECT_TRUE(Enabled(dialog, txtDPI));
  EXPECT_TRUE(Enabled(dialog, cboColorType));
  EXPECT_TRUE(Enabled(dialog, txtScanArray)) << "each box switches only its own two controls";
  Click(dialog, chkScannerArray);
  EXPECT_FALSE(Enabled(dialog, txtScanArray));
  EXPECT_FALSE(Enabled(dialog, cmdSrc));

  // A disabled box is still taken over.
  Type(dialog, txtScanArray, L"D:\\Other\\scan.exe");
  PostClick(dialog, cmdOK);
  EXPECT_TRUE(closed(dialog));
  const std::string saved = settingsFile();
  EXPECT_NE(saved.find("ScanPath=D:\\Other\\scan.exe"), std::string::npos) << saved;
  EXPECT_NE(saved.find("IsArray=0"), std::string::npos) << saved;
  EXPECT_NE(saved.find("ScanUI=False"), std::string::npos) << saved;
}

TEST_F(OptionsTest, UnknownColourTypeIsLoggedAndOkThenFailsOnTheEmptyDpi) {
  HWND dialog = startAndOpen("[Path]\r\nPath=" + std::string(program.folder().begin(), program.folder().end()) +
                             "\\\r\n[Scanner]\r\nDPI=300\r\nColorType=GRAY\r\n");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Selected(dialog), CB_ERR);
  EXPECT_EQ(WindowText(Item(dialog, txtDPI)), L"");
  EXPECT_TRUE(std::regex_search(errorLog(), std::regex("fOptions_Form_Load\r\n$"))) << errorLog();
  PostClick(dialog, cmdOK);
  ASSERT_TRUE(WaitUntil([&] { return errorLog().find("fOptions_cmdOK_Click") != std::string::npos; }));
  EXPECT_TRUE(std::regex_search(errorLog(), std::regex(" 13 +Type mismatch +fOptions_cmdOK_Click\r\n$"))) << errorLog();
  EXPECT_TRUE(IsWindow(dialog)) << "a failed OK leaves the dialog open";
  EXPECT_TRUE(cancel(dialog));
}

TEST_F(OptionsTest, DpiTextsThatFailKeepTheDialogOpenAndTheFileUnchanged) {
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  Type(dialog, txtScanPath, program.folder());
  int failures = 0;
  for (const wchar_t* text : {L"", L"abc", L"40000"}) {
    Type(dialog, txtDPI, text);
    PostClick(dialog, cmdOK);
    ++failures;
    ASSERT_TRUE(WaitUntil([&] {
      const std::string log = errorLog();
      return std::count(log.begin(), log.end(), '\n') == failures;
    }));
    EXPECT_TRUE(IsWindow(dialog));
  }
  const std::string log = errorLog();
  EXPECT_TRUE(std::regex_search(log, std::regex(" 6 +Overflow +fOptions_cmdOK_Click\r\n$"))) << log;
  EXPECT_EQ(settingsFile(), BothOff);
  EXPECT_TRUE(cancel(dialog));
}

TEST_F(OptionsTest, DpiTextsThatAreTakenAsRoundedIntegers) {
  start(BothOff);
  const std::string folder(program.folder().begin(), program.folder().end());
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"0", "DPI=0"}, {L"-5", "DPI=-5"}, {L"2.5", "DPI=2"}, {L"3.5", "DPI=4"}};
  for (const auto& c : cases) {
    HWND dialog = open();
    ASSERT_NE(dialog, nullptr);
    Type(dialog, txtScanPath, program.folder() + L"\\");
    Type(dialog, txtDPI, c.first);
    PostClick(dialog, cmdOK);
    ASSERT_TRUE(closed(dialog));
    EXPECT_NE(settingsFile().find(std::string(c.second) + "\r\n"), std::string::npos) << settingsFile();
  }
  EXPECT_FALSE(PathExists(program.path(L"Logs")));
}

TEST_F(OptionsTest, OutputFolderIsTakenAsTypedAndCreatedWhenMissing) {
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  const std::wstring typed = program.folder() + L"\\new folder";
  Type(dialog, txtScanPath, typed);
  PostClick(dialog, cmdOK);
  ASSERT_TRUE(closed(dialog));
  EXPECT_TRUE(PathExists(typed));
  const std::string saved = settingsFile();
  EXPECT_NE(saved.find("Path=" + std::string(typed.begin(), typed.end()) + "\r\n"), std::string::npos) << saved;

  dialog = open();
  ASSERT_NE(dialog, nullptr);
  Type(dialog, txtScanPath, program.folder() + L"\\missing\\child");
  PostClick(dialog, cmdOK);
  ASSERT_TRUE(WaitUntil([&] { return errorLog().find("fOptions_cmdOK_Click") != std::string::npos; }));
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_EQ(settingsFile(), saved);
  EXPECT_TRUE(cancel(dialog));
}

TEST_F(OptionsTest, EscAndEnterOutsideAButtonPressNothing) {
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  PostMessageW(Item(dialog, chkScanUI), WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(Item(dialog, txtDPI), WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(Item(dialog, chkScanUI), WM_KEYDOWN, VK_RETURN, 0);
  Sleep(500);
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_EQ(settingsFile(), BothOff);
  // The close box closes it like "Cancel".
  PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(closed(dialog));
  EXPECT_EQ(settingsFile(), BothOff);
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_EQ(WindowText(main), L"Zembrolite 1.0.0");
}

TEST_F(OptionsTest, CancelledFolderBrowserStillEndsTheFolderWithASeparator) {
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  Type(dialog, txtScanPath, L"typed but not confirmed");
  ASSERT_TRUE(cancelWindowOpenedBy(dialog, cmdPath));
  ASSERT_TRUE(WaitUntil([&] { return WindowText(Item(dialog, txtScanPath)) == L"C:\\Scans\\"; }))
      << "the stored folder replaces what was typed";
  EXPECT_TRUE(cancel(dialog));
}

TEST_F(OptionsTest, FileOpenDialogCancelledKeepsTheTextAndConfirmedReplacesIt) {
  HWND dialog = startAndOpen(BothOn);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(cancelWindowOpenedBy(dialog, cmdSrc));
  EXPECT_EQ(WindowText(Item(dialog, txtScanArray)), L"C:\\Tools\\scan.exe");

  const std::wstring chosen = TestExeFolder() + L"\\FakeScan.exe";
  PostClick(dialog, cmdSrc);
  HWND chooser = waitForWindowOver(dialog);
  ASSERT_NE(chooser, nullptr);
  // The file name box: edt1, or the edit inside the file name combo cmb13, at any depth.
  HWND name = nullptr;
  std::string seen;
  for (HWND child : Descendants(chooser)) {
    const int id = GetDlgCtrlID(child);
    const std::wstring kind = ClassOf(child);
    seen += std::to_string(id) + ":" + std::string(kind.begin(), kind.end()) + " ";
    if (!name && lstrcmpiW(kind.c_str(), L"Edit") == 0 && (id == 0x480 || GetDlgCtrlID(GetParent(child)) == 0x47C))
      name = child;
  }
  ASSERT_NE(name, nullptr) << seen;
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
  PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(chooser); }));
  EXPECT_EQ(lstrcmpiW(WindowText(Item(dialog, txtScanArray)).c_str(), chosen.c_str()), 0)
      << std::string(WindowText(Item(dialog, txtScanArray)).begin(), WindowText(Item(dialog, txtScanArray)).end());
  EXPECT_TRUE(cancel(dialog));
}

// The browser opens on the desktop; confirming it chooses the desktop's folder. The choice
// takes effect at once, also when the dialog is then cancelled, and the next scan uses it.
TEST_F(OptionsTest, FolderChosenThenCancelStillDirectsTheNextScan) {
  ResetScanner();
  ProviderAnswersText(L"Chosen1");
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  PostClick(dialog, cmdPath);
  HWND browser = waitForWindowOver(dialog);
  ASSERT_NE(browser, nullptr);
  Sleep(500);  // the tree fills and selects its first item
  PostMessageW(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));
  std::wstring chosen;
  ASSERT_TRUE(WaitUntil([&] {
    chosen = WindowText(Item(dialog, txtScanPath));
    return chosen != L"C:\\Scans\\";
  }));
  ASSERT_FALSE(chosen.empty());
  EXPECT_EQ(chosen.back(), L'\\');
  ASSERT_TRUE(cancel(dialog));
  EXPECT_EQ(settingsFile(), BothOff) << "nothing is saved";

  PressScan(main);
  EXPECT_TRUE(WaitUntil([&] { return PathExists(chosen + L"Chosen1.bmp"); }))
      << std::string(chosen.begin(), chosen.end());
  DeleteFileW((chosen + L"Chosen1.bmp").c_str());
}

TEST_F(OptionsTest, CancelledFolderBrowserWithNoStoredFolderGivesTheSeparatorAlone) {
  HWND dialog = startAndOpen("[Scanner]\r\nDPI=300\r\n");
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(cancelWindowOpenedBy(dialog, cmdPath));
  EXPECT_TRUE(WaitUntil([&] { return WindowText(Item(dialog, txtScanPath)) == L"\\"; }));
  EXPECT_TRUE(cancel(dialog));
}

TEST_F(OptionsTest, EnterPressesTheButtonThatHasTheFocus) {
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dialog, cmdCancel)), TRUE);
  Sleep(200);
  PostMessageW(Item(dialog, cmdCancel), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(closed(dialog));
  EXPECT_EQ(settingsFile(), BothOff);
}

TEST_F(OptionsTest, ChooseSourceShowsTheManagersListAndCancellingItChangesNothing) {
  HWND dialog = startAndOpen(BothOff);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(cancelWindowOpenedBy(dialog, cmdSource));
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_FALSE(PathExists(program.path(L"Logs")));
  EXPECT_TRUE(cancel(dialog));
}
