// A scan worker: started by the program for one press, with the name of its channel and the
// program's process id. It says who it is, takes one job, runs the whole TWAIN session for it,
// writes the image into the file the program prepared, answers and ends. It ends by itself when
// the program is gone, and ends its press without an image when the program asks.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

#include "../guard/LastChance.h"
#include "../common/ComHandles.h"
#include "../common/Handles.h"
#include "../common/WinText.h"
#include "../twain/mdlTwain.h"
#include "Channel.h"
#include "WorkerMain.h"
#include "WorkerMessages.h"

namespace {

constexpr unsigned OwnBitness = sizeof(void*) * 8;

struct Arguments {
  std::wstring channel;
  DWORD program = 0;
};

Arguments ReadArguments() {
  Arguments read;
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; arguments && i + 1 < count; ++i) {
    if (std::wcscmp(arguments[i], L"--channel") == 0)
      read.channel = arguments[++i];
    else if (std::wcscmp(arguments[i], L"--program") == 0)
      read.program = std::wcstoul(arguments[++i], nullptr, 10);
  }
  LocalFree(arguments);
  return read;
}

// Ends this process as soon as the program has gone, whatever the driver is doing.
DWORD WINAPI EndWithProgram(void* program) {
  WaitForSingleObject(static_cast<HANDLE>(program), INFINITE);
  TerminateProcess(GetCurrentProcess(), ERROR_PROCESS_ABORTED);
  return 0;
}

// A worker may be started ahead of its press: it waits for the channel, and then for its job, as
// long as the program lives.
UniqueHandle ConnectToProgram(const std::wstring& name, HANDLE program) {
  for (;;) {
    UniqueHandle pipe(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
    if (pipe) {
      DWORD mode = PIPE_READMODE_MESSAGE;
      SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
      return pipe;
    }
    // Busy while the program turns away another process that came first.
    if (GetLastError() != ERROR_PIPE_BUSY || WaitForSingleObject(program, 0) == WAIT_OBJECT_0) return UniqueHandle();
    WaitNamedPipeW(name.c_str(), 1000);
  }
}

struct CancelWatch {
  Channel* channel;
  DWORD pressThread;
};

// The program's cancel ends the press as a quit does: the source is unwound, nothing transferred.
DWORD WINAPI WatchForCancel(void* given) {
  const CancelWatch& watch = *static_cast<CancelWatch*>(given);
  std::vector<unsigned char> bytes;
  WorkerCancel cancel{};
  while (watch.channel->read(bytes, nullptr, INFINITE)) {
    if (ReadWorkerMessage(bytes.data(), bytes.size(), WorkerMessageKind::Cancel, cancel)) {
      RequestTransferCancel(watch.pressThread);
      return 0;
    }
  }
  return 0;
}

WorkerAnswer AnswerOf(std::int32_t status) {
  WorkerAnswer answer = NewWorkerMessage<WorkerAnswer>(WorkerMessageKind::Answer);
  answer.status = status;
  answer.imageWritten = status == 0 ? 1 : 0;
  const AcquisitionFailure failure = LastAcquisitionFailure();
  if (status != 0 && !failure.description.empty()) {
    answer.failureNumber = failure.number;
    if (!SetWorkerText(answer.failure, failure.description))
      SetWorkerText(answer.failure, failure.description.substr(0, WorkerFailureChars - 1));
  }
  return answer;
}

// A TWAIN name of up to 32 characters, ended by a zero only when shorter.
std::wstring TwainName(const TW_STR32& name) { return FromAnsi(std::string(name, strnlen(name, sizeof name))); }

WorkerSource SourceMessage(const TW_IDENTITY& source, std::uint32_t index, TW_UINT32 defaultId) {
  WorkerSource message = NewWorkerMessage<WorkerSource>(WorkerMessageKind::Source);
  message.index = index;
  message.isDefault = source.Id == defaultId ? 1 : 0;
  SetWorkerText(message.productName, TwainName(source.ProductName));
  SetWorkerText(message.manufacturer, TwainName(source.Manufacturer));
  SetWorkerText(message.productFamily, TwainName(source.ProductFamily));
  return message;
}

// What the program chose for the listed sources; nothing, should it say anything else.
WorkerChoice ChoiceOfProgram(Channel& channel, HANDLE program) {
  std::vector<unsigned char> bytes;
  WorkerChoice choice{};
  if (!channel.read(bytes, program, INFINITE) ||
      !ReadWorkerMessage(bytes.data(), bytes.size(), WorkerMessageKind::Choice, choice))
    choice.action = SourceChoiceAction::Nothing;
  return choice;
}

// Sends the manager's sources and waits with the manager open for the program's choice, which
// the second answer reports: the listed source made the default, or the manager's own list.
void ListSourcesForProgram(Channel& channel, HANDLE program) {
  std::vector<TW_IDENTITY> sources;
  TW_UINT32 defaultId = 0;
  std::int32_t status = OpenSourceManager();
  if (status == 0) status = ListSources(sources, defaultId);
  for (std::uint32_t i = 0; status == 0 && i < sources.size(); ++i)
    if (!channel.send(SourceMessage(sources[i], i + 1, defaultId))) return;
  if (!channel.send(AnswerOf(status)) || status != 0) return;
  const WorkerChoice choice = ChoiceOfProgram(channel, program);
  status = 1;
  if (choice.action == SourceChoiceAction::MakeDefault && choice.index >= 1 && choice.index <= sources.size())
    status = MakeDefaultSource(sources[choice.index - 1]);
  else if (choice.action == SourceChoiceAction::ManagersList)
    status = ChooseInManagersList();
  if (UnwindSession(TwainState::ManagerLoaded) != 0) status = 1;
  channel.send(AnswerOf(status));
}

std::int32_t RunJob(const WorkerJob& job) {
  const std::wstring prepared = WorkerText(job.preparedFile), path = WorkerText(job.imagePath);
  if (job.task == WorkerTask::ChooseSource) return SelectSource();
  if (job.task == WorkerTask::ScanWithDialog) return AcquireWithUI(path, prepared);
  return AcquireNoUI(job.resolution, job.pixelType, job.frame[0], job.frame[1], job.frame[2], job.frame[3], path,
                     prepared);
}

}  // namespace

