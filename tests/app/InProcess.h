// The harness of the program's tests: its windows inside the test process (the main window made
// once, with the program's resources linked in; the options dialog driven step by step from
// within its own modal loop), the files beside the test executable that the program uses, and
// copies of the real Zembrolite.exe started as processes of their own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// The DPI the tests run at: ZEMBROLITE_DPI when tests/app/dpi.sh sets it, else 96.
int TestDpi();

// The program's main window, shown; made at the first call.
HWND MainWindow();

// Writes Settings.ini beside the executable (none for "-"), removes the log folder and loads.
void UseSettings(const std::string& contents);
std::string SettingsFile();
std::string ErrorLog();

struct FontFacts {
  std::wstring face;
  int height, weight;
};
FontFacts FontOf(HWND window);

// What a user would see wrong in a window's layout, one line each: a caption that does not show
// whole in its control (measured with the control's own font), two controls on top of each
// other, a control outside the client area. Empty when nothing is.
std::vector<std::wstring> LayoutFaults(HWND window);

// A step of a dialog script; one that returns false runs again at the next tick (waiting for
// a window to appear or close). Steps never nest, so clicks that open a window are posted.
using Step = std::function<bool(HWND dialog)>;
// Opens the options dialog over the main window and runs the steps inside its modal loops;
// after 20 s the dialog and what it opened are closed and the test fails.
void RunOptionsDialog(const std::vector<Step>& steps);
// A shown window of this thread other than the main window and the dialog, or null.
HWND WindowOver(HWND dialog);

// How long a copy of the program may take to end once asked to.
constexpr DWORD ExitTimeoutMs = 10000;
// A plain-ASCII text (paths of the bench) as the narrow text of a settings file.
inline std::string Narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }

std::wstring WindowTitle(HWND window);
// Clicks a program's scan button without waiting for the press to end.
void ClickScan(HWND main);

// Width, height, bits and pixel offset of a whole .bmp file; nothing for anything else.
std::vector<int> ImageFacts(const std::wstring& path);
// True when a .bmp file's pixel bytes are those that the virtual scanner logged it delivered
// (its call log with Checksum=1).
bool PixelsAsScanned(const std::wstring& path);

// The GDI objects of this process: GetGuiResources, or under Wine, which answers 0 there, the used
// entries of its GDI handle table.
unsigned long GdiObjects();

// Saves what the screen shows of a window's client area as a 24-bit .bmp file.
bool SaveWindowPicture(HWND window, const std::wstring& path);

// Zembrolite.exe and the scan workers that the build has, copied into a folder.
void CopyProgramInto(const std::wstring& folder);

// A copy of Zembrolite.exe in a fresh folder named after the running test (and the suffix), or
// the program installed in a folder, started from another working folder so that it must find
// its files by itself. It is ended when the copy goes, if it still runs.
class ProgramCopy {
 public:
  explicit ProgramCopy(const std::wstring& suffix = L"");
  static ProgramCopy InFolderAsItIs(const std::wstring& folder);
  ~ProgramCopy();
  ProgramCopy(ProgramCopy&& other) noexcept : folder_(other.folder_), process_(other.process_) { other.process_ = {}; }
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;
  // The copy given up here is ended as it goes.
  ProgramCopy& operator=(ProgramCopy&& other) noexcept {
    std::swap(folder_, other.folder_);
    std::swap(process_, other.process_);
    return *this;
  }

  std::wstring path(const std::wstring& name) const { return folder_ + L"\\" + name; }
  bool start(const std::wstring& arguments = L"");
  // Its main window once shown; null after 15 s or when the copy has ended.
  HWND mainWindow();
  // True when the process has ended within the timeout, with its exit code.
  bool ended(DWORD timeoutMs, DWORD* exitCode = nullptr);
  // The copy's top-level windows, shown or not.
  std::vector<HWND> windows() const;

 private:
  struct InFolder {};
  ProgramCopy(InFolder, const std::wstring& folder) : folder_(folder) {}
  std::wstring folder_;
  PROCESS_INFORMATION process_ = {};
};
