// The delta-sigma modulator: its design against the NTF it was derived from,
// the interpolator, bit packing, decoded levels, noise performance measured
// on the 1-bit stream, stability at full scale, and the SINAD measurement
// itself against tones with known noise.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/delta_sigma/internal/delta_sigma_design.h"
#include "dsp/delta_sigma/delta_sigma_modulator.h"
#include "dsp/delta_sigma/internal/half_band_interpolator.h"
#include "dsp/analysis/tone_analysis.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

constexpr std::uint32_t kPcmRate = 44100;
constexpr std::uint32_t kDsd64 = kPcmRate * 64;
constexpr DeltaSigmaMode kModes[] = {DeltaSigmaMode::kTenthOrder, DeltaSigmaMode::kSixthOrder};

DeltaSigmaOptions Options(DeltaSigmaMode mode, std::uint16_t channels, bool lsb_first = false,
                          std::uint32_t pcm_rate = kPcmRate, std::uint32_t ratio = 64) {
  DeltaSigmaOptions o;
  o.mode = mode;
  o.pcm_rate = pcm_rate;
  o.one_bit_rate = pcm_rate * ratio;
  o.channels = channels;
  o.lsb_first = lsb_first;
  return o;
}

std::vector<float> Sine(std::size_t frames, double amplitude, double hz, double rate = kPcmRate) {
  std::vector<float> v(frames);
  for (std::size_t i = 0; i < frames; ++i)
    v[i] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate));
  return v;
}

// Mono PCM through a modulator that stays alive between calls.
std::vector<std::uint8_t> Modulate(DeltaSigmaModulator& m, const std::vector<float>& pcm) {
  std::vector<std::uint8_t> bytes(pcm.size() * m.ratio() / 8);
  std::uint8_t* out[1] = {bytes.data()};
  EXPECT_EQ(m.Process(pcm.data(), static_cast<std::uint32_t>(pcm.size()), out), err::kOk);
  return bytes;
}

// Bits (most significant first) as the converter reads them: ±1, times 2.
std::vector<float> Decode(const std::vector<std::uint8_t>& bytes, std::size_t first_bit = 0) {
  std::vector<float> v;
  v.reserve(bytes.size() * 8 - first_bit);
  for (std::size_t i = first_bit; i < bytes.size() * 8; ++i)
    v.push_back((bytes[i / 8] >> (7 - i % 8)) & 1 ? 2.0f : -2.0f);
  return v;
}

double Mean(const std::vector<float>& v, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  to = std::min(to, v.size());
  double s = 0.0;
  for (std::size_t i = from; i < to; ++i) s += v[i];
  return s / static_cast<double>(to - from);
}

std::size_t LongestRun(const std::vector<float>& bits) {
  std::size_t best = 0, run = 0;
  for (std::size_t i = 0; i < bits.size(); ++i) {
    run = i > 0 && bits[i] == bits[i - 1] ? run + 1 : 1;
    best = std::max(best, run);
  }
  return best;
}

