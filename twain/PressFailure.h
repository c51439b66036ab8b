// Why a press saved no image, in words for the error log: the first failure noted since the press
// began (a refused call, a missing manager, a file that could not be written), so that the calls
// that close everything after it do not hide it. Free of Win32.
#pragma once

#include <cstdint>
#include <string>

#include "TwainTypes.h"

struct AcquisitionFailure {
  std::int32_t number = 0;   // the TWAIN return code, or the Win32 error
  std::wstring description;  // empty: nothing failed
};

// A press begins; also after a refusal that the press goes past (a bit depth the source keeps).
void ForgetPressFailure();
// Noted unless an earlier failure of the press is.
void NotePressFailure(std::int32_t number, std::wstring description);
AcquisitionFailure LastAcquisitionFailure();

// "TWAIN refused DAT_CAPABILITY MSG_SET for capability 0x1118 (return code 1), at negotiation."
// A capability below 0 is left out.
std::wstring RefusedCallText(TW_UINT16 dataType, TW_UINT16 message, int capability, TW_UINT16 returnCode);
