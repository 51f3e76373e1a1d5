// The lookahead peak limiter. Every frame's peak (the larger of the two
// channels when they are linked) sets a gain C / peak that a ramp of W
// frames reaches just as that frame leaves the delay line of L frames; ramps
// are re-aimed, shortened or followed by a hold so that no earlier peak
// still in the line loses its reduction. So no output sample exceeds C x M.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "effects/framework/effect_run.h"

namespace tidemark::NS_EFFECT {

class CLimiter : public CEffRun {
 public:
  explicit CLimiter(std::string name = "Limiter") : name_(std::move(name)) {}

  // `ceiling` is C and `makeup` M (both linear); L = rate / 10 and W from
  // `window_ms`. `link` counts only with two channels. 2 when memory runs
  // out.
  [[nodiscard]] Error Init(std::uint32_t rate, std::uint16_t channels, float ceiling, float window_ms,
                           float makeup, bool link);
  // The same with L and W given in frames (W <= L).
  [[nodiscard]] Error InitFrames(std::uint16_t channels, std::uint32_t length, std::uint32_t window,
                                 float ceiling, float makeup, bool link);

  // err::kLayoutMismatch when `channels` is not the configured count.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::uint32_t GetLatency() const override { return length_; }
  std::string GetName() const override { return name_; }

  std::uint32_t window_frames() const { return window_; }
  // The smallest gain (makeup not included) applied during the last block.
  float SmallestGain() const { return smallest_; }

 private:
  struct Ramp {
    double current = 1.0;
    double increment = 0.0;
    double target = 1.0;
    std::uint32_t left = 0;  // ramp frames
    std::uint32_t hold = 0;  // frames at the target after the ramp
    std::uint32_t idle = 0;  // frames in a row at unity, at most L: the ring is all 1 at L
  };
  template <int kChannels, bool kLinked>
  void Run(float* buffer, std::uint32_t frames, std::uint32_t mask);
  void Detect(Ramp& r, float peak) const;
  // Every gain ring all 1 with no ramp, hold or target below 1.
  bool Idle() const;
  // `frames` (within one stretch of the delay line) as a plain delay when
  // none of them exceeds the ceiling; false, and nothing done, otherwise.
  bool PassQuiet(float* buffer, std::uint32_t frames);

  std::string name_;
  std::uint16_t channels_ = 0;
  std::uint32_t length_ = 0;  // L
  std::uint32_t window_ = 1;  // W
  float ceiling_ = 1.0f;
  float makeup_ = 1.0f;
  bool linked_ = false;
  std::unique_ptr<float[]> delay_;  // L frames, interleaved
  std::unique_ptr<float[]> gains_;  // L per channel, channel after channel
  std::unique_ptr<Ramp[]> ramps_;   // per channel (only the first when linked)
  std::uint32_t pos_ = 0;
  float smallest_ = 1.0f;
};

}  // namespace tidemark::NS_EFFECT