TEST(DeltaSigmaDesign, MeetsItsSpecAndRealisesTheNtf) {
  for (DeltaSigmaMode mode : kModes) {
    SCOPED_TRACE(static_cast<int>(mode));
    const NtfShape shape = DeltaSigmaNtfShape(mode);
    DeltaSigmaLoop loop;
    ASSERT_EQ(DesignDeltaSigmaLoop(mode, &loop), err::kOk);
    EXPECT_EQ(loop.sections * 2, shape.order);
    const Ntf& ntf = loop.ntf;
    // The stop band ends where the Chebyshev response leaves the stop-band
    // factor; it lies inside [0, band edge] and holds all the zeros.
    const double stop_edge = shape.band_edge / std::cosh(std::acosh(1.0 / shape.stop_factor) / shape.order);
    for (int i = 0; i < ntf.order; ++i) {
      EXPECT_NEAR(std::abs(ntf.zeros[i]), 1.0, 1e-12);
      EXPECT_LE(std::fabs(std::arg(ntf.zeros[i])) / (2.0 * std::numbers::pi), stop_edge * (1.0 + 1e-9));
      EXPECT_LT(std::abs(ntf.poles[i]), 1.0);
    }
    // The literal design is stable with two levels: no relaxation needed.
    EXPECT_DOUBLE_EQ(ntf.stop_factor, shape.stop_factor);
    const double top = NtfMaxGain(ntf);
    EXPECT_GT(top, 1.3);
    EXPECT_LE(top, shape.max_gain);
    const double nyquist = NtfGain(ntf, 0.5);
    double stop_peak = 0.0;
    for (int i = 0; i <= 2000; ++i) stop_peak = std::max(stop_peak, NtfGain(ntf, stop_edge * i / 2000.0));
    EXPECT_LE(stop_peak / nyquist, shape.stop_factor * 1.001);
    EXPECT_GT(stop_peak / nyquist, shape.stop_factor * 0.9);  // equiripple: the bound is reached
    EXPECT_NEAR(NtfGain(ntf, shape.band_edge) / nyquist, std::sqrt(0.5), 0.01);

    // The scaled resonator cascade as a linear system has exactly the NTF's
    // impulse response, and every state unit RMS for unit white error.
    constexpr std::size_t kLength = 4096;
    std::vector<double> impulse(kLength, 0.0), realised(kLength), expected(kLength);
    std::vector<double> states(kLength * shape.order);
    impulse[0] = 1.0;
    RunLinearLoop(loop, impulse.data(), kLength, realised.data(), states.data());
    NtfImpulse(ntf, expected.data(), kLength);
    for (std::size_t n = 0; n < kLength; ++n) ASSERT_NEAR(realised[n], expected[n], 1e-6) << n;
    // Down in the stop band too (about -100 dB), where rounding shows first.
    for (double f : {1e-4, 0.3 * stop_edge, 0.8 * stop_edge}) {
      std::complex<double> sum = 0.0;
      for (std::size_t n = 0; n < kLength; ++n) sum += realised[n] * std::polar(1.0, -2.0 * std::numbers::pi * f * static_cast<double>(n));
      EXPECT_NEAR(std::abs(sum) / NtfGain(ntf, f), 1.0, 1e-3) << f;
    }
    for (int k = 0; k < shape.order; ++k) {
      double sum = 0.0;
      for (std::size_t n = 0; n < kLength; ++n) sum += states[n * shape.order + k] * states[n * shape.order + k];
      EXPECT_NEAR(std::sqrt(sum), 1.0, 1e-3) << k;
    }
  }
  Ntf ntf;
  EXPECT_EQ(DesignNtf({7, 0.02, 1e-5, 1.5}, &ntf), err::kUnsupportedFormat);
  EXPECT_EQ(DesignNtf({6, 0.3, 1e-5, 1.5}, &ntf), err::kUnsupportedFormat);
  EXPECT_EQ(DesignNtf({6, 0.02, 1e-5, 1.0}, &ntf), err::kUnsupportedFormat);
  // Too deep a stop band for the gain limit: the poles are relaxed to it.
  ASSERT_EQ(DesignNtf({10, 0.05, 1e-6, 1.5}, &ntf), err::kOk);
  EXPECT_GT(ntf.stop_factor, 1e-5);
  EXPECT_NEAR(NtfMaxGain(ntf), 1.5, 1e-6);
}

