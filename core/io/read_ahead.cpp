#include "core/io/internal/read_ahead.h"

#include "platform/error_numbers.h"
#include "platform/posix_file.h"
#include "platform/worker_thread.h"

namespace tidemark {

BackgroundTransfer::~BackgroundTransfer() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !pending_; });
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

Error BackgroundTransfer::Start() {
  if (thread_.joinable()) return err::kOk;
  return StartWorkerThread([this] { Run(); }, &thread_);
}

void BackgroundTransfer::Post(PosixFile* file, void* buffer, std::size_t n, std::uint64_t offset, bool write) {
  {
    std::lock_guard lock(mutex_);
    file_ = file;
    buffer_ = buffer;
    length_ = n;
    offset_ = offset;
    write_ = write;
    result_ = err::kOk;
    done_ = 0;
    pending_ = true;
  }
  in_flight_ = true;
  wake_.notify_all();
}

void BackgroundTransfer::Request(PosixFile* file, void* buffer, std::size_t n, std::uint64_t offset) {
  Post(file, buffer, n, offset, false);
}

void BackgroundTransfer::RequestWrite(PosixFile* file, const void* buffer, std::size_t n, std::uint64_t offset) {
  // The helper only reads from a write's buffer.
  Post(file, const_cast<void*>(buffer), n, offset, true);
}

Error BackgroundTransfer::Wait(std::size_t* done) {
  *done = 0;
  if (!in_flight_) return err::kOk;
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return !pending_; });
  in_flight_ = false;
  *done = done_;
  return result_;
}

void BackgroundTransfer::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || pending_; });
    if (pending_) {
      PosixFile* file = file_;
      void* buffer = buffer_;
      const std::size_t n = length_;
      const std::uint64_t offset = offset_;
      const bool write = write_;
      lock.unlock();
      std::size_t done = 0;
      const Error rc = write ? file->WriteAt(buffer, n, offset, &done) : file->ReadAt(buffer, n, offset, &done);
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
