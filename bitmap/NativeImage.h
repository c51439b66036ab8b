// The image of a native transfer, in the form the source handed it over: the packed DIB in global
// memory that TWAIN prescribes, or a bitmap handle of a DIB section, as some drivers give instead.
// Each is freed the way it was made.
#pragma once

#include <windows.h>

#include <string>

#include "../common/Handles.h"
#include "../twain/TwainMemory.h"
#include "../twain/TwainTypes.h"

struct NativeImage {
  UniqueTwainMemory dib;    // a packed DIB, freed through the manager's free
  UniqueGdiObject section;  // a DIB section, freed with DeleteObject
  explicit operator bool() const { return dib || section; }
};

// Takes the handle that a native transfer wrote, whichever form it is in. False for a handle that
// is neither, which is left alone (nothing says how it would be freed), with what it is in words.
bool TakeNativeImage(TW_UINTPTR handle, NativeImage& image, std::wstring& found);
