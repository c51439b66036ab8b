// Memory that crosses into TWAIN: capability containers and the image of a native transfer. With
// the 2.x manager it is allocated, locked and freed through the functions that the manager hands
// out (DAT_ENTRYPOINT), as TWAIN 2.x asks of applications and sources alike; with a 1.x manager it
// is Windows' global memory. Either way it is a global-memory block on Windows, whose size
// GlobalSize tells.
#pragma once

#include <windows.h>

#include "../common/Handles.h"
#include "TwainTypes.h"

// From now on through the manager's functions; null: through global memory.
void UseManagerMemory(const TW_ENTRYPOINT* entry);

HGLOBAL AllocateTwainMemory(SIZE_T bytes);
void* LockTwainMemory(HGLOBAL memory);
void UnlockTwainMemory(HGLOBAL memory);
void FreeTwainMemory(HGLOBAL memory);

struct TwainMemoryTraits {
  static HGLOBAL Invalid() { return nullptr; }
  static bool IsValid(HGLOBAL h) { return h != nullptr; }
  static void Release(HGLOBAL h) { FreeTwainMemory(h); }
};
// A block that this scope owns and frees.
using UniqueTwainMemory = Owned<HGLOBAL, TwainMemoryTraits>;

// A lock on a block for one scope; check get() for null.
class TwainMemoryLock {
 public:
  explicit TwainMemoryLock(HGLOBAL memory) : memory_(memory), data_(memory ? LockTwainMemory(memory) : nullptr) {}
  ~TwainMemoryLock() {
    if (data_) UnlockTwainMemory(memory_);
  }
  TwainMemoryLock(const TwainMemoryLock&) = delete;
  TwainMemoryLock& operator=(const TwainMemoryLock&) = delete;

  void* get() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};