TEST(HalfBandInterpolator, DelayGainAndImages) {
  for (std::uint32_t factor : {2u, 8u, 64u, 512u}) {
    SCOPED_TRACE(factor);
    HalfBandInterpolator h;
    ASSERT_EQ(h.Init(factor, 64), err::kOk);
    // An impulse peaks exactly `delay` input samples later.
    std::vector<ChannelPair> in(64, ChannelPair{0.0, 0.0}), out(64 * factor);
    std::vector<double> response;
    in[0] = ChannelPair{1.0, -0.5};
    for (int block = 0; block < 8; ++block) {
      h.Process(in.data(), in.size(), out.data());
      for (const ChannelPair& p : out) {
        response.push_back(p[0]);
        ASSERT_DOUBLE_EQ(p[1], -0.5 * p[0]);
      }
      in[0] = ChannelPair{0.0, 0.0};
    }
    const auto peak = std::max_element(response.begin(), response.end());
    EXPECT_EQ(static_cast<std::size_t>(peak - response.begin()), std::size_t{h.delay()} * factor);
    EXPECT_NEAR(*peak, 1.0, 1e-9);
    // Unit gain at DC: the response sums to the factor.
    double sum = 0.0;
    for (double v : response) sum += v;
    EXPECT_NEAR(sum, factor, 1e-6 * factor);
  }
  HalfBandInterpolator h;
  EXPECT_EQ(h.Init(3, 64), err::kUnsupportedFormat);
  EXPECT_EQ(h.Init(1024, 64), err::kUnsupportedFormat);
  EXPECT_EQ(h.Init(8, 0), err::kUnsupportedFormat);

  // A 19 kHz tone at 44.1 kHz interpolated by 2: its image at 25.1 kHz is
  // far below the tone.
  ASSERT_EQ(h.Init(2, 1 << 16), err::kOk);
  const std::vector<float> tone = Sine(1 << 16, 0.5, 19000.0);
  std::vector<ChannelPair> in(tone.size()), out(2 * tone.size());
  for (std::size_t i = 0; i < tone.size(); ++i) in[i] = ChannelPair{tone[i], 0.0};
  h.Process(in.data(), in.size(), out.data());
  std::vector<float> fine(out.size());
  for (std::size_t i = 0; i < out.size(); ++i) fine[i] = static_cast<float>(out[i][0]);
  EXPECT_GT(MeasureSinadDb(fine.data() + 4096, fine.size() - 4096, 88200.0, 19000.0, 20.0, 44100.0), 125.0);
}

TEST(DeltaSigmaModulator, RefusesWhatItCannotDo) {
  DeltaSigmaModulator m;
  std::uint8_t byte[64] = {};
  std::uint8_t* out[2] = {byte, byte + 32};
  const float pcm[2] = {0.0f, 0.0f};
  EXPECT_EQ(m.Process(pcm, 1, out), err::kUnsupportedFormat);  // not initialised
  auto init = [&](DeltaSigmaOptions o) { return m.Init(o); };
  DeltaSigmaOptions o = Options(DeltaSigmaMode::kTenthOrder, 2);
  o.pcm_rate = 0;
  EXPECT_EQ(init(o), err::kUnsupportedFormat);
  o = Options(DeltaSigmaMode::kTenthOrder, 2);
  o.one_bit_rate = 0;
  EXPECT_EQ(init(o), err::kUnsupportedFormat);
  o.one_bit_rate = kPcmRate * 64 + 1;  // not a whole multiple
  EXPECT_EQ(init(o), err::kUnsupportedFormat);
  EXPECT_EQ(init(Options(DeltaSigmaMode::kTenthOrder, 2, false, kPcmRate, 4)), err::kUnsupportedFormat);
  EXPECT_EQ(init(Options(DeltaSigmaMode::kTenthOrder, 2, false, kPcmRate, 1024)), err::kUnsupportedFormat);
  EXPECT_EQ(init(Options(DeltaSigmaMode::kTenthOrder, 2, false, kPcmRate, 48)), err::kUnsupportedFormat);
  EXPECT_EQ(init(Options(DeltaSigmaMode::kTenthOrder, 0)), err::kUnsupportedFormat);
  EXPECT_EQ(init(Options(DeltaSigmaMode::kTenthOrder, 3)), err::kUnsupportedFormat);
  EXPECT_EQ(init(Options(static_cast<DeltaSigmaMode>(7), 2)), err::kUnsupportedFormat);
  EXPECT_EQ(m.Process(pcm, 1, out), err::kUnsupportedFormat);  // a failed Init leaves it unusable

  for (std::uint32_t ratio : {8u, 32u, 128u, 256u, 512u})
    EXPECT_EQ(init(Options(kModes[1], 2, false, 48000, ratio)), err::kOk);
  EXPECT_GT(m.latency_frames(), 0u);
  EXPECT_LT(m.latency_frames(), 100u);
  EXPECT_EQ(m.Process(nullptr, 0, nullptr), err::kOk);
  EXPECT_EQ(m.Process(nullptr, 1, out), err::kUnsupportedFormat);
  EXPECT_EQ(m.Process(pcm, 1, nullptr), err::kUnsupportedFormat);
  std::uint8_t* half[2] = {byte, nullptr};
  EXPECT_EQ(m.Process(pcm, 1, half), err::kUnsupportedFormat);
}

