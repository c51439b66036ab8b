// The tests' stand-in for the image name provider: the release provider's plumbing with an
// answer that tests script through values under HKCU\Software\Zembrolite\Tests\NameProvider:
//   Text (string)   answer this text
//   Fail (DWORD)    fail with this HRESULT, reported as an automation exception
// With none of them set it answers as the release provider does.
#include <windows.h>

#include "../../namer/NameAnswer.h"
#include "../../namer/StationNames.h"

namespace {

const wchar_t ScriptKey[] = L"Software\\Zembrolite\\Tests\\NameProvider";

bool ReadValue(const wchar_t* name, DWORD type, void* data, DWORD size) {
  DWORD found = 0;
  return RegGetValueW(HKEY_CURRENT_USER, ScriptKey, name, type == REG_SZ ? RRF_RT_REG_SZ : RRF_RT_REG_DWORD, &found,
                      data, &size) == ERROR_SUCCESS;
}

}  // namespace

HRESULT AnswerNextName(VARIANT* result, EXCEPINFO* exception) {
  DWORD value = 0;
  wchar_t text[1024] = L"";
  if (ReadValue(L"Fail", REG_DWORD, &value, sizeof value)) return AnswerFailure(static_cast<HRESULT>(value), exception);
  if (ReadValue(L"Text", REG_SZ, text, sizeof text)) return AnswerText(result, text);
  return AnswerText(result, NextStationName(StationSetup()));
}
