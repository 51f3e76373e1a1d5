// CNoiseScan: measures a noise profile, the mean power of each frequency
// bin over every whole frame of the material (frames of the FFT length
// every half length, windowed as the hiss reduction windows its frames, so
// the powers are in the units the run compares against).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/edit/sound_clip.h"
#include "dsp/fft/real_fft.h"
#include "effects/framework/effect_run.h"
#include "platform/error.h"

namespace tidemark {
class ProgressScope;
}

namespace tidemark::NS_EFFECT_HISS {

class CNoiseScan : public CEffRun {
 public:
  // Allocates the buffers of `channels` channels for frames of `fft_length`
  // (a power of two, at least 8).
  [[nodiscard]] Error Init(std::uint32_t fft_length, std::uint16_t channels);
  // Reads the masked channels; writes nothing back. A non-finite sample
  // counts as 0.
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::string GetName() const override;

  // Material shorter than one frame: each masked channel that has not made
  // a whole frame is measured once as it stands, zero-padded to the frame
  // length, its power scaled from its length to the window's energy (an
  // unbiased estimate for steady noise, however short). Call at the end.
  void MeasureShortMaterial();

  // Frames measured so far (the same for every masked channel).
  std::uint64_t Frames() const { return frames_; }
  // The mean power per bin (fft_length / 2 + 1 values) of `channel`; zeros
  // before the first whole frame.
  std::vector<float> MeanPower(std::uint16_t channel) const;

 private:
  struct Channel {
    std::vector<float> input;  // the current frame's samples so far
    std::vector<double> sum;   // power sums per bin
    std::uint64_t frames = 0;
  };
  void Measure(Channel& channel);

  dsp::RealFft<float> plan_;
  std::uint32_t n_ = 0;
  std::vector<float> window_, spectrum_, work_;
  std::vector<Channel> channels_;
  std::uint64_t frames_ = 0;
};

// Feeds all of `clip` in its own channel count to `run` with `mask`, on a
// worker thread under `scope` (progress, cancel) with `caption`, as
// ScanSelection does for a document. 0xFFFFFFFF when cancelled.
[[nodiscard]] Error ScanClip(ProgressScope& scope, const SoundClip& clip, std::uint32_t mask, CEffRun& run,
                             std::string caption);

}  // namespace tidemark::NS_EFFECT_HISS
