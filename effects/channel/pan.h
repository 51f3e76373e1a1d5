// Pan: a source on a half circle around two microphones. The far
// microphone's channel hears the source later (a delay of whole frames) and
// weaker (the ratio of the distances); widening first spreads the mid signal
// against its own 10 ms history. The output is always stereo.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/framework/effect_entry.h"

namespace tidemark::NS_EFFECT_PAN {

// Block (8 bytes):
//   +0 i16 angle: -90..90 degrees, default 45
//   +2 i16 distance: 50..600 (0.01 m), default 100
//   +4 i16 spacing: 20..28 (0.01 m), default 24
//   +6 u8  widen: flag, default 0
//   +7 reserved
inline constexpr std::uint32_t kBlockSize = 8;

struct MySetupParams : CEffEntry::SetupParams {
  float position = 0.5f;  // angle / 90
  float distance = 1.0f;  // m
  float spacing = 0.24f;  // m
  std::uint8_t widen = 0;
};

class CMyEffRun : public CEffRun {
 public:
  // Places the source and allocates the history and the delay line; 2 when
  // memory runs out.
  [[nodiscard]] static Error Create(std::uint32_t rate, float position, float distance, float spacing,
                                    bool widen, std::unique_ptr<CMyEffRun>* run);

  // Frames of other than two channels pass unchanged; both channels are
  // always processed.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::string GetName() const override;

  std::uint32_t DelayFrames() const { return delay_; }
  std::uint16_t FarChannel() const { return far_; }
  float FarGain() const { return far_gain_; }
  std::uint32_t HistoryFrames() const { return history_frames_; }
  float Widening() const { return widen_; }

 private:
  CMyEffRun() = default;

  std::uint32_t delay_ = 0;  // D
  std::uint16_t far_ = 1;
  float far_gain_ = 1;
  float widen_ = 0;  // w
  std::unique_ptr<float[]> history_;  // h, the mids of the last 10 ms
  std::uint32_t history_frames_ = 1;
  std::uint32_t history_pos_ = 0;  // k
  std::unique_ptr<float[]> line_;  // the far channel's last D frames
  std::uint32_t line_pos_ = 0;
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

}  // namespace tidemark::NS_EFFECT_PAN
