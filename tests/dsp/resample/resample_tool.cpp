// Converts mono float32 samples from standard input to standard output for
// the quality test: resample_tool IN_RATE OUT_RATE QUALITY STOPBAND_DB
// PRECISION. The output has exactly floor(n x OUT / IN + 0.5) frames with
// the converter's delay removed.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "dsp/resample/resample.h"

int main(int argc, char** argv) {
  using namespace tidemark::dsp;
  if (argc != 6) {
    std::fprintf(stderr, "usage: resample_tool IN_RATE OUT_RATE QUALITY STOPBAND_DB PRECISION\n");
    return 2;
  }
  const auto in_rate = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
  const auto out_rate = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  ResampleOptions options = ResampleOptionsFrom(std::atoi(argv[3]), std::atoi(argv[4]), 6000);
  options.precision = static_cast<std::uint8_t>(std::atoi(argv[5]));
  std::vector<float> input;
  float buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, sizeof(float), 4096, stdin)) > 0;) input.insert(input.end(), buffer, buffer + n);
  std::unique_ptr<CResample> converter;
  if (MakeResampler(out_rate, in_rate, 1, 100, options, &converter) || !converter) {
    std::fprintf(stderr, "no converter for %u -> %u\n", in_rate, out_rate);
    return 1;
  }
  const std::uint64_t target = ConvertedLength(input.size(), out_rate, in_rate);
  std::uint64_t skip = converter->GetOutputLatency(), written = 0, fed = 0;
  std::vector<float> out(converter->GetOutputBlock());
  while (written < target) {
    float* in = converter->GetInputPointers()[0];
    for (std::uint32_t j = 0; j < converter->GetInputBlock(); ++j, ++fed) in[j] = fed < input.size() ? input[fed] : 0.0f;
    std::uint64_t made = converter->Process(out.data(), converter->GetInputBlock()), from = 0;
    const std::uint64_t drop = made < skip ? made : skip;
    skip -= drop;
    from = drop;
    made = std::min<std::uint64_t>(made - drop, target - written);
    std::fwrite(out.data() + from, sizeof(float), made, stdout);
    written += made;
  }
  return 0;
}
