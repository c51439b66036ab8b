// The log's, the scan's and the image names' texts for any input: archive names that a file
// system accepts, whole log lines, command lines and paths built as specified, station parts of
// file-name characters only, and a name record read back only as it was written; and any bytes a
// source hands over as a capability container, read within them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "../../guard/CrashText.h"
#include "../../app/ScanText.h"
#include "../../common/VersionBlock.h"
#include "../../log/LogText.h"
#include "../../guard/CallSteps.h"
#include "../../twain/CapabilityContainer.h"
#include "../../namer/NameSequence.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The input as up to three texts of UTF-16 code units, split at zero units.
void Split(const std::uint8_t* data, std::size_t size, std::wstring (&texts)[3], std::int32_t& number) {
  number = 0;
  std::size_t at = 0;
  if (size >= 4) {
    number =
        static_cast<std::int32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24);
    at = 4;
  }
  int current = 0;
  for (; at + 1 < size && current < 3; at += 2) {
    const wchar_t unit = static_cast<wchar_t>(data[at] | data[at + 1] << 8);
    if (unit == 0)
      ++current;
    else
      texts[current] += unit;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring texts[3];
  std::int32_t number = 0;
  Split(data, size, texts, number);

  const std::wstring archive = ArchiveFileName(texts[0]);
  Require(archive.rfind(L"error", 0) == 0 && archive.size() >= 9 && archive.substr(archive.size() - 4) == L".log");
  for (wchar_t c : archive) Require(c >= 32 && std::wstring(L"<>:\"/\\|?*").find(c) == std::wstring::npos);

  const std::wstring line = LogLineText(texts[0], number, texts[1], texts[2]);
  Require(line.size() >= 2 && line.substr(line.size() - 2) == L"\r\n");
  Require(line.rfind(texts[0], 0) == 0);
  Require(line.find(LogNumberText(number)) != std::wstring::npos);

  const std::wstring commandLine = ExternalCommandLine(texts[0], texts[1], texts[2]);
  Require(commandLine.size() >= 5 && commandLine.substr(commandLine.size() - 4) == L".TIF");
  Require(commandLine.find(L" " + texts[1] + texts[2] + L".TIF") != std::wstring::npos);
  const bool quoted = commandLine.rfind(L"\"" + texts[0] + L"\" ", 0) == 0;
  Require(quoted == (texts[0].find(L' ') != std::wstring::npos && texts[0].rfind(L'"', 0) != 0));

  for (char c : StationPart(texts[0]))
    Require((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_');
  const std::string raw(reinterpret_cast<const char*>(data), size);
  if (const auto record = DecodeRecord(raw)) Require(EncodeRecord(*record) == raw);

  // A version block as a module may carry it, damaged in any way: nothing read outside it.
  std::size_t offset = 0, units = 0;
  if (FindVersionString(data, size, u"OriginalFilename", offset, units)) Require(offset + 2 * units <= size);

  // Any bytes as each container a source may answer with: a current item of a type read, or a
  // reason, and nothing read beyond the bytes (the sanitizers watch).
  for (const TW_UINT16 container : {TWON_ONEVALUE, TWON_ENUMERATION, TWON_RANGE, TWON_ARRAY}) {
    CurrentItem current;
    if (ReadCurrentItem(container, data, size, current) == ContainerReading::Read)
      Require(current.itemType == TWTY_INT16 || current.itemType == TWTY_UINT16 || current.itemType == TWTY_BOOL ||
              current.itemType == TWTY_FIX32);
  }

  // The crash and hang lines from any names, into a buffer too small for some of them.
  CrashFacts facts;
  facts.code = static_cast<std::uint32_t>(number);
  facts.accessKnown = size % 2 == 0;
  facts.accessKind = static_cast<std::uint32_t>(number) & 9;
  facts.accessAddress = static_cast<std::uint32_t>(number) * 7u;
  facts.module = texts[0].c_str();
  facts.moduleNote = texts[1].c_str();
  facts.source = size % 3 == 0 ? nullptr : texts[2].c_str();
  facts.step = static_cast<PressStep>(size % 6);
  facts.inPress = size % 5 != 0;
  FixedText<200> crash;
  AppendCrashDescription(crash, facts);
  AppendHangDescription(crash, texts[2].c_str(), texts[1].c_str(), static_cast<TW_UINT16>(number),
                        static_cast<TW_UINT16>(number >> 16), size, size % 2 == 0);
  Require(crash.size() < 200 && crash.c_str()[crash.size()] == L'\0');
  return 0;
}
