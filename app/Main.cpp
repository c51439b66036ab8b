#include "Main.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <utility>

#include "../common/Handles.h"
#include "../common/VersionBlock.h"
#include "../common/WinText.h"
#include "../log/ErrorLog.h"
#include "../settings/INIModul.h"
#include "Global.h"
#include "ScanButton.h"
#include "ScanCommand.h"
#include "../options/fOptions.h"
#include "../worker/ScanWorker.h"
#include "VersionText.h"
#include "resource.h"

namespace {

// Layout in twips (1/1440 inch), placed at the DPI that the window is shown at; at 96 dots per
// inch (15 twips to a pixel) the client area is 181 x 115 pixels and the button 149 x 83 at 8, 16.
constexpr SIZE MainClientTwips = {2715, 1725};
constexpr RECT ScanButtonTwips = {120, 240, 120 + 2235, 240 + 1245};
constexpr int FontPoints = 12;
constexpr int DesignDpi = 96;
constexpr DWORD MainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Resources that live as long as the main window.
struct MainResources {
  UniqueGdiObject formFont;
  UniqueGdiObject buttonFont;
  UniqueGdiObject buttonPicture;
  HWND scanButton = nullptr;
  int dpi = DesignDpi;
};
MainResources Resources;
HWND MainWindow = nullptr;

int Pixels(int twips) { return MulDiv(twips, Resources.dpi, 1440); }
SIZE ClientSize() { return {Pixels(MainClientTwips.cx), Pixels(MainClientTwips.cy)}; }

HFONT CreateTahoma(int dpi, int weight) {
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(FontPoints, dpi, 72);
  font.lfWeight = weight;
  font.lfCharSet = 0;
  wcscpy_s(font.lfFaceName, L"Tahoma");
  return CreateFontIndirectW(&font);
}

struct ProgramVersion {
  unsigned major, minor, revision;
};

// The version block stores major, minor, 0, revision.
ProgramVersion ReadProgramVersion() {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
  HGLOBAL loaded = info ? LoadResource(nullptr, info) : nullptr;
  const BYTE* block = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  if (!block) throw LastWin32Error();
  unsigned version[4];
  if (!ReadFixedFileVersion(block, SizeofResource(nullptr, info), version))
    throw AppError{ERROR_RESOURCE_DATA_NOT_FOUND, L"The program's version block is damaged."};
  return {version[0], version[1], version[3]};
}

// Runs once, before the window is first shown. The title is in place before the
// settings load, so it shows even when loading them fails.
void MainFormLoad(HWND window) {
  try {
    AppTitle = ProductName;
    const ProgramVersion version = ReadProgramVersion();
    AppVersion = VersionText(version.major, version.minor, version.revision);
    AppTitle = TitleText(AppTitle, AppVersion);
    SetWindowTextW(window, AppTitle.c_str());
    LoadConfig();
    if (ScanSettings.UseExternalProgram == 0) StartNextWorker();  // ready for the first press
  } catch (const AppError& error) {
    LogError(error.Number, error.Description, L"Main_Form_Load");
  } catch (const std::bad_alloc&) {
    LogError(7, L"Out of memory", L"Main_Form_Load");
  }
}

// The button's picture drawn for the size nearest to 64 pixels at this DPI; never stretched.
HBITMAP LoadScanPicture(int dpi) {
  const std::pair<int, int> pictures[] = {{64, IDB_SCAN}, {80, IDB_SCAN_80}, {96, IDB_SCAN_96}, {128, IDB_SCAN_128}};
  const int wanted = MulDiv(64, dpi, DesignDpi);
  int id = IDB_SCAN, distance = INT_MAX;
  for (const auto& picture : pictures) {
    if (std::abs(picture.first - wanted) < distance) distance = std::abs(picture.first - wanted), id = picture.second;
  }
  return static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// Fonts at their points and the button at its twips, for this DPI. The button's font in use
// goes only once the new one is set.
void LayOut(int dpi) {
  Resources.dpi = dpi;
  Resources.formFont.reset(CreateTahoma(dpi, FW_NORMAL));
  UniqueGdiObject buttonFont(CreateTahoma(dpi, FW_BOLD));
  if (Resources.scanButton)
    SendMessageW(Resources.scanButton, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont.get()), TRUE);
  Resources.buttonFont = std::move(buttonFont);
  Resources.buttonPicture.reset(LoadScanPicture(dpi));
  if (!Resources.scanButton) return;
  const RECT& b = ScanButtonTwips;
  SetWindowPos(Resources.scanButton, nullptr, Pixels(b.left), Pixels(b.top), Pixels(b.right - b.left),
               Pixels(b.bottom - b.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

void CreateControls(HWND window, HINSTANCE instance) {
  Resources.scanButton = CreateWindowExW(0, L"BUTTON", L"scan", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 0, 0,
                                         0, 0, window, reinterpret_cast<HMENU>(IDC_CMDZADUDUVUR), instance, nullptr);
  if (Resources.scanButton) MakeEnterPressButton(Resources.scanButton);
  LayOut(WindowDpi(window));
}

// Set when the program is asked to close while a press is acquiring: the acquisition is ended
// first, and the windows close when the press returns.
bool ClosePending = false;

// Closes every window of the program, this one included, without asking or saving anything.
void CloseEveryWindow(HWND window) {
  if (AcquisitionRunning()) {
    ClosePending = true;
    CancelWorkerScan();
    return;
  }
  CloseOptionsDialog();
  EndWaitingWorker();
  DestroyWindow(window);
}

void OnScan(HWND window) {
  cmdZadudUVur_Click();
  if (ClosePending) {
    ClosePending = false;
    CloseEveryWindow(window);
  }
}

// The menu bar may take more room than the frame calculation assumed, so correct the
// window size until the client area has exactly its designed size.
void FitClientArea(HWND window) {
  RECT client, frame;
  GetClientRect(window, &client);
  GetWindowRect(window, &frame);
  const SIZE size = ClientSize();
  const int dx = size.cx - (client.right - client.left);
  const int dy = size.cy - (client.bottom - client.top);
  if (dx != 0 || dy != 0)
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + dx, frame.bottom - frame.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnCommand(HWND window, WORD id) {
  switch (id) {
    case IDC_CMDZADUDUVUR:
      OnScan(window);
      break;
    case IDM_OPTIONS:
      // A dialog loop of its own would starve the source's events while a press acquires.
      if (AcquisitionRunning()) break;
      ShowOptionsDialog(window);
      break;
    case IDM_CLOSE:
      CloseEveryWindow(window);
      break;
  }
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      MainWindow = window;
      CreateControls(window, reinterpret_cast<const CREATESTRUCTW*>(lParam)->hInstance);
      MainFormLoad(window);
      return 0;
    case WM_SETFOCUS:
      if (Resources.scanButton) SetFocus(Resources.scanButton);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(Resources.formFont.get());
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != IDC_CMDZADUDUVUR) break;
      DrawScanButton(*item, static_cast<HBITMAP>(Resources.buttonPicture.get()),
                     static_cast<HFONT>(Resources.buttonFont.get()));
      return TRUE;
    }
    case WM_COMMAND:
      OnCommand(window, LOWORD(wParam));
      return 0;
    case WM_DPICHANGED: {
      // Moved to a screen of another DPI: the layout follows, in the frame Windows suggests.
      LayOut(LOWORD(wParam));
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      FitClientArea(window);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) CloseEveryWindow(window);
      return 0;
    case WM_CLOSE:
      CloseEveryWindow(window);
      return 0;
    case WM_DESTROY:
      Resources.scanButton = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      Resources = MainResources();
      MainWindow = nullptr;
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MainProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 32, 32, 0));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = MainClassName;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

HWND MainWindowHandle() { return MainWindow; }

HWND CreateMain(HINSTANCE instance) {
  if (!RegisterMainClass(instance)) return nullptr;
  HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDM_MAIN));
  // The frame for the design size; the client area is fitted once the window knows its DPI.
  RECT frame = {0, 0, MulDiv(MainClientTwips.cx, DesignDpi, 1440), MulDiv(MainClientTwips.cy, DesignDpi, 1440)};
  AdjustWindowRectEx(&frame, MainStyle, menu != nullptr, 0);
  HWND window = CreateWindowExW(0, MainClassName, ProductName, MainStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, menu, instance, nullptr);
  if (!window) {
    if (menu) DestroyMenu(menu);
    return nullptr;
  }
  FitClientArea(window);
  return window;
}

int RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL result = GetMessageW(&message, nullptr, 0, 0);
    // 0 is the quit message; -1 is a failure that would repeat for ever if ignored.
    if (result == 0 || result == -1) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
