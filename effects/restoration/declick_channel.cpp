#include "effects/restoration/declick_channel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/restoration/autoregressive.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT {

namespace {

constexpr int kOrder = DeclickGeometry::kOrder;
constexpr int kRepairOrder = DeclickGeometry::kRepairOrder;
constexpr std::uint32_t kHopsPerRun = DeclickGeometry::kHopsPerRun;
constexpr std::uint32_t kSpectra = 5;  // a window and the four before it, N / 4 apart
// Outliers closer than this belong to one stretch: a click's middle may be
// predicted well from its own first samples.
constexpr std::uint32_t kJoinGap = kOrder;
// Errors below this never count as clicks (about -120 dB): numerical dust
// on near-silence.
constexpr double kErrorFloor = 1e-6;
constexpr std::uint32_t kForward = 1, kBackward = 2;

std::uint32_t PowerOfTwoAtLeast(std::uint32_t n) {
  std::uint32_t p = 1;
  while (p < n) p <<= 1;
  return p;
}

}  // namespace

DeclickGeometry DeclickGeometry::ForRate(std::uint32_t rate) {
  DeclickGeometry g;
  g.window = std::max<std::uint32_t>(64, PowerOfTwoAtLeast((rate + 199) / 200));
  g.hop = 16 * g.window;
  g.margin = 4 * g.window;
  g.block = g.margin + g.hop + g.margin;
  g.span = g.block + (kHopsPerRun - 1) * g.hop;
  g.fft = PowerOfTwoAtLeast(g.block + kOrder);
  g.average = 2 * (rate / 100) + 1;
  g.max_stretch = g.margin / 2;
  const double per_bin = static_cast<double>(rate) / g.window;
  g.band_lo = static_cast<std::uint32_t>(std::lround(2000.0 / per_bin));
  g.band_hi = std::min(static_cast<std::uint32_t>(std::lround(20000.0 / per_bin)), g.window / 2 - 1);
  return g;
}

Error DeclickChannel::Allocate(const DeclickGeometry& g) {
  block_ = g.block;
  span_ = g.span;
  average_ = g.average;
  const std::size_t band = g.HasBand() ? g.band_hi - g.band_lo + 1 : 1;
  if (MakeNew(&samples_, g.span) || MakeNew(&changes_, g.span) || MakeNew(&fft_a_, g.fft) ||
      MakeNew(&fft_b_, g.fft) || MakeNew(&fft_work_, 2 * std::size_t{g.fft}) ||
      MakeNew(&spectra_, kSpectra * band) || MakeNew(&fft_c_, g.fft) || MakeNew(&first_sums_, std::size_t{g.block} + 1) ||
      MakeNew(&forward_sums_, std::size_t{g.block} + 1) || MakeNew(&backward_sums_, std::size_t{g.block} + 1) ||
      MakeNew(&model_work_, dsp::PredictionWorkSize(g.block)) ||
      MakeNew(&gap_work_, dsp::InterpolationWorkSize(g.max_stretch, kRepairOrder)) ||
      MakeNew(&gap_values_, g.max_stretch) || MakeNew(&stretches_, std::size_t{g.hop} + 2))
    return err::kOutOfMemory;
  Reset();
  return err::kOk;
}

void DeclickChannel::Reset() {
  std::fill_n(samples_.get(), span_, 0.0f);
  std::fill_n(changes_.get(), span_, 0.0f);
  at_ = 0;
}

bool DeclickChannel::PreCheck(const DeclickGeometry& g, const DeclickPlans& plans) {
  if (!g.HasBand()) return true;
  const std::uint32_t n = g.window, step = n / 4;
  const std::uint32_t bins = g.band_hi - g.band_lo + 1;
  const std::uint32_t needed = (3 * bins + 3) / 4;
  const std::uint32_t first = g.margin - n / 2 - n;  // the first candidate's reference
  std::uint32_t index = 0;
  for (std::uint32_t k = first; k < g.margin + g.hop; k += step, ++index) {
    float* power = spectra_.get() + std::size_t{index % kSpectra} * bins;
    for (std::uint32_t i = 0; i < n; ++i) fft_a_[i] = plans.hann[i] * samples_[at_ + k + i];
    plans.window_fft.Forward(fft_a_.get(), fft_b_.get(), fft_work_.get());
    for (std::uint32_t b = 0; b < bins; ++b) {
      const float re = fft_b_[2 * (g.band_lo + b)], im = fft_b_[2 * (g.band_lo + b) + 1];
      power[b] = re * re + im * im;
    }
    if (index + 1 < kSpectra) continue;
    const float* before = spectra_.get() + std::size_t{(index + 1) % kSpectra} * bins;
    std::uint32_t count = 0;
    for (std::uint32_t b = 0; b < bins; ++b) count += 0.9f * power[b] > before[b] ? 1u : 0u;
    if (count >= needed) return true;
  }
  return false;
}

