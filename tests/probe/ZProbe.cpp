// Loaded into the program's process by a GetMessage hook. Reports what other processes cannot
// read under Wine: menu texts, fonts, the focus, the class icon and the process's object counts.
#include "ZProbe.h"

#include <windows.h>
// The records' declarations need the Win32 basics first.
#include "../../twain/Dsm.h"
#include <winternl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

void Add(std::wstring& report, const std::wstring& key, const std::wstring& value) {
  report += key + L"=" + value + L"\n";
}

void AddFont(std::wstring& report, const std::wstring& prefix, HWND window) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTW description;
  if (!font || GetObjectW(font, sizeof description, &description) != sizeof description) {
    Add(report, prefix + L"font", L"none");
    return;
  }
  Add(report, prefix + L"font.face", description.lfFaceName);
  Add(report, prefix + L"font.height", std::to_wstring(description.lfHeight));
  Add(report, prefix + L"font.weight", std::to_wstring(description.lfWeight));
  Add(report, prefix + L"font.charset", std::to_wstring(description.lfCharSet));
}

std::wstring MenuText(HMENU menu, int position) {
  wchar_t text[256] = L"";
  GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
  return text;
}

void AddMenu(std::wstring& report, HMENU menu, const std::wstring& prefix) {
  const int count = GetMenuItemCount(menu);
  Add(report, prefix + L"count", std::to_wstring(count));
  for (int i = 0; i < count; ++i) {
    const std::wstring key = prefix + std::to_wstring(i);
    Add(report, key, MenuText(menu, i));
    HMENU sub = GetSubMenu(menu, i);
    if (sub) {
      AddMenu(report, sub, key + L".");
    } else {
      Add(report, key + L".id", std::to_wstring(GetMenuItemID(menu, i)));
    }
  }
}

void AddIcon(std::wstring& report, HWND window) {
  // The window's own icon, or else its class's.
  HICON icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
  if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON));
  ICONINFO info;
  if (!icon || !GetIconInfo(icon, &info)) {
    Add(report, L"icon", L"none");
    return;
  }
  BITMAP colour = {};
  if (info.hbmColor) GetObjectW(info.hbmColor, sizeof colour, &colour);
  Add(report, L"icon.width", std::to_wstring(colour.bmWidth));
  Add(report, L"icon.height", std::to_wstring(colour.bmHeight));
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
}

BOOL CALLBACK AddChild(HWND child, LPARAM reportAddress) {
  auto& report = *reinterpret_cast<std::wstring*>(reportAddress);
  AddFont(report, L"child." + std::to_wstring(GetDlgCtrlID(child)) + L".", child);
  return TRUE;
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Wine 8 answers GetGuiResources and GetProcessHandleCount with 0, so under Wine the counts
// come from the tables behind them: the GDI handle table that the PEB points to, and the
// system's handle list. Windows reports all three directly.
#pragma pack(push, 1)
struct WineGdiEntry {
  std::uint64_t Object;
  std::uint32_t Owner;
  std::uint16_t Unique;
  std::uint8_t Type;
  std::uint8_t Flags;
  std::uint64_t UserPointer;
};
#pragma pack(pop)
static_assert(sizeof(WineGdiEntry) == 24, "Wine's GDI_HANDLE_ENTRY");
constexpr int WineGdiHandleCount = 0x10000;

unsigned long WineGdiObjects() {
  using QueryProcessInformation = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryProcessInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (!query || query(GetCurrentProcess(), 0 /* ProcessBasicInformation */, &basic, sizeof basic, nullptr) != 0)
    return 0;
  const auto* peb = reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress);
  const auto* table = *reinterpret_cast<const WineGdiEntry* const*>(peb + (sizeof(void*) == 4 ? 0x94 : 0xF8));
  if (!table) return 0;
  unsigned long count = 0;
  for (int i = 0; i < WineGdiHandleCount; ++i)
    if (table[i].Type != 0) ++count;
  return count;
}

