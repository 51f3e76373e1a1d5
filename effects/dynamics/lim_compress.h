// The compressor followed by a linked safety limiter at 0.9999 (10 ms,
// no makeup): what the Compress effect runs without its de-esser.
#pragma once

#include <string>

#include "effects/dynamics/limiter.h"
#include "effects/dynamics/std_compress.h"

namespace tidemark::NS_EFFECT {

inline constexpr float kSafetyCeiling = 0.9999f;
inline constexpr float kSafetyWindowMs = 10.0f;

class CLimCompress : public CCompressIf {
 public:
  explicit CLimCompress(std::string name = "Compress") : name_(name), compress_(std::move(name)) {}

  // As CStdCompress::Init; 2 when memory runs out.
  [[nodiscard]] Error Init(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                           float window_ms, float makeup, char weighting = 0);

  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::uint32_t GetLatency() const override { return compress_.GetLatency() + limiter_.GetLatency(); }
  std::string GetName() const override { return name_; }

  [[nodiscard]] Error Reconfigure(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                                  float window_ms, float makeup) override;
  void SetEnd(std::uint64_t length) override { compress_.SetEnd(length); }
  void AttachMeter(GainMeter* meter) override { meter_ = meter; }
  float SmallestGain() const override { return compress_.SmallestGain() * limiter_.SmallestGain(); }

 private:
  std::string name_;
  CStdCompress compress_;
  CLimiter limiter_;
  GainMeter* meter_ = nullptr;
  std::uint32_t rate_ = 0;
  std::uint16_t channels_ = 0;
};

}  // namespace tidemark::NS_EFFECT
