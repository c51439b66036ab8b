#include "PressFailure.h"

#include <cstdio>
#include <utility>

#include "../guard/CallSteps.h"

namespace {

AcquisitionFailure Noted;

std::wstring NameOr(const wchar_t* name, unsigned number) {
  if (name) return name;
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%04X", number);
  return text;
}

}  // namespace

void ForgetPressFailure() { Noted = {}; }

void NotePressFailure(std::int32_t number, std::wstring description) {
  if (Noted.description.empty()) Noted = {number, std::move(description)};
}

AcquisitionFailure LastAcquisitionFailure() { return Noted; }

std::wstring RefusedCallText(TW_UINT16 dataType, TW_UINT16 message, int capability, TW_UINT16 returnCode) {
  std::wstring text =
      L"TWAIN refused " + NameOr(DataTypeName(dataType), dataType) + L" " + NameOr(MessageName(message), message);
  wchar_t number[48];
  if (capability >= 0) {
    std::swprintf(number, 48, L" for capability 0x%04X", static_cast<unsigned>(capability));
    text += number;
  }
  std::swprintf(number, 48, L" (return code %u)", static_cast<unsigned>(returnCode));
  text += number;
  const wchar_t* step = StepName(StepOfCall(dataType, message));
  return text + (*step ? L", at " + std::wstring(step) : std::wstring()) + L".";
}
