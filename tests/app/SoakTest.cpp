// Load: two hundred presses in a row with small images, each in a worker of its own. The
// program's private memory, kernel handles and GDI objects stay flat.
#include <gtest/gtest.h>
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <vector>

#include <cstdint>

#include "../../app/resource.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

namespace {

// Private bytes, kernel handles (every value the handle table answers for), GDI objects. The hidden
// window of each press is the table of presses'.
std::vector<unsigned long> Usage() {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  unsigned long handles = 0;
  DWORD flags = 0;
  for (ULONG_PTR value = 4; value < 0x10000; value += 4)
    handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
  const SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;  // Wine: the latter
  return {static_cast<unsigned long>(privateBytes), handles, GdiObjects()};
}

}  // namespace

TEST(Soak, TwoHundredPressesKeepMemoryHandlesAndGdiObjectsFlat) {
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
  constexpr int WarmUp = 20, Presses = 200;
  for (int i = 0; i < WarmUp; ++i) ASSERT_TRUE(press()) << "press " << i;
  const std::vector<unsigned long> before = Usage();
  for (int i = WarmUp; i < Presses; ++i) ASSERT_TRUE(press()) << "press " << i;
  const std::vector<unsigned long> after = Usage();
  // A leak of one small object per press would show as hundreds here.
  EXPECT_GT(before[1] * before[2], 0u) << "no counts to compare";
  const unsigned long slack[] = {2 * 1024 * 1024, 10, 10};
  for (int i = 0; i < 3; ++i) EXPECT_LE(after[i], before[i] + slack[i]) << "measure " << i << " from " << before[i];
  EXPECT_EQ(ErrorLog(), "");
  RemoveScannerControl();
  ClearProviderAnswers();
}
