// Real fast Fourier transform of power-of-two size.
//
// A RealFft is a plan: the twiddle tables for one size, made once by Init()
// and read-only afterwards. Every transform is a const member that keeps no
// state between calls, so one plan may serve any number of threads at once,
// each bringing its own work buffer of work_size() elements.
//
// Spectrum layout ("packed", n reals for n/2 + 1 bins):
//   out[0] = Re X[0], out[1] = Re X[n/2],
//   out[2k] = Re X[k], out[2k + 1] = Im X[k]   for 0 < k < n/2,
// where X[k] = sum_j x[j] exp(-2 pi i j k / n). The imaginary parts of X[0]
// and X[n/2] are zero and not stored.
//
// Scaling: Forward() is unscaled and Inverse() is unscaled too, so
// Inverse(Forward(x)) = n * x.
//
// Buffers need no particular alignment. `in` and `out` may be the same
// buffer; the work buffer must not overlap either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/error.h"

namespace tidemark::dsp {

// Which compiled kernels a plan runs: the fastest the processor supports, or
// the baseline ones (for comparisons and tests).
enum class FftKernels { kFastest, kBaseline };

template <typename T>
class RealFft {
 public:
  static constexpr std::size_t kMinSize = 2;
  static constexpr std::size_t kMaxSize = std::size_t{1} << 24;

  RealFft() = default;
  RealFft(const RealFft&) = delete;
  RealFft& operator=(const RealFft&) = delete;
  RealFft(RealFft&&) noexcept = default;
  RealFft& operator=(RealFft&&) noexcept = default;
  ~RealFft() = default;

  // Builds the tables for size n. Returns err::kSizeLimit when n is not a
  // power of two in [kMinSize, kMaxSize] and err::kOutOfMemory when the
  // tables cannot be allocated; either way the plan is left empty.
  [[nodiscard]] Error Init(std::size_t n, FftKernels kernels = FftKernels::kFastest);

  std::size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  // Elements of T that each caller's work buffer must hold (2 * size()).
  std::size_t work_size() const { return 2 * n_; }

  // n reals to the packed spectrum.
  void Forward(const T* in, T* out, T* work) const;
  // Packed spectrum to n reals, n times the signal that Forward() took.
  void Inverse(const T* in, T* out, T* work) const;

 private:
  struct FreeDeleter {
    void operator()(T* p) const;
  };

  std::size_t n_ = 0;
  std::unique_ptr<T[], FreeDeleter> tables_;  // pass twiddles, then real-step twiddles
  std::size_t real_twiddles_ = 0;             // offset of the real-step twiddles in tables_
  bool avx2_ = false;                         // which kernel variant runs
};

extern template class RealFft<float>;
extern template class RealFft<double>;

}  // namespace tidemark::dsp
