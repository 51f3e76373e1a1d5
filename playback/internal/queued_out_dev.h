// The buffer ring and delivery thread of the ALSA and file devices. The
// engine owns the buffers that are not queued; the thread delivers queued
// buffers in order, one at a time, and signals the free event after each.
// A paced device frees its buffers in batches of about half a second
// (at most half the ring): the thread delivers a batch, sleeps once until
// its last frame would have played, then frees it whole, so the engine and
// this thread wake a few times a second rather than once per buffer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "playback/snd_out_dev.h"

namespace tidemark::playback::internal {

std::chrono::steady_clock::duration FramesToTime(std::uint64_t frames, std::uint32_t rate);
// The buffers a paced device frees together: half a second of them, at most
// half the ring.
std::uint32_t PacedBatch(const OutFormat& format, const OutBuffers& buffers);

class QueuedOutDev : public CSndOutDev {
 public:
  ~QueuedOutDev() override;

  Error Start() override;
  Error Reset() override;
  Error NextFreeBuffer(std::uint64_t* played) override;
  Error Submit(std::uint32_t frames) override;
  Error Pause() override;
  Error Resume() override;
  Error SetVolume(float volume) override;
  std::uint8_t* Data() override;
  std::uint32_t FramesPerBuffer() const override { return frames_; }
  std::uint32_t BufferCount() const override { return count_; }
  int FreeEvent() const override { return event_fd_; }
  std::string LastError() const override;
  std::uint64_t Played() const override;

 protected:
  // `paced`: a buffer is freed only when its frames have played in real
  // time. Devices whose delivery blocks at the device's own pace pass false.
  QueuedOutDev(const OutFormat& format, const OutBuffers& buffers, bool paced);
  // The ring and the thread; err::kOutOfMemory or kWaveOutOpenFailed.
  Error StartThread();
  // Must be called by the most derived destructor: Deliver is virtual.
  void StopThread();

  // Runs on the delivery thread, never twice at once. `text` gets the
  // device's words on failure.
  virtual Error Deliver(const std::uint8_t* data, std::uint32_t frames, std::string* text) = 0;
  // Called with the thread idle (no Deliver running).
  virtual void OnPause(bool /*paused*/) {}
  virtual void OnReset() {}

  const OutFormat format_;
  const std::uint32_t frame_bytes_;

 private:
  void Run();
  void Signal(std::uint32_t buffers);
  void WaitIdle(std::unique_lock<std::mutex>& lock);
  void ApplyVolume(const std::uint8_t* in, std::uint32_t frames);

  const std::uint32_t count_;
  const std::uint32_t frames_;
  const bool paced_;
  const std::uint32_t batch_;  // buffers freed together (1 unless paced)
  std::vector<std::uint8_t> memory_;
  std::vector<std::uint32_t> filled_;  // frames in each queued buffer
  std::vector<std::uint8_t> scaled_;   // a buffer with the volume applied
  int event_fd_ = -1;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  // Guarded by mutex_.
  std::uint32_t current_ = 0;  // the engine's buffer
  std::uint32_t head_ = 0;     // the next buffer to deliver
  std::uint32_t queued_ = 0;
  std::uint32_t delivered_ = 0;        // queued buffers delivered, not yet freed
  std::uint64_t delivered_frames_ = 0;
  std::uint64_t played_ = 0;
  std::uint64_t epoch_ = 0;  // bumped by Reset: a delivery in flight is void
  bool started_ = false;
  bool paused_ = false;
  bool busy_ = false;
  bool idle_ = false;  // the thread waits for a submitted buffer
  bool quit_ = false;
  float volume_ = 1.0f;
  Error failed_;
  std::string failed_text_;
  std::chrono::steady_clock::time_point origin_;  // when frame 0 would have played
  std::chrono::steady_clock::duration paused_at_{};  // time since origin_ when paused
};

}  // namespace tidemark::playback::internal
