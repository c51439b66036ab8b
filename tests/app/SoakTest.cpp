// Load: a thousand presses in a row with small images. The process's private memory, kernel
// handles, GDI objects and windows stay flat.
#include <gtest/gtest.h>
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>

#include "../../app/resource.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Wine 8 answers GetGuiResources with 0, so under Wine the GDI objects are counted in the
// handle table that the PEB points to.
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

// Every value that the process's handle table answers for.
unsigned long KernelHandles() {
  unsigned long count = 0;
  DWORD flags = 0;
  for (ULONG_PTR value = 4; value < 0x10000; value += 4)
    count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
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
  unsigned long windows = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  return {static_cast<unsigned long>(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage), KernelHandles(),
          UnderWine() ? WineGdiObjects() : GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), windows};
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
