// Twips and points at the DPI of the screen that shows a dialog, and the empty template such a
// dialog starts from, for the program's dialogs that lay out their own controls.
#pragma once

#include <windows.h>

#include <cwchar>
#include <vector>

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

// A dialog with a caption and no controls of its own; they are made at their pixel positions, and
// the dialog is sized to them, before it shows.
inline std::vector<WORD> EmptyDialogTemplate(const wchar_t* caption) {
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
  header->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  header->cx = 300;
  header->cy = 200;
  words.push_back(0);  // no menu
  words.push_back(0);  // the system's dialog class
  for (const wchar_t* c = caption; *c; ++c) words.push_back(static_cast<WORD>(*c));
  words.push_back(0);
  return words;
}
