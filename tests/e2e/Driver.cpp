#include "Driver.h"

#include "../../app/resource.h"
#include "../unit/TestFolders.h"

ProgramCopy::ProgramCopy(const std::wstring& suffix) : folder_(FreshTestFolder(L"runs", suffix)) {
  CopyFileW((TestExeFolder() + L"\\Zembrolite.exe").c_str(), path(L"Zembrolite.exe").c_str(), FALSE);
}

ProgramCopy::~ProgramCopy() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

void ProgramCopy::writeSettings(const std::string& contents) const { WriteFileBytes(path(L"Settings.ini"), contents); }

bool ProgramCopy::start() {
  std::wstring commandLine = L"\"" + path(L"Zembrolite.exe") + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, TestExeFolder().c_str(), &startup,
                      &info))
    return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  return true;
}

// Tests run one at a time, so the one window of the program's class is this copy's.
HWND ProgramCopy::waitForMainWindow() {
  HWND window = nullptr;
  WaitUntil([&] {
    window = FindWindowW(L"ZembroliteMain", nullptr);
    return (window && IsWindowVisible(window)) || waitForExit(0);
  });
  if (window) WaitForInputIdle(process_, 5000);
  return window;
}

bool ProgramCopy::waitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_, exitCode);
  return true;
}

namespace {

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM searchAddress) {
  auto& search = *reinterpret_cast<WindowSearch*>(searchAddress);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.processId) search.found.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> WindowsOfProcess(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = L"";
  // Cross-process, WM_GETTEXT reads what the window holds; GetWindowText would only read the cache.
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000, nullptr);
  return text;
}

void PressScan(HWND mainWindow) { PostMessageW(GetDlgItem(mainWindow, IDC_CMDZADUDUVUR), BM_CLICK, 0, 0); }

bool Settled(HWND window) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored) != 0;
}
