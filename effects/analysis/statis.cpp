#include "effects/analysis/statis.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <limits>

#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

// SSE2 belongs to every x86-64 processor: no run-time choice is needed.
#if defined(__SSE2__)
#include <immintrin.h>
#define TIDEMARK_STATIS_SSE2 1
#else
#define TIDEMARK_STATIS_SSE2 0
#endif

namespace tidemark::NS_EFFECT {

namespace {

constexpr float kBelowAll = -std::numeric_limits<float>::infinity();
constexpr float kAboveAll = std::numeric_limits<float>::infinity();

#if TIDEMARK_STATIS_SSE2
// The AVX2 kernels do the same operations as the SSE2 ones, lane for lane
// and in the same order, four doubles to a register: the bits are the same.
// (No fused multiply-add: the project compiles with -ffp-contract=off.)
std::atomic<bool> g_wide_allowed{true};

bool UseAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && g_wide_allowed.load(std::memory_order_relaxed);
}

// Eight lanes over `blocks` runs of eight samples: sum[l] += x, square[l] +=
// w², with w = x when `squared` is the buffer itself.
template <bool kSame>
__attribute__((target("avx2"))) void SumLanesAvx2(const float* buffer, const float* squared, std::uint32_t blocks,
                                                  double* sum, double* square) {
  __m256d s0 = _mm256_loadu_pd(sum), s1 = _mm256_loadu_pd(sum + 4);
  __m256d q0 = _mm256_loadu_pd(square), q1 = _mm256_loadu_pd(square + 4);
  for (std::uint32_t b = 0; b < blocks; ++b) {
    const __m256 x = _mm256_loadu_ps(buffer + 8 * std::size_t{b});
    const __m256d xl = _mm256_cvtps_pd(_mm256_castps256_ps128(x));
    const __m256d xh = _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1));
    s0 = _mm256_add_pd(s0, xl);
    s1 = _mm256_add_pd(s1, xh);
    __m256d wl = xl, wh = xh;
    if constexpr (!kSame) {
      const __m256 w = _mm256_loadu_ps(squared + 8 * std::size_t{b});
      wl = _mm256_cvtps_pd(_mm256_castps256_ps128(w));
      wh = _mm256_cvtps_pd(_mm256_extractf128_ps(w, 1));
    }
    q0 = _mm256_add_pd(q0, _mm256_mul_pd(wl, wl));
    q1 = _mm256_add_pd(q1, _mm256_mul_pd(wh, wh));
  }
  _mm256_storeu_pd(sum, s0);
  _mm256_storeu_pd(sum + 4, s1);
  _mm256_storeu_pd(square, q0);
  _mm256_storeu_pd(square + 4, q1);
}

// The eight lanes' maximum and minimum over `blocks` runs of eight samples.
__attribute__((target("avx2"))) void ExtremeLanesAvx2(const float* buffer, std::uint32_t blocks, float* high,
                                                      float* low) {
  __m256 hi = _mm256_loadu_ps(high), lo = _mm256_loadu_ps(low);
  for (std::uint32_t b = 0; b < blocks; ++b) {
    const __m256 x = _mm256_loadu_ps(buffer + 8 * std::size_t{b});
    hi = _mm256_max_ps(x, hi);
    lo = _mm256_min_ps(x, lo);
  }
  _mm256_storeu_ps(high, hi);
  _mm256_storeu_ps(low, lo);
}

// Frame powers l² + r² of stereo frames, four at a time; gives the frames done.
__attribute__((target("avx2"))) std::uint32_t StereoPowerAvx2(const float* squared, std::uint32_t frames,
                                                              float* power) {
  std::uint32_t i = 0;
  for (; i + 4 <= frames; i += 4) {
    const __m256 x = _mm256_loadu_ps(squared + 2 * std::size_t{i});
    const __m256d a = _mm256_cvtps_pd(_mm256_castps256_ps128(x));  // l0 r0 l1 r1
    const __m256d b = _mm256_cvtps_pd(_mm256_extractf128_ps(x, 1));  // l2 r2 l3 r3
    // hadd gives l0²+r0², l2²+r2², l1²+r1², l3²+r3².
    const __m256d sums = _mm256_permute4x64_pd(_mm256_hadd_pd(_mm256_mul_pd(a, a), _mm256_mul_pd(b, b)), 0xD8);
    _mm_storeu_ps(power + i, _mm256_cvtpd_ps(sums));
  }
  return i;
}

