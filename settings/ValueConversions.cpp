#include "ValueConversions.h"

#include <windows.h>

namespace {

std::wstring LocaleText(LCID locale, LCTYPE item, const wchar_t* fallback) {
  wchar_t text[16] = {};
  const int length = GetLocaleInfoW(locale, item, text, 16);
  return length > 1 ? std::wstring(text, static_cast<size_t>(length - 1)) : std::wstring(fallback);
}

std::int16_t ValueOrThrow(const ConvertedInt16& converted) {
  if (converted.ErrorNumber == ErrOverflow) throw OverflowError();
  if (converted.ErrorNumber != 0) throw TypeMismatchError();
  return converted.Value;
}

}  // namespace

NumberSymbols NumberSymbolsOf(std::uint32_t localeId) {
  NumberSymbols symbols;
  symbols.DecimalSeparator = LocaleText(localeId, LOCALE_SDECIMAL, L".");
  symbols.GroupSeparator = LocaleText(localeId, LOCALE_STHOUSAND, L"");
  symbols.NegativeSign = LocaleText(localeId, LOCALE_SNEGATIVESIGN, L"-");
  // Most locales leave the positive sign empty; "+" is accepted anyway.
  symbols.PositiveSign = LocaleText(localeId, LOCALE_SPOSITIVESIGN, L"+");
  return symbols;
}

NumberSymbols UserNumberSymbols() { return NumberSymbolsOf(LOCALE_USER_DEFAULT); }

std::int16_t TextToInt16(const std::wstring& text) { return ValueOrThrow(ParseInt16(text, UserNumberSymbols())); }

std::int16_t TextToTruth(const std::wstring& text) { return ValueOrThrow(ParseTruth(text, UserNumberSymbols())); }
