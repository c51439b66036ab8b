#include "Bench.h"

#include "TestFolders.h"

namespace {

// Read by the stand-in provider of tests/namer.
const wchar_t ProviderTestKey[] = L"Software\\Zembrolite\\Tests\\NameProvider";

void SetProviderValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ClearProviderAnswers();
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, ProviderTestKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

}  // namespace

std::wstring ScannerFolder() {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows) + (sizeof(void*) == 8 ? L"\\twain_64\\" : L"\\twain_32\\");
}

void WriteScannerControl(const std::string& contents) {
  WriteFileBytes(ScannerFolder() + L"VirtualScanner.ini", contents);
}

std::string ScannerCallLog() { return ReadFileBytes(ScannerFolder() + L"VirtualScanner.log"); }

void ResetScanner() {
  WriteScannerControl("[Log]\r\nCalls=1\r\n");
  DeleteFileW((ScannerFolder() + L"VirtualScanner.log").c_str());
}

void RemoveScannerControl() {
  DeleteFileW((ScannerFolder() + L"VirtualScanner.ini").c_str());
  DeleteFileW((ScannerFolder() + L"VirtualScanner.log").c_str());
}

void ProviderAnswersText(const std::wstring& text) {
  SetProviderValue(L"Text", REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void ProviderFails(HRESULT failure) {
  const DWORD value = static_cast<DWORD>(failure);
  SetProviderValue(L"Fail", REG_DWORD, &value, sizeof value);
}

void ClearProviderAnswers() { RegDeleteTreeW(HKEY_CURRENT_USER, ProviderTestKey); }
