#include "fOptions.h"

#include <commdlg.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "../app/resource.h"
#include "../common/AppError.h"
#include "../common/Handles.h"
#include "../common/WinText.h"
#include "../log/ErrorLog.h"
#include "../settings/INIModul.h"
#include "../settings/ValueConversions.h"
#include "../settings/ValueText.h"
#include "../worker/ScanWorker.h"
#include "BrowseForFolder.h"
#include "DialogFont.h"
#include "SourceList.h"
#include "fOptionsControls.h"

namespace {

enum class Kind { Label, TextBox, Button, CheckBox, ColourList };

struct ControlDesign {
  ControlId id;
  Kind kind;
  const wchar_t* caption;
  int left, top, width, height;  // twips; a label is as wide as its caption
  int hundredthsOfPoints;        // 1125 = 11.25 pt
  bool bold;
};

// In focus order: the controls are created in this order, and the labels, which take no
// focus, last.
const ControlDesign Design[] = {
    {chkScanUI, Kind::CheckBox, L"With user interface", 240, 1920, 2655, 240, 1125, false},
    {chkScannerArray, Kind::CheckBox, L"External Scanner-Software:", 240, 2400, 3660, 210, 1125, false},
    {txtScanArray, Kind::TextBox, L"", 240, 2640, 5595, 375, 1125, false},
    {cmdSrc, Kind::Button, L"...", 6000, 2640, 420, 330, 975, true},
    {cmdOK, Kind::Button, L"OK", 4200, 3720, 975, 495, 1125, true},
    {cmdCancel, Kind::Button, L"Cancel", 5400, 3720, 1215, 495, 1125, true},
    {cmdSource, Kind::Button, L"Choose source", 240, 3120, 2580, 465, 1125, false},
    {txtDPI, Kind::TextBox, L"", 840, 1200, 870, 315, 1125, false},
    {txtScanPath, Kind::TextBox, L"", 1440, 360, 4335, 315, 1125, false},
    {cmdPath, Kind::Button, L"...", 6000, 360, 420, 330, 975, true},
    {cboColorType, Kind::ColourList, L"", 3480, 1200, 855, 360, 975, false},
    {lblScanPath, Kind::Label, L"Scan Path:", 240, 360, 1095, 255, 1125, false},
    {Label1, Kind::Label, L"DPI:", 240, 1200, 435, 270, 1125, false},
    {lblColorType, Kind::Label, L"Colortype:", 2400, 1200, 990, 270, 1125, false},
};

constexpr SIZE ClientTwips = {6795, 4410};
constexpr int WindowFontHundredths = 1200;
const wchar_t* const ColourEntries[] = {L"BW", L"GREY", L"RGB"};

// Everything that one opening of the dialog owns.
struct DialogState {
  HWND window = nullptr;
  std::vector<UniqueGdiObject> fonts;
  std::wstring scanArrayTag;  // the file chosen last in the file-open dialog
  HFONT windowFont = nullptr;
  int dpi = 96;
};
DialogState* Open = nullptr;

HWND Control(HWND dialog, ControlId id) { return GetDlgItem(dialog, id); }

std::wstring TextOf(HWND dialog, ControlId id) {
  HWND control = Control(dialog, id);
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], length + 1)));
  return text;
}

void SetText(HWND dialog, ControlId id, const std::wstring& text) { SetWindowTextW(Control(dialog, id), text.c_str()); }

bool Ticked(HWND dialog, ControlId id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Enable(HWND dialog, ControlId id, bool enabled) { EnableWindow(Control(dialog, id), enabled ? TRUE : FALSE); }

// The closed list is as high as designed: its selection field plus the frame. The list may
// round the field's height, so the fit is checked once more.
void FitClosedHeight(HWND list, int height) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    RECT frame;
    GetWindowRect(list, &frame);
    const int difference = height - (frame.bottom - frame.top);
    if (difference == 0) return;
    const int field = static_cast<int>(SendMessageW(list, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + difference);
  }
}

// How wide a caption is drawn in a font. A font's text does not grow exactly with the DPI, so a
// label of fixed twips cuts its caption at some DPIs ("Scan" of "Scan Path:" at 144 dpi).
int CaptionWidth(HFONT font, const wchar_t* caption) {
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  SelectedObject selected(dc.get(), font);
  SIZE extent = {};
  GetTextExtentPoint32W(dc.get(), caption, lstrlenW(caption), &extent);
  return extent.cx;
}

