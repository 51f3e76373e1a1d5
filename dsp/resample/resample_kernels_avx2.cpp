// Compiled for AVX2 and FMA function by function, so that the rest of the
// program runs on any x86-64; these run only after HasAvx2().
#include <immintrin.h>

#include "dsp/resample/internal/resample_kernels.h"

namespace tidemark::dsp::resample_detail {

namespace {

__attribute__((target("avx2,fma"))) inline float Sum(__m256 s) {
  __m128 h = _mm_add_ps(_mm256_castps256_ps128(s), _mm256_extractf128_ps(s, 1));
  h = _mm_add_ps(h, _mm_movehl_ps(h, h));
  h = _mm_add_ss(h, _mm_shuffle_ps(h, h, 1));
  return _mm_cvtss_f32(h);
}

__attribute__((target("avx2,fma"))) inline double Sum(__m256d s) {
  __m128d h = _mm_add_pd(_mm256_castpd256_pd128(s), _mm256_extractf128_pd(s, 1));
  h = _mm_add_sd(h, _mm_unpackhi_pd(h, h));
  return _mm_cvtsd_f64(h);
}

}  // namespace

// Every form keeps the same two accumulators per channel in the same order,
// so that single and pair forms give the same bits.
__attribute__((target("avx2,fma"))) float DotFloatAvx2(const float* coefficients, const float* x,
                                                        std::size_t n) {
  __m256 a0 = _mm256_setzero_ps();
  __m256 a1 = _mm256_setzero_ps();
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    a0 = _mm256_fmadd_ps(_mm256_loadu_ps(coefficients + i), _mm256_loadu_ps(x + i), a0);
    a1 = _mm256_fmadd_ps(_mm256_loadu_ps(coefficients + i + 8), _mm256_loadu_ps(x + i + 8), a1);
  }
  if (i < n) a0 = _mm256_fmadd_ps(_mm256_loadu_ps(coefficients + i), _mm256_loadu_ps(x + i), a0);
  return Sum(_mm256_add_ps(a0, a1));
}

__attribute__((target("avx2,fma"))) void DotFloatPairAvx2(const float* coefficients, const float* x0,
                                                           const float* x1, std::size_t n, float* y0, float* y1) {
  __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps();
  __m256 b0 = _mm256_setzero_ps(), b1 = _mm256_setzero_ps();
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256 c0 = _mm256_loadu_ps(coefficients + i), c1 = _mm256_loadu_ps(coefficients + i + 8);
    a0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x0 + i), a0);
    a1 = _mm256_fmadd_ps(c1, _mm256_loadu_ps(x0 + i + 8), a1);
    b0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x1 + i), b0);
    b1 = _mm256_fmadd_ps(c1, _mm256_loadu_ps(x1 + i + 8), b1);
  }
  if (i < n) {
    const __m256 c0 = _mm256_loadu_ps(coefficients + i);
    a0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x0 + i), a0);
    b0 = _mm256_fmadd_ps(c0, _mm256_loadu_ps(x1 + i), b0);
  }
  *y0 = Sum(_mm256_add_ps(a0, a1));
  *y1 = Sum(_mm256_add_ps(b0, b1));
}

__attribute__((target("avx2,fma"))) double DotDoubleAvx2(const double* coefficients, const float* x,
                                                          std::size_t n) {
  __m256d a0 = _mm256_setzero_pd();
  __m256d a1 = _mm256_setzero_pd();
  for (std::size_t i = 0; i < n; i += 8) {
    a0 = _mm256_fmadd_pd(_mm256_loadu_pd(coefficients + i), _mm256_cvtps_pd(_mm_loadu_ps(x + i)), a0);
    a1 = _mm256_fmadd_pd(_mm256_loadu_pd(coefficients + i + 4), _mm256_cvtps_pd(_mm_loadu_ps(x + i + 4)), a1);
  }
  return Sum(_mm256_add_pd(a0, a1));
}

__attribute__((target("avx2,fma"))) void DotDoublePairAvx2(const double* coefficients, const float* x0,
                                                            const float* x1, std::size_t n, double* y0,
                                                            double* y1) {
  __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd();
  __m256d b0 = _mm256_setzero_pd(), b1 = _mm256_setzero_pd();
  for (std::size_t i = 0; i < n; i += 8) {
    const __m256d c0 = _mm256_loadu_pd(coefficients + i), c1 = _mm256_loadu_pd(coefficients + i + 4);
    a0 = _mm256_fmadd_pd(c0, _mm256_cvtps_pd(_mm_loadu_ps(x0 + i)), a0);
    a1 = _mm256_fmadd_pd(c1, _mm256_cvtps_pd(_mm_loadu_ps(x0 + i + 4)), a1);
    b0 = _mm256_fmadd_pd(c0, _mm256_cvtps_pd(_mm_loadu_ps(x1 + i)), b0);
    b1 = _mm256_fmadd_pd(c1, _mm256_cvtps_pd(_mm_loadu_ps(x1 + i + 4)), b1);
  }
  *y0 = Sum(_mm256_add_pd(a0, a1));
  *y1 = Sum(_mm256_add_pd(b0, b1));
}

}  // namespace tidemark::dsp::resample_detail
