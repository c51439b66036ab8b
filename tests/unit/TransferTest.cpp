// One image from the source against the scripted manager: the pump, the records, every failure
// path, and no image memory left behind on any of them.
#include <gtest/gtest.h>

#include <cstring>

#include "../../twain/mdlTwain.h"
#include "FakeManager.h"

namespace {

// Thread messages that the scripted source reads as its events.
constexpr UINT ImageReadyEvent = WM_APP + 1;
constexpr UINT CloseRequestEvent = WM_APP + 2;

HGLOBAL SmallDib() {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + 16);
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
  header->biSize = sizeof *header;
  header->biWidth = 2;
  header->biHeight = 2;
  header->biPlanes = 1;
  header->biBitCount = 24;
  GlobalUnlock(memory);
  return memory;
}

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearTransferCancel();
    MSG stale;
    while (PeekMessageW(&stale, nullptr, 0, 0, PM_REMOVE)) {
    }
    MessageWindow =
        CreateWindowExA(0, "#32770", "TWAIN_MSG_WINDOW", 0, 10, 10, 150, 50, nullptr, nullptr, nullptr, nullptr);
    sourceSends(ImageReadyEvent);
    manager.answer(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, [](TW_MEMREF data) {
      auto* event = static_cast<TW_EVENT*>(data);
      const UINT message = static_cast<MSG*>(event->pEvent)->message;
      if (message == ImageReadyEvent) event->TWMessage = MSG_XFERREADY;
      if (message == CloseRequestEvent) event->TWMessage = MSG_CLOSEDSREQ;
      return event->TWMessage ? TWRC_DSEVENT : TWRC_NOTDSEVENT;
    });
    manager.answer(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, [this](TW_MEMREF data) {
      delivered = SmallDib();
      *static_cast<TW_UINTPTR*>(data) = reinterpret_cast<TW_UINTPTR>(delivered);
      return TWRC_XFERDONE;
    });
  }
  void TearDown() override {
    DestroyWindow(MessageWindow);
    MSG stale;
    while (PeekMessageW(&stale, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // The source answers the enable by posting this event to the thread.
  void sourceSends(UINT event) {
    manager.answer(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, [event](TW_MEMREF) {
      PostThreadMessageW(GetCurrentThreadId(), event, 0, 0);
      return TWRC_SUCCESS;
    });
  }
  void pendingAfterEnd(TW_UINT16 count) {
    manager.answer(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, [count](TW_MEMREF data) {
      static_cast<TW_PENDINGXFERS*>(data)->Count = count;
      return TWRC_SUCCESS;
    });
  }
  std::vector<Triplet> callsBesidesEvents() const { return manager.tripletsBesidesEvents(); }
  TW_USERINTERFACE interfaceRecord(const Triplet& which) const {
    TW_USERINTERFACE ui = {};
    const RecordedCall* call = manager.find(std::get<0>(which), std::get<1>(which), std::get<2>(which));
    if (call) std::memcpy(&ui, call->dataBytes.data(), sizeof ui);
    return ui;
  }

  FakeManager manager;
  HGLOBAL delivered = nullptr;
  HGLOBAL image = reinterpret_cast<HGLOBAL>(1);  // rubbish that the transfer must overwrite
};

}  // namespace

TEST_F(TransferTest, GoodTransferHandsTheImageToTheCaller) {
  ASSERT_EQ(TransferImage(false, image), 0);
  EXPECT_EQ(image, delivered);
  EXPECT_TRUE(IsAllocated(image));
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{Enable, NativeTransfer, EndTransfer, Disable}));
  const TW_USERINTERFACE ui = interfaceRecord(Enable);
  EXPECT_EQ(ui.ShowUI, 0);
  EXPECT_EQ(ui.ModalUI, 1);
  EXPECT_EQ(ui.hParent, MessageWindow);
  EXPECT_EQ(manager.find(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS)->data,
            manager.find(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)->data)
      << "the enable record is given to the disable";
  EXPECT_EQ(manager.find(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER)->dataBytes, std::vector<std::uint8_t>(6, 0));
  GlobalFree(image);
}

TEST_F(TransferTest, InterfaceIsAskedForWithShowUI) {
  ASSERT_EQ(TransferImage(true, image), 0);
  EXPECT_EQ(interfaceRecord(Enable).ShowUI, 1);
  EXPECT_EQ(interfaceRecord(Enable).ModalUI, 1);
  GlobalFree(image);
}

