#include "effects/convolution/part_conv.h"

#include <immintrin.h>
#include <omp.h>

#include <algorithm>
#include <atomic>
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

// Spectra are stored in tiles of kTile bins: tile t of spectrum s (of S in
// one array) at (t * S + s) * 2 * kTile, kTile real parts then kTile
// imaginary parts. A tile's K response spectra and its delay line are thus
// each one contiguous stream, which the multiply-accumulate reads tile by
// tile. "Bin" 0 holds X[0] as its real and X[n/2] as its imaginary part
// (both real), as the packed transform layout does.
constexpr std::uint32_t kTile = 64;
constexpr std::uint32_t kTiles = kP / kTile;
constexpr std::uint32_t kTileSize = 2 * kTile;
// Outputs one pass over the spectra prepares (at most K): the stream from
// memory per output is 1 / kAhead of a plain pass, and the following
// outputs only add their newest terms as their spectra arrive.
constexpr std::uint32_t kAhead = 16;
// Whole partitions one call runs as a batch in one parallel region (the
// framework hands in 2^16 / channels frames at a time).
constexpr std::uint32_t kBatch = 16;

constexpr std::size_t TileAt(std::uint32_t tile, std::uint32_t slot, std::uint32_t slots) {
  return (std::size_t{tile} * slots + slot) * kTileSize;
}

template <typename T>
void Scatter(const T* packed, T* tiled, std::uint32_t slot, std::uint32_t slots, std::uint32_t first = 0,
             std::uint32_t last = kTiles) {
  for (std::uint32_t t = first; t < last; ++t) {
    T* d = tiled + TileAt(t, slot, slots);
    const T* s = packed + std::size_t{t} * kTileSize;
    for (std::uint32_t i = 0; i < kTile; ++i) {
      d[i] = s[2 * i];
      d[kTile + i] = s[2 * i + 1];
    }
  }
}

template <typename T>
void Gather(const T* tiled, std::uint32_t slot, std::uint32_t slots, T* packed, std::uint32_t first,
            std::uint32_t last) {
  for (std::uint32_t t = first; t < last; ++t) {
    const T* s = tiled + TileAt(t, slot, slots);
    T* d = packed + std::size_t{t} * kTileSize;
    for (std::uint32_t i = 0; i < kTile; ++i) {
      d[2 * i] = s[i];
      d[2 * i + 1] = s[kTile + i];
    }
  }
}

// acc += h x x over one tile; in tile 0, bin 0 multiplies its two real
// parts separately. No fused multiply-add (the build turns contraction
// off) and the same operations in the same order in every variant, so the
// vector kernel rounds as the plain one.
template <typename T>
inline void AddProduct(T* __restrict acc, const T* __restrict h, const T* __restrict x, bool first_tile) {
  const T r0 = acc[0] + h[0] * x[0];
  const T i0 = acc[kTile] + h[kTile] * x[kTile];
  for (std::uint32_t j = 0; j < kTile; ++j) {
    acc[j] += h[j] * x[j] - h[kTile + j] * x[kTile + j];
    acc[kTile + j] += h[j] * x[kTile + j] + h[kTile + j] * x[j];
  }
  if (first_tile) {
    acc[0] = r0;
    acc[kTile] = i0;
  }
}

__attribute__((target("avx2"))) inline void AddProductAvx2(float* acc, const float* h, const float* x,
                                                           bool first_tile) {
  const float r0 = acc[0] + h[0] * x[0];
  const float i0 = acc[kTile] + h[kTile] * x[kTile];
  for (std::uint32_t j = 0; j < kTile; j += 8) {
    const __m256 a = _mm256_loadu_ps(h + j), b = _mm256_loadu_ps(h + kTile + j);
    const __m256 c = _mm256_loadu_ps(x + j), d = _mm256_loadu_ps(x + kTile + j);
    _mm256_storeu_ps(acc + j, _mm256_add_ps(_mm256_loadu_ps(acc + j),
                                            _mm256_sub_ps(_mm256_mul_ps(a, c), _mm256_mul_ps(b, d))));
    _mm256_storeu_ps(acc + kTile + j, _mm256_add_ps(_mm256_loadu_ps(acc + kTile + j),
                                                    _mm256_add_ps(_mm256_mul_ps(a, d), _mm256_mul_ps(b, c))));
  }
  if (first_tile) {
    acc[0] = r0;
    acc[kTile] = i0;
  }
}

