// Delay: an echo line per processed channel, either fed back into itself or
// feeding forward once.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_DELAY {

// Block (8 bytes):
//   +0 i16 time: 100..1000 ms, default 400
//   +2 i16 feedback: -1500..-100 (0.01 dB), default -300
//   +4 i16 output: -1200..0 (0.01 dB), default 0
//   +6 u8  mode: 0 feedback, 1 feed-forward (any non-zero byte loads as 1), default 0
//   +7 reserved
inline constexpr std::uint32_t kBlockSize = 8;

// The longest delay; the lines are sized for it once.
inline constexpr std::uint32_t kMaxDelayMs = 1000;

struct MySetupParams : CEffEntry::SetupParams {
  std::uint32_t time_ms = 400;
  float feedback = 1.0f;  // linear
  float output = 1.0f;    // linear
  std::uint8_t mode = 0;  // 0 feedback, else feed-forward
};

class CMyEffRun : public CEffRun {
 public:
  // Allocates the lines for kMaxDelayMs at `rate`; 2 when memory runs out.
  [[nodiscard]] static Error Create(std::uint32_t rate, std::unique_ptr<CMyEffRun>* run);

  // Sets the delay and levels. The lines keep their contents when the delay
  // length and the feedback stay as they were, and are cleared otherwise.
  void Configure(std::uint32_t time_ms, float feedback, float output, std::uint8_t mode);

  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::string GetName() const override;

  std::uint32_t LineFrames() const { return capacity_; }
  std::uint32_t DelayFrames() const { return delay_; }

 private:
  explicit CMyEffRun(std::uint32_t rate) : rate_(rate) {}
  void Clear();

  std::uint32_t rate_;
  std::uint32_t capacity_ = 0;      // frames of each line
  std::unique_ptr<float[]> lines_;  // two lines of capacity_ frames
  std::uint32_t delay_ = 0;         // D, 1..capacity_ once configured
  std::uint32_t position_ = 0;      // p, shared by both lines
  float feedback_ = 0;              // g
  float output_ = 1;                // a
  bool feed_forward_ = false;
};

class CMyEffEntry : public CEffEntry_Std, public CEffChain_Std {
 public:
  CMyEffEntry();
  const SettingsLayout* GetSettingsLayout() const override;
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) override;

 protected:
  [[nodiscard]] Error NewSetupParams(SetupParamsPtr* params) override;
  [[nodiscard]] Error FillParams(ProgressScope* scope, SetupParams& params, const SettingsBlock& block) override;
};

CEffEntry& Entry();

}  // namespace tidemark::NS_EFFECT_DELAY
