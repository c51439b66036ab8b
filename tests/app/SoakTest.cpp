// Load: a thousand presses in a row with small images. The process's private memory, kernel
// handles, GDI objects and windows stay flat.
#include <gtest/gtest.h>
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "../../app/resource.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Wine 8 answers GetGuiResources and GetProcessHandleCount with 0, so under Wine the counts
// come from the tables behind them: the GDI handle table that the PEB points to, and the
// system's handle list. Windows reports all three directly.
#pragma pack(push, 1)
struct WineGdiEntry {
  std::uint64_t Object;
  std::uint32_t Owner;
  std::uint16_t Unique;
  std::uint8_t Type;
  std::uint8_t Flags;
  std::uint64_t UserPointer;
};
#pragma pack(pop)
static_assert(sizeof(WineGdiEntry) == 24, "Wine's GDI_HANDLE_ENTRY");
constexpr int WineGdiHandleCount = 0x10000;

unsigned long WineGdiObjects() {
  using QueryProcessInformation = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryProcessInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (!query || query(GetCurrentProcess(), 0 /* ProcessBasicInformation */, &basic, sizeof basic, nullptr) != 0)
    return 0;
  const auto* peb = reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress);
  const auto* table = *reinterpret_cast<const WineGdiEntry* const*>(peb + (sizeof(void*) == 4 ? 0x94 : 0xF8));
  if (!table) return 0;
  unsigned long count = 0;
  for (int i = 0; i < WineGdiHandleCount; ++i)
    if (table[i].Type != 0) ++count;
  return count;
}

// SYSTEM_HANDLE_INFORMATION: a count, then 16-byte entries that begin with the owner's id.
unsigned long KernelHandlesFromSystemList() {
  using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  std::vector<std::uint8_t> list(1 << 20);
  ULONG length = 0;
  constexpr ULONG SystemHandleInformation = 16;
  while (query(SystemHandleInformation, list.data(), static_cast<ULONG>(list.size()), &length) != 0) {
    if (list.size() >= (64u << 20)) return 0;
    list.resize(list.size() * 2);
  }
  const std::uint32_t entries = *reinterpret_cast<const std::uint32_t*>(list.data());
  const std::uint16_t self = static_cast<std::uint16_t>(GetCurrentProcessId());
  const std::size_t entrySize = 8 + 2 * sizeof(void*);
  unsigned long count = 0;
  for (std::uint32_t i = 0; i < entries && sizeof(void*) + (i + 1) * entrySize <= list.size(); ++i) {
    const std::uint8_t* entry = list.data() + sizeof(void*) + i * entrySize;
    if (*reinterpret_cast<const std::uint16_t*>(entry) == self) ++count;
  }
  return count;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  ++*reinterpret_cast<unsigned long*>(count);
  EnumChildWindows(window, CountWindow, count);
  return TRUE;
}

struct Usage {
  unsigned long privateBytes, handles, gdiObjects, windows;
};

Usage Now() {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  unsigned long windows = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  const bool wine = UnderWine();
  return {static_cast<unsigned long>(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage),
          wine ? KernelHandlesFromSystemList() : handles,
          wine ? WineGdiObjects() : GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), windows};
}

}  // namespace

TEST(Soak, AThousandPressesKeepMemoryHandlesAndObjectsFlat) {
  WriteScannerControl("[Device]\r\nPhysicalWidth=0.5\r\nPhysicalHeight=0.5\r\n");
  ProviderAnswersText(L"soak");
  const std::wstring output = FreshTestFolder(L"soak") + L"\\";
  UseSettings("[Path]\r\nPath=" + std::string(output.begin(), output.end()) + "\r\n[Scanner]\r\nDPI=20\r\n");
  HWND button = GetDlgItem(MainWindow(), IDC_CMDZADUDUVUR);
  auto press = [&] {
    DeleteFileW((output + L"soak.bmp").c_str());
    SendMessageW(button, BM_CLICK, 0, 0);
    return PathExists(output + L"soak.bmp");
  };
  constexpr int WarmUp = 20, Presses = 1000;
  for (int i = 0; i < WarmUp; ++i) ASSERT_TRUE(press()) << "press " << i;
  const Usage before = Now();
  const DWORD start = GetTickCount();
  for (int i = WarmUp; i < Presses; ++i) ASSERT_TRUE(press()) << "press " << i;
  const DWORD elapsed = GetTickCount() - start;
  const Usage after = Now();
  std::printf(
      "soak: %d presses in %lu ms; private bytes %lu -> %lu, handles %lu -> %lu, GDI objects %lu -> %lu, "
      "windows %lu -> %lu\n",
      Presses - WarmUp, static_cast<unsigned long>(elapsed), before.privateBytes, after.privateBytes, before.handles,
      after.handles, before.gdiObjects, after.gdiObjects, before.windows, after.windows);
  // A leak of one small object per press would show as hundreds here.
  EXPECT_LT(after.privateBytes, before.privateBytes + 2 * 1024 * 1024);
  EXPECT_GT(before.handles * before.gdiObjects, 0u) << "no counts to compare";
  EXPECT_LE(after.handles, before.handles + 10);
  EXPECT_LE(after.gdiObjects, before.gdiObjects + 10);
  EXPECT_EQ(after.windows, before.windows);
  EXPECT_EQ(ErrorLog(), "");
  RemoveScannerControl();
  ClearProviderAnswers();
}
