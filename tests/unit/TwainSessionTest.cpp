// The manager connection against the scripted manager: calling order, records and failure paths.
#include <gtest/gtest.h>

#include <cstring>

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
  auto put16 = [&](size_t offset, unsigned value) {
    bytes[offset] = value & 0xFF;
    bytes[offset + 1] = value >> 8;
  };
  put16(4, 1);    // Version.MajorNum
  put16(6, 0);    // Version.MinorNum
  put16(8, 2);    // Version.Language: English
  put16(10, 44);  // Version.Country: United Kingdom
  put16(46, 1);   // ProtocolMajor
  put16(48, 9);   // ProtocolMinor
  put16(50, 3);   // SupportedGroups: control and image
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
  ASSERT_EQ(OpenSourceManager(), 0);
  const RecordedCall& open = manager.calls().at(0);
  EXPECT_EQ(Triplet(open.dataGroup, open.dataType, open.message), OpenManager);
  EXPECT_EQ(open.origin, &AppIdentity);
  EXPECT_EQ(open.destination, nullptr);
  EXPECT_EQ(BytesOf(&open.originAtCall, sizeof(TW_IDENTITY)), ExpectedAppIdentity());
  // The data is a pointer to the variable that holds the window.
  EXPECT_EQ(open.data, static_cast<void*>(&MessageWindow));

  HWND window = MessageWindow;
  ASSERT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  char text[64] = "";
  GetWindowTextA(window, text, sizeof text);
  EXPECT_STREQ(text, "TWAIN_MSG_WINDOW");
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  EXPECT_STREQ(className, "#32770");
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 10);
  EXPECT_EQ(rect.right - rect.left, 150);
  EXPECT_EQ(rect.bottom - rect.top, 50);
  EXPECT_EQ(GetParent(window), nullptr);

  EXPECT_EQ(CloseSourceManager(), 0);
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{OpenManager, CloseManager}));
  EXPECT_EQ(manager.calls().at(1).data, static_cast<void*>(&MessageWindow));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(MessageWindow, window) << "the variable keeps the old handle";
}

TEST_F(TwainSessionTest, RefusedOpenDestroysTheWindow) {
  manager.answer(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWRC_FAILURE);
  EXPECT_EQ(OpenSourceManager(), 1);
  EXPECT_FALSE(IsWindow(MessageWindow));
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{OpenManager}));
}

TEST_F(TwainSessionTest, RefusedCloseStillDestroysTheWindow) {
  manager.answer(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, TWRC_FAILURE);
  ASSERT_EQ(OpenSourceManager(), 0);
  HWND window = MessageWindow;
  EXPECT_EQ(CloseSourceManager(), 1);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(TwainSessionTest, OpenDefaultSourceClearsTheIdentityFirst) {
  std::memset(&SourceIdentity, 0x5A, sizeof SourceIdentity);  // a source opened earlier
  manager.answer(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, [](TW_MEMREF data) {
    auto* identity = static_cast<TW_IDENTITY*>(data);
    identity->Id = 7;
    std::strcpy(identity->ProductName, "Virtual");
    return TWRC_SUCCESS;
  });
  ASSERT_EQ(OpenSourceManager(), 0);
  EXPECT_EQ(OpenDefaultSource(), 0);
  const RecordedCall* open = manager.find(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS);
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(open->data, static_cast<void*>(&SourceIdentity));
  EXPECT_EQ(open->destination, nullptr);
  EXPECT_EQ(open->dataBytes, std::vector<std::uint8_t>(156, 0));
  EXPECT_EQ(SourceIdentity.Id, 7u);

  EXPECT_EQ(CloseSource(), 0);
  EXPECT_EQ(manager.find(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS)->data, static_cast<void*>(&SourceIdentity));
  EXPECT_STREQ(SourceIdentity.ProductName, "Virtual") << "the record keeps its content";
  EXPECT_EQ(CloseSourceManager(), 0);
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{OpenManager, OpenSource, CloseSourceCall, CloseManager}));
}

TEST_F(TwainSessionTest, RefusedSourceOpenOrCloseGivesOne) {
  manager.answer(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, TWRC_FAILURE);
  manager.answer(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, TWRC_FAILURE);
  ASSERT_EQ(OpenSourceManager(), 0);
  EXPECT_EQ(OpenDefaultSource(), 1);
  EXPECT_EQ(CloseSource(), 1);
  EXPECT_EQ(CloseSourceManager(), 0);
}

TEST_F(TwainSessionTest, SelectSourceBeforeAnyOpenPassesAnEmptyIdentity) {
  EXPECT_EQ(SelectSource(), 0);
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{OpenManager, ChooseSource, CloseManager}));
  EXPECT_EQ(manager.calls().at(1).dataBytes, std::vector<std::uint8_t>(156, 0));
  EXPECT_EQ(manager.calls().at(1).data, static_cast<void*>(&SourceIdentity));
  EXPECT_FALSE(IsWindow(MessageWindow));
}

TEST_F(TwainSessionTest, SelectSourceAfterAnAcquisitionPassesTheSourceOpenedLast) {
  std::strcpy(SourceIdentity.ProductName, "Opened last");
  SourceIdentity.Id = 3;
  const std::vector<std::uint8_t> before = BytesOf(&SourceIdentity, sizeof SourceIdentity);
  EXPECT_EQ(SelectSource(), 0);
  EXPECT_EQ(manager.calls().at(1).dataBytes, before);
}

TEST_F(TwainSessionTest, CancelledChoiceGivesOneAndClosesTheManager) {
  manager.answer(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, TWRC_CANCEL);
  EXPECT_EQ(SelectSource(), 1);
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{OpenManager, ChooseSource, CloseManager}));
  EXPECT_FALSE(IsWindow(MessageWindow));
}

TEST_F(TwainSessionTest, SelectSourceStopsWhenTheManagerDoesNotOpen) {
  manager.answer(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWRC_FAILURE);
  EXPECT_EQ(SelectSource(), 1);
  EXPECT_EQ(manager.triplets(), (std::vector<Triplet>{OpenManager}));
}

TEST_F(TwainSessionTest, SelectSourceReportsAFailedClose) {
  manager.answer(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, TWRC_FAILURE);
  EXPECT_EQ(SelectSource(), 1);
  EXPECT_FALSE(IsWindow(MessageWindow));
}

// The real manager: loaded by its full path in the Windows folder, even with a planted
// twain_32.dll beside the program.
TEST(RealManager, IsLoadedFromTheWindowsFolderOnly) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring planted(exe);
  planted = planted.substr(0, planted.find_last_of(L'\\')) + L"\\twain_32.dll";
  // Any DLL without DSM_Entry will do as the plant: loading it would break every call.
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\version.dll").c_str(), planted.c_str(), FALSE));

  EXPECT_EQ(OpenSourceManager(), 0);
  EXPECT_EQ(CloseSourceManager(), 0);
  HMODULE loaded = GetModuleHandleW(L"twain_32.dll");
  ASSERT_NE(loaded, nullptr);
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(loaded, path, MAX_PATH);
  EXPECT_EQ(lstrcmpiW(path, DsmPath().c_str()), 0);
  DeleteFileW(planted.c_str());
}
