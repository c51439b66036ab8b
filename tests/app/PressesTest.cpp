// Presses of the real Zembrolite.exe through a real TWAIN manager and the virtual scanner, each
// case starting the program afresh as an operator does: on the host a copy of the build's program
// in a fresh folder, with copies of both managers planted beside it that it must pass over; on
// the emulated station (tests/station/station-job.sh) the program as its package installed it,
// with the provider and the manager that the package deploys, when ZEMBROLITE_INSTALLED names its
// folder (and ZEMBROLITE_SHARED_OUTPUT the images' folder).
// PressesThrough runs through each manager: Wine's (TWAIN 1.x) and the TWAIN Working Group's
// TWAINDSM.dll (2.x), which the bench puts into the system folder for those cases alone.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "../../app/resource.h"
#include "../../common/Handles.h"
#include "../../options/fOptionsControls.h"
#include "../../twain/Dsm.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

enum class Manager { Wine, Twain2 };

// The TWAINDSM.dll of this build's bitness, as the build keeps it.
std::wstring BuiltTwain2Manager(bool ownBitness = true) {
  const bool wide = (sizeof(void*) == 8) == ownBitness;
  return TestExeFolder() + (wide ? L"\\..\\twaindsm\\64\\TWAINDSM.dll" : L"\\..\\twaindsm\\32\\TWAINDSM.dll");
}

// The source calls of a press as the scanner's call log shows them, named as its [Fail] keys
// take them ("CAPABILITY.SET.1118"); the manager's survey of its sources aside.
std::vector<std::string> CallsOfThePress(const std::string& log) {
  std::vector<std::string> calls;
  const std::regex call(R"(^(\w+\.\w+)(?: cap=([0-9A-F]{4}))?.* -> \d+\r?$)");
  std::smatch found;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (!std::regex_match(line, found, call) || found[1] == "IDENTITY.GET" || found[1] == "STATUS.GET") continue;
    calls.push_back(found[1].str() + (found[2].matched ? "." + found[2].str() : ""));
  }
  return calls;
}

// The last source call of a log, as "IDENTITY.CLOSEDS -> 0".
std::string LastCall(const std::string& log) {
  const std::regex call(R"((\w+\.\w+)(?: cap=([0-9A-F]{4}))?.* -> (\d+)\r?\n)");
  std::string last;
  for (std::sregex_iterator found(log.begin(), log.end(), call), end; found != end; ++found)
    if ((*found)[1] != "IDENTITY.GET" && (*found)[1] != "STATUS.GET")
      last = (*found)[1].str() + ((*found)[2].matched ? "." + (*found)[2].str() : "") + " -> " + (*found)[3].str();
  return last;
}

// Presses a copy's "scan" and knows when that press has ended: the click is sent, and a sent
// message is answered only once its handler, the whole press, has returned.
class Press {
 public:
  explicit Press(HWND main)
      : button_(GetDlgItem(main, IDC_CMDZADUDUVUR)), thread_(CreateThread(nullptr, 0, Send, this, 0, nullptr)) {}
  ~Press() { ended(300000); }
  Press(const Press&) = delete;
  Press& operator=(const Press&) = delete;
  bool ended(DWORD timeoutMs = 30000) { return WaitForSingleObject(thread_.get(), Slowed(timeoutMs)) == WAIT_OBJECT_0; }

 private:
  static DWORD WINAPI Send(void* press) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(static_cast<Press*>(press)->button_, BM_CLICK, 0, 0, SMTO_BLOCK, Slowed(300000), &ignored);
    return 0;
  }
  HWND button_;
  UniqueHandle thread_;
};

// Clicks Scan in the virtual scanner's dialog once it is up.
bool ScanInScannerDialog() {
  HWND dialog = nullptr;
  const bool up = WaitUntil([&] {
    dialog = FindWindowW(L"ZembroliteVirtualScannerUI", nullptr);
    return dialog && IsWindowVisible(dialog) && GetDlgItem(dialog, 101);
  });
  return up && PostMessageW(GetDlgItem(dialog, 101), BM_CLICK, 0, 0);
}

// The call as the program names it in its log: "DAT_CAPABILITY MSG_SET for capability 0x1118".
// A source that refuses the manager's entry point refuses the open.
std::string AsLogged(const std::string& call) {
  if (call == "ENTRYPOINT.SET") return "DAT_IDENTITY MSG_OPENDS";
  const size_t dot = call.find('.'), cap = call.find('.', dot + 1);
  return "DAT_" + call.substr(0, dot) + " MSG_" + call.substr(dot + 1, cap - dot - 1) +
         (cap == std::string::npos ? "" : " for capability 0x" + call.substr(cap + 1));
}

// Scan workers running anywhere on the bench.
int WorkersRunning() {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W process = {};
  process.dwSize = sizeof process;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot.get(), &process); more; more = Process32NextW(snapshot.get(), &process))
    if (_wcsnicmp(process.szExeFile, L"ZembroliteScan", 14) == 0) ++count;
  return count;
}

struct WorkerWindowSearch {
  std::vector<DWORD> workers;
  const wchar_t* childClass;
  HWND found;
};

BOOL CALLBACK LookAtWindow(HWND window, LPARAM given) {
  auto& search = *reinterpret_cast<WorkerWindowSearch*>(given);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (std::find(search.workers.begin(), search.workers.end(), owner) != search.workers.end() &&
      IsWindowVisible(window) && FindWindowExW(window, nullptr, search.childClass, nullptr))
    search.found = window;
  return TRUE;
}

