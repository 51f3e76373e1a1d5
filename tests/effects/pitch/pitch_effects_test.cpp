// Pitch change, voice pitch, Doppler and the time stretch operations on
// documents: output lengths, measured frequencies and envelopes, the joins
// with the neighbours, the loaded settings, and bad samples.
#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "effects/pitch/doppler.h"
#include "effects/pitch/internal/resample_chain.h"
#include "effects/pitch/pitch_change.h"
#include "effects/pitch/time_stretch.h"
#include "effects/pitch/voice_pitch.h"
#include "tests/dsp/stretch/tone_frequency.h"
#include "tests/effects/channel/block_run_test_util.h"

namespace tidemark::testing {
namespace {

constexpr double kRate = 44100;

SettingsBlock PitchBlock(int cents) { return BlockBytes(2).I16(0, static_cast<std::int16_t>(cents)); }

class PitchChangeTone : public ::testing::TestWithParam<int> {};

// A 1 kHz tone's middle half lands at 1000 x 2^(cents / 1200) Hz (2000 at
// +1200, 1498.3 at +700) within 0.05 %.
TEST_P(PitchChangeTone, LengthAndMiddleFrequency) {
  const struct {
    int cents;
    double hz;
  } c{GetParam(), 1000 * std::exp2(GetParam() / 1200.0)};
  DocumentPtr doc = MakeFloatDocument(Tone(1000, kRate, 44100, 2), 2);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_PITCHCHG::Entry(), *doc, PitchBlock(c.cents)), 0u);
  const auto frames = static_cast<std::uint32_t>(std::floor(44100 / std::exp2(c.cents / 1200.0) + 0.5));
  ASSERT_EQ(doc->length, frames);
  const std::vector<float> out = ReadAll(*doc);
  for (std::size_t ch = 0; ch < 2; ++ch)
    EXPECT_NEAR(ZeroCrossingHz(out, 2, ch, frames / 4, 3 * frames / 4, kRate), c.hz, c.hz * 0.0005);
}

INSTANTIATE_TEST_SUITE_P(Cents, PitchChangeTone,
                         ::testing::Values(1200, 700, -1200, -350, 1250, 1));

// One second halves to 22050 frames at +1200 cents and doubles at -1200.
TEST(PitchChange, OctavesHalveAndDoubleTheLength) {
  for (const auto& [cents, frames] : {std::pair{1200, 22050u}, std::pair{-1200, 88200u}}) {
    DocumentPtr doc = MakeFloatDocument(Tone(1000, kRate, 44100, 1), 1);
    SelectAll(*doc);
    ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_PITCHCHG::Entry(), *doc, PitchBlock(cents)), 0u);
    EXPECT_EQ(doc->length, frames);
  }
}

// The tone runs on both sides of the selection: at each join the step is
// no larger than the steepest slope a 2 kHz tone of that level can have.
TEST(PitchChange, JoinsTheNeighboursWithoutAJump) {
  DocumentPtr doc = MakeFloatDocument(Tone(1000, kRate, 88200, 1), 1);
  Select(*doc, 22050, 66150);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_PITCHCHG::Entry(), *doc, PitchBlock(1200)), 0u);
  ASSERT_EQ(doc->length, 66150u);
  const std::vector<float> out = ReadAll(*doc);
  const double steepest = 0.5 * 2 * std::numbers::pi * 2000 / kRate;
  for (const std::size_t join : {std::size_t{22050}, std::size_t{22050 + 22050}})
    for (std::size_t i = join - 8; i < join + 8; ++i)
      EXPECT_LE(std::abs(out[i + 1] - out[i]), steepest * 1.05) << join << " " << i;
}

TEST(PitchChange, StoredPitchBeyondTheRangeLoadsAsTheEnd) {
  DocumentPtr doc = MakeFloatDocument(Tone(1000, kRate, 44100, 1), 1);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithLastUsed(NS_EFFECT_PITCHCHG::Entry(), *doc, PitchBlock(1300)), 0u);
  EXPECT_EQ(doc->length, static_cast<std::uint32_t>(std::floor(44100 / std::exp2(1250 / 1200.0) + 0.5)));
  EXPECT_EQ(NS_EFFECT_PITCHCHG::Entry().GetSettingsStore().block(), PitchBlock(1250));
}

