// The two acquisitions: one complete walk from the manager to a .bmp file.
#include <cmath>

#include "Guarded.h"
#include "PressFailure.h"
#include "../guard/SourceCalls.h"
#include "TwainMemory.h"
#include "mdlTwain.h"

namespace {

// Takes the session down from whatever state a press leaves it in, on every way out; on the good
// road it is already down.
class SessionCloser {
 public:
  SessionCloser() = default;
  ~SessionCloser() { UnwindSession(TwainState::ManagerLoaded); }
  SessionCloser(const SessionCloser&) = delete;
  SessionCloser& operator=(const SessionCloser&) = delete;
};

bool IsZero(float value) { return std::isnan(value) || value == 0.0f; }

bool ReadFloat(std::int32_t capability, float& value) {
  CapabilityValue read = value;
  if (GetCapability(capability, read) != 0) return false;
  value = std::visit([](auto number) { return static_cast<float>(number); }, read);
  return true;
}

bool NegotiateNoUI(float resolution, std::int32_t pixelType, float left, float top, float right, float bottom) {
  if (IsZero(right) || IsZero(bottom)) {
    // A zero extent stands for the whole flatbed; both extents are read.
    if (!ReadFloat(ICAP_PHYSICALWIDTH, right) || !ReadFloat(ICAP_PHYSICALHEIGHT, bottom)) return false;
  }
  if (SetImageLayout(left, top, right, bottom) != 0) return false;
  if (SetCapability(ICAP_XRESOLUTION, TWTY_FIX32, resolution) != 0) return false;
  if (SetCapability(ICAP_YRESOLUTION, TWTY_FIX32, resolution) != 0) return false;
  if (SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, pixelType) != 0) return false;
  // A source that keeps its own bit depth for colour is fine.
  if (pixelType == TWPT_RGB && SetCapability(ICAP_BITDEPTH, TWTY_UINT16, std::int32_t{24}) != 0) ForgetPressFailure();
  return SetCapability(CAP_XFERCOUNT, TWTY_INT16, std::int16_t{1}) == 0;
}

template <typename Negotiate>
std::int32_t Acquire(bool showUI, const std::wstring& path, const std::wstring& preparedFile, Negotiate negotiate) {
  ForgetPressFailure();
  bool noneAsked = false;  // the source's dialog closed without a scan, a cancel, or the program closing
  // Declared in this order so that, on a failure, the image is freed before the source and
  // the manager are closed.
  SessionCloser closer;
  NativeImage image;
  const std::int32_t status = Guarded([&] {
    if (OpenSourceManager() != 0) return 1;
    if (OpenDefaultSource() != 0) return 1;
    if (!negotiate()) return 1;
    if (TransferImage(showUI, image) != 0) return 1;
    if (CloseSource() != 0) return 1;
    if (CloseSourceManager() != 0) return 1;
    // Closing the program during the acquisition throws the image away.
    noneAsked = TransferCancelRequested() || !image;
    if (noneAsked) return 1;
    return preparedFile.empty() ? WriteImageToBmp(image, path) : WriteImageIntoFile(image, preparedFile, path);
  });
  // A failure that no call or file step explains (no window, no memory, an exception).
  if (status != 0 && !noneAsked) {
    const std::wstring step = StepName(CurrentSourceCall().step);
    NotePressFailure(1,
                     step.empty() ? L"The scan failed before TWAIN was called." : L"The scan failed at " + step + L".");
  }
  return status;
}

}  // namespace

std::int32_t AcquireNoUI(float resolution, std::int32_t pixelType, float left, float top, float right, float bottom,
                         const std::wstring& path, const std::wstring& preparedFile) {
  return Acquire(false, path, preparedFile,
                 [=] { return NegotiateNoUI(resolution, pixelType, left, top, right, bottom); });
}

std::int32_t AcquireWithUI(const std::wstring& path, const std::wstring& preparedFile) {
  return Acquire(true, path, preparedFile, [] { return true; });
}
