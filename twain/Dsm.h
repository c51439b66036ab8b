// The one door to the TWAIN Data Source Manager. The TWAIN Working Group's 2.x manager,
// TWAINDSM.dll, is taken from the system folder of the program's own bitness when it is installed
// there (current drivers install it, 64-bit ones always); else twain_32.dll, the 1.x manager: the
// 32-bit one in the Windows folder, or for the 64-bit edition the one in the system folder, where
// Wine keeps its 64-bit manager (Windows has none). Neither is ever looked for on the search path,
// so that no copy planted beside the program or in the working folder is loaded.
#pragma once

#include <windows.h>

#include <string>

#include "TwainStates.h"
#include "TwainTypes.h"

// Calls the manager, loaded at the first call (and tried again at the next call after a load that
// failed). A manager that cannot be loaded answers TWRC_FAILURE to every call and notes why as the
// press's failure.
TW_UINT16 CallDsm(TW_IDENTITY* origin, TW_IDENTITY* destination, TW_UINT32 dataGroup, TW_UINT16 dataType,
                  TW_UINT16 message, TW_MEMREF data);

// The state that the calls so far have left the session in: every answer moves it as TWAIN says.
TwainState SessionState();

// Whether the manager in use, loaded now if it is not yet, is the 2.x one.
bool ManagerIsTwain2();

// The full paths where each manager is looked for.
std::wstring Twain2ManagerPath();
std::wstring Twain1ManagerPath();
