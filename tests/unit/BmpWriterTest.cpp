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

TEST_F(BmpWriterTest, FilesAreTheFileHeaderFollowedByTheDib) {
  struct Case {
    Dib dib;
    std::uint32_t fileSize, offset;
  };
  const Case cases[] = {
      {Dib(100, 50, 24), 15054, 54},         {Dib(10, 2, 8), 1102, 1078},  {Dib(33, 1, 1, 2), 70, 62},
      {Dib(7, 3, 4), 54 + 64 + 12, 54 + 64}, {Dib(5, 2, 32), 54 + 40, 54},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dib.bytes.size());
    ASSERT_EQ(write(c.dib.handle(), path), 0);
    const std::string file = ReadFileBytes(path);
    EXPECT_EQ(file.size(), c.fileSize);
    EXPECT_EQ(file.substr(0, 14), FileHeader(c.fileSize, c.offset));
    EXPECT_EQ(file.substr(14), std::string(c.dib.bytes.begin(), c.dib.bytes.end()));
  }
  EXPECT_EQ(FilesIn(folder).size(), 1u);
}

TEST_F(BmpWriterTest, OnlyTheDibIsWrittenFromALargerBlock) {
  const Dib dib(100, 50, 24);
  ASSERT_EQ(write(dib.handle(4096), path), 0);
  EXPECT_EQ(ReadFileBytes(path).size(), 15054u);
}

TEST_F(BmpWriterTest, TopDownAndBitFieldImages) {
  const Dib topDown(20, -10, 24);
  ASSERT_EQ(write(topDown.handle(), path), 0);
  EXPECT_EQ(ReadFileBytes(path).size(), 14 + topDown.bytes.size());
  const Dib masks(8, 4, 16, 0, BI_BITFIELDS);
  ASSERT_EQ(write(masks.handle(), path), 0);
  const std::string file = ReadFileBytes(path);
  EXPECT_EQ(file.substr(0, 14), FileHeader(static_cast<std::uint32_t>(14 + masks.bytes.size()), 54 + 12));
}

TEST_F(BmpWriterTest, ReadOnlyHiddenAndSystemFilesAreReplaced) {
  for (DWORD attributes : {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN}) {
    WriteFileBytes(path, "old image");
    SetFileAttributesW(path.c_str(), attributes);
    ASSERT_EQ(write(Dib(10, 2, 8).handle(), path), 0) << attributes;
    EXPECT_EQ(ReadFileBytes(path).size(), 1102u);
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u);
  }
  EXPECT_EQ(FilesIn(folder).size(), 1u);
}

TEST_F(BmpWriterTest, EmptyPathWritesNothing) {
  EXPECT_EQ(write(Dib(10, 2, 8).handle(), L""), 1);
  EXPECT_TRUE(FilesIn(folder).empty());
}

TEST_F(BmpWriterTest, MissingFolderFails) {
  EXPECT_EQ(write(Dib(10, 2, 8).handle(), folder + L"\\missing\\image.bmp"), 1);
  EXPECT_FALSE(PathExists(folder + L"\\missing"));
}

TEST_F(BmpWriterTest, NullHandleFails) {
  HGLOBAL none = nullptr;
  EXPECT_EQ(WriteDibToBmp(none, path), 1);
  EXPECT_FALSE(PathExists(path));
}

TEST_F(BmpWriterTest, ShortBlockIsRefusedAndTheOldFileKept) {
  WriteFileBytes(path, "old image");
  EXPECT_EQ(write(Dib(100, 50, 24).handle(0, 1), path), 1);
  EXPECT_EQ(write(Dib(100, 50, 24).handle(0, 15000), path), 1);  // not even a whole header
  EXPECT_EQ(ReadFileBytes(path), "old image");
  EXPECT_EQ(FilesIn(folder).size(), 1u);
}

TEST_F(BmpWriterTest, HeaderThatNoDecoderCouldShowIsRefused) {
  EXPECT_EQ(write(Dib(0, 5, 24).handle(64), path), 1);
  EXPECT_EQ(write(Dib(5, 5, 7).handle(64), path), 1);
  EXPECT_FALSE(PathExists(path));
}

// The old file is in use: the new one cannot take its place, so the old one stays as it was
// and no partial or temporary file is left behind.
TEST_F(BmpWriterTest, FailedReplaceKeepsTheOldFileAndLeavesNothingElse) {
  WriteFileBytes(path, "old image");
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE inUse = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
  EXPECT_EQ(write(Dib(10, 2, 8).handle(), path), 1);
  CloseHandle(inUse);
  EXPECT_EQ(ReadFileBytes(path), "old image");
  EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{L"image.bmp"});
}

TEST_F(BmpWriterTest, FolderAtThePathIsNotReplaced) {
  CreateDirectoryW(path.c_str(), nullptr);
  EXPECT_EQ(write(Dib(10, 2, 8).handle(), path), 1);
  EXPECT_TRUE(FilesIn(folder).empty());
}