struct PlainAdd {
  template <typename T>
  static void Run(T* acc, const T* h, const T* x, bool first_tile) {
    AddProduct(acc, h, x, first_tile);
  }
};

struct Avx2Add {
  __attribute__((target("avx2"))) static void Run(float* acc, const float* h, const float* x, bool first_tile) {
    AddProductAvx2(acc, h, x, first_tile);
  }
};

// What one multiply-accumulate step of a channel reads and writes: the
// response spectra (k slots), the delay line (k slots, the newest X_n in
// `head`, X_(n-q) in (head + q) mod k) and the sums (`ahead` slots).
template <typename T>
struct MacJob {
  const T* h;
  const T* line;
  T* sums;
  std::uint32_t k;
  std::uint32_t ahead;
  std::uint32_t head;
  // 0: the pass, sums slot m = sum p = m .. k-1 of H_p x X_(n-(p-m)),
  // the p in order. j > 0: X_(n+j) arrived, sums slot m (m >= j) adds
  // H_(m-j) x X_(n+j). Every bin's sum runs in the same order whatever
  // tile range a thread takes, so the output does not depend on the
  // thread count.
  std::uint32_t arrival;
};

// Steps of the pass between a prefetch and its use.
constexpr std::uint32_t kFetchAhead = 2;

// Asks for one tile slot's cache lines.
template <typename T>
inline void Prefetch(const T* tile) {
  const char* c = reinterpret_cast<const char*>(tile);
  for (std::size_t i = 0; i < kTileSize * sizeof(T); i += 64) __builtin_prefetch(c + i);
}

template <typename Add, typename T>
__attribute__((always_inline)) inline void MacTilesImpl(const MacJob<T>& w, std::uint32_t first, std::uint32_t last) {
  for (std::uint32_t t = first; t < last; ++t) {
    T* a = w.sums + TileAt(t, 0, w.ahead);
    const T* ht = w.h + TileAt(t, 0, w.k);
    const T* lt = w.line + TileAt(t, 0, w.k);
    if (w.arrival > 0) {
      for (std::uint32_t m = w.arrival; m < w.ahead; ++m)
        Add::Run(a + std::size_t{m} * kTileSize, ht + std::size_t{m - w.arrival} * kTileSize,
                 lt + std::size_t{w.head} * kTileSize, t == 0);
      continue;
    }
    std::fill_n(a, std::size_t{w.ahead} * kTileSize, T(0));
    for (std::uint32_t p = 0; p < w.k; ++p) {
      if (p + kFetchAhead < w.k) {
        // A later step's spectra are fetched while this one's are summed:
        // the hardware does not see the tile slots as one stream.
        std::uint32_t slot = w.head + p + kFetchAhead;
        if (slot >= w.k) slot -= w.k;
        Prefetch(ht + std::size_t{p + kFetchAhead} * kTileSize);
        Prefetch(lt + std::size_t{slot} * kTileSize);
      }
      const std::uint32_t top = std::min(w.ahead - 1, p);
      for (std::uint32_t m = 0; m <= top; ++m) {
        std::uint32_t slot = w.head + (p - m);
        if (slot >= w.k) slot -= w.k;
        Add::Run(a + std::size_t{m} * kTileSize, ht + std::size_t{p} * kTileSize, lt + std::size_t{slot} * kTileSize,
                 t == 0);
      }
    }
  }
}