TEST(PitchChange, SemitonesAndCentsShown) {
  const struct {
    int cents, semitones, rest;
  } kCases[] = {{1250, 12, 50}, {-1250, -12, -50}, {149, 1, 49}, {150, 2, -50},
                {-50, 0, -50},  {-51, -1, 49},     {0, 0, 0},    {1200, 12, 0}};
  for (const auto& c : kCases) {
    const auto split = NS_EFFECT_PITCHCHG::SplitCents(c.cents);
    EXPECT_EQ(split.semitones, c.semitones) << c.cents;
    EXPECT_EQ(split.cents, c.rest) << c.cents;
  }
}

TEST(PitchChange, EasingIsShortAndTheMiddleStepCorrected) {
  const struct {
    std::uint32_t source, output, easing;
  } kCases[] = {{44100, 22050, 5}, {1000000, 500000, 122}, {50000000, 25000000, 256}, {3, 2, 0}, {1, 1, 0}};
  for (const auto& c : kCases) {
    NS_EFFECT::EasedPositions p;
    p.Init(c.source, c.output);
    EXPECT_EQ(p.easing(), c.easing) << c.source;
    EXPECT_DOUBLE_EQ(p.At(0), 0.0);
    EXPECT_NEAR(p.At(c.output - 1), c.source - 1.0, 1e-6);
    double before = p.At(0);
    for (std::uint32_t n = 1; n < std::min<std::uint32_t>(c.output, 600); ++n) {  // steps ease up from 1
      const double step = p.At(n) - before;
      EXPECT_GE(step, 1.0 - 1e-9);
      EXPECT_LE(step, p.middle_step() + 1e-9);
      before = p.At(n);
    }
  }
}

TEST(PitchChange, TinySelections) {
  const struct {
    std::uint32_t length;
    int cents;
    std::uint32_t want;
  } kCases[] = {{1, 1200, 1}, {1, -1200, 2}, {2, 1250, 1}, {3, 0, 3}};
  for (const auto& c : kCases) {
    // Constant far beyond the kernel's reach either side: DC passes exactly.
    DocumentPtr doc = MakeFloatDocument(std::vector<float>(200, 0.25f), 1);
    Select(*doc, 100, 100 + c.length);
    ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_PITCHCHG::Entry(), *doc, PitchBlock(c.cents)), 0u);
    EXPECT_EQ(doc->length, 200 - c.length + c.want) << c.length << " " << c.cents;
    for (const float v : ReadAll(*doc)) EXPECT_NEAR(v, 0.25f, 1e-4f);
  }
  DocumentPtr doc = MakeFloatDocument(std::vector<float>(10, 0.25f), 1);
  Select(*doc, 4, 4);
  EXPECT_EQ(ExecuteWithBlock(NS_EFFECT_PITCHCHG::Entry(), *doc, PitchBlock(1200)), err::kNoSelection);
  EXPECT_EQ(doc->length, 10u);
}

// A NaN and an infinity read as 0: the output equals the one of the same
// input with zeros there.
TEST(PitchEffects, NonFiniteSamplesReadAsZero) {
  std::vector<float> bad = Tone(700, kRate, 20000, 1), clean = bad;
  bad[5000] = std::nanf("");
  bad[12000] = -INFINITY;
  clean[5000] = clean[12000] = 0.0f;
  const SettingsBlock blocks[] = {PitchBlock(500), BlockBytes(6).I16(0, 300).U8(5, 1),
                                  BlockBytes(10).I16(0, 80).I16(2, 300).I16(4, 2).I16(6, 24)};
  CEffEntry* const entries[] = {&NS_EFFECT_PITCHCHG::Entry(), &NS_EFFECT_VOPITCH::Entry(),
                                &NS_EFFECT_DOPPLER::Entry()};
  for (std::size_t e = 0; e < 3; ++e) {
    DocumentPtr a = MakeFloatDocument(bad, 1), b = MakeFloatDocument(clean, 1);
    SelectAll(*a);
    SelectAll(*b);
    ASSERT_EQ(ExecuteWithBlock(*entries[e], *a, blocks[e]), 0u);
    ASSERT_EQ(ExecuteWithBlock(*entries[e], *b, blocks[e]), 0u);
    EXPECT_EQ(ReadAll(*a), ReadAll(*b)) << e;
  }
}

