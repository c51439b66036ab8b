#include "TwainStates.h"

namespace {

bool Succeeded(const TwainCallOutcome& call) { return call.returnCode == TWRC_SUCCESS; }

TwainState AfterPendingTransfers(TwainState state, const TwainCallOutcome& call) {
  if (!Succeeded(call)) return state;
  if (call.message == MSG_RESET) return TwainState::SourceEnabled;
  if (call.message == MSG_ENDXFER)
    return call.pendingCount != 0 ? TwainState::TransferReady : TwainState::SourceEnabled;  // -1: unknown, some
  return state;
}

}  // namespace

TwainState StateAfter(TwainState state, const TwainCallOutcome& call) {
  switch (call.dataType) {
    case DAT_PARENT:
      if (!Succeeded(call)) return state;
      if (call.message == MSG_OPENDSM) return TwainState::ManagerOpen;
      if (call.message == MSG_CLOSEDSM) return TwainState::ManagerLoaded;
      return state;
    case DAT_IDENTITY:
      if (!Succeeded(call)) return state;
      if (call.message == MSG_OPENDS) return TwainState::SourceOpen;
      if (call.message == MSG_CLOSEDS) return TwainState::ManagerOpen;
      return state;
    case DAT_USERINTERFACE:
      // TWRC_CHECKSTATUS: enabled, with the source's own interface after all.
      if (call.message == MSG_ENABLEDS && (Succeeded(call) || call.returnCode == TWRC_CHECKSTATUS))
        return TwainState::SourceEnabled;
      if (call.message == MSG_DISABLEDS && Succeeded(call)) return TwainState::SourceOpen;
      return state;
    case DAT_EVENT:
      return call.notification == MSG_XFERREADY && state == TwainState::SourceEnabled ? TwainState::TransferReady
                                                                                      : state;
    case DAT_IMAGENATIVEXFER:
      // Done or cancelled, the transfer must be acknowledged; a failed one leaves the page pending.
      return call.returnCode == TWRC_XFERDONE || call.returnCode == TWRC_CANCEL ? TwainState::Transferring : state;
    case DAT_PENDINGXFERS:
      return AfterPendingTransfers(state, call);
    default:
      return state;
  }
}
