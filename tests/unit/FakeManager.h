// A scripted, in-process Data Source Manager for unit tests: it takes the real manager's place,
// records every call with the bytes of its data and answers what the test scripted.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <tuple>
#include <vector>

#include "../../twain/TwainTypes.h"

struct RecordedCall {
  TW_IDENTITY* origin;
  TW_IDENTITY* destination;
  TW_IDENTITY originAtCall;  // the origin's bytes when the call was made
  TW_UINT32 dataGroup;
  TW_UINT16 dataType;
  TW_UINT16 message;
  TW_MEMREF data;
  std::vector<std::uint8_t> dataBytes;       // the data record's bytes when the call was made
  std::vector<std::uint8_t> containerBytes;  // for a capability set: the container's first 6 bytes
  HGLOBAL container = nullptr;               // for a capability set or get: the container handle
  TW_UINT16 answer = TWRC_SUCCESS;

  bool is(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const {
    return dataGroup == dg && dataType == dat && message == msg;
  }
};

using Triplet = std::tuple<TW_UINT32, TW_UINT16, TW_UINT16>;

// The calls that the program makes, by name.
const Triplet OpenManager{DG_CONTROL, DAT_PARENT, MSG_OPENDSM};
const Triplet CloseManager{DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM};
const Triplet OpenSource{DG_CONTROL, DAT_IDENTITY, MSG_OPENDS};
const Triplet CloseSourceCall{DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS};
const Triplet ChooseSource{DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT};
const Triplet GetCap{DG_CONTROL, DAT_CAPABILITY, MSG_GET};
const Triplet SetCap{DG_CONTROL, DAT_CAPABILITY, MSG_SET};
const Triplet SetFrame{DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET};
const Triplet Enable{DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS};
const Triplet Disable{DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS};
const Triplet ProcessEvent{DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT};
const Triplet NativeTransfer{DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET};
const Triplet EndTransfer{DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER};
const Triplet ResetPending{DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET};
// Answers one call; it may fill the data as a manager or source would.
using ScriptedAnswer = std::function<TW_UINT16(TW_MEMREF data)>;

class FakeManager {
 public:
  FakeManager();
  ~FakeManager();
  FakeManager(const FakeManager&) = delete;
  FakeManager& operator=(const FakeManager&) = delete;

  // Every later call of this triplet gets this return code, or runs this answer.
  void answer(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 returnCode);
  void answer(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, ScriptedAnswer answer);

  const std::vector<RecordedCall>& calls() const { return calls_; }
  // The triplets in calling order.
  std::vector<Triplet> triplets() const;
  // The same without the process-event calls of the message pump.
  std::vector<Triplet> tripletsBesidesEvents() const;
  const RecordedCall* find(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const;

 private:
  static TW_UINT16 WINAPI Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                                TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 handle(RecordedCall call);

  std::vector<RecordedCall> calls_;
  std::map<Triplet, ScriptedAnswer> answers_;
};

// A container as a source hands it back from a capability get.
HGLOBAL MakeContainer(TW_UINT16 itemType, TW_UINT32 item, SIZE_T bytes = sizeof(TW_ONEVALUE));

// True while a global-memory handle is still allocated.
bool IsAllocated(HGLOBAL memory);
