// The scan button's look: its picture above its caption on a light grey face.
#pragma once

#include <windows.h>

constexpr COLORREF ScanButtonFaceColour = RGB(224, 224, 224);

// Paints the owner-drawn button described by item with the given picture and caption font.
void DrawScanButton(const DRAWITEMSTRUCT& item, HBITMAP picture, HFONT captionFont);

// Lets Enter press the button while it has the focus, as Space does.
void MakeEnterPressButton(HWND button);