void DeclickChannel::Levels(const float* error, double* sums, float ratio) {
  const std::uint32_t half = average_ / 2;
  double* first = first_sums_.get();
  first[0] = 0.0;
  for (std::uint32_t i = 0; i < block_; ++i) first[i + 1] = first[i] + std::fabs(error[i]);
  // The clicks themselves raise the mean, so the frames that stand out
  // against the first mean are counted at the mean's value in the second.
  // Near the block's edges the partial sums are still divided by w.
  sums[0] = 0.0;
  for (std::uint32_t i = 0; i < block_; ++i) {
    const double level = (first[std::min(block_, i + half + 1)] - first[i >= half ? i - half : 0]) / average_;
    const double e = std::fabs(error[i]);
    sums[i + 1] = sums[i] + (e > ratio * level ? level : e);
  }
}

std::uint32_t DeclickChannel::Flags(std::uint32_t n, float ratio) const {
  const std::uint32_t half = average_ / 2;
  std::uint32_t lo = n >= half ? n - half : 0;
  std::uint32_t hi = std::min(block_, n + half + 1);
  // Near the block's edges the partial sum is still divided by w; the
  // silence before and after the selection is no level to measure against,
  // so there the mean is over the selection's frames alone.
  double divisor = average_;
  if (lo < selection_lo_ || hi > selection_hi_) {
    lo = std::max(lo, selection_lo_);
    hi = std::min(hi, selection_hi_);
    divisor = hi - lo;
  }
  const double forward = (forward_sums_[hi] - forward_sums_[lo]) / divisor;
  const double backward = (backward_sums_[hi] - backward_sums_[lo]) / divisor;
  return (std::fabs(fft_a_[n]) > std::max(ratio * forward, kErrorFloor) ? kForward : 0u) |
         (std::fabs(fft_c_[n]) > std::max(ratio * backward, kErrorFloor) ? kBackward : 0u);
}

