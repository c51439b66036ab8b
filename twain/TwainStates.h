// TWAIN's seven states as the application sees them, and which call's answer leads where. The
// session keeps its state by these rules, so that it never makes a call that a source refuses as
// out of sequence, and unwinds from wherever a failure leaves it. Free of Win32.
#pragma once

#include "TwainTypes.h"

enum class TwainState {
  PreSession = 1,     // the manager not loaded
  ManagerLoaded = 2,  // loaded, not open
  ManagerOpen = 3,
  SourceOpen = 4,  // capabilities are negotiated here
  SourceEnabled = 5,
  TransferReady = 6,  // an image, or pages in the feeder, wait to be transferred
  Transferring = 7,   // a transfer has ended and must be acknowledged
};

// One call as it went: what was asked, the answer, and what the answer's record says (the pages
// still pending after an end of transfer, the notification that came with an event).
struct TwainCallOutcome {
  TW_UINT16 dataType = 0;
  TW_UINT16 message = 0;
  TW_UINT16 returnCode = TWRC_FAILURE;
  TW_UINT16 pendingCount = 0;
  TW_UINT16 notification = MSG_NULL;
};

TwainState StateAfter(TwainState state, const TwainCallOutcome& call);
