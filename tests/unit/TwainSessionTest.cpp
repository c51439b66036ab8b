// The manager connection and the capabilities against the scripted manager: calling order, the
// records sent, the values read back, failure paths and every container freed.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>

#include "../../twain/Dsm.h"
#include "../../twain/mdlTwain.h"
#include "FakeManager.h"

namespace {

std::vector<std::uint8_t> BytesOf(const void* data, size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return {bytes, bytes + size};
}

// AppIdentity as it must stand before the open-manager call, built byte by byte.
std::vector<std::uint8_t> ExpectedAppIdentity() {
  std::vector<std::uint8_t> bytes(156, 0);
  const std::pair<size_t, unsigned> words[] = {{4, 1}, {8, 2}, {10, 44}, {46, 1}, {48, 9}, {50, 3}};
  for (const auto& word : words) bytes[word.first] = static_cast<std::uint8_t>(word.second);
  std::memcpy(&bytes[54], "Qorv", 4);
  std::memcpy(&bytes[88], "QX Module", 9);
  std::memcpy(&bytes[122], "QX Module for TWAIN", 19);
  return bytes;
}

class TwainSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&SourceIdentity, 0, sizeof SourceIdentity);
    std::memset(&AppIdentity, 0xCC, sizeof AppIdentity);  // rubbish that the open must clear
  }
  FakeManager manager;
};

}  // namespace

TEST_F(TwainSessionTest, OpenBuildsTheIdentityAndTheHiddenWindowThenCloseUndoesBoth) {
  std::vector<std::uint8_t> identity;
  manager.answer("OPENDSM", [&](TW_MEMREF) {
    identity = BytesOf(&AppIdentity, sizeof AppIdentity);
    return TWRC_SUCCESS;
  });
  ASSERT_EQ(OpenSourceManager(), 0);
  EXPECT_EQ(identity, ExpectedAppIdentity());
  EXPECT_EQ(manager.calls.at(0).data, static_cast<void*>(&MessageWindow)) << "the variable that holds the window";
  HWND window = MessageWindow;
  EXPECT_TRUE(IsWindow(window) && !IsWindowVisible(window));

  std::memset(&SourceIdentity, 0x5A, sizeof SourceIdentity);  // a source opened earlier
  manager.answer("OPENDS", [](TW_MEMREF data) {
    std::strcpy(static_cast<TW_IDENTITY*>(data)->ProductName, "Virtual");
    return TWRC_SUCCESS;
  });
  EXPECT_EQ(OpenDefaultSource() * 100 + CloseSource() * 10 + CloseSourceManager(), 0);
  EXPECT_EQ(manager.transcript(), "OPENDSM OPENDS CLOSEDS CLOSEDSM");
  EXPECT_EQ(manager.find("OPENDS")->dataBytes, std::vector<std::uint8_t>(156, 0)) << "cleared before the open";
  EXPECT_EQ(manager.find("CLOSEDS")->data, static_cast<void*>(&SourceIdentity));
  EXPECT_STREQ(SourceIdentity.ProductName, "Virtual") << "the record keeps its content";
  EXPECT_EQ(manager.calls.back().data, static_cast<void*>(&MessageWindow));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(MessageWindow, window) << "the variable keeps the old handle";
}

