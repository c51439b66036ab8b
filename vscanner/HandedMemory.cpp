#include "HandedMemory.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>

namespace {

TW_ENTRYPOINT Manager = {};
// Blocks handed over and not yet freed, each with how many times its address was handed over.
std::map<HGLOBAL, int> Outstanding;

// What the manager's free does on Windows, counted: the manager's own function starts with a
// jump to this one, so that a free by any caller through the manager is seen and one with
// GlobalFree is not.
void TW_CALLINGCONVENTION CountingFree(TW_HANDLE memory) {
  const auto found = Outstanding.find(memory);
  if (found != Outstanding.end() && --found->second == 0) Outstanding.erase(found);
  if (memory) GlobalFree(memory);
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

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

}  // namespace

void TakeManagerMemory(const TW_ENTRYPOINT& entry) {
  if (!entry.DSM_MemAllocate || !entry.DSM_MemFree || !entry.DSM_MemLock || !entry.DSM_MemUnlock) return;
  const bool watched = Manager.DSM_MemFree == entry.DSM_MemFree;
  Manager = entry;
  if (!watched) Redirect(reinterpret_cast<void*>(entry.DSM_MemFree), reinterpret_cast<void*>(&CountingFree));
}

DsmEntryProc ManagerEntry() { return Manager.DSM_Entry; }

std::string ManagerPath() {
  HMODULE module = nullptr;
  if (Manager.DSM_Entry)
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(Manager.DSM_Entry), &module);
  else
    module = GetModuleHandleA("twain_32.dll");
  return module ? ModulePath(module) : "";
}

HGLOBAL HandOverMemory(SIZE_T bytes) {
  HGLOBAL memory = nullptr;
  if (Manager.DSM_MemAllocate) {
    const unsigned long long wide = bytes;  // the manager takes 32 bits
    memory = wide >> 32 ? nullptr : static_cast<HGLOBAL>(Manager.DSM_MemAllocate(static_cast<TW_UINT32>(bytes)));
    if (void* block = memory ? Manager.DSM_MemLock(memory) : nullptr) {
      std::memset(block, 0, bytes);
      Manager.DSM_MemUnlock(memory);
    }
  } else {
    memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  }
  // Without the 2.x manager an address handed over again was freed before, whichever way.
  if (memory) Outstanding[memory] = Manager.DSM_MemFree ? Outstanding[memory] + 1 : 1;
  return memory;
}

void* LockHandedMemory(HGLOBAL memory) {
  return Manager.DSM_MemLock ? Manager.DSM_MemLock(memory) : GlobalLock(memory);
}

void UnlockHandedMemory(HGLOBAL memory) {
  if (Manager.DSM_MemUnlock)
    Manager.DSM_MemUnlock(memory);
  else
    GlobalUnlock(memory);
}

size_t StillHandedOver() {
  // Without the 2.x manager any free counts: a block that is gone was freed.
  if (!Manager.DSM_MemFree)
    for (auto block = Outstanding.begin(); block != Outstanding.end();)
      block = GlobalFlags(block->first) == GMEM_INVALID_HANDLE ? Outstanding.erase(block) : std::next(block);
  size_t count = 0;
  for (const auto& block : Outstanding) count += static_cast<size_t>(block.second);
  return count;
}
