#include "ScanWorker.h"

#include <bcrypt.h>
#include <sddl.h>

#include <memory>
#include <vector>

#include "../common/AppError.h"
#include "../common/KeptQuit.h"
#include "../common/MachineLock.h"
#include "../common/VersionBlock.h"
#include "../common/WinText.h"
#include "../log/ErrorLog.h"
#include "Channel.h"

namespace {

constexpr wchar_t ScanProcedure[] = L"Main_cmdZadudUVur_Click";
// A worker that has not said hello by then will not: its start failed in a way Windows did not
// report (a missing DLL of a driver's runtime shows up later, in the press).
constexpr DWORD HelloTimeoutMs = 60000;
// After the program asks a worker to end its press, it lets it unwind the source this long.
constexpr ULONGLONG CancelGraceMs = 5000;
constexpr DWORD EndedWorkerCode = ERROR_CANCELLED;
static_assert(sizeof(WorkerJob) <= 8192 && sizeof(WorkerAnswer) <= 8192, "every message fits the channel's reads");

bool CancelAsked = false;

// The job object that holds every worker: when the program ends, however it ends, Windows closes
// the handle and ends the workers with it.
HANDLE WorkerJobObject() {
  static UniqueHandle job = [] {
    UniqueHandle made(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (made) SetInformationJobObject(made.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return made;
  }();
  return job.get();
}

std::wstring Hex(const unsigned char* bytes, size_t count) {
  std::wstring text;
  for (size_t i = 0; i < count; ++i)
    text += L"0123456789abcdef"[bytes[i] >> 4], text += L"0123456789abcdef"[bytes[i] & 15];
  return text;
}

// A name nobody can guess before the program makes the pipe.
std::wstring NewChannelName() {
  static unsigned counter = 0;
  unsigned char random[16] = {};
  BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  return L"\\\\.\\pipe\\Zembrolite.Scan." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++counter) +
         L"." + Hex(random, sizeof random);
}

// Open to the user the program runs as, and to nobody else.
std::wstring OnlyThisUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
  UniqueHandle owned(token);
  alignas(TOKEN_USER) unsigned char buffer[256];
  DWORD size = 0;
  wchar_t* sid = nullptr;
  if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid))
    return L"";
  UniqueLocal sidText(sid);
  return L"D:P(A;;GA;;;" + std::wstring(sid) + L")";
}

UniqueHandle CreateChannelPipe(const std::wstring& name) {
  const std::wstring descriptor = OnlyThisUser();
  SecurityFromText rights(descriptor.c_str());
  if (descriptor.empty() || !rights.get()) return UniqueHandle();
  // One instance, made here first: no other process can stand in for the program's end either.
  UniqueHandle pipe(CreateNamedPipeW(name.c_str(),
                                     PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                     1, 8192, 8192, 0, rights.get()));
  return pipe;
}

// The file version of a program's fixed version block, as "1.0.0.0"; empty without one.
std::wstring FileVersionOf(const std::wstring& path) {
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return L"";
  std::wstring version;
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
  HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
  const auto* block = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
  unsigned parts[4];
  if (ReadFixedFileVersion(block, info ? SizeofResource(module, info) : 0, parts))
    for (unsigned part : parts) version += (version.empty() ? L"" : L".") + std::to_wstring(part);
  FreeLibrary(module);
  return version;
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH * 2] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return path;
}

// A started worker, ended when its owner goes unless it has ended by itself.
class WorkerProcess {
 public:
  WorkerProcess() = default;
  ~WorkerProcess() { end(); }
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // Started suspended and placed in the job before it runs a line.
  bool start(const std::wstring& path, const std::wstring& channel) {
    std::wstring commandLine =
        L"\"" + path + L"\" --channel " + channel + L" --program " + std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &started))
      return false;
    process_.reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    id_ = started.dwProcessId;
    if (!AssignProcessToJobObject(WorkerJobObject(), process_.get())) {
      const DWORD error = GetLastError();
      end();
      SetLastError(error);
      return false;
    }
    ResumeThread(thread.get());
    return true;
  }
  HANDLE handle() const { return process_.get(); }
  DWORD id() const { return id_; }
  bool ended() const { return WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }
  DWORD exitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }
  void end() {
    if (!process_ || ended()) return;
    TerminateProcess(process_.get(), EndedWorkerCode);
    WaitForSingleObject(process_.get(), 10000);
  }

 private:
  UniqueHandle process_;
  DWORD id_ = 0;
};

// A quit message met while waiting asks the worker to end its press, and is handed back to the
// thread once the press is over.
void DispatchWaitingMessages(KeptQuit& quit) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit.seen = true;
      quit.exitCode = message.wParam;
      CancelAsked = true;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

