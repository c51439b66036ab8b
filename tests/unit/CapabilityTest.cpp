// One-value capabilities and the frame against the scripted source: the records and containers
// sent, the values read back, and every container freed.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "../../twain/mdlTwain.h"
#include "FakeManager.h"

namespace {

TW_ONEVALUE ContainerOf(const RecordedCall& call) {
  TW_ONEVALUE value = {};
  if (call.containerBytes.size() >= sizeof value) std::memcpy(&value, call.containerBytes.data(), sizeof value);
  return value;
}

TW_CAPABILITY RecordOf(const RecordedCall& call) {
  TW_CAPABILITY record = {};
  std::memcpy(&record, call.dataBytes.data(), sizeof record);
  return record;
}

class CapabilityTest : public ::testing::Test {
 protected:
  const RecordedCall& onlyCall() {
    EXPECT_EQ(manager.calls().size(), 1u);
    return manager.calls().at(0);
  }
  // A capability get answered with this container.
  void answerGet(HGLOBAL container) {
    manager.answer(DG_CONTROL, DAT_CAPABILITY, MSG_GET, [container](TW_MEMREF data) {
      static_cast<TW_CAPABILITY*>(data)->hContainer = container;
      return TWRC_SUCCESS;
    });
  }
  FakeManager manager;
};

}  // namespace

TEST_F(CapabilityTest, SetSendsAOneValueContainerAndFreesIt) {
  EXPECT_EQ(SetCapability(ICAP_XRESOLUTION, TWTY_FIX32, 300.0f), 0);
  const RecordedCall& call = onlyCall();
  EXPECT_TRUE(call.is(DG_CONTROL, DAT_CAPABILITY, MSG_SET));
  EXPECT_EQ(call.origin, &AppIdentity);
  EXPECT_EQ(call.destination, &SourceIdentity);
  const TW_CAPABILITY record = RecordOf(call);
  EXPECT_EQ(record.Cap, ICAP_XRESOLUTION);
  EXPECT_EQ(record.ConType, TWON_ONEVALUE);
  const TW_ONEVALUE value = ContainerOf(call);
  EXPECT_EQ(value.ItemType, TWTY_FIX32);
  EXPECT_EQ(value.Item, 300u);  // Whole 300, Frac 0
  EXPECT_EQ(GlobalFlags(call.container) & GMEM_INVALID_HANDLE, GMEM_INVALID_HANDLE);
  EXPECT_FALSE(IsAllocated(call.container));
}

TEST_F(CapabilityTest, RefusedSetGivesOneAndStillFreesTheContainer) {
  manager.answer(DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWRC_FAILURE);
  EXPECT_EQ(SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{2}), 1);
  EXPECT_FALSE(IsAllocated(onlyCall().container));
}

TEST_F(CapabilityTest, ItemBytesByType) {
  SetCapability(CAP_XFERCOUNT, TWTY_INT16, std::int16_t{-1});
  SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{65535});
  SetCapability(ICAP_BITDEPTH, TWTY_UINT16, 2.5f);  // rounded half to even
  SetCapability(ICAP_XRESOLUTION, TWTY_FIX32, 8.5f);
  SetCapability(ICAP_YRESOLUTION, TWTY_FIX32, std::int16_t{-2});
  SetCapability(0x8001, 9, 1.0f);  // a type no caller uses: Item stays 0
  ASSERT_EQ(manager.calls().size(), 5u) << "the capability number 0x8001 does not fit 16 signed bits";
  EXPECT_EQ(ContainerOf(manager.calls()[0]).Item, 0x0000FFFFu);
  EXPECT_EQ(ContainerOf(manager.calls()[1]).Item, 0x0000FFFFu);
  EXPECT_EQ(ContainerOf(manager.calls()[2]).Item, 2u);
  EXPECT_EQ(ContainerOf(manager.calls()[3]).Item, 0x80000008u);  // Whole 8, Frac 32768
  EXPECT_EQ(ContainerOf(manager.calls()[4]).Item, 0x0000FFFEu);  // Whole -2, Frac 0
  SetCapability(0x7001, 9, 1.0f);
  EXPECT_EQ(ContainerOf(manager.calls().back()).ItemType, 9);
  EXPECT_EQ(ContainerOf(manager.calls().back()).Item, 0u);
}

TEST_F(CapabilityTest, ValuesThatDoNotFitAreRefusedBeforeTheSourceIsCalled) {
  EXPECT_EQ(SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{65536}), 1);
  EXPECT_EQ(SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{-1}), 1);
  EXPECT_EQ(SetCapability(ICAP_PIXELTYPE, TWTY_BOOL, 70000.0f), 1);
  EXPECT_EQ(SetCapability(CAP_XFERCOUNT, TWTY_INT16, 40000.0f), 1);
  EXPECT_EQ(SetCapability(ICAP_XRESOLUTION, TWTY_FIX32, 32768.0f), 1);
  EXPECT_EQ(SetCapability(40000, TWTY_UINT16, std::int32_t{1}), 1);
  EXPECT_EQ(SetCapability(ICAP_PIXELTYPE, 70000, std::int32_t{1}), 1);
  EXPECT_TRUE(manager.calls().empty());
}

