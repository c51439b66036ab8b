// The writer's sizes for a header and a block of any size: no read outside the first 40 bytes,
// no overflow, and whenever the writer would write, a file that an independent reader accepts.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../../bitmap/BmpLayout.h"
#include "BmpDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < static_cast<std::size_t>(BitmapInfoHeaderBytes)) return 0;
  DibLayout layout = {};
  if (!ComputeDibLayout(data, layout)) return 0;
  // The writer refuses a block shorter than the header claims.
  if (static_cast<std::size_t>(layout.dibSize) > size) return 0;
  std::uint8_t fileHeader[BitmapFileHeaderBytes];
  if (!BuildFileHeader(layout, fileHeader)) return 0;
  std::vector<std::uint8_t> file(fileHeader, fileHeader + BitmapFileHeaderBytes);
  file.insert(file.end(), data, data + layout.dibSize);
  if (!DecodableBmp(file)) __builtin_trap();
  return 0;
}
