// One image from the open source: enable it, offer the thread's messages to it until it has an
// image ready or asks to be closed, take one native transfer, end it and disable the source.
#include <cstring>

#include "Dsm.h"
#include "Guarded.h"
#include "TwainMemory.h"
#include "mdlTwain.h"

namespace {

bool CancelRequested = false;

TW_UINT16 CallSource(TW_UINT32 dataGroup, TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data) {
  return CallDsm(&AppIdentity, &SourceIdentity, dataGroup, dataType, message, data);
}

enum class PumpEnd { ImageReady, CloseRequested, Failed };

// A quit message that arrives while the source works ends the wait; it is handed back to the
// thread once the transfer is over, so that the program's own loop still ends.
struct QuitSeen {
  bool seen = false;
  WPARAM exitCode = 0;
  ~QuitSeen() {
    if (seen) PostQuitMessage(static_cast<int>(exitCode));
  }
};

PumpEnd Pump(QuitSeen& quit) {
  MSG message = {};
  TW_EVENT event;
  for (;;) {
    if (CancelRequested) return PumpEnd::CloseRequested;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) return PumpEnd::Failed;  // would repeat for ever
    if (got == 0) {
      quit.seen = true;
      quit.exitCode = message.wParam;
      return PumpEnd::ImageReady;  // the transfer that follows decides
    }
    std::memset(&event, 0, sizeof event);
    event.pEvent = &message;
    const TW_UINT16 answer = CallSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    if (event.TWMessage == MSG_XFERREADY) return PumpEnd::ImageReady;
    if (event.TWMessage == MSG_CLOSEDSREQ) return PumpEnd::CloseRequested;
    // A message that the source consumed has been handled by it (its dialog's keys, clicks);
    // handled a second time, a click would press twice and a typed key appear twice.
    if (answer == TWRC_DSEVENT) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

void RequestTransferCancel() {
  CancelRequested = true;
  // Wakes the pump if it is waiting for a message.
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

bool TransferCancelRequested() { return CancelRequested; }

void ClearTransferCancel() { CancelRequested = false; }

std::int32_t TransferImage(bool showUI, HGLOBAL& image) {
  image = nullptr;
  UniqueTwainMemory received;
  QuitSeen quit;
  return Guarded([&] {
    TW_USERINTERFACE ui = {static_cast<TW_BOOL>(showUI ? 1 : 0), 1, MessageWindow};
    if (CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) return 1;

    TW_PENDINGXFERS pending;
    std::memset(&pending, 0, sizeof pending);
    const PumpEnd end = Pump(quit);
    if (end == PumpEnd::Failed) {
      CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
      return 1;
    }
    if (end == PumpEnd::ImageReady) {
      TW_UINTPTR handle = 0;  // the source writes its global-memory handle here
      const TW_UINT16 transfer = CallSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
      received.reset(reinterpret_cast<HGLOBAL>(handle));
      if (transfer != TWRC_XFERDONE) {
        CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        return 1;
      }
      if (CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS) {
        CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
        return 1;
      }
      // A source whose own interface can scan more pages keeps them pending and refuses to be
      // disabled until they are discarded; one press takes one image.
      if (pending.Count != 0) CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    }
    if (CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) != TWRC_SUCCESS) return 1;
    image = received.release();  // null when the source asked to be closed
    return 0;
  });
}
