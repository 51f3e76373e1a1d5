// The converter against the band-limited truth: a tone converted must equal
// the same tone sampled at the output rate, frame for frame once the
// latency is dropped. Block splits, inner-loop variants and non-finite
// input are checked against a plain conversion of the same input.
#include "dsp/resample/resample.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

// Converts `input` (planar, `channels` arrays of n frames) feeding pieces of
// the sizes `next_piece` returns; drops the latency and returns exactly
// ConvertedLength(n) interleaved frames.
template <typename Pieces>
std::vector<float> Convert(CResample& converter, const std::vector<std::vector<float>>& input, Pieces next_piece) {
  const std::uint16_t channels = converter.GetChannels();
  const std::size_t n = input[0].size();
  const std::uint32_t in_rate = DesignOf(converter).reduced_input, out_rate = DesignOf(converter).reduced_output;
  const std::size_t wanted = ConvertedLength(n, out_rate, in_rate) + converter.GetOutputLatency();
  std::vector<float> out, block(std::size_t{converter.GetOutputBlock()} * channels);
  std::size_t fed = 0;
  while (out.size() < wanted * channels) {
    const std::uint32_t piece = std::min<std::uint32_t>(next_piece(), converter.GetInputBlock());
    float* const* in = converter.GetInputPointers();
    for (std::uint16_t c = 0; c < channels; ++c)
      for (std::uint32_t j = 0; j < piece; ++j) in[c][j] = fed + j < n ? input[c][fed + j] : 0.0f;
    fed += piece;
    const std::uint32_t made = converter.Process(block.data(), piece);
    out.insert(out.end(), block.begin(), block.begin() + std::ptrdiff_t{made} * channels);
  }
  out.erase(out.begin(), out.begin() + std::ptrdiff_t{converter.GetOutputLatency()} * channels);
  out.resize(wanted * channels - std::size_t{converter.GetOutputLatency()} * channels);
  return out;
}

std::vector<float> ConvertWhole(CResample& converter, const std::vector<std::vector<float>>& input) {
  const std::uint32_t block = converter.GetInputBlock();
  return Convert(converter, input, [block] { return block; });
}

std::vector<float> Tone(std::size_t n, double frequency, double rate, double phase = 0.0) {
  std::vector<float> x(n);
  for (std::size_t j = 0; j < n; ++j)
    x[j] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(j) / rate + phase));
  return x;
}

std::unique_ptr<CResample> Make(std::uint32_t out_rate, std::uint32_t in_rate, std::uint16_t channels,
                                ResampleOptions options = {}, std::uint32_t block_ms = 100) {
  std::unique_ptr<CResample> converter;
  EXPECT_EQ(MakeResampler(out_rate, in_rate, channels, block_ms, options, &converter), err::kOk);
  return converter;
}

struct FactoryCase {
  std::uint32_t in_rate, out_rate;
  ResamplerKind kind;
  std::uint32_t reduced_in, reduced_out, phases;
  bool interpolated, prefilter;
};

class ResampleFactory : public ::testing::TestWithParam<FactoryCase> {};

