#include "Channel.h"

Channel::Channel(HANDLE pipe)
    : pipe_(pipe),
      readEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      writeEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

Channel::~Channel() { cancelPending(); }

void Channel::reset(HANDLE pipe) {
  cancelPending();
  pipe_.reset(pipe);
  if (!readEvent_) readEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!writeEvent_) writeEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

// The buffer of a read in flight must outlive it: an owner that goes cancels it and waits.
void Channel::cancelPending() {
  if (!readPending_ || !pipe_) return;
  CancelIoEx(pipe_.get(), &reading_);
  DWORD ignored = 0;
  GetOverlappedResult(pipe_.get(), &reading_, &ignored, TRUE);
  readPending_ = false;
}

bool Channel::send(const void* message, std::size_t size, DWORD timeoutMs) {
  if (!pipe_ || !writeEvent_) return false;
  OVERLAPPED writing = {};
  writing.hEvent = writeEvent_.get();
  ResetEvent(writing.hEvent);
  DWORD written = 0;
  if (!WriteFile(pipe_.get(), message, static_cast<DWORD>(size), &written, &writing)) {
    if (GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(writing.hEvent, timeoutMs) != WAIT_OBJECT_0) {
      CancelIoEx(pipe_.get(), &writing);
      GetOverlappedResult(pipe_.get(), &writing, &written, TRUE);
      return false;
    }
    if (!GetOverlappedResult(pipe_.get(), &writing, &written, FALSE)) return false;
  }
  return written == size;
}

bool Channel::startRead() {
  if (!pipe_ || !readEvent_ || readPending_) return readPending_;
  reading_ = OVERLAPPED();
  reading_.hEvent = readEvent_.get();
  ResetEvent(reading_.hEvent);
  DWORD ignored = 0;
  // A read that completes at once still signals the event and is finished the same way.
  if (!ReadFile(pipe_.get(), buffer_, sizeof buffer_, &ignored, &reading_) && GetLastError() != ERROR_IO_PENDING)
    return false;  // the other end is gone
  readPending_ = true;
  return true;
}

bool Channel::finishRead(std::vector<unsigned char>& message) {
  if (!readPending_) return false;
  readPending_ = false;
  DWORD got = 0;
  if (!GetOverlappedResult(pipe_.get(), &reading_, &got, FALSE)) return false;  // ERROR_MORE_DATA: too long
  message.assign(buffer_, buffer_ + got);
  return true;
}

bool Channel::read(std::vector<unsigned char>& message, HANDLE watched, DWORD timeoutMs) {
  if (!startRead()) return false;
  HANDLE waits[] = {readEvent_.get(), watched};
  const DWORD woke = WaitForMultipleObjects(watched ? 2 : 1, waits, FALSE, timeoutMs);
  if (woke != WAIT_OBJECT_0) {
    cancelPending();
    return false;
  }
  return finishRead(message);
}
