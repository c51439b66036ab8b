// The probe's contract: a GetMessage hook in the program's UI thread answers a query message
// with a report of "key=value" lines, sent back to the asking window as WM_COPYDATA.
#pragma once

// Posted to a window of the program; wParam is the window that receives the report.
constexpr wchar_t ProbeQueryMessageName[] = L"Zembrolite.Probe.Query";
constexpr unsigned long ProbeReportTag = 0x5A50524FUL;  // the COPYDATASTRUCT's dwData
constexpr char ProbeHookExport[] = "ProbeGetMessage";   // exported undecorated
