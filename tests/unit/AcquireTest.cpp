// The two acquisitions against the scripted manager: the order of every call, the values sent,
// the closing calls after each failing step, the file and the memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "../../twain/mdlTwain.h"
#include "FakeManager.h"
#include "TestFolders.h"

namespace {

constexpr UINT ImageReadyEvent = WM_APP + 1;

class AcquireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = FreshTestFolder(L"acquire") + L"\\scan.bmp";
    script(manager);
  }

  // A source that has an image ready as soon as it is enabled, on a flatbed of 8.5 x 11 inches.
  void script(FakeManager& manager) {
    manager.answer(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, [](TW_MEMREF) {
      PostThreadMessageW(GetCurrentThreadId(), ImageReadyEvent, 0, 0);
      return TWRC_SUCCESS;
    });
    manager.answer(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, [](TW_MEMREF data) {
      auto* event = static_cast<TW_EVENT*>(data);
      if (static_cast<MSG*>(event->pEvent)->message != ImageReadyEvent) return TWRC_NOTDSEVENT;
      event->TWMessage = MSG_XFERREADY;
      return TWRC_DSEVENT;
    });
    manager.answer(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, [this](TW_MEMREF data) {
      delivered = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + 16);
      auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(delivered));
      header->biSize = sizeof *header;
      header->biWidth = header->biHeight = 2;
      header->biPlanes = 1;
      header->biBitCount = 24;
      GlobalUnlock(delivered);
      *static_cast<TW_UINTPTR*>(data) = reinterpret_cast<TW_UINTPTR>(delivered);
      return TWRC_XFERDONE;
    });
    manager.answer(DG_CONTROL, DAT_CAPABILITY, MSG_GET, [](TW_MEMREF data) {
      auto* record = static_cast<TW_CAPABILITY*>(data);
      TW_FIX32 fixed = {};
      Fix32FromFloat(record->Cap == ICAP_PHYSICALWIDTH ? 8.5f : 11.0f, fixed);
      record->hContainer = MakeContainer(TWTY_FIX32, ItemFromFix32(fixed));
      return TWRC_SUCCESS;
    });
  }
  void refuseCapability(TW_UINT16 refused) {
    manager.answer(DG_CONTROL, DAT_CAPABILITY, MSG_SET, [refused](TW_MEMREF data) {
      return static_cast<TW_CAPABILITY*>(data)->Cap == refused ? TWRC_FAILURE : TWRC_SUCCESS;
    });
  }

  std::vector<Triplet> callsBesidesEvents() const { return manager.tripletsBesidesEvents(); }
  // The capability numbers and items that were set, in order.
  std::vector<std::pair<TW_UINT16, TW_UINT32>> capabilitiesSet() const {
    std::vector<std::pair<TW_UINT16, TW_UINT32>> set;
    for (const RecordedCall& call : manager.calls()) {
      if (!call.is(DG_CONTROL, DAT_CAPABILITY, MSG_SET)) continue;
      TW_CAPABILITY record;
      TW_ONEVALUE value;
      std::memcpy(&record, call.dataBytes.data(), sizeof record);
      std::memcpy(&value, call.containerBytes.data(), sizeof value);
      set.emplace_back(record.Cap, value.Item);
    }
    return set;
  }
  TW_FRAME frameSent() const {
    TW_IMAGELAYOUT layout = {};
    const RecordedCall* call = manager.find(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET);
    if (call) std::memcpy(&layout, call->dataBytes.data(), sizeof layout);
    return layout.Frame;
  }

  FakeManager manager;
  std::wstring path;
  HGLOBAL delivered = nullptr;
};

TW_UINT32 Fix(float value) {
  TW_FIX32 fixed = {};
  Fix32FromFloat(value, fixed);
  return ItemFromFix32(fixed);
}

}  // namespace

TEST_F(AcquireTest, WithoutInterfaceTheWholeWalkInItsOrder) {
  ASSERT_EQ(AcquireNoUI(300.0f, TWPT_RGB, 0, 0, 0, 0, path), 0);
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{OpenManager, OpenSource, GetCap, GetCap, SetFrame, SetCap,
                                                        SetCap, SetCap, SetCap, SetCap, Enable, NativeTransfer,
                                                        EndTransfer, Disable, CloseSourceCall, CloseManager}));
  using Set = std::vector<std::pair<TW_UINT16, TW_UINT32>>;
  EXPECT_EQ(capabilitiesSet(), (Set{{ICAP_XRESOLUTION, Fix(300)},
                                    {ICAP_YRESOLUTION, Fix(300)},
                                    {ICAP_PIXELTYPE, TWPT_RGB},
                                    {ICAP_BITDEPTH, 24},
                                    {CAP_XFERCOUNT, 1}}));
  const TW_FRAME frame = frameSent();
  EXPECT_EQ(FloatFromFix32(frame.Left), 0.0f);
  EXPECT_EQ(FloatFromFix32(frame.Top), 0.0f);
  EXPECT_EQ(FloatFromFix32(frame.Right), 8.5f);
  EXPECT_EQ(FloatFromFix32(frame.Bottom), 11.0f);
  EXPECT_EQ(ReadFileBytes(path).size(), 14u + 40u + 16u);
  EXPECT_FALSE(IsAllocated(delivered));
}

TEST_F(AcquireTest, OneZeroExtentReplacesBoth) {
  ASSERT_EQ(AcquireNoUI(200.0f, TWPT_GRAY, 1, 2, 5, 0, path), 0);
  const TW_FRAME frame = frameSent();
  EXPECT_EQ(FloatFromFix32(frame.Left), 1.0f);
  EXPECT_EQ(FloatFromFix32(frame.Top), 2.0f);
  EXPECT_EQ(FloatFromFix32(frame.Right), 8.5f);
  EXPECT_EQ(FloatFromFix32(frame.Bottom), 11.0f);
}

