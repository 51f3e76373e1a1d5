// Plans of the real FFT: the twiddle tables, and the choice of kernels.
#include "dsp/fft/real_fft.h"

#include <bit>
#include <cmath>
#include <cstdlib>
#include <new>

#include "dsp/fft/internal/fft_kernels.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

using fft_detail::Tables;

// exp(-2 pi i k / len) in long double, rounded once to T.
template <typename T>
void Twiddle(std::size_t k, std::size_t len, T* re, T* im) {
  constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
  const long double angle = kTwoPi * static_cast<long double>(k) / static_cast<long double>(len);
  *re = static_cast<T>(std::cos(angle));
  *im = static_cast<T>(-std::sin(angle));
}

bool UseAvx2() {
#if defined(__x86_64__) || defined(__i386__)
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  return has_avx2;
#else
  return false;
#endif
}

}  // namespace

template <typename T>
void RealFft<T>::FreeDeleter::operator()(T* p) const {
  std::free(p);
}

template <typename T>
Error RealFft<T>::Init(std::size_t n, FftKernels kernels) {
  n_ = 0;
  tables_.reset();
  real_twiddles_ = 0;
  if (n < kMinSize || n > kMaxSize || !std::has_single_bit(n)) return err::kSizeLimit;
  const std::size_t m = n / 2;
  const std::size_t pass_count = fft_detail::PassTwiddleCount(m);
  const std::size_t total = pass_count + 2 * (m / 2);
  // One cache-line aligned block (never empty, so a null result means no memory).
  const std::size_t bytes = ((total + 1) * sizeof(T) + 63) / 64 * 64;
  T* block = static_cast<T*>(std::aligned_alloc(64, bytes));
  if (!block) return err::kOutOfMemory;
  tables_.reset(block);

  T* w = block;
  for (std::size_t len = m; len >= 4; len /= 4) {
    const std::size_t q = len / 4;
    for (std::size_t p = 0; p < q; ++p)
      for (std::size_t j = 1; j <= 3; ++j) Twiddle(j * p, len, &w[(2 * j - 2) * q + p], &w[(2 * j - 1) * q + p]);
    w += 6 * q;
  }
  const std::size_t h = m / 2;
  for (std::size_t k = 0; k < h; ++k) Twiddle(k, n, &block[pass_count + k], &block[pass_count + h + k]);
  real_twiddles_ = pass_count;
  avx2_ = kernels == FftKernels::kFastest && UseAvx2();
  n_ = n;
  return err::kOk;
}

namespace {

// Two points: sum and difference, its own inverse up to the factor 2.
template <typename T>
void Transform2(const T* in, T* out) {
  const T x0 = in[0], x1 = in[1];
  out[0] = x0 + x1;
  out[1] = x0 - x1;
}

}  // namespace

template <typename T>
void RealFft<T>::Forward(const T* in, T* out, T* work) const {
  if (n_ == 2) return Transform2(in, out);
  const Tables<T> tab{n_ / 2, tables_.get(), tables_.get() + real_twiddles_};
  if (avx2_)
    fft_detail::avx2::Forward(tab, in, out, work);
  else
    fft_detail::generic::Forward(tab, in, out, work);
}

template <typename T>
void RealFft<T>::Inverse(const T* in, T* out, T* work) const {
  if (n_ == 2) return Transform2(in, out);
  const Tables<T> tab{n_ / 2, tables_.get(), tables_.get() + real_twiddles_};
  if (avx2_)
    fft_detail::avx2::Inverse(tab, in, out, work);
  else
    fft_detail::generic::Inverse(tab, in, out, work);
}

template class RealFft<float>;
template class RealFft<double>;

}  // namespace tidemark::dsp
