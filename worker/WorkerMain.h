// The scan worker's whole run, from its command line to its end; its entry calls it.
#pragma once

// The exit code: 0 after an answer, else why there was none.
int RunScanWorker();