TEST_F(AcquireTest, GivenFrameIsSentAsItIs) {
  ASSERT_EQ(AcquireNoUI(200.0f, TWPT_GRAY, 1, 2, 5, 6, path), 0);
  EXPECT_EQ(manager.find(DG_CONTROL, DAT_CAPABILITY, MSG_GET), nullptr);
  EXPECT_EQ(FloatFromFix32(frameSent().Right), 5.0f);
  EXPECT_EQ(FloatFromFix32(frameSent().Bottom), 6.0f);
}

TEST_F(AcquireTest, BitDepthOnlyForColourAndItsRefusalDoesNotStop) {
  ASSERT_EQ(AcquireNoUI(100.0f, TWPT_BW, 0, 0, 0, 0, path), 0);
  for (const auto& set : capabilitiesSet()) EXPECT_NE(set.first, ICAP_BITDEPTH);

  refuseCapability(ICAP_BITDEPTH);
  ASSERT_EQ(AcquireNoUI(100.0f, TWPT_RGB, 0, 0, 0, 0, path), 0);
  EXPECT_EQ(capabilitiesSet().back().first, CAP_XFERCOUNT);
}

TEST_F(AcquireTest, RefusedResolutionClosesEverythingAndSendsNothingMore) {
  refuseCapability(ICAP_YRESOLUTION);
  EXPECT_EQ(AcquireNoUI(300.0f, TWPT_RGB, 0, 0, 0, 0, path), 1);
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{OpenManager, OpenSource, GetCap, GetCap, SetFrame, SetCap,
                                                        SetCap, CloseSourceCall, CloseManager}));
  EXPECT_FALSE(PathExists(path));
}

TEST_F(AcquireTest, EachFailingStepIsFollowedByBothClosingCalls) {
  const Triplet failing[] = {OpenSource, GetCap, SetFrame, SetCap, Enable, NativeTransfer, EndTransfer, Disable};
  for (const Triplet& step : failing) {
    SCOPED_TRACE(std::get<2>(step));
    FakeManager fresh;  // takes the calls from here on
    script(fresh);
    fresh.answer(std::get<0>(step), std::get<1>(step), std::get<2>(step), TWRC_FAILURE);
    delivered = nullptr;
    EXPECT_EQ(AcquireNoUI(300.0f, TWPT_RGB, 0, 0, 0, 0, path), 1);
    const auto calls = fresh.tripletsBesidesEvents();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], CloseSourceCall);
    EXPECT_EQ(calls.back(), CloseManager);
    EXPECT_FALSE(IsAllocated(delivered));
    EXPECT_FALSE(PathExists(path));
  }
}

TEST_F(AcquireTest, ManagerThatDoesNotOpenClosesNothing) {
  manager.answer(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWRC_FAILURE);
  EXPECT_EQ(AcquireNoUI(300.0f, TWPT_RGB, 0, 0, 0, 0, path), 1);
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{OpenManager}));
}

TEST_F(AcquireTest, SourceThatDoesNotOpenStillClosesTheManager) {
  manager.answer(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, TWRC_FAILURE);
  EXPECT_EQ(AcquireWithUI(path), 1);
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{OpenManager, OpenSource, CloseSourceCall, CloseManager}));
}

TEST_F(AcquireTest, WithInterfaceNothingIsNegotiated) {
  ASSERT_EQ(AcquireWithUI(path), 0);
  EXPECT_EQ(callsBesidesEvents(), (std::vector<Triplet>{OpenManager, OpenSource, Enable, NativeTransfer, EndTransfer,
                                                        Disable, CloseSourceCall, CloseManager}));
  TW_USERINTERFACE ui;
  std::memcpy(&ui, manager.find(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)->dataBytes.data(), sizeof ui);
  EXPECT_EQ(ui.ShowUI, 1);
  EXPECT_TRUE(PathExists(path));
}

TEST_F(AcquireTest, ClosedInterfaceWritesNoFile) {
  manager.answer(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, [](TW_MEMREF data) {
    auto* event = static_cast<TW_EVENT*>(data);
    if (static_cast<MSG*>(event->pEvent)->message != ImageReadyEvent) return TWRC_NOTDSEVENT;
    event->TWMessage = MSG_CLOSEDSREQ;
    return TWRC_DSEVENT;
  });
  EXPECT_EQ(AcquireWithUI(path), 1);
  EXPECT_EQ(callsBesidesEvents(),
            (std::vector<Triplet>{OpenManager, OpenSource, Enable, Disable, CloseSourceCall, CloseManager}));
  EXPECT_FALSE(PathExists(path));
}

TEST_F(AcquireTest, FailedCloseAfterAGoodTransferFreesTheImageAndClosesAgain) {
  manager.answer(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, TWRC_FAILURE);
  EXPECT_EQ(AcquireNoUI(300.0f, TWPT_RGB, 0, 0, 0, 0, path), 1);
  EXPECT_FALSE(IsAllocated(delivered));
  const auto calls = callsBesidesEvents();
  const std::vector<Triplet> tail(calls.end() - 3, calls.end());
  EXPECT_EQ(tail, (std::vector<Triplet>{CloseSourceCall, CloseSourceCall, CloseManager}));
  EXPECT_FALSE(PathExists(path));
}

TEST_F(AcquireTest, FailedWriteClosesNothingTwice) {
  const std::wstring unreachable = path + L"\\missing\\scan.bmp";
  EXPECT_EQ(AcquireNoUI(300.0f, TWPT_RGB, 0, 0, 0, 0, unreachable), 1);
  const auto calls = callsBesidesEvents();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), CloseManager), 1);
  EXPECT_FALSE(IsAllocated(delivered));
}
