// Drives the real Zembrolite.exe as a user would: a copy in a fresh folder, its windows,
// its buttons, its menu, its files.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

constexpr wchar_t ProgramClassName[] = L"ZembroliteMain";

class ProgramCopy {
 public:
  // A fresh folder below the test executable, named after the running test, holding a copy
  // of Zembrolite.exe.
  ProgramCopy();
  // A further copy of the program in a fresh folder of its own named by suffix.
  explicit ProgramCopy(const std::wstring& suffix);
  ~ProgramCopy();
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;

  const std::wstring& folder() const { return folder_; }
  std::wstring path(const std::wstring& name) const { return folder_ + L"\\" + name; }
  void writeSettings(const std::string& contents) const;

  bool start();
  // The program's main window once it is shown, or null after the timeout.
  HWND waitForMainWindow(DWORD timeoutMs = 15000);
  // True when the process has ended within the timeout; its exit code goes to exitCode.
  bool waitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  DWORD processId() const { return processId_; }
  HANDLE process() const { return process_; }

 private:
  void prepare(const std::wstring& suffix);

  std::wstring folder_;
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Top-level windows that belong to a process (shown or not).
std::vector<HWND> WindowsOfProcess(DWORD processId);
// The shown ones only: what a user sees of the process.
std::vector<HWND> VisibleWindowsOfProcess(DWORD processId);
std::wstring WindowText(HWND window);
std::wstring ClassOf(HWND window);
SIZE ClientSize(HWND window);
// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
std::vector<HWND> Children(HWND parent);
// Every window below parent, at any depth.
std::vector<HWND> Descendants(HWND parent);

// What the probe reports from inside the program's UI thread ("menu.0", "focus.id", ...).
using ProbeReport = std::map<std::wstring, std::wstring>;
ProbeReport Probe(HWND target, long request = 0 /* ProbeReportRequest */);
// One value of a report, or "<missing>".
std::wstring ReportValue(const ProbeReport& report, const std::wstring& key);

// The menu command whose item text is text, looked up through the probe; 0 when missing.
UINT MenuCommandId(const ProbeReport& report, const std::wstring& text);

// Presses the scan button as a click would, without waiting for the press to end.
void PressScan(HWND mainWindow);

// Polls until condition holds or the timeout passes; the result is the condition's last value.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 15000) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return condition();
    Sleep(50);
  }
  return true;
}

// A shown window of the process with this class, or null.
HWND FindProcessWindow(DWORD processId, const std::wstring& className);

// Saves what the screen shows of a window's client area as a 24-bit .bmp file.
bool SaveWindowPicture(HWND window, const std::wstring& path);

// The colour on the screen at a point of a window's client area.
COLORREF ScreenColourAt(HWND window, int x, int y);
