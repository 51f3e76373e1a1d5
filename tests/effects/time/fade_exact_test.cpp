// Fade's run bit for bit: every sample is float(x · |d − i/n|) with i/n
// divided in double, whatever the blocks, channels and mask.
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "effects/time/fade.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::NS_EFFECT_FADE {
namespace {

struct ExactCase {
  const char* name;
  std::uint16_t channels;
  std::uint32_t mask;
  std::int16_t d0, d1;
};

class FadeExact : public ::testing::TestWithParam<ExactCase> {};

TEST_P(FadeExact, EverySampleIsTheDoubleQuotientsProduct) {
  const ExactCase& c = GetParam();
  constexpr std::uint32_t kLength = 100003;  // a prime: i/n is rarely exact
  const std::vector<float> input = tidemark::testing::RandomSamples(std::size_t{kLength} * c.channels, 31);
  std::vector<float> out(input);
  CMyEffRun run(c.d0, c.d1, kLength);
  std::mt19937 engine(5);
  for (std::uint32_t done = 0; done < kLength;) {
    const std::uint32_t n = std::min(std::uniform_int_distribution<std::uint32_t>(1, 1500)(engine), kLength - done);
    ASSERT_EQ(run.Process(out.data() + std::size_t{done} * c.channels, n, c.channels, c.mask), 0u);
    done += n;
  }
  const int d[2] = {c.d0, c.d1};
  for (std::uint32_t i = 0; i < kLength; ++i) {
    for (std::uint16_t ch = 0; ch < c.channels; ++ch) {
      const float x = input[std::size_t{i} * c.channels + ch];
      const float want = (c.mask & (1u << ch))
                             ? static_cast<float>(x * std::fabs(d[ch] - static_cast<double>(i) / kLength))
                             : x;
      const float got = out[std::size_t{i} * c.channels + ch];
      ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << "frame " << i << " channel " << ch;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, FadeExact,
                         ::testing::Values(ExactCase{"StereoIn", 2, 3, 0, 0}, ExactCase{"StereoOutIn", 2, 3, 1, 0},
                                           ExactCase{"RightOnly", 2, 2, 1, 1}, ExactCase{"MonoOut", 1, 1, 1, 1}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark::NS_EFFECT_FADE
