#include "SourceList.h"

#include <algorithm>
#include <string>

#include "../common/Handles.h"
#include "../common/WinText.h"
#include "DialogFont.h"

namespace {

// Twips, at the dialog's DPI.
constexpr int Margin = 180, ColumnGap = 300, CellPadding = 90, ButtonGap = 120;
constexpr int ButtonWidth = 1215, ButtonHeight = 495, ButtonPadding = 360;
constexpr int ScrollBarRoom = 330;
constexpr int FontHundredths = 1125;
constexpr int VisibleRows = 8;

enum ControlIds : int { lblSource = 101, lblManufacturer, lblBitness, lstSources };
const int HeadingIds[] = {lblSource, lblManufacturer, lblBitness};
const wchar_t* const Headings[] = {L"Source", L"Manufacturer", L"Bitness"};
constexpr int Columns = 3;

struct ListState {
  const std::vector<ListedSource>* sources = nullptr;
  int preselected = 0;
  int dpi = 96;
  UniqueGdiObject font;
  int rowHeight = 0;
  int columnLeft[Columns] = {};  // in the list's client area
};
ListState* Shown = nullptr;

std::wstring Cell(const ListedSource& source, int column) {
  if (column == 0) return source.productName;
  if (column == 1) return source.manufacturer;
  return std::to_wstring(source.bitness) + L"-bit";
}

// The row as the list holds it, its cells apart by tabs: what a screen reader and the typing of a
// name's first letters find.
std::wstring RowText(const ListedSource& source) {
  return Cell(source, 0) + L"\t" + Cell(source, 1) + L"\t" + Cell(source, 2);
}

SIZE TextSize(HFONT font, const std::wstring& text) {
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  SelectedObject selected(dc.get(), font);
  SIZE extent = {};
  GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
  return extent;
}

// Each column as wide as its widest cell or heading, in the font at the dialog's DPI.
int MeasureColumns(ListState& state) {
  const HFONT font = static_cast<HFONT>(state.font.get());
  int left = Pixels(CellPadding, state.dpi);
  for (int column = 0; column < Columns; ++column) {
    int widest = TextSize(font, Headings[column]).cx;
    for (const ListedSource& source : *state.sources)
      widest = std::max(widest, static_cast<int>(TextSize(font, Cell(source, column)).cx));
    state.columnLeft[column] = left;
    left += widest + (column + 1 < Columns ? Pixels(ColumnGap, state.dpi) : Pixels(CellPadding, state.dpi));
  }
  return left;  // the rows' width
}

int ButtonWidthFor(HFONT font, const wchar_t* caption, int dpi) {
  return std::max(Pixels(ButtonWidth, dpi), static_cast<int>(TextSize(font, caption).cx) + Pixels(ButtonPadding, dpi));
}

void Place(HWND dialog, int id, int left, int top, int width, int height) {
  HWND control = GetDlgItem(dialog, id);
  SetWindowPos(control, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Shown->font.get()), TRUE);
}

// The font at the dialog's DPI, and the columns and rows in it; the rows' width.
int Measure(ListState& state) {
  state.font.reset(MakeTahoma(state.dpi, FontHundredths, false));
  state.rowHeight = TextSize(static_cast<HFONT>(state.font.get()), Headings[0]).cy + Pixels(CellPadding, state.dpi);
  return MeasureColumns(state);
}

