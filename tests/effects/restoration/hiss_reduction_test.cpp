// Hiss reduction on constructed signals: the quality goals (the noise floor
// in gaps, a tone through it, pure noise reduced by the set amount), the
// noise types on a tone inside the noise, block splits, the profile kept
// until its length or source changes, and bad inputs (short selections and
// samples among them).
#include "effects/restoration/hiss_reduction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

#include "effects/restoration/noise_profile.h"
#include "effects/restoration/noise_sample.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

namespace hiss = NS_EFFECT_HISS;
constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kFrame = 2048;  // the default FFT length at 44.1 kHz

struct Settings {
  int mode = 1, strength = 2, reduction_db = 10, fft = 0;
  bool use_sample = true, smoothing = true;
};

SettingsBlock Block(const Settings& s) {
  const auto i16 = [](int v) { return static_cast<std::int16_t>(v); };
  return BlockBytes(12).I16(0, i16(s.mode)).I16(2, i16(s.strength)).I16(4, i16(-100 * s.reduction_db))
      .I16(8, i16(s.fft)).U8(10, s.use_sample ? 1 : 0).U8(11, s.smoothing ? 1 : 0);
}

std::vector<float> WhiteNoise(std::size_t count, std::uint32_t seed, double rms) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> dist(0.0, rms);
  std::vector<float> out(count);
  for (float& v : out) v = static_cast<float>(dist(gen));
  return out;
}

double Rms(const std::vector<float>& x, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) sum += double{x[i]} * x[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

// The amplitude of the `hz` component over [from, from + count), count a
// whole number of its periods.
double ToneAmplitude(const std::vector<float>& x, double hz, std::size_t from, std::size_t count) {
  double s = 0, c = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double phase = 2 * std::numbers::pi * hz * static_cast<double>(from + i) / kRate;
    s += x[from + i] * std::sin(phase);
    c += x[from + i] * std::cos(phase);
  }
  return 2.0 / static_cast<double>(count) * std::hypot(s, c);
}

class HissReduction : public ::testing::Test {
 protected:
  void SetUp() override {
    hiss::ForgetNoiseSample();
    hiss::ProfileCache().Clear();
  }
  void TearDown() override { hiss::ForgetNoiseSample(); }
};

// 1 s of noise alone (the noise sample), 2 s of a 1 kHz tone, a 0.5 s gap,
// 1.5 s of a speech-like voiced sound (a gliding harmonic series in
// syllables) and a 1 s gap, all over white noise at -30 dB.
struct TestSignal {
  static constexpr std::size_t kToneFrom = kRate, kToneTo = 3 * kRate;
  static constexpr std::size_t kGaps[2][2] = {{3 * kRate, 7 * kRate / 2}, {5 * kRate, 6 * kRate}};
  static constexpr double kTone = 0.25;
  std::vector<float> samples = WhiteNoise(6 * kRate, 11, std::pow(10.0, -30 / 20.0));

  TestSignal() {
    double phase = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const double t = static_cast<double>(i) / kRate;
      if (i >= kToneFrom && i < kToneTo) samples[i] += static_cast<float>(kTone * std::sin(2 * std::numbers::pi * 1000 * t));
      if (t >= 3.5 && t < 5.0) {
        phase += 2 * std::numbers::pi * (140 + 30 * std::sin(2 * std::numbers::pi * 1.3 * t)) / kRate;
        const double syllable = std::pow(std::sin(2 * std::numbers::pi * 4 * t), 2);
        for (int h = 1; h <= 12; ++h) samples[i] += static_cast<float>(syllable * 0.3 / h * std::sin(h * phase));
      }
    }
  }
};

struct QualityCase {
  int reduction_db, strength;
  bool smoothing;
};

class HissQuality : public HissReduction, public ::testing::WithParamInterface<QualityCase> {};

