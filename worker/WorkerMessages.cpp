#include "WorkerMessages.h"

// Each record has the same size in a 32-bit and a 64-bit process.
static_assert(sizeof(WorkerHeader) == 12, "header");
static_assert(sizeof(WorkerHello) == 20, "hello");
static_assert(sizeof(WorkerJob) == 12 + 4 * 7 + 8 + 2 * 2 * WorkerPathChars, "job");
static_assert(sizeof(WorkerCancel) == 12, "cancel");
static_assert(sizeof(WorkerAnswer) == 12 + 12 + 2 * WorkerFailureChars, "answer");
static_assert(sizeof(WorkerSource) == 12 + 8 + 3 * 2 * WorkerNameChars, "source");
static_assert(sizeof(WorkerChoice) == 12 + 8, "choice");

std::wstring HelloRefusal(const WorkerHello& hello, std::uint32_t bitness, std::uint32_t processId) {
  if (hello.bitness != bitness)
    return L"The scan's worker says it is " + std::to_wstring(hello.bitness) + L"-bit; a " + std::to_wstring(bitness) +
           L"-bit one was started.";
  if (hello.processId != processId)
    return L"The scan's worker says it is process " + std::to_wstring(hello.processId) + L"; process " +
           std::to_wstring(processId) + L" was started.";
  return L"";
}

std::wstring NoHelloText(const void* bytes, std::size_t size) {
  WorkerHeader header{};
  if (size >= sizeof header) {
    const auto* source = static_cast<const unsigned char*>(bytes);
    auto* target = reinterpret_cast<unsigned char*>(&header);
    for (std::size_t i = 0; i < sizeof header; ++i) target[i] = source[i];
    if (header.version != WorkerProtocolVersion)
      return L"The scan's worker speaks version " + std::to_wstring(header.version) +
             L" of the channel; the program speaks version " + std::to_wstring(WorkerProtocolVersion) + L".";
  }
  return L"The scan's worker's first message (" + std::to_wstring(size) + L" bytes) is not its hello.";
}