TEST_P(ResampleFactory, ReducesTheRatesAndPicksTheConverter) {
  const FactoryCase p = GetParam();
  EXPECT_EQ(ResamplerKindFor(p.out_rate, p.in_rate), p.kind);
  std::unique_ptr<CResample> converter;
  ASSERT_EQ(MakeResampler(p.out_rate, p.in_rate, 2, 200, {}, &converter), err::kOk);
  if (p.kind == ResamplerKind::kNone) {
    EXPECT_EQ(converter, nullptr);
    return;
  }
  ASSERT_NE(converter, nullptr);
  const ResampleDesign d = DesignOf(*converter);
  EXPECT_EQ(d.reduced_input, p.reduced_in);
  EXPECT_EQ(d.reduced_output, p.reduced_out);
  EXPECT_EQ(d.phases, p.phases);
  EXPECT_EQ(d.interpolated, p.interpolated);
  EXPECT_EQ(d.prefilter_taps > 0, p.prefilter);
  EXPECT_EQ(d.taps % 8, 0u);
  EXPECT_EQ(d.prefilter_taps % 8, 0u);
  // The block: a whole number of I' input frames, O' output frames each.
  EXPECT_EQ(converter->GetInputBlock() % p.reduced_in, 0u);
  EXPECT_EQ(std::uint64_t{converter->GetOutputBlock()} * p.reduced_in,
            std::uint64_t{converter->GetInputBlock()} * p.reduced_out);
  if (p.prefilter)
    EXPECT_GT(converter->GetLatency(), d.taps / 2);
  else
    EXPECT_EQ(converter->GetLatency(), d.taps / 2);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, ResampleFactory,
    ::testing::Values(FactoryCase{44100, 48000, ResamplerKind::kStd, 147, 160, 160, false, false},
                      FactoryCase{48000, 44100, ResamplerKind::kStd, 160, 147, 147, false, true},
                      FactoryCase{96000, 48000, ResamplerKind::kDecim, 2, 1, 1, false, false},
                      FactoryCase{44100, 44100, ResamplerKind::kNone, 0, 0, 0, false, false},
                      FactoryCase{44101, 48000, ResamplerKind::kStd, 44101, 48000, 2046, true, false},
                      FactoryCase{4000, 384000, ResamplerKind::kStd, 1, 96, 96, false, false},
                      FactoryCase{384000, 4000, ResamplerKind::kDecim, 96, 1, 1, false, false},
                      FactoryCase{48000, 96000, ResamplerKind::kDecim, 1, 2, 2, false, false}));

TEST(ResampleBlock, FollowsTheMillisecondsRoundedToWholeReducedBlocks) {
  struct Case {
    std::uint32_t in_rate, out_rate, ms, block_in, block_out;
  };
  const Case cases[] = {
      {44100, 48000, 200, 8820, 9600},    // 8820 = 60 x 147
      {44100, 48000, 1, 147, 160},        // 44.1 frames: at least one I'
      {44101, 48000, 200, 44101, 48000},  // 8820.2 rounds to 0 blocks: one I'
      {96000, 48000, 10, 960, 480},
  };
  for (const Case& c : cases) {
    auto converter = Make(c.out_rate, c.in_rate, 1, {}, c.ms);
    ASSERT_NE(converter, nullptr);
    EXPECT_EQ(converter->GetInputBlock(), c.block_in) << c.in_rate << "->" << c.out_rate;
    EXPECT_EQ(converter->GetOutputBlock(), c.block_out) << c.in_rate << "->" << c.out_rate;
  }
}

struct ToneCase {
  std::uint32_t in_rate, out_rate;
  std::uint8_t precision;
};

class ResampleTone : public ::testing::TestWithParam<ToneCase> {};

// A tone inside the pass band comes out as the same tone at the new rate,
// with nothing lost or gained at the start: the latency and length are exact.
TEST_P(ResampleTone, MatchesTheToneSampledAtTheOutputRate) {
  const ToneCase p = GetParam();
  ResampleOptions options;
  options.precision = p.precision;
  auto converter = Make(p.out_rate, p.in_rate, 2, options);
  ASSERT_NE(converter, nullptr);
  const double lower = std::min(p.in_rate, p.out_rate);
  const double f = 0.31 * lower;  // well inside the pass band, not a rational of either rate
  const std::size_t n = std::max<std::size_t>(4 * p.in_rate / 10, 3 * converter->GetInputBlock());
  const std::vector<std::vector<float>> input{Tone(n, f, p.in_rate), Tone(n, f, p.in_rate, 1.0)};
  const std::vector<float> out = ConvertWhole(*converter, input);
  const std::size_t frames = out.size() / 2;
  ASSERT_EQ(frames, ConvertedLength(n, p.out_rate, p.in_rate));
  const std::vector<float> left = Tone(frames, f, p.out_rate), right = Tone(frames, f, p.out_rate, 1.0);
  // Away from the ends, where the kernel sees the tone start and stop.
  const std::size_t edge = frames / 8;
  double worst = 0.0;
  for (std::size_t k = edge; k < frames - edge; ++k) {
    worst = std::max(worst, std::abs(double{out[2 * k]} - left[k]));
    worst = std::max(worst, std::abs(double{out[2 * k + 1]} - right[k]));
  }
  EXPECT_LT(worst, 1e-6) << p.in_rate << "->" << p.out_rate;
}

