#include "ValueConversions.h"

#include <windows.h>
#include <oleauto.h>

#include "ValueText.h"

namespace {

// Some SDKs declare the text parameter without const; the conversions only read it.
// The variant conversions of oleaut32 read the user's regional number format,
// round halves to even and report overflow separately from a malformed text.
AppError ConversionError(HRESULT result) { return result == DISP_E_OVERFLOW ? OverflowError() : TypeMismatchError(); }

}  // namespace

std::int16_t TextToInt16(const std::wstring& text) {
  SHORT value = 0;
  const HRESULT result = VarI2FromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_USER_DEFAULT, 0, &value);
  if (FAILED(result)) throw ConversionError(result);
  return value;
}

std::int16_t TextToTruth(const std::wstring& text) {
  VARIANT_BOOL value = VARIANT_FALSE;
  const HRESULT result = VarBoolFromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_USER_DEFAULT, 0, &value);
  if (FAILED(result)) throw ConversionError(result);
  return value != VARIANT_FALSE ? TruthTrue : TruthFalse;
}