// A shown top-level window of a scan worker with a child of this class.
HWND ShownWindowOfAWorkerWith(const wchar_t* childClass) {
  WorkerWindowSearch search{{}, childClass, nullptr};
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W process = {};
  process.dwSize = sizeof process;
  for (BOOL more = Process32FirstW(snapshot.get(), &process); more; more = Process32NextW(snapshot.get(), &process))
    if (_wcsnicmp(process.szExeFile, L"ZembroliteScan", 14) == 0) search.workers.push_back(process.th32ProcessID);
  EnumWindows(LookAtWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Between presses one worker waits, started for the next press; none is left of the press before.
bool OnlyTheNextWorkerWaits() {
  return WaitUntil([] { return WorkersRunning() == 1; }, 10000);
}

class Presses : public ::testing::Test {
 protected:
  void SetUp() override {
    const wchar_t* installed = _wgetenv(L"ZEMBROLITE_INSTALLED");
    const wchar_t* shared = _wgetenv(L"ZEMBROLITE_SHARED_OUTPUT");
    this->installed = installed && shared;
    if (this->installed) {
      folder = installed;
      output = shared;
    } else {
      folder = FreshTestFolder(L"runs");
      output = folder + L"\\out\\";
      CopyProgramInto(folder);
      ClearProviderAnswers();  // the stand-in then names as the release provider does
      // Managers beside the program, which it must never load: a working 2.x one, and a
      // twain_32.dll without DSM_Entry.
      CopyFileW(BuiltTwain2Manager().c_str(), (folder + L"\\TWAINDSM.dll").c_str(), FALSE);
      wchar_t system[MAX_PATH];
      GetSystemDirectoryW(system, MAX_PATH);
      CopyFileW((std::wstring(system) + L"\\version.dll").c_str(), (folder + L"\\twain_32.dll").c_str(), FALSE);
      InstallTwain2Manager(manager() == Manager::Twain2);
    }
    ResetScanner();
    CreateDirectoryW(output.c_str(), nullptr);
    before = Listing();
  }
  void TearDown() override {
    RemoveScannerControl();
    if (!installed) InstallTwain2Manager(false);
  }
  virtual Manager manager() const { return Manager::Wine; }

  // Puts the 2.x manager into the system folder, with the virtual scanner as its default source
  // (Wine's camera source is there too), or takes it away.
  static void InstallTwain2Manager(bool present) {
    if (!present) {
      DeleteFileW(Twain2ManagerPath().c_str());
      return;
    }
    ASSERT_TRUE(CopyFileW(BuiltTwain2Manager().c_str(), Twain2ManagerPath().c_str(), FALSE));
    const std::wstring source = ScannerFolder() + L"sane.ds";
    const wchar_t* key = sizeof(void*) == 8 ? L"Software\\Microsoft\\Windows NT\\CurrentVersion\\TWAIN64"
                                            : L"Software\\Microsoft\\Windows NT\\CurrentVersion\\TWAIN";
    RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Default Source", REG_SZ, source.c_str(),
                    static_cast<DWORD>((source.size() + 1) * sizeof(wchar_t)));
  }

  // Writes the program's Settings.ini with the output folder and these scanner keys.
  void settings(const std::string& scanner) {
    WriteFileBytes(folder + L"\\Settings.ini", "[Path]\r\nPath=" + Narrow(output) + "\r\n[Scanner]\r\n" + scanner);
  }
  std::vector<std::wstring> Listing() const {
    std::vector<std::wstring> names = FilesIn(output);
    std::sort(names.begin(), names.end());
    return names;
  }
  // Returns once the press is over: the file prepared for its image has been put in place or
  // removed, which the press does after its worker's end and before it looks at any message.
  void Settle() const {
    WaitUntil(
        [&] {
          const std::vector<std::wstring> names = FilesIn(output);
          return std::none_of(names.begin(), names.end(), [](const std::wstring& name) {
            return name.rfind(L"zbm", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, L".tmp") == 0;
          });
        },
        300000);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, Slowed(300000), &ignored);
  }
  // The one image that the press added, once it is in place (the writer's temporary file aside);
  // nothing when the program ended first, or when the press has ended without one: the source
  // is closed before the image is written, and the press ends with its worker.
  std::wstring NewImage(ProgramCopy& program, DWORD timeoutMs = 30000) const {
    std::wstring added;
    auto look = [&] {
      for (const std::wstring& name : Listing())
        if (std::find(before.begin(), before.end(), name) == before.end() && name.size() > 4 &&
            name.compare(name.size() - 4, 4, L".bmp") == 0)
          added = name;
      return !added.empty();
    };
    WaitUntil(
        [&] {
          if (look() || program.ended(0)) return true;
          if (ScannerCallLog().find("IDENTITY.CLOSEDS") == std::string::npos) return false;
          Settle();
          look();
          return true;
        },
        timeoutMs);
    return added.empty() ? L"" : output + added;
  }
  ProgramCopy Started(const std::wstring& arguments = L"") {
    ProgramCopy program = ProgramCopy::InFolderAsItIs(folder);
    EXPECT_TRUE(program.start(arguments));
    window = program.mainWindow();
    EXPECT_NE(window, nullptr);
    return program;
  }
  void Close(ProgramCopy& program) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 1234;
    EXPECT_TRUE(program.ended(ExitTimeoutMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
  }
  // A shown window of the program with a child of this class, other than the given one.
  HWND WindowWith(ProgramCopy& program, const wchar_t* childClass, HWND other = nullptr) const {
    HWND found = nullptr;
    WaitUntil([&] {
      for (HWND shown : program.windows())
        if (IsWindowVisible(shown) && shown != other && FindWindowExW(shown, nullptr, childClass, nullptr))
          found = shown;
      return found != nullptr;
    });
    return found;
  }

  std::string ErrorLog() const { return ReadFileBytes(folder + L"\\Logs\\Error.log"); }
  // The lines that the log gained since it was as given.
  std::vector<std::string> LinesAfter(const std::string& earlier) const {
    std::vector<std::string> lines;
    const std::string log = ErrorLog();
    for (size_t at = earlier.size(), end; at < log.size(); at = end + 2)
      lines.push_back(log.substr(at, (end = std::min(log.find("\r\n", at), log.size())) - at));
    return lines;
  }

  bool installed = false;
  std::wstring folder, output;
  std::vector<std::wstring> before;
  HWND window = nullptr;
};

class PressesThrough : public Presses, public ::testing::WithParamInterface<Manager> {
 protected:
  Manager manager() const override { return GetParam(); }
};

// Presses through the 2.x manager with whatever sources the bench has left in place.
class CameraPresses : public Presses {
 protected:
  Manager manager() const override { return Manager::Twain2; }
};

INSTANTIATE_TEST_SUITE_P(Managers, PressesThrough, ::testing::Values(Manager::Wine, Manager::Twain2),
                         [](const ::testing::TestParamInfo<Manager>& info) {
                           return info.param == Manager::Twain2 ? "Twain2Manager" : "WineManager";
                         });

}  // namespace

