// One-value capabilities and the scan frame. Every container lives within one call.
#include <cstring>
#include <cwchar>

#include "Dsm.h"
#include "Guarded.h"
#include "PressFailure.h"
#include "TwainMemory.h"
#include "mdlTwain.h"

namespace {

TW_UINT16 CallSource(TW_UINT32 dataGroup, TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data) {
  return CallDsm(&AppIdentity, &SourceIdentity, dataGroup, dataType, message, data);
}

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

// The value that a one-value container of this type holds; false for a type not handled.
bool ValueFrom(TW_UINT16 itemType, TW_UINT32 item, CapabilityValue& value) {
  switch (itemType) {
    case TWTY_INT16:
      value = static_cast<std::int16_t>(static_cast<std::uint16_t>(item & 0xFFFFu));
      return true;
    case TWTY_UINT16:
    case TWTY_BOOL:
      value = LongFromUInt16(static_cast<TW_UINT16>(item & 0xFFFFu));
      return true;
    case TWTY_FIX32:
      value = FloatFromFix32(Fix32FromItem(item));
      return true;
    default:
      return false;
  }
}

bool FitsInt16(std::int32_t number) { return number >= -32768 && number <= 32767; }

std::int32_t Unreadable(TW_UINT16 capability) {
  wchar_t text[112];
  swprintf(text, 112,
           L"The source answered DAT_CAPABILITY MSG_GET for capability 0x%04X without a one-value container.",
           static_cast<unsigned>(capability));
  NotePressFailure(1, text);
  return 1;
}

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
    TW_ONEVALUE oneValue = {};
    {
      TwainMemoryLock lock(container.get());
      if (!lock.get() || GlobalSize(container.get()) < sizeof(TW_ONEVALUE)) return Unreadable(record.Cap);
      std::memcpy(&oneValue, lock.get(), sizeof oneValue);
    }
    ValueFrom(oneValue.ItemType, oneValue.Item, value);  // an unhandled type leaves the value as it was
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
