// Identifiers shared by the resource script and the code.
#pragma once

#define IDI_MAIN 1
#define IDB_SCAN 101
#define IDB_SCAN_80 111
#define IDB_SCAN_96 112
#define IDB_SCAN_128 113
#define IDM_MAIN 102

#define IDC_CMDZADUDUVUR 1001
#define IDM_OPTIONS 2001
#define IDM_CLOSE 2002
