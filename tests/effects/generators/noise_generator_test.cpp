// Noise generator: the sequence for a seed against the generator's
// recurrence written out here, the level and the +-6 sigma limit, the
// seeding rule, and the shared seed generator under concurrent use.
#include "effects/generators/noise_generator.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "platform/system_info.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

using NS_EFFECT_GENNOISE::CMyEffRun;

// x <- x * 0xF33B4F51 + 0x2694 modulo 2^32.
std::uint32_t Lcg(std::uint32_t x) { return static_cast<std::uint32_t>(std::uint64_t{x} * 0xF33B4F51u + 0x2694u); }

// The Gaussian form: twelve steps, their top halves summed and centred.
double Gaussian(std::uint32_t& x, double sigma) {
  double sum = 0;
  for (int i = 0; i < 12; ++i) {
    x = Lcg(x);
    sum += x >> 16;
  }
  return (sum - 6 * 65535.0) / 65535.0 * sigma;
}

double Uniform(std::uint32_t& x, double sigma) {
  x = Lcg(x);
  return ((x >> 16) - 32767.5) * sigma * 2 * std::sqrt(3.0) / 65535.0;
}

TEST(NoiseGenerator, SequenceForASeedFollowsTheRecurrence) {
  for (const bool gaussian : {true, false}) {
    for (const std::uint32_t seed : {0u, 1u, 0xDEADBEEFu}) {
      CMyEffRun run(0.1f);
      run.SetSeed(seed);
      run.SetGaussian(gaussian);
      std::vector<float> x(2 * 3000, 0.0f);
      ASSERT_EQ(run.Process(x.data(), 3000, 2, 3), 0u);
      std::uint32_t state = seed;
      for (std::size_t i = 0; i < x.size(); ++i) {
        const double want = gaussian ? Gaussian(state, double(0.1f)) : Uniform(state, double(0.1f));
        ASSERT_NEAR(x[i], want, 1e-7) << (gaussian ? "gaussian" : "uniform") << " seed " << seed << " value " << i;
      }
    }
  }
}

// Only masked channels draw values, so the other keeps its sound and the
// masked one gets consecutive values; Reset does not restart the sequence.
TEST(NoiseGenerator, MaskedChannelsDrawAndResetContinues) {
  CMyEffRun run(0.5f);
  run.SetSeed(12345);
  const auto input = RandomSamples(2 * 400, 71, 0.3f);
  auto x = input;
  ASSERT_EQ(run.Process(x.data(), 200, 2, 2), 0u);
  run.Reset();
  ASSERT_EQ(run.Process(x.data() + 400, 200, 2, 2), 0u);
  std::uint32_t state = 12345;
  for (std::size_t f = 0; f < 400; ++f) {
    ASSERT_EQ(x[2 * f], input[2 * f]);
    ASSERT_NEAR(x[2 * f + 1], input[2 * f + 1] + Gaussian(state, 0.5), 1e-6) << f;
  }
}

TEST(NoiseGenerator, MinusTwentyDbHasRmsNearATenthAndStaysWithinSixSigma) {
  constexpr std::uint32_t kFrames = 100000;
  DocumentPtr doc = MakeFloatDocument(std::vector<float>(kFrames * 2, 0.0f), 2);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_GENNOISE::Entry(), *doc, BlockBytes(4).I16(0, -2000)), 0u);
  const auto out = ReadAll(*doc);
  double sum = 0, squares = 0, peak = 0;
  for (const float v : out) {
    sum += v;
    squares += double(v) * v;
    peak = std::max(peak, std::fabs(double(v)));
  }
  const double rms = std::sqrt(squares / double(out.size()));
  EXPECT_NEAR(rms, 0.1, 0.002);
  EXPECT_NEAR(sum / double(out.size()), 0.0, 0.002);
  EXPECT_LE(peak, 0.6 + 1e-6);
  EXPECT_GT(peak, 0.3);  // a Gaussian of 200000 draws reaches beyond 3 sigma
}

// The seed is s * 12345 + 83810205 with s = tick count + the shared
// generator's next output.
TEST(NoiseGenerator, SeedFromTickCountAndTheSharedGenerator) {
  const std::uint32_t before = NS_EFFECT_GENNOISE::AdvanceSharedSeedGenerator();
  const auto tick0 = static_cast<std::uint32_t>(TickCountMs());
  CMyEffRun run(0.1f);
  const auto tick1 = static_cast<std::uint32_t>(TickCountMs());
  const std::uint32_t output = Lcg(before) >> 16;
  bool matched = false;
  for (std::uint32_t tick = tick0; tick <= tick1 && !matched; ++tick)
    matched = run.seed() == static_cast<std::uint32_t>((tick + output) * 12345u + 83810205u);
  EXPECT_TRUE(matched) << "seed " << run.seed();
  EXPECT_EQ(NS_EFFECT_GENNOISE::AdvanceSharedSeedGenerator(), Lcg(Lcg(before)));
}

TEST(NoiseGenerator, RunsCreatedAtOnceGetDifferentSeeds) {
  CMyEffRun first(0.1f), second(0.1f);
  EXPECT_NE(first.seed(), second.seed());
  std::vector<float> a(256, 0.0f), b(256, 0.0f);
  ASSERT_EQ(first.Process(a.data(), 256, 1, 1), 0u);
  ASSERT_EQ(second.Process(b.data(), 256, 1, 1), 0u);
  EXPECT_NE(a, b);
}

// Every concurrent caller gets a step of its own: together they took
// exactly the next steps of the recurrence, none lost, none twice.
TEST(NoiseGenerator, SharedSeedGeneratorLosesNoStepUnderConcurrency) {
  constexpr int kThreads = 8, kSteps = 100000;
  const std::uint32_t start = NS_EFFECT_GENNOISE::AdvanceSharedSeedGenerator();
  std::vector<std::vector<std::uint32_t>> taken(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&taken, t] {
      for (int i = 0; i < kSteps; ++i) taken[t].push_back(NS_EFFECT_GENNOISE::AdvanceSharedSeedGenerator());
    });
  for (auto& thread : threads) thread.join();
  std::vector<std::uint32_t> all, want;
  for (const auto& part : taken) all.insert(all.end(), part.begin(), part.end());
  for (std::uint32_t x = start; want.size() < all.size();) want.push_back(x = Lcg(x));
  std::sort(all.begin(), all.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(all, want);
}

}  // namespace
}  // namespace tidemark::testing
