// The RMS compressor with lookahead. The input runs through a delay line of
// L = rate / 10 frames; a detector keeps the mean power of the last W frames
// (the window) as a running sum and sets a target gain, reached along a
// linear ramp of W frames that is written into a gain ring W frames behind
// the delay position, so every gain change completes just as the frames
// that caused it leave the delay line.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "dsp/filters/biquad.h"
#include "effects/dynamics/compress_if.h"

namespace tidemark::NS_EFFECT {

class CStdCompress : public CCompressIf {
 public:
  explicit CStdCompress(std::string name = "Compress") : name_(std::move(name)) {}

  // Allocates the delay lines and rings for `rate` and `channels`.
  // `weighting` ('A'..'D', 0 none) filters the detector's input; a rate the
  // curve cannot be designed for runs unweighted. 2 when memory runs out.
  [[nodiscard]] Error Init(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                           float window_ms, float makeup, char weighting = 0);

  // err::kLayoutMismatch when `channels` is not the configured count.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::uint32_t GetLatency() const override { return length_; }
  std::string GetName() const override { return name_; }

  [[nodiscard]] Error Reconfigure(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                                  float window_ms, float makeup) override;
  void SetEnd(std::uint64_t length) override { end_ = length; }
  void AttachMeter(GainMeter* meter) override { meter_ = meter; }
  float SmallestGain() const override { return smallest_; }

  // W for a window of `window_ms` at `rate`.
  static std::uint32_t WindowFrames(std::uint32_t rate, float window_ms);
  // Rings of L frames between two exact recomputations of the running sum.
  static std::uint32_t RecomputeInterval(std::uint32_t rate);

  std::uint32_t window_frames() const { return window_; }
  // The gain the detector last set (makeup not included).
  float target() const { return target_; }

 private:
  // The per-frame rules over one chunk of finite samples, in three passes
  // (powers, state, delay line); the detector reads the weighted copy in
  // scratch_ when kWeighted.
  template <int kChannels, bool kWeighted>
  void Run(float* buffer, std::uint32_t frames);
  void Attack();
  double ExactSum() const;
  void SetParameters(float inv_ratio, float threshold, std::uint32_t window, float makeup);
  void Restart();

  std::string name_;
  std::uint32_t rate_ = 0;
  std::uint16_t channels_ = 0;
  std::uint32_t length_ = 0;  // L
  std::uint32_t window_ = 1;  // W
  std::uint32_t lag_ = 1;     // where gains are written: W, or moving back to a grown W
  std::uint32_t interval_ = 1;
  float inv_ratio_ = 1.0f;
  float threshold_ = 1.0f;
  float makeup_ = 1.0f;
  double exponent_ = 0.0;  // (1 / ratio - 1) / 2
  double energy_ = 0.0;    // E = T^2 W
  double keep_margin_ = 0.0;
  double keep_below_ = 0.0;  // below this sum a running ramp's target stands

  std::unique_ptr<float[]> delay_;    // L frames, interleaved
  std::unique_ptr<float[]> gains_;    // L
  std::unique_ptr<double[]> powers_;  // L
  std::unique_ptr<float[]> scratch_;  // the detector's input of one chunk
  std::unique_ptr<double[]> chunk_powers_;  // per frame of a chunk
  std::unique_ptr<float[]> chunk_gains_;    // M x g per frame of a chunk
  std::uint32_t mask_seen_ = 0;

  double sum_ = 0.0;  // S: the powers of the last W frames
  float target_ = 1.0f;
  double current_ = 1.0;
  double increment_ = 0.0;
  std::uint32_t ramp_left_ = 0;
  std::uint32_t pos_ = 0;
  std::uint32_t rings_ = 0;
  std::uint64_t count_ = 0;
  std::uint64_t end_ = std::numeric_limits<std::uint64_t>::max() / 2;
  bool ended_ = false;

  char weighting_letter_ = 0;
  bool weighted_ = false;
  float weighting_gain_ = 1.0f;
  dsp::BiquadKernel weighting_;

  GainMeter* meter_ = nullptr;
  float smallest_ = 1.0f;
};

}  // namespace tidemark::NS_EFFECT