// Harmonics of 150 Hz under a Gaussian envelope (sigma 250 Hz) peaking at
// 1 kHz over a -30 dB floor; the envelope's peak of the result is the
// power-weighted mean frequency of its harmonics above the floor's level.
double EnvelopePeakHz(const std::vector<float>& x, std::size_t from, std::size_t to, double f0) {
  double sum = 0, weighted = 0;
  for (int h = 1; h * f0 < 3000; ++h) {
    const double a = AmplitudeAt(x, 1, from, to, h * f0, kRate) - 0.01;
    if (a <= 0.02) continue;
    sum += a * a;
    weighted += a * a * h * f0;
  }
  return weighted / sum;
}

std::vector<float> Vowel(std::size_t frames) {
  std::vector<float> x(frames, 0.0f);
  for (int h = 1; h * 150.0 < 8000; ++h) {
    const double hz = h * 150.0, a = 0.01 + 0.3 * std::exp(-0.5 * std::pow((hz - 1000) / 250, 2));
    for (std::size_t i = 0; i < frames; ++i)
      x[i] += static_cast<float>(a * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / kRate + h));
  }
  return x;
}

TEST(VoicePitch, MovesHarmonicsAndPlacesTheEnvelope) {
  const struct {
    int cents, formant;
    bool keep;
    double peak_hz;
  } kCases[] = {{300, 0, true, 1000}, {-500, 0, true, 1000}, {300, 0, false, 1000}, {300, 3, true, 1189.2}};
  for (const auto& c : kCases) {
    DocumentPtr doc = MakeFloatDocument(Vowel(66150), 1);
    SelectAll(*doc);
    const auto half = static_cast<std::int16_t>(c.formant / 2);
    const auto odd = static_cast<std::uint8_t>(c.formant % 2 ? 0x80 : 0);
    ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_VOPITCH::Entry(), *doc,
                               BlockBytes(6).I16(0, static_cast<std::int16_t>(c.cents)).I16(2, half).U8(4, odd).U8(5, c.keep)),
              0u);
    const double ratio = std::exp2(c.cents / 1200.0);
    EXPECT_EQ(doc->length, c.keep ? 66150u : static_cast<std::uint32_t>(std::floor(66150 / ratio + 0.5)));
    const std::vector<float> out = ReadAll(*doc);
    const std::size_t from = doc->length / 4, to = 3 * doc->length / 4;
    const double f0 = 150 * ratio;
    // The harmonics moved: the new series near the formant is far stronger
    // than the old one (where no new harmonic lies within 25 Hz).
    double moved = 0, stayed = 0;
    for (int h = 1; h * f0 < 1600; ++h) moved += h * f0 > 600 ? AmplitudeAt(out, 1, from, to, h * f0, kRate) : 0;
    for (int h = 4; h <= 10; ++h) {
      const double hz = h * 150.0, nearest = std::round(hz / f0) * f0;
      if (std::abs(hz - nearest) > 25) stayed += AmplitudeAt(out, 1, from, to, hz, kRate);
    }
    EXPECT_GT(moved, 10 * stayed) << c.cents;
    EXPECT_NEAR(EnvelopePeakHz(out, from, to, f0), c.peak_hz, c.peak_hz * 0.05) << c.cents << " " << c.formant;
  }
}

TEST(VoicePitch, FormantPulledWithinAnOctaveOfThePitch) {
  const struct {
    int formant, cents, want;
  } kCases[] = {{12, -1200, 0}, {-12, 0, -12}, {-12, 300, -9}, {13, 1200, 12}, {5, 250, 5}, {-7, 650, -5}};
  for (const auto& c : kCases) EXPECT_EQ(NS_EFFECT_VOPITCH::PullFormant(c.formant, c.cents), c.want) << c.formant;
}

// Far from the microphones the pitch is the classical c / (c -+ v).
TEST(Doppler, ClassicalRatioFarFromTheMicrophones) {
  for (const int kmh : {100, -100}) {
    DocumentPtr doc = MakeFloatDocument(Tone(1000, kRate, 441000, 1), 1);
    SelectAll(*doc);
    ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_DOPPLER::Entry(), *doc,
                               BlockBytes(10).I16(0, static_cast<std::int16_t>(kmh)).I16(2, 300).I16(4, 0).I16(6, 24)),
              0u);
    ASSERT_EQ(doc->channels, 2u);
    ASSERT_EQ(doc->length, 441000u);
    const std::vector<float> out = ReadAll(*doc);
    const double v = 100 / 3.6, c = 340;
    for (std::size_t ch = 0; ch < 2; ++ch) {
      EXPECT_NEAR(ZeroCrossingHz(out, 2, ch, 22050, 66150, kRate), 1000 * c / (c - v), 1000 * c / (c - v) * 0.005);
      EXPECT_NEAR(ZeroCrossingHz(out, 2, ch, 374850, 418950, kRate), 1000 * c / (c + v), 1000 * c / (c + v) * 0.005);
    }
  }
}

