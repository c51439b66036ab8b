// The scan button: one press, one image, in the way that ScanSettings chooses.
#pragma once

// Handles a press. A press while an acquisition runs is ignored.
void cmdZadudUVur_Click();

// True while a press is acquiring: the source's events are being pumped below the handler.
bool AcquisitionRunning();

// True from the start of a press to its end, whichever way it takes; read by the last-chance
// handler and the watchdog on another thread.
bool PressInProgress();
