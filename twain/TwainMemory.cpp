#include "TwainMemory.h"

namespace {

TW_ENTRYPOINT ManagerMemory = {};
bool ThroughManager = false;

}  // namespace

void UseManagerMemory(const TW_ENTRYPOINT* entry) {
  ThroughManager = entry && entry->DSM_MemAllocate && entry->DSM_MemFree && entry->DSM_MemLock && entry->DSM_MemUnlock;
  if (ThroughManager) ManagerMemory = *entry;
}

HGLOBAL AllocateTwainMemory(SIZE_T bytes) {
  if (!ThroughManager) return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  const unsigned long long wide = bytes;  // the manager takes 32 bits
  return wide >> 32 ? nullptr : static_cast<HGLOBAL>(ManagerMemory.DSM_MemAllocate(static_cast<TW_UINT32>(bytes)));
}

void* LockTwainMemory(HGLOBAL memory) {
  return ThroughManager ? ManagerMemory.DSM_MemLock(memory) : GlobalLock(memory);
}

void UnlockTwainMemory(HGLOBAL memory) {
  if (ThroughManager)
    ManagerMemory.DSM_MemUnlock(memory);
  else
    GlobalUnlock(memory);
}

void FreeTwainMemory(HGLOBAL memory) {
  if (ThroughManager)
    ManagerMemory.DSM_MemFree(memory);
  else
    GlobalFree(memory);
}
