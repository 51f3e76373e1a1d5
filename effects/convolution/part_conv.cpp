#include "effects/convolution/part_conv.h"

#include <immintrin.h>
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

// Every other partition reads the K response spectra and the delay line
// once for two outputs. With X_n the newest spectrum (slot `head`, X_(n-p)
// in slot head + p taken cyclically):
//   acc  = sum p = 0 .. K-1 of H_p x X_(n-p)   (this partition's output)
//   next = sum p = 1 .. K-1 of H_p x X_(n+1-p)  (the next one's, all but
//          its newest term, which MacFinish adds when X_(n+1) arrives).
// X_(n+1-p) is the spectrum read one step before, still in the cache, so
// the stream from memory per output is half that of a plain pass. Each
// bin's sums run over p in order whatever range it lies in, so the output
// does not depend on the thread count. No fused multiply-add (the build
// turns contraction off), so the vector variants round as the scalar one.
// Bin 0 holds the two real bins (0 and n/2) as its parts.
template <typename T>
inline void MacRange(const T* h, const T* line, T* acc, T* next, std::uint32_t k, std::uint32_t head,
                     std::uint32_t first, std::uint32_t last) {
  T* __restrict ar = acc;
  T* __restrict ai = acc + kP;
  T* __restrict nr = next;
  T* __restrict ni = next + kP;
  std::fill(ar + first, ar + last, T(0));
  std::fill(ai + first, ai + last, T(0));
  std::fill(nr + first, nr + last, T(0));
  std::fill(ni + first, ni + last, T(0));
  std::uint32_t slot = head, before = head;
  for (std::uint32_t p = 0; p < k; ++p) {
    const T* __restrict hr = h + std::size_t{p} * kN;
    const T* __restrict hi = hr + kP;
    const T* __restrict xr = line + std::size_t{slot} * kN;
    const T* __restrict xi = xr + kP;
    const T* __restrict yr = line + std::size_t{before} * kN;  // X_(n+1-p)
    const T* __restrict yi = yr + kP;
    std::uint32_t b = first;
    if (b == 0) {
      ar[0] += hr[0] * xr[0];
      ai[0] += hi[0] * xi[0];
      if (p > 0) {
        nr[0] += hr[0] * yr[0];
        ni[0] += hi[0] * yi[0];
      }
      b = 1;
    }
    if (p == 0) {
      for (std::uint32_t j = b; j < last; ++j) {
        ar[j] += hr[j] * xr[j] - hi[j] * xi[j];
        ai[j] += hr[j] * xi[j] + hi[j] * xr[j];
      }
    } else {
      for (std::uint32_t j = b; j < last; ++j) {
        ar[j] += hr[j] * xr[j] - hi[j] * xi[j];
        ai[j] += hr[j] * xi[j] + hi[j] * xr[j];
        nr[j] += hr[j] * yr[j] - hi[j] * yi[j];
        ni[j] += hr[j] * yi[j] + hi[j] * yr[j];
      }
    }
    before = slot;
    slot = slot + 1 == k ? 0 : slot + 1;
  }
}

__attribute__((target("avx2"))) void MacTileAvx2(const float* h, const float* line, float* acc, float* next,
                                                 std::uint32_t k, std::uint32_t head, std::uint32_t vector_first,
                                                 std::uint32_t vector_last) {
  float* ar = acc;
  float* ai = acc + kP;
  float* nr = next;
  float* ni = next + kP;
  const __m256 zero = _mm256_setzero_ps();
  for (std::uint32_t j = vector_first; j < vector_last; j += 8) {
    _mm256_storeu_ps(ar + j, zero);
    _mm256_storeu_ps(ai + j, zero);
    _mm256_storeu_ps(nr + j, zero);
    _mm256_storeu_ps(ni + j, zero);
  }
  std::uint32_t slot = head, before = head;
  for (std::uint32_t p = 0; p < k; ++p) {
    const float* hr = h + std::size_t{p} * kN;
    const float* hi = hr + kP;
    const float* xr = line + std::size_t{slot} * kN;
    const float* xi = xr + kP;
    const float* yr = line + std::size_t{before} * kN;
    const float* yi = yr + kP;
    if (p == 0) {
      for (std::uint32_t j = vector_first; j < vector_last; j += 8) {
        const __m256 a = _mm256_loadu_ps(hr + j), b = _mm256_loadu_ps(hi + j);
        const __m256 c = _mm256_loadu_ps(xr + j), d = _mm256_loadu_ps(xi + j);
        _mm256_storeu_ps(ar + j, _mm256_add_ps(_mm256_loadu_ps(ar + j),
                                               _mm256_sub_ps(_mm256_mul_ps(a, c), _mm256_mul_ps(b, d))));
        _mm256_storeu_ps(ai + j, _mm256_add_ps(_mm256_loadu_ps(ai + j),
                                               _mm256_add_ps(_mm256_mul_ps(a, d), _mm256_mul_ps(b, c))));
      }
    } else {
      for (std::uint32_t j = vector_first; j < vector_last; j += 8) {
        const __m256 a = _mm256_loadu_ps(hr + j), b = _mm256_loadu_ps(hi + j);
        const __m256 c = _mm256_loadu_ps(xr + j), d = _mm256_loadu_ps(xi + j);
        const __m256 e = _mm256_loadu_ps(yr + j), f = _mm256_loadu_ps(yi + j);
        _mm256_storeu_ps(ar + j, _mm256_add_ps(_mm256_loadu_ps(ar + j),
                                               _mm256_sub_ps(_mm256_mul_ps(a, c), _mm256_mul_ps(b, d))));
        _mm256_storeu_ps(ai + j, _mm256_add_ps(_mm256_loadu_ps(ai + j),
                                               _mm256_add_ps(_mm256_mul_ps(a, d), _mm256_mul_ps(b, c))));
        _mm256_storeu_ps(nr + j, _mm256_add_ps(_mm256_loadu_ps(nr + j),
                                               _mm256_sub_ps(_mm256_mul_ps(a, e), _mm256_mul_ps(b, f))));
        _mm256_storeu_ps(ni + j, _mm256_add_ps(_mm256_loadu_ps(ni + j),
                                               _mm256_add_ps(_mm256_mul_ps(a, f), _mm256_mul_ps(b, e))));
      }
    }
    before = slot;
    slot = slot + 1 == k ? 0 : slot + 1;
  }
}