// The whole dialog at its DPI: the headings over their columns, the list as wide as its rows and
// as high as a few of them, the buttons under it on the right.
void LayOut(HWND dialog, int rowsWidth) {
  ListState& state = *Shown;
  const HFONT font = static_cast<HFONT>(state.font.get());
  const SIZE heading = TextSize(font, Headings[0]);
  const int edge = GetSystemMetrics(SM_CXEDGE);
  const int listWidth = rowsWidth + Pixels(ScrollBarRoom, state.dpi) + 2 * edge;
  const int rows = std::min(std::max(static_cast<int>(state.sources->size()), 3), VisibleRows);
  const int listHeight = rows * state.rowHeight + 2 * edge;
  const int margin = Pixels(Margin, state.dpi), gap = Pixels(ButtonGap, state.dpi);
  const int selectWidth = ButtonWidthFor(font, L"Select", state.dpi),
            cancelWidth = ButtonWidthFor(font, L"Cancel", state.dpi);
  const int buttonHeight =
      std::max(Pixels(ButtonHeight, state.dpi), static_cast<int>(heading.cy) + Pixels(CellPadding, state.dpi));
  const int clientWidth = 2 * margin + std::max(listWidth, selectWidth + gap + cancelWidth);
  const int listTop = margin + heading.cy + Pixels(60, state.dpi);
  const int buttonsTop = listTop + listHeight + gap;
  const int clientHeight = buttonsTop + buttonHeight + margin;

  for (int column = 0; column < Columns; ++column)
    Place(dialog, HeadingIds[column], margin + edge + state.columnLeft[column], margin,
          TextSize(font, Headings[column]).cx, heading.cy);
  Place(dialog, lstSources, margin, listTop, listWidth, listHeight);
  SendMessageW(GetDlgItem(dialog, lstSources), LB_SETITEMHEIGHT, 0, state.rowHeight);
  Place(dialog, IDCANCEL, clientWidth - margin - cancelWidth, buttonsTop, cancelWidth, buttonHeight);
  Place(dialog, IDOK, clientWidth - margin - cancelWidth - gap - selectWidth, buttonsTop, selectWidth, buttonHeight);

  RECT frame = {0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Centred over its owner, and inside the owner's screen.
void CentreOverOwner(HWND dialog) {
  RECT own, over;
  GetWindowRect(dialog, &own);
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (!owner || !GetWindowRect(owner, &over)) return;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const int width = own.right - own.left, height = own.bottom - own.top;
  int left = (over.left + over.right - width) / 2, top = (over.top + over.bottom - height) / 2;
  left =
      std::max(static_cast<int>(monitor.rcWork.left), std::min(left, static_cast<int>(monitor.rcWork.right) - width));
  top = std::max(static_cast<int>(monitor.rcWork.top), std::min(top, static_cast<int>(monitor.rcWork.bottom) - height));
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CreateControls(HWND dialog) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto make = [&](DWORD exStyle, const wchar_t* kind, const wchar_t* caption, DWORD style, int id) {
    CreateWindowExW(exStyle, kind, caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, dialog,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  // In focus order: the list, then the buttons; the headings take no focus.
  make(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
       WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT, lstSources);
  make(0, L"BUTTON", L"Select", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK);
  make(0, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
  for (int column = 0; column < Columns; ++column)
    make(0, L"STATIC", Headings[column], SS_LEFT | SS_NOPREFIX, HeadingIds[column]);
  HWND list = GetDlgItem(dialog, lstSources);
  for (const ListedSource& source : *Shown->sources)
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(RowText(source).c_str()));
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(Shown->preselected), 0);
}

// A row's cells at their columns, in the colours of a selected row where it is.
void DrawRow(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) return;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  SetBkMode(item.hDC, TRANSPARENT);
  SelectedObject font(item.hDC, Shown->font.get());
  const ListedSource& source = (*Shown->sources)[item.itemID];
  for (int column = 0; column < Columns; ++column) {
    RECT cell = item.rcItem;
    cell.left = item.rcItem.left + Shown->columnLeft[column];
    if (column + 1 < Columns) cell.right = item.rcItem.left + Shown->columnLeft[column + 1];
    const std::wstring text = Cell(source, column);
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &cell, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

void EndWithSelection(HWND dialog) {
  const LRESULT row = SendMessageW(GetDlgItem(dialog, lstSources), LB_GETCURSEL, 0, 0);
  if (row != LB_ERR) EndDialog(dialog, row);
}

INT_PTR CALLBACK ListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      Shown->dpi = WindowDpi(dialog);
      const int rowsWidth = Measure(*Shown);  // before the list asks for its rows' height
      CreateControls(dialog);
      LayOut(dialog, rowsWidth);
      CentreOverOwner(dialog);
      SetFocus(GetDlgItem(dialog, lstSources));
      return FALSE;  // the focus is set
    }
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(Shown->rowHeight);
      return TRUE;
    case WM_DRAWITEM:
      DrawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || (LOWORD(wParam) == lstSources && HIWORD(wParam) == LBN_DBLCLK))
        EndWithSelection(dialog);
      else if (LOWORD(wParam) == IDCANCEL)
        EndDialog(dialog, -1);
      return TRUE;
    case WM_GETFONT:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(Shown->font.get()));
      return TRUE;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: laid out again where Windows suggests.
      Shown->dpi = LOWORD(wParam);
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(dialog, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      LayOut(dialog, Measure(*Shown));
      return TRUE;
    }
    case WM_CLOSE:
      EndDialog(dialog, -1);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

int PickSource(HWND owner, const std::vector<ListedSource>& sources, int preselected) {
  if (sources.empty()) return -1;
  ListState state;
  state.sources = &sources;
  state.preselected = preselected >= 0 && static_cast<size_t>(preselected) < sources.size() ? preselected : 0;
  Shown = &state;
  const std::vector<WORD> layout = EmptyDialogTemplate(L"Choose source");
  const INT_PTR picked = DialogBoxIndirectParamW(
      GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(layout.data()), owner, ListProc, 0);
  Shown = nullptr;
  return picked >= 0 && static_cast<size_t>(picked) < sources.size() ? static_cast<int>(picked) : -1;
}
