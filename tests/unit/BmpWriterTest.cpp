// The .bmp writer on real files: exact bytes, replaced files, failures that keep the old image.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "../../twain/mdlTwain.h"
#include "FakeManager.h"
#include "TestFolders.h"

namespace {

// A packed DIB in global memory as a native transfer delivers it.
struct Dib {
  std::vector<std::uint8_t> bytes;

  Dib(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t coloursUsed = 0,
      std::uint32_t compression = 0) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = compression;
    header.biClrUsed = coloursUsed;
    std::uint32_t entries = coloursUsed ? coloursUsed : (bits <= 8 ? 1u << bits : 0u);
    if (compression == BI_BITFIELDS) entries += 3;
    const std::uint32_t stride = ((bits * width + 31) / 32) * 4;
    const std::uint32_t rows = height < 0 ? -height : height;
    bytes.resize(sizeof header + entries * 4 + stride * rows);
    std::memcpy(bytes.data(), &header, sizeof header);
    for (size_t i = sizeof header; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }

  HGLOBAL handle(size_t extra = 0, size_t shorter = 0) const {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size() + extra - shorter);
    void* content = GlobalLock(memory);
    std::memcpy(content, bytes.data(), bytes.size() - shorter);
    GlobalUnlock(memory);
    return memory;
  }
};

std::string FileHeader(std::uint32_t fileSize, std::uint32_t offset) {
  std::string header = "BM";
  for (std::uint32_t value : {fileSize, 0u, offset})
    for (int i = 0; i < 4; ++i) header += static_cast<char>(value >> (8 * i));
  return header;
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
    EXPECT_FALSE(IsAllocated(memory));
    return status;
  }

  std::wstring folder, path;
};

}  // namespace

TEST_F(BmpWriterTest, FileIsTheHeaderThenTheDibAndReplacesAnyFileOfTheName) {
  const Dib dibs[] = {Dib(10, 2, 8), Dib(20, -10, 24), Dib(8, 4, 16, 0, BI_BITFIELDS)};
  const std::uint32_t offsets[] = {1078, 54, 54 + 12};
  const DWORD attributes[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    WriteFileBytes(path, "old image");
    SetFileAttributesW(path.c_str(), attributes[i]);
    ASSERT_EQ(write(dibs[i].handle(4096), path), 0) << "only the DIB of a larger block";
    const std::uint32_t size = static_cast<std::uint32_t>(14 + dibs[i].bytes.size());
    EXPECT_EQ(ReadFileBytes(path),
              FileHeader(size, offsets[i]) + std::string(dibs[i].bytes.begin(), dibs[i].bytes.end()));
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
  const Dib dib(100, 50, 24);
  const Case cases[] = {
      {"block one byte short", dib.handle(0, 1), path},
      {"not even a whole header", dib.handle(0, 15000), path},
      {"no decoder could show it", Dib(0, 5, 24).handle(64), path},
      {"7 bits", Dib(5, 5, 7).handle(64), path},
      {"empty path", dib.handle(), L""},
      {"missing folder", dib.handle(), folder + L"\\missing\\image.bmp"},
      {"a folder of the name", dib.handle(), folder + L"\\folder.bmp"},
      {"old file in use", dib.handle(), path},
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
