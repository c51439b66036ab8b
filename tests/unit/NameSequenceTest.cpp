#include "../../namer/NameSequence.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::uint32_t Day = 20261207;
const SequenceRecord Stored{"K3F9QX", Day, 41};

struct RecordCase {
  const char* what;
  std::optional<SequenceRecord> stored;
  std::uint32_t today;
  SequenceRecord next;
};

const RecordCase RecordCases[] = {
    {"first use, or a lost record", std::nullopt, Day, {"NEW000", Day, 1}},
    {"same day: the number goes on", Stored, Day, {"K3F9QX", Day, 42}},
    {"next day: the number starts again", Stored, Day + 1, {"K3F9QX", Day + 1, 1}},
    {"clock back to an earlier day: a new sequence", Stored, Day - 1, {"NEW000", Day - 1, 1}},
    {"number used up: a new sequence",
     SequenceRecord{"K3F9QX", Day, std::numeric_limits<std::uint32_t>::max()},
     Day,
     {"NEW000", Day, 1}},
    {"a new sequence that drew the old one's characters",
     SequenceRecord{"NEW000", Day, 5},
     Day - 1,
     {"NEW001", Day - 1, 1}},
};

TEST(NameSequence, NextRecord) {
  for (const RecordCase& row : RecordCases) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(NextRecord(row.stored, row.today, "NEW000"), row.next);
  }
}

TEST(NameSequence, NameForms) {
  EXPECT_EQ(SequenceName({"K3F9QX", Day, 1}, "SCAN07"), L"20261207-SCAN07-K3F9QX-0001");
  EXPECT_EQ(SequenceName({"K3F9QX", Day, 12345}, "SCAN07"), L"20261207-SCAN07-K3F9QX-12345");
  EXPECT_EQ(FallbackName({2026, 12, 7, 9, 5, 3, 7}, "SCAN07", "ABCDEFGH"), L"20261207-SCAN07-090503007-ABCDEFGH");
  EXPECT_EQ(RandomPart(0, SequenceLength), "000000");
  EXPECT_EQ(RandomPart(~0ull, FallbackRandomLength), "ZZZZZZZZ");
}

TEST(NameSequence, StationPartKeepsComputerNamesApart) {
  const struct {
    const wchar_t* computer;
    const char* part;
  } rows[] = {
      {L"SCAN07", "SCAN07"},   {L"scan07", "SCAN07"},  // Windows compares computer names without case
      {L"SCAN-07", "SCAN-07"}, {L"SCAN.07", "SCAN_002E07"}, {L"SCAN_07", "SCAN_005F07"}, {L"\u00C4RZTE", "_00C4RZTE"},
      {L"", "STATION"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.part);
    EXPECT_EQ(StationPart(row.computer), row.part);
  }
}

// A record cut short, changed or with bytes after it is the fuzzer's (read back only as written);
// these are records written whole that no sound sequence could have written.
TEST(NameSequence, RecordReadsBackOnlyAsWritten) {
  EXPECT_EQ(DecodeRecord(EncodeRecord(Stored)), Stored);
  const struct {
    const char* what;
    std::string stored;
  } refused[] = {
      {"missing", ""},
      {"no such day", EncodeRecord({"K3F9QX", 20261332, 1})},
      {"a letter outside the alphabet", EncodeRecord({"K3F9QI", Day, 1})},
      {"number 0", EncodeRecord({"K3F9QX", Day, 0})},
  };
  for (const auto& row : refused) {
    SCOPED_TRACE(row.what);
    EXPECT_FALSE(DecodeRecord(row.stored));
  }
}

}  // namespace
