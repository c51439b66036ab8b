// A quit message that a loop of its own took from the thread's queue, handed back to the thread
// when the loop's owner goes, so that the thread's own message loop still ends.
#pragma once

#include <windows.h>

struct KeptQuit {
  bool seen = false;
  WPARAM exitCode = 0;
  KeptQuit() = default;
  KeptQuit(const KeptQuit&) = delete;
  KeptQuit& operator=(const KeptQuit&) = delete;
  ~KeptQuit() {
    if (seen) PostQuitMessage(static_cast<int>(exitCode));
  }
};
