#include "dsp/delta_sigma/internal/half_band_interpolator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "dsp/design/kaiser.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

constexpr double kBandFraction = 0.4535;  // of the first stage's input rate
constexpr double kStopBandDb = 140.0;

}  // namespace

Error HalfBandInterpolator::Init(std::uint32_t factor, std::size_t max_input) {
  stage_count_ = 0;
  factor_ = 0;
  if (factor < 2 || factor > kMaxFactor || (factor & (factor - 1)) != 0 || max_input == 0)
    return err::kUnsupportedFormat;
  const double beta = KaiserBeta(kStopBandDb);
  const double i0_beta = BesselI0(beta);
  int count = 0;
  for (std::uint32_t f = factor; f > 1; f >>= 1) ++count;
  std::uint64_t delay = 0;  // at the output rate
  for (int s = 0; s < count; ++s) {
    Stage& st = stages_[s];
    // Transition width relative to the stage's output rate: from the band's
    // top to the bottom of its first image.
    const double band = kBandFraction / static_cast<double>(1u << s);
    const double transition = 0.5 - band;
    const double length = (kStopBandDb - 7.95) / (14.36 * transition) + 1.0;
    const int half = std::max(2, static_cast<int>(std::ceil((length + 1.0) / 4.0)));
    st.half = half;
    st.max_input = max_input << s;
    if (MakeNew(&st.taps, half) || MakeNew(&st.work, 2 * half - 1 + st.max_input)) return err::kOutOfMemory;
    // Half-band taps at the odd offsets k = 2j - 1 from the centre, windowed
    // over the full length 4M - 1 and scaled for unit gain after doubling the
    // rate (the odd phase sums to 1 at DC, as the even phase does).
    double sum = 0.0;
    for (int j = 1; j <= half; ++j) {
      const double k = 2.0 * j - 1.0;
      const double r = k / (2.0 * half);
      const double w = BesselI0(beta * std::sqrt(1.0 - r * r)) / i0_beta;
      const double h = std::sin(std::numbers::pi * k / 2.0) / (std::numbers::pi * k) * w;
      st.taps[j - 1] = h;
      sum += 2.0 * h;
    }
    for (int j = 0; j < half; ++j) st.taps[j] /= sum;
    delay = delay * 2 + static_cast<std::uint64_t>(2 * half - 1);
  }
  pad_length_ = static_cast<std::size_t>((factor - delay % factor) % factor);
  delay_ = static_cast<std::uint32_t>((delay + pad_length_) / factor);
  if (MakeNew(&pad_, pad_length_ + 1) || MakeNew(&pad_spill_, pad_length_ + 1)) return err::kOutOfMemory;
  stage_count_ = count;
  factor_ = factor;
  Reset();
  return err::kOk;
}

void HalfBandInterpolator::Reset() {
  const ChannelPair zero = {0.0, 0.0};
  for (int s = 0; s < stage_count_; ++s) std::fill_n(stages_[s].work.get(), 2 * stages_[s].half - 1, zero);
  if (pad_) std::fill_n(pad_.get(), pad_length_, zero);
}

void HalfBandInterpolator::Process(const ChannelPair* in, std::size_t count, ChannelPair* out) {
  if (stage_count_ == 0 || count == 0) return;
  std::memcpy(stages_[0].work.get() + 2 * stages_[0].half - 1, in, count * sizeof(ChannelPair));
  std::size_t n = count;
  for (int s = 0; s < stage_count_; ++s) {
    Stage& st = stages_[s];
    const int half = st.half;
    const std::size_t hist = static_cast<std::size_t>(2 * half - 1);
    ChannelPair* dst = s + 1 < stage_count_ ? stages_[s + 1].work.get() + (2 * stages_[s + 1].half - 1) : out;
    const double* taps = st.taps.get();
    // x[m - M + 1] sits at work[hist + m - M + 1]; the interpolated sample
    // between it and its predecessor is the symmetric sum around them.
    const ChannelPair* x = st.work.get() + hist - half + 1;
    for (std::size_t m = 0; m < n; ++m) {
      const ChannelPair* c = x + m;
      ChannelPair acc = {0.0, 0.0};
      for (int j = 1; j <= half; ++j) acc += taps[j - 1] * (c[j - 1] + c[-j]);
      dst[2 * m] = acc;
      dst[2 * m + 1] = c[0];
    }
    std::memmove(st.work.get(), st.work.get() + n, hist * sizeof(ChannelPair));
    n *= 2;
  }
  if (pad_length_ > 0) {
    std::memcpy(pad_spill_.get(), out + n - pad_length_, pad_length_ * sizeof(ChannelPair));
    std::memmove(out + pad_length_, out, (n - pad_length_) * sizeof(ChannelPair));
    std::memcpy(out, pad_.get(), pad_length_ * sizeof(ChannelPair));
    std::swap(pad_, pad_spill_);
  }
}

}  // namespace tidemark::dsp