INSTANTIATE_TEST_SUITE_P(Rates, ResampleTone,
                         ::testing::Values(ToneCase{44100, 48000, 0}, ToneCase{48000, 44100, 0},
                                           ToneCase{96000, 44100, 0}, ToneCase{44100, 8000, 0},
                                           ToneCase{8000, 384000, 0}, ToneCase{384000, 4000, 0},
                                           ToneCase{4000, 384000, 0}, ToneCase{96000, 48000, 0},
                                           ToneCase{44101, 48000, 0}, ToneCase{44100, 48000, 1},
                                           ToneCase{48000, 44100, 1}));

// One block at a time, one frame at a time and random splits give the same
// frames bit for bit.
TEST(ResampleSplits, AnyBlockSplitGivesTheSameOutput) {
  const std::pair<std::uint32_t, std::uint32_t> rates[] = {{44100, 48000}, {48000, 44100}, {96000, 48000},
                                                           {44101, 48000}};
  std::mt19937 random(27);
  for (const auto& [in_rate, out_rate] : rates) {
    const std::size_t n = in_rate / 5;
    std::vector<std::vector<float>> input(2, std::vector<float>(n));
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    for (auto& channel : input)
      for (float& v : channel) v = sample(random);
    auto whole = Make(out_rate, in_rate, 2, {}, 20);
    const std::vector<float> expected = ConvertWhole(*whole, input);
    auto split = Make(out_rate, in_rate, 2, {}, 20);
    std::uniform_int_distribution<std::uint32_t> size(0, split->GetInputBlock());
    EXPECT_EQ(Convert(*split, input, [&] { return size(random); }), expected) << in_rate << "->" << out_rate;
    auto single = Make(out_rate, in_rate, 2, {}, 20);
    EXPECT_EQ(Convert(*single, input, [] { return 1u; }), expected) << in_rate << "->" << out_rate;
    // Reset forgets everything: the same input again gives the same output.
    single->Reset();
    EXPECT_EQ(ConvertWhole(*single, input), expected) << in_rate << "->" << out_rate;
  }
}

// The vector and portable inner loops agree within rounding in both precisions.
TEST(ResampleLoops, VectorAndPortableLoopsAgree) {
  for (const std::uint8_t precision : {std::uint8_t{0}, std::uint8_t{1}}) {
    ResampleOptions portable;
    portable.precision = precision;
    portable.flags = kResampleNoVector;
    ResampleOptions vector = portable;
    vector.flags = 0;
    auto a = Make(48000, 44100, 2, portable);
    auto b = Make(48000, 44100, 2, vector);
    EXPECT_FALSE(DesignOf(*a).vector_loop);
    if (!DesignOf(*b).vector_loop) GTEST_SKIP() << "this processor has no AVX2";
    std::mt19937 random(5);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<std::vector<float>> input(2, std::vector<float>(20000));
    for (auto& channel : input)
      for (float& v : channel) v = sample(random);
    const std::vector<float> x = ConvertWhole(*a, input), y = ConvertWhole(*b, input);
    ASSERT_EQ(x.size(), y.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) worst = std::max(worst, std::abs(double{x[i]} - y[i]));
    EXPECT_LT(worst, 2e-6) << "precision " << int{precision};
  }
}

