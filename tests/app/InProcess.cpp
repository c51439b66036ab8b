#include "InProcess.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "../../app/Main.h"
#include "../../app/resource.h"
#include "../../options/fOptions.h"
#include "../../settings/INIModul.h"
#include "../../twain/mdlTwain.h"
#include "../unit/Bench.h"
#include "../unit/TestFolders.h"

namespace {

struct Script {
  const std::vector<Step>* steps = nullptr;
  size_t next = 0;
  DWORD started = 0;
  bool running = false;
} Current;

BOOL CALLBACK CollectShown(HWND window, LPARAM listAddress) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(listAddress)->push_back(window);
  return TRUE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (Current.running || !Current.steps) return;
  Current.running = true;
  HWND dialog = OpenOptionsDialog();
  if (Current.next < Current.steps->size() && dialog && (*Current.steps)[Current.next](dialog)) ++Current.next;
  if (GetTickCount() - Current.started > 20000) {
    ADD_FAILURE() << "step " << Current.next << " of the dialog script did not end";
    if (HWND over = WindowOver(dialog)) PostMessageW(over, WM_CLOSE, 0, 0);
    CloseOptionsDialog();
  }
  Current.running = false;
}

}  // namespace

int TestDpi() {
  const wchar_t* given = _wgetenv(L"ZEMBROLITE_DPI");
  return given ? _wtoi(given) : 96;
}

HWND MainWindow() {
  static HWND main = [] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND window = CreateMain(GetModuleHandleW(nullptr));
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
    return window;
  }();
  return main;
}

void UseSettings(const std::string& contents) {
  MainWindow();
  RemoveTree(TestExeFolder() + L"\\Logs");
  DeleteFileW(SettingsFilePath().c_str());
  if (contents != "-") WriteFileBytes(SettingsFilePath(), contents);
  LoadConfig();
}

std::string SettingsFile() { return ReadFileBytes(SettingsFilePath()); }

std::string ErrorLog() { return ReadFileBytes(TestExeFolder() + L"\\Logs\\Error.log"); }

FontFacts FontOf(HWND window) {
  LOGFONTW font = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
  return {font.lfFaceName, static_cast<int>(font.lfHeight), static_cast<int>(font.lfWeight)};
}

namespace {

std::wstring Caption(HWND control) {
  wchar_t text[128] = L"";
  GetWindowTextW(control, text, 128);
  return text;
}

// The room a caption needs beside its text: a check box's box and gap, a push button's edges.
int Decoration(HWND control) {
  wchar_t kind[16] = L"";
  GetClassNameW(control, kind, 16);
  if (lstrcmpiW(kind, L"Button") != 0) return 0;
  const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) return GetSystemMetrics(SM_CXMENUCHECK) + 4;
  return 2 * GetSystemMetrics(SM_CXEDGE) + 2;
}

std::wstring CaptionFault(HWND control) {
  const std::wstring caption = Caption(control);
  HDC dc = GetDC(control);
  HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent = {};
  TEXTMETRICW metrics = {};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  RECT inner;
  GetClientRect(control, &inner);
  // Across, the whole caption; upright, the letters above the baseline without the room for
  // accents (a caption without descenders stands whole in a box lower than its font's cell, as
  // "External Scanner-Software:" does).
  const int across = caption.empty() ? 0 : extent.cx + Decoration(control);
  const int upright = metrics.tmAscent - metrics.tmInternalLeading;
  if (across > inner.right || upright > inner.bottom)
    return L"\"" + caption + L"\" needs " + std::to_wstring(across) + L"x" + std::to_wstring(upright) + L", has " +
           std::to_wstring(inner.right) + L"x" + std::to_wstring(inner.bottom);
  return L"";
}

}  // namespace

std::vector<std::wstring> LayoutFaults(HWND window) {
  std::vector<HWND> controls;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsWindowVisible(child)) controls.push_back(child);
  RECT client;
  GetClientRect(window, &client);
  std::vector<RECT> places;
  std::vector<std::wstring> faults;
  for (HWND control : controls) {
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
    const std::wstring name = std::to_wstring(GetDlgCtrlID(control)) + L" " + Caption(control);
    if (place.left < 0 || place.top < 0 || place.right > client.right || place.bottom > client.bottom)
      faults.push_back(name + L": outside the client area");
    const std::wstring cut = CaptionFault(control);
    if (!cut.empty()) faults.push_back(name + L": " + cut);
    for (size_t other = 0; other < places.size(); ++other) {
      RECT both;
      if (IntersectRect(&both, &place, &places[other]))
        faults.push_back(name + L": on top of " + std::to_wstring(GetDlgCtrlID(controls[other])));
    }
    places.push_back(place);
  }
  return faults;
}

HWND WindowOver(HWND dialog) {
  std::vector<HWND> shown;
  EnumThreadWindows(GetCurrentThreadId(), CollectShown, reinterpret_cast<LPARAM>(&shown));
  for (HWND window : shown)
    if (window != MainWindow() && window != dialog) return window;
  return nullptr;
}

void RunOptionsDialog(const std::vector<Step>& steps) {
  Current = {&steps, 0, GetTickCount(), false};
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);
  ShowOptionsDialog(MainWindow());
  KillTimer(nullptr, timer);
  EXPECT_EQ(Current.next, steps.size()) << "the dialog closed before its script ended";
  Current = {};
}

