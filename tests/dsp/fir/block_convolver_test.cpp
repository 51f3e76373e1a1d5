// The block convolver against a direct FIR in double precision, for orders
// from below to well above the smallest FFT size, several channels at once.
#include "dsp/fir/block_convolver.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace tidemark::dsp {
namespace {

class BlockConvolverOrder : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BlockConvolverOrder, MatchesDirectConvolution) {
  const std::size_t order = GetParam();
  const std::uint16_t channels = 2;
  std::mt19937 gen(static_cast<std::uint32_t>(order));
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  std::vector<double> taps(order + 1);
  for (double& t : taps) t = uni(gen) / static_cast<double>(order + 1);
  BlockConvolver conv;
  ASSERT_EQ(conv.Init(taps.data(), taps.size(), channels), 0u);
  const std::size_t block = conv.block();
  ASSERT_GE(block, 1u);
  EXPECT_EQ((block + order) & (block + order - 1), 0u) << "the FFT size is a power of two";

  const std::size_t blocks = std::max<std::size_t>(6, 3 * (order + 1) / block + 2);
  std::vector<std::vector<float>> in(channels, std::vector<float>(blocks * block));
  for (auto& lane : in) {
    for (float& v : lane) v = static_cast<float>(uni(gen));
  }
  double worst = 0.0;
  std::vector<float> out(block);
  for (std::size_t b = 0; b < blocks; ++b) {
    for (std::uint16_t c = 0; c < channels; ++c) {
      conv.Filter(c, in[c].data() + b * block, out.data());
      const float* window = conv.Window(c);
      for (std::size_t j = 0; j < block; ++j) {
        const std::size_t n = b * block + j;
        double want = 0.0;
        for (std::size_t k = 0; k <= order && k <= n; ++k) want += taps[k] * in[c][n - k];
        worst = std::max(worst, std::fabs(out[j] - want));
        ASSERT_EQ(window[order + j], in[c][n]);
      }
    }
  }
  EXPECT_LT(worst, 2e-6);
}

INSTANTIATE_TEST_SUITE_P(Orders, BlockConvolverOrder, ::testing::Values(2u, 24u, 30u, 32u, 132u, 288u, 1000u));

}  // namespace
}  // namespace tidemark::dsp
