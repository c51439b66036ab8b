// Twips and points at the DPI of the screen that shows a dialog, for the program's dialogs that
// lay out their own controls.
#pragma once

#include <windows.h>

#include <cwchar>

// At 96 dots per inch, 15 twips to a pixel.
inline int Pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

inline HFONT MakeTahoma(int dpi, int hundredthsOfPoints, bool bold) {
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(hundredthsOfPoints, dpi, 7200);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = 0;
  wcscpy_s(font.lfFaceName, L"Tahoma");
  return CreateFontIndirectW(&font);
}
