// The noise profile: the bin classes of hand-made spectra, CNoiseScan's
// mean powers against a direct DFT of the same frames, and how far the
// classes reach.
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

// |DFT|^2 of one frame, bins 0 to n / 2.
std::vector<double> Periodogram(const std::vector<double>& frame) {
  const std::size_t n = frame.size();
  std::vector<double> power(n / 2 + 1);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double a = -2 * std::numbers::pi * static_cast<double>(k * i) / static_cast<double>(n);
      re += frame[i] * std::cos(a);
      im += frame[i] * std::sin(a);
    }
    power[k] = re * re + im * im;
  }
  return power;
}

TEST(NoiseProfile, ScanMatchesADirectDftOfItsFrames) {
  constexpr std::uint32_t kN = 64, kFrames = 5 * kN + 17;
  const std::vector<float> stereo = RandomSamples(2 * kFrames, 21, 0.5f);
  NS_EFFECT_HISS::CNoiseScan scan, short_scan;
  ASSERT_EQ(scan.Init(kN, 2), 0u);
  std::vector<float> input = stereo;
  std::mt19937 gen(3);
  for (std::uint32_t at = 0; at < kFrames;) {
    const std::uint32_t n = std::min(kFrames - at, std::uniform_int_distribution<std::uint32_t>(0, 50)(gen));
    ASSERT_EQ(scan.Process(input.data() + 2 * at, n, 2, 2), 0u);
    at += n;
  }
  EXPECT_EQ(input, stereo) << "a scan writes nothing back";
  // Square-root Hann windowed frames of the right channel every n / 2.
  std::vector<double> expected(kN / 2 + 1, 0.0);
  std::size_t frames = 0;
  for (std::size_t start = 0; start + kN <= kFrames; start += kN / 2, ++frames) {
    std::vector<double> frame(kN);
    for (std::size_t i = 0; i < kN; ++i)
      frame[i] = std::sqrt(0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / kN)) *
                 stereo[2 * (start + i) + 1];
    const std::vector<double> power = Periodogram(frame);
    for (std::size_t k = 0; k < power.size(); ++k) expected[k] += power[k];
  }
  EXPECT_EQ(scan.Frames(), frames);
  const std::vector<float> measured = scan.MeanPower(1);
  for (std::size_t k = 0; k < expected.size(); ++k)
    EXPECT_NEAR(measured[k], expected[k] / static_cast<double>(frames), 1e-4 * expected[k] / static_cast<double>(frames));
  EXPECT_EQ(scan.MeanPower(0), std::vector<float>(kN / 2 + 1, 0.0f)) << "the left channel is not in the mask";

  // Shorter than a frame: the zero-padded stretch, scaled to the window's
  // energy (n / 2 for the square-root Hann window).
  ASSERT_EQ(short_scan.Init(kN, 1), 0u);
  std::vector<float> stretch(input.begin(), input.begin() + 40);
  ASSERT_EQ(short_scan.Process(stretch.data(), 40, 1, 1), 0u);
  short_scan.MeasureShortMaterial();
  EXPECT_EQ(short_scan.Frames(), 1u);
  std::vector<double> padded(kN, 0.0);
  std::copy(stretch.begin(), stretch.end(), padded.begin());
  const std::vector<double> short_expected = Periodogram(padded);
  const std::vector<float> short_power = short_scan.MeanPower(0);
  for (std::size_t k = 0; k <= kN / 2; ++k)
    EXPECT_NEAR(short_power[k], short_expected[k] * (kN / 2) / 40.0, 1e-4 * short_expected[k] + 1e-9) << k;
}

TEST(NoiseProfile, ClassesReachTo24KilohertzAtMost) {
  struct Case {
    std::uint32_t rate;
    int choice;
    std::uint32_t fft, classified;
  };
  for (const Case c : {Case{44100, 0, 2048, 1025}, Case{96000, 0, 4096, 1025}, Case{192000, 1, 16384, 2049},
                       Case{8000, 3, 16384, 8193}}) {
    const DocumentPtr doc = MakeFloatDocument(RandomSamples(c.fft + 10, 2, 0.1f), 1, c.rate);
    ClipRef clip;
    ASSERT_EQ(CopyToClip(*doc, 0, doc->length, &clip), 0u);
    std::shared_ptr<const NS_EFFECT_HISS::NoiseProfile> profile;
    ASSERT_EQ(NS_EFFECT_HISS::HissFftLength(c.rate, c.choice), c.fft);
    ASSERT_EQ(NS_EFFECT_HISS::ProfileCache().Get(nullptr, clip, 1, c.fft, &profile), 0u);
    EXPECT_EQ(profile->classes[0].size(), c.classified) << c.rate;
  }
}

}  // namespace
}  // namespace tidemark::testing
