// The transform kernels for baseline x86-64 (and any other processor).
#include <cstddef>

#include "dsp/fft/internal/fft_kernels.h"

#define TM_FFT_VECTOR_BYTES 16

namespace tidemark::dsp::fft_detail::generic {
#include "dsp/fft/internal/fft_passes.inc"
}  // namespace tidemark::dsp::fft_detail::generic
