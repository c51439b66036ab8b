// The probe's contract: a GetMessage hook in the program's UI thread answers a query message
// with a report of "key=value" lines, sent back to the asking window as WM_COPYDATA.
#pragma once

// Posted to a window of the program; wParam is the window that receives the report, lParam
// one of the requests below.
constexpr wchar_t ProbeQueryMessageName[] = L"Zembrolite.Probe.Query";
constexpr unsigned long ProbeReportTag = 0x5A50524FUL;  // the COPYDATASTRUCT's dwData
constexpr char ProbeHookExport[] = "ProbeGetMessage";   // exported undecorated

// The report of fonts, menus, focus, icon and object counts.
constexpr long ProbeReportRequest = 0;
// Opens or closes a manager session of the probe's own on the program's twain_32.dll; the report
// holds "manager.result" and "manager.condition". Wine's manager keeps one session per process,
// so while the probe holds one, the program's own opening fails.
constexpr long ProbeHoldManagerRequest = 1;
constexpr long ProbeReleaseManagerRequest = 2;