enum class Woke { Event, WorkerEnded, TimedOut };

// Waits for the event or the worker's end; meanwhile the window paints and answers. A close
// request asks the worker once to end its press, and ends the worker when it has not in time.
Woke WaitOnWorker(HANDLE event, WorkerProcess& worker, Channel& channel, DWORD timeoutMs, KeptQuit& quit) {
  const ULONGLONG start = GetTickCount64();
  ULONGLONG cancelSent = 0;
  for (;;) {
    if (CancelAsked && cancelSent == 0) {
      channel.send(NewWorkerMessage<WorkerCancel>(WorkerMessageKind::Cancel), 1000);
      cancelSent = GetTickCount64();
    }
    if (cancelSent != 0 && GetTickCount64() - cancelSent > CancelGraceMs) worker.end();
    HANDLE waits[] = {event, worker.handle()};
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(event ? 2 : 1, event ? waits : waits + 1, 250, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (event && woke == WAIT_OBJECT_0) return Woke::Event;
    if (woke == WAIT_OBJECT_0 + (event ? 1 : 0)) return Woke::WorkerEnded;
    if (woke == WAIT_OBJECT_0 + (event ? 2 : 1)) DispatchWaitingMessages(quit);
    if (timeoutMs != INFINITE && GetTickCount64() - start > timeoutMs) return Woke::TimedOut;
  }
}

// Connects the worker, and refuses any other process that connects first.
bool AwaitWorker(Channel& channel, WorkerProcess& worker, KeptQuit& quit) {
  UniqueHandle connected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  for (;;) {
    OVERLAPPED connecting = {};
    connecting.hEvent = connected.get();
    ResetEvent(connecting.hEvent);
    if (!ConnectNamedPipe(channel.pipe(), &connecting)) {
      const DWORD error = GetLastError();
      if (error == ERROR_IO_PENDING) {
        if (WaitOnWorker(connected.get(), worker, channel, HelloTimeoutMs, quit) != Woke::Event) {
          CancelIoEx(channel.pipe(), &connecting);
          DWORD ignored = 0;
          GetOverlappedResult(channel.pipe(), &connecting, &ignored, TRUE);
          return false;
        }
        DWORD ignored = 0;
        if (!GetOverlappedResult(channel.pipe(), &connecting, &ignored, FALSE)) return false;
      } else if (error != ERROR_PIPE_CONNECTED) {
        return false;
      }
    }
    ULONG client = 0;
    if (GetNamedPipeClientProcessId(channel.pipe(), &client) && client == worker.id()) return true;
    LogError(ERROR_ACCESS_DENIED,
             L"Process " + std::to_wstring(client) +
                 L" connected to the scan's channel in place of its worker and was refused.",
             ScanProcedure);
    DisconnectNamedPipe(channel.pipe());
  }
}

// Reads the next message whatever it is, or learns that the worker ended or the time ran out.
bool ReceiveBytes(Channel& channel, WorkerProcess& worker, DWORD timeoutMs, KeptQuit& quit,
                  std::vector<unsigned char>& bytes) {
  bytes.clear();
  if (!channel.startRead()) return false;
  if (WaitOnWorker(channel.readEvent(), worker, channel, timeoutMs, quit) != Woke::Event) return false;
  return channel.finishRead(bytes);
}

// Reads one message of a kind.
template <typename Message>
bool Receive(Channel& channel, WorkerProcess& worker, WorkerMessageKind kind, Message& message, DWORD timeoutMs,
             KeptQuit& quit, std::vector<unsigned char>& bytes) {
  return ReceiveBytes(channel, worker, timeoutMs, quit, bytes) &&
         ReadWorkerMessage(bytes.data(), bytes.size(), kind, message);
}

// Before the source's dialog the worker may take the foreground, and the main window takes no
// input; both are undone on every way out.
class DialogHandover {
 public:
  DialogHandover(HWND main, DWORD worker, bool dialog) : main_(dialog ? main : nullptr) {
    if (!main_) return;
    AllowSetForegroundWindow(worker);
    EnableWindow(main_, FALSE);
  }
  ~DialogHandover() {
    if (!main_) return;
    EnableWindow(main_, TRUE);
    SetForegroundWindow(main_);
  }
  DialogHandover(const DialogHandover&) = delete;
  DialogHandover& operator=(const DialogHandover&) = delete;

 private:
  HWND main_;
};

// Why a worker ended without an answer. A crash or a hang its guard has logged already: the code
// of an exception ends it then.
WorkerOutcome EndedWithoutAnswer(const WorkerProcess& worker) {
  if (!worker.ended() || CancelAsked) return {};
  const DWORD code = worker.exitCode();
  if (code >= 0xC0000000u || code == 0xE06D7363u || code == 0x20474343u || code == 0x40010004u) return {};
  return {false, static_cast<std::int32_t>(code),
          L"The scan's worker ended without an answer (exit code " + std::to_wstring(code) + L")."};
}

WorkerOutcome Failure(std::int32_t number, const std::wstring& text) { return {false, number, text}; }

std::wstring WorkerWords(unsigned bitness) {
  return L"The scan's " + std::to_wstring(bitness) + L"-bit worker " + WorkerProgramPath(bitness);
}

// A worker started, with the program's end of its channel; it waits for its job.
struct StartedWorker {
  unsigned bitness = 0;
  Channel channel;
  WorkerProcess process;  // ended first when the whole goes
};

// The worker started ahead of the next press, if any: a worker's start costs a good part of a
// press, and the operator need not wait for it.
std::unique_ptr<StartedWorker> Waiting;
// The worker of the press before, which has answered and is on its way out.
std::unique_ptr<StartedWorker> Finishing;

std::unique_ptr<StartedWorker> StartWorker(unsigned bitness, WorkerOutcome& failure) {
  const std::wstring path = WorkerProgramPath(bitness), which = WorkerWords(bitness);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    failure = Failure(static_cast<std::int32_t>(GetLastError()), which + L" is missing.");
    return nullptr;
  }
  const std::wstring version = FileVersionOf(path), ours = FileVersionOf(OwnPath());
  if (version != ours) {
    failure = Failure(ERROR_REVISION_MISMATCH, which + L" is version " + (version.empty() ? L"(none)" : version) +
                                                   L"; the program is " + ours + L".");
    return nullptr;
  }
  const std::wstring channelName = NewChannelName();
  UniqueHandle pipe = CreateChannelPipe(channelName);
  if (!pipe) {
    failure = Failure(static_cast<std::int32_t>(GetLastError()), L"The scan's channel could not be made.");
    return nullptr;
  }
  auto started = std::make_unique<StartedWorker>();
  started->bitness = bitness;
  started->channel.reset(pipe.release());
  if (!started->process.start(path, channelName)) {
    const AppError error = LastWin32Error();
    failure = Failure(error.Number, which + L" could not be started: " + error.Description);
    return nullptr;
  }
  return started;
}

