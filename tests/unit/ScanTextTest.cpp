// The scan's texts as examples; the quoting rule and the dots over any text are the fuzzer's, the
// external program's command line the press's.
// And when a crash ends the restarts.
#include "../../app/ScanText.h"

#include <gtest/gtest.h>

#include <vector>

#include "../../guard/CrashText.h"

TEST(ScanText, PixelTypesAndPaths) {
  EXPECT_EQ(std::vector<int>({PixelTypeFor(L"BW"), PixelTypeFor(L"GREY"), PixelTypeFor(L"RGB"), PixelTypeFor(L"grey"),
                              PixelTypeFor(L"GRAY")}),
            std::vector<int>({0, 1, 2, 2, 2}));
  EXPECT_EQ(ImagePath(L"C:\\Scans\\", L"2015.02.09-001"), L"C:\\Scans\\2015.02.09-001.bmp");
  EXPECT_EQ(ImagePath(L"C:\\Scans", L"A1"), L"C:\\ScansA1.bmp");
}

TEST(CrashText, RestartsEndAtASecondCrashWithinTenMinutes) {
  const struct {
    std::uint64_t previous, now;
    bool restarts;
  } rows[] = {{0, 1000, true}, {1000, 1000 + 599, false}, {1000, 1000 + 600, true}, {5000, 1000, true}};
  for (const auto& row : rows) EXPECT_EQ(RestartsAfterCrash(row.previous, row.now), row.restarts) << row.now;
}
