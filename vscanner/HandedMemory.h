// The memory that the virtual scanner hands to the application: capability containers and
// images, which the application frees. Allocated and locked through the 2.x manager's functions
// once the manager has handed them over (DAT_ENTRYPOINT), as TWAIN 2.x asks of a source, else as
// Windows' global memory.
#pragma once

#include <windows.h>

#include <string>

#include "../twain/TwainTypes.h"

// The manager's functions, from the 2.x manager before it opens the source.
void TakeManagerMemory(const TW_ENTRYPOINT& entry);
// The 2.x manager's entry, or null when the manager is a 1.x one.
DsmEntryProc ManagerEntry();
// The full path of the manager that loaded this source.
std::string ManagerPath();

// Zero-filled.
HGLOBAL HandOverMemory(SIZE_T bytes);
void* LockHandedMemory(HGLOBAL memory);
void UnlockHandedMemory(HGLOBAL memory);

// The test build of the scanner counts what the application has not freed yet (with the 2.x
// manager, only a free through the manager's own function counts); the scanner that ships counts
// nothing and changes nothing outside itself. Called as the source is loaded, as memory is handed
// over and as the manager hands over its functions; the text for the call log is empty when
// nothing is counted.
void StartCounting();
void CountHandedOver(HGLOBAL memory);
void CountFreesThrough(const TW_ENTRYPOINT& entry);
std::string StillHandedOverText();