int RunScanWorker() {
  const Arguments arguments = ReadArguments();
  if (arguments.channel.empty() || arguments.program == 0) return ERROR_INVALID_PARAMETER;  // started by hand
  // No box of Windows' stops a press: a driver's missing file or crash is logged, never shown.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // The driver runs here: its crash or hang is logged as the program logs it, and this worker ends.
  std::optional<StationGuard> guard(std::in_place);
  UniqueHandle program(OpenProcess(SYNCHRONIZE, FALSE, arguments.program));
  if (!program) return ERROR_PROCESS_ABORTED;
  UniqueHandle watcher(CreateThread(nullptr, 64 * 1024, EndWithProgram, program.get(), 0, nullptr));

  Channel channel(ConnectToProgram(arguments.channel, program.get()).release());
  if (!channel) return ERROR_PIPE_NOT_CONNECTED;
  WorkerHello hello = NewWorkerMessage<WorkerHello>(WorkerMessageKind::Hello);
  hello.bitness = OwnBitness;
  hello.processId = GetCurrentProcessId();
  if (!channel.send(hello)) return ERROR_PIPE_NOT_CONNECTED;
  std::vector<unsigned char> bytes;
  WorkerJob job{};
  if (!channel.read(bytes, program.get(), INFINITE) ||
      !ReadWorkerMessage(bytes.data(), bytes.size(), WorkerMessageKind::Job, job))
    return ERROR_INVALID_DATA;

  if (job.task == WorkerTask::ChooseSource || job.task == WorkerTask::ListSources)
    NameGuardedWork(L"fOptions_cmdSource_Click");
  ComApartment apartment;  // sources' dialogs use COM and OLE
  MessageWindowOwner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(job.ownerWindow));
  if (!IsWindow(MessageWindowOwner)) MessageWindowOwner = nullptr;
  if (job.task == WorkerTask::ListSources) {
    // The program's next word is its choice, or a cancel, which this run reads itself.
    ListSourcesForProgram(channel, program.get());
  } else {
    CancelWatch watch = {&channel, GetCurrentThreadId()};
    UniqueHandle cancelWatcher(CreateThread(nullptr, 64 * 1024, WatchForCancel, &watch, 0, nullptr));
    channel.send(AnswerOf(RunJob(job)));
  }
  guard.reset();  // its last look: a call it reported as hung has returned
  // Ends the cancel watcher's read with the process, before the channel it reads from would go.
  ExitProcess(0);
}
