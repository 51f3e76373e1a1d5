#include "core/samples/sample_convert.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "core/samples/internal/sample_convert_kernels.h"
#include "platform/alloc.h"

namespace tidemark {
namespace {

using convert_detail::VectorKernelTable;

ConvertIsa BestIsa() {
  if (ConvertIsaSupported(ConvertIsa::Avx2)) return ConvertIsa::Avx2;
  if (ConvertIsaSupported(ConvertIsa::Sse41)) return ConvertIsa::Sse41;
  return ConvertIsa::Scalar;
}

struct Dispatch {
  std::atomic<ConvertIsa> isa;
  std::atomic<const VectorKernelTable*> table;
  Dispatch() : isa(BestIsa()), table(convert_detail::VectorKernels(isa.load())) {}
};

// Chosen once, at first use, from the processor's features.
Dispatch& Active() {
  static Dispatch dispatch;
  return dispatch;
}

// Vector prefix (when a variant exists for the pair), scalar tail. Only used
// where a forward walk is safe.
void RunForward(const std::uint8_t* s, std::uint8_t* d, std::size_t n, int si, int di) {
  std::size_t done = 0;
  if (const VectorKernelTable* table = Active().table.load(std::memory_order_relaxed)) {
    if (auto vec = table->kernel[si][di]) done = vec(s, d, n);
  }
  if (done < n) {
    const std::size_t sw = BytesPerSample(sample_code::kAll[si]);
    const std::size_t dw = BytesPerSample(sample_code::kAll[di]);
    convert_detail::scalar::ForwardKernel(si, di)(s + done * sw, d + done * dw, n - done);
  }
}

void SwapInPlace(void* buffer, std::size_t words, SampleCode le, SampleCode be) {
  // A byte-order-only conversion in place is exactly the byte swap.
  Convert(buffer, buffer, words, le, be);
}

}  // namespace

void Convert(const void* src, void* dst, std::size_t count, SampleCode src_code, SampleCode dst_code) {
  const int si = SampleCodeIndex(src_code);
  const int di = SampleCodeIndex(dst_code);
  if (si < 0 || di < 0 || count == 0 || src == nullptr || dst == nullptr) return;

  const std::size_t sw = BytesPerSample(src_code), dw = BytesPerSample(dst_code);
  auto* s = static_cast<const std::uint8_t*>(src);
  auto* d = static_cast<std::uint8_t*>(dst);
  if (si == di) {
    if (s != d) std::memmove(d, s, count * sw);
    return;
  }

  const bool overlap = s < d + count * dw && d < s + count * sw;
  if (!overlap) return RunForward(s, d, count, si, di);
  if (dw > sw) {
    // Widening walks backward: safe when the destination starts at or after the source.
    if (d >= s) return convert_detail::scalar::BackwardKernel(si, di)(s, d, count);
  } else if (d <= s) {
    // Narrowing and equal widths walk forward: each block is read before it is written.
    return RunForward(s, d, count, si, di);
  }
  // Any other overlap: convert from a copy of the source.
  std::unique_ptr<std::uint8_t[]> copy;
  if (MakeNew(&copy, count * sw)) return;
  std::memcpy(copy.get(), s, count * sw);
  RunForward(copy.get(), d, count, si, di);
}

void ByteSwap16(void* buffer, std::size_t words) {
  SwapInPlace(buffer, words, sample_code::kS16, sample_code::kS16BE);
}
void ByteSwap32(void* buffer, std::size_t words) {
  SwapInPlace(buffer, words, sample_code::kS32, sample_code::kS32BE);
}
void ByteSwap64(void* buffer, std::size_t words) {
  SwapInPlace(buffer, words, sample_code::kDouble, sample_code::kDoubleBE);
}

bool ConvertIsaSupported(ConvertIsa isa) {
  if (isa == ConvertIsa::Scalar) return true;
  return convert_detail::VectorKernels(isa) != nullptr;
}

ConvertIsa ActiveConvertIsa() { return Active().isa.load(); }

bool ForceConvertIsa(ConvertIsa isa) {
  if (!ConvertIsaSupported(isa)) return false;
  Active().table.store(isa == ConvertIsa::Scalar ? nullptr : convert_detail::VectorKernels(isa));
  Active().isa.store(isa);
  return true;
}

}  // namespace tidemark
