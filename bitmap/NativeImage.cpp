#include "NativeImage.h"

#include <cstdio>

namespace {

std::wstring HandleText(TW_UINTPTR handle) {
  wchar_t text[32];
  std::swprintf(text, 32, L"0x%llX", static_cast<unsigned long long>(handle));
  return text;
}

}  // namespace

bool TakeNativeImage(TW_UINTPTR handle, NativeImage& image, std::wstring& found) {
  const auto given = reinterpret_cast<HANDLE>(handle);
  // A GDI object first: the global-memory functions are no place to ask about one.
  if (const DWORD kind = GetObjectType(given)) {
    DIBSECTION section = {};
    if (kind == OBJ_BITMAP && GetObjectW(given, sizeof section, &section) == sizeof section && section.dsBm.bmBits) {
      image.section.reset(given);
      return true;
    }
    found = kind == OBJ_BITMAP ? L"a bitmap that is no DIB section" : L"a GDI object of type " + std::to_wstring(kind);
    DeleteObject(given);  // handed over all the same, and freed as it was made
    return false;
  }
  if (GlobalSize(given) != 0) {
    image.dib.reset(given);
    return true;
  }
  found = L"handle " + HandleText(handle) + L", neither global memory nor a bitmap";
  return false;
}
