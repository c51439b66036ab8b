#include "TestFolders.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

std::wstring TestExeFolder() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring full(path, length);
  return full.substr(0, full.find_last_of(L'\\'));
}

void RemoveTree(const std::wstring& folder) {
  std::error_code ignored;
  for (std::filesystem::recursive_directory_iterator it(folder, ignored), end; it != end; it.increment(ignored))
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);  // read-only files too
  std::filesystem::remove_all(folder, ignored);
}

std::wstring FreshTestFolder(const std::wstring& kind, const std::wstring& suffix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "outside-a-test";
  for (char& c : name)
    if (c == '/' || c == '\\' || c == ':') c = '_';
  const std::wstring root = TestExeFolder() + L"\\" + kind;
  CreateDirectoryW(root.c_str(), nullptr);
  const std::wstring folder =
      root + L"\\" + std::wstring(name.begin(), name.end()) + (suffix.empty() ? L"" : L"." + suffix);
  RemoveTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

DWORD Slowed(DWORD timeoutMs) {
  static const int scale = [] {
    const wchar_t* given = _wgetenv(L"ZEMBROLITE_TIMEOUT_SCALE");
    return given && _wtoi(given) > 1 ? _wtoi(given) : 1;
  }();
  return timeoutMs * scale;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code ignored;
  for (std::filesystem::directory_iterator it(folder, ignored), end; it != end; it.increment(ignored))
    if (!it->is_directory()) names.push_back(it->path().filename().wstring());
  return names;
}
