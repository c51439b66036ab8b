// One image from the source, and the two acquisitions, against the scripted manager: the order
// of every call, the values sent, the closing calls after each failing step, the file, and no
// image memory left behind on any path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>

#include "../../twain/mdlTwain.h"
#include "FakeManager.h"
#include "TestFolders.h"

namespace {

// Thread messages that the scripted source reads as its events.
constexpr UINT ImageReady = WM_APP + 1;
constexpr UINT CloseRequest = WM_APP + 2;

void DropThreadMessages() {
  MSG stale;
  while (PeekMessageW(&stale, nullptr, 0, 0, PM_REMOVE)) {
  }
}

HGLOBAL SmallDib() {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + 16);
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
  *header = {sizeof *header, 2, 2, 1, 24, 0, 0, 0, 0, 0, 0};
  GlobalUnlock(memory);
  return memory;
}

TW_UINT16 PostOnEnable(UINT event) {
  PostThreadMessageW(GetCurrentThreadId(), event, 0, 0);
  return TWRC_SUCCESS;
}

class AcquireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = FreshTestFolder(L"acquire") + L"\\scan.bmp";
    ClearTransferCancel();
    DropThreadMessages();
    script(manager);
  }
  void TearDown() override { DropThreadMessages(); }

  // A source with an image ready as soon as it is enabled, on a flatbed of 8.5 x 11 inches.
  void script(FakeManager& fake) {
    delivered = nullptr;
    fake.answer("ENABLE", [](TW_MEMREF) { return PostOnEnable(ImageReady); });
    fake.answer("EVENT", [](TW_MEMREF data) {
      auto* event = static_cast<TW_EVENT*>(data);
      const UINT message = static_cast<MSG*>(event->pEvent)->message;
      event->TWMessage = message == ImageReady ? MSG_XFERREADY : message == CloseRequest ? MSG_CLOSEDSREQ : MSG_NULL;
      return event->TWMessage ? TWRC_DSEVENT : TWRC_NOTDSEVENT;
    });
    handOver(fake, TWRC_XFERDONE);
    fake.answer("SET", [this](TW_MEMREF data) { return refuses("SET", data) ? TWRC_FAILURE : TWRC_SUCCESS; });
    fake.answer("GET", [this](TW_MEMREF data) -> TW_UINT16 {
      if (refuses("GET", data)) return TWRC_FAILURE;
      auto* record = static_cast<TW_CAPABILITY*>(data);
      TW_FIX32 fixed = {};
      Fix32FromFloat(record->Cap == ICAP_PHYSICALWIDTH ? 8.5f : 11.0f, fixed);
      record->hContainer = MakeContainer(TWTY_FIX32, ItemFromFix32(fixed));
      return TWRC_SUCCESS;
    });
  }
  // The transfer hands over an image with this answer (a sloppy source does so even on failure).
  void handOver(FakeManager& fake, TW_UINT16 answer) {
    fake.answer("XFER", [this, answer](TW_MEMREF data) {
      delivered = SmallDib();
      *static_cast<TW_UINTPTR*>(data) = reinterpret_cast<TW_UINTPTR>(delivered);
      return answer;
    });
  }

  FakeManager manager;
  std::wstring path;
  // True for the capability call that the refused transcript entry names.
  bool refuses(const char* name, TW_MEMREF data) const {
    char entry[16];
    std::snprintf(entry, sizeof entry, "%s:%04X", name, static_cast<TW_CAPABILITY*>(data)->Cap);
    return refused.rfind(entry, 0) == 0;
  }

  HGLOBAL delivered = nullptr;
  std::string refused;
};

using Script = std::function<void(FakeManager&)>;
Script EnableSends(UINT event) {
  return [=](FakeManager& fake) { fake.answer("ENABLE", [event](TW_MEMREF) { return PostOnEnable(event); }); };
}
Script PendingAfterEnd(TW_UINT16 count) {
  return [=](FakeManager& fake) {
    fake.answer("ENDXFER", [count](TW_MEMREF data) {
      static_cast<TW_PENDINGXFERS*>(data)->Count = count;
      return TWRC_SUCCESS;
    });
  };
}

int Dispatched = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dispatched += message == WM_APP + 7 || message == WM_APP + 8;
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

