// The current value of a capability in the container that a source answers MSG_GET with: a
// one-value, an enumeration (its current item) or a range (its current value), of the item types
// the program reads. Free of Win32, so that any bytes a source hands over can be fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "TwainTypes.h"

enum class ContainerReading { Read, NoCurrentValue, ItemTypeNotRead, Malformed };

struct CurrentItem {
  TW_UINT16 itemType = 0;
  TW_UINT32 item = 0;  // as a one-value container holds it: the value in its low bytes
};

// Reads the current item of a container of conType from its bytes.
ContainerReading ReadCurrentItem(TW_UINT16 conType, const std::uint8_t* bytes, std::size_t length,
                                 CurrentItem& current);

// Why a capability's answer could not be read, for the error log.
std::wstring UnreadableAnswerText(TW_UINT16 capability, ContainerReading reading, TW_UINT16 conType,
                                  TW_UINT16 itemType);