TEST(Doppler, LevelRisesAsTheSourceApproaches) {
  DocumentPtr doc = MakeFloatDocument(Tone(1000, kRate, 88200, 2, 0.01f), 2);
  SelectAll(*doc);
  ASSERT_EQ(ExecuteWithBlock(NS_EFFECT_DOPPLER::Entry(), *doc,
                             BlockBytes(10).I16(0, 60).I16(2, 300).I16(4, 1).I16(6, 24).U8(8, 1)),
            0u);
  const std::vector<float> out = ReadAll(*doc);
  // Level only: the pitch stays; the level peaks at the middle.
  EXPECT_NEAR(ZeroCrossingHz(out, 2, 0, 0, 88200, kRate), 1000, 1);
  const double start = AmplitudeAt(out, 2, 0, 4410, 1000, kRate);
  const double middle = AmplitudeAt(out, 2, 41895, 46305, 1000, kRate);
  EXPECT_GT(middle, 3 * start);
}

TEST(Doppler, SlowStoredSpeedsLoadAsTwenty) {
  const struct {
    int stored, loaded;
  } kCases[] = {{0, 20}, {5, 20}, {-5, -20}, {-19, -20}, {20, 20}, {-120, -120}, {77, 77}};
  for (const auto& c : kCases) EXPECT_EQ(NS_EFFECT_DOPPLER::LoadedSpeed(c.stored), c.loaded) << c.stored;
}

// The operations automation calls: exact lengths, the pitch kept or moved,
// one undo step.
TEST(TimeStretchOperations, LengthFrequencyAndOneUndoStep) {
  const struct {
    double pitch, speed;
    bool music, two;
  } kCases[] = {{1, 0.5, false, false}, {1, 2, false, false}, {1.5, 1, true, true},
                {0.75, 2, false, true}, {1, 0.5, true, true}};
  for (const auto& c : kCases) {
    DocumentPtr doc = MakeFloatDocument(Tone(1000, kRate, 44100, 2), 2);
    SelectAll(*doc);
    ProgressScope scope;
    const Error rc = c.two ? NS_EFFECT::TimeStretch2(scope, *doc, c.pitch, c.speed, c.music)
                           : NS_EFFECT::TimeStretch(scope, *doc, c.speed, false);
    ASSERT_EQ(rc, 0u);
    const auto want = static_cast<std::uint32_t>(std::floor(44100 / c.speed + 0.5));
    ASSERT_EQ(doc->length, want);
    const std::vector<float> out = ReadAll(*doc);
    EXPECT_NEAR(ZeroCrossingHz(out, 2, 1, want / 4, 3 * want / 4, kRate), 1000 * c.pitch, 1000 * c.pitch * 0.002);
    ASSERT_EQ(Undo(*doc), 0u);
    EXPECT_EQ(doc->length, 44100u);
    EXPECT_FALSE(CanUndo(*doc));
  }
}

TEST(TimeStretchOperations, RangesAndEmptySelection) {
  DocumentPtr doc = MakeFloatDocument(Tone(1000, kRate, 4410, 1), 1);
  SelectAll(*doc);
  ProgressScope scope;
  EXPECT_EQ(NS_EFFECT::TimeStretch(scope, *doc, 0.09, false), err::kSizeLimit);
  EXPECT_EQ(NS_EFFECT::TimeStretch(scope, *doc, 10.5, false), err::kSizeLimit);
  EXPECT_EQ(NS_EFFECT::TimeStretch2(scope, *doc, 0.49, 1, false), err::kSizeLimit);
  EXPECT_EQ(NS_EFFECT::TimeStretch2(scope, *doc, 1, 2.01, false), err::kSizeLimit);
  EXPECT_EQ(doc->length, 4410u);
  EXPECT_EQ(NS_EFFECT::TimeStretch(scope, *doc, 10, false), 0u);
  EXPECT_EQ(doc->length, 441u);
  Select(*doc, 0, 0);
  EXPECT_EQ(NS_EFFECT::TimeStretch(scope, *doc, 2, false), err::kNoSelection);
}

}  // namespace
}  // namespace tidemark::testing
