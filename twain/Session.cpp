// The manager connection: no manager -> manager open (message window exists) -> source open,
// and back, each step taken only from the state it leaves.
#include <cstring>
#include <vector>

#include "../common/Handles.h"
#include "../common/WinText.h"
#include "Dsm.h"
#include "Guarded.h"
#include "TwainMemory.h"
#include "mdlTwain.h"

TW_IDENTITY AppIdentity;
TW_IDENTITY SourceIdentity;
HWND MessageWindow = nullptr;
HWND MessageWindowOwner = nullptr;

namespace {

// Copies as many bytes as the text has characters; the zeroed record supplies the terminator.
void CopyIdentityText(char (&field)[34], const std::wstring& text) {
  const std::string ansi = ToAnsi(text);
  std::memcpy(field, ansi.data(), ansi.size() < sizeof field - 1 ? ansi.size() : sizeof field - 1);
}

// To the 2.x manager the program says that it speaks TWAIN 2.4 (and keeps its memory rules); to a
// 1.x manager, TWAIN 1.9 as ever.
void RebuildAppIdentity(bool twain2) {
  std::memset(&AppIdentity, 0, sizeof AppIdentity);
  AppIdentity.Version.MajorNum = 1;
  AppIdentity.Version.MinorNum = 0;
  AppIdentity.Version.Language = TWLG_ENGLISH;
  AppIdentity.Version.Country = TWCY_UNITEDKINGDOM;
  AppIdentity.ProtocolMajor = twain2 ? 2 : 1;
  AppIdentity.ProtocolMinor = twain2 ? 4 : 9;
  AppIdentity.SupportedGroups = DG_CONTROL | DG_IMAGE | (twain2 ? DF_APP2 : 0);
  CopyIdentityText(AppIdentity.Manufacturer, L"Qorv");
  CopyIdentityText(AppIdentity.ProductFamily, L"QX Module");
  CopyIdentityText(AppIdentity.ProductName, L"QX Module for TWAIN");
}

TW_UINT16 CallManager(TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data) {
  return CallDsm(&AppIdentity, nullptr, DG_CONTROL, dataType, message, data);
}

// A manager that answers as a 2.x one hands out its memory functions, which every container and
// image of this connection then goes through. Should it not, global memory serves, as it is what
// the manager's functions give on Windows, and the press goes on.
void TakeManagerMemory() {
  UseManagerMemory(nullptr);
  if (!(AppIdentity.SupportedGroups & DF_DSM2)) return;
  TW_ENTRYPOINT entry = {};
  entry.Size = sizeof entry;
  if (CallManager(DAT_ENTRYPOINT, MSG_GET, &entry) == TWRC_SUCCESS)
    UseManagerMemory(&entry);
  else
    ForgetPressFailure();
}

}  // namespace

TW_UINT16 CallSource(TW_UINT32 dataGroup, TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data) {
  return CallDsm(&AppIdentity, &SourceIdentity, dataGroup, dataType, message, data);
}

std::int32_t OpenSourceManager() {
  return Guarded([] {
    // A session that an earlier press could not close is closed first, as far as its source lets.
    if (SessionState() > TwainState::ManagerLoaded && UnwindSession(TwainState::ManagerLoaded) != 0) return 1;
    // The system's dialog class; the window is never shown and has no procedure of ours. Owned
    // across processes, never a child: a child would tie the owner's input to this thread's.
    UniqueWindow window(CreateWindowExA(0, "#32770", "TWAIN_MSG_WINDOW", 0, 10, 10, 150, 50, MessageWindowOwner,
                                        nullptr, nullptr, nullptr));
    if (!window) return 1;
    MessageWindow = window.get();
    RebuildAppIdentity(ManagerIsTwain2());
    if (CallManager(DAT_PARENT, MSG_OPENDSM, &MessageWindow) != TWRC_SUCCESS) return 1;  // the window goes
    window.release();  // now CloseSourceManager's to destroy
    TakeManagerMemory();
    return 0;
  });
}

std::int32_t CloseSourceManager() {
  // With a source still open the manager would close it behind the program's back, out of turn.
  if (SessionState() != TwainState::ManagerOpen) return 1;
  if (CallManager(DAT_PARENT, MSG_CLOSEDSM, &MessageWindow) != TWRC_SUCCESS) return 1;  // still its parent
  const bool destroyed = DestroyWindow(MessageWindow) != FALSE;
  MessageWindow = nullptr;
  return destroyed ? 0 : 1;
}

std::int32_t OpenDefaultSource() {
  // An empty identity asks the manager for its current default source.
  std::memset(&SourceIdentity, 0, sizeof SourceIdentity);
  return CallManager(DAT_IDENTITY, MSG_OPENDS, &SourceIdentity) == TWRC_SUCCESS ? 0 : 1;
}

std::int32_t CloseSource() {
  if (SessionState() != TwainState::SourceOpen) return 1;
  return CallManager(DAT_IDENTITY, MSG_CLOSEDS, &SourceIdentity) == TWRC_SUCCESS ? 0 : 1;
}

std::int32_t UnwindSession(TwainState downTo) {
  return Guarded([downTo] {
    // Each step once, from the state the one before left; a step refused leaves the session there.
    auto below = [downTo](TwainState state) { return SessionState() == state && downTo < state; };
    if (SessionState() >= TwainState::TransferReady && downTo < TwainState::TransferReady) EndTransfer();
    if (below(TwainState::TransferReady)) DiscardPendingTransfers();
    if (below(TwainState::SourceEnabled)) DisableSource();
    if (below(TwainState::SourceOpen)) CloseSource();
    if (below(TwainState::ManagerOpen)) CloseSourceManager();
    return SessionState() <= downTo ? 0 : 1;
  });
}

std::int32_t SelectSource() {
  return Guarded([] {
    if (OpenSourceManager() != 0) return 1;
    const std::int32_t chosen = ChooseInManagersList();
    const std::int32_t closed = CloseSourceManager();
    return chosen == 0 && closed == 0 ? 0 : 1;
  });
}

std::int32_t ChooseInManagersList() {
  if (SessionState() != TwainState::ManagerOpen) return 1;
  // Not cleared: the manager may preselect the source opened last.
  return CallManager(DAT_IDENTITY, MSG_USERSELECT, &SourceIdentity) == TWRC_SUCCESS ? 0 : 1;
}

std::int32_t ListSources(std::vector<TW_IDENTITY>& sources, TW_UINT32& defaultId) {
  return Guarded([&sources, &defaultId] {
    sources.clear();
    defaultId = 0;
    if (SessionState() != TwainState::ManagerOpen) return 1;
    TW_IDENTITY source = {};
    for (TW_UINT16 message = MSG_GETFIRST;; message = MSG_GETNEXT) {
      std::memset(&source, 0, sizeof source);
      const TW_UINT16 answer = CallManager(DAT_IDENTITY, message, &source);
      if (answer == TWRC_ENDOFLIST) break;
      if (answer != TWRC_SUCCESS) return 1;
      sources.push_back(source);
    }
    // No default, as with no sources, leaves none marked.
    std::memset(&source, 0, sizeof source);
    if (!sources.empty() && CallManager(DAT_IDENTITY, MSG_GETDEFAULT, &source) == TWRC_SUCCESS)
      defaultId = source.Id;
    else
      ForgetPressFailure();
    return 0;
  });
}

std::int32_t MakeDefaultSource(TW_IDENTITY source) {
  if (SessionState() != TwainState::ManagerOpen) return 1;
  return CallManager(DAT_IDENTITY, MSG_SET, &source) == TWRC_SUCCESS ? 0 : 1;
}
