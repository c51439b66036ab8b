#include "HandedMemory.h"

#include <cstring>

namespace {

TW_ENTRYPOINT ManagerFunctions = {};

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

}  // namespace

void TakeManagerMemory(const TW_ENTRYPOINT& entry) {
  if (!entry.DSM_MemAllocate || !entry.DSM_MemFree || !entry.DSM_MemLock || !entry.DSM_MemUnlock) return;
  CountFreesThrough(entry);
  ManagerFunctions = entry;
}

DsmEntryProc ManagerEntry() { return ManagerFunctions.DSM_Entry; }

std::string ManagerPath() {
  HMODULE module = nullptr;
  if (ManagerFunctions.DSM_Entry)
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(ManagerFunctions.DSM_Entry), &module);
  else
    module = GetModuleHandleA("twain_32.dll");
  return module ? ModulePath(module) : "";
}

HGLOBAL HandOverMemory(SIZE_T bytes) {
  HGLOBAL memory = nullptr;
  if (ManagerFunctions.DSM_MemAllocate) {
    const unsigned long long wide = bytes;  // the manager takes 32 bits
    memory =
        wide >> 32 ? nullptr : static_cast<HGLOBAL>(ManagerFunctions.DSM_MemAllocate(static_cast<TW_UINT32>(bytes)));
    if (void* block = memory ? ManagerFunctions.DSM_MemLock(memory) : nullptr) {
      std::memset(block, 0, bytes);
      ManagerFunctions.DSM_MemUnlock(memory);
    }
  } else {
    memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  }
  if (memory) CountHandedOver(memory);
  return memory;
}

void* LockHandedMemory(HGLOBAL memory) {
  return ManagerFunctions.DSM_MemLock ? ManagerFunctions.DSM_MemLock(memory) : GlobalLock(memory);
}

void UnlockHandedMemory(HGLOBAL memory) {
  if (ManagerFunctions.DSM_MemUnlock)
    ManagerFunctions.DSM_MemUnlock(memory);
  else
    GlobalUnlock(memory);
}
