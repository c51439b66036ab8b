#include "ScanText.h"

std::int32_t PixelTypeFor(const std::wstring& colorTypeName) {
  if (colorTypeName == L"BW") return 0;
  if (colorTypeName == L"GREY") return 1;
  return 2;
}

std::wstring WithoutDots(const std::wstring& name) {
  std::wstring result;
  for (wchar_t c : name)
    if (c != L'.') result += c;
  return result;
}

std::wstring ImagePath(const std::wstring& outputFolder, const std::wstring& name) {
  return outputFolder + name + L".bmp";
}

std::wstring ExternalCommandLine(const std::wstring& programPath, const std::wstring& outputFolder,
                                 const std::wstring& name) {
  const bool needsQuotes = programPath.find(L' ') != std::wstring::npos && programPath.rfind(L'"', 0) != 0;
  const std::wstring program = needsQuotes ? L"\"" + programPath + L"\"" : programPath;
  return program + L" " + outputFolder + name + L".TIF";
}
