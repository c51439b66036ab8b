// The image names a station hands out, and the little record that keeps its running number.
// Free of Win32.
//
// A name is "<date>-<station>-<sequence>-<number>", e.g. "20261207-SCAN07-K3F9QX-0001":
//  - date: yyyymmdd of the day the name was issued (the station's local clock);
//  - station: the computer name in capitals, letters, digits and "-" only;
//  - sequence: six random characters, drawn when the station's record is started afresh (first
//    use, a lost or damaged record, the clock set back to an earlier day);
//  - number: the running number of the day within that sequence, at least four digits.
// Within one sequence the date never goes back and the number of a day only goes up, so a
// sequence never repeats a name; a new sequence differs in its random part from every earlier
// one. When the record cannot be kept, names fall back to "<date>-<station>-<hhmmssmmm>-<random>",
// the time to the millisecond and eight random characters: a form no sequence name can take.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct SequenceRecord {
  std::string sequence;   // six characters of the name alphabet
  std::uint32_t day = 0;  // yyyymmdd
  std::uint32_t number = 0;

  bool operator==(const SequenceRecord& other) const {
    return sequence == other.sequence && day == other.day && number == other.number;
  }
};

struct ClockReading {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// yyyymmdd as one number.
std::uint32_t DayNumber(const ClockReading& now);

// The computer name as it appears in names: ASCII letters in capitals, digits and "-" stay;
// every other character becomes "_" and its four hex digits, so that different computer names
// never give the same part. An empty name gives "STATION".
std::string StationPart(const std::wstring& computerName);

// count characters of the name alphabet (digits and capitals without I, L, O, U) from random bits.
std::string RandomPart(std::uint64_t randomBits, int count);
constexpr int SequenceLength = 6;
constexpr int FallbackRandomLength = 8;

// The record after one more name is issued. stored is empty when the record is missing or
// damaged; freshSequence is used when a new sequence has to start.
SequenceRecord NextRecord(const std::optional<SequenceRecord>& stored, std::uint32_t today,
                          const std::string& freshSequence);

std::wstring SequenceName(const SequenceRecord& record, const std::string& station);
std::wstring FallbackName(const ClockReading& now, const std::string& station, const std::string& random);

// The record as stored, with a check value; Decode refuses anything that Encode did not write.
std::string EncodeRecord(const SequenceRecord& record);
std::optional<SequenceRecord> DecodeRecord(const std::string& stored);

// The name of the machine-wide lock that guards the record in this folder.
std::wstring SequenceLockName(const std::wstring& storeFolder);