__attribute__((target("avx2"))) void MacTilesAvx2(const MacJob<float>& w, std::uint32_t first, std::uint32_t last) {
  MacTilesImpl<Avx2Add>(w, first, last);
}

void MacTiles(const MacJob<float>& w, std::uint32_t first, std::uint32_t last) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    MacTilesAvx2(w, first, last);
  } else {
    MacTilesImpl<PlainAdd>(w, first, last);
  }
}

__attribute__((target_clones("avx2", "default"))) void MacTiles(const MacJob<double>& w, std::uint32_t first,
                                                               std::uint32_t last) {
  MacTilesImpl<PlainAdd>(w, first, last);
}

// Tiles per multiply-accumulate job of a batch.
constexpr std::uint32_t kGroup = 4;
// Pauses a thread spins for the last jobs of a phase before it sleeps:
// tens of microseconds, about one job. Sleeping at once costs a wake-up,
// which on a busy machine takes far longer than the job it waits for.
constexpr int kSpin = 2000;

// The jobs of one phase of a batch. Thread t of n starts at job
// total * t / n and goes round, taking each job no thread has taken: with
// every thread present each works on its own share (the same tiles batch
// after batch, whose sums stay in its cache), and a thread still waking
// up leaves its share to the others. Run() returns when every job of the
// phase is done.
class PhaseQueue {
 public:
  static constexpr std::uint32_t kMaxJobs = 256;

  template <typename Job>
  void Run(std::uint32_t total, std::uint32_t t, std::uint32_t n, const Job& job) {
    const std::uint32_t start = total * t / n;
    for (std::uint32_t i = 0; i < total; ++i) {
      const std::uint32_t j = start + i < total ? start + i : start + i - total;
      if (taken_[j].exchange(true, std::memory_order_relaxed)) continue;
      job(j);
      if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == total) done_.notify_all();
    }
    for (int i = 0; i < kSpin; ++i) {
      if (done_.load(std::memory_order_acquire) >= total) return;
      _mm_pause();
    }
    for (std::uint32_t d; (d = done_.load(std::memory_order_acquire)) < total;) done_.wait(d);
  }

 private:
  std::atomic<bool> taken_[kMaxJobs] = {};
  std::atomic<std::uint32_t> done_{0};
};

}  // namespace

