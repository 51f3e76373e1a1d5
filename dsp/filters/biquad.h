// Biquad cascades: the coefficient set (SBiQuadFilter) and the running
// kernel that filters interleaved float frames in double precision, each
// channel with its own state.
//
// Per frame and processed channel, x runs through the sections in order:
//   w = x - a1 w1 - a2 w2;  y = b0 w + b1 w1 + b2 w2;  w2 = w1;  w1 = w
// and y is the next section's x; the last y is stored as float. Every
// operation is a plain double multiply or add in that order (no fused
// multiply-add), so the result depends only on the input samples: not on
// the block split, the channel mask or which code path ran.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/error.h"

namespace tidemark::NS_EFFECT {

struct SBiQuadSection {
  double b0 = 1.0, b1 = 0.0, b2 = 0.0;  // numerator
  double a1 = 0.0, a2 = 0.0;            // denominator; a0 is 1
};

// A cascade's coefficients: up to kMaxSections sections and an overall gain
// that the kernel does not apply (its users multiply the output by it when
// they keep one). A plain value: copying never allocates.
struct SBiQuadFilter {
  static constexpr int kMaxSections = 32;

  int count = 0;
  double gain = 1.0;
  SBiQuadSection sections[kMaxSections];

  // Sections given whole (numerator and denominator pairs): copied, gain 1.
  // err::kSizeLimit when n is outside 0..kMaxSections.
  [[nodiscard]] Error SetPairs(const SBiQuadSection* given, int n);
  // Sections given as numerator triples (c0, c1, c2) with their denominators
  // (a1, a2): each stored as (1, c1 / c0, c2 / c0), and the gain is the
  // product of the c0. err::kSizeLimit for n outside 0..kMaxSections or a
  // c0 of 0.
  [[nodiscard]] Error SetTriples(const double (*numerators)[3], const double (*denominators)[2], int n);
  // Appends `other`'s sections and multiplies the gains; err::kSizeLimit,
  // and nothing changed, when the sum exceeds kMaxSections.
  [[nodiscard]] Error Append(const SBiQuadFilter& other);
};

}  // namespace tidemark::NS_EFFECT

namespace tidemark::dsp {

// The running cascade. A filter of 0 sections runs as one pass-through
// section (b = 1, 0, 0; a = 0, 0); pass-through sections leave samples
// bit for bit as they are (-0 and infinities included). Not copyable.
class BiquadKernel {
 public:
  BiquadKernel() = default;
  BiquadKernel(const BiquadKernel&) = delete;
  BiquadKernel& operator=(const BiquadKernel&) = delete;

  // Takes `filter`'s sections for `channels` channels with cleared state;
  // used again, it reconfigures (new sections, state cleared), keeping the
  // state array when it is large enough. err::kOutOfMemory when the state
  // cannot be allocated (the kernel is then empty: Process does nothing).
  [[nodiscard]] Error Init(const NS_EFFECT::SBiQuadFilter& filter, std::uint16_t channels);
  // Clears every channel's state.
  void Reset();
  // Filters `frames` interleaved frames of channels() channels in place;
  // channels whose bit in `mask` is clear (and channels from 32 on) are
  // left untouched. Does not allocate.
  void Process(float* buffer, std::size_t frames, std::uint32_t mask);

  int sections() const { return count_; }
  std::uint16_t channels() const { return channels_; }
  double gain() const { return gain_; }
  const NS_EFFECT::SBiQuadSection& section(int s) const { return coef_[s]; }
  // Channel `ch`'s state of section `s`: {w1, w2}.
  const double* state(std::uint16_t ch, int s) const { return &state_[(static_cast<std::size_t>(ch) * static_cast<std::size_t>(count_) + static_cast<std::size_t>(s)) * 2]; }

 private:
  int count_ = 0;
  double gain_ = 1.0;
  std::uint16_t channels_ = 0;
  std::size_t capacity_ = 0;  // doubles in state_
  NS_EFFECT::SBiQuadSection coef_[NS_EFFECT::SBiQuadFilter::kMaxSections];
  // The sections that are not pass-through, in order, and where each one's
  // state lives.
  int active_ = 0;
  NS_EFFECT::SBiQuadSection run_[NS_EFFECT::SBiQuadFilter::kMaxSections];
  int slot_[NS_EFFECT::SBiQuadFilter::kMaxSections] = {};
  std::unique_ptr<double[]> state_;  // per channel, per section: w1, w2
};

}  // namespace tidemark::dsp
