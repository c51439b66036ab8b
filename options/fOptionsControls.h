// The control identifiers of the options dialog. 1 and 2 (IDOK, IDCANCEL) are left unused, so
// that Enter outside a button and Esc press nothing.
#pragma once

enum ControlId : int {
  chkScanUI = 3001,
  chkScannerArray,
  txtScanArray,
  cmdSrc,
  cmdOK,
  cmdCancel,
  cmdSource,
  txtDPI,
  txtScanPath,
  cmdPath,
  cboColorType,
  lblScanPath,
  Label1,
  lblColorType,
};
