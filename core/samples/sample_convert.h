// The one converter between sample codes, and the byte-swap helpers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/samples/sample_format.h"

namespace tidemark {

// Converts `count` samples (frames x channels) from `src_code` to `dst_code`.
//
// Equal codes copy the bytes unchanged (memmove semantics, NaN payloads kept).
// An unsupported code on either side leaves the destination untouched; a zero
// count does nothing. NaN converts to 0 for every integer target.
//
// Overlap: `dst == src` (in place) is always allowed; widening conversions walk
// from the last sample backward and narrowing or equal-width ones forward, so a
// destination may also start after the source (widening) or before it
// (narrowing, equal width). Any other overlap is converted as if the source had
// first been copied aside; when that copy cannot be allocated the destination is
// left untouched.
void Convert(const void* src, void* dst, std::size_t count, SampleCode src_code, SampleCode dst_code);

// Swap every 16-, 32- or 64-bit word of a buffer in place.
void ByteSwap16(void* buffer, std::size_t words);
void ByteSwap32(void* buffer, std::size_t words);
void ByteSwap64(void* buffer, std::size_t words);

// The instruction-set variants of the vectorised conversion paths. The choice
// is made once, at first use, from the processor's features; every variant
// gives exactly the results of the scalar rules.
enum class ConvertIsa { Scalar = 0, Sse41 = 1, Avx2 = 2 };

bool ConvertIsaSupported(ConvertIsa isa);
ConvertIsa ActiveConvertIsa();
// For tests and benchmarks: route the vectorised paths through `isa` (false,
// and nothing changes, when the processor lacks it). Not thread-safe against
// concurrent conversions.
bool ForceConvertIsa(ConvertIsa isa);

}  // namespace tidemark