// GDI objects: GetGuiResources, or under Wine (which answers 0 there) the used entries of the
// handle table that the PEB points to (24-byte entries, the type at byte 14).
unsigned long GdiObjects() {
  const auto query = reinterpret_cast<LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") ||
      query(GetCurrentProcess(), 0, &basic, sizeof basic, nullptr) != 0)
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  const auto* peb = reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress);
  const auto* table = *reinterpret_cast<const std::uint8_t* const*>(peb + (sizeof(void*) == 4 ? 0x94 : 0xF8));
  unsigned long count = 0;
  for (int i = 0; table && i < 0x10000; ++i) count += table[i * 24 + 14] != 0;
  return count;
}

std::wstring WindowTitle(HWND window) {
  wchar_t text[64] = L"";
  GetWindowTextW(window, text, 64);
  return text;
}

void ClickScan(HWND main) { PostMessageW(GetDlgItem(main, IDC_CMDZADUDUVUR), BM_CLICK, 0, 0); }

std::vector<int> ImageFacts(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary | std::ios::ate);
  const auto size = static_cast<std::uint64_t>(file.tellg());
  BITMAPFILEHEADER head = {};
  BITMAPINFOHEADER info = {};
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(&head), sizeof head).read(reinterpret_cast<char*>(&info), sizeof info) ||
      head.bfType != 0x4D42 || head.bfSize != size)
    return {};
  return {info.biWidth, info.biHeight, info.biBitCount, static_cast<int>(head.bfOffBits)};
}

bool PixelsAsScanned(const std::wstring& path) {
  const std::vector<int> facts = ImageFacts(path);
  if (facts.empty()) return false;
  std::ifstream file(path.c_str(), std::ios::binary);
  file.seekg(facts[3]);
  std::vector<char> chunk(1 << 24);
  std::uint32_t hash = 2166136261u;  // FNV-1a, as the scanner reports it
  while (file.read(chunk.data(), chunk.size()) || file.gcount() > 0)
    for (std::streamsize i = 0; i < file.gcount(); ++i) hash = (hash ^ static_cast<std::uint8_t>(chunk[i])) * 16777619u;
  char reported[32];
  std::snprintf(reported, sizeof reported, "checksum=%08X", static_cast<unsigned>(hash));
  return ScannerCallLog().find(reported) != std::string::npos;
}

bool SaveWindowPicture(HWND window, const std::wstring& path) {
  // The client area: without a window manager the frame shows whatever lies below it.
  RECT rect;
  if (!GetClientRect(window, &rect)) return false;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, picture);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, previous);
  // A packed DIB in global memory, as a source hands one over, goes through the program's writer.
  const BITMAPINFOHEADER header = {sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  HGLOBAL dib = GlobalAlloc(GMEM_MOVEABLE, sizeof header + (width * 3 + 3) / 4 * 4 * height);
  auto* bytes = static_cast<BYTE*>(GlobalLock(dib));
  std::memcpy(bytes, &header, sizeof header);
  GetDIBits(memory, picture, 0, height, bytes + sizeof header, reinterpret_cast<BITMAPINFO*>(bytes), DIB_RGB_COLORS);
  GlobalUnlock(dib);
  DeleteDC(memory);
  DeleteObject(picture);
  ReleaseDC(nullptr, screen);
  return WriteDibToBmp(dib, path) == 0;
}

void CopyProgramInto(const std::wstring& folder) {
  for (const wchar_t* name : {L"Zembrolite.exe", L"ZembroliteScan32.exe", L"ZembroliteScan64.exe"})
    CopyFileW((TestExeFolder() + L"\\..\\bin\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
}

ProgramCopy::ProgramCopy(const std::wstring& suffix) : folder_(FreshTestFolder(L"runs", suffix)) {
  CopyProgramInto(folder_);
}

ProgramCopy ProgramCopy::InFolderAsItIs(const std::wstring& folder) { return ProgramCopy(InFolder{}, folder); }

ProgramCopy::~ProgramCopy() {
  if (!process_.hProcess) return;
  if (!ended(0)) TerminateProcess(process_.hProcess, 99), ended(5000);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
}

bool ProgramCopy::start(const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + path(L"Zembrolite.exe") + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  return CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, TestExeFolder().c_str(),
                        &startup, &process_);
}

HWND ProgramCopy::mainWindow() {
  HWND main = nullptr;
  WaitUntil([&] {
    for (HWND window : windows()) {
      wchar_t name[32] = L"";
      GetClassNameW(window, name, 32);
      if (lstrcmpW(name, L"ZembroliteMain") == 0 && IsWindowVisible(window)) main = window;
    }
    return main || ended(0);
  });
  if (main) WaitForInputIdle(process_.hProcess, Slowed(5000));
  return main;
}

bool ProgramCopy::ended(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_.hProcess || WaitForSingleObject(process_.hProcess, Slowed(timeoutMs)) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_.hProcess, exitCode);
  return true;
}

namespace {

BOOL CALLBACK CollectOfProcess(HWND window, LPARAM search) {
  auto& found = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(search);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == found.first) found.second.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> ProgramCopy::windows() const {
  std::pair<DWORD, std::vector<HWND>> found{process_.dwProcessId, {}};
  EnumWindows(CollectOfProcess, reinterpret_cast<LPARAM>(&found));
  return found.second;
}