// change = power - slot (as doubles), slot = power, eight at a time; gives
// the frames done.
__attribute__((target("avx2"))) std::uint32_t RingChangeAvx2(const float* power, float* slot, std::uint32_t m,
                                                             double* change) {
  std::uint32_t j = 0;
  for (; j + 8 <= m; j += 8) {
    const __m256 in = _mm256_loadu_ps(power + j), out = _mm256_loadu_ps(slot + j);
    _mm256_storeu_pd(change + j, _mm256_sub_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(in)),
                                               _mm256_cvtps_pd(_mm256_castps256_ps128(out))));
    _mm256_storeu_pd(change + j + 4, _mm256_sub_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(in, 1)),
                                                   _mm256_cvtps_pd(_mm256_extractf128_ps(out, 1))));
    _mm256_storeu_ps(slot + j, in);
  }
  return j;
}
#endif

// The menu text without its trailing "...".
std::string PlainMenuText(TextSlot slot) {
  std::string_view text = UiText(slot);
  while (!text.empty() && text.back() == '.') text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

Error CStatis::Create(std::uint32_t flags, std::uint32_t window, std::uint32_t origin, char weighting,
                      std::uint32_t rate, std::unique_ptr<CStatis>* run) {
  if (window == 0) return err::kSizeLimit;
  StatisWeightingPtr filter;
  if (const Error rc = MakeWeighting(weighting, rate, kMaxChannels, &filter)) return rc;
  std::unique_ptr<float[]> ring;
  if ((flags & statis_flag::kShortRms) && MakeNew(&ring, std::size_t{window})) return err::kOutOfMemory;
  std::unique_ptr<CStatis> made;
  if (TryAlloc([&] { made.reset(new CStatis(flags, window, origin, std::move(ring), std::move(filter))); }))
    return err::kOutOfMemory;
  *run = std::move(made);
  return err::kOk;
}

CStatis::CStatis(std::uint32_t flags, std::uint32_t window, std::uint32_t origin, std::unique_ptr<float[]> ring,
                 StatisWeightingPtr weighting)
    : flags_(flags),
      window_(window),
      origin_(origin),
      weighting_(std::move(weighting)),
      ring_(std::move(ring)),
      recompute_every_(std::uint64_t{RecomputeWindows(window)} * window) {
  Reset();
}

void CStatis::Reset() {
  result_ = StatisResult{};
  for (StatisResult::Channel& c : result_.channel) {
    c.maximum = kBelowAll;
    c.minimum = kAboveAll;
  }
  sum_lanes_ = {};
  square_lanes_ = {};
  channels_ = 0;
  if (ring_) std::fill(ring_.get(), ring_.get() + window_, 0.0f);
  ring_at_ = 0;
  running_ = 0;
  partial_ = 0;
  in_group_ = 0;
  largest_ = -1;
  since_recompute_ = 0;
  recomputes_ = 0;
  if (weighting_) weighting_->Reset();
}

void CStatis::AllowWideVectors(bool allowed) {
#if TIDEMARK_STATIS_SSE2
  g_wide_allowed.store(allowed, std::memory_order_relaxed);
#else
  (void)allowed;
#endif
}

std::string CStatis::GetName() const { return PlainMenuText(text::kMenuExtrasStatistics); }

Error CStatis::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels < 1 || channels > kMaxChannels || (channels_ != 0 && channels != channels_)) return err::kSizeLimit;
  channels_ = channels;
  mask &= (1u << channels) - 1;
  result_.mask |= mask;
  const bool sums = (flags_ & (statis_flag::kSums | statis_flag::kSquares)) != 0;
  const bool squares = (flags_ & (statis_flag::kSquares | statis_flag::kShortRms)) != 0;
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t n = std::min(kChunkFrames, frames - done);
    const float* chunk = buffer + std::size_t{done} * channels;
    const float* squared = chunk;
    if (weighting_ && squares) {
      // Every channel passes the filter (so its state follows the signal);
      // only the masked ones are measured.
      std::copy(chunk, chunk + std::size_t{n} * channels, weighted_.data());
      weighting_->Filter(weighted_.data(), n, channels);
      squared = weighted_.data();
    }
    if (mask != 0) {
      if (sums) MeasureSums(chunk, squared, n * channels);
      if (flags_ & statis_flag::kExtremes) MeasureExtremes(chunk, n, mask);
    }
    if (flags_ & statis_flag::kShortRms) MeasureWindow(squared, n, channels, mask);
    result_.frames += n;
    done += n;
  }
  return err::kOk;
}

