#include "effects/convolution/part_conv.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/fft/real_fft.h"
#include "effects/dynamics/anti_clipper.h"
#include "effects/filters/weighting_filter.h"
#include "effects/framework/progress_scope.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

namespace {

constexpr std::uint32_t kP = CPartConv::kPartition;
constexpr std::uint32_t kN = CPartConv::kTransform;
// The normalisation's spectra: at most this many points (longer responses
// are measured on their first half of it).
constexpr std::size_t kMaxAnalysis = std::size_t{1} << 22;

template <typename T>
using Buffer = std::unique_ptr<T[]>;

// Spectra in the delay lines are split: kP real parts, then kP imaginary
// parts, where "bin" 0 holds X[0] as its real and X[n/2] as its imaginary
// part (both real). The packed transform layout is the same pairs
// interleaved.
template <typename T>
void Split(const T* packed, T* split) {
  for (std::uint32_t b = 0; b < kP; ++b) {
    split[b] = packed[2 * b];
    split[kP + b] = packed[2 * b + 1];
  }
}

template <typename T>
void Join(const T* split, T* packed) {
  for (std::uint32_t b = 0; b < kP; ++b) {
    packed[2 * b] = split[b];
    packed[2 * b + 1] = split[kP + b];
  }
}

// acc[first, last) = sum over p of H_p x X_(head + p) (delay-line slots
// taken cyclically), p = 0 .. k - 1 in order, so that every bin's sum is
// the same whichever range it is computed in. No fused multiply-add (the
// build turns contraction off), so the vector variants round as the scalar
// one does.
template <typename T>
inline void MacRange(const T* h, const T* line, T* acc, std::uint32_t k, std::uint32_t head,
                     std::uint32_t first, std::uint32_t last) {
  T* __restrict ar = acc;
  T* __restrict ai = acc + kP;
  std::fill(ar + first, ar + last, T(0));
  std::fill(ai + first, ai + last, T(0));
  std::uint32_t slot = head;
  for (std::uint32_t p = 0; p < k; ++p) {
    const T* __restrict hr = h + std::size_t{p} * kN;
    const T* __restrict hi = hr + kP;
    const T* __restrict xr = line + std::size_t{slot} * kN;
    const T* __restrict xi = xr + kP;
    std::uint32_t b = first;
    if (b == 0) {
      ar[0] += hr[0] * xr[0];
      ai[0] += hi[0] * xi[0];
      b = 1;
    }
    for (; b < last; ++b) {
      ar[b] += hr[b] * xr[b] - hi[b] * xi[b];
      ai[b] += hr[b] * xi[b] + hi[b] * xr[b];
    }
    slot = slot + 1 == k ? 0 : slot + 1;
  }
}

__attribute__((target_clones("avx2", "default"))) void MacBins(const float* h, const float* line, float* acc,
                                                              std::uint32_t k, std::uint32_t head,
                                                              std::uint32_t first, std::uint32_t last) {
  MacRange(h, line, acc, k, head, first, last);
}

__attribute__((target_clones("avx2", "default"))) void MacBins(const double* h, const double* line, double* acc,
                                                              std::uint32_t k, std::uint32_t head,
                                                              std::uint32_t first, std::uint32_t last) {
  MacRange(h, line, acc, k, head, first, last);
}

}  // namespace

template <typename T>
struct CPartConvStd<T>::State {
  dsp::RealFft<T> fft;
  // Response spectra, K per distinct response, partition k at k * kN.
  std::vector<Buffer<T>> spectra;
  std::vector<std::uint16_t> response_of;  // document channel -> spectra index
  // Per document channel.
  std::vector<Buffer<T>> time;     // previous kP frames, then the current kP
  std::vector<Buffer<T>> out;      // the output of the previous partition
  std::vector<Buffer<T>> line;     // frequency-domain delay line, K spectra
  std::vector<Buffer<T>> acc;      // the summed products, then the inverse
  Buffer<T> work;
  Buffer<T> packed;  // a spectrum in the transform's layout
  std::uint32_t head = 0;  // delay-line slot of the newest spectrum
  std::uint32_t pos = 0;   // frames of the current partition so far
};