// The chooser's statuses and calls; the other procedures' refusals are the acquisitions' (each
// call of both walks refused in turn).
TEST_F(TwainSessionTest, ChooserStatusesAndTheIdentityItIsGiven) {
  const struct {
    const char* refused;  // the call the manager answers with failure (or cancel)
    TW_UINT16 answer;
    int status;
    const char* transcript;
  } cases[] = {
      {"", 0, 0, "OPENDSM USERSELECT CLOSEDSM"},
      {"USERSELECT", TWRC_CANCEL, 1, "OPENDSM USERSELECT/3 CLOSEDSM"},
      {"OPENDSM", TWRC_FAILURE, 1, "OPENDSM/1"},
      {"CLOSEDSM", TWRC_FAILURE, 1, "OPENDSM USERSELECT CLOSEDSM/1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.transcript);
    FakeManager fresh;
    if (*c.refused) fresh.answer(c.refused, c.answer);
    EXPECT_EQ(SelectSource(), c.status);
    EXPECT_EQ(fresh.transcript(), c.transcript);
    EXPECT_FALSE(IsWindow(MessageWindow)) << "the hidden window goes on every path";
  }
  // Given an empty identity when no source was opened, else the source opened last.
  EXPECT_EQ(SelectSource(), 0);
  std::strcpy(SourceIdentity.ProductName, "Opened last");
  const std::vector<std::uint8_t> before = BytesOf(&SourceIdentity, sizeof SourceIdentity);
  EXPECT_EQ(SelectSource(), 0);
  EXPECT_EQ(manager.calls.at(1).dataBytes, std::vector<std::uint8_t>(156, 0));
  EXPECT_EQ(manager.calls.at(4).dataBytes, before);
}

TEST_F(TwainSessionTest, SetSendsAOneValueContainerToTheSourceAndFreesIt) {
  struct Case {
    std::int32_t capability, itemType;
    CapabilityValue value;
    const char* sent;  // "" when refused before the source is called
  };
  // The values the program sends, the sign of a 16-bit item, and what does not fit (refused
  // before the source is called).
  const Case cases[] = {
      {ICAP_XRESOLUTION, TWTY_FIX32, 300.0f, "SET:1118=7:0000012C"},
      {CAP_XFERCOUNT, TWTY_INT16, std::int16_t{-1}, "SET:0001=1:0000FFFF"},
      {ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{65535}, "SET:0101=4:0000FFFF"},
      {ICAP_BITDEPTH, TWTY_UINT16, 2.5f, "SET:112B=4:00000002"},  // half to even
      {ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{65536}, ""},
      {ICAP_XRESOLUTION, TWTY_FIX32, 32768.0f, ""},
      {40000, TWTY_UINT16, std::int32_t{1}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    FakeManager fresh;
    fresh.answer("SET", TWRC_FAILURE);  // a refusing source: the container goes all the same
    EXPECT_EQ(SetCapability(c.capability, c.itemType, c.value), 1);
    EXPECT_EQ(fresh.transcript(), *c.sent ? std::string(c.sent) + "/1" : "");
    if (fresh.calls.empty()) continue;
    EXPECT_EQ(reinterpret_cast<const TW_CAPABILITY*>(fresh.calls[0].dataBytes.data())->ConType, TWON_ONEVALUE);
    EXPECT_FALSE(IsAllocated(fresh.calls[0].container));
  }
  EXPECT_EQ(SetCapability(ICAP_PIXELTYPE, TWTY_UINT16, std::int32_t{2}), 0);
}

TEST_F(TwainSessionTest, GetReadsTheValueByItemTypeAndFreesTheContainer) {
  struct Case {
    HGLOBAL container;
    int status;
    CapabilityValue expected;
  };
  const Case cases[] = {
      {MakeContainer(TWTY_FIX32, 0x80000008u), 0, 8.5f},
      {MakeContainer(TWTY_INT16, 0x0000FFFBu), 0, std::int16_t{-5}},
      {MakeContainer(TWTY_UINT16, 0xABCDFFFFu), 0, std::int32_t{65535}},
      {MakeContainer(TWTY_FIX32, 0x80000008u, 4), 1, 1.25f},  // too short
      {nullptr, 1, 1.25f},                                    // success without a container
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    manager.answer("GET", [&c](TW_MEMREF data) {
      static_cast<TW_CAPABILITY*>(data)->hContainer = c.container;
      return TWRC_SUCCESS;
    });
    CapabilityValue value = 1.25f;
    EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), c.status);
    EXPECT_EQ(value, c.expected);
    EXPECT_FALSE(IsAllocated(c.container));
  }
  const auto* record = reinterpret_cast<const TW_CAPABILITY*>(manager.calls.at(0).dataBytes.data());
  EXPECT_EQ(manager.calls.at(0).entry, "GET:1111");
  EXPECT_EQ(record->ConType, TWON_ONEVALUE);
  EXPECT_EQ(record->hContainer, nullptr);
  manager.answer("GET", TWRC_FAILURE);
  CapabilityValue value = 1.25f;
  EXPECT_EQ(GetCapability(ICAP_PHYSICALWIDTH, value), 1);
  EXPECT_EQ(value, CapabilityValue(1.25f));
}

TEST_F(TwainSessionTest, FrameIsSentInFixedPointAndAnAdjustedOneIsAccepted) {
  EXPECT_EQ(SetImageLayout(0.0f, 0.5f, 8.5f, 11.69f), 0);
  EXPECT_EQ(manager.transcript(), "FRAME:0,0.5,8.5,11.69");  // the fixed-point steps are the Fix32 tests'
  const auto* layout = reinterpret_cast<const TW_IMAGELAYOUT*>(manager.find("FRAME")->dataBytes.data());
  EXPECT_EQ(layout->DocumentNumber + layout->PageNumber + layout->FrameNumber, 0u);

  const std::pair<TW_UINT16, int> answers[] = {{TWRC_CHECKSTATUS, 0}, {TWRC_FAILURE, 1}, {TWRC_CANCEL, 1}};
  for (const auto& answer : answers) {
    manager.answer("FRAME", answer.first);
    EXPECT_EQ(SetImageLayout(0, 0, 20, 30), answer.second);
  }
  FakeManager fresh;
  EXPECT_EQ(SetImageLayout(0, 0, 40000.0f, 10), 1);
  EXPECT_EQ(SetImageLayout(0, 0, 10, std::numeric_limits<float>::infinity()), 1);
  EXPECT_TRUE(fresh.calls.empty()) << "a value that does not fit stops before the source";
}

// The real manager: loaded by its full path in the Windows folder, even with a planted
// twain_32.dll beside the program.
TEST(RealManager, IsLoadedFromTheWindowsFolderOnly) {
  wchar_t exe[MAX_PATH], system[MAX_PATH], path[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring planted(exe);
  planted = planted.substr(0, planted.find_last_of(L'\\')) + L"\\twain_32.dll";
  // Any DLL without DSM_Entry will do as the plant: loading it would break every call.
  GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\version.dll").c_str(), planted.c_str(), FALSE));
  EXPECT_EQ(OpenSourceManager(), 0);
  EXPECT_EQ(CloseSourceManager(), 0);
  GetModuleFileNameW(GetModuleHandleW(L"twain_32.dll"), path, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(path, DsmPath().c_str()), 0);
  DeleteFileW(planted.c_str());
}