// SYSTEM_HANDLE_INFORMATION: a count, then 16-byte entries that begin with the owner's id.
unsigned long KernelHandlesFromSystemList() {
  using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  std::vector<std::uint8_t> list(1 << 20);
  ULONG length = 0;
  constexpr ULONG SystemHandleInformation = 16;
  while (query(SystemHandleInformation, list.data(), static_cast<ULONG>(list.size()), &length) != 0) {
    if (list.size() >= (64u << 20)) return 0;
    list.resize(list.size() * 2);
  }
  const std::uint32_t entries = *reinterpret_cast<const std::uint32_t*>(list.data());
  const std::uint16_t self = static_cast<std::uint16_t>(GetCurrentProcessId());
  const std::size_t entrySize = 8 + 2 * sizeof(void*);
  unsigned long count = 0;
  for (std::uint32_t i = 0; i < entries && sizeof(void*) + (i + 1) * entrySize <= list.size(); ++i) {
    const std::uint8_t* entry = list.data() + sizeof(void*) + i * entrySize;
    if (*reinterpret_cast<const std::uint16_t*>(entry) == self) ++count;
  }
  return count;
}

// EnumChildWindows walks all descendants, not only the direct children.
BOOL CALLBACK CountDescendant(HWND, LPARAM countAddress) {
  ++*reinterpret_cast<unsigned long*>(countAddress);
  return TRUE;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM countAddress) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == GetCurrentProcessId()) {
    ++*reinterpret_cast<unsigned long*>(countAddress);
    EnumChildWindows(window, CountDescendant, countAddress);
  }
  return TRUE;
}

void AddUsage(std::wstring& report) {
  unsigned long windows = 0;
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&windows));
  Add(report, L"usage.windows", std::to_wstring(windows));
  if (UnderWine()) {
    Add(report, L"usage.gdi", std::to_wstring(WineGdiObjects()));
    Add(report, L"usage.user", L"unknown");
    Add(report, L"usage.handles", std::to_wstring(KernelHandlesFromSystemList()));
  } else {
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    Add(report, L"usage.gdi", std::to_wstring(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)));
    Add(report, L"usage.user", std::to_wstring(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)));
    Add(report, L"usage.handles", std::to_wstring(handles));
  }
}

std::wstring Report(HWND target) {
  std::wstring report;
  HWND focus = GetFocus();
  Add(report, L"focus.id", focus ? std::to_wstring(GetDlgCtrlID(focus)) : L"none");
  AddFont(report, L"", target);
  EnumChildWindows(target, AddChild, reinterpret_cast<LPARAM>(&report));
  if (HMENU menu = GetMenu(target)) AddMenu(report, menu, L"menu.");
  AddIcon(report, target);
  AddUsage(report);
  return report;
}

TW_IDENTITY ProbeIdentity() {
  TW_IDENTITY identity = {};
  identity.Version.MajorNum = 1;
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 9;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  lstrcpynA(identity.Manufacturer, "Zembrolite tests", sizeof identity.Manufacturer);
  lstrcpynA(identity.ProductFamily, "Probe", sizeof identity.ProductFamily);
  lstrcpynA(identity.ProductName, "ZProbe", sizeof identity.ProductName);
  return identity;
}

std::wstring ManagerReport(HWND parent, long request) {
  static TW_IDENTITY identity = ProbeIdentity();
  std::wstring report;
  HMODULE manager = LoadLibraryW(DsmPath().c_str());  // the program's own copy, already loaded
  const auto entry =
      manager ? reinterpret_cast<DsmEntryProc>(reinterpret_cast<void*>(GetProcAddress(manager, "DSM_Entry"))) : nullptr;
  if (!entry) {
    Add(report, L"manager.result", L"no manager");
    return report;
  }
  HWND window = parent;
  const TW_UINT16 message = request == ProbeHoldManagerRequest ? MSG_OPENDSM : MSG_CLOSEDSM;
  const TW_UINT16 result = entry(&identity, nullptr, DG_CONTROL, DAT_PARENT, message, &window);
  TW_STATUS status = {};
  entry(&identity, nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
  Add(report, L"manager.result", std::to_wstring(result));
  Add(report, L"manager.condition", std::to_wstring(status.ConditionCode));
  return report;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeGetMessage(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT query = RegisterWindowMessageW(ProbeQueryMessageName);
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    if (message->message == query) {
      const std::wstring report = message->lParam == ProbeReportRequest
                                      ? Report(message->hwnd)
                                      : ManagerReport(message->hwnd, static_cast<long>(message->lParam));
      COPYDATASTRUCT data = {ProbeReportTag, static_cast<DWORD>((report.size() + 1) * sizeof(wchar_t)),
                             const_cast<wchar_t*>(report.c_str())};
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(reinterpret_cast<HWND>(message->wParam), WM_COPYDATA, reinterpret_cast<WPARAM>(message->hwnd),
                          reinterpret_cast<LPARAM>(&data), SMTO_BLOCK, 5000, &ignored);
      message->message = WM_NULL;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
