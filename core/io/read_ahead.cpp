#include "core/io/internal/read_ahead.h"

#include <system_error>

#include "platform/error_numbers.h"
#include "platform/posix_file.h"

namespace tidemark {

ReadAhead::~ReadAhead() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !pending_; });
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

Error ReadAhead::Start() {
  if (thread_.joinable()) return err::kOk;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return err::kOutOfMemory;
  }
  return err::kOk;
}

void ReadAhead::Request(PosixFile* file, void* buffer, std::size_t n, std::uint64_t offset) {
  {
    std::lock_guard lock(mutex_);
    file_ = file;
    buffer_ = buffer;
    length_ = n;
    offset_ = offset;
    result_ = err::kOk;
    done_ = 0;
    pending_ = true;
  }
  in_flight_ = true;
  wake_.notify_all();
}

Error ReadAhead::Wait(std::size_t* done) {
  *done = 0;
  if (!in_flight_) return err::kOk;
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !pending_; });
  in_flight_ = false;
  *done = done_;
  return result_;
}

void ReadAhead::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || pending_; });
    if (pending_) {
      PosixFile* file = file_;
      void* buffer = buffer_;
      const std::size_t n = length_;
      const std::uint64_t offset = offset_;
      lock.unlock();
      std::size_t done = 0;
      const Error rc = file->ReadAt(buffer, n, offset, &done);
      lock.lock();
      result_ = rc;
      done_ = done;
      pending_ = false;
      wake_.notify_all();
      continue;
    }
    if (stop_) return;
  }
}

}  // namespace tidemark
