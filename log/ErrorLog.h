// The error log: one line per trapped failure in "Logs\Error.log" below the program's folder,
// moved aside under a dated name once it has grown beyond the size limit. Every program that
// writes to a log folder (the program and its scan worker) appends and moves aside under the
// folder's machine-wide lock.
#pragma once

#include <cstdint>
#include <string>

// Appends one line; never fails and never raises.
void LogError(std::int32_t number, const std::wstring& description, const std::wstring& procedureName) noexcept;

// The same into a given log folder (a text ending with "\"); LogError uses the program's own.
void AppendErrorLine(const std::wstring& logFolder, std::int32_t number, const std::wstring& description,
                     const std::wstring& procedureName) noexcept;

// The name of the lock of a log folder: the same for every spelling of the folder.
std::wstring ErrorLogLockName(const std::wstring& logFolder);

// The current local date and time in the general form of the user's regional settings.
std::wstring NowText();

// For the last-chance handler, which must not allocate: the log folder is composed once at start,
// and a line then goes through the same writer from buffers of fixed size.
void PrepareLastChanceLog();
const wchar_t* PreparedLogFolder();
void AppendLastChanceLine(std::int32_t number, const wchar_t* description, const wchar_t* procedureName) noexcept;