TEST(DeltaSigmaModulator, BitOrderAndBlockSplitsGiveTheSameStream) {
  std::vector<float> stereo(2 * 3000);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (float& v : stereo) v = noise(rng);
  auto run = [&](bool lsb_first, std::vector<std::uint32_t> blocks) {
    DeltaSigmaModulator m;
    EXPECT_EQ(m.Init(Options(DeltaSigmaMode::kTenthOrder, 2, lsb_first, kPcmRate, 64)), err::kOk);
    std::vector<std::uint8_t> left(3000 * 8), right(3000 * 8);
    std::size_t done = 0;
    for (std::uint32_t n : blocks) {
      std::uint8_t* out[2] = {left.data() + done * 8, right.data() + done * 8};
      EXPECT_EQ(m.Process(stereo.data() + 2 * done, n, out), err::kOk);
      done += n;
    }
    EXPECT_EQ(done, 3000u);
    return std::make_pair(left, right);
  };
  const auto whole = run(false, {3000});
  EXPECT_NE(whole.first, whole.second);
  // Frame by frame and in random pieces: identical bytes.
  EXPECT_EQ(run(false, std::vector<std::uint32_t>(3000, 1)), whole);
  std::vector<std::uint32_t> pieces;
  for (std::uint32_t left = 3000; left > 0;) {
    const std::uint32_t n = std::min<std::uint32_t>(left, 1 + static_cast<std::uint32_t>(rng()) % 700);
    pieces.push_back(n);
    left -= n;
  }
  EXPECT_EQ(run(false, pieces), whole);
  // Least significant bit first: every byte bit-reversed.
  const auto lsb = run(true, pieces);
  for (std::size_t i = 0; i < whole.first.size(); ++i) {
    std::uint8_t r = 0;
    for (int b = 0; b < 8; ++b) r = static_cast<std::uint8_t>(r | (((whole.first[i] >> b) & 1) << (7 - b)));
    ASSERT_EQ(lsb.first[i], r) << i;
  }
}

TEST(DeltaSigmaModulator, SilenceAndDcDecodeToTheirLevel) {
  for (DeltaSigmaMode mode : kModes) {
    SCOPED_TRACE(static_cast<int>(mode));
    for (double level : {0.0, -1.0, -0.5, -0.1, 0.25, 0.75, 1.0}) {
      SCOPED_TRACE(level);
      DeltaSigmaModulator m;
      ASSERT_EQ(m.Init(Options(mode, 1)), err::kOk);
      const std::vector<std::uint8_t> bytes = Modulate(m, std::vector<float>(8192, static_cast<float>(level)));
      const std::vector<float> bits = Decode(bytes, 1 << 17);  // after the interpolator has settled
      EXPECT_NEAR(Mean(bits), level, 2e-4);
      EXPECT_EQ(m.clipped_bytes(), 0u);
      // Idle silence toggles quickly; full scale (75 % ones) still breaks
      // its runs of ones within a few bits.
      EXPECT_LE(LongestRun(bits), level == 0.0 ? 4u : 16u);
    }
  }
}