TEST_F(TransferTest, CloseRequestBeforeAnyTransferGivesNoImage) {
  sourceSends(CloseRequestEvent);
  EXPECT_EQ(TransferImage(true, image), 0);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{Enable, Disable}));
}

TEST_F(TransferTest, PendingPagesAreDiscardedBeforeTheDisable) {
  pendingAfterEnd(0xFFFF);  // -1: the source's interface could scan more
  ASSERT_EQ(TransferImage(true, image), 0);
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{Enable, NativeTransfer, EndTransfer, ResetPending, Disable}));
  EXPECT_EQ(manager.find(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET)->data,
            manager.find(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER)->data);
  EXPECT_TRUE(IsAllocated(image));
  GlobalFree(image);
}

int Dispatched = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP + 7 || message == WM_APP + 8) ++Dispatched;
  return DefWindowProcW(window, message, wParam, lParam);
}

// The source has already handled what it consumed; the program's windows get everything else.
TEST_F(TransferTest, OnlyMessagesTheSourceDoesNotConsumeAreDispatched) {
  Dispatched = 0;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.lpszClassName = L"TransferTestWindow";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(L"TransferTestWindow", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  PostMessageW(window, WM_APP + 7, 0, 0);  // the source's
  PostMessageW(window, WM_APP + 8, 0, 0);  // the program's
  manager.answer(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, [](TW_MEMREF data) {
    auto* event = static_cast<TW_EVENT*>(data);
    const UINT message = static_cast<MSG*>(event->pEvent)->message;
    event->TWMessage = message == ImageReadyEvent ? MSG_XFERREADY : MSG_NULL;
    return message == WM_APP + 8 ? TWRC_NOTDSEVENT : TWRC_DSEVENT;
  });
  ASSERT_EQ(TransferImage(false, image), 0);
  EXPECT_EQ(Dispatched, 1);
  DestroyWindow(window);
  GlobalFree(image);
}

TEST_F(TransferTest, QuitMessageEndsTheWaitAndIsHandedBack) {
  manager.answer(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, [](TW_MEMREF) {
    PostQuitMessage(3);
    return TWRC_SUCCESS;
  });
  manager.answer(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_FAILURE);  // no image is ready
  EXPECT_EQ(TransferImage(false, image), 1);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{Enable, NativeTransfer, EndTransfer, Disable}));
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program's loop must still end";
  EXPECT_EQ(message.wParam, 3u);
}

TEST_F(TransferTest, CancelledOrRefusedTransferEndsDisablesAndFreesAnything) {
  for (TW_UINT16 answer : {TWRC_CANCEL, TWRC_FAILURE}) {
    manager.answer(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, [this, answer](TW_MEMREF data) {
      delivered = SmallDib();  // a sloppy source may hand over memory even so
      *static_cast<TW_UINTPTR*>(data) = reinterpret_cast<TW_UINTPTR>(delivered);
      return answer;
    });
    EXPECT_EQ(TransferImage(false, image), 1);
    EXPECT_EQ(image, nullptr);
    EXPECT_FALSE(IsAllocated(delivered));
  }
  const std::vector<Triplet> once = {Enable, NativeTransfer, EndTransfer, Disable};
  std::vector<Triplet> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(callsBesidesEvents(), twice);
}

TEST_F(TransferTest, RefusedEndOfTransferDisablesAndDiscardsTheImage) {
  manager.answer(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWRC_FAILURE);
  EXPECT_EQ(TransferImage(false, image), 1);
  EXPECT_EQ(image, nullptr);
  EXPECT_FALSE(IsAllocated(delivered));
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{Enable, NativeTransfer, EndTransfer, Disable}));
}

TEST_F(TransferTest, RefusedDisableDiscardsTheImage) {
  manager.answer(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWRC_FAILURE);
  EXPECT_EQ(TransferImage(false, image), 1);
  EXPECT_EQ(image, nullptr);
  EXPECT_FALSE(IsAllocated(delivered));
}

TEST_F(TransferTest, RefusedEnableStopsAtOnce) {
  manager.answer(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_FAILURE);
  EXPECT_EQ(TransferImage(false, image), 1);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{Enable}));
}

TEST_F(TransferTest, CancelRequestEndsTheWaitLikeACloseRequest) {
  manager.answer(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, [](TW_MEMREF) {
    RequestTransferCancel();  // as the main window does when it is closed
    return TWRC_SUCCESS;
  });
  EXPECT_EQ(TransferImage(false, image), 0);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{Enable, Disable}));
  EXPECT_TRUE(TransferCancelRequested());
}