void CStatis::MeasureSums(const float* buffer, const float* squared, std::uint32_t samples) {
  // Sample s of the stretch (interleaved, counted from its start) always
  // lands in lane s % kLanes, whatever the blocks; with one or two channels
  // a lane holds one channel. Unmasked channels add up too and are dropped.
  Lanes sum = sum_lanes_;
  Lanes square = square_lanes_;
  const std::uint64_t base = std::uint64_t{result_.frames} * channels_;
  const auto add = [&](std::uint32_t k, std::uint32_t lane) {
    const double q = squared[k];
    sum[lane] += buffer[k];
    square[lane] += q * q;
  };
  std::uint32_t k = 0;
  for (; k < samples && (base + k) % kLanes != 0; ++k) add(k, static_cast<std::uint32_t>((base + k) % kLanes));
#if TIDEMARK_STATIS_SSE2
  static_assert(kLanes == 8);
  if (UseAvx2() && k + kLanes <= samples) {
    const std::uint32_t blocks = (samples - k) / kLanes;
    if (squared == buffer)
      SumLanesAvx2<true>(buffer + k, squared + k, blocks, sum.data(), square.data());
    else
      SumLanesAvx2<false>(buffer + k, squared + k, blocks, sum.data(), square.data());
    k += blocks * kLanes;
  }
  // The same additions, lane for lane, two lanes to a register.
  __m128d s[4], q[4];
  for (int r = 0; r < 4; ++r) {
    s[r] = _mm_loadu_pd(&sum[2 * r]);
    q[r] = _mm_loadu_pd(&square[2 * r]);
  }
  for (; k + kLanes <= samples; k += kLanes) {
    const __m128 x[2] = {_mm_loadu_ps(buffer + k), _mm_loadu_ps(buffer + k + 4)};
    const __m128 w[2] = {_mm_loadu_ps(squared + k), _mm_loadu_ps(squared + k + 4)};
    for (int h = 0; h < 2; ++h) {
      const __m128d xl = _mm_cvtps_pd(x[h]), xh = _mm_cvtps_pd(_mm_movehl_ps(x[h], x[h]));
      const __m128d wl = _mm_cvtps_pd(w[h]), wh = _mm_cvtps_pd(_mm_movehl_ps(w[h], w[h]));
      s[2 * h] = _mm_add_pd(s[2 * h], xl);
      s[2 * h + 1] = _mm_add_pd(s[2 * h + 1], xh);
      q[2 * h] = _mm_add_pd(q[2 * h], _mm_mul_pd(wl, wl));
      q[2 * h + 1] = _mm_add_pd(q[2 * h + 1], _mm_mul_pd(wh, wh));
    }
  }
  for (int r = 0; r < 4; ++r) {
    _mm_storeu_pd(&sum[2 * r], s[r]);
    _mm_storeu_pd(&square[2 * r], q[r]);
  }
#else
  for (; k + kLanes <= samples; k += kLanes)
    for (std::uint32_t lane = 0; lane < kLanes; ++lane) add(k + lane, lane);
#endif
  for (std::uint32_t lane = 0; k < samples; ++k, ++lane) add(k, lane);
  sum_lanes_ = sum;
  square_lanes_ = square;
}