TEST_F(AcquireTest, TransferEndsEveryWayWithTheSourceDisabledAndNoStrayImage) {
  struct Case {
    const char* what;
    Script script;
    bool showUI;
    int status;
    bool image;  // the caller gets the delivered image
    const char* transcript;
  };
  const Case cases[] = {
      {"good", [](FakeManager&) {}, false, 0, true, "ENABLE:0 XFER/6 ENDXFER DISABLE"},
      {"with interface", [](FakeManager&) {}, true, 0, true, "ENABLE:1 XFER/6 ENDXFER DISABLE"},
      {"close request first", EnableSends(CloseRequest), true, 0, false, "ENABLE:1 DISABLE"},
      {"pages left pending", PendingAfterEnd(0xFFFF), true, 0, true, "ENABLE:1 XFER/6 ENDXFER RESET DISABLE"},
      {"cancelled", [this](FakeManager& f) { handOver(f, TWRC_CANCEL); }, false, 1, false,
       "ENABLE:0 XFER/3 ENDXFER DISABLE"},
      {"program closing",
       [](FakeManager& f) {
         f.answer("ENABLE", [](TW_MEMREF) {
           RequestTransferCancel();  // as the main window does when it is closed
           return TWRC_SUCCESS;
         });
       },
       false, 0, false, "ENABLE:0 DISABLE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearTransferCancel();
    FakeManager fake;
    script(fake);
    c.script(fake);
    MessageWindow = CreateWindowExA(0, "#32770", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    HGLOBAL image = reinterpret_cast<HGLOBAL>(1);  // rubbish that the transfer must overwrite
    EXPECT_EQ(TransferImage(c.showUI, image), c.status);
    EXPECT_EQ(fake.transcript(), c.transcript);
    EXPECT_EQ(image, c.image ? delivered : nullptr);
    EXPECT_EQ(IsAllocated(delivered), c.image);
    GlobalFree(image);
    DestroyWindow(MessageWindow);
  }
  EXPECT_TRUE(TransferCancelRequested()) << "the program's close stays requested";
}

TEST_F(AcquireTest, TransferRecordsAndTheMessagesItDispatches) {
  PendingAfterEnd(0xFFFF)(manager);
  Dispatched = 0;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.lpszClassName = L"TransferTestWindow";
  RegisterClassW(&windowClass);
  MessageWindow = CreateWindowW(L"TransferTestWindow", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  // The source consumes the first and has handled it already; the program's windows get the second.
  PostMessageW(MessageWindow, WM_APP + 7, 0, 0);
  PostMessageW(MessageWindow, WM_APP + 8, 0, 0);
  manager.answer("EVENT", [](TW_MEMREF data) {
    auto* event = static_cast<TW_EVENT*>(data);
    const UINT message = static_cast<MSG*>(event->pEvent)->message;
    event->TWMessage = message == ImageReady ? MSG_XFERREADY : MSG_NULL;
    return message == WM_APP + 8 ? TWRC_NOTDSEVENT : TWRC_DSEVENT;
  });
  HGLOBAL image = nullptr;
  ASSERT_EQ(TransferImage(false, image), 0);
  EXPECT_EQ(Dispatched, 1);
  ASSERT_EQ(manager.transcript(), "ENABLE:0 XFER/6 ENDXFER RESET DISABLE");
  TW_USERINTERFACE ui = {};
  std::memcpy(&ui, manager.find("ENABLE")->dataBytes.data(), sizeof ui);
  EXPECT_EQ(ui.ModalUI, 1);
  EXPECT_EQ(ui.hParent, MessageWindow);
  EXPECT_EQ(manager.find("DISABLE")->data, manager.find("ENABLE")->data) << "the enable record is given back";
  EXPECT_EQ(manager.find("ENDXFER")->dataBytes, std::vector<std::uint8_t>(sizeof(TW_PENDINGXFERS), 0));
  EXPECT_EQ(manager.find("RESET")->data, manager.find("ENDXFER")->data);
  GlobalFree(image);
  DestroyWindow(MessageWindow);
}

TEST_F(AcquireTest, QuitMessageEndsTheWaitAndIsHandedBack) {
  MessageWindow = CreateWindowExA(0, "#32770", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  manager.answer("ENABLE", [](TW_MEMREF) {
    PostQuitMessage(3);
    return TWRC_SUCCESS;
  });
  manager.answer("XFER", TWRC_FAILURE);  // no image is ready
  HGLOBAL image = nullptr;
  EXPECT_EQ(TransferImage(false, image), 1);
  EXPECT_EQ(manager.transcript(), "ENABLE:0 XFER/1 ENDXFER DISABLE");
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program's loop must still end";
  EXPECT_EQ(message.wParam, 3u);
  DestroyWindow(MessageWindow);
}

int Colour300(const std::wstring& to) { return AcquireNoUI(300.0f, TWPT_RGB, 0, 0, 0, 0, to); }

TEST_F(AcquireTest, AcquisitionsInTheirOrder) {
  const std::string end = "ENABLE:0 XFER/6 ENDXFER DISABLE CLOSEDS CLOSEDSM";
  struct Case {
    const char* what;
    std::function<int(const std::wstring&)> run;
    Script script;
    int status;
    std::string transcript;
  };
  const Case cases[] = {
      {"whole walk", Colour300, [](FakeManager&) {}, 0,
       "OPENDSM OPENDS GET:1111 GET:1112 FRAME:0,0,8.5,11 SET:1118=7:0000012C SET:1119=7:0000012C "
       "SET:0101=4:00000002 SET:112B=4:00000018 SET:0001=1:00000001 " +
           end},
      {"one zero extent replaces both",
       [](const std::wstring& to) { return AcquireNoUI(100.0f, TWPT_GRAY, 1, 2, 5, 0, to); }, [](FakeManager&) {}, 0,
       "OPENDSM OPENDS GET:1111 GET:1112 FRAME:1,2,8.5,11 SET:1118=7:00000064 SET:1119=7:00000064 "
       "SET:0101=4:00000001 SET:0001=1:00000001 " +
           end},
      {"given frame, black and white",
       [](const std::wstring& to) { return AcquireNoUI(100.0f, TWPT_BW, 1, 2, 5, 6, to); }, [](FakeManager&) {}, 0,
       "OPENDSM OPENDS FRAME:1,2,5,6 SET:1118=7:00000064 SET:1119=7:00000064 SET:0101=4:00000000 "
       "SET:0001=1:00000001 " +
           end},
      {"with interface", AcquireWithUI, [](FakeManager&) {}, 0,
       "OPENDSM OPENDS ENABLE:1 XFER/6 ENDXFER DISABLE CLOSEDS CLOSEDSM"},
      {"interface closed", AcquireWithUI, EnableSends(CloseRequest), 1,
       "OPENDSM OPENDS ENABLE:1 DISABLE CLOSEDS CLOSEDSM"},
      {"write fails", [](const std::wstring& to) { return AcquireWithUI(to + L"\\missing\\scan.bmp"); },
       [](FakeManager&) {}, 1, "OPENDSM OPENDS ENABLE:1 XFER/6 ENDXFER DISABLE CLOSEDS CLOSEDSM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeManager fake;
    script(fake);
    c.script(fake);
    EXPECT_EQ(c.run(path), c.status);
    EXPECT_EQ(fake.transcript(), c.transcript);
    EXPECT_EQ(ReadFileBytes(path).size(), c.status == 0 ? 14u + 40u + 16u : 0u);
    DeleteFileW(path.c_str());
  }
}

// Each call of both walks refused in turn. Before the source is enabled the walk stops there (a
// refused bit depth aside) and the source and the manager are closed; once it is enabled, every
// closing step still follows, and a refused close is tried once more. Neither image memory, nor a file, nor the hidden
// window is left.
TEST_F(AcquireTest, EveryRefusedCallClosesEverythingAndLeavesNothing) {
  for (int (*run)(const std::wstring&) : {Colour300, AcquireWithUI}) {
    FakeManager good;
    script(good);
    run(path);
    DeleteFileW(path.c_str());
    std::vector<std::string> walk;
    for (const RecordedCall& call : good.calls)
      if (call.name != "EVENT") walk.push_back(call.entry.substr(0, call.entry.find('/')));
    std::string walked;
    bool enabled = false;
    for (size_t i = 0; i < walk.size(); ++i) {
      const std::string& entry = walk[i];
      const std::string name = entry.substr(0, entry.find(':'));
      SCOPED_TRACE(entry);
      FakeManager fake;
      script(fake);
      refused = entry;
      if (name != "GET" && name != "SET") fake.answer(name, TWRC_FAILURE);
      const bool bitDepth = entry.rfind("SET:112B", 0) == 0;
      std::string rest = name == "OPENDSM" ? "" : " CLOSEDS CLOSEDSM";
      if (bitDepth || enabled) {
        rest.clear();
        for (size_t later = i + 1; later < walk.size(); ++later) rest += " " + walk[later];
      }
      if (name == "CLOSEDS") rest = " CLOSEDS/1 CLOSEDSM";  // both are closed once more
      if (name == "CLOSEDSM") rest = " CLOSEDS CLOSEDSM/1";
      EXPECT_EQ(run(path), bitDepth ? 0 : 1);
      std::string transcript = fake.transcript();
      for (size_t at; (at = transcript.find("/6")) != std::string::npos;) transcript.erase(at, 2);  // XFERDONE
      EXPECT_EQ(transcript, walked + entry + "/1" + rest);
      EXPECT_FALSE(IsAllocated(delivered));
      EXPECT_FALSE(IsWindow(MessageWindow));
      EXPECT_EQ(PathExists(path), bitDepth);
      DeleteFileW(path.c_str());
      refused.clear();
      walked += entry + " ";
      enabled = enabled || name == "ENABLE";
    }
  }
}