// Each colour type without the source's dialog, the first pressed with Enter: the image's depth
// and size, and its pixels exactly those the scanner delivered, through the manager of the case
// (as the scanner names the one that opened it) from the system's folders alone.
TEST_P(PressesThrough, FixedSettingsInEachColourType) {
  const struct {
    const char* scanner;
    std::vector<int> facts;
  } cases[] = {
      {"DPI=50\r\nColorType=RGB\r\n", {425, 585, 24, 54}},  // 8.5 x 11.69 inches
      {"DPI=40\r\nColorType=GREY\r\n", {340, 468, 8, 54 + 1024}},
      {"DPI=100\r\nColorType=BW\r\n", {850, 1169, 1, 54 + 8}},
  };
  const std::wstring expected = manager() == Manager::Twain2 ? Twain2ManagerPath() : Twain1ManagerPath();
  // The program's identity: TWAIN 1.9, byte for byte as ever, to the 1.x manager; 2.4 and DF_APP2 to
  // the 2.x one, which adds its own flag.
  const std::string identity = std::string("1.0 2/44 '' protocol ") +
                               (manager() == Manager::Twain2 ? "2.4 groups 30000003" : "1.9 groups 00000003") +
                               " 'Qorv' 'QX Module' 'QX Module for TWAIN'";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scanner);
    settings(c.scanner);
    WriteScannerControl("[Log]\r\nCalls=1\r\nChecksum=1\r\n");
    DeleteFileW((ScannerFolder() + L"VirtualScanner.log").c_str());
    ProgramCopy program = Started();
    if (&c == cases)
      PostMessageW(GetDlgItem(window, IDC_CMDZADUDUVUR), WM_KEYDOWN, VK_RETURN, 0);
    else
      ClickScan(window);
    const std::wstring image = NewImage(program);
    ASSERT_FALSE(image.empty()) << ScannerCallLog();
    EXPECT_EQ(ImageFacts(image), c.facts);
    EXPECT_TRUE(PixelsAsScanned(image)) << ScannerCallLog();
    std::smatch opened;
    const std::string log = ScannerCallLog();
    ASSERT_TRUE(std::regex_search(log, opened, std::regex("manager=(.*) application=([^\r]*?)( outstanding=|\r)")))
        << log;
    EXPECT_EQ(lstrcmpiW(std::wstring(opened[1].first, opened[1].second).c_str(), expected.c_str()), 0) << opened[1];
    EXPECT_EQ(opened[2], identity);
    Close(program);
    before = Listing();
  }
}

// The operator closes the source's dialog (no image, nothing logged), then scans with it (one
// image, from one click: what the source's dialog consumed is not handled again).
TEST_P(PressesThrough, SourceDialogClosedGivesNoImageAndScanGivesOne) {
  settings("DPI=30\r\nScanUI=True\r\n");
  const std::string log = ErrorLog();
  ProgramCopy program = Started();
  for (const bool scan : {false, true}) {
    SCOPED_TRACE(scan ? "Scan" : "closed");
    ResetScanner();
    ClickScan(window);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      dialog = FindWindowW(L"ZembroliteVirtualScannerUI", nullptr);
      return dialog && IsWindowVisible(dialog) && GetDlgItem(dialog, 101);
    }));
    if (scan) PostMessageW(GetDlgItem(dialog, 101), BM_CLICK, 0, 0);
    if (!scan) PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(ImageFacts(NewImage(program)).size(), scan ? 4u : 0u);
    EXPECT_TRUE(WaitUntil([] { return !FindWindowW(L"ZembroliteVirtualScannerUI", nullptr); }));
    const std::string calls = ScannerCallLog();
    const std::regex click("dialog Scan");
    EXPECT_EQ(std::distance(std::sregex_iterator(calls.begin(), calls.end(), click), std::sregex_iterator()),
              scan ? 1 : 0)
        << calls;
  }
  EXPECT_EQ(LinesAfter(log), std::vector<std::string>());
  Close(program);
}

