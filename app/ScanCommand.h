// The scan button: one press, one image, in the way that ScanSettings chooses.
#pragma once

// Handles a press. A press while an acquisition runs is ignored.
void cmdZadudUVur_Click();

// True while a press is acquiring: the source's events are being pumped below the handler.
bool AcquisitionRunning();
