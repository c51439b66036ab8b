// TWAIN acquisition: the session with the Data Source Manager (the 2.x one where it is installed,
// else the 1.x one) and the default source, capability values and the scan frame, and the writer
// of .bmp files.
// Every procedure returns a status: 0 for success, 1 for failure; none lets an error escape.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "../bitmap/BmpWriter.h"
#include "Fix32.h"
#include "PressFailure.h"
#include "TwainStates.h"
#include "TwainTypes.h"

// Process-wide TWAIN state: one manager connection at a time.
extern TW_IDENTITY AppIdentity;     // rebuilt before every manager open
extern TW_IDENTITY SourceIdentity;  // cleared before every source open; names the source opened last
extern HWND MessageWindow;          // hidden parent of the manager and the source
// The owner of that window, a top-level window of another process (the program's main window
// for its scan worker), or null.
extern HWND MessageWindowOwner;

// Session.
// A call to the open source through the manager, from the program's identity.
TW_UINT16 CallSource(TW_UINT32 dataGroup, TW_UINT16 dataType, TW_UINT16 message, TW_MEMREF data);
std::int32_t OpenSourceManager();
std::int32_t CloseSourceManager();
std::int32_t OpenDefaultSource();
std::int32_t CloseSource();
// Lets the user choose the default source in the manager's own list.
std::int32_t SelectSource();
// With the manager open: the manager's own list; its sources in its order, and the Id of its
// default one (0 for none); a source of that list made its default, where the manager can
// (DAT_IDENTITY MSG_SET, a 2.x manager's).
std::int32_t ChooseInManagersList();
std::int32_t ListSources(std::vector<TW_IDENTITY>& sources, TW_UINT32& defaultId);
std::int32_t MakeDefaultSource(TW_IDENTITY source);
// Takes the session down to the given state, one TWAIN step at a time from the state it is in,
// each step only where TWAIN allows it; 1 when a step was refused and the session stays above.
// The manager is opened only from the manager's loaded state, so an acquisition or the chooser
// first unwinds whatever an earlier one could not close.
std::int32_t UnwindSession(TwainState downTo);

// A capability value as the callers hold it: a 16-bit or 32-bit integer or a 32-bit float.
using CapabilityValue = std::variant<std::int16_t, std::int32_t, float>;

// Capabilities of the open source, set as one value; read as the current value of whichever
// container the source answers with (a container without one, or items of another type, is a
// failure that the press notes), and the scan frame.
std::int32_t SetCapability(std::int32_t capability, std::int32_t itemType, CapabilityValue value);
std::int32_t GetCapability(std::int32_t capability, CapabilityValue& value);
std::int32_t SetImageLayout(float left, float top, float right, float bottom);

// One image from the open source, with or without the source's own interface. Status 0 with an
// image, in whichever form the source handed it over: the caller owns it. Status 0 with none: the
// source asked to be closed first, or the operator cancelled the transfer. Status 1: failure,
// nothing to free. The source is open on entry, and on return unless a source refused to leave a
// later state (the session's state says).
std::int32_t TransferImage(bool showUI, NativeImage& image);
// The steps back from a transfer: acknowledge the one that ended (from state 6 or 7), discard the
// pages still pending (6), disable the source (5).
std::int32_t EndTransfer();
std::int32_t DiscardPendingTransfers();
std::int32_t DisableSource();

// Ends the transfer of the acquisition running on pressThread (from any thread), or of the next
// one, as if the source had asked to be closed; the acquisition then writes nothing. Used when the
// program closes while a source works. It holds for the rest of the process: a scan worker runs
// one press.
void RequestTransferCancel(unsigned long pressThread);
bool TransferCancelRequested();

// One complete acquisition into a .bmp file at path. A right or bottom of 0 stands for the
// source's whole physical extent. After a failure, LastAcquisitionFailure says why; after a
// press that ended without a scan as the user or the program asked, it says nothing.
// The image goes in place of the file at path through a temporary file beside it; or, given a
// prepared file, straight into that file, for a caller that puts it in place at path itself.
std::int32_t AcquireNoUI(float resolution, std::int32_t pixelType, float left, float top, float right, float bottom,
                         const std::wstring& path, const std::wstring& preparedFile = L"");
std::int32_t AcquireWithUI(const std::wstring& path, const std::wstring& preparedFile = L"");