// A strict scanner's faults, and each source call of a good press refused in turn (as the
// scanner's call log shows them), through the manager of the case, with and without the source's
// dialog. Whatever the fault, the program makes no call that TWAIN forbids in the scanner's state,
// unwinds as far as the scanner lets it (to the close, or to the call it refused to leave a state
// with, the session then kept for the next press), keeps the earlier image unless the press saves
// one, and logs one line that says what failed, or nothing for the operator's cancel; the next
// press works, and the scanner has had every container and image it handed over freed (through
// the 2.x manager's own free where that is the manager).
TEST_P(PressesThrough, EachFaultUnwindsInTwainsOrderAndTheNextPressWorks) {
  if (installed) GTEST_SKIP() << "names every image alike through the provider's stand-in";
  settings("DPI=30\r\nColorType=RGB\r\n");
  ProviderAnswersText(L"walk");
  const std::wstring image = output + L"walk.bmp";
  // The flatbed at 30 dpi, or with the source's dialog at the scanner's own 300 dpi.
  std::vector<int> wholeFlatbed = {255, 351, 24, 54};
  ProgramCopy program = Started();
  auto press = [&](bool dialog) {
    Press pressed(window);
    EXPECT_TRUE(!dialog || ScanInScannerDialog()) << "no dialog";
    EXPECT_TRUE(pressed.ended()) << ScannerCallLog();
  };
  press(false);
  ASSERT_EQ(ImageFacts(image), wholeFlatbed) << ScannerCallLog();
  struct Fault {
    std::string control, logged;  // the line's words, "" for none
    bool dialog = false, saves = false;
    std::string leftAt;  // the scanner's last call, refused; "" when it closes
  };
  auto fault = [](const char* behaviour, const char* logged, bool dialog = false, bool saves = false) {
    return Fault{std::string("[Behaviour]\r\n") + behaviour, logged, dialog, saves, ""};
  };
  std::vector<Fault> faults = {
      fault("Transfer=jam\r\nPagesLeft=1", "TWAIN refused DAT_IMAGENATIVEXFER MSG_GET \\(return code 1\\)"),
      fault("Transfer=jam", "TWAIN refused DAT_IMAGENATIVEXFER MSG_GET", true),
      fault("Transfer=cancel\r\nPagesLeft=2", "", true),
      fault("Transfer=cancel\r\nPagesLeft=-1", ""),
      fault("Transfer=noimage", "The source reported the transfer done without handing over an image\\."),
      fault("PagesLeft=3", "", false, true),
      fault("Container=enumeration", "", false, true),
      fault("Container=range", "", false, true),
      fault("Container=array", "capability 0x1111 in a container of type 3, which holds no current value\\."),
  };
  for (const std::string& call : CallsOfThePress(ScannerCallLog())) {
    // A refused colour bit depth is no failure: the source keeps its own.
    const bool keeps = call == "CAPABILITY.SET.112B";
    const bool stays =
        call == "PENDINGXFERS.ENDXFER" || call == "USERINTERFACE.DISABLEDS" || call == "IDENTITY.CLOSEDS";
    const bool neverOpened = call == "IDENTITY.OPENDS" || call == "ENTRYPOINT.SET";
    faults.push_back({"[Fail]\r\n" + call + "=1",
                      keeps ? "" : "TWAIN refused " + AsLogged(call) + " \\(return code 1\\)", false, keeps,
                      stays || neverOpened ? call : ""});
  }
  ASSERT_GE(faults.size(), 20u) << ScannerCallLog();
  // The source's dialog is a setting read at the start: its faults come last, in a copy started so.
  std::stable_partition(faults.begin(), faults.end(), [](const Fault& fault) { return !fault.dialog; });
  bool dialog = false;
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.control);
    if (fault.dialog && !dialog) {
      Close(program);
      settings("DPI=30\r\nScanUI=True\r\n");
      program = Started();
      dialog = true;
      wholeFlatbed = {2550, 3507, 24, 54};
    }
    WriteFileBytes(image, "the earlier image");
    before = Listing();
    const std::string log = ErrorLog();
    WriteScannerControl("[Log]\r\nCalls=1\r\n" + fault.control + "\r\n");
    press(fault.dialog);
    const std::vector<std::string> lines = LinesAfter(log);
    ASSERT_EQ(lines.size(), fault.logged.empty() ? 0u : 1u) << ErrorLog();
    if (!lines.empty()) {
      EXPECT_TRUE(std::regex_search(lines[0], std::regex(" -?\\d+ +.*" + fault.logged + ".* Main_cmdZadudUVur_Click$")))
          << lines[0];
    }
    if (fault.saves) {
      EXPECT_EQ(ImageFacts(image), wholeFlatbed);
    } else {
      EXPECT_TRUE(Listing() == before && ReadFileBytes(image) == "the earlier image");
    }
    const std::string calls = ScannerCallLog();
    EXPECT_EQ(calls.find("out of state"), std::string::npos) << calls;
    EXPECT_EQ(LastCall(calls), fault.leftAt.empty() ? "IDENTITY.CLOSEDS -> 0" : fault.leftAt + " -> 1") << calls;
    // A session that a source would not take down went with its worker: the next press starts
    // afresh in a worker of its own, through either manager.
    EXPECT_TRUE(OnlyTheNextWorkerWaits());
    ResetScanner();
    WriteFileBytes(image, "the earlier image");
    press(dialog);
    EXPECT_EQ(ImageFacts(image), wholeFlatbed) << "the next press\n" << ScannerCallLog();
    EXPECT_NE(ScannerCallLog().find(" outstanding=0\r\n"), std::string::npos) << ScannerCallLog();
  }
  Close(program);
}

