// The one door to the TWAIN Data Source Manager: DSM_Entry of twain_32.dll in the Windows folder.
#pragma once

#include <windows.h>

#include <string>

#include "TwainTypes.h"

using DsmEntryProc = TW_UINT16(WINAPI*)(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dataGroup,
                                        TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data);

// Calls the manager. A manager that cannot be loaded answers TWRC_FAILURE to every call.
TW_UINT16 CallDsm(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dataGroup, TW_UINT16 dataType,
                  TW_UINT16 message, TW_MEMREF data);

// The manager's full path: twain_32.dll in the Windows folder, never found through the search path
// (a 64-bit build, the bench's on hosts that run no 32-bit code, takes the 64-bit one in the
// system folder).
std::wstring DsmPath();

// Puts another entry point in place of the real manager (tests only); null restores the real one.
void ReplaceDsmEntryForTesting(DsmEntryProc entry);
