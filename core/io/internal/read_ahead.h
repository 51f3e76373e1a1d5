// One background transfer at a time for a sequential file: a helper thread
// that runs a positioned read (the read-ahead reader's next block) or write
// (the write-behind writer's last full window) while the caller works on
// the other buffer.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/error.h"

namespace tidemark {

class PosixFile;

class BackgroundTransfer {
 public:
  BackgroundTransfer() = default;
  BackgroundTransfer(const BackgroundTransfer&) = delete;
  BackgroundTransfer& operator=(const BackgroundTransfer&) = delete;
  ~BackgroundTransfer();  // waits for a transfer in flight, then stops the thread

  // Starts the helper thread (a worker thread: below-normal priority, the
  // thread-start fault seam). 39 when it cannot be created.
  [[nodiscard]] Error Start();
  bool started() const { return thread_.joinable(); }

  // Starts reading `n` bytes at `offset` of `file` into `buffer`, or writing
  // them from it. Nothing may be in flight; the caller leaves file and
  // buffer alone until Wait().
  void Request(PosixFile* file, void* buffer, std::size_t n, std::uint64_t offset);
  void RequestWrite(PosixFile* file, const void* buffer, std::size_t n, std::uint64_t offset);
  // Waits for the transfer in flight and gives its result (error number and
  // the bytes moved). Without one, returns 0 and 0 bytes.
  [[nodiscard]] Error Wait(std::size_t* done);

  bool in_flight() const { return in_flight_; }
  std::uint64_t offset() const { return offset_; }

 private:
  void Post(PosixFile* file, void* buffer, std::size_t n, std::uint64_t offset, bool write);
  void Run();

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool pending_ = false;    // a request waits for the thread or runs (guarded)
  bool in_flight_ = false;  // caller's view: Request() without Wait()
  bool write_ = false;
  PosixFile* file_ = nullptr;
  void* buffer_ = nullptr;
  std::size_t length_ = 0;
  std::uint64_t offset_ = 0;
  Error result_;
  std::size_t done_ = 0;
};

}  // namespace tidemark