// "Choose source" in "Settings" shows the manager's list with the scanner in it, in a worker, while
// the dialog takes no input; the choice returns to the dialog. Where all sources are of one
// bitness, so does the 64-bit edition, which remembers that bitness for the presses.
TEST_P(PressesThrough, ChooserListsTheScanner) {
  settings("DPI=30\r\n");
  const DWORD other = 32;
  if (sizeof(void*) == 8)
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Qorv\\Zembrolite", L"SourceBitness", REG_DWORD, &other,
                    sizeof other);
  ProgramCopy program = Started();
  PostMessageW(window, WM_COMMAND, IDM_OPTIONS, 0);
  HWND dialog = WindowWith(program, L"ComboBox");
  ASSERT_NE(dialog, nullptr);
  PostMessageW(GetDlgItem(dialog, cmdSource), BM_CLICK, 0, 0);
  HWND chooser = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (chooser = ShownWindowOfAWorkerWith(L"ListBox")) != nullptr; }));
  EXPECT_FALSE(IsWindowEnabled(dialog));
  HWND list = FindWindowExW(chooser, nullptr, L"ListBox", nullptr);
  int scanner = -1;
  for (int item = 0; item < SendMessageW(list, LB_GETCOUNT, 0, 0); ++item) {
    wchar_t text[64] = L"";
    if (SendMessageW(list, LB_GETTEXTLEN, item, 0) < 64)
      SendMessageW(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text));
    if (std::wstring(text) == L"Zembrolite Virtual Scanner") scanner = item;
  }
  ASSERT_GE(scanner, 0) << "the scanner is not in the manager's list";
  SendMessageW(list, LB_SETCURSEL, scanner, 0);
  PostMessageW(chooser, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(chooser); }));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(dialog) != FALSE; }));
  PostMessageW(GetDlgItem(dialog, cmdCancel), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  Close(program);
  if (sizeof(void*) == 8) {
    DWORD bitness = 0, size = sizeof bitness;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Qorv\\Zembrolite", L"SourceBitness", RRF_RT_REG_DWORD, nullptr,
                 &bitness, &size);
    EXPECT_EQ(bitness, 64u) << "the bitness chosen is remembered";
  }
}

TEST_F(Presses, ClosingDuringAScanEndsItWithoutAnImage) {
  settings("DPI=30\r\n");
  WriteScannerControl("[Log]\r\nCalls=1\r\n[Behaviour]\r\nReady=never\r\n");
  ProgramCopy program = Started();
  ClickScan(window);
  ASSERT_TRUE(WaitUntil([] { return ScannerCallLog().find("USERINTERFACE.ENABLEDS -> 0") != std::string::npos; }));
  Close(program);
  EXPECT_TRUE(std::regex_search(ScannerCallLog(), std::regex("USERINTERFACE.DISABLEDS -> 0[^]*IDENTITY.CLOSEDS -> 0")));
  EXPECT_EQ(Listing(), before);
  EXPECT_EQ(WorkersRunning(), 0);
}

