#include "VersionText.h"

std::wstring VersionText(unsigned major, unsigned minor, unsigned revision) {
  return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(revision);
}

std::wstring TitleText(const std::wstring& productName, const std::wstring& version) {
  return productName + L" " + version;
}