TEST_P(HissQuality, NoiseSampleLowersTheFloorAndKeepsTheTone) {
  const QualityCase q = GetParam();
  const TestSignal signal;
  const DocumentPtr doc = MakeFloatDocument(signal.samples, 1);
  ASSERT_EQ(hiss::RememberNoiseSample(*doc, 0, kRate), 0u);
  Select(*doc, kRate, doc->length);
  ASSERT_EQ(ExecuteWithBlock(hiss::Entry(), *doc, Block({.strength = q.strength, .reduction_db = q.reduction_db,
                                                         .smoothing = q.smoothing})), 0u);
  const std::vector<float> out = ReadAll(*doc);
  for (const auto& gap : TestSignal::kGaps) {
    const double lowered = Db(Rms(signal.samples, gap[0] + kFrame, gap[1] - kFrame) /
                              Rms(out, gap[0] + kFrame, gap[1] - kFrame));
    RecordProperty("floor_lowered_db_" + std::to_string(gap[0]), std::to_string(lowered));
    EXPECT_GE(lowered, q.reduction_db - 3.0) << "gap from " << gap[0];
  }
  const std::size_t from = TestSignal::kToneFrom + 8820, count = 70560;  // 1600 periods
  const double change = Db(ToneAmplitude(out, 1000, from, count) / TestSignal::kTone);
  RecordProperty("tone_change_db", std::to_string(change));
  EXPECT_LT(std::abs(change), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Levels, HissQuality,
                         ::testing::Values(QualityCase{10, 2, true}, QualityCase{20, 2, true},
                                           QualityCase{30, 2, true}, QualityCase{30, 1, true},
                                           QualityCase{20, 3, false}, QualityCase{6, 1, false}));

TEST_F(HissReduction, PureNoiseSelectionIsReducedByTheSetAmount) {
  const std::vector<float> noise = WhiteNoise(2 * 2 * kRate, 5, 0.05);
  for (const int mode : {0, 1, 2}) {
    for (const int reduction : {0, 6, 12, 20, 30}) {
      SCOPED_TRACE("mode " + std::to_string(mode) + ", " + std::to_string(reduction) + " dB");
      const DocumentPtr doc = MakeFloatDocument(noise, 2);
      SelectAll(*doc);
      ASSERT_EQ(ExecuteWithBlock(hiss::Entry(), *doc, Block({.mode = mode, .reduction_db = reduction})), 0u);
      const std::vector<float> out = ReadAll(*doc);
      const std::size_t edge = 2 * kFrame * 2;
      const double lowered = Db(Rms(noise, edge, noise.size() - edge) / Rms(out, edge, out.size() - edge));
      RecordProperty("mode" + std::to_string(mode) + "_" + std::to_string(reduction) + "db", std::to_string(lowered));
      EXPECT_NEAR(lowered, reduction, 3.0);
    }
  }
}

TEST_F(HissReduction, NoiseTypesTreatATonalLineInTheNoise) {
  // The noise holds a steady 1 kHz line 10 dB over the broadband floor's
  // total: hiss keeps it, broadband and tonal take it down, tonal most.
  std::vector<float> noise = WhiteNoise(3 * kRate, 8, 0.01);
  for (std::size_t i = 0; i < noise.size(); ++i)
    noise[i] += static_cast<float>(0.0447 * std::sin(2 * std::numbers::pi * 1000 * static_cast<double>(i) / kRate));
  double amplitude[3];
  for (const int mode : {0, 1, 2}) {
    const DocumentPtr doc = MakeFloatDocument(noise, 1);
    ASSERT_EQ(hiss::RememberNoiseSample(*doc, 0, kRate), 0u);
    Select(*doc, kRate, doc->length);
    ASSERT_EQ(ExecuteWithBlock(hiss::Entry(), *doc, Block({.mode = mode, .reduction_db = 30})), 0u);
    amplitude[mode] = ToneAmplitude(ReadAll(*doc), 1000, kRate + 4410, 66150);
  }
  const double before = ToneAmplitude(noise, 1000, kRate + 4410, 66150);
  EXPECT_NEAR(Db(amplitude[0] / before), 0.0, 1.0);
  EXPECT_LT(Db(amplitude[1] / before), -10.0);
  EXPECT_LE(Db(amplitude[2] / before), -27.0);
}

TEST_F(HissReduction, SameOutputHoweverTheBlocksAreSplit) {
  const DocumentPtr doc = MakeFloatDocument(WhiteNoise(2 * 8000, 3, 0.1), 2);
  SelectAll(*doc);
  ExpectSameOutputThreeWays(
      [&] { return std::move(Prepare(hiss::Entry(), *doc, Block({.reduction_db = 20})).run); }, 2, 3, 7000);
}

TEST_F(HissReduction, ProfileIsMeasuredAgainOnlyForANewLengthOrSource) {
  const DocumentPtr doc = MakeFloatDocument(WhiteNoise(40000, 4, 0.05), 1);
  const DocumentPtr other = MakeFloatDocument(WhiteNoise(40000, 6, 0.05), 1);
  const std::uint32_t start = hiss::ProfileCache().builds();
  const auto run = [&](SoundDocument& d, std::uint32_t from, std::uint32_t to, Settings s) {
    Select(d, from, to);
    EXPECT_EQ(ExecuteWithBlock(hiss::Entry(), d, Block(s)), 0u);
    return hiss::ProfileCache().builds() - start;
  };
  const Settings selection{.use_sample = false}, sample{};
  EXPECT_EQ(run(*doc, 0, 20000, selection), 1u);
  EXPECT_EQ(run(*doc, 0, 20000, selection), 2u) << "the first run changed the selection's material";
  ASSERT_EQ(hiss::RememberNoiseSample(*other, 0, 30000), 0u);
  EXPECT_EQ(run(*doc, 0, 100, sample), 3u);
  EXPECT_EQ(run(*doc, 500, 900, sample), 3u) << "same sample, same length";
  EXPECT_EQ(run(*doc, 500, 900, Settings{.mode = 2, .strength = 3, .reduction_db = 3}), 3u);
  EXPECT_EQ(run(*doc, 500, 900, Settings{.fft = 2}), 4u);
  // Taken again, the same stretch is the same material.
  ASSERT_EQ(hiss::RememberNoiseSample(*other, 0, 30000), 0u);
  EXPECT_EQ(run(*doc, 500, 900, Settings{.fft = 2}), 4u);
  ASSERT_EQ(hiss::RememberNoiseSample(*other, 1, 30000), 0u);
  EXPECT_EQ(run(*doc, 500, 900, Settings{.fft = 2}), 5u);
}

TEST_F(HissReduction, CancelledProfileScanChangesNothing) {
  const std::vector<float> noise = WhiteNoise(2 * 3 * kRate, 14, 0.05);
  const DocumentPtr doc = MakeFloatDocument(noise, 2);
  SelectAll(*doc);
  const std::uint32_t builds = hiss::ProfileCache().builds();
  TestDisplay display(0);
  SetProgressDisplay(&display);
  const Error rc = ExecuteWithBlock(hiss::Entry(), *doc, Block({.use_sample = false}));
  SetProgressDisplay(nullptr);
  EXPECT_EQ(rc, err::kCancelled);
  EXPECT_EQ(hiss::ProfileCache().builds(), builds);
  EXPECT_EQ(ReadAll(*doc), noise);
  EXPECT_GT(display.asked.load(), 0);
}

struct BadInput {
  const char* what;
  std::vector<float> samples;
};

TEST_F(HissReduction, BadInputsGiveFiniteBoundedOutput) {
  std::vector<float> square(3 * kFrame * 2), dc(3 * kFrame * 2, 0.5f);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 2) % 100 < 50 ? 1.0f : -1.0f;
  std::vector<float> holes = WhiteNoise(8 * kFrame * 2, 9, 0.1);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (const std::size_t at : {std::size_t{3000}, std::size_t{3001}, std::size_t{9000}}) holes[at] = nan;
  holes[9001] = inf;
  holes[9003] = -inf;
  const BadInput cases[] = {{"silence", std::vector<float>(3 * kFrame * 2)}, {"square", square}, {"dc", dc},
                            {"nan and inf", holes}};
  for (const BadInput& c : cases) {
    SCOPED_TRACE(c.what);
    const DocumentPtr doc = MakeFloatDocument(c.samples, 2);
    SelectAll(*doc);
    ASSERT_EQ(ExecuteWithBlock(hiss::Entry(), *doc, Block({.reduction_db = 30, .use_sample = false})), 0u);
    for (const float v : ReadAll(*doc)) ASSERT_TRUE(std::isfinite(v) && std::abs(v) <= 1.5f) << v;
  }
  // The bad samples count as 0 and leave the rest alone: far from them the
  // output is what the same noise without them gives.
  std::vector<float> clean = WhiteNoise(8 * kFrame * 2, 9, 0.1);
  const DocumentPtr with = MakeFloatDocument(holes, 2), without = MakeFloatDocument(clean, 2);
  hiss::ProfileCache().Clear();
  ASSERT_EQ(hiss::RememberNoiseSample(*without, 0, without->length), 0u);
  for (SoundDocument* d : {with.get(), without.get()}) {
    SelectAll(*d);
    ASSERT_EQ(ExecuteWithBlock(hiss::Entry(), *d, Block({.reduction_db = 20, .smoothing = false})), 0u);
  }
  const std::vector<float> a = ReadAll(*with), b = ReadAll(*without);
  const std::size_t quiet_from = (9003 / 2 + 3 * kFrame) * 2;
  EXPECT_EQ(std::vector<float>(a.begin() + quiet_from, a.end()), std::vector<float>(b.begin() + quiet_from, b.end()));
}

