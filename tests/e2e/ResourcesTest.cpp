// The executable's version block, group icon and button picture, read from the file itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "../../app/resource.h"
#include "../unit/TestFolders.h"

namespace {

std::wstring ProgramPath() { return TestExeFolder() + L"\\Zembrolite.exe"; }

std::vector<BYTE> VersionBlock() {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(ProgramPath().c_str(), &ignored);
  std::vector<BYTE> block(size);
  if (size == 0 || !GetFileVersionInfoW(ProgramPath().c_str(), 0, size, block.data())) block.clear();
  return block;
}

std::wstring VersionString(std::vector<BYTE>& block, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), (L"\\StringFileInfo\\040704B0\\" + name).c_str(), &value, &length))
    return L"<missing>";
  return static_cast<const wchar_t*>(value);
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct GroupIconHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

struct ProgramModule {
  HMODULE module = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ~ProgramModule() {
    if (module) FreeLibrary(module);
  }
};

}  // namespace

TEST(Resources, VersionBlock) {
  std::vector<BYTE> block = VersionBlock();
  ASSERT_FALSE(block.empty());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(VersionString(block, L"ProductName"), L"Zembrolite");
  EXPECT_EQ(VersionString(block, L"InternalName"), L"Zembrolite");
  EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"Zembrolite.exe");
  EXPECT_EQ(VersionString(block, L"FileVersion"), L"1.00");
  EXPECT_EQ(VersionString(block, L"ProductVersion"), L"1.00");

  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  ASSERT_TRUE(
      VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  EXPECT_EQ(translation->language, 0x0407);
  EXPECT_EQ(translation->codePage, 1200);
}

TEST(Resources, GroupIconHoldsTwo32By32ImagesOf256ColoursAnd32Bits) {
  ProgramModule program;
  ASSERT_NE(program.module, nullptr);
  HRSRC found = FindResourceW(program.module, MAKEINTRESOURCEW(IDI_MAIN), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(found, nullptr);
  const auto* header = static_cast<const GroupIconHeader*>(LockResource(LoadResource(program.module, found)));
  ASSERT_EQ(header->count, 2);
  const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
  std::vector<int> depths;
  for (int i = 0; i < header->count; ++i) {
    EXPECT_EQ(entries[i].width, 32);
    EXPECT_EQ(entries[i].height, 32);
    depths.push_back(entries[i].bitCount);
  }
  EXPECT_EQ(depths, (std::vector<int>{8, 32}));
}

TEST(Resources, ButtonPictureIs64By64At24Bits) {
  ProgramModule program;
  ASSERT_NE(program.module, nullptr);
  HRSRC found = FindResourceW(program.module, MAKEINTRESOURCEW(IDB_SCAN), MAKEINTRESOURCEW(2));  // RT_BITMAP
  ASSERT_NE(found, nullptr);
  const auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(program.module, found)));
  EXPECT_EQ(info->biWidth, 64);
  EXPECT_EQ(info->biHeight, 64);
  EXPECT_EQ(info->biBitCount, 24);
}