void CStatis::MeasureExtremes(const float* buffer, std::uint32_t frames, std::uint32_t mask) {
  // The chunk's extremes first, without branches (lane l holds channel
  // l % channels); only a new extreme is then looked for, and the first
  // frame holding it kept.
  const std::uint16_t channels = channels_;
  const std::uint32_t samples = frames * channels;
  std::array<float, kLanes> high, low;
  high.fill(kBelowAll);
  low.fill(kAboveAll);
  std::uint32_t k = 0;
#if TIDEMARK_STATIS_SSE2
  if (UseAvx2() && k + kLanes <= samples) {
    const std::uint32_t blocks = samples / kLanes;
    ExtremeLanesAvx2(buffer, blocks, high.data(), low.data());
    k = blocks * kLanes;
  }
  // maxps(x, m) is m < x ? x : m, as std::max(m, x): a NaN sample is passed over.
  __m128 hi[2] = {_mm_loadu_ps(high.data()), _mm_loadu_ps(high.data() + 4)};
  __m128 lo[2] = {_mm_loadu_ps(low.data()), _mm_loadu_ps(low.data() + 4)};
  for (; k + kLanes <= samples; k += kLanes) {
    for (int h = 0; h < 2; ++h) {
      const __m128 x = _mm_loadu_ps(buffer + k + 4 * h);
      hi[h] = _mm_max_ps(x, hi[h]);
      lo[h] = _mm_min_ps(x, lo[h]);
    }
  }
  for (int h = 0; h < 2; ++h) {
    _mm_storeu_ps(high.data() + 4 * h, hi[h]);
    _mm_storeu_ps(low.data() + 4 * h, lo[h]);
  }
#else
  for (; k + kLanes <= samples; k += kLanes) {
    for (std::uint32_t lane = 0; lane < kLanes; ++lane) {
      high[lane] = std::max(high[lane], buffer[k + lane]);
      low[lane] = std::min(low[lane], buffer[k + lane]);
    }
  }
#endif
  for (std::uint32_t lane = 0; k < samples; ++k, ++lane) {
    high[lane] = std::max(high[lane], buffer[k]);
    low[lane] = std::min(low[lane], buffer[k]);
  }
  const std::uint32_t first = origin_ + result_.frames;
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (!(mask & (1u << c))) continue;
    float top = kBelowAll, bottom = kAboveAll;
    for (std::uint32_t lane = c; lane < kLanes; lane += channels) {
      top = std::max(top, high[lane]);
      bottom = std::min(bottom, low[lane]);
    }
    StatisResult::Channel& ch = result_.channel[c];
    if (top > ch.maximum) {
      std::uint32_t at = 0;
      while (buffer[std::size_t{at} * channels + c] != top) ++at;
      ch.maximum = top;
      ch.maximum_frame = first + at;
    }
    if (bottom < ch.minimum) {
      std::uint32_t at = 0;
      while (buffer[std::size_t{at} * channels + c] != bottom) ++at;
      ch.minimum = bottom;
      ch.minimum_frame = first + at;
    }
  }
}

