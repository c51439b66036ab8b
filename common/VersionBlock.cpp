#include "VersionBlock.h"

namespace {

// A node: wLength, wValueLength, wType, its key (UTF-16, ended by a zero), padding to 32 bits,
// its value, padding, then its children up to wLength.
struct Node {
  std::size_t start, end, keyStart, keyUnits, valueStart, valueBytes, childrenStart;
  bool text;
};

std::uint16_t Word(const std::uint8_t* block, std::size_t at) {
  return static_cast<std::uint16_t>(block[at] | block[at + 1] << 8);
}

std::size_t Aligned(std::size_t offset) { return (offset + 3) & ~std::size_t(3); }

bool ReadNode(const std::uint8_t* block, std::size_t limit, std::size_t start, Node& node) {
  if (start + 6 > limit) return false;
  const std::size_t length = Word(block, start), valueLength = Word(block, start + 2);
  if (length < 6 || start + length > limit) return false;
  node.start = start;
  node.end = start + length;
  node.text = Word(block, start + 4) == 1;
  node.keyStart = start + 6;
  std::size_t at = node.keyStart;
  while (at + 2 <= node.end && Word(block, at) != 0) at += 2;
  if (at + 2 > node.end) return false;
  node.keyUnits = (at - node.keyStart) / 2;
  node.valueStart = Aligned(at + 2);
  node.valueBytes = node.text ? valueLength * 2 : valueLength;
  if (node.valueStart + node.valueBytes > node.end)
    node.valueBytes = node.end > node.valueStart ? node.end - node.valueStart : 0;
  node.childrenStart = Aligned(node.valueStart + node.valueBytes);
  return true;
}

bool KeyIs(const std::uint8_t* block, const Node& node, const char16_t* key) {
  std::size_t i = 0;
  for (; key[i]; ++i)
    if (i >= node.keyUnits || Word(block, node.keyStart + 2 * i) != key[i]) return false;
  return i == node.keyUnits;
}

bool Search(const std::uint8_t* block, const Node& parent, const char16_t* key, bool inStrings, int depth,
            std::size_t& offset, std::size_t& units) {
  if (depth > 3) return false;
  Node child = {};
  for (std::size_t at = parent.childrenStart; at < parent.end && ReadNode(block, parent.end, at, child);
       at = Aligned(child.end)) {
    if (inStrings && child.text && KeyIs(block, child, key)) {
      units = child.valueBytes / 2;
      while (units > 0 && Word(block, child.valueStart + 2 * (units - 1)) == 0) --units;
      offset = child.valueStart;
      return true;
    }
    if (Search(block, child, key, inStrings || KeyIs(block, child, u"StringFileInfo"), depth + 1, offset, units))
      return true;
  }
  return false;
}

}  // namespace

bool FindVersionString(const std::uint8_t* block, std::size_t size, const char16_t* key, std::size_t& offset,
                       std::size_t& units) {
  Node root = {};
  if (!block || !ReadNode(block, size, 0, root) || !KeyIs(block, root, u"VS_VERSION_INFO")) return false;
  return Search(block, root, key, false, 1, offset, units);
}

bool ReadFixedFileVersion(const std::uint8_t* block, std::size_t size, unsigned (&version)[4]) {
  // wLength, wValueLength, wType, u"VS_VERSION_INFO" with its zero, padding to 32 bits.
  const std::size_t fixed = Aligned(3 * 2 + sizeof(u"VS_VERSION_INFO"));
  constexpr std::size_t FixedBytes = 52;
  auto doubleWord = [&](std::size_t at) {
    return static_cast<std::uint32_t>(Word(block, fixed + at)) | static_cast<std::uint32_t>(Word(block, fixed + at + 2))
                                                                     << 16;
  };
  if (!block || size < fixed + FixedBytes || doubleWord(0) != 0xFEEF04BD) return false;
  const std::uint32_t high = doubleWord(8), low = doubleWord(12);
  version[0] = high >> 16, version[1] = high & 0xFFFF, version[2] = low >> 16, version[3] = low & 0xFFFF;
  return true;
}
