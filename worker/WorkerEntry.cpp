#include <windows.h>

#include "WorkerMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return RunScanWorker(); }
