#include "CapabilityContainer.h"

#include <cstdio>
#include <cstring>

namespace {

// The bytes one item takes in an enumeration; 0 for the types the program does not read.
std::size_t ItemBytes(TW_UINT16 itemType) {
  switch (itemType) {
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL:
      return 2;
    case TWTY_FIX32:
      return 4;
    default:
      return 0;
  }
}

template <typename Record>
bool Holds(std::size_t length, Record& record, const std::uint8_t* bytes) {
  if (!bytes || length < sizeof record) return false;
  std::memcpy(&record, bytes, sizeof record);
  return true;
}

ContainerReading FromEnumeration(const std::uint8_t* bytes, std::size_t length, CurrentItem& current) {
  TW_ENUMERATION header;
  constexpr std::size_t headerBytes = offsetof(TW_ENUMERATION, ItemList);
  if (!bytes || length < headerBytes) return ContainerReading::Malformed;
  std::memcpy(&header, bytes, headerBytes);
  current.itemType = header.ItemType;
  const std::size_t itemBytes = ItemBytes(header.ItemType);
  if (itemBytes == 0) return ContainerReading::ItemTypeNotRead;
  if (header.CurrentIndex >= header.NumItems || header.CurrentIndex >= (length - headerBytes) / itemBytes)
    return ContainerReading::Malformed;
  current.item = 0;
  std::memcpy(&current.item, bytes + headerBytes + header.CurrentIndex * itemBytes, itemBytes);
  return ContainerReading::Read;
}

}  // namespace

ContainerReading ReadCurrentItem(TW_UINT16 conType, const std::uint8_t* bytes, std::size_t length,
                                 CurrentItem& current) {
  CurrentItem read;
  switch (conType) {
    case TWON_ONEVALUE: {
      TW_ONEVALUE oneValue;
      if (!Holds(length, oneValue, bytes)) return ContainerReading::Malformed;
      read = {oneValue.ItemType, oneValue.Item};
      break;
    }
    case TWON_RANGE: {
      TW_RANGE range;
      if (!Holds(length, range, bytes)) return ContainerReading::Malformed;
      read = {range.ItemType, range.CurrentValue};
      break;
    }
    case TWON_ENUMERATION: {
      const ContainerReading reading = FromEnumeration(bytes, length, read);
      if (reading != ContainerReading::Read) {
        current.itemType = read.itemType;
        return reading;
      }
      break;
    }
    default:
      return ContainerReading::NoCurrentValue;
  }
  current.itemType = read.itemType;
  if (ItemBytes(read.itemType) == 0) return ContainerReading::ItemTypeNotRead;
  current.item = read.item;
  return ContainerReading::Read;
}

std::wstring UnreadableAnswerText(TW_UINT16 capability, ContainerReading reading, TW_UINT16 conType,
                                  TW_UINT16 itemType) {
  wchar_t text[160];
  const wchar_t* start = L"The source answered DAT_CAPABILITY MSG_GET for capability";
  switch (reading) {
    case ContainerReading::NoCurrentValue:
      std::swprintf(text, 160, L"%ls 0x%04X in a container of type %u, which holds no current value.", start,
                    static_cast<unsigned>(capability), static_cast<unsigned>(conType));
      break;
    case ContainerReading::ItemTypeNotRead:
      std::swprintf(text, 160, L"%ls 0x%04X with items of type %u, which the program does not read.", start,
                    static_cast<unsigned>(capability), static_cast<unsigned>(itemType));
      break;
    default:
      std::swprintf(text, 160, L"%ls 0x%04X without a container that holds what it says.", start,
                    static_cast<unsigned>(capability));
      break;
  }
  return text;
}