void CStatis::MeasureWindow(const float* squared, std::uint32_t frames, std::uint16_t channels,
                            std::uint32_t mask) {
  // The ring holds each frame's power as a float; the running sum adds
  // exactly what the ring gains and loses, so a recomputation only removes
  // the rounding of the additions.
  if (channels == 2 && mask == 3) {
    std::uint32_t i = 0;
#if TIDEMARK_STATIS_SSE2
    if (UseAvx2()) i = StereoPowerAvx2(squared, frames, power_.data());
    // Two frames at a time, rounded exactly as below.
    for (; i + 2 <= frames; i += 2) {
      const __m128 x = _mm_loadu_ps(squared + 2 * i);
      const __m128d a = _mm_cvtps_pd(x), b = _mm_cvtps_pd(_mm_movehl_ps(x, x));
      const __m128d aa = _mm_mul_pd(a, a), bb = _mm_mul_pd(b, b);
      const __m128d sums = _mm_add_pd(_mm_unpacklo_pd(aa, bb), _mm_unpackhi_pd(aa, bb));
      _mm_storel_pi(reinterpret_cast<__m64*>(power_.data() + i), _mm_cvtpd_ps(sums));
    }
#endif
    for (; i < frames; ++i) {
      const double l = squared[2 * i], r = squared[2 * i + 1];
      power_[i] = static_cast<float>(l * l + r * r);
    }
  } else if (mask == 0) {
    std::fill(power_.begin(), power_.begin() + frames, 0.0f);
  } else {
    const std::uint16_t c = mask & 1 ? 0 : 1;  // the one channel measured
    for (std::uint32_t i = 0; i < frames; ++i) {
      const double x = squared[std::size_t{i} * channels + c];
      power_[i] = static_cast<float>(x * x);
    }
  }
  const std::uint32_t first = origin_ + result_.frames;
  for (std::uint32_t i = 0; i < frames;) {
    // Up to the next recomputation: the ring takes the powers, and what
    // each frame changes the window by goes to change_.
    const auto n =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(frames - i, recompute_every_ - since_recompute_));
    for (std::uint32_t k = 0; k < n;) {
      const std::uint32_t m = std::min(n - k, window_ - ring_at_);
      float* slot = ring_.get() + ring_at_;
      const float* power = power_.data() + i + k;
      double* change = change_.data() + i + k;
      std::uint32_t j = 0;
#if TIDEMARK_STATIS_SSE2
      if (UseAvx2()) j = RingChangeAvx2(power, slot, m, change);
      for (; j + 4 <= m; j += 4) {
        const __m128 in = _mm_loadu_ps(power + j), out = _mm_loadu_ps(slot + j);
        _mm_storeu_pd(change + j, _mm_sub_pd(_mm_cvtps_pd(in), _mm_cvtps_pd(out)));
        _mm_storeu_pd(change + j + 2,
                      _mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(in, in)), _mm_cvtps_pd(_mm_movehl_ps(out, out))));
        _mm_storeu_ps(slot + j, in);
      }
#endif
      for (; j < m; ++j) {
        change[j] = static_cast<double>(power[j]) - static_cast<double>(slot[j]);
        slot[j] = power[j];
      }
      ring_at_ += m;
      if (ring_at_ == window_) ring_at_ = 0;
      k += m;
    }
    since_recompute_ += n;
    const bool recompute = since_recompute_ == recompute_every_;
    // The window ending at a recomputation is compared once exact.
    AdvanceWindow(change_.data() + i, n, first + i, recompute ? n - 1 : n);
    i += n;
    if (recompute) {
      double exact = 0;
      for (std::uint32_t k = 0; k < window_; ++k) exact += ring_[k];
      since_recompute_ = 0;
      running_ = exact;
      partial_ = 0;
      in_group_ = 0;
      ++recomputes_;
      if (exact > largest_) {
        largest_ = exact;
        result_.largest_window_end = first + i - 1;
      }
    }
  }
  result_.largest_window_sum = largest_;
}

void CStatis::AdvanceWindow(const double* change, std::uint32_t n, std::uint32_t first, std::uint32_t compared) {
  // The running sum advances in groups of four frames counted from the last
  // recomputation: within a group the changes add up from 0 and the window
  // is the group's base plus that partial sum; the base moves once per
  // group. The same frames give the same sums however the blocks fall.
  double base = running_, partial = partial_, largest = largest_;
  std::uint32_t group = in_group_;
  std::uint32_t at = 0xFFFFFFFFu;  // a new largest window in this stretch
  const auto consider = [&](double window, std::uint32_t k) {
    if (window > largest && k < compared) {
      largest = window;
      at = k;
    }
  };
  const auto single = [&](std::uint32_t k) {
    partial += change[k];
    consider(base + partial, k);
    if (++group == 4) {
      base += partial;
      partial = 0;
      group = 0;
    }
  };
  std::uint32_t k = 0;
  for (; k < n && group != 0; ++k) single(k);
  for (; k + 4 <= n; k += 4) {
    const double a = change[k];
    const double b = a + change[k + 1];
    const double c = b + change[k + 2];
    const double d = c + change[k + 3];
    // Adding the base keeps the order, so the group's largest window is the
    // base plus its largest partial sum: one comparison for most groups.
    if (base + std::max(std::max(a, b), std::max(c, d)) > largest) {
      consider(base + a, k);
      consider(base + b, k + 1);
      consider(base + c, k + 2);
      consider(base + d, k + 3);
    }
    base += d;
  }
  for (; k < n; ++k) single(k);
  running_ = base;
  partial_ = partial;
  in_group_ = group;
  if (at != 0xFFFFFFFFu) {
    largest_ = largest;
    result_.largest_window_end = first + at;
  }
}

