// The .bmp writer on real files: exact bytes, replaced files, failures that keep the old image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "../../twain/mdlTwain.h"
#include "../fuzz/BmpDecoder.h"
#include "TestFolders.h"

namespace {

// A packed DIB as a native transfer delivers it.
std::string Dib(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression = BI_RGB) {
  const BITMAPINFOHEADER header = {sizeof header, width, height, 1, bits, compression, 0, 0, 0, 0, 0};
  const std::uint32_t entries = (bits <= 8 ? 1u << bits : 0u) + (compression == BI_BITFIELDS ? 3 : 0);
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.resize(sizeof header + entries * 4 + ((bits * width + 31) / 32) * 4 * std::abs(height));
  for (size_t i = sizeof header; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  return bytes;
}

// In global memory, with bytes to spare after it or cut short.
HGLOBAL InMemory(const std::string& dib, size_t extra = 0, size_t shorter = 0) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, dib.size() + extra - shorter);
  std::memcpy(GlobalLock(memory), dib.data(), dib.size() - shorter);
  GlobalUnlock(memory);
  return memory;
}

class BmpWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = FreshTestFolder(L"bmp");
    path = folder + L"\\image.bmp";
  }

  // Writes and checks that the handle is gone and the variable cleared, whatever the result.
  std::int32_t write(HGLOBAL memory, const std::wstring& target) {
    HGLOBAL variable = memory;
    const std::int32_t status = WriteDibToBmp(variable, target);
    EXPECT_EQ(variable, nullptr);
    EXPECT_EQ(GlobalFlags(memory), static_cast<UINT>(GMEM_INVALID_HANDLE));
    return status;
  }

  std::wstring folder, path;
};

}  // namespace

// The file is a file header, which an independent reader accepts, and the DIB as it was, and it
// replaces a read-only, hidden or system file of the name.
TEST_F(BmpWriterTest, FileIsAHeaderAndTheDibAndReplacesAnyFileOfTheName) {
  const std::string dibs[] = {Dib(10, 2, 8), Dib(20, -10, 24), Dib(8, 4, 16, BI_BITFIELDS)};
  const DWORD attributes[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    WriteFileBytes(path, "old image");
    SetFileAttributesW(path.c_str(), attributes[i]);
    ASSERT_EQ(write(InMemory(dibs[i], 4096), path), 0) << "only the DIB of a larger block";
    const std::string file = ReadFileBytes(path);
    EXPECT_TRUE(file.size() == 14 + dibs[i].size() && file.substr(14) == dibs[i]);
    EXPECT_TRUE(DecodableBmp(std::vector<std::uint8_t>(file.begin(), file.end())));
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  }
  EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{L"image.bmp"});
}

// Every failure keeps the old file as it was and leaves no partial or temporary file behind.
TEST_F(BmpWriterTest, FailuresKeepTheOldFileAndLeaveNothingElse) {
  struct Case {
    const char* what;
    HGLOBAL image;
    std::wstring target;
  };
  const std::string dib = Dib(100, 50, 24);
  const Case cases[] = {
      {"block one byte short", InMemory(dib, 0, 1), path},
      {"not even a whole header", InMemory(dib, 0, 15000), path},
      {"empty path", InMemory(dib), L""},
      {"missing folder", InMemory(dib), folder + L"\\missing\\image.bmp"},
      {"a folder of the name", InMemory(dib), folder + L"\\folder.bmp"},
      {"old file in use", InMemory(dib), path},
  };
  CreateDirectoryW((folder + L"\\folder.bmp").c_str(), nullptr);
  WriteFileBytes(path, "old image");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HANDLE inUse = std::string(c.what) == "old file in use"
                       ? CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                       : INVALID_HANDLE_VALUE;
    EXPECT_EQ(write(c.image, c.target), 1);
    if (inUse != INVALID_HANDLE_VALUE) CloseHandle(inUse);
    EXPECT_EQ(ReadFileBytes(path), "old image");
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{L"image.bmp"});
  }
  HGLOBAL none = nullptr;
  EXPECT_EQ(WriteDibToBmp(none, path), 1);
}