// The waiting worker when it is of the bitness and still there.
std::unique_ptr<StartedWorker> TakeWaitingWorker(unsigned bitness) {
  std::unique_ptr<StartedWorker> taken = std::move(Waiting);
  if (taken && (taken->bitness != bitness || taken->process.ended())) taken.reset();
  return taken;
}

}  // namespace

std::wstring WorkerProgramPath(unsigned bitness) {
  return ProgramFolder() + L"\\ZembroliteScan" + std::to_wstring(bitness) + L".exe";
}

unsigned WorkerBitnessForPress() {
  if (sizeof(void*) == 4) return 32;
  DWORD bitness = 0, size = sizeof bitness;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Qorv\\Zembrolite", L"SourceBitness", RRF_RT_REG_DWORD, nullptr,
                   &bitness, &size) == ERROR_SUCCESS &&
      bitness == 32)
    return 32;
  return 64;
}

namespace {

// Connects a started worker and reads its hello; false, with why, unless it is the one started.
bool Greet(StartedWorker& started, KeptQuit& quit, WorkerOutcome& failure) {
  Channel& channel = started.channel;
  WorkerProcess& worker = started.process;
  if (!AwaitWorker(channel, worker, quit)) {
    if (CancelAsked) return false;
    failure = EndedWithoutAnswer(worker);
    if (failure.failure.empty() && !worker.ended())
      failure = Failure(ERROR_TIMEOUT, WorkerWords(started.bitness) + L" did not connect to the program.");
    return false;
  }
  std::vector<unsigned char> bytes;
  WorkerHello hello{};
  if (!Receive(channel, worker, WorkerMessageKind::Hello, hello, HelloTimeoutMs, quit, bytes)) {
    failure = CancelAsked || bytes.empty() ? EndedWithoutAnswer(worker)
                                           : Failure(ERROR_INVALID_DATA, NoHelloText(bytes.data(), bytes.size()));
    return false;
  }
  const std::wstring refusal = HelloRefusal(hello, started.bitness, worker.id());
  if (!refusal.empty()) failure = Failure(ERROR_INVALID_DATA, refusal);
  return refusal.empty();
}

// The worker's answer to the job or choice it was sent: false when the worker ended without one,
// or said something else, and then why, where there is something to log.
bool AwaitAnswer(StartedWorker& started, KeptQuit& quit, WorkerOutcome& outcome) {
  std::vector<unsigned char> bytes;
  WorkerAnswer answer{};
  if (!Receive(started.channel, started.process, WorkerMessageKind::Answer, answer, INFINITE, quit, bytes)) {
    outcome = bytes.empty() ? EndedWithoutAnswer(started.process)
                            : Failure(ERROR_INVALID_DATA,
                                      L"The scan's worker answered with a message the program "
                                      L"cannot read.");
    return false;
  }
  outcome.done = answer.status == 0;
  outcome.imageWritten = outcome.done && answer.imageWritten == 1;
  outcome.failure = WorkerText(answer.failure);
  outcome.number = outcome.failure.empty() ? 0 : answer.failureNumber;
  return true;
}

std::uint64_t WindowWord(HWND window) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window)); }

