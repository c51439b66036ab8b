// The scan worker with a stranger that comes first: before it connects, another process of the
// same user connects to the program's channel and waits for a word. It writes into
// "stranger.txt" beside itself what the stranger met: "refused" when the program cut it off
// without a byte, "answered" when it was sent anything, "shut out" when it could not connect.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "../../worker/WorkerMain.h"

namespace {

const char* Stranger(const wchar_t* channel) {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  for (int tries = 0; tries < 100 && pipe == INVALID_HANDLE_VALUE; ++tries) {
    pipe = CreateFileW(channel, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) Sleep(100);
  }
  if (pipe == INVALID_HANDLE_VALUE) return "shut out";
  char byte = 0;
  DWORD got = 0;
  const bool answered = ReadFile(pipe, &byte, 1, &got, nullptr) || GetLastError() == ERROR_MORE_DATA;
  CloseHandle(pipe);
  return answered ? "answered" : "refused";
}

std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring channel;
  for (int i = 1; i + 1 < count; ++i)
    if (std::wcscmp(arguments[i], L"--channel") == 0) channel = arguments[i + 1];
  const bool isStranger = count == 3 && std::wcscmp(arguments[1], L"--stranger") == 0;
  if (isStranger) channel = arguments[2];
  LocalFree(arguments);
  if (isStranger) {
    const std::string met = Stranger(channel.c_str());
    HANDLE file = CreateFileW(Beside(L"stranger.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, met.data(), static_cast<DWORD>(met.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
  }
  wchar_t self[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --stranger " + channel;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION stranger = {};
  if (CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &stranger)) {
    WaitForSingleObject(stranger.hProcess, 30000);
    CloseHandle(stranger.hProcess);
    CloseHandle(stranger.hThread);
  }
  return RunScanWorker();
}
