#include "ScanCommand.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "../common/AppError.h"
#include "../common/Handles.h"
#include "../common/WinText.h"
#include "../log/ErrorLog.h"
#include "../settings/INIModul.h"
#include "../bitmap/ImageFile.h"
#include "../guard/SourceCalls.h"
#include "../worker/ScanWorker.h"
#include "NameFromProvider.h"
#include "Main.h"
#include "ScanText.h"

namespace {

bool Acquiring = false;
std::atomic<bool> Pressing{false};

// Marks a press from its start to its end, and forgets the steps of the one before.
class PressScope {
 public:
  PressScope() {
    ForgetPressSteps();
    Pressing = true;
  }
  ~PressScope() { Pressing = false; }
  PressScope(const PressScope&) = delete;
  PressScope& operator=(const PressScope&) = delete;
};

// Marks the acquisition as running for one scope.
class AcquisitionScope {
 public:
  AcquisitionScope() { Acquiring = true; }
  ~AcquisitionScope() { Acquiring = false; }
  AcquisitionScope(const AcquisitionScope&) = delete;
  AcquisitionScope& operator=(const AcquisitionScope&) = delete;
};

// Starts the external program with its window shown normally and given the focus; it is not
// waited for.
void StartExternalProgram(std::wstring commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    throw LastWin32Error();
  UniqueHandle process(started.hProcess);
  UniqueHandle thread(started.hThread);
}

void ScanWithExternalProgram() {
  const std::wstring name = WithoutDots(NextImageName());
  StartExternalProgram(ExternalCommandLine(ScanSettings.ExternalProgramPath, ScanSettings.OutputFolder, name));
}

AppError NotSaved(const std::wstring& path, DWORD error = GetLastError()) {
  return AppError{static_cast<std::int32_t>(error), L"The image could not be saved as " + path + L"."};
}

// The worker writes the image into a file prepared beside the target, which is put in place only
// once it is whole; a press that saves nothing leaves neither file behind. A press that saved no
// image is a trapped failure, with why, unless the operator ended it or the worker's guard has
// logged it.
void ScanThroughWorker(WorkerJob job, const std::wstring& path) {
  RemoveLeftoverImageFiles(FolderOf(path));
  TemporaryImageFile temporary(FolderOf(path));
  if (temporary.path().empty()) throw NotSaved(path);
  if (!SetWorkerText(job.preparedFile, temporary.path()) || !SetWorkerText(job.imagePath, path))
    throw NotSaved(path, ERROR_FILENAME_EXCED_RANGE);
  AcquisitionScope running;
  const WorkerOutcome outcome = ScanInWorker(WorkerBitnessForPress(), job, MainWindowHandle());
  if (!outcome.failure.empty()) throw AppError{outcome.number, outcome.failure};
  if (!outcome.imageWritten) return;
  if (!PutImageInPlace(temporary.path(), path)) throw NotSaved(path);
  temporary.keep();
}

void ScanWithSourceInterface() {
  WorkerJob job = NewWorkerMessage<WorkerJob>(WorkerMessageKind::Job);
  job.task = WorkerTask::ScanWithDialog;
  const std::wstring path = ImagePath(ScanSettings.OutputFolder, NextImageName());
  ScanThroughWorker(job, path);
}

void ScanWithFixedSettings() {
  WorkerJob job = NewWorkerMessage<WorkerJob>(WorkerMessageKind::Job);
  job.task = WorkerTask::ScanWithoutDialog;
  job.pixelType = PixelTypeFor(ScanSettings.ColorTypeName);
  job.resolution = static_cast<float>(ScanSettings.Resolution);
  const std::wstring path = ImagePath(ScanSettings.OutputFolder, NextImageName());
  ScanThroughWorker(job, path);
}

}  // namespace

bool AcquisitionRunning() { return Acquiring; }

bool PressInProgress() { return Pressing; }

void cmdZadudUVur_Click() {
  // The window's messages are dispatched while a worker scans; one press at a time.
  if (Acquiring) return;
  PressScope press;
  try {
    if (ScanSettings.UseExternalProgram != 0)
      ScanWithExternalProgram();
    else if (ScanSettings.ShowSourceUI != 0)
      ScanWithSourceInterface();
    else
      ScanWithFixedSettings();
  } catch (const AppError& error) {
    LogError(error.Number, error.Description, L"Main_cmdZadudUVur_Click");
  } catch (const std::bad_alloc&) {
    LogError(7, L"Out of memory", L"Main_cmdZadudUVur_Click");
  }
  if (ScanSettings.UseExternalProgram == 0) StartNextWorker();
}
