// The de-esser: a linear-phase FIR splits the input at the de-esser
// frequency; the upper band (the input delayed by half the filter's order,
// less the low band) passes the user's compressor, the low band a
// unity-ratio compressor that only adds the same delay and makeup, and the
// sum passes the linked safety limiter. The split runs in blocks of the
// fast convolution's size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dsp/fir/block_convolver.h"
#include "effects/dynamics/limiter.h"
#include "effects/dynamics/std_compress.h"

namespace tidemark::NS_EFFECT {

// The stop-band attenuation of the split's Kaiser window. The program's
// resampling options will choose it; until then this fixed value.
inline constexpr double kDeEsserSplitAttenuationDb = 120.0;

class CDeEsser : public CCompressIf {
 public:
  explicit CDeEsser(std::string name = "Compress") : name_(name), high_(std::move(name)) {}

  // As CStdCompress::Init, with the split at `frequency` Hz (at most half
  // the rate). 2 when memory runs out.
  [[nodiscard]] Error Init(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                           float window_ms, float makeup, float frequency, char weighting = 0,
                           double split_attenuation_db = kDeEsserSplitAttenuationDb);

  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::uint32_t GetLatency() const override;
  std::string GetName() const override { return name_; }

  [[nodiscard]] Error Reconfigure(std::uint32_t rate, std::uint16_t channels, float inv_ratio, float threshold,
                                  float window_ms, float makeup) override;
  void SetEnd(std::uint64_t length) override;
  void AttachMeter(GainMeter* meter) override { meter_ = meter; }
  float SmallestGain() const override { return high_.SmallestGain() * limiter_.SmallestGain(); }

  // N: the split filter's order.
  static std::uint32_t SplitOrder(std::uint32_t rate);
  std::uint32_t split_block() const { return static_cast<std::uint32_t>(split_.block()); }

 private:
  void RunBlock();

  std::string name_;
  std::uint32_t rate_ = 0;
  std::uint16_t channels_ = 0;
  float frequency_ = 4000.0f;
  char weighting_ = 0;
  double attenuation_db_ = kDeEsserSplitAttenuationDb;
  std::uint32_t order_ = 0;
  dsp::BlockConvolver split_;
  CStdCompress low_{"Compress"};
  CStdCompress high_;
  CLimiter limiter_;
  std::unique_ptr<float[]> input_;   // the block being collected, interleaved
  std::unique_ptr<float[]> output_;  // the previous block's result, interleaved
  std::unique_ptr<float[]> low_band_;
  std::unique_ptr<float[]> high_band_;
  std::unique_ptr<float[]> lane_;  // one channel of a block, twice
  std::uint32_t fill_ = 0;
  std::uint32_t mask_ = 0;
  GainMeter* meter_ = nullptr;
};

}  // namespace tidemark::NS_EFFECT
