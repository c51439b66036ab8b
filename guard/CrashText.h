// The words of the lines that the last-chance handler and the watchdog write, and when Windows
// may restart the program after a crash. Free of Win32; composed into any text type with
// append(const wchar_t*, size_t), append(size_t, wchar_t) and size() (see log/LogText.h), so
// that the handler allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CallSteps.h"

// Exception codes that the words name.
constexpr std::uint32_t AccessViolationCode = 0xC0000005;
constexpr std::uint32_t StackOverflowCode = 0xC00000FD;
constexpr std::uint32_t VisualCppExceptionCode = 0xE06D7363;  // a throw of Visual C++ code
constexpr std::uint32_t GccExceptionCode = 0x20474343;        // a throw of GCC code ("GCC")

// The command line that marks a run as Windows' restart after a crash.
constexpr wchar_t RestartArgument[] = L"/restarted";
// A second crash within this time of the one before ends the restarts.
constexpr std::uint64_t RestartPauseSeconds = 10 * 60;

// Whether Windows may restart the program after a crash at now, given the crash before it (both
// in seconds on one clock; 0: none known). A clock set back counts as a long pause.
bool RestartsAfterCrash(std::uint64_t previousCrash, std::uint64_t now);

// True when both texts are the same up to case (ASCII letters).
bool SameText(const wchar_t* a, const wchar_t* b);

struct CrashFacts {
  std::uint32_t code = 0;
  bool accessKnown = false;      // for an access violation: how and where
  std::uint32_t accessKind = 0;  // 0 read, 1 write, 8 execute
  std::uint64_t accessAddress = 0;
  // Where it happened: the module's file name, its offset there, and a note of what its version
  // block says (" (VirtualScanner.ds 1.0.0)", or ""); null when no module holds the address.
  const wchar_t* module = nullptr;
  std::uint64_t moduleOffset = 0;
  const wchar_t* moduleNote = L"";
  // The source's module while a call into it is in progress, with its note; null otherwise.
  const wchar_t* source = nullptr;
  const wchar_t* sourceNote = L"";
  PressStep step = PressStep::None;
  bool inPress = false;
  bool inWorker = false;  // the scan's worker crashed: it ends, the program goes on
  bool restarts = true;
};

namespace crashtext {

template <typename Text>
void Append(Text& text, const wchar_t* part) {
  std::size_t length = 0;
  while (part && part[length]) ++length;
  text.append(part, length);
}

template <typename Text>
void AppendHex(Text& text, std::uint64_t value, int atLeast) {
  wchar_t digits[16];
  int count = 0;
  do {
    digits[15 - count++] = L"0123456789ABCDEF"[value & 15];
    value >>= 4;
  } while (value != 0 || count < atLeast);
  text.append(L"0x", 2);
  text.append(digits + 16 - count, static_cast<std::size_t>(count));
}

template <typename Text>
void AppendDecimal(Text& text, std::uint64_t value) {
  wchar_t digits[20];
  int count = 0;
  do {
    digits[19 - count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  text.append(digits + 20 - count, static_cast<std::size_t>(count));
}

template <typename Text>
void AppendExceptionWords(Text& text, const CrashFacts& facts) {
  switch (facts.code) {
    case AccessViolationCode:
      Append(text, L"Access violation");
      if (facts.accessKnown) {
        Append(text, facts.accessKind == 1 ? L" writing" : facts.accessKind == 8 ? L" executing" : L" reading");
        Append(text, L" address ");
        AppendHex(text, facts.accessAddress, 8);
      }
      return;
    case StackOverflowCode:
      return Append(text, L"Stack overflow");
    case VisualCppExceptionCode:
    case GccExceptionCode:
      return Append(text, L"C++ exception not caught");
    default:
      Append(text, L"Exception ");
      return AppendHex(text, facts.code, 8);
  }
}

}  // namespace crashtext

// "Access violation writing address 0x00000000 in sane.ds+0x1A2B (VirtualScanner.ds 1.0.0),
// at enable; Windows is asked to restart the program"
template <typename Text>
void AppendCrashDescription(Text& text, const CrashFacts& facts) {
  using namespace crashtext;
  AppendExceptionWords(text, facts);
  if (facts.module) {
    Append(text, L" in ");
    Append(text, facts.module);
    text.append(1, L'+');
    AppendHex(text, facts.moduleOffset, 1);
    Append(text, facts.moduleNote);
  }
  if (facts.source && (!facts.module || !SameText(facts.source, facts.module))) {
    Append(text, L" while in the source ");
    Append(text, facts.source);
    Append(text, facts.sourceNote);
  }
  if (facts.inPress && facts.step != PressStep::None) {
    Append(text, L", at ");
    Append(text, StepName(facts.step));
  }
  Append(text, facts.inWorker   ? L"; the scan's worker ended, the program goes on"
               : facts.restarts ? L"; Windows is asked to restart the program"
                                : L"; no restart: the second crash within ten minutes");
}

// "The source sane.ds (VirtualScanner.ds 1.0.0) has not returned from DAT_IDENTITY MSG_OPENDS
// (open) for 60 s" or "... returned from ... after 73 s".
template <typename Text>
void AppendHangDescription(Text& text, const wchar_t* source, const wchar_t* sourceNote, TW_UINT16 dataType,
                           TW_UINT16 message, std::uint64_t seconds, bool returned) {
  using namespace crashtext;
  Append(text, L"The source ");
  Append(text, source && *source ? source : L"(not yet known)");
  Append(text, sourceNote);
  Append(text, returned ? L" returned from " : L" has not returned from ");
  const wchar_t* type = DataTypeName(dataType);
  const wchar_t* name = MessageName(message);
  if (type)
    Append(text, type);
  else
    AppendHex(text, dataType, 4);
  text.append(1, L' ');
  if (name)
    Append(text, name);
  else
    AppendHex(text, message, 4);
  const wchar_t* step = StepName(StepOfCall(dataType, message));
  if (*step) {
    Append(text, L" (");
    Append(text, step);
    text.append(1, L')');
  }
  Append(text, returned ? L" after " : L" for ");
  AppendDecimal(text, seconds);
  Append(text, L" s");
}