// A driver that does not return: closing the window ends its worker within seconds, and killing
// the program ends it too; nothing is saved and nothing is left, but for the temporary file of the
// killed program, which a press removes once it is old.
TEST_F(Presses, ClosingOrKillingDuringAHangLeavesNoWorker) {
  settings("DPI=30\r\n");
  for (const bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "killed" : "closed");
    WriteScannerControl("[Crash]\r\nIDENTITY.OPENDS=hang 600000\r\n");
    ProgramCopy program = Started();
    ClickScan(window);
    ASSERT_TRUE(WaitUntil([] { return WorkersRunning() == 1; }));
    Sleep(Slowed(1000));
    if (killed) {
      DWORD id = 0;
      GetWindowThreadProcessId(window, &id);
      UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
      TerminateProcess(process.get(), 99);
    } else {
      Close(program);
    }
    EXPECT_TRUE(WaitUntil([] { return WorkersRunning() == 0; }, 10000));
    if (!killed) {
      EXPECT_EQ(Listing(), before);
    }
  }
  for (const std::wstring& name : Listing()) {
    if (std::find(before.begin(), before.end(), name) != before.end()) continue;
    UniqueHandle file(
        CreateFileW((output + name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time = {{now.dwLowDateTime, now.dwHighDateTime}};
    time.QuadPart -= 3600ULL * 10000000;
    const FILETIME hourAgo = {time.LowPart, time.HighPart};
    SetFileTime(file.get(), nullptr, nullptr, &hourAgo);
  }
  ResetScanner();
  ProgramCopy program = Started();
  ClickScan(window);
  const std::wstring image = NewImage(program);
  EXPECT_FALSE(image.empty());
  std::vector<std::wstring> expected = before;
  expected.push_back(image.substr(output.size()));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Listing(), expected);
  Close(program);
}

// Only the worker that the program started may use its channel: a process of the same user that
// connects first is cut off without a word and named in the log, and the press goes on with its
// worker. The worker here is the tests' build of it that starts such a stranger first.
TEST_F(Presses, StrangerOnTheChannelIsRefusedAndThePressGoesOn) {
  if (installed) GTEST_SKIP() << "puts the tests' build of the worker in place of the program's";
  const std::wstring worker = sizeof(void*) == 8 ? L"ZembroliteScan64.exe" : L"ZembroliteScan32.exe";
  ASSERT_TRUE(
      CopyFileW((TestExeFolder() + L"\\..\\stand-ins\\" + worker).c_str(), (folder + L"\\" + worker).c_str(), FALSE));
  settings("DPI=30\r\n");
  const std::string log = ErrorLog();
  ProgramCopy program = Started();
  ClickScan(window);
  EXPECT_FALSE(NewImage(program).empty()) << ScannerCallLog();
  EXPECT_EQ(ReadFileBytes(folder + L"\\stranger.txt"), "refused");
  const std::vector<std::string> lines = LinesAfter(log);
  ASSERT_EQ(lines.size(), 1u) << ErrorLog();
  EXPECT_TRUE(std::regex_search(lines[0], std::regex(" 5 +Process \\d+ connected to the scan's channel in place of its "
                                                     "worker and was refused\\. +Main_cmdZadudUVur_Click$")))
      << lines[0];
  Close(program);
}

// A worker that is missing, or of another version, is named in one line, and the press saves
// nothing.
TEST_F(Presses, WorkerMissingOrOfAnotherVersionIsNamed) {
  if (installed) GTEST_SKIP() << "takes the worker away from the program";
  const std::wstring worker = folder + (sizeof(void*) == 8 ? L"\\ZembroliteScan64.exe" : L"\\ZembroliteScan32.exe");
  const std::string bits = sizeof(void*) == 8 ? "64" : "32";
  const struct {
    const wchar_t* stand;  // what stands in the worker's place, or nothing
    std::string words;
  } cases[] = {
      {nullptr, "The scan's " + bits + "-bit worker .*ZembroliteScan" + bits + "\\.exe is missing\\."},
      {L"FakeScan.exe", "The scan's " + bits + "-bit worker .* is version \\(none\\); the program is 1\\.0\\.0\\.0\\."},
  };
  settings("DPI=30\r\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    DeleteFileW(worker.c_str());
    if (c.stand) CopyFileW((TestExeFolder() + L"\\..\\bin\\" + c.stand).c_str(), worker.c_str(), FALSE);
    const std::string log = ErrorLog();
    ProgramCopy program = Started();
    EXPECT_TRUE(Press(window).ended());
    const std::vector<std::string> lines = LinesAfter(log);
    ASSERT_EQ(lines.size(), 1u) << ErrorLog();
    EXPECT_TRUE(std::regex_search(lines[0], std::regex(c.words + " +Main_cmdZadudUVur_Click$"))) << lines[0];
    EXPECT_EQ(Listing(), before);
    Close(program);
  }
}

// The largest image of each edition, in one block: 1,566 MiB for the 32-bit one (a 78 x 78 inch
// flatbed at 300 dpi in colour), which without large-address-aware has no room for it; 2,575 MiB
// for the 64-bit one (100 x 100 inches), beyond any signed 32-bit size, as far as the .bmp
// format's 4 GiB.
TEST_F(Presses, LargestImageOfTheEditionIsScannedAndSaved) {
  const int inches = sizeof(void*) == 8 ? 100 : 78;
  settings("DPI=300\r\nColorType=RGB\r\n");
  WriteScannerControl("[Log]\r\nCalls=1\r\nChecksum=1\r\n[Device]\r\nPhysicalWidth=" + std::to_string(inches) +
                      "\r\nPhysicalHeight=" + std::to_string(inches) + "\r\n");
  ProgramCopy program = Started();
  ClickScan(window);
  const std::wstring image = NewImage(program, 180000);
  ASSERT_FALSE(image.empty()) << ScannerCallLog();
  EXPECT_EQ(ImageFacts(image), std::vector<int>({inches * 300, inches * 300, 24, 54}));
  EXPECT_TRUE(PixelsAsScanned(image)) << ScannerCallLog();
  Close(program);
  DeleteFileW(image.c_str());
}

// A scanner driver that fails inside a call, at each step of a press: it takes its worker with it
// and nothing else. One line in Error.log that names the failure, the driver with the place in it
// and the step; a dump in Logs, of which the newest five stay; the window still answers; no worker
// and no temporary file left; the earlier image and Settings.ini as they were; and the next press
// saves its image. A crash while the chooser's worker lists the sources is named as the chooser's.
TEST_F(Presses, DriverThatCrashesIsNamedInTheLogAndNothingIsLost) {
  const struct {
    const char* call;
    const char* how;
    const char* words;
  } cases[] = {
      {"IDENTITY.OPENDS", "access-violation", "Access violation writing address 0x0+ in .*\\+0x[0-9A-F]+.*, at open"},
      {"USERINTERFACE.ENABLEDS", "access-violation", "Access violation writing .*\\+0x[0-9A-F]+.*, at enable"},
      {"IMAGENATIVEXFER.GET", "access-violation", "Access violation writing .*\\+0x[0-9A-F]+.*, at transfer"},
      {"USERINTERFACE.ENABLEDS", "stack-overflow", "Stack overflow in .*, at enable"},
      {"IMAGENATIVEXFER.GET", "cpp-exception", "C\\+\\+ exception not caught .*, at transfer"},
  };
  const std::wstring logs = folder + L"\\Logs\\";
  CreateDirectoryW(logs.c_str(), nullptr);
  const std::wstring oldDumps[] = {L"Zembrolite-20250101-080000-000.dmp", L"Zembrolite-20250101-090000-000.dmp"};
  for (const std::wstring& old : oldDumps) WriteFileBytes(logs + old, "MDMP");
  settings("DPI=30\r\n");
  const std::string settingsBefore = ReadFileBytes(folder + L"\\Settings.ini");
  ProgramCopy program = Started();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " " + c.how);
    const std::string log = ErrorLog();
    WriteFileBytes(output + L"earlier.bmp", "the earlier image");
    before = Listing();
    WriteScannerControl(std::string("[Crash]\r\n") + c.call + "=" + c.how + "\r\n");
    EXPECT_TRUE(Press(window).ended(60000)) << "the press does not end";
    EXPECT_FALSE(program.ended(0)) << "the program went with its driver";
    const std::vector<std::string> lines = LinesAfter(log);
    ASSERT_EQ(lines.size(), 1u) << ErrorLog();
    EXPECT_TRUE(std::regex_search(lines[0], std::regex(std::string(" -?\\d+ +") + c.words))) << lines[0];
    EXPECT_TRUE(std::regex_search(lines[0], std::regex("VirtualScanner\\.ds.*; the scan's worker ended, the program "
                                                       "goes on +Main_cmdZadudUVur_Click$")))
        << lines[0];
    EXPECT_EQ(Listing(), before);
    EXPECT_EQ(ReadFileBytes(output + L"earlier.bmp"), "the earlier image");
    EXPECT_TRUE(OnlyTheNextWorkerWaits());
    ResetScanner();
    Press next(window);
    EXPECT_TRUE(next.ended(60000));
    EXPECT_FALSE(NewImage(program).empty()) << "the press after the crash";
  }
  // A driver that fails as the manager lists it takes the chooser's worker alike, and the line
  // names the chooser.
  const std::string log = ErrorLog();
  WriteScannerControl("[Crash]\r\nIDENTITY.GET=access-violation\r\n");
  PostMessageW(window, WM_COMMAND, IDM_OPTIONS, 0);
  HWND dialog = WindowWith(program, L"ComboBox");
  ASSERT_NE(dialog, nullptr);
  PostMessageW(GetDlgItem(dialog, cmdSource), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil([&] { return !LinesAfter(log).empty() && IsWindowEnabled(dialog); }, 60000)) << ErrorLog();
  EXPECT_TRUE(std::regex_search(LinesAfter(log)[0], std::regex("VirtualScanner\\.ds.*; the scan's worker ended, the "
                                                               "program goes on +fOptions_cmdSource_Click$")))
      << ErrorLog();
  PostMessageW(GetDlgItem(dialog, cmdCancel), BM_CLICK, 0, 0);
  ResetScanner();
  EXPECT_EQ(ReadFileBytes(folder + L"\\Settings.ini"), settingsBefore);
  Close(program);
  std::vector<std::wstring> dumps;
  for (const std::wstring& name : FilesIn(logs))
    if (name.size() > 4 && name.compare(name.size() - 4, 4, L".dmp") == 0) dumps.push_back(name);
  EXPECT_EQ(dumps.size(), 5u);
  for (const std::wstring& dump : dumps) {
    EXPECT_NE(dump, oldDumps[0]);
    EXPECT_EQ(ReadFileBytes(logs + dump).substr(0, 4), "MDMP") << Narrow(dump);
  }
}