// MacRange for float with AVX2, eight bins at a time with the same
// operations in the same order (so the same bits), the ragged rest plain.
__attribute__((target("avx2"))) void MacRangeAvx2(const float* h, const float* line, float* acc, float* next,
                                                  std::uint32_t k, std::uint32_t head, std::uint32_t first,
                                                  std::uint32_t last) {
  const std::uint32_t vector_first = first == 0 ? 8 : first;
  if (vector_first >= last) {
    MacRange(h, line, acc, next, k, head, first, last);
    return;
  }
  const std::uint32_t vector_last = vector_first + (last - vector_first) / 8 * 8;
  MacRange(h, line, acc, next, k, head, first, vector_first);
  if (vector_last < last) MacRange(h, line, acc, next, k, head, vector_last, last);
  // Tiles of bins small enough that their four sums and the previous
  // step's spectrum stay in the first-level cache across all K steps.
  constexpr std::uint32_t kTileBins = 256;
  for (std::uint32_t tile = vector_first; tile < vector_last; tile += kTileBins) {
    const std::uint32_t tile_end = std::min(vector_last, tile + kTileBins);
    MacTileAvx2(h, line, acc, next, k, head, tile, tile_end);
  }
}

void MacBins(const float* h, const float* line, float* acc, float* next, std::uint32_t k, std::uint32_t head,
             std::uint32_t first, std::uint32_t last) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    MacRangeAvx2(h, line, acc, next, k, head, first, last);
  } else {
    MacRange(h, line, acc, next, k, head, first, last);
  }
}

__attribute__((target_clones("avx2", "default"))) void MacBins(const double* h, const double* line, double* acc,
                                                              double* next, std::uint32_t k, std::uint32_t head,
                                                              std::uint32_t first, std::uint32_t last) {
  MacRange(h, line, acc, next, k, head, first, last);
}

// acc = next + H_0 x X_n: the output of the partition after a MacRange.
template <typename T>
void MacFinish(const T* h, const T* line, const T* next, T* acc, std::uint32_t head) {
  const T* hr = h;
  const T* hi = h + kP;
  const T* xr = line + std::size_t{head} * kN;
  const T* xi = xr + kP;
  acc[0] = next[0] + hr[0] * xr[0];
  acc[kP] = next[kP] + hi[0] * xi[0];
  for (std::uint32_t b = 1; b < kP; ++b) {
    acc[b] = next[b] + (hr[b] * xr[b] - hi[b] * xi[b]);
    acc[kP + b] = next[kP + b] + (hr[b] * xi[b] + hi[b] * xr[b]);
  }
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
  std::vector<Buffer<T>> next;     // the next partition's sum but its newest term
  std::vector<std::uint8_t> next_ready;  // `next` holds the coming partition's sum
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
      s->next.emplace_back(new T[kN]());
      s->next_ready.push_back(0);
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
    s_->next_ready[c] = 0;
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
    if (!(mask & (1u << c))) {
      s.next_ready[c] = 0;  // its delay line misses this partition
      continue;
    }
    if (count < 16) active[count++] = c;
    T* time = s.time[c].get();
    T* packed = s.acc[c].get();
    s.fft.Forward(time, packed, s.work.get());
    Split(packed, s.line[c].get() + std::size_t{s.head} * kN);
    std::memmove(time, time + kP, kP * sizeof(T));
  }
  // Channels whose sum the previous partition prepared only add its newest
  // term; the others take the full pass, which prepares the next one's.
  std::uint16_t full[16];
  std::uint16_t full_count = 0;
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint16_t c = active[i];
    if (s.next_ready[c]) {
      MacFinish(s.spectra[s.response_of[c]].get(), s.line[c].get(), s.next[c].get(), s.acc[c].get(), s.head);
      s.next_ready[c] = 0;
    } else {
      full[full_count++] = c;
      s.next_ready[c] = k > 1 ? 1 : 0;
    }
  }
  if (channels_ == 2 && full_count == 2) {
    MultiplyAccumulate(full, full_count);  // the stereo path: one region for both
  } else {
    for (std::uint16_t i = 0; i < full_count; ++i) MultiplyAccumulate(full + i, 1);
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
      MacBins(s.spectra[s.response_of[c]].get(), s.line[c].get(), s.acc[c].get(), s.next[c].get(), k, head,
              first, last);
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
