// Speed, memory and limits of large scans, measured from outside the real Zembrolite.exe with
// the virtual scanner, and a press against the same acquisition run in this process: one line
// per figure, each the median and range of several runs.
//   LargeScanBenchmark <Zembrolite.exe> <work folder> <folder of VirtualScanner.ds> [largest]
// Run by scripts/benchmark.sh; on Windows, run it the same way with the scanner's folder.
// "largest" measures only the largest image (the emulated station's figure), "press" only the
// press against the same acquisition in process and the program's memory over ten presses.
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "../app/resource.h"
#include "../twain/mdlTwain.h"

namespace {

std::wstring Program, Work, ScannerFolder;

double Seconds(LONGLONG ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}
LONGLONG Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}
std::string ReadText(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string text(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  return text;
}
// Files of Linux's /proc report no size: read until the end.
std::string ReadProcFile(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return text;
}
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The first .bmp in the output folder, or an empty name.
std::wstring ImageIn(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*.bmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return L"";
  FindClose(search);
  return folder + L"\\" + found.cFileName;
}

// The scanner's flatbed and behaviour, with its call log (and the times in it) started afresh.
void Scanner(double widthInches, double heightInches, int readyDelayMs = 0) {
  char text[256];
  std::snprintf(text, sizeof text,
                "[Log]\r\nCalls=1\r\nTimes=1\r\n[Device]\r\nPhysicalWidth=%.3f\r\nPhysicalHeight=%.3f\r\n"
                "[Behaviour]\r\nReadyDelayMs=%d\r\n",
                widthInches, heightInches, readyDelayMs);
  WriteText(ScannerFolder + L"\\VirtualScanner.ini", text);
  DeleteFileW((ScannerFolder + L"\\VirtualScanner.log").c_str());
}
LONGLONG LoggedTime(const char* event) {
  const std::string log = ReadText(ScannerFolder + L"\\VirtualScanner.log");
  const size_t at = log.find(std::string("time ") + event + " qpc=");
  return at == std::string::npos ? 0 : std::stoll(log.substr(log.find('=', at) + 1));
}

// The file that a press prepares for its image, until the press puts it in place or removes it
// after its worker's end.
bool PreparedFileIn(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\zbm*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// A running copy of the program in the work folder, saving colour scans at 300 dpi into out\.
struct RunningCopy {
  PROCESS_INFORMATION process = {};
  HWND button = nullptr;
  std::wstring output = Work + L"\\out";

  RunningCopy() {
    const std::wstring folder = Work + L"\\program";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW(output.c_str(), nullptr);
    CopyFileW(Program.c_str(), (folder + L"\\Zembrolite.exe").c_str(), FALSE);
    const std::wstring programFolder = Program.substr(0, Program.find_last_of(L'\\') + 1);
    for (const wchar_t* worker : {L"ZembroliteScan32.exe", L"ZembroliteScan64.exe"})
      CopyFileW((programFolder + worker).c_str(), (folder + L"\\" + worker).c_str(), FALSE);
    WriteText(folder + L"\\Settings.ini",
              "[Path]\r\nPath=" + Narrow(output) + "\\\r\n[Scanner]\r\nDPI=300\r\nColorType=RGB\r\n");
    std::wstring commandLine = L"\"" + folder + L"\\Zembrolite.exe\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process))
      return;
    // Up to a minute: an emulated station starts a program in 4 to 14 s.
    WaitForInputIdle(process.hProcess, 60000);
    for (int i = 0; i < 1200 && !button; ++i, Sleep(50)) {
      HWND main = FindWindowW(L"ZembroliteMain", nullptr);
      if (main && IsWindowVisible(main)) button = GetDlgItem(main, IDC_CMDZADUDUVUR);
    }
  }
  ~RunningCopy() {
    PostMessageW(GetParent(button), WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }

  // Presses "scan" and waits until an image is in place (its time) or the press has ended
  // without one (0). The source is closed before the image is written; the press ends with its
  // worker, and from then on the program's thread looks at no message until it has ended.
  LONGLONG press(std::wstring* image = nullptr) {
    for (std::wstring old = ImageIn(output); !old.empty(); old = ImageIn(output)) DeleteFileW(old.c_str());
    DeleteFileW((ScannerFolder + L"\\VirtualScanner.log").c_str());  // the press before closed its source too
    PostMessageW(button, BM_CLICK, 0, 0);
    for (bool closed = false;; Sleep(1)) {
      const std::wstring found = ImageIn(output);
      if (!found.empty()) {
        if (image) *image = found;
        return Now();
      }
      if (closed) {
        while (PreparedFileIn(output)) Sleep(1);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(button, WM_NULL, 0, 0, SMTO_BLOCK, 600000, &ignored);
        if (ImageIn(output).empty()) return 0;
      }
      closed = ReadText(ScannerFolder + L"\\VirtualScanner.log").find("IDENTITY.CLOSEDS") != std::string::npos;
    }
  }
  // Under Wine, GetProcessTimes counts some 110 ms a second for another process whose thread
  // waits in GetMessage, where Linux counts none; there the kernel's own figures are read.
  double cpuSeconds() const {
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return LinuxCpuSeconds();
    FILETIME created, ended, kernel, user;
    GetProcessTimes(process.hProcess, &created, &ended, &kernel, &user);
    auto value = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(value(kernel) + value(user)) / 1e7;
  }
  // User and system time of the Linux process whose command line names this copy (clock ticks
  // of 1/100 s), found through Wine's Z: drive.
  double LinuxCpuSeconds() const {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    double seconds = -1;
    while (search != INVALID_HANDLE_VALUE && seconds < 0) {
      const std::wstring proc = std::wstring(L"Z:\\proc\\") + found.cFileName;
      if (iswdigit(found.cFileName[0]) &&
          ReadProcFile(proc + L"\\cmdline").find("program\\Zembrolite.exe") != std::string::npos) {
        const std::string stat = ReadProcFile(proc + L"\\stat");
        unsigned long long user = 0, system = 0;
        std::sscanf(stat.c_str() + stat.rfind(')') + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user,
                    &system);
        seconds = static_cast<double>(user + system) / 100;
      }
      if (!FindNextFileW(search, &found)) break;
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return seconds;
  }
  // Resident memory: what Wine reports for another process (its page-file counts leave out
  // the program's global memory there).
  double residentBytes(bool peak) const {
    PROCESS_MEMORY_COUNTERS memory = {};
    GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
    return static_cast<double>(peak ? memory.PeakWorkingSetSize : memory.WorkingSetSize);
  }
};

struct Figure {
  std::vector<double> runs;
  double median() const {
    std::vector<double> sorted = runs;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0 : sorted[sorted.size() / 2];
  }
  std::string text(const char* format, double scale = 1) const {
    char line[128];
    const auto [low, high] = std::minmax_element(runs.begin(), runs.end());
    std::snprintf(line, sizeof line, format, median() * scale);
    std::string range = line;
    std::snprintf(line, sizeof line, format, *low * scale);
    range += std::string(" (") + line + "-";
    std::snprintf(line, sizeof line, format, *high * scale);
    return range + line + ")";
  }
};

// A plain sequential write of the same bytes, from memory, with a flush, to the same folder.
double PlainWrite(const std::wstring& image) {
  const std::string bytes = ReadText(image);
  const std::wstring path = image + L".plain";
  const LONGLONG start = Now();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  for (size_t done = 0; done < bytes.size();) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 16 << 20));
    DWORD written = 0;
    WriteFile(file, bytes.data() + done, piece, &written, nullptr);
    done += piece;
  }
  FlushFileBuffers(file);
  CloseHandle(file);
  const double seconds = Seconds(Now() - start);
  DeleteFileW(path.c_str());
  return seconds;
}

// The square flatbed, in inches at 300 dpi, whose colour image has about this many bytes.
double SideFor(double bytes) { return std::sqrt(bytes / 3) / 300; }
ULONGLONG FileBytes(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void SaveSpeed(RunningCopy& copy, double megabytes, int runs) {
  Figure save, plain, ratio;
  for (int run = 0; run < runs; ++run) {
    Scanner(SideFor(megabytes * 1e6), SideFor(megabytes * 1e6));
    std::wstring image;
    const LONGLONG inPlace = copy.press(&image);
    const LONGLONG transferred = LoggedTime("transferred");
    if (!inPlace || !transferred) return std::printf("save %.0f MB: the press failed\n", megabytes), void();
    save.runs.push_back(Seconds(inPlace - transferred));
    plain.runs.push_back(PlainWrite(image));
    ratio.runs.push_back(save.runs.back() / plain.runs.back());
  }
  std::printf("save %.0f MB image, transfer done to file in place: %s s; plain write with flush %s s; ratio %s\n",
              megabytes, save.text("%.3f").c_str(), plain.text("%.3f").c_str(), ratio.text("%.2f").c_str());
}

// The program's own memory over ten presses: a driver, and whatever a manager loads beside it,
// lives in each press's worker and goes with it.
void MemoryOverPresses(RunningCopy& copy) {
  Scanner(8.27 / 2, 11.69 / 2);  // A6 at 300 dpi in colour
  copy.press();
  const double before = copy.residentBytes(false);
  for (int press = 0; press < 10; ++press)
    if (!copy.press()) return std::printf("memory over ten presses: a press failed\n"), void();
  std::printf("the program's memory over ten presses: %.1f MB before, %.1f MB after (%.0f kB a press)\n", before / 1e6,
              copy.residentBytes(false) / 1e6, (copy.residentBytes(false) - before) / 1e4);
}

void PeakMemory(double megabytes) {
  RunningCopy copy;
  Scanner(SideFor(megabytes * 1e6), SideFor(megabytes * 1e6));
  const double idle = copy.residentBytes(false);
  std::wstring image;
  if (!copy.press(&image)) return std::printf("peak memory: the press failed\n"), void();
  const double above = copy.residentBytes(true) - idle, bytes = static_cast<double>(FileBytes(image));
  std::printf("peak memory while saving a %.0f MB image: %.0f MB above the idle program (%.2f images)\n", bytes / 1e6,
              above / 1e6, above / bytes);
}

void Largest(RunningCopy& copy) {
  double works = SideFor(100e6), fails = SideFor(8e9);
  ULONGLONG largest = 0;
  while (fails - works > 0.05) {
    const double side = (works + fails) / 2;
    Scanner(side, side);
    std::wstring image;
    if (copy.press(&image)) {
      works = side, largest = FileBytes(image);
      DeleteFileW(image.c_str());
    } else {
      fails = side;
    }
  }
  std::printf("largest image scanned and saved: %llu bytes (%.2f MiB; %.2f inches square at 300 dpi in colour)\n",
              largest, static_cast<double>(largest) / 1048576, works);
}

// The same small press with and without a source that waits 10 s before its image is ready:
// the difference is what the wait costs (opening the manager, which loads every source, costs
// the same in both).
void WaitingCpu(RunningCopy& copy, int runs) {
  Figure waiting, quick, difference;
  for (int run = 0; run < runs; ++run) {
    for (int delay : {10000, 0}) {
      Scanner(0.1, 0.1, delay);
      const double before = copy.cpuSeconds();
      copy.press();
      (delay ? waiting : quick).runs.push_back(copy.cpuSeconds() - before);
    }
    difference.runs.push_back(waiting.runs.back() - quick.runs.back());
  }
  std::printf(
      "CPU time of a press whose source waits 10 s: %s ms; of the same press without the wait %s ms; "
      "the wait itself %s ms\n",
      waiting.text("%.0f", 1000).c_str(), quick.text("%.0f", 1000).c_str(), difference.text("%.0f", 1000).c_str());
}

// A press of the program, which runs its acquisition in a fresh worker, against the same
// acquisition run in this process: the difference is what the worker costs (its start, the
// channel, the name that the press asks for).
void PressToFile(RunningCopy& copy, int runs) {
  Figure press, source, inProcess, worker;
  const std::wstring image = Work + L"\\in-process.bmp";
  for (int run = 0; run < runs; ++run) {
    Scanner(8.27, 11.69);  // A4
    const LONGLONG pressed = Now(), inPlace = copy.press();
    const LONGLONG enabled = LoggedTime("enabled"), transferred = LoggedTime("transferred");
    if (!inPlace || !enabled || !transferred) return std::printf("press to file: the press failed\n"), void();
    press.runs.push_back(Seconds(inPlace - pressed));
    source.runs.push_back(Seconds(transferred - enabled));
    Scanner(8.27, 11.69);
    const LONGLONG started = Now();
    if (AcquireNoUI(300, TWPT_RGB, 0, 0, 0, 0, image) != 0) return std::printf("press in process: failed\n"), void();
    inProcess.runs.push_back(Seconds(Now() - started));
    worker.runs.push_back(press.runs.back() - inProcess.runs.back());
  }
  DeleteFileW(image.c_str());
  std::printf(
      "A4 at 300 dpi in colour, press to file in place: %s s through a fresh worker; the same acquisition in process "
      "%s s; the worker's share %s ms (%.0f %% of the press); the source's own time %s s\n",
      press.text("%.3f").c_str(), inProcess.text("%.3f").c_str(), worker.text("%.0f", 1000).c_str(),
      100 * worker.median() / press.median(), source.text("%.3f").c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool largestOnly = argc == 5 && std::wstring(argv[4]) == L"largest";
  const bool pressOnly = argc == 5 && std::wstring(argv[4]) == L"press";
  if (argc != 4 && !largestOnly && !pressOnly) {
    std::fprintf(stderr, "usage: LargeScanBenchmark <Zembrolite.exe> <work folder> <scanner folder> [largest|press]\n");
    return 2;
  }
  Program = argv[1], Work = argv[2], ScannerFolder = argv[3];
  CreateDirectoryW(Work.c_str(), nullptr);
  {
    RunningCopy copy;
    if (!copy.button) return std::fprintf(stderr, "the program did not start\n"), 1;
    if (largestOnly) return Largest(copy), 0;
    if (pressOnly) return PressToFile(copy, 9), MemoryOverPresses(copy), 0;
    PressToFile(copy, 5);
    MemoryOverPresses(copy);
    SaveSpeed(copy, 100, 5);
    SaveSpeed(copy, 400, 3);
    WaitingCpu(copy, 3);
    Largest(copy);
  }
  PeakMemory(400);
  DeleteFileW((ScannerFolder + L"\\VirtualScanner.ini").c_str());
  DeleteFileW((ScannerFolder + L"\\VirtualScanner.log").c_str());
  return 0;
}
