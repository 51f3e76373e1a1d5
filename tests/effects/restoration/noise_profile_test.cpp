// The noise profile: the bin classes of hand-made spectra, the tonal
// regions among them, and CNoiseScan's mean powers against a direct DFT of
// the same frames.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "dsp/spectral/spectral_classes.h"
#include "effects/restoration/noise_profile.h"
#include "effects/restoration/noise_scan.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::testing {
namespace {

using dsp::BinClass;
constexpr BinClass V = BinClass::kValley, L = BinClass::kLeftSlope, P = BinClass::kPeak,
                   R = BinClass::kRightSlope;

struct ClassCase {
  const char* what;
  std::vector<float> power;
  std::size_t count;
  std::vector<BinClass> expected;
};

TEST(NoiseProfile, ClassifiesBinsWithTheTolerance) {
  const ClassCase cases[] = {
      {"one peak", {1, 2, 3, 2, 1}, 5, {V, L, P, R, V}},
      {"within 0.1 % is level", {1, 1.0005f, 1, 0.9995f}, 4, {V, V, V, V}},
      {"just over 0.1 % is not", {1, 1.002f, 1}, 3, {V, P, V}},
      {"plateau", {1, 3, 3, 1}, 4, {V, P, R, V}},
      {"falling first, rising last", {3, 1, 3}, 3, {R, V, P}},
      {"two peaks", {0, 5, 0, 1, 2, 0}, 6, {V, P, V, L, P, V}},
      {"only the first bins", {1, 2, 3, 4, 5}, 3, {V, L, P}},
  };
  for (const ClassCase& c : cases) {
    std::vector<BinClass> classes;
    dsp::ClassifyBins(c.power, c.count, &classes);
    EXPECT_EQ(classes, c.expected) << c.what;
  }
}

TEST(NoiseProfile, TonalRegionsStandOverTheirValleys) {
  const std::vector<float> power{1, 1, 2, 8, 2, 1, 1, 1.5f, 1, 4, 16, 64};
  std::vector<BinClass> classes;
  dsp::ClassifyBins(power, power.size(), &classes);
  const auto regions = dsp::FindTonalRegions(power, classes, 4.0);
  // 8 over valleys of 1, and 64 at the end over its one valley of 1; not 1.5.
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].first, 2u);
  EXPECT_EQ(regions[0].last, 4u);
  EXPECT_EQ(regions[1].first, 9u);
  EXPECT_EQ(regions[1].last, 11u);
}

// Mean |DFT|^2 of the square-root Hann windowed frames of n every n / 2.
std::vector<double> DirectProfile(const std::vector<float>& x, std::size_t n) {
  std::vector<double> mean(n / 2 + 1, 0.0);
  std::size_t frames = 0;
  for (std::size_t start = 0; start + n <= x.size(); start += n / 2, ++frames) {
    for (std::size_t k = 0; k <= n / 2; ++k) {
      double re = 0, im = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const double w = std::sqrt(0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n)));
        const double a = -2 * std::numbers::pi * static_cast<double>(k * i) / static_cast<double>(n);
        re += w * x[start + i] * std::cos(a);
        im += w * x[start + i] * std::sin(a);
      }
      mean[k] += re * re + im * im;
    }
  }
  for (double& m : mean) m /= static_cast<double>(frames);
  return mean;
}

TEST(NoiseProfile, ScanMatchesADirectDftOfItsFrames) {
  constexpr std::uint32_t kN = 64, kFrames = 5 * kN + 17;
  const std::vector<float> stereo = RandomSamples(2 * kFrames, 21, 0.5f);
  std::vector<float> right(kFrames);
  for (std::size_t i = 0; i < kFrames; ++i) right[i] = stereo[2 * i + 1];
  NS_EFFECT_HISS::CNoiseScan scan;
  ASSERT_EQ(scan.Init(kN, 2), 0u);
  std::vector<float> input = stereo;
  std::mt19937 gen(3);
  for (std::uint32_t at = 0; at < kFrames;) {
    const std::uint32_t n = std::min(kFrames - at, std::uniform_int_distribution<std::uint32_t>(0, 50)(gen));
    ASSERT_EQ(scan.Process(input.data() + 2 * at, n, 2, 2), 0u);
    at += n;
  }
  EXPECT_EQ(input, stereo) << "a scan writes nothing back";
  EXPECT_EQ(scan.Frames(), (kFrames - kN) / (kN / 2) + 1);
  const std::vector<double> expected = DirectProfile(right, kN);
  const std::vector<float> measured = scan.MeanPower(1);
  for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_NEAR(measured[k], expected[k], 1e-4 * expected[k]) << k;
  EXPECT_EQ(scan.MeanPower(0), std::vector<float>(kN / 2 + 1, 0.0f)) << "the left channel is not in the mask";

  // Shorter than a frame: the zero-padded stretch, scaled to the window's
  // energy (n / 2 for the square-root Hann window).
  NS_EFFECT_HISS::CNoiseScan short_scan;
  ASSERT_EQ(short_scan.Init(kN, 1), 0u);
  std::vector<float> stretch(right.begin(), right.begin() + 40);
  ASSERT_EQ(short_scan.Process(stretch.data(), 40, 1, 1), 0u);
  short_scan.MeasureShortMaterial();
  EXPECT_EQ(short_scan.Frames(), 1u);
  const std::vector<float> short_power = short_scan.MeanPower(0);
  for (std::size_t k = 0; k <= kN / 2; ++k) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < 40; ++i) {
      const double a = -2 * std::numbers::pi * static_cast<double>(k * i) / kN;
      re += stretch[i] * std::cos(a);
      im += stretch[i] * std::sin(a);
    }
    const double want = (re * re + im * im) * (kN / 2) / 40.0;
    EXPECT_NEAR(short_power[k], want, 1e-4 * want + 1e-9) << k;
  }
}

TEST(NoiseProfile, ClassesReachTo24KilohertzAtMost) {
  struct Case {
    std::uint32_t rate;
    int choice;
    std::size_t fft, classified;
  };
  for (const Case c : {Case{44100, 0, 2048, 1025}, Case{96000, 0, 4096, 1025}, Case{192000, 1, 16384, 2049},
                       Case{8000, 3, 16384, 8193}}) {
    const DocumentPtr doc = MakeFloatDocument(RandomSamples(c.fft + 10, 2, 0.1f), 1, c.rate);
    ClipRef clip;
    ASSERT_EQ(CopyToClip(*doc, 0, doc->length, &clip), 0u);
    std::shared_ptr<const NS_EFFECT_HISS::NoiseProfile> profile;
    ASSERT_EQ(NS_EFFECT_HISS::HissFftLength(c.rate, c.choice), c.fft);
    ASSERT_EQ(NS_EFFECT_HISS::ProfileCache().Get(nullptr, clip, 1, static_cast<std::uint32_t>(c.fft), &profile), 0u);
    EXPECT_EQ(profile->power[0].size(), c.fft / 2 + 1);
    EXPECT_EQ(profile->classes[0].size(), c.classified) << c.rate;
  }
}

}  // namespace
}  // namespace tidemark::testing
