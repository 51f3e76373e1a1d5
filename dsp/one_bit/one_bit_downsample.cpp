#include "dsp/one_bit/internal/one_bit_downsample.h"

#include <omp.h>

#include <algorithm>
#include <cstring>

#include "dsp/one_bit/one_bit_filter_design.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::size_t kN = CDownSample_Lpf2::kFftSize;
constexpr std::size_t kStep = kN / 2;  // valid outputs per transform (kernel of kN / 2 taps)
constexpr std::size_t kScratch = 3 * kN;

// Multiplies packed spectrum `x` by packed spectrum `g` in place.
void MultiplyPacked(float* x, const float* g) {
  x[0] *= g[0];
  x[1] *= g[1];
  for (std::size_t i = 2; i < kN; i += 2) {
    const float re = x[i] * g[i] - x[i + 1] * g[i + 1];
    const float im = x[i] * g[i + 1] + x[i + 1] * g[i];
    x[i] = re;
    x[i + 1] = im;
  }
}

}  // namespace

Error CDownSample_Lpf2::Create(std::uint32_t length, double attenuation_db, std::uint16_t channels,
                               unsigned threads, std::unique_ptr<CDownSample>* out) {
  if (length != kN / 2 || channels == 0) return err::kSizeLimit;
  if (threads == 0) threads = 1;
  std::unique_ptr<CDownSample_Lpf2> d;
  if (const Error rc = TryAlloc([&] { d.reset(new CDownSample_Lpf2(channels, threads)); })) return rc;
  if (const Error rc = d->fft_.Init(kN)) return rc;
  const Error rc = TryAlloc([&] {
    d->kernel_ = EvenKernel(DesignSecondStageHalf(length, attenuation_db));
    d->spectrum_.assign(kN, 0.0f);
    d->scratch_.assign(kScratch * threads, 0.0f);
  });
  if (rc) return rc;
  // Correlating with the kernel is convolving with its mirror image:
  // g[(kN - t) mod kN] = kernel[t]. The inverse transform's factor kN is
  // taken out here once.
  std::vector<float>& g = d->spectrum_;
  const float scale = 1.0f / static_cast<float>(kN);
  g[0] = d->kernel_[0] * scale;
  for (std::size_t t = 1; t < d->kernel_.size(); ++t) g[kN - t] = d->kernel_[t] * scale;
  d->fft_.Forward(g.data(), g.data(), d->scratch_.data());
  *out = std::move(d);
  return err::kOk;
}

void CDownSample_Lpf2::Process(const float* const* in, std::size_t frames, float* out) {
  // Overlap-save: a segment of kN inputs from p gives the correlation for
  // the kStep positions p .. p + kStep - 1 without wrap-around.
  const std::size_t positions = 2 * frames;
  const std::size_t inputs = InputCount(frames);
  const std::size_t segments = (positions + kStep - 1) / kStep;
  const std::uint16_t ch = channels();
  const long tasks = static_cast<long>(segments * ch);
#pragma omp parallel for num_threads(threads_) schedule(dynamic, 4) if (threads_ > 1 && tasks > 1)
  for (long task = 0; task < tasks; ++task) {
    const std::size_t c = static_cast<std::size_t>(task) % ch;
    const std::size_t p = static_cast<std::size_t>(task) / ch * kStep;
    float* x = scratch_.data() + kScratch * static_cast<std::size_t>(omp_get_thread_num());
    float* work = x + kN;
    const std::size_t avail = std::min(kN, inputs - p);
    std::memcpy(x, in[c] + p, avail * sizeof(float));
    std::fill(x + avail, x + kN, 0.0f);
    fft_.Forward(x, x, work);
    MultiplyPacked(x, spectrum_.data());
    fft_.Inverse(x, x, work);
    const std::size_t valid = std::min(kStep, positions - p);
    for (std::size_t m = 0; m < valid; m += 2) out[(p + m) / 2 * ch + c] = x[m];
  }
}

void CDownSample_Apf2::Process(const float* const* in, std::size_t frames, float* out) {
  const std::uint16_t ch = channels();
  if (ch == 1) {
    std::memcpy(out, in[0], frames * sizeof(float));
    return;
  }
  for (std::size_t j = 0; j < frames; ++j)
    for (std::uint16_t c = 0; c < ch; ++c) out[j * ch + c] = in[c][j];
}

}  // namespace tidemark::NS_1BIT
