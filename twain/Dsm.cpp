#include "Dsm.h"

#include <string>

#include "../common/Handles.h"
#include "PressFailure.h"
#include "../guard/SourceCalls.h"

namespace {

struct LoadedManager {
  UniqueModule module;
  DsmEntryProc entry = nullptr;
  bool twain2 = false;
};
// Loaded once and kept for the rest of the run, as a manager expects.
LoadedManager LoadedDsm;
TwainState State = TwainState::PreSession;

std::wstring InFolder(UINT(WINAPI* folderOf)(LPWSTR, UINT), const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = folderOf(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path(folder, length);
  if (path.back() != L'\\') path += L'\\';
  return path + name;
}

// LOAD_WITH_ALTERED_SEARCH_PATH: the manager's own dependencies come from its folder too.
bool Load(const std::wstring& path, bool twain2) {
  if (path.empty()) return false;
  UniqueModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  const auto entry =
      module ? reinterpret_cast<DsmEntryProc>(reinterpret_cast<void*>(GetProcAddress(module.get(), "DSM_Entry")))
             : nullptr;
  if (!entry) return false;
  LoadedDsm = {std::move(module), entry, twain2};
  State = TwainState::ManagerLoaded;
  return true;
}

DsmEntryProc LoadedEntry() {
  if (LoadedDsm.entry) return LoadedDsm.entry;
  const std::wstring twain2 = Twain2ManagerPath();
  if (GetFileAttributesW(twain2.c_str()) != INVALID_FILE_ATTRIBUTES && Load(twain2, true)) return LoadedDsm.entry;
  if (Load(Twain1ManagerPath(), false)) return LoadedDsm.entry;
  const auto error = static_cast<std::int32_t>(GetLastError());
#ifdef _WIN64
  // On 64-bit Windows the only twain_32.dll is a 32-bit one, which a 64-bit program cannot load.
  NotePressFailure(error, L"The TWAIN manager for 64-bit programs (TWAINDSM.dll) is not installed.");
#else
  NotePressFailure(error, L"No TWAIN manager is installed: neither TWAINDSM.dll nor twain_32.dll could be loaded.");
#endif
  return nullptr;
}

// Return codes that end what the caller asked for; the others report success or an event. A
// transfer cancelled in the source's own window is the operator's choice.
bool IsRefusal(TW_UINT16 dataType, TW_UINT16 answer) {
  if (dataType == DAT_IMAGENATIVEXFER && answer == TWRC_CANCEL) return false;
  return dataType != DAT_EVENT && answer != TWRC_SUCCESS && answer != TWRC_CHECKSTATUS && answer != TWRC_XFERDONE;
}

TwainCallOutcome OutcomeOf(TW_UINT16 dataType, TW_UINT16 message, TW_UINT16 answer, TW_MEMREF data) {
  TwainCallOutcome outcome;
  outcome.dataType = dataType;
  outcome.message = message;
  outcome.returnCode = answer;
  if (data && dataType == DAT_PENDINGXFERS) outcome.pendingCount = static_cast<TW_PENDINGXFERS*>(data)->Count;
  if (data && dataType == DAT_EVENT) outcome.notification = static_cast<TW_EVENT*>(data)->TWMessage;
  return outcome;
}

}  // namespace

std::wstring Twain2ManagerPath() { return InFolder(GetSystemDirectoryW, L"TWAINDSM.dll"); }

std::wstring Twain1ManagerPath() {
#ifdef _WIN64
  return InFolder(GetSystemDirectoryW, L"twain_32.dll");
#else
  return InFolder(GetWindowsDirectoryW, L"twain_32.dll");
#endif
}

bool ManagerIsTwain2() { return LoadedEntry() && LoadedDsm.twain2; }

TwainState SessionState() { return State; }

TW_UINT16 CallDsm(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dataGroup, TW_UINT16 dataType,
                  TW_UINT16 message, TW_MEMREF data) {
  const DsmEntryProc entry = LoadedEntry();
  if (!entry) return TWRC_FAILURE;
  TW_UINT16 answer;
  {
    SourceCallScope watched(dataType, message, data);
    answer = entry(origin, destination, dataGroup, dataType, message, data);
  }
  State = StateAfter(State, OutcomeOf(dataType, message, answer, data));
  if (IsRefusal(dataType, answer)) {
    const int capability = dataType == DAT_CAPABILITY && data ? static_cast<TW_CAPABILITY*>(data)->Cap : -1;
    NotePressFailure(answer, RefusedCallText(dataType, message, capability, answer));
  }
  return answer;
}