template <typename T>
CPartConvStd<T>::CPartConvStd(std::uint16_t channels, std::uint32_t rate) : channels_(channels), rate_(rate) {}

template <typename T>
CPartConvStd<T>::~CPartConvStd() = default;

template <typename T>
Error CPartConvStd<T>::Prepare(const float* const* responses, std::uint32_t length, std::uint16_t channels,
                               bool normalise, std::uint32_t delay) {
  if (length == 0 || length > kMaxLength || channels < 1 || channels > 2 || channels_ == 0)
    return err::kSizeLimit;
  double factor = 1.0;
  if (normalise) {
    if (const Error rc = ConvolutionNormalisation(responses, length, channels, rate_, &factor)) return rc;
  }
  const std::uint32_t k = static_cast<std::uint32_t>((std::uint64_t{length} + kP - 1) / kP);
  auto s = std::make_unique<State>();
  if (const Error rc = s->fft.Init(kN)) return rc;
  const std::uint16_t distinct = channels_ == 1 ? 1 : channels;
  const Error rc = TryAlloc([&]() -> Error {
    s->work.reset(new T[s->fft.work_size()]);
    s->packed.reset(new T[kN]);
    std::vector<T> part(kN), packed(kN);
    for (std::uint16_t r = 0; r < distinct; ++r) {
      Buffer<T> spectrum(new T[std::size_t{k} * kN]);
      for (std::uint32_t p = 0; p < k; ++p) {
        std::fill(part.begin(), part.end(), T(0));
        const std::uint32_t first = p * kP;
        const std::uint32_t n = std::min(kP, length - first);
        for (std::uint32_t i = 0; i < n; ++i) {
          // A stereo response on a mono document: the mean of its channels.
          part[i] = channels_ == 1 && channels == 2
                        ? static_cast<T>(0.5 * (double{responses[0][first + i]} + double{responses[1][first + i]}))
                        : static_cast<T>(responses[r][first + i]);
        }
        s->fft.Forward(part.data(), packed.data(), s->work.get());
        Split(packed.data(), spectrum.get() + std::size_t{p} * kN);
      }
      s->spectra.push_back(std::move(spectrum));
    }
    for (std::uint16_t c = 0; c < channels_; ++c) {
      s->response_of.push_back(static_cast<std::uint16_t>(std::min<int>(c, distinct - 1)));
      s->time.emplace_back(new T[kN]());
      s->out.emplace_back(new T[kP]());
      s->line.emplace_back(new T[std::size_t{k} * kN]());
      s->acc.emplace_back(new T[kN]());
    }
    return err::kOk;
  });
  if (rc) return rc;
  s_ = std::move(s);
  partitions_ = k;
  pre_delay_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(delay, std::uint64_t{k} * kP));
  scale_ = factor / static_cast<double>(kN);
  return err::kOk;
}

template <typename T>
const T* CPartConvStd<T>::LastPartition(std::uint16_t channel) const {
  return s_ && channel < channels_ ? s_->out[channel].get() : nullptr;
}

template <typename T>
void CPartConvStd<T>::Reset() {
  if (!s_) return;
  for (std::uint16_t c = 0; c < channels_; ++c) {
    std::fill_n(s_->time[c].get(), kN, T(0));
    std::fill_n(s_->out[c].get(), kP, T(0));
    std::fill_n(s_->line[c].get(), std::size_t{partitions_} * kN, T(0));
  }
  s_->head = 0;
  s_->pos = 0;
}