template <typename T>
struct CPartConvStd<T>::State {
  dsp::RealFft<T> fft;
  // Response spectra, K tiled slots per distinct response.
  std::vector<Buffer<T>> spectra;
  std::vector<std::uint16_t> response_of;  // document channel -> spectra index
  // Per document channel; a batch of B partitions uses slots 0 .. B.
  std::vector<Buffer<T>> time;     // slot 0 the previous partition's input, slot b + 1 partition b's
  std::vector<Buffer<T>> out;      // slot 0 the output due now, slot b + 1 partition b's
  std::vector<Buffer<T>> line;     // frequency-domain delay line, K tiled slots
  std::vector<Buffer<T>> input_bins;  // per partition its packed spectrum, then its sum
  std::vector<Buffer<T>> sums;     // the last pass's sums, `ahead` tiled slots
  // The coming partition's output is sums slot `stage`; 0: it needs a pass.
  std::vector<std::uint32_t> stage;
  std::uint32_t ahead = 1;  // outputs per pass, min(kAhead, K)
  // Per thread of a batch: the transform's work area, then kN outputs.
  std::vector<Buffer<T>> scratch;
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
  s->ahead = std::min(kAhead, k);
  const Error rc = TryAlloc([&]() -> Error {
    s->scratch.emplace_back(new T[s->fft.work_size() + kN]);
    T* work = s->scratch[0].get();
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
        s->fft.Forward(part.data(), packed.data(), work);
        Scatter(packed.data(), spectrum.get(), p, k);
      }
      s->spectra.push_back(std::move(spectrum));
    }
    for (std::uint16_t c = 0; c < channels_; ++c) {
      s->response_of.push_back(static_cast<std::uint16_t>(std::min<int>(c, distinct - 1)));
      s->time.emplace_back(new T[std::size_t{kBatch + 1} * kP]());
      s->out.emplace_back(new T[std::size_t{kBatch + 1} * kP]());
      s->line.emplace_back(new T[std::size_t{k} * kN]());
      s->input_bins.emplace_back(new T[std::size_t{kBatch} * kN]());
      s->sums.emplace_back(new T[std::size_t{s->ahead} * kN]());
      s->stage.push_back(0);
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
    std::fill_n(s_->time[c].get(), kP, T(0));
    std::fill_n(s_->out[c].get(), kP, T(0));
    std::fill_n(s_->line[c].get(), std::size_t{partitions_} * kN, T(0));
    s_->stage[c] = 0;
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
    // Whole partitions at a partition boundary run as one batch; the rest
    // fills the current partition. Either way partition b's output is due
    // with partition b + 1's input.
    const std::uint32_t whole = s.pos == 0 ? std::min(kBatch, (frames - done) / kP) : 0;
    const std::uint32_t n = whole > 0 ? whole * kP : std::min(frames - done, kP - s.pos);
    for (std::uint16_t c = 0; c < channels_; ++c) {
      if (!(mask & (1u << c))) continue;
      T* in = s.time[c].get() + kP + s.pos;
      float* x = buffer + std::size_t{done} * channels + c;
      for (std::uint32_t i = 0; i < n; ++i, x += channels) {
        const float v = *x;
        in[i] = std::isfinite(v) ? static_cast<T>(v) : T(0);
      }
    }
    const std::uint32_t run = std::max(whole, s.pos + n == kP ? 1u : 0u);
    if (run > 0) {
      if (const Error rc = RunBatch(run, mask)) return rc;
    }
    for (std::uint16_t c = 0; c < channels_; ++c) {
      if (!(mask & (1u << c))) continue;
      const T* out = s.out[c].get() + s.pos;
      float* x = buffer + std::size_t{done} * channels + c;
      for (std::uint32_t i = 0; i < n; ++i, x += channels) *x = static_cast<float>(out[i]);
      if (run > 0) {
        std::memmove(s.out[c].get(), s.out[c].get() + std::size_t{run} * kP, kP * sizeof(T));
        std::memmove(s.time[c].get(), s.time[c].get() + std::size_t{run} * kP, kP * sizeof(T));
      }
    }
    s.pos = run > 0 ? 0 : s.pos + n;
    done += n;
  }
  return err::kOk;
}

