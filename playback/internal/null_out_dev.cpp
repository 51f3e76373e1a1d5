// "null": discards at the real pace, without a thread of its own. The free
// event is a timer that fires when the oldest batch of queued buffers has
// played. It stays fired while freed buffers remain untaken, and is set for
// the next batch once they are all taken: the engine wakes once a batch and
// takes each buffer with no call to the kernel.
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "config/error_codes.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "playback/internal/file_out_dev.h"
#include "playback/internal/queued_out_dev.h"

namespace tidemark::playback::internal {

namespace {

using Clock = std::chrono::steady_clock;

void Drain(int fd) {
  std::uint64_t v;
  while (::read(fd, &v, sizeof v) > 0) {
  }
}

class NullOutDev final : public CSndOutDev {
 public:
  NullOutDev(const OutFormat& format, const OutBuffers& buffers)
      : format_(format),
        frame_bytes_(OutSampleBytes(format.code) * format.channels),
        count_(buffers.count),
        frames_(buffers.frames),
        batch_(PacedBatch(format, buffers)) {}
  ~NullOutDev() override {
    if (timer_fd_ >= 0) ::close(timer_fd_);
  }

  Error Open() {
    if (const Error rc = TryAlloc([&] {
          memory_.assign(static_cast<std::size_t>(count_) * frames_ * frame_bytes_, 0);
          filled_.assign(count_, 0);
        }))
      return rc;
    timer_fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    return timer_fd_ < 0 ? err::kWaveOutOpenFailed : Error{};
  }

  Error Start() override {
    const std::lock_guard lock(mutex_);
    started_ = true;
    paused_ = false;
    origin_ = Clock::now() - FramesToTime(played_, format_.rate);
    if (free_ == 0) Arm();
    return {};
  }

  Error Reset() override {
    const std::lock_guard lock(mutex_);
    started_ = paused_ = false;
    current_ = head_ = queued_ = free_ = 0;
    played_ = 0;
    Drain(timer_fd_);
    Arm();
    return {};
  }

  Error NextFreeBuffer(std::uint64_t* played) override {
    for (;;) {
      {
        const std::lock_guard lock(mutex_);
        if (!started_) {
          error_ = "no buffer is free before the device starts";
          return err::kWaveOutFailed;
        }
        if (free_ == 0) Advance();
        if (free_ > 0) {
          if (--free_ == 0) {
            Drain(timer_fd_);
            Arm();
          }
          *played = played_;
          return {};
        }
      }
      pollfd p{timer_fd_, POLLIN, 0};
      ::poll(&p, 1, -1);
    }
  }

  Error Submit(std::uint32_t frames) override {
    const std::lock_guard lock(mutex_);
    if (queued_ >= count_ || frames > frames_) {
      error_ = "no free buffer to submit";
      return err::kWaveOutFailed;
    }
    filled_[current_] = frames;
    current_ = (current_ + 1) % count_;
    // The first buffer of an empty queue starts a batch; later ones join it.
    if (++queued_ == 1 && free_ == 0) Arm();
    return {};
  }

  Error Pause() override {
    const std::lock_guard lock(mutex_);
    if (paused_) return {};
    Advance();
    // Where the pace stood: no further than the end of what was queued.
    paused_at_ = started_ ? std::min(Clock::now() - origin_, FramesToTime(EndOf(queued_), format_.rate))
                          : Clock::duration{};
    paused_ = true;
    if (free_ == 0) Arm();
    return {};
  }

  Error Resume() override {
    const std::lock_guard lock(mutex_);
    if (!paused_) return {};
    paused_ = false;
    if (started_) origin_ = Clock::now() - paused_at_;
    if (free_ == 0) Arm();
    return {};
  }

  Error SetVolume(float) override { return {}; }
  std::uint8_t* Data() override {
    const std::lock_guard lock(mutex_);
    return memory_.data() + static_cast<std::size_t>(current_) * frames_ * frame_bytes_;
  }
  std::uint32_t FramesPerBuffer() const override { return frames_; }
  std::uint32_t BufferCount() const override { return count_; }
  int FreeEvent() const override { return timer_fd_; }
  std::string LastError() const override {
    const std::lock_guard lock(mutex_);
    return error_;
  }
  std::uint64_t Played() const override {
    const std::lock_guard lock(mutex_);
    return played_;
  }

 private:
  // The played count once the oldest n queued buffers have played.
  std::uint64_t EndOf(std::uint32_t n) const {
    std::uint64_t end = played_;
    for (std::uint32_t i = 0; i < n; ++i) end += filled_[(head_ + i) % count_];
    return end;
  }
  // The oldest batch: min(batch, queued) buffers, and the played count at its end.
  std::uint64_t BatchEnd(std::uint32_t* n) const {
    *n = std::min(batch_, queued_);
    return EndOf(*n);
  }

  // Frees every batch that has played by now (the timer has fired for the
  // first of them, or is about to); with none, sets the timer for the next.
  void Advance() {
    if (!started_ || paused_) return;
    const Clock::time_point now = Clock::now();
    while (queued_ > 0) {
      std::uint32_t n = 0;
      const std::uint64_t end = BatchEnd(&n);
      if (origin_ + FramesToTime(end, format_.rate) > now) break;
      played_ = end;
      head_ = (head_ + n) % count_;
      queued_ -= n;
      free_ += n;
    }
    if (free_ == 0) {
      Drain(timer_fd_);
      Arm();
    }
  }

  // With no freed buffer untaken: the timer fires when the oldest batch has
  // played; off while stopped, paused or empty.
  void Arm() {
    itimerspec when{};
    if (started_ && !paused_ && queued_ > 0) {
      std::uint32_t n = 0;
      const auto at = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          (origin_ + FramesToTime(BatchEnd(&n), format_.rate)).time_since_epoch())
                          .count();
      // 0 would disarm: the clock's first nanosecond stands for "now".
      when.it_value.tv_sec = static_cast<time_t>(at / 1'000'000'000);
      when.it_value.tv_nsec = std::max<long>(static_cast<long>(at % 1'000'000'000), at > 0 ? 0 : 1);
    }
    ::timerfd_settime(timer_fd_, TFD_TIMER_ABSTIME, &when, nullptr);
  }

  const OutFormat format_;
  const std::uint32_t frame_bytes_;
  const std::uint32_t count_;
  const std::uint32_t frames_;
  const std::uint32_t batch_;
  std::vector<std::uint8_t> memory_;
  std::vector<std::uint32_t> filled_;  // frames in each queued buffer
  int timer_fd_ = -1;  // the free event

  mutable std::mutex mutex_;
  std::uint32_t current_ = 0;  // the engine's buffer
  std::uint32_t head_ = 0;     // the oldest queued buffer
  std::uint32_t queued_ = 0;
  std::uint32_t free_ = 0;     // freed buffers not yet taken
  std::uint64_t played_ = 0;   // frames of the freed buffers
  bool started_ = false;
  bool paused_ = false;
  std::string error_;
  Clock::time_point origin_;        // when frame 0 would have played
  Clock::duration paused_at_{};     // time since origin_ when paused
};

}  // namespace

Error OpenNullOutDev(const OutFormat& format, const OutBuffers& buffers, std::unique_ptr<CSndOutDev>* out) {
  std::unique_ptr<NullOutDev> dev;
  if (const Error rc = MakeNew(&dev, format, buffers)) return rc;
  if (const Error rc = dev->Open()) return rc;
  *out = std::move(dev);
  return {};
}

}  // namespace tidemark::playback::internal
