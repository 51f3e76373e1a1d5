// The machinery the pitch and speed runs share: sequential frame feeds
// (the document around the selection, or a time stretcher fed from it), a
// window over the feed, the eased read positions of the variable-position
// interpolator, and the run that chains them.
//
// Non-finite samples read as 0 wherever they enter (the window, the
// stretcher), so one bad sample costs at most a kernel's reach of output and
// never spreads further.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dsp/stretch/sinc_kernel.h"
#include "dsp/stretch/time_stretcher.h"
#include "effects/framework/effect_run.h"

namespace tidemark::NS_EFFECT {

// Consecutive frames from a starting index on (negative indices allowed).
class FrameFeed {
 public:
  virtual ~FrameFeed() = default;
  [[nodiscard]] virtual Error Next(std::uint32_t frames, float* dst) = 0;
};

// The document's frames, counted from `start`: frames before the document
// and past its end are silence.
class DocumentFeed final : public FrameFeed {
 public:
  DocumentFeed(std::uint32_t start, std::uint16_t channels, std::int64_t first)
      : start_(start), channels_(channels), first_(first), at_(first) {}
  void SetSource(PullSource* source) { source_ = source; }
  void Reset() { at_ = first_; }
  [[nodiscard]] Error Next(std::uint32_t frames, float* dst) override;

 private:
  std::uint32_t start_;
  std::uint16_t channels_;
  std::int64_t first_, at_;
  PullSource* source_ = nullptr;
};

// The stretcher's output for the `length` frames of the selection read
// through `input` (which starts at 0); frames before 0 are silence.
class StretchFeed final : public FrameFeed {
 public:
  StretchFeed(DocumentFeed& input, std::uint32_t length, std::uint16_t channels, std::int64_t first)
      : input_(input), length_(length), channels_(channels), first_(first), at_(first) {}
  [[nodiscard]] Error Init(std::uint32_t rate, const dsp::StretchOptions& options);
  void Reset();
  [[nodiscard]] Error Next(std::uint32_t frames, float* dst) override;

 private:
  DocumentFeed& input_;
  std::uint32_t length_;
  std::uint16_t channels_;
  std::int64_t first_, at_;
  std::uint32_t fed_ = 0;
  dsp::TimeStretcher stretcher_;
  std::vector<float> staging_;
};

// A window of frames [base, base + count) of a feed.
class FrameWindow {
 public:
  [[nodiscard]] Error Init(std::uint16_t channels, std::size_t capacity, std::int64_t first);
  void Reset(std::int64_t first);
  // Makes frames [lo, hi) present, dropping those below lo. err::kSizeLimit
  // when hi - lo exceeds the capacity.
  [[nodiscard]] Error Ensure(FrameFeed& feed, std::int64_t lo, std::int64_t hi);
  const float* Frame(std::int64_t i) const {
    return frames_.data() + static_cast<std::size_t>(i - base_) * channels_;
  }

 private:
  std::uint16_t channels_ = 1;
  std::size_t capacity_ = 0, count_ = 0;
  std::int64_t base_ = 0;
  std::vector<float> frames_;
};

// Where output frame n reads the source: `source` frames map onto `output`
// frames; the step eases quadratically from 1 to the middle step over the
// first `easing` output frames and back over the last, and the middle step
// is (source - 1 - easing) / (output - 1 - easing) so that the last output
// frame reads the last source frame exactly. easing = min(256, output / 4096):
// the middle step then differs from source / output by at most 1/4096 of it.
class EasedPositions {
 public:
  void Init(std::uint32_t source, std::uint32_t output);
  double At(std::uint32_t n) const;
  std::uint32_t easing() const { return easing_; }
  double middle_step() const { return step_; }

 private:
  double Ease(double k) const { return k + (step_ - 1) * k * k / (2.0 * easing_); }
  std::uint32_t source_ = 0, output_ = 0, easing_ = 0;
  double step_ = 1;
};

// Output frames for `source` frames at `ratio` source frames per output
// frame, rounded to the nearest; err::kSizeLimit beyond the document limit.
[[nodiscard]] Error OutputFramesFor(std::uint32_t source, double ratio, std::uint32_t* frames);

// A pull run: the selection, optionally time-stretched, read by the eased
// interpolator at `ratio` (copied through when the ratio is 1). The kernel
// is a Kaiser-windowed sinc, 16 lobes each side, cut off at 0.5 / ratio of
// the source rate when the ratio exceeds 1 (the anti-alias low-pass) and at
// 0.5 otherwise.
class ResampleChainRun : public CResampleEffRun {
 public:
  struct Plan {
    std::uint32_t rate = 44100;
    std::uint32_t start = 0, length = 0;
    std::uint16_t channels = 1;
    bool stretch = false;
    dsp::StretchOptions stretch_options;
    std::uint32_t stretched_length = 0;  // frames the stretch stage gives
    double ratio = 1.0;
    // When set, the output length is length / this rounded, whatever the
    // two stages' own roundings give (the positions absorb the difference).
    double overall_speed = 0;
    std::uint32_t output_length = 0;
    std::string name;
  };
  // Fills the lengths of `plan` from its ratio and stretch speed.
  [[nodiscard]] static Error CompleteLengths(Plan* plan);
  [[nodiscard]] static Error Create(const Plan& plan, ResampleEffRunPtr* run);
  // Use Create: the run is not usable before its Init.
  explicit ResampleChainRun(const Plan& plan);

  std::uint32_t SourceStart() const override { return plan_.start; }
  std::uint32_t SourceLength() const override { return plan_.length; }
  std::uint32_t OutputLength() const override { return plan_.output_length; }
  std::uint16_t OutputChannels() const override { return plan_.channels; }
  [[nodiscard]] Error Pull(PullSource& source, float* dst, std::uint32_t frames, std::uint32_t* delivered) override;
  void Reset() override;
  std::string GetName() const override { return plan_.name; }

  const EasedPositions& positions() const { return positions_; }

 private:
  [[nodiscard]] Error Init();
  bool Copies() const { return plan_.ratio == 1.0; }
  FrameFeed& Feed() { return stretch_ ? static_cast<FrameFeed&>(*stretch_) : document_; }

  Plan plan_;
  dsp::SincKernel kernel_;
  DocumentFeed document_;
  std::unique_ptr<StretchFeed> stretch_;
  FrameWindow window_;
  EasedPositions positions_;
  std::uint32_t done_ = 0;
  std::vector<float> weights_;
};

}  // namespace tidemark::NS_EFFECT
