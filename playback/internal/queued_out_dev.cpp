#include "playback/internal/queued_out_dev.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "config/error_codes.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::playback::internal {

std::chrono::steady_clock::duration FramesToTime(std::uint64_t frames, std::uint32_t rate) {
  const std::uint64_t ns = frames / rate * 1'000'000'000ull + frames % rate * 1'000'000'000ull / rate;
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::nanoseconds(ns));
}

std::uint32_t PacedBatch(const OutFormat& format, const OutBuffers& buffers) {
  return std::clamp(format.rate / 2 / buffers.frames, 1u, std::max(buffers.count / 2, 1u));
}

QueuedOutDev::QueuedOutDev(const OutFormat& format, const OutBuffers& buffers, bool paced)
    : format_(format),
      frame_bytes_(OutSampleBytes(format.code) * format.channels),
      count_(buffers.count),
      frames_(buffers.frames),
      paced_(paced),
      batch_(paced ? PacedBatch(format, buffers) : 1) {}

QueuedOutDev::~QueuedOutDev() {
  StopThread();
  if (event_fd_ >= 0) ::close(event_fd_);
}

Error QueuedOutDev::StartThread() {
  const std::size_t bytes = static_cast<std::size_t>(count_) * frames_ * frame_bytes_;
  if (const Error rc = TryAlloc([&] {
        memory_.assign(bytes, 0);
        filled_.assign(count_, 0);
      }))
    return rc;
  event_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE);
  if (event_fd_ < 0) return err::kWaveOutOpenFailed;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return err::kWaveOutOpenFailed;
  }
  return {};
}

void QueuedOutDev::StopThread() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void QueuedOutDev::Signal(std::uint32_t buffers) {
  const std::uint64_t count = buffers;
  [[maybe_unused]] const ssize_t n = ::write(event_fd_, &count, sizeof count);
}

void QueuedOutDev::WaitIdle(std::unique_lock<std::mutex>& lock) {
  wake_.wait(lock, [&] { return !busy_; });
}

void QueuedOutDev::ApplyVolume(const std::uint8_t* in, std::uint32_t frames) {
  const std::size_t samples = static_cast<std::size_t>(frames) * format_.channels;
  scaled_.resize(samples * OutSampleBytes(format_.code));
  const float v = volume_;
  std::uint8_t* out = scaled_.data();
  for (std::size_t i = 0; i < samples; ++i) {
    if (format_.code == sample_code::kS16) {
      std::int16_t s;
      std::memcpy(&s, in + 2 * i, 2);
      const auto r = static_cast<std::int16_t>(static_cast<float>(s) * v);
      std::memcpy(out + 2 * i, &r, 2);
    } else if (format_.code == sample_code::kS24) {
      const std::uint8_t* p = in + 3 * i;
      const std::int32_t s = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                       static_cast<std::uint32_t>(p[1]) << 16 |
                                                       static_cast<std::uint32_t>(p[2]) << 24) >> 8;
      const auto r = static_cast<std::int32_t>(static_cast<float>(s) * v);
      out[3 * i] = static_cast<std::uint8_t>(r);
      out[3 * i + 1] = static_cast<std::uint8_t>(r >> 8);
      out[3 * i + 2] = static_cast<std::uint8_t>(r >> 16);
    } else {
      float s;
      std::memcpy(&s, in + 4 * i, 4);
      s *= v;
      std::memcpy(out + 4 * i, &s, 4);
    }
  }
}

void QueuedOutDev::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    idle_ = true;
    wake_.wait(lock, [&] { return quit_ || (started_ && !paused_ && delivered_ < queued_ && !failed_); });
    idle_ = false;
    if (quit_) return;
    const std::uint64_t epoch = epoch_;
    const std::uint32_t index = (head_ + delivered_) % count_;
    const std::uint32_t frames = filled_[index];
    const std::uint8_t* data = memory_.data() + static_cast<std::size_t>(index) * frames_ * frame_bytes_;
    const bool scale = volume_ != 1.0f;
    busy_ = true;
    lock.unlock();
    std::string text;
    Error rc;
    if (scale) {
      if (!(rc = TryAlloc([&] { ApplyVolume(data, frames); })))
        rc = Deliver(scaled_.data(), frames, &text);
    } else {
      rc = Deliver(data, frames, &text);
    }
    lock.lock();
    busy_ = false;
    wake_.notify_all();
    if (epoch != epoch_) continue;
    if (rc) {
      failed_ = rc;
      failed_text_ = text;
      Signal(1);
      continue;
    }
    ++delivered_;
    delivered_frames_ += frames;
    // A batch is freed when full or when nothing more is queued.
    if (delivered_ < batch_ && delivered_ < queued_) continue;
    // A paced device frees the batch once its last frame would have played.
    while (paced_) {
      const auto target = origin_ + FramesToTime(played_ + delivered_frames_, format_.rate);
      if (!wake_.wait_until(lock, target, [&] { return quit_ || epoch != epoch_ || paused_; })) break;
      if (quit_ || epoch != epoch_) break;
      wake_.wait(lock, [&] { return quit_ || epoch != epoch_ || !paused_; });
    }
    if (quit_) return;
    if (epoch != epoch_) continue;
    played_ += delivered_frames_;
    head_ = (head_ + delivered_) % count_;
    queued_ -= delivered_;
    const std::uint32_t freed = delivered_;
    delivered_ = 0;
    delivered_frames_ = 0;
    // Signalled unlocked, since the engine wakes to take the lock at once;
    // busy, so that a reset drains the signal only after it was given.
    busy_ = true;
    lock.unlock();
    Signal(freed);
    lock.lock();
    busy_ = false;
    wake_.notify_all();
  }
}