TEST(DeltaSigmaModulator, SineSinadOnTheOneBitStream) {
  for (DeltaSigmaMode mode : kModes) {
    SCOPED_TRACE(static_cast<int>(mode));
    DeltaSigmaModulator m;
    ASSERT_EQ(m.Init(Options(mode, 2)), err::kOk);
    // 1 kHz at -6 dBFS in both channels (the right one inverted); 2^20 bits
    // measured after 2^18 bits of start-up.
    const std::size_t frames = ((1 << 20) + (1 << 18)) / 64;
    const std::vector<float> tone = Sine(frames, 0.5, 1000.0);
    std::vector<float> stereo(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) stereo[2 * i] = tone[i], stereo[2 * i + 1] = -tone[i];
    std::vector<std::uint8_t> left(frames * 8), right(frames * 8);
    std::uint8_t* out[2] = {left.data(), right.data()};
    ASSERT_EQ(m.Process(stereo.data(), static_cast<std::uint32_t>(frames), out), err::kOk);
    for (const auto* channel : {&left, &right}) {
      const std::vector<float> bits = Decode(*channel, 1 << 18);
      const double sinad = MeasureSinadDb(bits.data(), bits.size(), kDsd64, 1000.0, 20.0, 20000.0);
      EXPECT_GE(sinad, mode == DeltaSigmaMode::kTenthOrder ? 115.0 : 100.0);
    }
    // The tone comes out where the latency says: 256-bit averages of the
    // decoded stream around frame f + latency follow input frame f, and do
    // so markedly worse one frame either side.
    const std::vector<float> bits = Decode(left);
    double rms[3] = {};
    for (int shift = -1; shift <= 1; ++shift) {
      const std::size_t lag = (std::size_t{m.latency_frames()} + shift) * 64;
      for (std::size_t frame = 2000; frame < 2100; ++frame) {
        const double e = Mean(bits, lag + frame * 64 - 128, lag + frame * 64 + 128) - tone[frame];
        rms[shift + 1] += e * e / 100.0;
      }
    }
    EXPECT_LT(std::sqrt(rms[1]), 0.02);
    EXPECT_GT(std::sqrt(rms[0]), 0.04);
    EXPECT_GT(std::sqrt(rms[2]), 0.04);
  }
}

TEST(DeltaSigmaModulator, StableAtFullScaleAndAfterIt) {
  for (DeltaSigmaMode mode : kModes) {
    SCOPED_TRACE(static_cast<int>(mode));
    DeltaSigmaModulator m;
    ASSERT_EQ(m.Init(Options(mode, 1)), err::kOk);
    // -3 dBFS at 1 kHz and 15 kHz.
    Modulate(m, Sine(16384, std::sqrt(0.5), 1000.0));
    Modulate(m, Sine(16384, std::sqrt(0.5), 15000.0));
    EXPECT_EQ(m.clipped_bytes(), 0u);
    EXPECT_LT(m.peak_state(), DeltaSigmaModulator::kStateLimit / 4);
    // Full-scale square waves (the interpolator overshoots past full scale at
    // their edges), then out-of-range and non-finite samples, which are
    // clipped to full scale or taken as silence.
    for (double hz : {50.0, 1000.0, 7000.0}) {
      std::vector<float> square(16384);
      for (std::size_t i = 0; i < square.size(); ++i)
        square[i] = std::fmod(static_cast<double>(i) * hz / kPcmRate, 1.0) < 0.5 ? 1.0f : -1.0f;
      const std::vector<float> bits = Decode(Modulate(m, square));
      EXPECT_LE(LongestRun(bits), 24u) << hz;
    }
    std::vector<float> wild(4096, 1e30f);
    std::fill(wild.begin() + 1024, wild.begin() + 2048, -std::numeric_limits<float>::infinity());
    std::fill(wild.begin() + 2048, wild.begin() + 3072, std::numeric_limits<float>::quiet_NaN());
    const std::vector<float> wild_bits = Decode(Modulate(m, wild));
    EXPECT_NEAR(Mean(wild_bits, 300 * 64, 1000 * 64), 1.0, 1e-3);
    EXPECT_NEAR(Mean(wild_bits, 1300 * 64, 2000 * 64), -1.0, 1e-3);
    EXPECT_NEAR(Mean(wild_bits, 2300 * 64, 3000 * 64), 0.0, 1e-3);
    EXPECT_LT(m.peak_state(), DeltaSigmaModulator::kStateLimit / 2);
    EXPECT_EQ(m.restarts(), 0u);
    // A sine afterwards is as clean as from a fresh start.
    const std::vector<float> bits = Decode(Modulate(m, Sine(20480, 0.5, 1000.0)), 1 << 18);
    EXPECT_GE(MeasureSinadDb(bits.data(), bits.size(), kDsd64, 1000.0, 20.0, 20000.0), 100.0);
  }
}

