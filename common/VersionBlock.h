// Strings of a version block (VS_VERSIONINFO) read straight from the bytes of a module's
// resource, as the last-chance handler must: without the system's version functions, which
// allocate. Free of Win32.
#pragma once

#include <cstddef>
#include <cstdint>

// Finds the text of a string such as "OriginalFilename" in the block's StringFileInfo: its start
// (in bytes from the block's start) and its length in UTF-16 units, without the ending zero.
// False when the block holds no such string or is damaged.
bool FindVersionString(const std::uint8_t* block, std::size_t size, const char16_t* key, std::size_t& offset,
                       std::size_t& units);

// Appends that string to any text type with append(size_t, wchar_t); false when missing.
template <typename Text>
bool AppendVersionString(Text& text, const std::uint8_t* block, std::size_t size, const char16_t* key) {
  std::size_t offset = 0, units = 0;
  if (!FindVersionString(block, size, key, offset, units)) return false;
  for (std::size_t i = 0; i < units; ++i)
    text.append(1, static_cast<wchar_t>(block[offset + 2 * i] | block[offset + 2 * i + 1] << 8));
  return true;
}

// The file version in the block's fixed part (VS_FIXEDFILEINFO, after the root's key), its four
// numbers major first; false when the block is too short for it or lacks its signature.
bool ReadFixedFileVersion(const std::uint8_t* block, std::size_t size, unsigned (&version)[4]);
