// One press at a capture station of its own: run by stations.sh in a Wine prefix whose computer
// name is the station's, with the release name provider registered. Disabled in ordinary runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "../../app/resource.h"
#include "../unit/TestFolders.h"
#include "InProcess.h"

TEST(DISABLED_Station, OnePressIntoTheSharedFolder) {
  const char* shared = std::getenv("ZEMBROLITE_SHARED_OUTPUT");
  ASSERT_NE(shared, nullptr);
  const std::wstring folder(shared, shared + std::strlen(shared));
  const size_t before = FilesIn(folder).size();
  UseSettings("[Path]\r\nPath=" + std::string(shared) + "\r\n[Scanner]\r\nDPI=30\r\nColorType=GREY\r\n");
  SendMessageW(GetDlgItem(MainWindow(), IDC_CMDZADUDUVUR), BM_CLICK, 0, 0);
  EXPECT_EQ(FilesIn(folder).size(), before + 1);
}