template <typename T>
Error CPartConvStd<T>::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (!s_ || channels != channels_) return err::kLayoutMismatch;
  State& s = *s_;
  std::uint32_t done = 0;
  while (done < frames) {
    const std::uint32_t n = std::min(frames - done, kP - s.pos);
    for (std::uint16_t c = 0; c < channels_; ++c) {
      if (!(mask & (1u << c))) continue;
      T* in = s.time[c].get() + kP + s.pos;
      const T* out = s.out[c].get() + s.pos;
      float* x = buffer + std::size_t{done} * channels + c;
      for (std::uint32_t i = 0; i < n; ++i, x += channels) {
        const float v = *x;
        in[i] = std::isfinite(v) ? static_cast<T>(v) : T(0);
        *x = static_cast<float>(out[i]);
      }
    }
    s.pos += n;
    done += n;
    if (s.pos == kP) {
      RunPartition(mask);
      s.pos = 0;
      if (cancel_ && cancel_->Cancelled()) return err::kCancelled;
    }
  }
  return err::kOk;
}

template <typename T>
void CPartConvStd<T>::RunPartition(std::uint32_t mask) {
  State& s = *s_;
  const std::uint32_t k = partitions_;
  s.head = s.head == 0 ? k - 1 : s.head - 1;
  std::uint16_t active[16];
  std::uint16_t count = 0;
  for (std::uint16_t c = 0; c < channels_; ++c) {
    if (!(mask & (1u << c))) continue;
    if (count < 16) active[count++] = c;
    T* time = s.time[c].get();
    T* packed = s.acc[c].get();
    s.fft.Forward(time, packed, s.work.get());
    Split(packed, s.line[c].get() + std::size_t{s.head} * kN);
    std::memmove(time, time + kP, kP * sizeof(T));
  }
  if (channels_ == 2 && (mask & 3u) == 3u) {
    MultiplyAccumulate(active, count);  // the stereo path: one region for both
  } else {
    for (std::uint16_t i = 0; i < count; ++i) MultiplyAccumulate(active + i, 1);
  }
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint16_t c = active[i];
    T* acc = s.acc[c].get();
    Join(acc, s.packed.get());
    s.fft.Inverse(s.packed.get(), acc, s.work.get());
    const T scale = static_cast<T>(scale_);
    T* out = s.out[c].get();
    for (std::uint32_t j = 0; j < kP; ++j) out[j] = acc[kP + j] * scale;
  }
}

template <typename T>
void CPartConvStd<T>::MultiplyAccumulate(const std::uint16_t* channels, std::uint16_t count) {
  State& s = *s_;
  const std::uint32_t k = partitions_;
  const std::uint32_t head = s.head;
  // Bin pairs: pair 0 holds the two real bins (0 and n/2), pair b > 0 the
  // complex bin b.
  constexpr std::uint32_t kPairs = kN / 2;
  int threads = std::min<int>(static_cast<int>(std::min<std::uint32_t>(k, 1024)), omp_get_max_threads());
  if (thread_limit_ > 0) threads = std::min(threads, thread_limit_);
  threads = std::max(threads, 1);
  const auto mac = [&](std::uint32_t first, std::uint32_t last) {
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::uint16_t c = channels[i];
      MacBins(s.spectra[s.response_of[c]].get(), s.line[c].get(), s.acc[c].get(), k, head, first, last);
    }
  };
  if (threads == 1) {
    mac(0, kPairs);
    return;
  }
  // The runtime may give fewer threads when the machine is busy (a waiting
  // thread's spinning at the region's end then costs more than the second
  // thread gains); the caller's setting is restored.
  const int dynamic = omp_get_dynamic();
  omp_set_dynamic(1);
#pragma omp parallel num_threads(threads)
  {
    const auto t = static_cast<std::uint32_t>(omp_get_thread_num());
    const auto n = static_cast<std::uint32_t>(omp_get_num_threads());
    mac(kPairs * t / n, kPairs * (t + 1) / n);
  }
  omp_set_dynamic(dynamic);
}

template class CPartConvStd<float>;
template class CPartConvStd<double>;

