// One end of the private pipe between the program and a scan worker: fixed-size messages, each
// read or written with overlapped I/O, so that either side can wait on the channel together with
// the other process and its own window messages.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "../common/Handles.h"

class Channel {
 public:
  Channel() = default;
  explicit Channel(HANDLE pipe);
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;
  ~Channel();

  // Takes a pipe in place of the one it had.
  void reset(HANDLE pipe);
  HANDLE pipe() const { return pipe_.get(); }
  explicit operator bool() const { return static_cast<bool>(pipe_); }

  // Writes one message whole, waiting at most timeoutMs; false when it could not.
  bool send(const void* message, std::size_t size, DWORD timeoutMs);
  template <typename Message>
  bool send(const Message& message, DWORD timeoutMs = 10000) {
    return send(&message, sizeof message, timeoutMs);
  }

  // Starts reading the next message; readEvent() is signalled when it has come or the read failed.
  bool startRead();
  HANDLE readEvent() const { return readEvent_.get(); }
  // The message once readEvent() is signalled; false when the other end is gone or sent more than a
  // message holds.
  bool finishRead(std::vector<unsigned char>& message);
  // Reads one message, waiting at most timeoutMs and as long as watched (a process) lives.
  bool read(std::vector<unsigned char>& message, HANDLE watched, DWORD timeoutMs);

 private:
  void cancelPending();

  UniqueHandle pipe_;
  UniqueHandle readEvent_, writeEvent_;
  OVERLAPPED reading_ = {};
  bool readPending_ = false;
  unsigned char buffer_[8192] = {};  // the largest message, the job, fits
};
