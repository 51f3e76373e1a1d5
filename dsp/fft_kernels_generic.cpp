// The transform kernels for baseline x86-64 (and any other processor).
#include <cstddef>

#include "dsp/fft_kernels.h"

#define TM_FFT_VECTOR_BYTES 16

namespace tidemark::dsp::fft_detail::generic {
#include "dsp/fft_passes.h"
}  // namespace tidemark::dsp::fft_detail::generic
