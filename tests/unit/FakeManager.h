// A scripted, in-process Data Source Manager for unit tests: it takes the real manager's place,
// records every call and answers what the test scripted (success otherwise).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "../../twain/TwainTypes.h"

// A call by its short name (OPENDSM CLOSEDSM OPENDS CLOSEDS USERSELECT GET SET FRAME ENABLE
// DISABLE EVENT XFER ENDXFER RESET) and its transcript entry: a capability with its number (and
// for a set its item type and item), the frame in inches, the enable with its ShowUI, "/rc"
// after any answer other than success, and "!" when the call did not come from AppIdentity or
// did not go to the source (none for the manager's own calls).
struct RecordedCall {
  std::string name, entry;
  TW_MEMREF data;
  std::vector<std::uint8_t> dataBytes;  // as they were when the call was made
  HGLOBAL container;                    // of a capability get or set
};

// Answers one call; it may fill the data as a manager or source would.
using ScriptedAnswer = std::function<TW_UINT16(TW_MEMREF data)>;

class FakeManager {
 public:
  FakeManager();
  ~FakeManager();
  FakeManager(const FakeManager&) = delete;
  FakeManager& operator=(const FakeManager&) = delete;

  void answer(const std::string& name, TW_UINT16 returnCode);
  void answer(const std::string& name, ScriptedAnswer answer);
  // The entries besides the pump's EVENTs, separated by blanks.
  std::string transcript() const;
  const RecordedCall* find(const std::string& name) const;
  std::vector<RecordedCall> calls;

 private:
  static TW_UINT16 WINAPI Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                                TW_UINT16 msg, TW_MEMREF data);
  std::map<std::string, ScriptedAnswer> answers_;
  FakeManager* previous_;  // a fake made inside a test takes the calls until it goes
};

// A container as a source hands it back from a capability get.
HGLOBAL MakeContainer(TW_UINT16 itemType, TW_UINT32 item, SIZE_T bytes = sizeof(TW_ONEVALUE));
bool IsAllocated(HGLOBAL memory);
