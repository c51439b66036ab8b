// The steps of a press as the manager and the source see them, and the names of their calls, for
// the lines that the watchdog and the last-chance handler write. Free of Win32.
#pragma once

#include <cstdint>

#include "../twain/TwainTypes.h"

enum class PressStep { None, Open, Negotiation, Enable, Transfer, Close };

// The step that a call to the manager or the source belongs to. The pump's events belong to the
// enabled source's wait.
PressStep StepOfCall(TW_UINT16 dataType, TW_UINT16 message);
// "open", "negotiation", "enable", "transfer", "close"; "" for none.
const wchar_t* StepName(PressStep step);

// "DAT_IDENTITY" and "MSG_OPENDS"; for what the program never calls, null.
const wchar_t* DataTypeName(TW_UINT16 dataType);
const wchar_t* MessageName(TW_UINT16 message);