// A label keeps a gap of 60 twips before the control beside it on its row: where its caption
// needs more room than its twips give, it starts further left.
int LabelLeft(const ControlDesign& label, int width, int dpi) {
  int left = Pixels(label.left, dpi);
  for (const ControlDesign& other : Design)
    if (other.kind != Kind::Label && other.top == label.top && other.left > label.left)
      left = std::min(left, Pixels(other.left - 60, dpi) - width);
  return left;
}

// Each control at its twips and with its font at its points, for the dialog's DPI; the labels
// as wide as their captions. The fonts in use are replaced only once the new ones are set.
void PlaceControls(DialogState& state) {
  std::vector<UniqueGdiObject> fonts;
  for (const ControlDesign& design : Design) {
    HWND control = Control(state.window, design.id);
    HFONT font = MakeTahoma(state.dpi, design.hundredthsOfPoints, design.bold);
    fonts.emplace_back(font);
    // A drop-down list gets room for its open list; its closed box keeps its designed height.
    const int room = design.kind == Kind::ColourList ? 120 : 0;
    const int width = design.kind == Kind::Label ? CaptionWidth(font, design.caption) : Pixels(design.width, state.dpi);
    const int left = design.kind == Kind::Label ? LabelLeft(design, width, state.dpi) : Pixels(design.left, state.dpi);
    SetWindowPos(control, nullptr, left, Pixels(design.top, state.dpi), width, Pixels(design.height, state.dpi) + room,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (design.kind == Kind::ColourList) FitClosedHeight(control, Pixels(design.height, state.dpi));
  }
  state.windowFont = MakeTahoma(state.dpi, WindowFontHundredths, false);
  fonts.emplace_back(state.windowFont);
  state.fonts = std::move(fonts);
}

void CreateControls(DialogState& state, HINSTANCE instance) {
  state.dpi = WindowDpi(state.window);
  for (const ControlDesign& design : Design) {
    const wchar_t* className = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (design.kind) {
      case Kind::Label:
        className = L"STATIC";
        style |= SS_LEFT | SS_NOPREFIX;
        break;
      case Kind::TextBox:
        className = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case Kind::Button:
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case Kind::CheckBox:
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
      case Kind::ColourList:
        className = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        break;
    }
    CreateWindowExW(exStyle, className, design.caption, style, 0, 0, 0, 0, state.window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
  }
  PlaceControls(state);
}

void FitClientArea(HWND dialog, int dpi) {
  RECT frame = {0, 0, Pixels(ClientTwips.cx, dpi), Pixels(ClientTwips.cy, dpi)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ApplyExternalProgramRule(HWND dialog) {
  const bool on = Ticked(dialog, chkScannerArray);
  Enable(dialog, txtScanArray, on);
  Enable(dialog, cmdSrc, on);
}

void ApplySourceInterfaceRule(HWND dialog) {
  const bool on = Ticked(dialog, chkScanUI);
  Enable(dialog, txtDPI, !on);
  Enable(dialog, cboColorType, !on);
}

void FormLoad(HWND dialog) {
  try {
    SetText(dialog, txtScanPath, ScanSettings.OutputFolder);
    CheckDlgButton(dialog, chkScannerArray, ScanSettings.UseExternalProgram != 0 ? BST_CHECKED : BST_UNCHECKED);
    ApplyExternalProgramRule(dialog);
    SetText(dialog, txtScanArray, ScanSettings.ExternalProgramPath);
    CheckDlgButton(dialog, chkScanUI, ScanSettings.ShowSourceUI != 0 ? BST_CHECKED : BST_UNCHECKED);
    ApplySourceInterfaceRule(dialog);
    HWND list = Control(dialog, cboColorType);
    for (const wchar_t* entry : ColourEntries) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    const LRESULT found = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(ScanSettings.ColorTypeName.c_str()));
    // The list's search ignores case; the stored text must match an entry exactly.
    if (found == CB_ERR || ScanSettings.ColorTypeName != ColourEntries[found])
      throw AppError{380, L"Invalid property value"};
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
    SetText(dialog, txtDPI, Int16ToText(ScanSettings.Resolution));
  } catch (const AppError& error) {
    LogError(error.Number, error.Description, L"fOptions_Form_Load");
  } catch (const std::bad_alloc&) {
    LogError(7, L"Out of memory", L"fOptions_Form_Load");
  }
}

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring SelectedColour(HWND dialog) {
  const LRESULT selected = SendMessageW(Control(dialog, cboColorType), CB_GETCURSEL, 0, 0);
  return selected == CB_ERR ? L"" : ColourEntries[selected];
}

// Each assignment takes effect at once; a failing step leaves the later fields as they were.
void OkClick(HWND dialog) {
  try {
    ScanSettings.OutputFolder = TextOf(dialog, txtScanPath);
    // Stands for FileSystemObject.FolderExists and CreateFolder: only the last folder is made.
    if (!FolderExists(ScanSettings.OutputFolder) && !CreateDirectoryW(ScanSettings.OutputFolder.c_str(), nullptr))
      throw LastWin32Error();
    ScanSettings.ColorTypeName = SelectedColour(dialog);
    ScanSettings.Resolution = TextToInt16(TextOf(dialog, txtDPI));
    ScanSettings.ShowSourceUI = Ticked(dialog, chkScanUI) ? TruthTrue : TruthFalse;
    ScanSettings.UseExternalProgram = Ticked(dialog, chkScannerArray) ? TruthTrue : TruthFalse;
    ScanSettings.ExternalProgramPath = TextOf(dialog, txtScanArray);
    SaveConfig();
    EndDialog(dialog, IDOK);
  } catch (const AppError& error) {
    LogError(error.Number, error.Description, L"fOptions_cmdOK_Click");
  } catch (const std::bad_alloc&) {
    LogError(7, L"Out of memory", L"fOptions_cmdOK_Click");
  }
}

void PathClick(HWND dialog) {
  try {
    const std::wstring chosen = BrowseForFolder(L"Please select a folder...");
    if (!chosen.empty()) ScanSettings.OutputFolder = chosen;
    if (ScanSettings.OutputFolder.empty() || ScanSettings.OutputFolder.back() != L'\\')
      ScanSettings.OutputFolder += L'\\';
    SetText(dialog, txtScanPath, ScanSettings.OutputFolder);
  } catch (const AppError& error) {
    LogError(error.Number, error.Description, L"fOptions_cmdPath_Click");
  } catch (const std::bad_alloc&) {
    LogError(7, L"Out of memory", L"fOptions_cmdPath_Click");
  }
}

// Stands for the common dialog control's ShowOpen with its default settings.
std::wstring ShowOpen(HWND owner) {
  wchar_t file[MAX_PATH] = L"";
  OPENFILENAMEW request = {};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFile = file;
  request.nMaxFile = MAX_PATH;
  request.Flags = OFN_EXPLORER;
  return GetOpenFileNameW(&request) ? file : L"";
}

void SrcClick(HWND dialog) {
  Open->scanArrayTag = ShowOpen(dialog);
  if (!Open->scanArrayTag.empty()) SetText(dialog, txtScanArray, Open->scanArrayTag);
}

void OnCommand(HWND dialog, int id, int notification) {
  if (notification != BN_CLICKED) return;
  switch (id) {
    case chkScannerArray:
      ApplyExternalProgramRule(dialog);
      break;
    case chkScanUI:
      ApplySourceInterfaceRule(dialog);
      break;
    case cmdPath:
      PathClick(dialog);
      break;
    case cmdSrc:
      SrcClick(dialog);
      break;
    case cmdSource:
      ChooseSourceInWorker(dialog, PickSource);  // its outcome changes nothing here
      break;
    case cmdOK:
      OkClick(dialog);
      break;
    case cmdCancel:
      EndDialog(dialog, IDCANCEL);
      break;
    default:
      break;  // IDOK from Enter outside a button, IDCANCEL from Esc: nothing
  }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      Open->window = dialog;
      HINSTANCE instance = GetModuleHandleW(nullptr);
      SendMessageW(
          dialog, WM_SETICON, ICON_BIG,
          reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 32, 32, LR_SHARED)));
      SendMessageW(dialog, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                       LR_SHARED)));
      CreateControls(*Open, instance);
      FitClientArea(dialog, Open->dpi);
      FormLoad(dialog);
      SetFocus(Control(dialog, chkScanUI));
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_GETFONT:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(Open ? Open->windowFont : nullptr));
      return TRUE;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: laid out again, in the frame Windows suggests.
      Open->dpi = LOWORD(wParam);
      PlaceControls(*Open);
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
      FitClientArea(dialog, Open->dpi);
      return TRUE;
    }
    case WM_CLOSE:
      // The close box and the system's close command: like "Cancel".
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void ShowOptionsDialog(HWND owner) {
  DialogState state;
  Open = &state;
  const std::vector<WORD> layout = EmptyDialogTemplate(L"Settings");
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(layout.data()), owner,
                          DialogProc, 0);
  Open = nullptr;
}

HWND OpenOptionsDialog() { return Open ? Open->window : nullptr; }

void CloseOptionsDialog() {
  if (Open && Open->window) EndDialog(Open->window, IDCANCEL);
}
