#include "ScanButton.h"

#include <string>

#include "../common/Handles.h"

namespace {

// The picture's lowest tenth is plain face colour (58 of 64 rows drawn), so the caption may
// start on it.
int CaptionTopInPicture(int pictureSize) { return pictureSize * 58 / 64; }

int PictureSize(HBITMAP picture) {
  BITMAP facts = {};
  return picture && GetObjectW(picture, sizeof facts, &facts) ? facts.bmHeight : 0;
}

void DrawPicture(HDC dc, HBITMAP picture, int left, int top) {
  if (!picture) return;
  UniqueMemoryDc source(CreateCompatibleDC(dc));
  if (!source) return;
  SelectedObject selected(source.get(), picture);
  BitBlt(dc, left, top, PictureSize(picture), PictureSize(picture), source.get(), 0, 0, SRCCOPY);
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], length + 1)));
  return text;
}

LRESULT CALLBACK EnterPressesButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  auto original = reinterpret_cast<WNDPROC>(GetPropW(button, L"Zembrolite.ButtonProc"));
  if (message == WM_GETDLGCODE && wParam == VK_RETURN) return DLGC_WANTMESSAGE;
  if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return 0;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(button, L"Zembrolite.ButtonProc");
  }
  return CallWindowProcW(original, button, message, wParam, lParam);
}

}  // namespace

void DrawScanButton(const DRAWITEMSTRUCT& item, HBITMAP picture, HFONT captionFont) {
  HDC dc = item.hDC;
  RECT face = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;

  UniqueGdiObject faceBrush(CreateSolidBrush(ScanButtonFaceColour));
  FillRect(dc, &face, static_cast<HBRUSH>(faceBrush.get()));
  DrawEdge(dc, &face, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  // A pressed button shifts its content by one pixel, as the system's own buttons do.
  const int shift = pushed ? 1 : 0;
  const int width = face.right - face.left, pictureSize = PictureSize(picture);
  DrawPicture(dc, picture, face.left + (width - pictureSize) / 2 + shift, face.top + 2 + shift);

  SelectedObject font(dc, captionFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  RECT caption = {face.left + 2 + shift, face.top + 2 + CaptionTopInPicture(pictureSize) + shift,
                  face.right - 2 + shift, face.bottom - 2 + shift};
  const std::wstring text = WindowText(item.hwndItem);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption, format);

  // The focus is shown around the caption, where it does not cross the picture.
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    RECT focus = caption;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &focus, format | DT_CALCRECT);
    const int textWidth = focus.right - focus.left;
    focus.left = caption.left + ((caption.right - caption.left) - textWidth) / 2 - 2;
    focus.right = focus.left + textWidth + 4;
    // Two pixels of room around the text, and never into the picture's drawn rows.
    const int textHeight = focus.bottom - focus.top;
    focus.top = caption.top + ((caption.bottom - caption.top) - textHeight) / 2 - 2;
    focus.bottom = focus.top + textHeight + 4;
    const int belowPicture = face.top + 2 + CaptionTopInPicture(pictureSize) + shift;
    if (focus.top < belowPicture) focus.top = belowPicture;
    DrawFocusRect(dc, &focus);
  }
}

void MakeEnterPressButton(HWND button) {
  LONG_PTR original = GetWindowLongPtrW(button, GWLP_WNDPROC);
  SetPropW(button, L"Zembrolite.ButtonProc", reinterpret_cast<HANDLE>(original));
  SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EnterPressesButtonProc));
}
