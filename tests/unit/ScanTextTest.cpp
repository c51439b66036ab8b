#include "../../app/ScanText.h"

#include <gtest/gtest.h>

TEST(ScanText, PixelTypeByExactName) {
  EXPECT_EQ(PixelTypeFor(L"BW"), 0);
  EXPECT_EQ(PixelTypeFor(L"GREY"), 1);
  EXPECT_EQ(PixelTypeFor(L"RGB"), 2);
  EXPECT_EQ(PixelTypeFor(L"grey"), 2);
  EXPECT_EQ(PixelTypeFor(L"Grey"), 2);
  EXPECT_EQ(PixelTypeFor(L"GRAY"), 2);
  EXPECT_EQ(PixelTypeFor(L""), 2);
}

TEST(ScanText, PathsAndDots) {
  EXPECT_EQ(WithoutDots(L"2015.02.09-001"), L"20150209-001");
  EXPECT_EQ(WithoutDots(L"..."), L"");
  EXPECT_EQ(ImagePath(L"C:\\Scans\\", L"2015.02.09-001"), L"C:\\Scans\\2015.02.09-001.bmp");
  EXPECT_EQ(ImagePath(L"C:\\Scans", L"A1"), L"C:\\ScansA1.bmp");
}

TEST(ScanText, CommandLineQuotesOnlyAProgramPathWithBlanks) {
  EXPECT_EQ(ExternalCommandLine(L"C:\\Scan\\scan.exe", L"C:\\Out\\", L"20150209-001"),
            L"C:\\Scan\\scan.exe C:\\Out\\20150209-001.TIF");
  EXPECT_EQ(ExternalCommandLine(L"C:\\Program Files\\Scan\\scan.exe", L"C:\\Out\\", L"A1"),
            L"\"C:\\Program Files\\Scan\\scan.exe\" C:\\Out\\A1.TIF");
  EXPECT_EQ(ExternalCommandLine(L"\"C:\\Program Files\\Scan\\scan.exe\"", L"C:\\Out\\", L"A1"),
            L"\"C:\\Program Files\\Scan\\scan.exe\" C:\\Out\\A1.TIF");
  // The output folder is passed unchanged, blanks and all.
  EXPECT_EQ(ExternalCommandLine(L"scan.exe", L"D:\\My Scans\\", L"A1"), L"scan.exe D:\\My Scans\\A1.TIF");
}
