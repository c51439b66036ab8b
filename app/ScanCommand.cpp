#include "ScanCommand.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "../common/AppError.h"
#include "../common/Handles.h"
#include "../common/WinText.h"
#include "../log/ErrorLog.h"
#include "../settings/INIModul.h"
#include "../twain/SourceCalls.h"
#include "../twain/mdlTwain.h"
#include "ImageNameProvider.h"
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

// A press that saved no image is a trapped failure, with why, unless the operator ended it.
void TrapFailedAcquisition(std::int32_t status) {
  const AcquisitionFailure failure = LastAcquisitionFailure();
  if (status != 0 && !failure.description.empty()) throw AppError{failure.number, failure.description};
}

void ScanWithSourceInterface() {
  const std::wstring path = ImagePath(ScanSettings.OutputFolder, NextImageName());
  AcquisitionScope running;
  TrapFailedAcquisition(AcquireWithUI(path));
}

void ScanWithFixedSettings() {
  const std::int32_t pixelType = PixelTypeFor(ScanSettings.ColorTypeName);
  const std::wstring path = ImagePath(ScanSettings.OutputFolder, NextImageName());
  AcquisitionScope running;
  TrapFailedAcquisition(AcquireNoUI(static_cast<float>(ScanSettings.Resolution), pixelType, 0, 0, 0, 0, path));
}

}  // namespace

bool AcquisitionRunning() { return Acquiring; }

bool PressInProgress() { return Pressing; }

void cmdZadudUVur_Click() {
  // The source's events are pumped below an acquisition; a second one would share its records.
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
}
