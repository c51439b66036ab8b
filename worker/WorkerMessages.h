// What the program and a scan worker say to each other over their channel: fixed-size records
// with a version, with no pointers in them, so that a 32-bit and a 64-bit process read them alike.
// Free of Win32.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::uint32_t WorkerProtocolVersion = 2;

enum class WorkerMessageKind : std::uint32_t { Hello = 1, Job = 2, Cancel = 3, Answer = 4, Source = 5, Choice = 6 };

// ListSources: the worker sends its manager's sources, one message each, then its answer, and
// waits with the manager open for the program's choice.
enum class WorkerTask : std::uint32_t { ScanWithoutDialog = 1, ScanWithDialog = 2, ChooseSource = 3, ListSources = 4 };

// What a listing worker does with its sources once the program has chosen.
enum class SourceChoiceAction : std::uint32_t { Nothing = 0, MakeDefault = 1, ManagersList = 2 };

constexpr std::size_t WorkerPathChars = 1024;
constexpr std::size_t WorkerFailureChars = 1024;
constexpr std::size_t WorkerNameChars = 34;  // a TWAIN name's 33 characters and a zero

#pragma pack(push, 4)
struct WorkerHeader {
  std::uint32_t version;
  WorkerMessageKind kind;
  std::uint32_t bytes;  // of the whole message
};

// The worker's first word: who it is.
struct WorkerHello {
  WorkerHeader header;
  std::uint32_t bitness;  // 32 or 64
  std::uint32_t processId;
};

// One press for the worker: how to scan, and the prepared file that takes the image.
struct WorkerJob {
  WorkerHeader header;
  WorkerTask task;
  std::int32_t pixelType;
  float resolution;
  float frame[4];                          // left, top, right, bottom
  std::uint64_t ownerWindow;               // the program's main window, owner of the worker's windows
  char16_t preparedFile[WorkerPathChars];  // where the worker writes the image
  char16_t imagePath[WorkerPathChars];     // where the program puts it, for the words of a failure
};

// The program asks a worker to end its press without an image, as the program is closing.
struct WorkerCancel {
  WorkerHeader header;
};

// How the press ended in the worker.
struct WorkerAnswer {
  WorkerHeader header;
  std::int32_t status;         // 0: success
  std::int32_t failureNumber;  // with a description: why no image was saved
  std::uint32_t imageWritten;  // 1: the file holds the image
  char16_t failure[WorkerFailureChars];
};
// One source in the manager's list of a listing worker.
struct WorkerSource {
  WorkerHeader header;
  std::uint32_t index;      // in the manager's order, from 1
  std::uint32_t isDefault;  // 1: the manager's default source
  char16_t productName[WorkerNameChars];
  char16_t manufacturer[WorkerNameChars];
  char16_t productFamily[WorkerNameChars];
};

// The program's choice for a listing worker: make the source at index the manager's default,
// show the manager's own list, or nothing.
struct WorkerChoice {
  WorkerHeader header;
  SourceChoiceAction action;
  std::uint32_t index;
};
#pragma pack(pop)

// A message of its kind with its header filled in and everything else zero.
template <typename Message>
Message NewWorkerMessage(WorkerMessageKind kind) {
  Message message{};
  message.header = {WorkerProtocolVersion, kind, static_cast<std::uint32_t>(sizeof(Message))};
  return message;
}

// Reads one message of the expected kind from bytes as they came: false unless the size, the
// version and the kind are all as expected.
template <typename Message>
bool ReadWorkerMessage(const void* bytes, std::size_t size, WorkerMessageKind kind, Message& message) {
  if (size != sizeof(Message)) return false;
  const auto* source = static_cast<const unsigned char*>(bytes);
  auto* target = reinterpret_cast<unsigned char*>(&message);
  for (std::size_t i = 0; i < size; ++i) target[i] = source[i];
  return message.header.version == WorkerProtocolVersion && message.header.kind == kind &&
         message.header.bytes == sizeof(Message);
}

// Why a hello is refused, in words for the error log; empty when it is the worker expected.
std::wstring HelloRefusal(const WorkerHello& hello, std::uint32_t bitness, std::uint32_t processId);
// Why the first message is no hello at all.
std::wstring NoHelloText(const void* bytes, std::size_t size);

// Text into a fixed field, always ended by a zero; false when it does not fit (nothing is cut).
template <std::size_t Size>
bool SetWorkerText(char16_t (&field)[Size], const std::wstring& text) {
  if (text.size() >= Size) return false;
  std::size_t i = 0;
  for (; i < text.size(); ++i) field[i] = static_cast<char16_t>(text[i]);
  for (; i < Size; ++i) field[i] = 0;
  return true;
}

// The text of a fixed field up to its first zero, or the whole field when it has none.
template <std::size_t Size>
std::wstring WorkerText(const char16_t (&field)[Size]) {
  std::wstring text;
  for (std::size_t i = 0; i < Size && field[i] != 0; ++i) text += static_cast<wchar_t>(field[i]);
  return text;
}
