// The statistics run's wide vector kernels against the baseline ones: the
// same bits for every channel layout, mask, weighting and block split.
#include <cstdint>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "effects/analysis/statis.h"
#include "platform/error_numbers.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::NS_EFFECT {
namespace {

// A weighting that is not the identity, so the squares come from a copy.
class Halving : public StatisWeighting {
 public:
  void Filter(float* frames, std::size_t count, std::uint16_t channels) override {
    for (std::size_t i = 0; i < count * channels; ++i)
      frames[i] = i % channels == 0 ? 0.5f * frames[i] : frames[i] - 0.125f;
  }
  void Reset() override {}
};
Error MakeHalving(char letter, std::uint32_t, std::uint16_t, StatisWeightingPtr* filter) {
  if (letter != 'C') return err::kSizeLimit;
  *filter = std::make_unique<Halving>();
  return err::kOk;
}

struct VectorCase {
  const char* name;
  std::uint16_t channels;
  std::uint32_t mask;
  char weighting;
};

class StatisVectors : public ::testing::TestWithParam<VectorCase> {
 protected:
  void TearDown() override {
    CStatis::AllowWideVectors(true);
    SetWeightingFactory(nullptr);
  }

  // Measures `x` in pieces of 1..3000 frames with the wide kernels allowed or not.
  StatisResult Measure(bool wide, const std::vector<float>& x, std::uint32_t* window_end) {
    const VectorCase& c = GetParam();
    CStatis::AllowWideVectors(wide);
    SetWeightingFactory(MakeHalving);
    std::unique_ptr<CStatis> run;
    EXPECT_EQ(CStatis::Create(statis_flag::kAll, 4410, 17, c.weighting, 44100, &run), err::kOk);
    if (!run) return {};
    std::mt19937 engine(3);
    std::vector<float> block(x);
    const auto frames = static_cast<std::uint32_t>(x.size() / c.channels);
    for (std::uint32_t done = 0; done < frames;) {
      const std::uint32_t n = std::min(std::uniform_int_distribution<std::uint32_t>(1, 3000)(engine), frames - done);
      EXPECT_EQ(run->Process(block.data() + std::size_t{done} * c.channels, n, c.channels, c.mask), err::kOk);
      done += n;
    }
    (void)run->ShortRmsPeak(window_end);
    return run->result();
  }
};

TEST_P(StatisVectors, WideKernelsGiveTheBaselineBits) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "this processor has only the baseline kernels";
  const std::uint16_t channels = GetParam().channels;
  // Past one exact recomputation of the window sum; loud and quiet stretches,
  // and a repeated extreme whose first frame must win.
  std::vector<float> x = tidemark::testing::RandomSamples(channels * std::size_t{270000}, 21, 0.7f);
  for (std::size_t i = 50000 * channels; i < 60000 * channels; ++i) x[i] *= 1e-30f;
  x[1000 * channels] = x[90000 * channels] = 0.95f;
  x[2000 * channels + channels - 1] = x[150000 * channels + channels - 1] = -0.97f;
  std::uint32_t wide_end = 0, base_end = 0;
  const StatisResult wide = Measure(true, x, &wide_end);
  const StatisResult base = Measure(false, x, &base_end);
  ASSERT_EQ(wide.frames, 270000u);
  for (int c = 0; c < 2; ++c) {
    const auto& p = wide.channel[c];
    const auto& q = base.channel[c];
    EXPECT_EQ(std::tie(p.sum, p.sum_of_squares, p.maximum, p.maximum_frame, p.minimum, p.minimum_frame),
              std::tie(q.sum, q.sum_of_squares, q.maximum, q.maximum_frame, q.minimum, q.minimum_frame))
        << "channel " << c;
  }
  EXPECT_EQ(std::tie(wide.mask, wide.largest_window_sum, wide.largest_window_end, wide_end),
            std::tie(base.mask, base.largest_window_sum, base.largest_window_end, base_end));
}

INSTANTIATE_TEST_SUITE_P(Layouts, StatisVectors,
                         ::testing::Values(VectorCase{"Stereo", 2, 3, 0}, VectorCase{"StereoLeft", 2, 1, 0},
                                           VectorCase{"StereoRight", 2, 2, 0}, VectorCase{"Mono", 1, 1, 0},
                                           VectorCase{"StereoWeighted", 2, 3, 'C'},
                                           VectorCase{"MonoWeighted", 1, 1, 'C'}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark::NS_EFFECT