// A worker of the bitness: the one waiting, else a fresh one, connected; null, with why, when none.
std::unique_ptr<StartedWorker> ConnectedWorker(unsigned bitness, KeptQuit& quit, WorkerOutcome& failure) {
  std::unique_ptr<StartedWorker> started = TakeWaitingWorker(bitness);
  if (!started) started = StartWorker(bitness, failure);
  if (started && !Greet(*started, quit, failure)) started.reset();
  return started;
}

// A worker that lists its manager's sources and waits, the manager open, for the choice.
struct SourceListing {
  std::unique_ptr<StartedWorker> worker;
  std::vector<ListedSource> sources;
};

ListedSource ListedFrom(const WorkerSource& message, unsigned bitness) {
  return {bitness,
          message.index,
          message.isDefault == 1,
          WorkerText(message.productName),
          WorkerText(message.manufacturer),
          WorkerText(message.productFamily)};
}

// Hands the listing job to a connected worker and takes its sources; false when the worker or its
// manager could not list them.
bool CollectSources(SourceListing& listing, HWND owner, KeptQuit& quit) {
  WorkerJob job = NewWorkerMessage<WorkerJob>(WorkerMessageKind::Job);
  job.task = WorkerTask::ListSources;
  job.ownerWindow = WindowWord(owner);
  StartedWorker& started = *listing.worker;
  if (!started.channel.send(job)) return false;
  std::vector<unsigned char> bytes;
  for (;;) {
    if (!ReceiveBytes(started.channel, started.process, HelloTimeoutMs, quit, bytes)) return false;
    WorkerSource source{};
    WorkerAnswer answer{};
    if (ReadWorkerMessage(bytes.data(), bytes.size(), WorkerMessageKind::Source, source))
      listing.sources.push_back(ListedFrom(source, started.bitness));
    else
      return ReadWorkerMessage(bytes.data(), bytes.size(), WorkerMessageKind::Answer, answer) && answer.status == 0;
  }
}

// The sources of a bitness, from a worker of it that holds them until it is told the choice; none
// when its worker cannot run, as where Windows runs no 32-bit programs, or its manager lists none.
void ListSourcesOf(SourceListing& listing, HWND owner, KeptQuit& quit) {
  WorkerOutcome failure;
  if (!listing.worker || !Greet(*listing.worker, quit, failure) || !CollectSources(listing, owner, quit)) {
    listing.worker.reset();
    listing.sources.clear();
  }
}

// Tells a listing worker the choice, and waits for it to have done it: true when it has.
bool Tell(SourceListing& listing, SourceChoiceAction action, std::uint32_t index, HWND owner, KeptQuit& quit) {
  if (!listing.worker) return false;
  WorkerChoice choice = NewWorkerMessage<WorkerChoice>(WorkerMessageKind::Choice);
  choice.action = action;
  choice.index = index;
  DialogHandover handover(owner, listing.worker->process.id(), action == SourceChoiceAction::ManagersList);
  WorkerOutcome outcome;
  return listing.worker->channel.send(choice) && AwaitAnswer(*listing.worker, quit, outcome) && outcome.done;
}