// A driver that does not return from a call: one line once the set time has passed, with the
// program still running, and one more when the call returns.
TEST_F(Presses, DriverThatDoesNotReturnIsLoggedAndAgainWhenItDoes) {
  settings("DPI=30\r\n");
  WriteScannerControl("[Crash]\r\nIDENTITY.OPENDS=hang 6000\r\n");
  SetEnvironmentVariableW(L"ZEMBROLITE_HANG_SECONDS", L"2");
  const std::string log = ErrorLog();
  ProgramCopy program = Started();
  SetEnvironmentVariableW(L"ZEMBROLITE_HANG_SECONDS", nullptr);
  ClickScan(window);
  ASSERT_TRUE(WaitUntil([&] { return !LinesAfter(log).empty(); }, 5000));
  const std::vector<std::string> hung = LinesAfter(log);
  EXPECT_TRUE(std::regex_search(hung[0],
                                std::regex(" 1460 +The source .*VirtualScanner\\.ds.* has not returned from "
                                           "DAT_IDENTITY MSG_OPENDS \\(open\\) for [2-4] s +Main_cmdZadudUVur_Click$")))
      << hung[0];
  EXPECT_FALSE(program.ended(0));
  EXPECT_FALSE(NewImage(program).empty()) << "the press goes on once the driver returns";
  EXPECT_TRUE(WaitUntil([&] { return LinesAfter(log).size() > 1; }, 2000));
  const std::vector<std::string> lines = LinesAfter(log);
  ASSERT_EQ(lines.size(), 2u) << ErrorLog();
  EXPECT_TRUE(std::regex_search(lines[1], std::regex(" 0 +The source .* returned from DAT_IDENTITY MSG_OPENDS "
                                                     "\\(open\\) after \\d+ s +Main_cmdZadudUVur_Click$")))
      << lines[1];
  Close(program);
}

#ifdef _WIN64
// One program for every driver: with sources of both bitnesses, "Choose source" lists them all in
// the program's own list with their bitness; the 32-bit scanner chosen there becomes the 32-bit
// manager's default and the bitness of the presses, which then run in the 32-bit worker, through
// the 32-bit manager, and save the image as any other.
TEST_F(Presses, ChooserListsBothBitnessesAndThe32BitChoiceScansThroughThe32BitWorker) {
  if (!installed) GTEST_SKIP() << "needs a 32-bit scanner and manager beside the 64-bit ones: the station's packages";
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring scanner32 = std::wstring(windows) + L"\\twain_32\\";
  WriteFileBytes(scanner32 + L"VirtualScanner.ini", "[Log]\r\nCalls=1\r\nChecksum=1\r\n");
  DeleteFileW((scanner32 + L"VirtualScanner.log").c_str());
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Qorv\\Zembrolite", L"SourceBitness");
  settings("DPI=30\r\nColorType=RGB\r\n");
  ProgramCopy program = Started();
  PostMessageW(window, WM_COMMAND, IDM_OPTIONS, 0);
  HWND dialog = WindowWith(program, L"ComboBox");
  ASSERT_NE(dialog, nullptr);
  PostMessageW(GetDlgItem(dialog, cmdSource), BM_CLICK, 0, 0);
  HWND chooser = WindowWith(program, L"ListBox");
  ASSERT_NE(chooser, nullptr) << "the program's own list";
  HWND list = FindWindowExW(chooser, nullptr, L"ListBox", nullptr);
  std::vector<std::wstring> rows;
  for (int row = 0; row < SendMessageW(list, LB_GETCOUNT, 0, 0); ++row) {
    wchar_t text[128] = L"";
    if (SendMessageW(list, LB_GETTEXTLEN, row, 0) < 128)
      SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
    rows.push_back(text);
  }
  const auto at = [&](const wchar_t* text) { return std::find(rows.begin(), rows.end(), text) - rows.begin(); };
  const auto scanner64 = at(L"Zembrolite Virtual Scanner\tZembrolite\t64-bit");
  const auto scanner32Row = at(L"Zembrolite Virtual Scanner\tZembrolite\t32-bit");
  ASSERT_LT(scanner64, static_cast<std::ptrdiff_t>(rows.size())) << "the 64-bit scanner is not listed";
  ASSERT_LT(scanner32Row, static_cast<std::ptrdiff_t>(rows.size())) << "the 32-bit scanner is not listed";
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(scanner32Row), 0);
  PostMessageW(GetDlgItem(chooser, IDOK), BM_CLICK, 0, 0);
  // The choice is done once its bitness is remembered and the dialog takes input again.
  const auto remembered = [] {
    DWORD bitness = 0, size = sizeof bitness;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Qorv\\Zembrolite", L"SourceBitness", RRF_RT_REG_DWORD, nullptr,
                 &bitness, &size);
    return bitness;
  };
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(chooser) && remembered() == 32 && IsWindowEnabled(dialog); }, 60000));
  PostMessageW(GetDlgItem(dialog, cmdCancel), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  wchar_t chosen[MAX_PATH] = L"";
  DWORD size = sizeof chosen;
  RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\TWAIN", L"Default Source",
               RRF_RT_REG_SZ, nullptr, chosen, &size);
  EXPECT_NE(std::wstring(chosen).find(L"VirtualScanner.ds"), std::wstring::npos) << "the 32-bit manager's default";

  ClickScan(window);
  const std::wstring image = NewImage(program, 120000);
  const std::string log = ReadFileBytes(scanner32 + L"VirtualScanner.log");
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Qorv\\Zembrolite", L"SourceBitness");
  DeleteFileW((scanner32 + L"VirtualScanner.ini").c_str());
  ASSERT_FALSE(image.empty()) << log;
  EXPECT_EQ(ImageFacts(image), std::vector<int>({255, 351, 24, 54}));
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(TWAINDSM\.dll application=.* protocol 2\.4 )"))) << log;
  EXPECT_NE(log.find("IMAGENATIVEXFER.GET -> 6"), std::string::npos) << log;
  Close(program);
}