TEST_F(CapabilityTest, GetReadsTheValueByItemTypeAndFreesTheContainer) {
  struct Case {
    TW_UINT16 type;
    TW_UINT32 item;
    CapabilityValue expected;
  };
  const Case cases[] = {
      {TWTY_FIX32, 0x80000008u, 8.5f},
      {TWTY_FIX32, 0x4000FFFEu, -1.75f},
      {TWTY_INT16, 0x0000FFFBu, std::int16_t{-5}},
      {TWTY_UINT16, 0xABCDFFFFu, std::int32_t{65535}},
      {TWTY_BOOL, 0x00000001u, std::int32_t{1}},
  };
  for (const Case& c : cases) {
    HGLOBAL container = MakeContainer(c.type, c.item);
    answerGet(container);
    CapabilityValue value = std::int16_t{0};
    EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), 0);
    EXPECT_EQ(value, c.expected) << "item type " << c.type;
    EXPECT_FALSE(IsAllocated(container));
  }
  const TW_CAPABILITY record = RecordOf(manager.calls().at(0));
  EXPECT_EQ(record.Cap, ICAP_PHYSICALWIDTH);
  EXPECT_EQ(record.ConType, TWON_ONEVALUE);
  EXPECT_EQ(record.hContainer, nullptr);
}

TEST_F(CapabilityTest, UnhandledItemTypeLeavesTheValueAndSucceeds) {
  HGLOBAL container = MakeContainer(TWTY_UINT32, 77);
  answerGet(container);
  CapabilityValue value = 1.25f;
  EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), 0);
  EXPECT_EQ(value, CapabilityValue(1.25f));
  EXPECT_FALSE(IsAllocated(container));
}

TEST_F(CapabilityTest, FailedGetsLeaveTheValueAndLeakNothing) {
  CapabilityValue value = 1.25f;
  manager.answer(DG_CONTROL, DAT_CAPABILITY, MSG_GET, TWRC_FAILURE);
  EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), 1);

  answerGet(nullptr);  // success without a container
  EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), 1);

  HGLOBAL shortContainer = MakeContainer(TWTY_FIX32, 0x80000008u, 4);
  answerGet(shortContainer);
  EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), 1);
  EXPECT_FALSE(IsAllocated(shortContainer));
  EXPECT_EQ(value, CapabilityValue(1.25f));
}

TEST_F(CapabilityTest, ImageLayoutSendsTheFrameInFixedPoint) {
  EXPECT_EQ(SetImageLayout(0.0f, 0.5f, 8.5f, 11.69f), 0);
  const RecordedCall& call = onlyCall();
  EXPECT_TRUE(call.is(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET));
  EXPECT_EQ(call.destination, &SourceIdentity);
  TW_IMAGELAYOUT layout;
  std::memcpy(&layout, call.dataBytes.data(), sizeof layout);
  EXPECT_EQ(layout.Frame.Left.Whole, 0);
  EXPECT_EQ(layout.Frame.Left.Frac, 0);
  EXPECT_EQ(layout.Frame.Top.Frac, 32768);
  EXPECT_EQ(layout.Frame.Right.Whole, 8);
  EXPECT_EQ(layout.Frame.Right.Frac, 32768);
  EXPECT_EQ(layout.Frame.Bottom.Whole, 11);
  EXPECT_EQ(layout.Frame.Bottom.Frac, 45220);  // 0.69 x 65536 = 45219.84
  EXPECT_EQ(layout.DocumentNumber, 0u);
  EXPECT_EQ(layout.PageNumber, 0u);
  EXPECT_EQ(layout.FrameNumber, 0u);
}

TEST_F(CapabilityTest, ImageLayoutAcceptsAnAdjustedFrameAndRefusesAFailure) {
  manager.answer(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, TWRC_CHECKSTATUS);
  EXPECT_EQ(SetImageLayout(0, 0, 20, 30), 0);
  manager.answer(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, TWRC_FAILURE);
  EXPECT_EQ(SetImageLayout(0, 0, 20, 30), 1);
  manager.answer(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, TWRC_CANCEL);
  EXPECT_EQ(SetImageLayout(0, 0, 20, 30), 1);
}

TEST_F(CapabilityTest, FrameValueThatDoesNotFitStopsBeforeTheSource) {
  EXPECT_EQ(SetImageLayout(0, 0, 40000.0f, 10), 1);
  EXPECT_EQ(SetImageLayout(0, 0, 10, std::numeric_limits<float>::infinity()), 1);
  EXPECT_TRUE(manager.calls().empty());
}