std::uint32_t DeclickChannel::DetectAndRepair(const DeclickGeometry& g, const DeclickPlans& plans,
                                              const DeclickSettings& s, std::uint32_t from, std::uint32_t to,
                                              std::uint32_t selection_lo, std::uint32_t selection_hi,
                                              std::uint32_t* repaired) {
  if (from >= to || from >= selection_hi) return from;
  selection_lo_ = selection_lo;
  selection_hi_ = selection_hi;
  if (!dsp::EstimatePredictionErrorFilter(samples_.get() + at_, g.block, plans.block_hann.get(), kOrder, filter_,
                                          model_work_.get()))
    return from;
  // The forward prediction error (convolution with the error filter) and
  // the backward one (correlation, the model run back in time), by FFT; the
  // transform is long enough that nothing wraps round. A click raises the
  // forward error from its first frame to `order` frames past its end and
  // the backward error from `order` frames before it to its last frame:
  // where both stand out is the click.
  float* x = fft_a_.get();
  float* h = fft_b_.get();
  float* back = fft_c_.get();
  std::copy_n(samples_.get() + at_, g.block, x);
  std::fill(x + g.block, x + g.fft, 0.0f);
  for (int k = 0; k <= kOrder; ++k) h[k] = static_cast<float>(filter_[k]);
  std::fill(h + kOrder + 1, h + g.fft, 0.0f);
  plans.block_fft.Forward(x, x, fft_work_.get());
  plans.block_fft.Forward(h, h, fft_work_.get());
  back[0] = x[0] * h[0];
  back[1] = x[1] * h[1];
  x[0] *= h[0];
  x[1] *= h[1];
  for (std::uint32_t k = 1; k < g.fft / 2; ++k) {
    const float ar = x[2 * k], ai = x[2 * k + 1], br = h[2 * k], bi = h[2 * k + 1];
    x[2 * k] = ar * br - ai * bi;
    x[2 * k + 1] = ar * bi + ai * br;
    back[2 * k] = ar * br + ai * bi;
    back[2 * k + 1] = ai * br - ar * bi;
  }
  plans.block_fft.Inverse(x, x, fft_work_.get());
  plans.block_fft.Inverse(back, back, fft_work_.get());
  const float scale = 1.0f / static_cast<float>(g.fft);
  for (std::uint32_t i = 0; i < g.block; ++i) {
    x[i] *= scale;
    back[i] *= scale;
  }
  // An error is an outlier when it exceeds threshold x factor / 2 times its
  // local mean.
  const float ratio = s.threshold * s.factor * 0.5f;
  Levels(x, forward_sums_.get(), ratio);
  Levels(back, backward_sums_.get(), ratio);

  // The backward error of a frame looks `order` frames ahead: those must
  // lie in the selection too.
  const std::uint32_t end = std::min(selection_hi >= kOrder ? selection_hi - kOrder : 0, g.block - kOrder - 2);
  std::uint32_t next = from;
  std::uint32_t found = 0;
  for (std::uint32_t n = from; n < to && n < end; ++n) {
    std::uint32_t flags = Flags(n, ratio);
    if (!flags) continue;
    // The run of outliers, then the click inside it: from the first forward
    // outlier to the last backward one.
    std::uint32_t last = n;
    std::uint32_t first_forward = flags & kForward ? n : end, last_backward = flags & kBackward ? n : 0;
    for (std::uint32_t j = n + 1; j < end && j - last <= kJoinGap; ++j) {
      flags = Flags(j, ratio);
      if (!flags) continue;
      last = j;
      if (flags & kForward) first_forward = std::min(first_forward, j);
      if (flags & kBackward) last_backward = j;
    }
    // A click raises both errors; a run that lacks either is a change of
    // sound, not a click, and is left alone.
    const std::uint32_t start = first_forward;
    const std::uint32_t m = last_backward >= first_forward ? last_backward - first_forward + 1 : 0;
    if (m > 0 && m <= g.max_stretch && start + m + 2 * kRepairOrder <= g.block) {
      stretches_[2 * found] = start;
      stretches_[2 * found + 1] = m;
      ++found;
    }
    n = last;
    next = last + 1;
  }
  if (found == 0) return next;
  // The clicks themselves bias the block's model. Once they are rebuilt
  // with it, each stretch is rebuilt again with a model estimated over the
  // `margin` frames around it, which follows the sound more closely (only
  // the known samples around a stretch enter its interpolation).
  for (std::uint32_t k = 0; k < found; ++k) Repair(g, stretches_[2 * k], stretches_[2 * k + 1], kOrder, s.limit);
  for (std::uint32_t k = 0; k < found; ++k) {
    const std::uint32_t start = stretches_[2 * k], m = stretches_[2 * k + 1];
    const std::uint32_t centre = start + m / 2;
    const std::uint32_t around = std::min(centre - std::min(centre, g.margin), g.block - 2 * g.margin);
    if (dsp::EstimatePredictionErrorFilter(samples_.get() + at_ + around, 2 * g.margin, plans.local_hann.get(),
                                           kRepairOrder, filter_, model_work_.get()) &&
        Repair(g, start, m, kRepairOrder, s.limit))
      ++*repaired;
  }
  return next;
}

bool DeclickChannel::Repair(const DeclickGeometry& g, std::uint32_t start, std::uint32_t m, int order, float limit) {
  float* x = samples_.get() + at_;
  float* changes = changes_.get() + at_;
  double* values = gap_values_.get();
  if (!dsp::InterpolateGap(x + start, m, filter_, order, values, gap_work_.get())) return false;
  // The context the model rebuilt the stretch from bounds the repair: no new
  // sample exceeds `limit` times its RMS.
  double sum = 0.0;
  const std::uint32_t span = 2 * kOrder;  // the level's context, whatever the order
  for (std::uint32_t i = start - span; i < start; ++i) sum += double{x[i]} * x[i];
  const std::uint32_t after = std::min(g.block, start + m + span);
  for (std::uint32_t i = start + m; i < after; ++i) sum += double{x[i]} * x[i];
  const double bound = limit * std::sqrt(sum / (span + after - start - m));
  for (std::uint32_t i = 0; i < m; ++i) {
    const auto value = static_cast<float>(std::clamp(values[i], -bound, bound));
    changes[start + i] += value - x[start + i];
    x[start + i] = value;
  }
  return true;
}

void DeclickChannel::Shift(const DeclickGeometry& g) {
  const std::uint32_t moved = kHopsPerRun * g.hop;
  const std::uint32_t kept = g.span - moved;
  std::memmove(samples_.get(), samples_.get() + moved, kept * sizeof(float));
  std::memmove(changes_.get(), changes_.get() + moved, kept * sizeof(float));
  std::fill(changes_.get() + kept, changes_.get() + g.span, 0.0f);
  at_ = 0;
}

}  // namespace tidemark::NS_EFFECT
