#include "Dsm.h"

#include <string>

#include "../common/Handles.h"
#include "SourceCalls.h"

namespace {

struct LoadedManager {
  UniqueModule module;
  DsmEntryProc entry = nullptr;
  bool tried = false;
};
// Loaded at the first call and kept for the rest of the run, as the manager expects.
LoadedManager Manager;
DsmEntryProc Replacement = nullptr;

DsmEntryProc RealEntry() {
  if (!Manager.tried) {
    Manager.tried = true;
    const std::wstring path = DsmPath();
    // LOAD_WITH_ALTERED_SEARCH_PATH: the manager's own dependencies come from its folder too.
    Manager.module.reset(path.empty() ? nullptr : LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (Manager.module)
      Manager.entry =
          reinterpret_cast<DsmEntryProc>(reinterpret_cast<void*>(GetProcAddress(Manager.module.get(), "DSM_Entry")));
  }
  return Manager.entry;
}

}  // namespace

std::wstring DsmPath() {
  wchar_t folder[MAX_PATH];
#ifdef _WIN64
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
#else
  const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
#endif
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path(folder, length);
  if (path.back() != L'\\') path += L'\\';
  return path + L"twain_32.dll";
}

TW_UINT16 CallDsm(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dataGroup, TW_UINT16 dataType,
                  TW_UINT16 message, TW_MEMREF data) {
  DsmEntryProc entry = Replacement ? Replacement : RealEntry();
  if (!entry) return TWRC_FAILURE;
  SourceCallScope watched(dataType, message, data);
  return entry(origin, destination, dataGroup, dataType, message, data);
}

void ReplaceDsmEntryForTesting(DsmEntryProc entry) { Replacement = entry; }
