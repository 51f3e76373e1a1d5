// Arbitrary bytes choose a limiter (ceiling, gain, window, link, channels,
// rate), a block split and up to a few seconds of hostile material (square
// waves, impulses, noise up to +20 dB, seeded from the input, after any
// samples the input spells out as 16-bit values scaled to +20 dB). No output
// sample may exceed C x M.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "effects/dynamics/limiter.h"

using namespace tidemark;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

constexpr std::size_t kHeader = 9;
constexpr std::uint32_t kRates[] = {44100, 48000, 96000, 8000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  const double ceiling_db = -10.0 * data[0] / 255.0;
  const double gain_db = 12.0 * data[1] / 255.0;
  const auto window = static_cast<float>(5.0 + 45.0 * data[2] / 255.0);
  const bool link = data[3] & 1;
  const std::uint16_t channels = (data[3] & 2) ? 2 : 1;
  const std::uint32_t rate = kRates[(data[3] >> 2) & 3];
  const int kind = data[4] % 4;
  const double seconds = 0.25 * ((data[4] >> 2) % 12 + 1);
  std::uint32_t seed;
  std::memcpy(&seed, data + 5, sizeof seed);

  std::vector<float> input;
  for (std::size_t i = kHeader; i + 1 < size; i += 2) {
    const auto v = static_cast<std::int16_t>(data[i] | (data[i + 1] << 8));
    input.push_back(static_cast<float>(v) * (10.0f / 32768.0f));
  }
  input.resize(input.size() / channels * channels);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  const auto frames = static_cast<std::size_t>(seconds * rate);
  const double level = std::pow(10.0, (-20.0 + 40.0 * uni(gen)) / 20.0);
  const auto period = static_cast<std::size_t>(2 + uni(gen) * 400);
  for (std::size_t k = 0; k < frames; ++k) {
    for (std::uint16_t c = 0; c < channels; ++c) {
      double v;
      switch (kind) {
        case 0: v = ((k + c) / period) % 2 ? level : -level; break;
        case 1: v = uni(gen) < 0.003 ? (uni(gen) < 0.5 ? -level : level) * uni(gen) : 0.0; break;
        case 2: v = level * (2.0 * uni(gen) - 1.0); break;
        default: v = (k / period) % 3 == 0 ? level * (2.0 * uni(gen) - 1.0) : level * 0.1; break;
      }
      input.push_back(static_cast<float>(v));
    }
  }
  const auto total = static_cast<std::uint32_t>(input.size() / channels);

  const auto c = static_cast<float>(std::pow(10.0, (ceiling_db - gain_db) / 20.0));
  const auto m = static_cast<float>(std::pow(10.0, gain_db / 20.0));
  NS_EFFECT::CLimiter limiter;
  Check(!limiter.Init(rate, channels, c, window, m, link));
  std::vector<float> limited = input;
  for (std::uint32_t at = 0; at < total;) {
    const std::uint32_t n = std::min(total - at, static_cast<std::uint32_t>(gen() % 5000));
    Check(!limiter.Process(limited.data() + std::size_t{at} * channels, n, channels, ~0u));
    at += n;
  }
  const double limit = static_cast<double>(c) * m;
  for (float y : limited) Check(std::fabs(static_cast<double>(y)) <= limit);
  return 0;
}