void RememberSourceBitness(unsigned bitness) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Qorv\\Zembrolite", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  const DWORD value = bitness;
  RegSetValueExW(key, L"SourceBitness", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

// The row preselected in the list of both bitnesses: the default source of the bitness a press
// uses now, else the first.
int Preselected(const std::vector<ListedSource>& sources, unsigned pressBitness) {
  for (size_t i = 0; i < sources.size(); ++i)
    if (sources[i].isDefault && sources[i].bitness == pressBitness) return static_cast<int>(i);
  return 0;
}

// The 64-bit edition lists the sources of both bitnesses, each from a worker of its own. With
// sources of both, the user picks one in the program's list, and it becomes the default source of
// its bitness's manager; with sources of one bitness only, that manager shows its own list, as in
// the 32-bit edition. Either way the bitness chosen is remembered for the presses.
void ChooseFromBothBitnesses(HWND owner, SourcePicker pick, unsigned pressBitness) {
  KeptQuit quit;
  // The owner takes no input while the workers list, so that nobody chooses twice at once; the
  // program's list, modal over it, gives it back when it closes.
  EnableWindow(owner, FALSE);
  struct GivenBack {
    HWND owner;
    ~GivenBack() { EnableWindow(owner, TRUE); }
  } givenBack{owner};
  SourceListing listings[2];
  const unsigned bitnesses[2] = {64, 32};
  WorkerOutcome ignored;  // a worker that cannot start has no sources to offer; a press says why
  for (int i = 0; i < 2; ++i) listings[i].worker = StartWorker(bitnesses[i], ignored);
  for (SourceListing& listing : listings) ListSourcesOf(listing, owner, quit);
  std::vector<ListedSource> both;
  for (const SourceListing& listing : listings) both.insert(both.end(), listing.sources.begin(), listing.sources.end());

  const bool ofBoth = !listings[0].sources.empty() && !listings[1].sources.empty();
  // The bitness whose manager decides, and what it is told.
  unsigned deciding = 0;
  SourceChoiceAction action = SourceChoiceAction::ManagersList;
  std::uint32_t index = 0;
  if (ofBoth) {
    const int chosen = CancelAsked ? -1 : pick(owner, both, Preselected(both, pressBitness));
    EnableWindow(owner, FALSE);
    if (chosen >= 0) {
      deciding = both[static_cast<size_t>(chosen)].bitness;
      action = SourceChoiceAction::MakeDefault;
      index = both[static_cast<size_t>(chosen)].index;
    }
  } else {
    deciding = !listings[0].sources.empty() ? 64 : !listings[1].sources.empty() ? 32 : pressBitness;
  }
  for (int i = 0; i < 2; ++i) {
    const bool decides = bitnesses[i] == deciding;
    if (Tell(listings[i], decides ? action : SourceChoiceAction::Nothing, decides ? index : 0, owner, quit) && decides)
      RememberSourceBitness(bitnesses[i]);
  }
}

}  // namespace

WorkerOutcome ScanInWorker(unsigned bitness, WorkerJob job, HWND mainWindow) {
  Finishing.reset();
  CancelAsked = false;
  KeptQuit quit;
  WorkerOutcome failure;
  std::unique_ptr<StartedWorker> started = ConnectedWorker(bitness, quit, failure);
  if (!started) return failure;
  DialogHandover handover(mainWindow, started->process.id(), job.task != WorkerTask::ScanWithoutDialog);
  job.ownerWindow = WindowWord(mainWindow);
  if (!started->channel.send(job)) return EndedWithoutAnswer(started->process);
  WorkerOutcome outcome;
  if (!AwaitAnswer(*started, quit, outcome)) return outcome;
  // Its work is done once it has answered, and it ends by itself; should it not have by the next
  // press, that press ends it.
  Finishing = std::move(started);
  return outcome;
}

void StartNextWorker() noexcept {
  if (CancelAsked) return;  // the program is closing
  try {
    const unsigned bitness = WorkerBitnessForPress();
    if (Waiting && Waiting->bitness == bitness && !Waiting->process.ended()) return;
    WorkerOutcome ignored;  // a worker that cannot start says why at the press
    Waiting = StartWorker(bitness, ignored);
  } catch (...) {
    Waiting.reset();  // the press starts its own
  }
}

void EndWaitingWorker() {
  Waiting.reset();
  Finishing.reset();
}

void ChooseSourceInWorker(HWND owner, SourcePicker pickFromBoth) {
  Finishing.reset();
  CancelAsked = false;
  const unsigned pressBitness = WorkerBitnessForPress();
  if (sizeof(void*) == 4 || !pickFromBoth) {
    WorkerJob job = NewWorkerMessage<WorkerJob>(WorkerMessageKind::Job);
    job.task = WorkerTask::ChooseSource;
    ScanInWorker(pressBitness, job, owner);
  } else {
    ChooseFromBothBitnesses(owner, pickFromBoth, pressBitness);
  }
  StartNextWorker();
}

void CancelWorkerScan() {
  CancelAsked = true;
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}