// Each channel of a stereo conversion (both channels in one pass) is, bit
// for bit, the mono conversion of that channel, in every loop variant.
TEST(ResampleLoops, StereoChannelsEqualTheirMonoConversions) {
  std::mt19937 random(9);
  std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
  std::vector<std::vector<float>> input(2, std::vector<float>(12000));
  for (auto& channel : input)
    for (float& v : channel) v = sample(random);
  for (const std::uint8_t precision : {std::uint8_t{0}, std::uint8_t{1}}) {
    for (const std::uint8_t flags : {std::uint8_t{0}, kResampleNoVector}) {
      ResampleOptions options;
      options.precision = precision;
      options.flags = flags;
      auto stereo = Make(48000, 44100, 2, options);
      const std::vector<float> both = ConvertWhole(*stereo, input);
      for (std::size_t c = 0; c < 2; ++c) {
        auto mono = Make(48000, 44100, 1, options);
        const std::vector<float> one = ConvertWhole(*mono, {input[c]});
        ASSERT_EQ(both.size(), 2 * one.size());
        for (std::size_t k = 0; k < one.size(); ++k)
          ASSERT_EQ(both[2 * k + c], one[k]) << "precision " << int{precision} << " flags " << int{flags} << " frame " << k;
      }
    }
  }
}

// NaN and infinity read as 0: the output is what zeros there give, finite
// everywhere, and the histories recover.
TEST(ResampleNonFinite, NonFiniteSamplesReadAsZero) {
  const float bad[] = {std::nanf(""), INFINITY, -INFINITY};
  for (const auto& [in_rate, out_rate] : {std::pair<std::uint32_t, std::uint32_t>{44100, 48000}, {48000, 44100}}) {
    std::vector<std::vector<float>> dirty{Tone(9000, 1000.0, in_rate)};
    std::vector<std::vector<float>> clean = dirty;
    for (std::size_t i = 0; i < 3; ++i) {
      dirty[0][1000 + 2000 * i] = bad[i];
      clean[0][1000 + 2000 * i] = 0.0f;
    }
    auto a = Make(out_rate, in_rate, 1);
    auto b = Make(out_rate, in_rate, 1);
    const std::vector<float> x = ConvertWhole(*a, dirty), y = ConvertWhole(*b, clean);
    EXPECT_EQ(x, y);
    for (float v : x) ASSERT_TRUE(std::isfinite(v));
  }
}

TEST(ResampleArguments, RefusesWhatItCannotConvert) {
  std::unique_ptr<CResample> converter;
  EXPECT_EQ(MakeResampler(48000, 0, 1, 100, {}, &converter), err::kSizeLimit);
  EXPECT_EQ(MakeResampler(48000, 44100, 0, 100, {}, &converter), err::kSizeLimit);
  EXPECT_EQ(MakeResampler(48000, 44100, 3, 100, {}, &converter), err::kSizeLimit);
  EXPECT_EQ(MakeResampler(48000, 44100, 1, 0, {}, &converter), err::kSizeLimit);
  EXPECT_EQ(converter, nullptr);
}

TEST(ResampleOptionsFromSettings, KeepsValidValuesAndDefaultsTheRest) {
  const ResampleOptions given = ResampleOptionsFrom(2, 150, 3000);
  EXPECT_EQ(given.quality, 2);
  EXPECT_EQ(given.stopband_db, 150);
  EXPECT_EQ(given.transition_hz, 3000u);
  const ResampleOptions bad = ResampleOptionsFrom(7, 5, -1);
  EXPECT_EQ(bad.quality, ResampleOptions{}.quality);
  EXPECT_EQ(bad.stopband_db, ResampleOptions{}.stopband_db);
  EXPECT_EQ(bad.transition_hz, ResampleOptions{}.transition_hz);
}

}  // namespace
}  // namespace tidemark::dsp
