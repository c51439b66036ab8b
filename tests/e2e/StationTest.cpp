// One press at a capture station of its own: run by stations.sh in a Wine prefix whose computer
// name is the station's, with the release name provider. Disabled in ordinary runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "../unit/Bench.h"
#include "../unit/TestFolders.h"
#include "Driver.h"

TEST(DISABLED_Station, OnePressIntoTheSharedFolder) {
  const char* shared = std::getenv("ZEMBROLITE_SHARED_OUTPUT");
  ASSERT_NE(shared, nullptr);
  const std::wstring folder(shared, shared + std::strlen(shared));
  const size_t before = FilesIn(folder).size();
  RemoveScannerControl();
  ProgramCopy program;
  program.writeSettings("[Path]\r\nPath=" + std::string(shared) + "\r\n[Scanner]\r\nDPI=30\r\nColorType=GREY\r\n");
  ASSERT_TRUE(program.start());
  HWND window = program.waitForMainWindow();
  ASSERT_NE(window, nullptr);
  PressScan(window);
  EXPECT_TRUE(WaitUntil([&] { return FilesIn(folder).size() == before + 1; }));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.waitForExit(10000));
}
