// The memory that the virtual scanner hands to the application: capability containers and
// images, which the application frees. Allocated and locked through the 2.x manager's functions
// once the manager has handed them over (DAT_ENTRYPOINT), as TWAIN 2.x asks of a source, else as
// Windows' global memory. It keeps count of what the application has not freed yet; with the 2.x
// manager only a free through the manager's own function counts.
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

// Zero-filled; counted as handed over.
HGLOBAL HandOverMemory(SIZE_T bytes);
void* LockHandedMemory(HGLOBAL memory);
void UnlockHandedMemory(HGLOBAL memory);
// How many handed-over blocks the application has not freed (through the manager's free).
size_t StillHandedOver();