Error QueuedOutDev::Start() {
  std::lock_guard lock(mutex_);
  if (failed_) return failed_;
  started_ = true;
  origin_ = std::chrono::steady_clock::now() - FramesToTime(played_, format_.rate);
  wake_.notify_all();
  return {};
}

Error QueuedOutDev::Reset() {
  std::unique_lock lock(mutex_);
  ++epoch_;
  started_ = false;
  wake_.notify_all();
  WaitIdle(lock);
  OnReset();
  current_ = head_ = queued_ = delivered_ = 0;
  played_ = delivered_frames_ = 0;
  paused_ = false;
  failed_ = {};
  failed_text_.clear();
  std::uint64_t drained;
  while (::read(event_fd_, &drained, sizeof drained) > 0) {
  }
  return {};
}

Error QueuedOutDev::NextFreeBuffer(std::uint64_t* played) {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (failed_) return failed_;
      if (!started_) {
        failed_text_ = "no buffer is free before the device starts";
        return err::kWaveOutFailed;
      }
    }
    std::uint64_t one;
    if (::read(event_fd_, &one, sizeof one) == sizeof one) break;
    if (errno != EAGAIN && errno != EINTR) return err::kWaveOutFailed;
    pollfd p{event_fd_, POLLIN, 0};
    ::poll(&p, 1, -1);
  }
  std::lock_guard lock(mutex_);
  if (failed_) return failed_;
  *played = played_;
  return {};
}

Error QueuedOutDev::Submit(std::uint32_t frames) {
  std::lock_guard lock(mutex_);
  if (failed_) return failed_;
  if (queued_ >= count_ || frames > frames_) {
    failed_text_ = "no free buffer to submit";
    return err::kWaveOutFailed;
  }
  filled_[current_] = frames;
  current_ = (current_ + 1) % count_;
  ++queued_;
  // Only a thread waiting for work needs waking; a pacing one keeps its time.
  if (idle_) wake_.notify_all();
  return {};
}

Error QueuedOutDev::Pause() {
  std::unique_lock lock(mutex_);
  if (paused_) return {};
  paused_ = true;
  // Where the pace stood, so that a batch part-played goes on from there.
  const auto played_time = FramesToTime(played_, format_.rate);
  paused_at_ = std::clamp(std::chrono::steady_clock::now() - origin_, played_time,
                          played_time + FramesToTime(delivered_frames_, format_.rate));
  wake_.notify_all();
  WaitIdle(lock);
  OnPause(true);
  return {};
}

Error QueuedOutDev::Resume() {
  std::unique_lock lock(mutex_);
  if (!paused_) return {};
  WaitIdle(lock);
  OnPause(false);
  paused_ = false;
  origin_ = std::chrono::steady_clock::now() - paused_at_;
  wake_.notify_all();
  return {};
}

Error QueuedOutDev::SetVolume(float volume) {
  std::lock_guard lock(mutex_);
  volume_ = std::clamp(volume, 0.0f, 1.0f);
  return {};
}

std::uint8_t* QueuedOutDev::Data() {
  std::lock_guard lock(mutex_);
  return memory_.data() + static_cast<std::size_t>(current_) * frames_ * frame_bytes_;
}

std::string QueuedOutDev::LastError() const {
  std::lock_guard lock(mutex_);
  return failed_text_;
}

std::uint64_t QueuedOutDev::Played() const {
  std::lock_guard lock(mutex_);
  return played_;
}

}  // namespace tidemark::playback::internal
