// The messages between the program and a scan worker: only a whole message of the kind, size and
// version expected is read, and a hello from any other worker is refused with words that say why.
#include "../../worker/WorkerMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(WorkerMessages, OnlyAWholeMessageOfTheKindAndVersionExpectedIsRead) {
  WorkerHello hello = NewWorkerMessage<WorkerHello>(WorkerMessageKind::Hello);
  hello.bitness = 32;
  hello.processId = 4242;
  std::vector<unsigned char> bytes(sizeof hello);
  std::memcpy(bytes.data(), &hello, sizeof hello);
  const struct {
    const char* change;
    size_t at;  // byte changed, or the size cut to
    bool read;
  } cases[] = {
      {"as sent", 0, true},       {"another version", 0, false},          {"another kind", 4, false},
      {"another size", 8, false}, {"cut short", sizeof hello - 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change);
    std::vector<unsigned char> sent = bytes;
    if (std::strcmp(c.change, "cut short") == 0)
      sent.resize(c.at);
    else if (std::strcmp(c.change, "as sent") != 0)
      sent[c.at] ^= 0x40;
    WorkerHello read{};
    EXPECT_EQ(ReadWorkerMessage(sent.data(), sent.size(), WorkerMessageKind::Hello, read), c.read);
    if (c.read) EXPECT_EQ(read.processId, 4242u);
  }
  WorkerAnswer answer{};
  EXPECT_FALSE(ReadWorkerMessage(bytes.data(), bytes.size(), WorkerMessageKind::Answer, answer))
      << "a hello is no answer";

  EXPECT_EQ(HelloRefusal(hello, 32, 4242), L"");
  EXPECT_EQ(HelloRefusal(hello, 64, 4242), L"The scan's worker says it is 32-bit; a 64-bit one was started.");
  EXPECT_EQ(HelloRefusal(hello, 32, 7), L"The scan's worker says it is process 4242; process 7 was started.");
  hello.header.version = 9;
  std::memcpy(bytes.data(), &hello, sizeof hello);
  EXPECT_EQ(NoHelloText(bytes.data(), bytes.size()),
            L"The scan's worker speaks version 9 of the channel; the program speaks version 2.");
}

TEST(WorkerMessages, TextsFitTheirFieldsWholeOrNotAtAll) {
  char16_t field[4];
  EXPECT_TRUE(SetWorkerText(field, L"abc"));
  EXPECT_EQ(WorkerText(field), L"abc");
  EXPECT_FALSE(SetWorkerText(field, L"abcd")) << "no room for the ending zero";
  for (char16_t& unit : field) unit = u'x';
  EXPECT_EQ(WorkerText(field), L"xxxx") << "a field without a zero ends with the field";
}
