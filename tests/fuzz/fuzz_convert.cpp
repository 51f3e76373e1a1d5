// Arbitrary code pairs, counts, overlaps and sample bytes: every variant of
// the converter must stay inside its buffers (the sanitizers watch) and give
// the same bytes as the scalar rules.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/samples/sample_convert.h"

using namespace tidemark;

namespace {

SampleCode PickCode(std::uint8_t b) {
  // Mostly supported codes, sometimes an unsupported one.
  if (b < 240) return sample_code::kAll[b % 12];
  return SampleCode(b * 257u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const SampleCode from = PickCode(data[0]), to = PickCode(data[1]);
  const int offset = int(data[2] % 33) - 16;  // destination start relative to the source, in bytes
  data += 3;
  size -= 3;
  const std::size_t sw = BytesPerSample(from) ? BytesPerSample(from) : 1;
  const std::size_t count = size / sw;
  const std::size_t dw = BytesPerSample(to) ? BytesPerSample(to) : 1;

  // Separate buffers: every variant against the scalar rules.
  std::vector<std::uint8_t> expected(count * dw + 1, 0x5A), got;
  const ConvertIsa original = ActiveConvertIsa();
  ForceConvertIsa(ConvertIsa::Scalar);
  Convert(data, expected.data(), count, from, to);
  for (ConvertIsa isa : {ConvertIsa::Sse41, ConvertIsa::Avx2}) {
    if (!ForceConvertIsa(isa)) continue;
    got.assign(count * dw + 1, 0x5A);
    Convert(data, got.data(), count, from, to);
    if (got != expected) std::abort();
  }

  // One shared buffer: the destination overlaps the source at an offset.
  const std::size_t span = count * (sw > dw ? sw : dw) + 64;
  std::vector<std::uint8_t> shared(span + 64, 0);
  std::uint8_t* src = shared.data() + 32;
  std::memcpy(src, data, count * sw);
  Convert(src, src + offset, count, from, to);
  // Where the result is defined as if the source had been copied aside, it
  // must equal the separate-buffer result.
  if (IsSupportedSampleCode(from) && IsSupportedSampleCode(to) && count > 0 &&
      std::memcmp(src + offset, expected.data(), count * dw) != 0)
    std::abort();
  ForceConvertIsa(original);
  return 0;
}