// Whether `after` differs from `before` at `from` and nowhere outside [from, to).
bool ChangedOnlyIn(const std::vector<float>& before, std::vector<float> after, std::size_t from, std::size_t to) {
  if (after[from] == before[from]) return false;
  std::copy(before.begin() + static_cast<std::ptrdiff_t>(from), before.begin() + static_cast<std::ptrdiff_t>(to),
            after.begin() + static_cast<std::ptrdiff_t>(from));
  return after == before;
}

TEST_F(HissReduction, ShortSelectionsAndSamples) {
  const DocumentPtr doc = MakeFloatDocument(WhiteNoise(30000, 12, 0.05), 1);
  // Without a sample a selection shorter than a frame is its own profile.
  for (const std::uint32_t length : {1u, kFrame - 1}) {
    const std::vector<float> before = ReadAll(*doc);
    Select(*doc, 100, 100 + length);
    ASSERT_EQ(ExecuteWithBlock(hiss::Entry(), *doc, Block({.reduction_db = 30})), 0u);
    EXPECT_TRUE(ChangedOnlyIn(before, ReadAll(*doc), 100, 100 + length)) << length;
  }
  // A sample shorter than one frame is refused and the old one kept; one
  // shorter than the chosen frame is refused by the effect.
  const std::vector<float> before = ReadAll(*doc);
  ASSERT_EQ(hiss::RememberNoiseSample(*doc, 0, 10000), 0u);
  EXPECT_EQ(hiss::RememberNoiseSample(*doc, 0, kFrame - 1), hiss::kTooShort);
  EXPECT_EQ(hiss::CurrentNoiseSample()->length, 10000u);
  Select(*doc, 5000, 5001);
  EXPECT_EQ(ExecuteWithBlock(hiss::Entry(), *doc, Block({.fft = 3})), hiss::kTooShort);
  EXPECT_EQ(ReadAll(*doc), before);
  ASSERT_EQ(ExecuteWithBlock(hiss::Entry(), *doc, Block({.reduction_db = 30})), 0u);
  EXPECT_TRUE(ChangedOnlyIn(before, ReadAll(*doc), 5000, 5001));
  // A sample of another rate does not fit.
  const DocumentPtr other = MakeFloatDocument(before, 1, 48000);
  SelectAll(*other);
  EXPECT_EQ(ExecuteWithBlock(hiss::Entry(), *other, Block({})), hiss::kRatesDiffer);
}

}  // namespace
}  // namespace tidemark::testing
