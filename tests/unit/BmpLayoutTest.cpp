// Each kind of bitmap that a source may hand over, one packed DIB each (the seeds of the fuzzer):
// the .bmp file that the writer makes of it is one that the fuzzers' independent reader accepts.
// Headers of any bytes and sizes up to the format's limit are the fuzzer's.
#include "../../bitmap/BmpLayout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../fuzz/BmpDecoder.h"

TEST(BmpLayout, EachKindOfBitmapMakesAFileThatAnIndependentReaderAccepts) {
  for (const char* kind : {"bw1", "four4", "grey8", "rgb24", "fields16", "rle8", "topdown32", "v5"}) {
    SCOPED_TRACE(kind);
    std::ifstream seed(std::string(ZEMBROLITE_BITMAP_KINDS) + "/" + kind, std::ios::binary);
    const std::vector<std::uint8_t> dib((std::istreambuf_iterator<char>(seed)), std::istreambuf_iterator<char>());
    ASSERT_GE(dib.size(), static_cast<size_t>(BitmapInfoHeaderBytes));
    DibLayout layout = {};
    std::uint8_t header[BitmapFileHeaderBytes];
    ASSERT_TRUE(ComputeDibLayout(dib.data(), layout) && BuildFileHeader(layout, header));
    ASSERT_LE(layout.dibSize, dib.size());
    std::vector<std::uint8_t> file(header, header + BitmapFileHeaderBytes);
    file.insert(file.end(), dib.begin(), dib.begin() + layout.dibSize);
    EXPECT_TRUE(DecodableBmp(file));
  }
}
