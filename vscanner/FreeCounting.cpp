// The test build's count of what the application has not freed yet. The 2.x manager's own free
// starts with a jump to a counting one, so that a free by any caller through the manager is seen
// and one with GlobalFree is not; the source stays loaded, so that the count outlives the
// manager's unloading it at every close.
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>

#include "HandedMemory.h"

namespace {

SRWLOCK Lock = SRWLOCK_INIT;

// The application may free on another thread than the one the source hands over on.
class Locked {
 public:
  Locked() { AcquireSRWLockExclusive(&Lock); }
  ~Locked() { ReleaseSRWLockExclusive(&Lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};
void(TW_CALLINGCONVENTION* WatchedFree)(TW_HANDLE) = nullptr;
// Blocks handed over and not yet freed, each with how many times its address was handed over.
std::map<HGLOBAL, int> Outstanding;

void TW_CALLINGCONVENTION CountingFree(TW_HANDLE memory) {
  {
    Locked guard;
    const auto found = Outstanding.find(memory);
    if (found != Outstanding.end() && --found->second == 0) Outstanding.erase(found);
  }
  if (memory) GlobalFree(memory);  // what the manager's free does on Windows
}

// Writes a jump to target over the first bytes of function.
void Redirect(void* function, void* target) {
#ifdef _WIN64
  unsigned char jump[12] = {0x48, 0xB8};  // mov rax, target; jmp rax
  const auto address = reinterpret_cast<std::uint64_t>(target);
  std::memcpy(jump + 2, &address, 8);
  jump[10] = 0xFF;
  jump[11] = 0xE0;
#else
  unsigned char jump[5] = {0xE9};  // jmp rel32
  const auto distance = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(target) -
                                                   reinterpret_cast<std::uintptr_t>(function) - sizeof jump);
  std::memcpy(jump + 1, &distance, 4);
#endif
  DWORD protection = 0;
  if (!VirtualProtect(function, sizeof jump, PAGE_EXECUTE_READWRITE, &protection)) return;
  std::memcpy(function, jump, sizeof jump);
  VirtualProtect(function, sizeof jump, protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), function, sizeof jump);
}

}  // namespace

void StartCounting() {
  static bool pinned = false;
  HMODULE self = nullptr;
  if (!pinned)
    pinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                reinterpret_cast<LPCWSTR>(&StartCounting), &self) != FALSE;
}

void CountHandedOver(HGLOBAL memory) {
  Locked guard;
  // Without the 2.x manager an address handed over again was freed before, whichever way.
  Outstanding[memory] = WatchedFree ? Outstanding[memory] + 1 : 1;
}

void CountFreesThrough(const TW_ENTRYPOINT& entry) {
  Locked guard;
  if (WatchedFree == entry.DSM_MemFree) return;
  WatchedFree = entry.DSM_MemFree;
  Redirect(reinterpret_cast<void*>(entry.DSM_MemFree), reinterpret_cast<void*>(&CountingFree));
}

std::string StillHandedOverText() {
  Locked guard;
  // Without the 2.x manager any free counts: a block that is gone was freed.
  if (!WatchedFree)
    for (auto block = Outstanding.begin(); block != Outstanding.end();)
      block = GlobalFlags(block->first) == GMEM_INVALID_HANDLE ? Outstanding.erase(block) : std::next(block);
  size_t count = 0;
  for (const auto& block : Outstanding) count += static_cast<size_t>(block.second);
  return "outstanding=" + std::to_string(count);
}
