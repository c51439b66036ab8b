// Zembrolite Virtual Scanner: a TWAIN 2.x data source for development, demonstrations and tests,
// which works with a 1.x manager too. It answers the identity, open and close, the one-value
// capabilities that Zembrolite negotiates and the image layout, clipping a frame to its flatbed of
// PhysicalWidth x PhysicalHeight inches, and delivers a test pattern through a native transfer,
// with or without its own small dialog. What it hands over goes through the 2.x manager's memory
// functions when it has them (HandedMemory.h).
// It keeps TWAIN's states as a strict driver does: a call that TWAIN does not allow in the state
// it is in is refused with TWCC_SEQERROR, and its call log says so.
// Tests steer it through its control file (see ScannerControl.h): refusals, crashes, a feeder
// with pages left, a jam, a cancel, other containers.
#include <windows.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>
#include <cstring>
#include <map>
#include <string>

#include "../twain/Fix32.h"
#include "../twain/TwainTypes.h"
#include "HandedMemory.h"
#include "ScannerControl.h"
#include "TestImage.h"

namespace {

// The TWAIN states that a source walks through.
enum class State { Loaded = 3, Open = 4, Enabled = 5, TransferReady = 6, Transferring = 7 };

struct Capability {
  TW_UINT16 itemType;
  TW_UINT32 defaultItem;
  TW_UINT32 currentItem;
  bool readOnly;
};

struct Scanner {
  State state = State::Loaded;
  TW_IDENTITY self = {};         // as the manager numbered this source at its opening
  TW_IDENTITY application = {};  // the application that opened it
  bool viaInterface = false;     // the image was asked for in the source's own dialog
  HWND dialog = nullptr;
  UINT_PTR readyTimer = 0;
  TW_UINT16 conditionCode = TWCC_SUCCESS;
  TW_UINT16 pagesPending = 0;  // after the page in transfer; 0xFFFF: unknown, some
  std::map<TW_UINT16, Capability> capabilities;
  TW_FRAME frame = {};
};
Scanner Source;

void StopReadyTimer();
void CloseScannerDialog();

TW_UINT32 FixItem(double value) {
  TW_FIX32 fixed = {};
  Fix32FromFloat(static_cast<float>(value), fixed);
  return ItemFromFix32(fixed);
}

double ItemValue(const Capability& capability, TW_UINT32 item) {
  if (capability.itemType == TWTY_FIX32) return FloatFromFix32(Fix32FromItem(item));
  if (capability.itemType == TWTY_INT16) return static_cast<std::int16_t>(item & 0xFFFF);
  return item & 0xFFFF;
}

// The flatbed's size as the source reports it: in fixed point, like every frame it compares with.
double AsReported(double inches) {
  TW_FIX32 fixed = {};
  Fix32FromFloat(static_cast<float>(inches), fixed);
  return FloatFromFix32(fixed);
}
double PhysicalWidth() { return AsReported(DeviceSetting("PhysicalWidth", 8.5)); }
double PhysicalHeight() { return AsReported(DeviceSetting("PhysicalHeight", 11.69)); }

TW_FRAME FullFrame() {
  TW_FRAME frame = {};
  Fix32FromFloat(static_cast<float>(PhysicalWidth()), frame.Right);
  Fix32FromFloat(static_cast<float>(PhysicalHeight()), frame.Bottom);
  return frame;
}

void ResetCapabilities() {
  Source.capabilities = {
      {CAP_XFERCOUNT, {TWTY_INT16, 0xFFFF, 0xFFFF, false}},
      {ICAP_PIXELTYPE, {TWTY_UINT16, TWPT_RGB, TWPT_RGB, false}},
      {ICAP_BITDEPTH, {TWTY_UINT16, 24, 24, false}},
      {ICAP_UNITS, {TWTY_UINT16, TWUN_INCHES, TWUN_INCHES, false}},
      {ICAP_XRESOLUTION, {TWTY_FIX32, FixItem(300), FixItem(300), false}},
      {ICAP_YRESOLUTION, {TWTY_FIX32, FixItem(300), FixItem(300), false}},
      {ICAP_PHYSICALWIDTH, {TWTY_FIX32, FixItem(PhysicalWidth()), FixItem(PhysicalWidth()), true}},
      {ICAP_PHYSICALHEIGHT, {TWTY_FIX32, FixItem(PhysicalHeight()), FixItem(PhysicalHeight()), true}},
  };
  Source.frame = FullFrame();
}

void FillIdentity(TW_IDENTITY& identity) {
  const TW_UINT32 id = identity.Id;  // the manager's number for this source stays
  std::memset(&identity, 0, sizeof identity);
  identity.Id = id;
  identity.Version.MajorNum = 1;
  identity.Version.MinorNum = 0;
  identity.Version.Language = TWLG_ENGLISH;
  identity.Version.Country = TWCY_UNITEDKINGDOM;
  std::strcpy(identity.Version.Info, "1.0");
  identity.ProtocolMajor = 2;
  identity.ProtocolMinor = 4;
  // A 1.x manager takes no notice of the flag; the 2.x one hands over its memory functions.
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
  std::strcpy(identity.Manufacturer, "Zembrolite");
  std::strcpy(identity.ProductFamily, "Virtual Scanner");
  std::strcpy(identity.ProductName, "Zembrolite Virtual Scanner");
}

// An identity as the call log shows it, every field but the manager's number.
std::string IdentityText(const TW_IDENTITY& identity) {
  char text[200];
  std::snprintf(text, sizeof text, "%u.%u %u/%u '%.33s' protocol %u.%u groups %08lX '%.33s' '%.33s' '%.33s'",
                identity.Version.MajorNum, identity.Version.MinorNum, identity.Version.Language,
                identity.Version.Country, identity.Version.Info, identity.ProtocolMajor, identity.ProtocolMinor,
                static_cast<unsigned long>(identity.SupportedGroups), identity.Manufacturer, identity.ProductFamily,
                identity.ProductName);
  return text;
}

TW_UINT16 Fail(TW_UINT16 conditionCode) {
  Source.conditionCode = conditionCode;
  return TWRC_FAILURE;
}

// Whether the source accepts this value for the capability.
bool Acceptable(TW_UINT16 cap, double value) {
  switch (cap) {
    case CAP_XFERCOUNT:
      return value == -1 || value >= 1;
    case ICAP_PIXELTYPE:
      return value == TWPT_BW || value == TWPT_GRAY || value == TWPT_RGB;
    case ICAP_BITDEPTH: {
      const double pixelType =
          ItemValue(Source.capabilities[ICAP_PIXELTYPE], Source.capabilities[ICAP_PIXELTYPE].currentItem);
      return value == (pixelType == TWPT_BW ? 1 : pixelType == TWPT_GRAY ? 8 : 24);
    }
    case ICAP_UNITS:
      return value == TWUN_INCHES;
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION:
      return value >= 10 && value <= 2400;
    default:
      return false;
  }
}

size_t ItemBytes(TW_UINT16 itemType) { return itemType == TWTY_FIX32 ? 4 : 2; }

// The value in the container that [Behaviour] Container asks for: a one-value (the default), an
// enumeration of three items with the value the current one, a range with the value the current
// one, or an array, which holds no current value.
HGLOBAL Container(TW_UINT16 itemType, TW_UINT32 item, TW_UINT16& conType) {
  const std::string kind = BehaviourSetting("Container", "onevalue");
  const TW_UINT32 other = itemType == TWTY_FIX32 ? FixItem(1) : 1;
  const size_t itemBytes = ItemBytes(itemType);
  const size_t listed = kind == "enumeration" ? 3 : kind == "array" ? 1 : 0;
  const size_t header = kind == "enumeration" ? offsetof(TW_ENUMERATION, ItemList) : kind == "array" ? 6 : 0;
  const size_t bytes = kind == "range" ? sizeof(TW_RANGE) : listed ? header + listed * itemBytes : sizeof(TW_ONEVALUE);
  HGLOBAL container = HandOverMemory(bytes);
  auto* block = container ? static_cast<std::uint8_t*>(LockHandedMemory(container)) : nullptr;
  if (!block) return nullptr;
  if (kind == "range") {
    const TW_RANGE range = {itemType, other, item, other, item, item};
    std::memcpy(block, &range, sizeof range);
    conType = TWON_RANGE;
  } else if (listed) {
    const TW_UINT32 counts[] = {static_cast<TW_UINT32>(listed), 1, 1};  // items; current and default index
    std::memcpy(block, &itemType, 2);
    std::memcpy(block + 2, counts, header - 2);
    const TW_UINT32 items[] = {other, item, other};
    for (size_t i = 0; i < listed; ++i)
      std::memcpy(block + header + i * itemBytes, &items[listed == 1 ? 1 : i], itemBytes);
    conType = listed == 3 ? TWON_ENUMERATION : TWON_ARRAY;
  } else {
    const TW_ONEVALUE value = {itemType, item};
    std::memcpy(block, &value, sizeof value);
    conType = TWON_ONEVALUE;
  }
  UnlockHandedMemory(container);
  return container;
}

TW_UINT16 GetCapability(TW_CAPABILITY& record, bool defaultValue) {
  auto found = Source.capabilities.find(record.Cap);
  if (found == Source.capabilities.end()) return Fail(TWCC_BADCAP);
  const Capability& capability = found->second;
  HGLOBAL container =
      Container(capability.itemType, defaultValue ? capability.defaultItem : capability.currentItem, record.ConType);
  if (!container) return Fail(TWCC_LOWMEMORY);
  record.hContainer = container;  // the application frees it
  return TWRC_SUCCESS;
}

TW_UINT16 SetCapability(TW_CAPABILITY& record) {
  auto found = Source.capabilities.find(record.Cap);
  if (found == Source.capabilities.end()) return Fail(TWCC_BADCAP);
  if (found->second.readOnly) return Fail(TWCC_BADCAP);
  if (record.ConType != TWON_ONEVALUE || !record.hContainer) return Fail(TWCC_BADVALUE);
  if (GlobalSize(record.hContainer) < sizeof(TW_ONEVALUE)) return Fail(TWCC_BADVALUE);
  TW_ONEVALUE value = {};
  const void* content = LockHandedMemory(record.hContainer);
  if (!content) return Fail(TWCC_BADVALUE);
  std::memcpy(&value, content, sizeof value);
  UnlockHandedMemory(record.hContainer);  // the container stays the application's
  if (value.ItemType != found->second.itemType) return Fail(TWCC_BADVALUE);
  if (!Acceptable(record.Cap, ItemValue(found->second, value.Item))) return Fail(TWCC_BADVALUE);
  found->second.currentItem = value.Item;
  if (record.Cap == ICAP_PIXELTYPE) {
    // A new pixel type brings its own bit depth.
    const TW_UINT32 depth = value.Item == TWPT_BW ? 1 : value.Item == TWPT_GRAY ? 8 : 24;
    Source.capabilities[ICAP_BITDEPTH].currentItem = depth;
  }
  return TWRC_SUCCESS;
}

TW_UINT16 CapabilityCall(TW_UINT16 message, TW_CAPABILITY& record) {
  switch (message) {
    case MSG_GET:
    case MSG_GETCURRENT:
      return GetCapability(record, false);
    case MSG_GETDEFAULT:
      return GetCapability(record, true);
    case MSG_SET:
      return SetCapability(record);
    case MSG_RESET: {
      auto found = Source.capabilities.find(record.Cap);
      if (found == Source.capabilities.end()) return Fail(TWCC_BADCAP);
      found->second.currentItem = found->second.defaultItem;
      return GetCapability(record, false);
    }
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

double Value(TW_FIX32 fixed) { return FloatFromFix32(fixed); }

// A frame beyond the flatbed is clipped to it and answered with TWRC_CHECKSTATUS.
TW_UINT16 SetLayout(TW_IMAGELAYOUT& layout) {
  const double width = PhysicalWidth(), height = PhysicalHeight();
  double left = Value(layout.Frame.Left), top = Value(layout.Frame.Top);
  double right = Value(layout.Frame.Right), bottom = Value(layout.Frame.Bottom);
  bool clipped = false;
  auto clip = [&clipped](double& value, double limit) {
    const double inside = value < 0 ? 0 : value > limit ? limit : value;
    if (inside != value) clipped = true;
    value = inside;
  };
  clip(left, width);
  clip(right, width);
  clip(top, height);
  clip(bottom, height);
  if (right <= left || bottom <= top) return Fail(TWCC_BADVALUE);
  TW_FRAME frame = {};
  Fix32FromFloat(static_cast<float>(left), frame.Left);
  Fix32FromFloat(static_cast<float>(top), frame.Top);
  Fix32FromFloat(static_cast<float>(right), frame.Right);
  Fix32FromFloat(static_cast<float>(bottom), frame.Bottom);
  Source.frame = frame;
  layout.Frame = frame;
  return clipped ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
}

TW_UINT16 LayoutCall(TW_UINT16 message, TW_IMAGELAYOUT& layout) {
  switch (message) {
    case MSG_SET:
      return SetLayout(layout);
    case MSG_GET:
    case MSG_GETCURRENT:
      std::memset(&layout, 0, sizeof layout);
      layout.Frame = Source.frame;
      return TWRC_SUCCESS;
    case MSG_GETDEFAULT:
    case MSG_RESET:
      std::memset(&layout, 0, sizeof layout);
      layout.Frame = FullFrame();
      if (message == MSG_RESET) Source.frame = layout.Frame;
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 IdentityCall(TW_IDENTITY* origin, TW_UINT16 message, TW_IDENTITY& identity) {
  switch (message) {
    case MSG_GET:
      FillIdentity(identity);
      return TWRC_SUCCESS;
    case MSG_OPENDS: {
      const std::string counted = StillHandedOverText();
      LogCall("manager=" + ManagerPath() + " application=" + (origin ? IdentityText(*origin) : "none") +
              (counted.empty() ? "" : " " + counted));
      if (origin) Source.application = *origin;
      FillIdentity(identity);
      Source.self = identity;
      ResetCapabilities();
      Source.state = State::Open;
      return TWRC_SUCCESS;
    }
    case MSG_CLOSEDS:
      Source.state = State::Loaded;
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

// --- Events and transfer ---------------------------------------------------------------------

// Tells the application, through the manager that loaded this source, that an image is ready
// or that the source wants to be closed.
void Notify(TW_UINT16 message) {
  DsmEntryProc entry = ManagerEntry();  // the 2.x manager's; a 1.x manager is found by its name
  if (HMODULE manager = entry ? nullptr : GetModuleHandleA("twain_32.dll"))
    entry = reinterpret_cast<DsmEntryProc>(reinterpret_cast<void*>(GetProcAddress(manager, "DSM_Entry")));
  LogCall(std::string("notify ") + (message == MSG_XFERREADY ? "XFERREADY" : "CLOSEDSREQ"));
  if (message == MSG_XFERREADY) Source.state = State::TransferReady;
  if (entry) entry(&Source.self, &Source.application, DG_CONTROL, DAT_NULL, message, nullptr);
}

void StopReadyTimer() {
  if (Source.readyTimer) KillTimer(nullptr, Source.readyTimer);
  Source.readyTimer = 0;
}

void NotifyAsConfigured() {
  const std::string ready = BehaviourSetting("Ready", "transfer");
  if (ready == "close")
    Notify(MSG_CLOSEDSREQ);
  else if (ready != "never")
    Notify(MSG_XFERREADY);
}

void CALLBACK ReadyTimerFired(HWND, UINT, UINT_PTR, DWORD) {
  StopReadyTimer();
  if (Source.state == State::Enabled) NotifyAsConfigured();
}

constexpr int ScanButton = 101;
constexpr int CancelButton = 102;
constexpr wchar_t DialogClass[] = L"ZembroliteVirtualScannerUI";

HINSTANCE ThisModule() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &self);
  return self;
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == ScanButton) LogCall("dialog Scan");  // once for each click the operator makes
      if (LOWORD(wParam) == ScanButton && Source.state == State::Enabled) {
        Source.viaInterface = true;
        Notify(MSG_XFERREADY);
      } else if (LOWORD(wParam) == CancelButton) {
        Notify(MSG_CLOSEDSREQ);
      }
      return 0;
    case WM_CLOSE:
      // Closing the dialog asks the application to close the source; the window goes at the disable.
      Notify(MSG_CLOSEDSREQ);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateScannerDialog(HWND owner) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DialogProc;
  windowClass.hInstance = ThisModule();
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  windowClass.lpszClassName = DialogClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, DialogClass, L"Zembrolite Virtual Scanner",
                                WS_POPUP | WS_CAPTION | WS_SYSMENU, 200, 200, 260, 110,
                                IsWindow(owner) ? owner : nullptr, nullptr, windowClass.hInstance, nullptr);
  if (!dialog) return nullptr;
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (const auto& button : {std::make_pair(ScanButton, L"Scan"), std::make_pair(CancelButton, L"Cancel")}) {
    HWND control = CreateWindowExW(
        0, L"BUTTON", button.second,
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | (button.first == ScanButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
        button.first == ScanButton ? 30 : 140, 30, 80, 26, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.first)), windowClass.hInstance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ShowWindow(dialog, SW_SHOW);  // only once its buttons are there
  return dialog;
}

void CloseScannerDialog() {
  if (Source.dialog) DestroyWindow(Source.dialog);
  Source.dialog = nullptr;
}

TW_UINT16 UserInterfaceCall(TW_UINT16 message, TW_USERINTERFACE& ui) {
  switch (message) {
    case MSG_ENABLEDS: {
      Source.state = State::Enabled;
      Source.viaInterface = false;
      LogTime("enabled");
      if (ui.ShowUI) {
        Source.dialog = CreateScannerDialog(static_cast<HWND>(ui.hParent));
        if (!Source.dialog) {
          Source.state = State::Open;
          return Fail(TWCC_LOWMEMORY);
        }
        return TWRC_SUCCESS;
      }
      const int delay = std::atoi(BehaviourSetting("ReadyDelayMs", "0").c_str());
      if (delay > 0)
        Source.readyTimer = SetTimer(nullptr, 0, static_cast<UINT>(delay), ReadyTimerFired);
      else
        NotifyAsConfigured();  // while the enable call is still running, as real sources do
      return TWRC_SUCCESS;
    }
    case MSG_DISABLEDS:
      StopReadyTimer();
      CloseScannerDialog();
      Source.state = State::Open;
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 EventCall(TW_EVENT& event) {
  event.TWMessage = MSG_NULL;
  MSG* message = static_cast<MSG*>(event.pEvent);
  if (Source.dialog && message && IsDialogMessageW(Source.dialog, message)) return TWRC_DSEVENT;
  return TWRC_NOTDSEVENT;
}

double CurrentValue(TW_UINT16 cap) {
  const Capability& capability = Source.capabilities[cap];
  return ItemValue(capability, capability.currentItem);
}

// Pages in the feeder after the one transferred, as [Behaviour] PagesLeft says (-1: unknown, some);
// by default none, or with its own dialog, which could scan on, some.
TW_UINT16 PagesLeft() {
  return static_cast<TW_UINT16>(std::atoi(BehaviourSetting("PagesLeft", Source.viaInterface ? "-1" : "0").c_str()));
}

TW_UINT16 NativeTransfer(TW_UINTPTR& handle) {
  Source.pagesPending = PagesLeft();
  // A jam leaves the page in the source, still to be transferred or discarded; a cancel in its
  // window and a transfer without an image both end the transfer.
  const std::string how = BehaviourSetting("Transfer", "image");
  if (how == "jam") return Fail(TWCC_PAPERJAM);
  if (how == "cancel" || how == "noimage") {
    Source.state = State::Transferring;
    return how == "cancel" ? TWRC_CANCEL : TWRC_XFERDONE;
  }
  const double xDpi = CurrentValue(ICAP_XRESOLUTION), yDpi = CurrentValue(ICAP_YRESOLUTION);
  const auto width =
      static_cast<std::int32_t>(std::lround((Value(Source.frame.Right) - Value(Source.frame.Left)) * xDpi));
  const auto height =
      static_cast<std::int32_t>(std::lround((Value(Source.frame.Bottom) - Value(Source.frame.Top)) * yDpi));
  const int pixelType = static_cast<int>(CurrentValue(ICAP_PIXELTYPE));
  // The image in the form [Behaviour] Image asks for; now the application's.
  const std::string form = BehaviourSetting("Image", "dib");
  TW_UINTPTR given = 0;
  std::uint32_t checksum = 0;
  if (form == "dibsection" || form == "dibsection-topdown") {
    const bool topDown = form == "dibsection-topdown";
    HBITMAP section = MakeTestSection(width, height, pixelType, xDpi, topDown);
    if (!section) return Fail(TWCC_LOWMEMORY);
    checksum = SectionChecksum(section, topDown);
    given = reinterpret_cast<TW_UINTPTR>(section);
  } else if (form == "brush") {
    given = reinterpret_cast<TW_UINTPTR>(CreateSolidBrush(RGB(255, 0, 0)));  // a GDI object, but no image
  } else {
    HGLOBAL image = MakeTestImage(width, height, pixelType, xDpi);
    if (!image) return Fail(TWCC_LOWMEMORY);
    checksum = PixelChecksum(image);
    given = reinterpret_cast<TW_UINTPTR>(image);
  }
  LogTime("transferred");
  if (LogsChecksums()) {
    char text[48];
    std::snprintf(text, sizeof text, "pixels checksum=%08X", static_cast<unsigned>(checksum));
    LogCall(text);
  }
  // A driver written for 32 bits writes only the handle's low half.
  if (BehaviourSetting("Handle", "whole") == "low32") {
    const auto low = static_cast<std::uint32_t>(given);
    std::memcpy(&handle, &low, sizeof low);
  } else {
    handle = given;
  }
  Source.state = State::Transferring;
  return TWRC_XFERDONE;
}

TW_UINT16 PendingCall(TW_UINT16 message, TW_PENDINGXFERS& pending) {
  switch (message) {
    case MSG_ENDXFER:
      // Ends the page in transfer, or discards the one waiting; reports those after it.
      pending.Count = Source.pagesPending;
      if (Source.pagesPending != 0 && Source.pagesPending != 0xFFFF) --Source.pagesPending;
      Source.state = pending.Count != 0 ? State::TransferReady : State::Enabled;
      return TWRC_SUCCESS;
    case MSG_RESET:
      pending.Count = Source.pagesPending = 0;
      Source.state = State::Enabled;
      return TWRC_SUCCESS;
    case MSG_GET:
      pending.Count = Source.state >= State::TransferReady ? Source.pagesPending : 0;
      return TWRC_SUCCESS;
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

// Whether TWAIN allows an application this call in this state.
bool AllowedIn(State state, TW_UINT16 type, TW_UINT16 message) {
  const bool changes = message == MSG_SET || message == MSG_RESET;
  switch (type) {
    case DAT_ENTRYPOINT:
      return state == State::Loaded;
    case DAT_IDENTITY:
      return message == MSG_OPENDS ? state == State::Loaded : message == MSG_CLOSEDS ? state == State::Open : true;
    case DAT_CAPABILITY:
    case DAT_IMAGELAYOUT:
      return changes ? state == State::Open : state >= State::Open;
    case DAT_USERINTERFACE:
      return message == MSG_ENABLEDS ? state == State::Open : state == State::Enabled;
    case DAT_EVENT:
      return state >= State::Enabled;
    case DAT_IMAGENATIVEXFER:
      return state == State::TransferReady;
    case DAT_PENDINGXFERS:
      return message == MSG_ENDXFER ? state >= State::TransferReady
             : message == MSG_RESET ? state == State::TransferReady
                                    : state >= State::Open;
    default:
      return true;
  }
}

TW_UINT16 Dispatch(TW_IDENTITY* origin, TW_UINT32 group, TW_UINT16 type, TW_UINT16 message, TW_MEMREF data) {
  if (type == DAT_STATUS && message == MSG_GET && data) {
    auto* status = static_cast<TW_STATUS*>(data);
    status->ConditionCode = Source.conditionCode;
    status->Reserved = 0;
    Source.conditionCode = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  if (!data) return Fail(TWCC_BADVALUE);
  if (group == DG_CONTROL && type == DAT_ENTRYPOINT && message == MSG_SET) {
    TakeManagerMemory(*static_cast<TW_ENTRYPOINT*>(data));
    return TWRC_SUCCESS;
  }
  if (group == DG_CONTROL && type == DAT_IDENTITY)
    return IdentityCall(origin, message, *static_cast<TW_IDENTITY*>(data));
  if (group == DG_CONTROL && type == DAT_CAPABILITY) return CapabilityCall(message, *static_cast<TW_CAPABILITY*>(data));
  if (group == DG_IMAGE && type == DAT_IMAGELAYOUT) return LayoutCall(message, *static_cast<TW_IMAGELAYOUT*>(data));
  if (group == DG_CONTROL && type == DAT_USERINTERFACE)
    return UserInterfaceCall(message, *static_cast<TW_USERINTERFACE*>(data));
  if (group == DG_CONTROL && type == DAT_EVENT && message == MSG_PROCESSEVENT)
    return EventCall(*static_cast<TW_EVENT*>(data));
  if (group == DG_IMAGE && type == DAT_IMAGENATIVEXFER && message == MSG_GET)
    return NativeTransfer(*static_cast<TW_UINTPTR*>(data));
  if (group == DG_CONTROL && type == DAT_PENDINGXFERS)
    return PendingCall(message, *static_cast<TW_PENDINGXFERS*>(data));
  return Fail(TWCC_BADPROTOCOL);
}

std::string Describe(TW_UINT16 type, TW_UINT16 message, TW_MEMREF data) {
  char text[128] = "";
  if (type == DAT_CAPABILITY && data) {
    const auto* record = static_cast<const TW_CAPABILITY*>(data);
    std::snprintf(text, sizeof text, " cap=%04X", record->Cap);
    std::string description = text;
    if (message == MSG_SET && record->hContainer && GlobalSize(record->hContainer) >= sizeof(TW_ONEVALUE)) {
      TW_ONEVALUE value = {};
      std::memcpy(&value, GlobalLock(record->hContainer), sizeof value);
      GlobalUnlock(record->hContainer);
      std::snprintf(text, sizeof text, " type=%u item=%08lX", value.ItemType, static_cast<unsigned long>(value.Item));
      description += text;
    }
    return description;
  }
  if (type == DAT_IMAGELAYOUT && data) {
    const auto& f = static_cast<const TW_IMAGELAYOUT*>(data)->Frame;
    std::snprintf(text, sizeof text, " frame=%.4f,%.4f,%.4f,%.4f", Value(f.Left), Value(f.Top), Value(f.Right),
                  Value(f.Bottom));
  }
  return text;
}

#ifdef _MSC_VER
#define ZEMBROLITE_NOINLINE __declspec(noinline)
#else
#define ZEMBROLITE_NOINLINE __attribute__((noinline))
#endif

volatile int Forever = 1;

// Each frame keeps a page of its own, so that the stack runs out after a few hundred calls.
ZEMBROLITE_NOINLINE int Deeper(volatile char* above) {
  volatile char frame[4096];
  frame[0] = above ? static_cast<char>(above[0] + 1) : 0;
  if (!Forever) return frame[0];
  return Deeper(frame) + frame[4095];
}

// Fails as a faulty driver does, inside the call; returns only from a hang with an end.
void Misbehave(const std::string& how) {
  if (how == "access-violation") {
    volatile std::uintptr_t address = 0;
    *reinterpret_cast<volatile int*>(address) = 1;
  } else if (how == "stack-overflow") {
    Deeper(nullptr);
  } else if (how == "cpp-exception") {
    // A throw of Visual C++ code: its exception code, with the magic number, the object and its
    // type description; nothing in the program can catch it.
    const ULONG_PTR arguments[] = {0x19930520, 0, 0};
    RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, arguments);
  } else if (how.rfind("hang", 0) == 0) {
    const int milliseconds = std::atoi(how.c_str() + 4);
    if (milliseconds > 0) return Sleep(static_cast<DWORD>(milliseconds));
    for (;;) Sleep(INFINITE);
  }
}

}  // namespace

extern "C" __declspec(dllexport) TW_UINT16 WINAPI
    DS_Entry(TW_IDENTITY* origin, TW_UINT32 group, TW_UINT16 type, TW_UINT16 message, TW_MEMREF data) {
  StartCounting();
  const std::string name = CallName(type, message);
  const int capability = type == DAT_CAPABILITY && data ? static_cast<TW_CAPABILITY*>(data)->Cap : -1;
  std::string line = name + Describe(type, message, data);
  const std::string crash = type == DAT_EVENT ? "" : ScriptedCrash(name);
  if (!crash.empty()) {
    LogCall(line + " (" + crash + ")");
    Misbehave(crash);
  }
  TW_UINT16 conditionCode = TWCC_SUCCESS;
  const int scripted = type == DAT_STATUS ? -1 : ScriptedFailure(name, capability, conditionCode);
  TW_UINT16 answer;
  if (!AllowedIn(Source.state, type, message)) {
    answer = Fail(TWCC_SEQERROR);
    line += " (out of state " + std::to_string(static_cast<int>(Source.state)) + ")";
  } else if (scripted >= 0) {
    Source.conditionCode = conditionCode;
    answer = static_cast<TW_UINT16>(scripted);
    line += " (scripted)";
  } else {
    answer = Dispatch(origin, group, type, message, data);
  }
  // Every message of the application passes by here; only those that concern the source are logged.
  if (type == DAT_EVENT && answer == TWRC_NOTDSEVENT) return answer;
  char result[16];
  std::snprintf(result, sizeof result, " -> %u", answer);
  LogCall(line + result);
  return answer;
}