StatisResult CStatis::result() const {
  StatisResult out = result_;
  // Lanes combine in a fixed order: c, c + channels, ... pairwise.
  const std::uint16_t channels = channels_ ? channels_ : 1;
  for (std::uint16_t c = 0; c < kMaxChannels; ++c) {
    double sum = 0, square = 0;
    if (c < channels) {
      // Channel c holds lanes c, c + channels, ...: added pairwise.
      std::array<double, kLanes> s = {}, q = {};
      std::uint32_t count = 0;
      for (std::uint32_t lane = c; lane < kLanes; lane += channels, ++count) {
        s[count] = sum_lanes_[lane];
        q[count] = square_lanes_[lane];
      }
      for (; count > 1; count /= 2)
        for (std::uint32_t j = 0; j < count / 2; ++j) {
          s[j] = s[2 * j] + s[2 * j + 1];
          q[j] = q[2 * j] + q[2 * j + 1];
        }
      sum = s[0];
      square = q[0];
    }
    const bool measured = out.frames > 0 && (out.mask & (1u << c));
    out.channel[c].sum = measured && (flags_ & statis_flag::kSums) ? sum : 0;
    out.channel[c].sum_of_squares = measured && (flags_ & statis_flag::kSquares) ? square : 0;
    if (!measured || !(flags_ & statis_flag::kExtremes)) {
      out.channel[c].maximum = out.channel[c].minimum = 0;
      out.channel[c].maximum_frame = out.channel[c].minimum_frame = 0;
    }
  }
  if (!(flags_ & statis_flag::kShortRms)) out.largest_window_sum = 0;
  return out;
}

std::uint32_t CStatis::MeasuredChannels() const {
  return static_cast<std::uint32_t>(std::popcount(result_.mask));
}

double CStatis::Peak(std::uint32_t* frame) const {
  const StatisResult r = result();
  double peak = 0;
  std::uint32_t at = origin_;
  bool found = false;
  const auto consider = [&](double value, std::uint32_t position) {
    if (!found || value > peak || (value == peak && position < at)) {
      peak = value;
      at = position;
      found = true;
    }
  };
  for (std::uint16_t c = 0; c < kMaxChannels; ++c) {
    if (!(r.mask & (1u << c)) || r.frames == 0) continue;
    consider(std::fabs(double{r.channel[c].maximum}), r.channel[c].maximum_frame);
    consider(std::fabs(double{r.channel[c].minimum}), r.channel[c].minimum_frame);
  }
  if (frame) *frame = at;
  return peak;
}

double CStatis::Rms() const {
  const double n = static_cast<double>(result_.frames) * MeasuredChannels();
  if (n == 0) return 0;
  const StatisResult r = result();
  double squares = 0;
  for (std::uint16_t c = 0; c < kMaxChannels; ++c)
    if (r.mask & (1u << c)) squares += r.channel[c].sum_of_squares;
  return std::sqrt(squares / (n < 2 ? n : n - 1));
}

double CStatis::ShortRmsPeak(std::uint32_t* frame) const {
  if (frame) *frame = result_.frames > 0 ? result_.largest_window_end : origin_;
  const std::uint32_t channels = MeasuredChannels();
  if (result_.frames == 0 || channels == 0) return 0;
  return std::sqrt(std::max(0.0, result_.largest_window_sum) / (static_cast<double>(window_) * channels));
}

}  // namespace tidemark::NS_EFFECT
