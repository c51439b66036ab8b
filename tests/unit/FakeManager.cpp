#include "FakeManager.h"

#include <cstdio>
#include <cstring>

#include "../../twain/Dsm.h"
#include "../../twain/mdlTwain.h"

namespace {

FakeManager* Current = nullptr;

struct Kind {
  TW_UINT32 dg;
  TW_UINT16 dat, msg;
  const char* name;
  size_t size;
};

const Kind Kinds[] = {
    {DG_CONTROL, DAT_PARENT, MSG_OPENDSM, "OPENDSM", sizeof(HWND)},
    {DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, "CLOSEDSM", sizeof(HWND)},
    {DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, "OPENDS", sizeof(TW_IDENTITY)},
    {DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, "CLOSEDS", sizeof(TW_IDENTITY)},
    {DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, "USERSELECT", sizeof(TW_IDENTITY)},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GET, "GET", sizeof(TW_CAPABILITY)},
    {DG_CONTROL, DAT_CAPABILITY, MSG_SET, "SET", sizeof(TW_CAPABILITY)},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, "FRAME", sizeof(TW_IMAGELAYOUT)},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, "ENABLE", sizeof(TW_USERINTERFACE)},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, "DISABLE", sizeof(TW_USERINTERFACE)},
    {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, "EVENT", sizeof(TW_EVENT)},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, "XFER", sizeof(TW_UINTPTR)},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, "ENDXFER", sizeof(TW_PENDINGXFERS)},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, "RESET", sizeof(TW_PENDINGXFERS)},
};

// What the transcript shows of the call's data as it was sent.
std::string Details(const RecordedCall& call) {
  char text[80] = "";
  if (call.name == "GET" || call.name == "SET") {
    const auto* record = static_cast<const TW_CAPABILITY*>(call.data);
    std::snprintf(text, sizeof text, ":%04X", record->Cap);
    const auto* value = call.container ? static_cast<const TW_ONEVALUE*>(GlobalLock(call.container)) : nullptr;
    if (call.name == "SET" && value) {
      std::snprintf(text + 5, sizeof text - 5, "=%u:%08X", value->ItemType, static_cast<unsigned>(value->Item));
    }
    if (value) GlobalUnlock(call.container);
  } else if (call.name == "FRAME") {
    const TW_FRAME& f = static_cast<const TW_IMAGELAYOUT*>(call.data)->Frame;
    std::snprintf(text, sizeof text, ":%g,%g,%g,%g", FloatFromFix32(f.Left), FloatFromFix32(f.Top),
                  FloatFromFix32(f.Right), FloatFromFix32(f.Bottom));
  } else if (call.name == "ENABLE") {
    std::snprintf(text, sizeof text, ":%d", static_cast<const TW_USERINTERFACE*>(call.data)->ShowUI);
  }
  return text;
}

}  // namespace

FakeManager::FakeManager() : previous_(Current) {
  Current = this;
  ReplaceDsmEntryForTesting(&FakeManager::Entry);
}

FakeManager::~FakeManager() {
  Current = previous_;
  ReplaceDsmEntryForTesting(Current ? &FakeManager::Entry : nullptr);
}

void FakeManager::answer(const std::string& name, TW_UINT16 returnCode) {
  answers_[name] = [returnCode](TW_MEMREF) { return returnCode; };
}

void FakeManager::answer(const std::string& name, ScriptedAnswer answer) { answers_[name] = std::move(answer); }

std::string FakeManager::transcript() const {
  std::string text;
  for (const RecordedCall& call : calls)
    if (call.name != "EVENT") text += (text.empty() ? "" : " ") + call.entry;
  return text;
}

const RecordedCall* FakeManager::find(const std::string& name) const {
  for (const RecordedCall& call : calls)
    if (call.name == name) return &call;
  return nullptr;
}

TW_UINT16 WINAPI FakeManager::Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                                    TW_UINT16 msg, TW_MEMREF data) {
  RecordedCall call = {"?", "", data, {}, nullptr};
  size_t size = 0;
  for (const Kind& kind : Kinds)
    if (kind.dg == dg && kind.dat == dat && kind.msg == msg) call.name = kind.name, size = kind.size;
  if (data) call.dataBytes.assign(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
  if (dat == DAT_CAPABILITY && data) call.container = static_cast<TW_CAPABILITY*>(data)->hContainer;
  const bool managers = dat == DAT_PARENT || dat == DAT_IDENTITY;
  call.entry = call.name + (data && size ? Details(call) : "") +
               (origin == &AppIdentity && destination == (managers ? nullptr : &SourceIdentity) ? "" : "!");
  const auto scripted = Current->answers_.find(call.name);
  const TW_UINT16 answer = scripted == Current->answers_.end() ? TWRC_SUCCESS : scripted->second(data);
  if (answer != TWRC_SUCCESS) call.entry += "/" + std::to_string(answer);
  if (call.name == "GET" && data) call.container = static_cast<TW_CAPABILITY*>(data)->hContainer;
  Current->calls.push_back(call);
  return answer;
}

HGLOBAL MakeContainer(TW_UINT16 itemType, TW_UINT32 item, SIZE_T bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  TW_ONEVALUE value = {itemType, item};
  std::memcpy(GlobalLock(memory), &value, bytes < sizeof value ? bytes : sizeof value);
  GlobalUnlock(memory);
  return memory;
}

bool IsAllocated(HGLOBAL memory) { return memory && GlobalFlags(memory) != GMEM_INVALID_HANDLE; }