// Normalisation. With H the response's spectrum:
//   energy E = sum h^2 (the power gain for white input);
//   peak = max over frequency of |H(f)|^2, at frequency f*;
//   w = the power gain of the A weighting curve at f*, at most 1 (1 when the
//       rate is too low for the curve).
// The weighted peak w * peak "dominates" when it exceeds E: a resonance the
// ear hears would clip before broadband material does. The factor is then
// sqrt(w / peak), else sqrt(1 / E). Over two response channels the smaller
// factor wins. The spectrum has the next power of two at least twice the
// length points (8192 at least, kMaxAnalysis at most).
Error ConvolutionNormalisation(const float* const* responses, std::uint32_t length, std::uint16_t channels,
                               std::uint32_t rate, double* factor) {
  std::size_t n = 8192;
  while (n < 2 * std::size_t{length} && n < kMaxAnalysis) n *= 2;
  const std::size_t used = std::min<std::size_t>(length, n / 2);
  return TryAlloc([&]() -> Error {
    dsp::RealFft<double> fft;
    if (const Error rc = fft.Init(n)) return rc;
    std::vector<double> x(n), spectrum(n), work(fft.work_size());
    // The weighting's power gain per bin, from its impulse response.
    std::vector<double> weight(n / 2 + 1, 1.0);
    StatisWeightingPtr filter;
    if (!MakeWeightingCurve('A', rate, 1, &filter) && filter) {
      std::vector<float> imp(n, 0.0f);
      imp[0] = 1.0f;
      filter->Filter(imp.data(), n, 1);
      for (std::size_t i = 0; i < n; ++i) x[i] = imp[i];
      fft.Forward(x.data(), spectrum.data(), work.data());
      weight[0] = spectrum[0] * spectrum[0];
      weight[n / 2] = spectrum[1] * spectrum[1];
      for (std::size_t b = 1; b < n / 2; ++b) weight[b] = spectrum[2 * b] * spectrum[2 * b] + spectrum[2 * b + 1] * spectrum[2 * b + 1];
      for (double& g : weight) g = std::min(g, 1.0);
    }
    double best = HUGE_VAL;
    for (std::uint16_t r = 0; r < channels; ++r) {
      double energy = 0.0;
      for (std::uint32_t i = 0; i < length; ++i) energy += double{responses[r][i]} * responses[r][i];
      std::fill(x.begin(), x.end(), 0.0);
      for (std::size_t i = 0; i < used; ++i) x[i] = responses[r][i];
      fft.Forward(x.data(), spectrum.data(), work.data());
      double peak = spectrum[0] * spectrum[0];
      std::size_t at = 0;
      if (spectrum[1] * spectrum[1] > peak) {
        peak = spectrum[1] * spectrum[1];
        at = n / 2;
      }
      for (std::size_t b = 1; b < n / 2; ++b) {
        const double g = spectrum[2 * b] * spectrum[2 * b] + spectrum[2 * b + 1] * spectrum[2 * b + 1];
        if (g > peak) {
          peak = g;
          at = b;
        }
      }
      const double w = weight[at];
      double f = 1.0;
      if (w * peak > energy && peak > 0.0) {
        f = std::sqrt(w / peak);
      } else if (energy > 0.0) {
        f = std::sqrt(1.0 / energy);
      }
      best = std::min(best, f);
    }
    *factor = std::isfinite(best) && best > 0.0 ? best : 1.0;
    return err::kOk;
  });
}

std::uint32_t ConvolutionGuardFrames(std::uint32_t rate) { return std::max<std::uint32_t>(1, rate / 500); }

Error MakeConvolutionRun(const float* const* responses, std::uint32_t length, std::uint16_t response_channels,
                         std::uint16_t channels, std::uint32_t rate, bool normalise, std::uint32_t delay,
                         bool precise, EffRunPtr* run, ProgressScope* cancel) {
  std::unique_ptr<CPartConv> conv;
  Error rc = precise ? MakeNew<CPartConvStd<double>>(&conv, channels, rate)
                     : MakeNew<CPartConvStd<float>>(&conv, channels, rate);
  if (rc) return rc;
  if ((rc = conv->Prepare(responses, length, response_channels, normalise, delay))) return rc;
  conv->SetCancel(cancel);
  std::unique_ptr<CAntiClipper> guard;
  if ((rc = MakeNew(&guard))) return rc;
  if ((rc = guard->Init(std::move(conv), channels, ConvolutionGuardFrames(rate)))) return rc;
  *run = std::move(guard);
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT
