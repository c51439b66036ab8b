// Load: a thousand presses in a row with small images. The program's private memory, handles
// and window-system objects stay flat.
#include <gtest/gtest.h>
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <cstdio>

#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "Driver.h"

namespace {

// Wine reports the commit charge (PagefileUsage) and the working set of another process, but
// 0 for its private usage, its handle count and its GDI and USER objects; Windows reports all.
struct Usage {
  SIZE_T privateBytes = 0;
  SIZE_T workingSet = 0;
  DWORD handles = 0, gdiObjects = 0, userObjects = 0;
};

Usage UsageOf(HANDLE process) {
  Usage usage;
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    usage.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    usage.workingSet = memory.WorkingSetSize;
  }
  GetProcessHandleCount(process, &usage.handles);
  usage.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
  usage.userObjects = GetGuiResources(process, GR_USEROBJECTS);
  return usage;
}

}  // namespace

TEST(Soak, AThousandPressesKeepMemoryHandlesAndObjectsFlat) {
  WriteScannerControl("[Device]\r\nPhysicalWidth=0.5\r\nPhysicalHeight=0.5\r\n");
  DeleteFileW((ScannerFolder() + L"VirtualScanner.log").c_str());
  ProviderAnswersText(L"soak");
  ProgramCopy program;
  const std::wstring output = program.folder() + L"\\out\\";
  CreateDirectoryW(output.c_str(), nullptr);
  program.writeSettings("[Path]\r\nPath=" + std::string(output.begin(), output.end()) +
                        "\r\n[Scanner]\r\nDPI=20\r\nColorType=RGB\r\n");
  ASSERT_TRUE(program.start());
  HWND window = program.waitForMainWindow();
  ASSERT_NE(window, nullptr);
  const std::wstring image = output + L"soak.bmp";

  auto press = [&] {
    DeleteFileW(image.c_str());
    PressScan(window);
    if (!WaitUntil([&] { return PathExists(image); }, 10000)) return false;
    // Answered only once the press has returned to the program's own loop.
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored) != 0;
  };

  constexpr int WarmUp = 20, Presses = 1000;
  for (int i = 0; i < WarmUp; ++i) ASSERT_TRUE(press()) << "press " << i;
  const Usage before = UsageOf(program.process());
  const DWORD start = GetTickCount();
  for (int i = WarmUp; i < Presses; ++i) ASSERT_TRUE(press()) << "press " << i;
  const DWORD elapsed = GetTickCount() - start;
  const Usage after = UsageOf(program.process());

  std::printf("soak: %d presses in %lu ms (%.1f ms each)\n", Presses - WarmUp, static_cast<unsigned long>(elapsed),
              static_cast<double>(elapsed) / (Presses - WarmUp));
  std::printf(
      "soak: private bytes %lu -> %lu, working set %lu -> %lu, handles %lu -> %lu, GDI %lu -> %lu, "
      "USER %lu -> %lu\n",
      static_cast<unsigned long>(before.privateBytes), static_cast<unsigned long>(after.privateBytes),
      static_cast<unsigned long>(before.workingSet), static_cast<unsigned long>(after.workingSet),
      static_cast<unsigned long>(before.handles), static_cast<unsigned long>(after.handles),
      static_cast<unsigned long>(before.gdiObjects), static_cast<unsigned long>(after.gdiObjects),
      static_cast<unsigned long>(before.userObjects), static_cast<unsigned long>(after.userObjects));
  // A leak of one small object per press would show as hundreds here.
  EXPECT_GT(before.privateBytes, 0u) << "no memory figure to compare";
  EXPECT_LT(after.privateBytes, before.privateBytes + 2 * 1024 * 1024);
  EXPECT_LE(after.handles, before.handles + 10);
  EXPECT_LE(after.gdiObjects, before.gdiObjects + 10);
  EXPECT_LE(after.userObjects, before.userObjects + 10);
  EXPECT_FALSE(PathExists(program.path(L"Logs")));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.waitForExit(10000));
  RemoveScannerControl();
  ClearProviderAnswers();
}
