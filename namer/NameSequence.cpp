#include "NameSequence.h"

#include <cstdio>
#include <limits>

namespace {

constexpr char Alphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr char RecordHeading[] = "Zembrolite name sequence 1\r\n";

std::string Digits(std::uint64_t value, int atLeast) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < atLeast) digits.insert(0, atLeast - digits.size(), '0');
  return digits;
}

std::uint32_t Fnv1a(const std::string& bytes) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
  return hash;
}

std::string Hex(std::uint32_t value, int digits) {
  char text[9];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

bool IsSequence(const std::string& text) {
  if (text.size() != SequenceLength) return false;
  for (char c : text)
    if (c == '\0' || std::string(Alphabet).find(c) == std::string::npos) return false;
  return true;
}

bool IsDay(std::uint32_t day) {
  const std::uint32_t year = day / 10000, month = day / 100 % 100, date = day % 100;
  return year >= 1601 && year <= 9999 && month >= 1 && month <= 12 && date >= 1 && date <= 31;
}

// The decimal number at the start of text up to the line end, if that is all the line holds.
std::optional<std::uint32_t> LineNumber(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// The value of "key=value\r\n" at position at, moving at past the line.
std::optional<std::string> LineValue(const std::string& stored, std::size_t& at, const std::string& key) {
  if (stored.compare(at, key.size() + 1, key + "=") != 0) return std::nullopt;
  const std::size_t end = stored.find("\r\n", at);
  if (end == std::string::npos) return std::nullopt;
  std::string value = stored.substr(at + key.size() + 1, end - at - key.size() - 1);
  at = end + 2;
  return value;
}

// A fresh sequence that by chance drew the old one's characters is moved to the next ones.
std::string DifferentFrom(std::string fresh, const std::string& old) {
  if (fresh != old || fresh.empty()) return fresh;
  const std::string alphabet(Alphabet);
  char& last = fresh.back();
  last = alphabet[(alphabet.find(last) + 1) % alphabet.size()];
  return fresh;
}

}  // namespace

std::uint32_t DayNumber(const ClockReading& now) {
  return static_cast<std::uint32_t>(now.year) * 10000u + static_cast<std::uint32_t>(now.month) * 100u +
         static_cast<std::uint32_t>(now.day);
}

std::string StationPart(const std::wstring& computerName) {
  if (computerName.empty()) return "STATION";
  std::string part;
  for (wchar_t c : computerName) {
    if (c >= L'a' && c <= L'z')
      part += static_cast<char>(c - L'a' + 'A');
    else if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-')
      part += static_cast<char>(c);
    else
      part += "_" + Hex(static_cast<std::uint16_t>(c), 4);
  }
  return part;
}

std::string RandomPart(std::uint64_t randomBits, int count) {
  std::string part;
  for (int i = 0; i < count; ++i, randomBits >>= 5) part += Alphabet[randomBits & 31];
  return part;
}

SequenceRecord NextRecord(const std::optional<SequenceRecord>& stored, std::uint32_t today,
                          const std::string& freshSequence) {
  if (!stored) return {freshSequence, today, 1};
  const std::string fresh = DifferentFrom(freshSequence, stored->sequence);
  // An earlier day means the clock went back: that day's names of this sequence may exist.
  if (today < stored->day) return {fresh, today, 1};
  if (today > stored->day) return {stored->sequence, today, 1};
  if (stored->number == std::numeric_limits<std::uint32_t>::max()) return {fresh, today, 1};
  return {stored->sequence, today, stored->number + 1};
}

std::wstring SequenceName(const SequenceRecord& record, const std::string& station) {
  const std::string name =
      Digits(record.day, 8) + "-" + station + "-" + record.sequence + "-" + Digits(record.number, 4);
  return std::wstring(name.begin(), name.end());
}

std::wstring FallbackName(const ClockReading& now, const std::string& station, const std::string& random) {
  const auto two = [](int value) { return Digits(static_cast<std::uint64_t>(value), 2); };
  const std::string time =
      two(now.hour) + two(now.minute) + two(now.second) + Digits(static_cast<std::uint64_t>(now.millisecond), 3);
  const std::string name = Digits(DayNumber(now), 8) + "-" + station + "-" + time + "-" + random;
  return std::wstring(name.begin(), name.end());
}

std::string EncodeRecord(const SequenceRecord& record) {
  const std::string body = RecordHeading + ("Sequence=" + record.sequence + "\r\n") +
                           ("Day=" + std::to_string(record.day) + "\r\n") +
                           ("Number=" + std::to_string(record.number) + "\r\n");
  return body + "Check=" + Hex(Fnv1a(body), 8) + "\r\n";
}

std::optional<SequenceRecord> DecodeRecord(const std::string& stored) {
  const std::string heading(RecordHeading);
  if (stored.compare(0, heading.size(), heading) != 0) return std::nullopt;
  std::size_t at = heading.size();
  const auto sequence = LineValue(stored, at, "Sequence");
  const auto day = LineValue(stored, at, "Day");
  const auto number = LineValue(stored, at, "Number");
  if (!sequence || !day || !number) return std::nullopt;
  const auto dayValue = LineNumber(*day), numberValue = LineNumber(*number);
  if (!IsSequence(*sequence) || !dayValue || !IsDay(*dayValue) || !numberValue || *numberValue == 0)
    return std::nullopt;
  SequenceRecord record{*sequence, *dayValue, *numberValue};
  // Leading zeros, a wrong check value or anything after it: not a record this code wrote.
  if (EncodeRecord(record) != stored) return std::nullopt;
  return record;
}

std::wstring SequenceLockName(const std::wstring& storeFolder) {
  std::string folded;
  for (wchar_t c : storeFolder) {
    const wchar_t lower = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    folded += static_cast<char>(lower & 0xFF);
    folded += static_cast<char>(lower >> 8);
  }
  const std::string hash = Hex(Fnv1a(folded), 8);
  return L"Global\\Zembrolite.NameSequence." + std::wstring(hash.begin(), hash.end());
}
