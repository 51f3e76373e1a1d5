// Internal to the real FFT: the tables a plan hands to the transform kernels,
// and the kernels themselves, compiled once for baseline x86-64 and once for
// AVX2 (the plan picks one when it is made).
#pragma once

#include <cstddef>

namespace tidemark::dsp::fft_detail {

// The complex transform of size m = n / 2 runs as radix-4 passes, from
// sub-transform length m down to 4 (or 8), then one radix-2 pass when m is
// not a power of four. Pass i works on length len = m / 4^i and uses, for
// p < q = len / 4, the twiddles W^p, W^2p, W^3p (W = exp(-2 pi i / len)),
// stored as six runs of q: re1, im1, re2, im2, re3, im3. Passes follow each
// other in `passes`. The real step uses exp(-2 pi i k / n) for k < m / 2 as
// two runs: re, then im.
template <typename T>
struct Tables {
  std::size_t m = 0;
  const T* passes = nullptr;
  const T* real = nullptr;
};

// Twiddle elements that the passes of a complex transform of size m need.
constexpr std::size_t PassTwiddleCount(std::size_t m) {
  std::size_t total = 0;
  for (std::size_t len = m; len >= 4; len /= 4) total += 6 * (len / 4);
  return total;
}

#define TIDEMARK_FFT_KERNEL_DECLS                                                        \
  void Forward(const Tables<float>& t, const float* in, float* out, float* work);       \
  void Inverse(const Tables<float>& t, const float* in, float* out, float* work);       \
  void Forward(const Tables<double>& t, const double* in, double* out, double* work);   \
  void Inverse(const Tables<double>& t, const double* in, double* out, double* work);

namespace generic {
TIDEMARK_FFT_KERNEL_DECLS
}
namespace avx2 {
TIDEMARK_FFT_KERNEL_DECLS
}
#undef TIDEMARK_FFT_KERNEL_DECLS

}  // namespace tidemark::dsp::fft_detail
