// The 16-bit save dither measured over a long seeded run, driven as the
// segment cursor drives it: interleaved stereo blocks of varying length
// that already hold the samples. Every threshold is six standard errors
// of the statistic for the sample size: a correct dither would miss one by
// chance for about one seed in 10^8, while a wrong shape, width or a
// correlation of a few thousandths fails.
#include "formats/save_dither.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace tidemark {
namespace {

constexpr double kStep = 1.0 / 32768.0;  // one 16-bit step as a float sample
constexpr double kZ = 6.0;
constexpr std::size_t kFrames = std::size_t{1} << 21;

// Dither added to `frames` stereo frames of `signal`, fed in blocks of
// 1 to 512 frames (the cursor hands over at most 1024 samples at a time).
std::vector<float> Dithered(std::uint64_t seed, std::size_t frames, float signal, std::uint32_t split_seed) {
  TpdfDither16 dither(seed);
  std::vector<float> out(2 * frames, signal);
  std::mt19937 split(split_seed);
  for (std::size_t at = 0; at < frames;) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(frames - at, 1 + split() % 512));
    dither.Apply(out.data() + 2 * at, n, 2);
    at += n;
  }
  return out;
}

// The triangular distribution on [-1, 1]: P(x <= t).
double TriangularCdf(double t) { return t < 0 ? (1 + t) * (1 + t) / 2 : 1 - (1 - t) * (1 - t) / 2; }

class TpdfDither16Stats : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::vector<float> raw = Dithered(0x1234'5678'9ABCull, kFrames, 0.0f, 1);
    noise_ = new std::vector<double>(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) (*noise_)[i] = raw[i] / kStep;  // in steps, exact
  }
  static void TearDownTestSuite() {
    delete noise_;
    noise_ = nullptr;
  }
  static double At(std::size_t frame, int channel) { return (*noise_)[2 * frame + channel]; }

  // Pearson correlation of a(i) and b(i) for i < n.
  template <typename A, typename B>
  static double Correlation(std::size_t count, A a, B b) {
    const auto n = static_cast<double>(count);
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const double x = a(i), y = b(i);
      sa += x, sb += y, saa += x * x, sbb += y * y, sab += x * y;
    }
    const double cov = sab / n - (sa / n) * (sb / n);
    return cov / std::sqrt((saa / n - (sa / n) * (sa / n)) * (sbb / n - (sb / n) * (sb / n)));
  }

  static std::vector<double>* noise_;
};

std::vector<double>* TpdfDither16Stats::noise_ = nullptr;

TEST_F(TpdfDither16Stats, MeanAndVarianceOfTheTriangularDistribution) {
  // Per channel, so that one channel cannot hide the other's fault.
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE(c);
    double sum = 0, squares = 0;
    for (std::size_t f = 0; f < kFrames; ++f) sum += At(f, c), squares += At(f, c) * At(f, c);
    const double n = kFrames, mean = sum / n, variance = squares / n - mean * mean;
    // Triangular on [-1, 1]: variance 1/6, fourth moment 1/15.
    constexpr double kVariance = 1.0 / 6, kFourth = 1.0 / 15;
    EXPECT_LT(std::fabs(mean), kZ * std::sqrt(kVariance / n));
    EXPECT_LT(std::fabs(variance - kVariance), kZ * std::sqrt((kFourth - kVariance * kVariance) / n));
  }
}

TEST_F(TpdfDither16Stats, HistogramIsTriangularWithinOneStep) {
  constexpr int kBins = 16;  // an eighth of a step wide, over [-1, 1]
  std::vector<double> count(kBins, 0);
  double widest = 0;
  for (const double x : *noise_) {
    widest = std::max(widest, std::fabs(x));
    count[std::clamp(static_cast<int>(std::floor((x + 1) * kBins / 2)), 0, kBins - 1)] += 1;
  }
  EXPECT_LE(widest, 1.0);  // never more than one step from the signal
  EXPECT_GT(widest, 0.99);  // and it does reach out to nearly a step
  const auto n = static_cast<double>(noise_->size());
  for (int k = 0; k < kBins; ++k) {
    const double p = TriangularCdf(-1 + 2.0 * (k + 1) / kBins) - TriangularCdf(-1 + 2.0 * k / kBins);
    EXPECT_LT(std::fabs(count[k] - n * p), kZ * std::sqrt(n * p * (1 - p))) << "bin " << k;
  }
  // The shape in one line: the bins beside 0 hold far more than those at ±1.
  EXPECT_GT(count[kBins / 2 - 1] + count[kBins / 2], 10 * (count[0] + count[kBins - 1]));
}

TEST_F(TpdfDither16Stats, ChannelsAndNeighboursAreUncorrelated) {
  // A correlation of independent samples has standard error 1 / sqrt(n).
  const double limit = kZ / std::sqrt(double(kFrames - 1));
  EXPECT_LT(std::fabs(Correlation(kFrames, [](std::size_t f) { return At(f, 0); },
                                  [](std::size_t f) { return At(f, 1); })),
            limit)
      << "left and right of one frame";
  for (int c = 0; c < 2; ++c)
    EXPECT_LT(std::fabs(Correlation(kFrames - 1, [c](std::size_t f) { return At(f, c); },
                                    [c](std::size_t f) { return At(f + 1, c); })),
              limit)
        << "successive frames of channel " << c;
  EXPECT_LT(std::fabs(Correlation(kFrames - 1, [](std::size_t f) { return At(f, 1); },
                                  [](std::size_t f) { return At(f + 1, 0); })),
            limit)
      << "right of one frame and left of the next";
}

TEST(TpdfDither16, AddsToTheSignalAndDependsOnlyOnTheSeed) {
  constexpr std::size_t kFew = 5000;
  const std::vector<float> a = Dithered(42, kFew, 0.0f, 1);
  // The block sizes do not change the sequence; the seed does.
  EXPECT_EQ(Dithered(42, kFew, 0.0f, 2), a);
  EXPECT_NE(Dithered(43, kFew, 0.0f, 1), a);
  // Added to what the block holds, not written over it.
  const float signal = 1000 * kStep;
  const std::vector<float> b = Dithered(42, kFew, signal, 3);
  for (std::size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(b[i] - signal, a[i], 1e-3 * kStep) << i;
  // Seed 0 would stall a xorshift generator at 0; it must still dither.
  const std::vector<float> zero = Dithered(0, kFew, 0.0f, 1);
  EXPECT_GT(std::count_if(zero.begin(), zero.end(), [](float x) { return x != 0; }), 0.99 * static_cast<double>(zero.size()));
}

}  // namespace
}  // namespace tidemark
