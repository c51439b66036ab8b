#include "FakeManager.h"

#include <cstring>

#include "../../twain/Dsm.h"

namespace {

FakeManager* Current = nullptr;

size_t DataSize(TW_UINT16 dataType) {
  switch (dataType) {
    case DAT_PARENT:
      return sizeof(HWND);
    case DAT_IDENTITY:
      return sizeof(TW_IDENTITY);
    case DAT_CAPABILITY:
      return sizeof(TW_CAPABILITY);
    case DAT_IMAGELAYOUT:
      return sizeof(TW_IMAGELAYOUT);
    case DAT_USERINTERFACE:
      return sizeof(TW_USERINTERFACE);
    case DAT_EVENT:
      return sizeof(TW_EVENT);
    case DAT_PENDINGXFERS:
      return sizeof(TW_PENDINGXFERS);
    case DAT_IMAGENATIVEXFER:
      return sizeof(TW_UINT32);
    default:
      return 0;
  }
}

}  // namespace

FakeManager::FakeManager() {
  Current = this;
  ReplaceDsmEntryForTesting(&FakeManager::Entry);
}

FakeManager::~FakeManager() {
  ReplaceDsmEntryForTesting(nullptr);
  Current = nullptr;
}

void FakeManager::answer(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 returnCode) {
  answers_[Triplet(dg, dat, msg)] = [returnCode](TW_MEMREF) { return returnCode; };
}

void FakeManager::answer(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, ScriptedAnswer answer) {
  answers_[Triplet(dg, dat, msg)] = std::move(answer);
}

std::vector<Triplet> FakeManager::triplets() const {
  std::vector<Triplet> list;
  for (const auto& call : calls_) list.emplace_back(call.dataGroup, call.dataType, call.message);
  return list;
}

std::vector<Triplet> FakeManager::tripletsBesidesEvents() const {
  std::vector<Triplet> list;
  for (const Triplet& call : triplets())
    if (call != ProcessEvent) list.push_back(call);
  return list;
}

const RecordedCall* FakeManager::find(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const {
  for (const auto& call : calls_)
    if (call.is(dg, dat, msg)) return &call;
  return nullptr;
}

TW_UINT16 WINAPI FakeManager::Entry(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dg, TW_UINT16 dat,
                                    TW_UINT16 msg, TW_MEMREF data) {
  RecordedCall call = {};
  call.origin = origin;
  call.destination = destination;
  if (origin) call.originAtCall = *origin;
  call.dataGroup = dg;
  call.dataType = dat;
  call.message = msg;
  call.data = data;
  return Current->handle(std::move(call));
}

TW_UINT16 FakeManager::handle(RecordedCall call) {
  const size_t size = DataSize(call.dataType);
  if (call.data && size) {
    const auto* bytes = static_cast<const std::uint8_t*>(call.data);
    call.dataBytes.assign(bytes, bytes + size);
  }
  if (call.dataType == DAT_CAPABILITY && call.data) {
    call.container = static_cast<HGLOBAL>(static_cast<TW_CAPABILITY*>(call.data)->hContainer);
    if (call.container && IsAllocated(call.container)) {
      const void* content = GlobalLock(call.container);
      if (content) {
        const auto* bytes = static_cast<const std::uint8_t*>(content);
        call.containerBytes.assign(bytes, bytes + sizeof(TW_ONEVALUE));
        GlobalUnlock(call.container);
      }
    }
  }
  auto scripted = answers_.find(Triplet(call.dataGroup, call.dataType, call.message));
  call.answer = scripted == answers_.end() ? TWRC_SUCCESS : scripted->second(call.data);
  if (call.dataType == DAT_CAPABILITY && call.message != MSG_SET && call.data)
    call.container = static_cast<HGLOBAL>(static_cast<TW_CAPABILITY*>(call.data)->hContainer);
  calls_.push_back(call);
  return call.answer;
}

HGLOBAL MakeContainer(TW_UINT16 itemType, TW_UINT32 item, SIZE_T bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!memory) return nullptr;
  TW_ONEVALUE value = {itemType, item};
  void* content = GlobalLock(memory);
  std::memcpy(content, &value, bytes < sizeof value ? bytes : sizeof value);
  GlobalUnlock(memory);
  return memory;
}

bool IsAllocated(HGLOBAL memory) { return memory && GlobalFlags(memory) != GMEM_INVALID_HANDLE; }
