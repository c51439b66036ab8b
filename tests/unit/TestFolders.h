// Folders and files for tests: fresh folders below the test executable, whole-file reads and writes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The folder of the running test executable, without a trailing separator.
std::wstring TestExeFolder();

// Removes a folder with everything in it; no error when it is missing.
void RemoveTree(const std::wstring& folder);

// A new, empty folder below the test executable's folder named after the running test, with
// an optional suffix for further folders of the same test.
std::wstring FreshTestFolder(const std::wstring& kind, const std::wstring& suffix = L"");

std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);
// The names of the files (not folders) in a folder.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// A timeout stretched by ZEMBROLITE_TIMEOUT_SCALE, for a bench that runs the tests slower than
// the host (an emulated station).
DWORD Slowed(DWORD timeoutMs);

// Polls until condition holds or the timeout passes; the result is the condition's last value.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 15000) {
  const DWORD start = GetTickCount();
  timeoutMs = Slowed(timeoutMs);
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return condition();
    Sleep(50);
  }
  return true;
}
