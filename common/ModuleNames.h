// Names of the modules loaded in the process, for the lines of the watchdog and the last-chance
// handler: into buffers of the caller, without allocating.
#pragma once

#include <windows.h>

#include <cstddef>

// The module that holds an address, or null.
HMODULE ModuleAt(const void* address);
// The module's file name without its folder ("sane.ds"); "" when unknown.
void ModuleFileName(HMODULE module, wchar_t* name, std::size_t capacity);
// " (VirtualScanner.ds 1.0.0)" when the module's version block names another original file
// than the module's own, " (1.0.0)" when it names the same; "" without a version block.
void ModuleNote(HMODULE module, wchar_t* note, std::size_t capacity);
