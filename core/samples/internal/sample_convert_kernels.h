// Internal to the converter: kernel signatures shared by the scalar rules
// and the vector variants.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/samples/sample_convert.h"

namespace tidemark::convert_detail {

// Converts n samples; the scalar kernels handle any n.
using KernelFn = void (*)(const std::uint8_t* src, std::uint8_t* dst, std::size_t n);
// Converts a prefix of the n samples and returns how many it did; never reads
// or writes outside the n samples. The rest goes to the scalar kernel.
using VectorKernelFn = std::size_t (*)(const std::uint8_t* src, std::uint8_t* dst, std::size_t n);

struct VectorKernelTable {
  VectorKernelFn kernel[12][12];  // indexed by SampleCodeIndex; null where none
};

}  // namespace tidemark::convert_detail

#ifndef TIDEMARK_SCALAR_NAMESPACE
#define TIDEMARK_SCALAR_NAMESPACE scalar
#endif

namespace tidemark::convert_detail::TIDEMARK_SCALAR_NAMESPACE {
// The rules themselves, one sample at a time. Forward kernels suit narrowing
// and equal-width conversions in place, backward ones widening in place.
KernelFn ForwardKernel(int src_index, int dst_index);
KernelFn BackwardKernel(int src_index, int dst_index);
}  // namespace tidemark::convert_detail::TIDEMARK_SCALAR_NAMESPACE

namespace tidemark::convert_detail {
// Null when the processor or the build lacks the variant.
const VectorKernelTable* VectorKernels(ConvertIsa isa);
}  // namespace tidemark::convert_detail
