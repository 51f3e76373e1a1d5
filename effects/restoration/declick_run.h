// The click removal run. Frames stream through a span per analysed channel
// (the run's latency); at a fixed hop along it the channels that pass the
// pre-check are searched for clicks by linear prediction and the clicks are
// rebuilt by least-squares autoregressive interpolation, after Vaseghi and
// Rayner's and Godsill and Rayner's work on gramophone restoration.
//
// Detection: an order-32 prediction-error filter is estimated over the
// block (Hann window, autocorrelation method) and run over it forward
// (convolution) and backward (correlation), both by FFT. A click raises the
// forward error from its first frame to 32 frames past its end and the
// backward error from 32 frames before it to its last frame. An error is an
// outlier where it exceeds threshold x factor / 2 times its centred moving
// average over w = 2 floor(rate / 100) + 1 frames (and 1e-6); the average
// is taken twice, the second time with the first pass's outliers counted at
// the first average, so that a click does not hide itself. Outliers less
// than 32 frames apart form a run; its click spans the first forward to the
// last backward outlier. Runs without both, or longer than `max_stretch`,
// are sound, not clicks, and are left alone.
//
// Repair: the click's samples are replaced by the values that minimise the
// energy of the prediction error over every error sample they touch, given
// the known samples on both sides: first with the block's model, then with
// an order-64 model estimated over the 2 x margin frames around the click
// (the first repair keeps the click out of that estimate). No new value
// exceeds the level limit 10^(level / 2000) times the RMS of the 64 frames
// on either side.
//
// Frames are tested only inside the selection, once their backward and
// forward histories lie in it; the moving average there is over the
// selection's frames. Linked stereo (two channels, both processed) is
// analysed as mid and side; the changes are turned back into left and
// right. Non-finite input samples are read as 0 by the analysis and pass
// through to the output unchanged: they never reach another frame or the
// other channel. Output depends on neither the thread count nor the block
// sizes the run is fed in.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "effects/framework/effect_run.h"
#include "effects/restoration/declick_channel.h"

namespace tidemark::NS_EFFECT {

class CDeClick : public CEffRun {
 public:
  // For a document of `rate` Hz and `channels` (1 or 2) channels and a
  // selection of `length` frames; `link` analyses a stereo pair as mid and
  // side. The pre-check runs for selections of at least ceil(rate / 20)
  // frames when its band holds a bin. 2 when memory runs out, 77 for
  // more than two channels or a rate of 0.
  [[nodiscard]] static Error Create(std::uint32_t rate, std::uint16_t channels, std::uint32_t length,
                                    const DeclickSettings& settings, bool link, std::unique_ptr<CDeClick>* run);

  // 78 when `channels` differs from the count the run was made for.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::uint32_t GetLatency() const override {
    return DeclickGeometry::kHopsPerRun * geometry_.hop + geometry_.margin;
  }
  std::string GetName() const override;

  const DeclickGeometry& geometry() const { return geometry_; }
  bool pre_check() const { return pre_check_; }
  // Stretches repaired so far, over all analysed channels.
  std::uint64_t repaired() const { return repaired_; }

 private:
  static constexpr std::uint16_t kMaxChannels = 2;

  CDeClick() = default;
  void TakeInput(const float* frames, std::uint32_t n, std::uint16_t channels, std::uint32_t mask, bool linked);
  void RunHops(std::uint32_t mask, bool linked);
  // Pre-check, detection and repair of hop `hop` of the span in channel `a`.
  std::uint32_t AnalyseHop(std::uint16_t a, std::uint32_t hop);

  DeclickGeometry geometry_;
  DeclickSettings settings_;
  DeclickPlans plans_;
  std::uint16_t channels_ = 0;
  std::uint32_t length_ = 0;
  bool link_ = false;
  bool pre_check_ = false;
  std::array<DeclickChannel, kMaxChannels> analysed_;
  std::array<std::unique_ptr<float[]>, kMaxChannels> input_;   // the raw input, span frames
  std::array<std::unique_ptr<float[]>, kMaxChannels> output_;  // the last finished hops
  std::uint32_t fill_ = 0;    // frames of the span after the past margin
  std::uint32_t out_at_ = 0;  // next frame of output_
  std::uint64_t hops_ = 0;    // finished hops
  // Per analysed channel: the stream frame before which nothing is tested
  // again (the end of the last stretch handled).
  std::array<std::uint64_t, kMaxChannels> skip_before_{};
  std::uint64_t repaired_ = 0;
};

}  // namespace tidemark::NS_EFFECT
