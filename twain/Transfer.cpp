// One image from the open source: enable it, offer the thread's messages to it until it has an
// image ready or asks to be closed, take one native transfer, end it and disable the source.
#include <atomic>
#include <cstring>

#include "../common/KeptQuit.h"
#include "Dsm.h"
#include "Guarded.h"
#include "PressFailure.h"
#include "TwainMemory.h"
#include "mdlTwain.h"

namespace {

std::atomic<bool> CancelRequested{false};
// The record of the enable call, which the disable call takes again.
TW_USERINTERFACE EnabledInterface = {};

enum class PumpEnd { ImageReady, CloseRequested, Failed };

// A quit message that arrives while the source works ends the wait as a request to close: the
// program is ending, and no image is ready to be asked for. It is handed back to the thread once
// the transfer is over.
PumpEnd Pump(KeptQuit& quit) {
  MSG message = {};
  TW_EVENT event;
  for (;;) {
    // Asked to close, the pump still offers the source what is already queued, so that the session
    // learns of an image made ready meanwhile and unwinds from that state.
    if (CancelRequested && !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) return PumpEnd::CloseRequested;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) return PumpEnd::Failed;  // would repeat for ever
    if (got == 0) {
      quit.seen = true;
      quit.exitCode = message.wParam;
      return PumpEnd::CloseRequested;
    }
    std::memset(&event, 0, sizeof event);
    event.pEvent = &message;
    const TW_UINT16 answer = CallSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    if (event.TWMessage == MSG_XFERREADY) return CancelRequested ? PumpEnd::CloseRequested : PumpEnd::ImageReady;
    if (event.TWMessage == MSG_CLOSEDSREQ) return PumpEnd::CloseRequested;
    // A message that the source consumed has been handled by it (its dialog's keys, clicks);
    // handled a second time, a click would press twice and a typed key appear twice.
    if (answer == TWRC_DSEVENT) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

void RequestTransferCancel(unsigned long pressThread) {
  CancelRequested = true;
  // Wakes the pump if it is waiting for a message.
  PostThreadMessageW(pressThread, WM_NULL, 0, 0);
}

bool TransferCancelRequested() { return CancelRequested; }

std::int32_t EndTransfer() {
  TW_PENDINGXFERS pending;
  std::memset(&pending, 0, sizeof pending);
  return CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) == TWRC_SUCCESS ? 0 : 1;
}

std::int32_t DiscardPendingTransfers() {
  TW_PENDINGXFERS pending;
  std::memset(&pending, 0, sizeof pending);
  return CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending) == TWRC_SUCCESS ? 0 : 1;
}

std::int32_t DisableSource() {
  return CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &EnabledInterface) == TWRC_SUCCESS ? 0 : 1;
}

std::int32_t TransferImage(bool showUI, NativeImage& image) {
  image = NativeImage();
  NativeImage received;
  KeptQuit quit;
  return Guarded([&] {
    EnabledInterface = {static_cast<TW_BOOL>(showUI ? 1 : 0), 1, MessageWindow};
    if (CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &EnabledInterface) != TWRC_SUCCESS) return 1;

    const PumpEnd end = Pump(quit);
    TW_UINT16 transfer = TWRC_FAILURE;
    if (end == PumpEnd::ImageReady) {
      // Zero in full: a source written for 32 bits writes only the low half of the handle.
      TW_UINTPTR handle = 0;
      static_assert(sizeof handle == sizeof(HGLOBAL), "the native transfer's handle is as wide as a pointer");
      transfer = CallSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
      std::wstring found;
      if (handle != 0 && !TakeNativeImage(handle, received, found))
        NotePressFailure(ERROR_INVALID_DATA,
                         L"The source handed over an image the program cannot read: " + found + L".");
      else if (transfer == TWRC_XFERDONE && handle == 0)
        NotePressFailure(TWRC_XFERDONE, L"The source reported the transfer done without handing over an image.");
    }
    // Pages still pending after this one, or left in the feeder by a jam, are discarded: one press
    // takes one image.
    if (UnwindSession(TwainState::SourceOpen) != 0) return 1;
    if (end == PumpEnd::Failed) return 1;
    // Asked to close, or cancelled in the source's own window: the operator's choice, no image.
    if (end == PumpEnd::CloseRequested || transfer == TWRC_CANCEL) return 0;
    if (transfer != TWRC_XFERDONE || !received) return 1;
    image = std::move(received);
    return 0;
  });
}