TEST(MeasureSinad, AgreesWithKnownNoiseAndPureTones) {
  std::mt19937 rng(11);
  for (const double rate : {48000.0, 88200.0}) {
    SCOPED_TRACE(rate);
    // 100000 samples (65536 used) of a 0.5 tone plus uniform noise of
    // variance a^2 / 3; the band holds (band / (rate / 2)) of the noise.
    const double amp = 0.5, a = 1e-3;
    std::uniform_real_distribution<double> noise(-a, a);
    const std::vector<float> tone = Sine(100000, amp, 997.0, rate);
    std::vector<float> noisy(tone.size());
    for (std::size_t i = 0; i < tone.size(); ++i) noisy[i] = static_cast<float>(tone[i] + noise(rng));
    for (const auto& [lo, hi] : {std::pair{20.0, 20000.0}, std::pair{100.0, 5000.0}}) {
      const double expected = 10.0 * std::log10((amp * amp / 2.0) / (a * a / 3.0 * (hi - lo) / (rate / 2.0)));
      EXPECT_NEAR(MeasureSinadDb(noisy.data(), noisy.size(), rate, 997.0, lo, hi), expected, 0.3) << lo;
    }
    // A pure tone: only the float rounding of the samples is left.
    EXPECT_GT(MeasureSinadDb(tone.data(), tone.size(), rate, 997.0, 20.0, 20000.0), 135.0);
    // A third harmonic 80 dB down is distortion.
    std::vector<float> distorted(tone.size());
    const std::vector<float> third = Sine(tone.size(), amp * 1e-4, 2991.0, rate);
    for (std::size_t i = 0; i < tone.size(); ++i) distorted[i] = tone[i] + third[i];
    EXPECT_NEAR(MeasureSinadDb(distorted.data(), distorted.size(), rate, 997.0, 20.0, 20000.0), 80.0, 0.1);
  }
  const std::vector<float> tone = Sine(1000, 0.5, 997.0, 48000.0);
  EXPECT_TRUE(std::isnan(MeasureSinadDb(tone.data(), 63, 48000.0, 997.0, 20.0, 20000.0)));
  EXPECT_TRUE(std::isnan(MeasureSinadDb(tone.data(), tone.size(), 0.0, 997.0, 20.0, 20000.0)));
  EXPECT_TRUE(std::isnan(MeasureSinadDb(tone.data(), tone.size(), 48000.0, 997.0, 2000.0, 20000.0)));
  EXPECT_TRUE(std::isnan(MeasureSinadDb(tone.data(), tone.size(), 48000.0, 997.0, 20.0, 10.0)));
  const std::vector<float> silence(1000, 0.0f);
  EXPECT_TRUE(std::isnan(MeasureSinadDb(silence.data(), silence.size(), 48000.0, 997.0, 20.0, 20000.0)));
}

}  // namespace
}  // namespace tidemark::dsp
