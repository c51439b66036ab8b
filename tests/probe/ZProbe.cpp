// Loaded into the program's process by a GetMessage hook. Reports what other processes cannot
// read under Wine: menu texts, fonts, the focus and the class icon.
#include "ZProbe.h"

#include <windows.h>

#include <string>

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

std::wstring Report(HWND target) {
  std::wstring report;
  HWND focus = GetFocus();
  Add(report, L"focus.id", focus ? std::to_wstring(GetDlgCtrlID(focus)) : L"none");
  AddFont(report, L"", target);
  EnumChildWindows(target, AddChild, reinterpret_cast<LPARAM>(&report));
  if (HMENU menu = GetMenu(target)) AddMenu(report, menu, L"menu.");
  AddIcon(report, target);
  return report;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeGetMessage(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT query = RegisterWindowMessageW(ProbeQueryMessageName);
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    if (message->message == query) {
      const std::wstring report = Report(message->hwnd);
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
