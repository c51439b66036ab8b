// The station's name sequence on disk: one record for every user and program of the station,
// guarded by a machine-wide lock. Builds the names that NameSequence.h describes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "NameSequence.h"

struct StationNameSetup {
  std::wstring storeFolder;  // holds the record; made on first use, changeable by the station's users
  std::wstring computerName;
  std::function<ClockReading()> clock;
  DWORD lockTimeoutMs = 2000;  // a lock held longer than this gives a fallback name, not a hang
};

// The provider's setup: %ProgramData%\Zembrolite\ImageNameProvider, the computer name, the
// local clock.
StationNameSetup StationSetup();

// The next name of the station. Never fails and never repeats a name: when the record cannot be
// read, locked or written, the name takes the fallback form.
std::wstring NextStationName(const StationNameSetup& setup);

// The record's file in a store folder.
std::wstring SequenceRecordPath(const std::wstring& storeFolder);
