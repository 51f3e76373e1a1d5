// The transform kernels compiled for AVX2; a plan uses them only when the
// processor has it.
#include <cstddef>

#include "dsp/fft/internal/fft_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#define TM_FFT_VECTOR_BYTES 32
namespace tidemark::dsp::fft_detail::avx2 {
#include "dsp/fft/internal/fft_passes.inc"
}  // namespace tidemark::dsp::fft_detail::avx2

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#else  // no AVX2 on this processor family: the baseline kernels stand in

namespace tidemark::dsp::fft_detail::avx2 {
#define TIDEMARK_FFT_FORWARD_TO_GENERIC(T)                                                      \
  void Forward(const Tables<T>& t, const T* in, T* out, T* work) { generic::Forward(t, in, out, work); } \
  void Inverse(const Tables<T>& t, const T* in, T* out, T* work) { generic::Inverse(t, in, out, work); }
TIDEMARK_FFT_FORWARD_TO_GENERIC(float)
TIDEMARK_FFT_FORWARD_TO_GENERIC(double)
#undef TIDEMARK_FFT_FORWARD_TO_GENERIC
}  // namespace tidemark::dsp::fft_detail::avx2
#endif
