// Capabilities set as one value and read in any container that holds a current value, and the scan
// frame. Every container lives within one call.
#include <cstring>
#include <cwchar>

#include "CapabilityContainer.h"
#include "Dsm.h"
#include "Guarded.h"
#include "PressFailure.h"
#include "TwainMemory.h"
#include "mdlTwain.h"

namespace {

double AsDouble(const CapabilityValue& value) {
  return std::visit([](auto number) { return static_cast<double>(number); }, value);
}

// The 4 bytes of Item for a value of the given type; false when the value does not fit.
bool ItemFor(std::int32_t itemType, const CapabilityValue& value, TW_UINT32& item) {
  item = 0;
  switch (itemType) {
    case TWTY_INT16: {
      std::int16_t number = 0;
      if (!RoundToInt16(AsDouble(value), number)) return false;
      item = static_cast<std::uint16_t>(number);
      return true;
    }
    case TWTY_UINT16:
    case TWTY_BOOL: {
      std::int32_t number = 0;
      TW_UINT16 bits = 0;
      if (!RoundToInt32(AsDouble(value), number) || UInt16FromLong(number, bits) != 0) return false;
      item = bits;
      return true;
    }
    case TWTY_FIX32: {
      // A 16- or 32-bit integer is first taken as a 32-bit float, as the callers hold it.
      TW_FIX32 fixed = {};
      if (Fix32FromFloat(static_cast<float>(AsDouble(value)), fixed) != 0) return false;
      item = ItemFromFix32(fixed);
      return true;
    }
    default:
      return true;  // no caller sets another type; Item stays 0
  }
}

// The value of an item of a type that ReadCurrentItem reads.
CapabilityValue ValueFrom(const CurrentItem& current) {
  switch (current.itemType) {
    case TWTY_INT16:
      return static_cast<std::int16_t>(static_cast<std::uint16_t>(current.item & 0xFFFFu));
    case TWTY_FIX32:
      return FloatFromFix32(Fix32FromItem(current.item));
    default:  // TWTY_UINT16, TWTY_BOOL
      return LongFromUInt16(static_cast<TW_UINT16>(current.item & 0xFFFFu));
  }
}

bool FitsInt16(std::int32_t number) { return number >= -32768 && number <= 32767; }

}  // namespace

std::int32_t SetCapability(std::int32_t capability, std::int32_t itemType, CapabilityValue value) {
  return Guarded([&] {
    if (!FitsInt16(capability) || !FitsInt16(itemType)) return 1;
    TW_UINT32 item = 0;
    if (!ItemFor(itemType, value, item)) return 1;

    UniqueTwainMemory container(AllocateTwainMemory(sizeof(TW_ONEVALUE)));
    if (!container) return 1;
    {
      TwainMemoryLock lock(container.get());
      if (!lock.get()) return 1;
      TW_ONEVALUE oneValue = {static_cast<TW_UINT16>(itemType), item};
      std::memcpy(lock.get(), &oneValue, sizeof oneValue);
    }
    TW_CAPABILITY record = {static_cast<TW_UINT16>(capability), TWON_ONEVALUE, container.get()};
    // The container stays ours whatever the source answers, and is freed on leaving.
    return CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &record) == TWRC_SUCCESS ? 0 : 1;
  });
}

std::int32_t GetCapability(std::int32_t capability, CapabilityValue& value) {
  return Guarded([&] {
    if (!FitsInt16(capability)) return 1;
    TW_CAPABILITY record = {static_cast<TW_UINT16>(capability), TWON_ONEVALUE, nullptr};
    if (CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &record) != TWRC_SUCCESS) return 1;

    // The source allocated the container; it is ours to free from here, whatever it holds.
    UniqueTwainMemory container(static_cast<HGLOBAL>(record.hContainer));
    CurrentItem current;
    ContainerReading reading = ContainerReading::Malformed;
    {
      TwainMemoryLock lock(container.get());
      if (lock.get())
        reading = ReadCurrentItem(record.ConType, static_cast<const std::uint8_t*>(lock.get()),
                                  GlobalSize(container.get()), current);
    }
    if (reading != ContainerReading::Read) {
      NotePressFailure(1, UnreadableAnswerText(record.Cap, reading, record.ConType, current.itemType));
      return 1;
    }
    value = ValueFrom(current);
    return 0;
  });
}

std::int32_t SetImageLayout(float left, float top, float right, float bottom) {
  return Guarded([&] {
    TW_IMAGELAYOUT layout;
    std::memset(&layout, 0, sizeof layout);
    if (Fix32FromFloat(left, layout.Frame.Left) != 0 || Fix32FromFloat(top, layout.Frame.Top) != 0 ||
        Fix32FromFloat(right, layout.Frame.Right) != 0 || Fix32FromFloat(bottom, layout.Frame.Bottom) != 0)
      return 1;
    const TW_UINT16 answer = CallSource(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
    // TWRC_CHECKSTATUS: the source took the frame with changes of its own.
    return answer == TWRC_SUCCESS || answer == TWRC_CHECKSTATUS ? 0 : 1;
  });
}