// Where the 2.x manager is not installed, the 64-bit edition meets only a 32-bit twain_32.dll on
// 64-bit Windows: a press says in the log that the manager for 64-bit programs is missing.
TEST_F(Presses, PressWithoutAManagerFor64BitProgramsSaysItIsNotInstalled) {
  if (installed) GTEST_SKIP() << "puts a 32-bit DLL in place of the system's manager";
  settings("DPI=30\r\n");
  const std::wstring wines = Twain1ManagerPath(), kept = folder + L"\\twain_32.dll.wine";
  ASSERT_TRUE(CopyFileW(wines.c_str(), kept.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(BuiltTwain2Manager(false).c_str(), wines.c_str(), FALSE));  // any 32-bit DLL
  // Wine would load its own builtin manager whatever the file; here it takes the file.
  wchar_t overrides[256] = L"";
  GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 256);
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (std::wstring(overrides) + L";twain_32=n").c_str());
  ProgramCopy program = Started();
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides);
  ClickScan(window);
  EXPECT_TRUE(WaitUntil([&] { return !ErrorLog().empty(); }));
  Settle();
  Close(program);
  CopyFileW(kept.c_str(), wines.c_str(), FALSE);
  EXPECT_TRUE(std::regex_search(
      ErrorLog(), std::regex("^[^\r\n]+ \\d+ +The TWAIN manager for 64-bit programs \\(TWAINDSM\\.dll\\) is not "
                             "installed\\. +Main_cmdZadudUVur_Click\r\n$")))
      << ErrorLog();
}
#endif

// Wine's own camera source, which nobody here wrote, as the only source of the 2.x manager:
// tests/camera/camera-test.sh mounts a mass-storage camera with one photo, decoded by ImageMagick
// (ZEMBROLITE_CAMERA_PHOTO), or with none ("none"). With the source's dialog, two presses each
// save the photo pixel for pixel and log nothing; on an empty camera the source asks to be closed
// before any transfer, as when the operator closes its dialog: nothing saved, nothing logged.
// Without its dialog the camera cannot honour the fixed settings: nothing saved, one line. The
// window answers throughout.
TEST_F(CameraPresses, DISABLED_PhotosOfWinesCameraSource) {
  const wchar_t* given = _wgetenv(L"ZEMBROLITE_CAMERA_PHOTO");
  ASSERT_NE(given, nullptr) << "run by tests/camera/camera-test.sh";
  const std::wstring decoded = given;
  const bool photo = decoded != L"none";
  const auto pixels = [](const std::wstring& path) {
    const std::vector<int> facts = ImageFacts(path);
    return facts.empty() ? "" : ReadFileBytes(path).substr(static_cast<size_t>(facts[3]));
  };
  const struct {
    const char* scanner;
    int presses;
    bool saves;
    size_t lines;
  } cases[] = {
      {"ScanUI=True\r\n", photo ? 2 : 1, photo, 0},
      {"ScanUI=False\r\nDPI=100\r\nColorType=RGB\r\n", 1, false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scanner);
    settings(c.scanner);
    ProgramCopy program = Started();
    for (int press = 0; press < c.presses; ++press) {
      const std::string log = ErrorLog();
      before = Listing();
      EXPECT_TRUE(Press(window).ended(120000)) << "the press does not end";
      DWORD_PTR answered = 0;
      EXPECT_TRUE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &answered)) << "the window answers";
      EXPECT_EQ(LinesAfter(log).size(), c.lines) << ErrorLog();
      const std::wstring image = NewImage(program, 1000);
      if (!c.saves) {
        EXPECT_TRUE(image.empty());
        continue;
      }
      ASSERT_FALSE(image.empty()) << ErrorLog();
      std::vector<int> saved = ImageFacts(image), expected = ImageFacts(decoded);
      ASSERT_EQ(saved.size(), 4u);
      ASSERT_EQ(expected.size(), 4u);
      saved.pop_back(), expected.pop_back();  // the pixels' offsets may differ
      EXPECT_EQ(saved, expected);
      EXPECT_TRUE(pixels(image) == pixels(decoded)) << "the photo is not as decoded";
    }
    Close(program);
  }
}
