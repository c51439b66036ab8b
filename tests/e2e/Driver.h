// Drives the real Zembrolite.exe as a user would: a copy in a fresh folder, its windows, its
// button, its files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ProgramCopy {
 public:
  // A fresh folder below the test executable, named after the running test and the suffix,
  // holding a copy of Zembrolite.exe.
  explicit ProgramCopy(const std::wstring& suffix = L"");
  ~ProgramCopy();
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;

  std::wstring path(const std::wstring& name) const { return folder_ + L"\\" + name; }
  void writeSettings(const std::string& contents) const;
  // Starts the copy from another working folder: the program must find its files by itself.
  bool start();
  // The program's main window once it is shown, or null after 15 s or when the copy has ended.
  HWND waitForMainWindow();
  // True when the process has ended within the timeout; its exit code goes to exitCode.
  bool waitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
  DWORD processId() const { return processId_; }

 private:
  std::wstring folder_;
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Top-level windows that belong to a process (shown or not).
std::vector<HWND> WindowsOfProcess(DWORD processId);
std::wstring WindowText(HWND window);
// Posts a click on the scan button, without waiting for the press to end.
void PressScan(HWND mainWindow);
// True once the window's thread is back in its own loop (a press has returned).
bool Settled(HWND window);