template <typename T>
Error CPartConvStd<T>::RunBatch(std::uint32_t batch, std::uint32_t mask) {
  State& s = *s_;
  const std::uint32_t k = partitions_;
  std::uint16_t active[16];
  std::uint16_t count = 0;
  bool pass = batch > 1;
  for (std::uint16_t c = 0; c < channels_; ++c) {
    if (!(mask & (1u << c))) {
      s.stage[c] = 0;  // its delay line misses these partitions
      continue;
    }
    if (count < 16) active[count++] = c;
    pass = pass || s.stage[c] == 0;
  }
  // A lone partition that only adds its newest products is too short to
  // share.
  int threads = 1;
  if (pass) {
    threads = std::min<int>(static_cast<int>(std::min(k, kTiles)), omp_get_max_threads());
    if (thread_limit_ > 0) threads = std::min(threads, thread_limit_);
    threads = std::max(threads, 1);
  }
  const Error rc = TryAlloc([&]() -> Error {
    while (s.scratch.size() < static_cast<std::size_t>(threads))
      s.scratch.emplace_back(new T[s.fft.work_size() + kN]);
    return err::kOk;
  });
  if (rc) return rc;
  const std::uint32_t head = s.head;
  const T scale = static_cast<T>(scale_);
  const std::uint32_t jobs = batch * count;
  // One region per batch, three phases: the forward transforms; the
  // multiply-accumulate of every partition in order, in groups of tiles
  // (each bin adds its products in the same order whatever thread takes
  // its group, so the thread count does not change a bit); the inverse
  // transforms. Threads claim the jobs of a phase as they come, so the
  // calling thread works on while another is still waking up, and a phase
  // waits only for jobs already under way. The cancel check follows each
  // partition's products.
  PhaseQueue queue[3];
  std::atomic<bool> stopped{false};
  const auto body = [&](std::uint32_t t, std::uint32_t n) {
    T* work = s.scratch[t].get();
    queue[0].Run(jobs, t, n, [&](std::uint32_t j) {
      const std::uint32_t b = j / count;
      const std::uint16_t c = active[j % count];
      s.fft.Forward(s.time[c].get() + std::size_t{b} * kP, s.input_bins[c].get() + std::size_t{b} * kN, work);
    });
    // The calling thread checks cancel in the first group it takes, and
    // after the phase (it may have taken no group of the last partition).
    bool check = t == 0 && cancel_;
    queue[1].Run(kTiles / kGroup, t, n, [&](std::uint32_t g) {
      const std::uint32_t first = g * kGroup, last = first + kGroup;
      std::uint32_t slot = head;
      for (std::uint32_t b = 0; b < batch && !stopped.load(std::memory_order_relaxed); ++b) {
        slot = slot == 0 ? k - 1 : slot - 1;
        for (std::uint16_t i = 0; i < count; ++i) {
          const std::uint16_t c = active[i];
          const std::uint32_t stage = (s.stage[c] + b) % s.ahead;
          T* spectrum = s.input_bins[c].get() + std::size_t{b} * kN;
          Scatter(spectrum, s.line[c].get(), slot, k, first, last);
          const MacJob<T> job{s.spectra[s.response_of[c]].get(), s.line[c].get(), s.sums[c].get(), k, s.ahead,
                              slot, stage};
          MacTiles(job, first, last);
          Gather(s.sums[c].get(), stage, s.ahead, spectrum, first, last);
        }
        if (check && cancel_->Cancelled()) stopped.store(true, std::memory_order_relaxed);
      }
      check = false;
    });
    if (t == 0 && cancel_ && cancel_->Cancelled()) stopped.store(true, std::memory_order_relaxed);
    T* wide = work + s.fft.work_size();
    queue[2].Run(jobs, t, n, [&](std::uint32_t j) {
      if (stopped.load(std::memory_order_relaxed)) return;
      const std::uint32_t b = j / count;
      const std::uint16_t c = active[j % count];
      s.fft.Inverse(s.input_bins[c].get() + std::size_t{b} * kN, wide, work);
      T* out = s.out[c].get() + std::size_t{b + 1} * kP;
      for (std::uint32_t i = 0; i < kP; ++i) out[i] = wide[kP + i] * scale;
    });
  };
  if (threads == 1) {
    if (pass) team_ = 1;
    body(0, 1);
  } else {
    // The team is exactly the threads asked for: the runtime's dynamic
    // adjustment follows the load average, which other processes set, and
    // would run a shared machine's region on one thread.
    int team = 1;
    const int dynamic = omp_get_dynamic();
    omp_set_dynamic(0);
#pragma omp parallel num_threads(threads)
    {
      const auto t = static_cast<std::uint32_t>(omp_get_thread_num());
      const auto n = static_cast<std::uint32_t>(omp_get_num_threads());
      if (t == 0) team = static_cast<int>(n);
      body(t, n);
    }
    omp_set_dynamic(dynamic);
    team_ = team;
  }
  if (stopped.load()) return err::kCancelled;
  s.head = static_cast<std::uint32_t>((head + std::uint64_t{k} - batch % k) % k);
  for (std::uint16_t i = 0; i < count; ++i) s.stage[active[i]] = (s.stage[active[i]] + batch) % s.ahead;
  return err::kOk;
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
