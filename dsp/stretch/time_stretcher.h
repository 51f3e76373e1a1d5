// Streaming time stretch: the output follows the input at `speed` input
// frames per output frame with the pitch kept. Two methods:
//   WSOLA (speech): Hann-windowed frames of 30 ms (60 ms with smoothing,
//     the longer crossfade suits sustained sounds) overlap by half; each
//     frame is taken within an eighth of a frame either side of its nominal
//     place where it best continues the previous one (normalised
//     cross-correlation on every 4th sample, coarse lags then fine).
//   Phase vocoder (music): frames of about 93 ms (a power of two), hop a
//     quarter frame, Hann analysis and synthesis windows; identity phase
//     locking: spectral peaks advance by their measured frequency, the bins
//     around a peak keep their phase offsets to it. It may also move the
//     spectral envelope by a factor while the harmonics stay in place; the
//     envelope is the true envelope (the cepstrum liftered at 2.7 ms,
//     raised onto the spectral peaks in 48 passes).
// Output frame j is centred on input position j x speed: output frame 0
// starts at input frame 0 and input before it reads as silence, as does
// input after Finish(). A caller wanting n / speed output frames for n input
// frames pushes them all, calls Finish() and pulls that many.
// Pushing and pulling never allocate; Init does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dsp/fft/real_fft.h"
#include "platform/error.h"

namespace tidemark::dsp {

enum class StretchMethod : std::uint8_t { kWsola, kPhaseVocoder };

struct StretchOptions {
  StretchMethod method = StretchMethod::kWsola;
  double speed = 1.0;           // input frames per output frame, 0.1 .. 10
  bool smoothing = false;       // WSOLA: 60 ms frames instead of 30 ms
  double envelope_shift = 1.0;  // phase vocoder: envelope frequencies x this, 0.25 .. 4
};

class TimeStretcher {
 public:
  static constexpr double kMinSpeed = 0.1;
  static constexpr double kMaxSpeed = 10.0;

  // err::kSizeLimit for channels outside 1..2, a rate below 1000 or above
  // 384000, or options out of range; err::kOutOfMemory.
  [[nodiscard]] Error Init(std::uint16_t channels, std::uint32_t rate, const StretchOptions& options);
  // Back to the state after Init (no input, nothing pending).
  void Reset();

  // Frames of input Push takes now.
  std::size_t InputSpace() const;
  // Appends up to InputSpace() interleaved frames; returns how many it took.
  std::size_t Push(const float* in, std::size_t frames);
  // No more input: what follows reads as silence.
  void Finish() { finished_ = true; }
  // Up to `frames` interleaved output frames; fewer only when more input
  // is needed first.
  std::size_t Pull(float* out, std::size_t frames);

  std::size_t frame_length() const { return n_; }

 private:
  float InputAt(std::size_t c, std::int64_t i) const;
  std::int64_t Nominal(std::int64_t k) const;
  bool CanMakeFrame() const;
  void MakeFrame();
  std::int64_t BestWsolaCentre(std::int64_t nominal);
  void VocoderFrame(std::int64_t centre);
  void WarpEnvelope(float* mag);
  void SmoothLog(const float* log_mag, float* smooth);
  void Discard();

  std::uint16_t channels_ = 0;
  StretchOptions options_;
  std::size_t n_ = 0, hop_ = 0;   // frame length, synthesis hop
  std::int64_t tolerance_ = 0;    // WSOLA search half-width
  std::size_t lifter_ = 0;        // cepstral lifter length
  std::vector<float> window_;
  // Input: planar, frames [in_base_, in_base_ + in_count_) of each channel.
  std::vector<std::vector<float>> in_;
  std::size_t in_capacity_ = 0, in_count_ = 0;
  std::int64_t in_base_ = 0;
  bool finished_ = false;
  // Overlap-add: acc_ holds output frames from the current frame's start;
  // ready_ the completed frames not yet pulled, from ready_at_.
  std::vector<std::vector<float>> acc_, ready_;
  std::size_t ready_at_ = 0, ready_count_ = 0, drop_ = 0;
  std::int64_t k_ = 0, prev_centre_ = 0;
  // WSOLA scratch.
  std::vector<float> mix_, target_;
  // Phase vocoder state and scratch.
  RealFft<float> fft_;
  static constexpr int kEnvelopePasses = 48;
  std::vector<float> spec_, work_, mag_, phase_, env_, cep_, log_, raised_;
  std::vector<std::vector<float>> prev_phase_, prev_synth_;
  std::vector<std::uint32_t> peak_of_;
};

}  // namespace tidemark::dsp
