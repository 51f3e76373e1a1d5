#include "dsp/resample/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include "dsp/design/kaiser.h"
#include "dsp/fir/kaiser_lowpass.h"
#include "dsp/resample/internal/resample_kernels.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {

namespace {

using namespace resample_detail;

constexpr std::uint32_t kMaxPhases = 2046;
constexpr double kDesignMarginDb = 10.0;
constexpr double kBestStopbandDb = 160.0;
constexpr double kPi = 3.14159265358979323846;

// Kaiser's length estimate for `attenuation` dB over a transition of
// `delta` (a fraction of the sampling rate).
double KaiserTaps(double attenuation, double delta) { return (attenuation - 7.95) / (14.36 * delta); }

std::uint32_t RoundUpTo8(double taps) {
  const auto t = static_cast<std::uint32_t>(std::max(8.0, std::ceil(taps - 1e-9)));
  return (t + 7u) & ~7u;
}

// A Kaiser-windowed sinc cut at `cutoff` cycles per input frame, of support
// [-taps / 2, taps / 2], at `t` input frames from its centre.
double WindowedSinc(double t, double cutoff, double half, double beta, double i0_beta) {
  const double r = t / half;
  if (r <= -1.0 || r >= 1.0) return 0.0;
  const double x = 2.0 * cutoff * t;
  const double sinc = std::abs(x) < 1e-12 ? 1.0 : std::sin(kPi * x) / (kPi * x);
  return 2.0 * cutoff * sinc * BesselI0(beta * std::sqrt(1.0 - r * r)) / i0_beta;
}

// Reads a non-finite sample as 0.
inline float Finite(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return (bits & 0x7F800000u) == 0x7F800000u ? 0.0f : v;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// The shared polyphase machinery; the two converters differ in their design.
class PolyphaseConverter : public CResample {
 public:
  ResampleOptions GetOptions() const override { return options_; }
  std::uint32_t GetLatency() const override { return taps_ / 2 + prefilter_order_ / 2; }
  std::uint32_t GetInputBlock() const override { return block_in_; }
  std::uint16_t GetChannels() const override { return channels_; }
  std::uint32_t GetOutputBlock() const override { return block_out_; }
  float* const* GetInputPointers() override { return input_; }
  void GetInputPointersPair(float** first, float** second) override {
    *first = input_[0];
    *second = channels_ > 1 ? input_[1] : nullptr;
  }
  std::uint32_t GetOutputLatency() const override { return output_latency_; }
  void Reset() override;
  std::uint32_t Process(float* output, std::uint32_t input_frames) override;

  const ResampleDesign& design() const { return design_; }

 protected:
  // Everything but the kernel's cut-off and length and the pre-filter.
  struct Plan {
    double cutoff = 0.5;          // kernel cut-off, cycles per input frame
    std::uint32_t taps = 8;       // multiple of 8
    std::uint32_t phases = 1;     // stored phases
    bool interpolated = false;
    double prefilter_cutoff = 0;  // 0: none
    std::uint32_t prefilter_order = 0;
  };
  Error Setup(std::uint32_t output_rate, std::uint32_t input_rate, std::uint16_t channels, std::uint32_t block_ms,
              const ResampleOptions& options, const Plan& plan);
  double attenuation_ = 130.0;  // design attenuation, margin included
  double bandwidth_ = 0.87;

 private:
  template <typename Coefficient>
  Error BuildTables(const Plan& plan);
  void Prefilter(std::uint16_t c, std::uint32_t frames);
  float Dot(std::size_t row, const float* x) const {
    return use_double_ ? static_cast<float>(dot_double_(table_d_.data() + row * taps_, x, taps_))
                       : dot_float_(table_f_.data() + row * taps_, x, taps_);
  }
  // Both channels of a stereo converter at once.
  void DotPair(std::size_t row, std::size_t first, float* y0, float* y1) const {
    const float* x0 = line_[0].data() + first;
    const float* x1 = line_[1].data() + first;
    if (use_double_) {
      double a, b;
      dot_double_pair_(table_d_.data() + row * taps_, x0, x1, taps_, &a, &b);
      *y0 = static_cast<float>(a);
      *y1 = static_cast<float>(b);
    } else {
      dot_float_pair_(table_f_.data() + row * taps_, x0, x1, taps_, y0, y1);
    }
  }

  ResampleOptions options_;
  ResampleDesign design_;
  std::uint32_t in_ = 1, out_ = 1;  // I', O'
  std::uint16_t channels_ = 1;
  std::uint32_t taps_ = 8;
  std::uint32_t phases_ = 1;
  bool interpolated_ = false;
  std::uint32_t prefilter_order_ = 0;  // even; 0 without a pre-filter
  std::uint32_t prefilter_taps_ = 0;   // stored, a multiple of 8
  std::uint32_t block_in_ = 1, block_out_ = 1;
  std::uint32_t output_latency_ = 0;
  bool use_double_ = false;
  DotFloatFn dot_float_ = DotFloatPortable;
  DotDoubleFn dot_double_ = DotDoublePortable;
  DotFloatPairFn dot_float_pair_ = DotFloatPairPortable;
  DotDoublePairFn dot_double_pair_ = DotDoublePairPortable;

  std::vector<float> table_f_;   // (phases [+ 1]) rows of taps_
  std::vector<double> table_d_;
  std::vector<float> pre_f_;     // the pre-filter, reversed, zero-padded in front
  std::vector<double> pre_d_;
  // Per channel: the kernel's line (taps_ of history, then the block) and,
  // with a pre-filter, the raw input line (prefilter_taps_ - 1 of history,
  // then the block).
  std::vector<float> line_[2];
  std::vector<float> raw_[2];
  float* input_[2] = {nullptr, nullptr};
  std::int64_t consumed_ = 0;  // kernel-line frames consumed so far
  std::int64_t next_ = 0;      // next output frame
};

Error PolyphaseConverter::Setup(std::uint32_t output_rate, std::uint32_t input_rate, std::uint16_t channels,
                                std::uint32_t block_ms, const ResampleOptions& options, const Plan& plan) {
  const std::uint32_t g = std::gcd(output_rate, input_rate);
  in_ = input_rate / g;
  out_ = output_rate / g;
  channels_ = channels;
  options_ = options;
  taps_ = plan.taps;
  phases_ = plan.phases;
  interpolated_ = plan.interpolated;
  prefilter_order_ = plan.prefilter_order;
  prefilter_taps_ = prefilter_order_ ? RoundUpTo8(prefilter_order_ + 1) : 0;
  use_double_ = options.precision != 0 || options.quality >= 2;
  const bool vector = !(options.flags & kResampleNoVector) && HasAvx2();
  dot_float_ = vector ? DotFloatAvx2 : DotFloatPortable;
  dot_double_ = vector ? DotDoubleAvx2 : DotDoublePortable;
  dot_float_pair_ = vector ? DotFloatPairAvx2 : DotFloatPairPortable;
  dot_double_pair_ = vector ? DotDoublePairAvx2 : DotDoublePairPortable;

  // block ms x I / 1000, to the nearest multiple of I', at least I'.
  const double wanted = static_cast<double>(block_ms) * input_rate / 1000.0;
  const double blocks = std::max(1.0, std::floor(wanted / in_ + 0.5));
  const std::uint64_t block_in = static_cast<std::uint64_t>(blocks) * in_;
  const std::uint64_t block_out = block_in / in_ * out_;
  if (block_in > 0x4000000u || block_out > 0x4000000u) return err::kSizeLimit;
  block_in_ = static_cast<std::uint32_t>(block_in);
  block_out_ = static_cast<std::uint32_t>(block_out);
  const std::uint64_t latency = GetLatency();
  // Rounded down, so that no block gives more than GetOutputBlock() frames.
  output_latency_ = static_cast<std::uint32_t>(latency * out_ / in_);

  const Error rc = TryAlloc([&] {
    for (std::uint16_t c = 0; c < channels_; ++c) {
      line_[c].assign(std::size_t{taps_} + block_in_, 0.0f);
      if (prefilter_taps_) raw_[c].assign(std::size_t{prefilter_taps_} - 1 + block_in_, 0.0f);
      input_[c] = prefilter_taps_ ? raw_[c].data() + prefilter_taps_ - 1 : line_[c].data() + taps_;
    }
  });
  if (rc) return rc;
  if (const Error tr = use_double_ ? BuildTables<double>(plan) : BuildTables<float>(plan)) return tr;

  design_.reduced_input = in_;
  design_.reduced_output = out_;
  design_.taps = taps_;
  design_.phases = phases_;
  design_.interpolated = interpolated_;
  design_.prefilter_taps = prefilter_taps_;
  design_.vector_loop = vector;
  design_.double_precision = use_double_;
  Reset();
  return err::kOk;
}

template <typename Coefficient>
Error PolyphaseConverter::BuildTables(const Plan& plan) {
  const std::size_t rows = phases_ + (interpolated_ ? 1u : 0u);
  std::vector<Coefficient> table;
  std::vector<Coefficient> pre;
  std::vector<double> pre_taps;
  if (const Error rc = TryAlloc([&] {
        table.resize(rows * taps_);
        pre.resize(prefilter_taps_);
        pre_taps.resize(prefilter_order_ ? prefilter_order_ + 1 : 0);
      }))
    return rc;
  const double beta = KaiserBeta(attenuation_);
  const double i0_beta = BesselI0(beta);
  const double half = taps_ / 2.0;
  for (std::size_t f = 0; f < rows; ++f) {
    // Row f weighs the history for an output f / phases of a frame past the
    // frame at the centre; each row sums to 1 so that DC passes unchanged.
    const double u = static_cast<double>(f) / phases_;
    double sum = 0.0;
    std::vector<double> row(taps_);
    for (std::uint32_t i = 0; i < taps_; ++i) {
      row[i] = WindowedSinc(u + half - 1.0 - i, plan.cutoff, half, beta, i0_beta);
      sum += row[i];
    }
    for (std::uint32_t i = 0; i < taps_; ++i) table[f * taps_ + i] = static_cast<Coefficient>(row[i] / sum);
  }
  if (prefilter_order_) {
    DesignKaiserLowpass(prefilter_order_, plan.prefilter_cutoff, attenuation_, pre_taps.data());
    // Reversed so that the dot product runs forward over the history; the
    // padding sits in front, over the oldest frames.
    for (std::uint32_t j = 0; j <= prefilter_order_; ++j)
      pre[prefilter_taps_ - 1 - j] = static_cast<Coefficient>(pre_taps[j]);
  }
  if constexpr (std::is_same_v<Coefficient, double>) {
    table_d_ = std::move(table);
    pre_d_ = std::move(pre);
  } else {
    table_f_ = std::move(table);
    pre_f_ = std::move(pre);
  }
  return err::kOk;
}

void PolyphaseConverter::Reset() {
  for (std::uint16_t c = 0; c < channels_; ++c) {
    std::fill(line_[c].begin(), line_[c].end(), 0.0f);
    std::fill(raw_[c].begin(), raw_[c].end(), 0.0f);
  }
  consumed_ = 0;
  next_ = 0;
}

void PolyphaseConverter::Prefilter(std::uint16_t c, std::uint32_t frames) {
  const float* raw = raw_[c].data();
  float* dst = line_[c].data() + taps_;
  for (std::uint32_t j = 0; j < frames; ++j) {
    dst[j] = use_double_ ? static_cast<float>(dot_double_(pre_d_.data(), raw + j, prefilter_taps_))
                         : dot_float_(pre_f_.data(), raw + j, prefilter_taps_);
  }
  // Keep the newest prefilter_taps_ - 1 raw frames as the next history.
  const std::size_t keep = prefilter_taps_ - 1;
  std::memmove(raw_[c].data(), raw_[c].data() + frames, keep * sizeof(float));
}

std::uint32_t PolyphaseConverter::Process(float* output, std::uint32_t input_frames) {
  input_frames = std::min(input_frames, block_in_);
  for (std::uint16_t c = 0; c < channels_; ++c) {
    float* in = input_[c];
    for (std::uint32_t j = 0; j < input_frames; ++j) in[j] = Finite(in[j]);
    if (prefilter_taps_) Prefilter(c, input_frames);
  }
  // The line holds kernel-line frames [base, consumed_ + input_frames).
  const std::int64_t base = consumed_ - taps_;
  const std::int64_t available = consumed_ + input_frames;
  const std::int64_t half = taps_ / 2;
  const std::int64_t delay = prefilter_order_ / 2;
  std::uint32_t written = 0;
  for (;; ++next_) {
    // Position of output next_ on the kernel line, in 1/O' frames.
    const std::int64_t pos = (next_ - output_latency_) * std::int64_t{in_} + delay * std::int64_t{out_};
    const std::int64_t m = FloorDiv(pos, out_);
    if (m + half > available - 1) break;
    const std::int64_t f = pos - m * out_;
    const std::size_t first = static_cast<std::size_t>(m - half + 1 - base);
    if (!interpolated_) {
      const std::size_t row = static_cast<std::size_t>(f);
      if (channels_ == 2)
        DotPair(row, first, &output[0], &output[1]);
      else
        output[0] = Dot(row, line_[0].data() + first);
    } else {
      // Between stored phases: linear in the phase.
      const double u = static_cast<double>(f) * phases_ / out_;
      const auto row = static_cast<std::size_t>(u);
      const auto w = static_cast<float>(u - static_cast<double>(row));
      for (std::uint16_t c = 0; c < channels_; ++c) {
        const float a = Dot(row, line_[c].data() + first);
        const float b = Dot(row + 1, line_[c].data() + first);
        output[c] = a + w * (b - a);
      }
    }
    output += channels_;
    ++written;
  }
  consumed_ = available;
  for (std::uint16_t c = 0; c < channels_; ++c)
    std::memmove(line_[c].data(), line_[c].data() + input_frames, std::size_t{taps_} * sizeof(float));
  return written;
}

bool ValidArguments(std::uint32_t output_rate, std::uint32_t input_rate, std::uint16_t channels,
                    std::uint32_t block_ms) {
  return output_rate >= 1 && input_rate >= 1 && output_rate <= 0x7FFFFFFFu && input_rate <= 0x7FFFFFFFu &&
         channels >= 1 && channels <= 2 && block_ms >= 1;
}

double DesignAttenuation(const ResampleOptions& options) {
  double a = std::clamp<double>(options.stopband_db, 40.0, 200.0);
  if (options.quality >= 2) a = std::max(a, kBestStopbandDb);
  return a + kDesignMarginDb;
}

double TransitionHz(const ResampleOptions& options) {
  return options.transition_hz ? static_cast<double>(options.transition_hz) : 6000.0;
}

class CResampleStd final : public PolyphaseConverter {
 public:
  Error Init(std::uint32_t output_rate, std::uint32_t input_rate, std::uint16_t channels, std::uint32_t block_ms,
             const ResampleOptions& options) override {
    if (!ValidArguments(output_rate, input_rate, channels, block_ms)) return err::kSizeLimit;
    const std::uint32_t g = std::gcd(output_rate, input_rate);
    const std::uint32_t o = output_rate / g;
    attenuation_ = DesignAttenuation(options);
    bandwidth_ = ResampleBandwidth(options.quality);
    const double i_rate = input_rate;
    const double lower = std::min(output_rate, input_rate);
    Plan plan;
    plan.cutoff = 0.5;
    // The transition width alone, then what the pass band asks for: the
    // band up to bandwidth x the lower Nyquist frequency must pass, its
    // images from I - that frequency on must not.
    double taps = std::floor(KaiserTaps(attenuation_, std::min(TransitionHz(options) / i_rate, 0.5)) + 0.5);
    if (bandwidth_ > 0) taps = std::max(taps, KaiserTaps(attenuation_, 1.0 - bandwidth_ * lower / i_rate));
    plan.taps = RoundUpTo8(taps);
    plan.phases = std::min(o, kMaxPhases);
    plan.interpolated = o > kMaxPhases;
    if (output_rate < input_rate) {
      // Cut at the output's Nyquist frequency; its transition band is
      // centred there, as wide as the pass band leaves room for.
      const double delta_out = bandwidth_ > 0 ? std::min(TransitionHz(options) / lower, 1.0 - bandwidth_)
                                              : std::min(TransitionHz(options) / lower, 0.5);
      const double delta = delta_out * lower / i_rate;
      plan.prefilter_cutoff = 0.5 * lower / i_rate;
      auto order = static_cast<std::uint32_t>(std::ceil(KaiserTaps(attenuation_, delta)));
      plan.prefilter_order = std::max<std::uint32_t>(2, (order + 1u) & ~1u);
    }
    return Setup(output_rate, input_rate, channels, block_ms, options, plan);
  }
};

class CResampleDecim final : public PolyphaseConverter {
 public:
  Error Init(std::uint32_t output_rate, std::uint32_t input_rate, std::uint16_t channels, std::uint32_t block_ms,
             const ResampleOptions& options) override {
    if (!ValidArguments(output_rate, input_rate, channels, block_ms)) return err::kSizeLimit;
    const std::uint32_t g = std::gcd(output_rate, input_rate);
    const std::uint32_t o = output_rate / g;
    if (o >= 9) return err::kSizeLimit;
    attenuation_ = DesignAttenuation(options);
    bandwidth_ = ResampleBandwidth(options.quality);
    const double i_rate = input_rate;
    const double lower = std::min(output_rate, input_rate);
    // One low-pass at the lower Nyquist frequency does both the
    // anti-aliasing and the interpolation; its transition band (relative to
    // the lower rate) follows the same rules as CResampleStd's.
    double delta_lower = std::min(TransitionHz(options) / lower, 0.5);
    if (bandwidth_ > 0) delta_lower = std::min(delta_lower, 1.0 - bandwidth_);
    Plan plan;
    plan.cutoff = 0.5 * lower / i_rate;
    plan.taps = RoundUpTo8(KaiserTaps(attenuation_, delta_lower * lower / i_rate));
    plan.phases = o;
    return Setup(output_rate, input_rate, channels, block_ms, options, plan);
  }
};

}  // namespace

ResampleOptions ResampleOptionsFrom(std::int32_t quality, std::int32_t stopband_db, std::int32_t transition_hz) {
  ResampleOptions options;
  if (quality >= 0 && quality <= 2) options.quality = static_cast<std::uint16_t>(quality);
  if (stopband_db >= 40 && stopband_db <= 200) options.stopband_db = static_cast<std::uint16_t>(stopband_db);
  if (transition_hz >= 100 && transition_hz <= 100000) options.transition_hz = static_cast<std::uint32_t>(transition_hz);
  return options;
}

double ResampleBandwidth(std::uint16_t quality) {
  switch (quality) {
    case 0: return 0.0;
    case 1: return 0.87;
    default: return 0.95;
  }
}

ResamplerKind ResamplerKindFor(std::uint32_t output_rate, std::uint32_t input_rate) {
  if (output_rate == input_rate) return ResamplerKind::kNone;
  const std::uint32_t g = std::gcd(output_rate, input_rate);
  return output_rate / g < 9 ? ResamplerKind::kDecim : ResamplerKind::kStd;
}

Error MakeResampler(std::uint32_t output_rate, std::uint32_t input_rate, std::uint16_t channels,
                    std::uint32_t block_ms, const ResampleOptions& options, std::unique_ptr<CResample>* out) {
  out->reset();
  if (output_rate == 0 || input_rate == 0) return err::kSizeLimit;
  std::unique_ptr<CResample> made;
  switch (ResamplerKindFor(output_rate, input_rate)) {
    case ResamplerKind::kNone: return err::kOk;
    case ResamplerKind::kDecim:
      if (const Error rc = MakeNew<CResampleDecim>(&made)) return rc;
      break;
    case ResamplerKind::kStd:
      if (const Error rc = MakeNew<CResampleStd>(&made)) return rc;
      break;
  }
  if (const Error rc = made->Init(output_rate, input_rate, channels, block_ms, options)) return rc;
  *out = std::move(made);
  return err::kOk;
}

ResampleDesign DesignOf(const CResample& converter) {
  return static_cast<const PolyphaseConverter&>(converter).design();
}

std::uint64_t ConvertedLength(std::uint64_t n, std::uint32_t output_rate, std::uint32_t input_rate) {
  if (input_rate == 0) return 0;
  // floor(n O / I + 1/2) = floor((2 n O + I) / 2 I), exact in 128 bits.
  const unsigned __int128 num = static_cast<unsigned __int128>(n) * output_rate * 2u + input_rate;
  return static_cast<std::uint64_t>(num / (static_cast<unsigned __int128>(input_rate) * 2u));
}

}  // namespace tidemark::dsp
