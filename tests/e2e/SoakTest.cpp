// Load: a thousand presses in a row with small images. The program's private memory, handles
// and window-system objects stay flat.
#include <gtest/gtest.h>
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "Driver.h"

namespace {

// Wine reports the commit charge (PagefileUsage) and the working set of another process, but
// not its private usage; the object counts come from inside the program through the probe.
struct Usage {
  SIZE_T privateBytes = 0;
  SIZE_T workingSet = 0;
  unsigned long handles = 0, gdiObjects = 0, windows = 0;
  std::wstring userObjects;
};

unsigned long CountIn(const ProbeReport& report, const wchar_t* key) {
  return std::wcstoul(ReportValue(report, key).c_str(), nullptr, 10);
}

Usage UsageOf(HANDLE process, HWND window) {
  Usage usage;
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    usage.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    usage.workingSet = memory.WorkingSetSize;
  }
  const ProbeReport report = Probe(window);
  usage.handles = CountIn(report, L"usage.handles");
  usage.gdiObjects = CountIn(report, L"usage.gdi");
  usage.windows = CountIn(report, L"usage.windows");
  usage.userObjects = ReportValue(report, L"usage.user");
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
  UsageOf(program.process(), window);  // the first query loads the probe into the program
  const Usage before = UsageOf(program.process(), window);
  const DWORD start = GetTickCount();
  for (int i = WarmUp; i < Presses; ++i) ASSERT_TRUE(press()) << "press " << i;
  const DWORD elapsed = GetTickCount() - start;
  const Usage after = UsageOf(program.process(), window);

  std::printf("soak: %d presses in %lu ms (%.1f ms each)\n", Presses - WarmUp, static_cast<unsigned long>(elapsed),
              static_cast<double>(elapsed) / (Presses - WarmUp));
  std::printf(
      "soak: private bytes %lu -> %lu, working set %lu -> %lu, handles %lu -> %lu, GDI objects %lu -> %lu, "
      "windows %lu -> %lu, USER objects %ls -> %ls\n",
      static_cast<unsigned long>(before.privateBytes), static_cast<unsigned long>(after.privateBytes),
      static_cast<unsigned long>(before.workingSet), static_cast<unsigned long>(after.workingSet), before.handles,
      after.handles, before.gdiObjects, after.gdiObjects, before.windows, after.windows, before.userObjects.c_str(),
      after.userObjects.c_str());
  // A leak of one small object per press would show as hundreds here.
  EXPECT_GT(before.privateBytes, 0u) << "no memory figure to compare";
  EXPECT_LT(after.privateBytes, before.privateBytes + 2 * 1024 * 1024);
  EXPECT_GT(before.handles, 0u) << "no handle count to compare";
  EXPECT_LE(after.handles, before.handles + 10);
  EXPECT_GT(before.gdiObjects, 0u) << "no GDI count to compare";
  EXPECT_LE(after.gdiObjects, before.gdiObjects + 10);
  EXPECT_EQ(after.windows, before.windows);
  if (before.userObjects != L"unknown") {
    EXPECT_LE(std::wcstoul(after.userObjects.c_str(), nullptr, 10),
              std::wcstoul(before.userObjects.c_str(), nullptr, 10) + 10);
  }
  EXPECT_FALSE(PathExists(program.path(L"Logs")));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.waitForExit(10000));
  RemoveScannerControl();
  ClearProviderAnswers();
}
