// One background read at a time for a sequential reader: a helper thread
// that runs a positioned read into a buffer while the caller works on the
// previous block.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/error.h"

namespace tidemark {

class PosixFile;

class ReadAhead {
 public:
  ReadAhead() = default;
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;
  ~ReadAhead();  // waits for a read in flight, then stops the thread

  // Starts the helper thread. err::kOutOfMemory when it cannot be created.
  [[nodiscard]] Error Start();

  // Starts reading `n` bytes at `offset` of `file` into `buffer`. Nothing may
  // be in flight; the caller leaves file and buffer alone until Wait().
  void Request(PosixFile* file, void* buffer, std::size_t n, std::uint64_t offset);
  // Waits for the read in flight and gives its result (error number and the
  // bytes read). Without one, returns 0 and 0 bytes.
  [[nodiscard]] Error Wait(std::size_t* done);

  bool in_flight() const { return in_flight_; }
  std::uint64_t offset() const { return offset_; }

 private:
  void Run();

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool pending_ = false;    // a request waits for the thread or runs (guarded)
  bool in_flight_ = false;  // caller's view: Request() without Wait()
  PosixFile* file_ = nullptr;
  void* buffer_ = nullptr;
  std::size_t length_ = 0;
  std::uint64_t offset_ = 0;
  Error result_;
  std::size_t done_ = 0;
};

}  // namespace tidemark
