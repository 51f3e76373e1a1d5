// The 1-bit to PCM converter: the decimation plan, the filter designs, the
// table-driven first stage against a direct evaluation, and the converting
// source reading hand-made data areas in both layouts.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk_writer.h"
#include "core/sample_convert.h"
#include "core/source_numbering.h"
#include "formats/one_bit_downsample.h"
#include "dsp/kaiser.h"
#include "formats/one_bit_filter_design.h"
#include "formats/one_bit_input_bits.h"
#include "formats/one_bit_lpf.h"
#include "formats/one_bit_lpf_kernels.h"
#include "formats/one_bit_plan.h"
#include "formats/one_bit_source.h"
#include "platform/error_numbers.h"
#include "tests/formats/chunk_test_util.h"

namespace tidemark::NS_1BIT {
namespace {

using testing::Bytes;

constexpr std::uint32_t kDsd64 = 2822400;
constexpr std::uint32_t kDsd32 = 1411200;
constexpr std::size_t kHeader = 37;   // bytes in front of the data area
constexpr std::size_t kTrailer = 13;  // bytes behind it that are not data

// One channel's 1-bit samples, time order (true = 1).
using Bits = std::vector<bool>;

// A second-order sigma-delta loop of `amplitude` x sin(2 pi f t).
Bits SigmaDelta(std::size_t count, double amplitude, double freq, double rate) {
  Bits bits(count);
  double i1 = 0, i2 = 0, y = 1;
  for (std::size_t n = 0; n < count; ++n) {
    const double x = amplitude * std::sin(2 * std::numbers::pi * freq * static_cast<double>(n) / rate);
    i1 += x - y;
    i2 += i1 - y;
    y = i2 >= 0 ? 1 : -1;
    bits[n] = y > 0;
  }
  return bits;
}

Bits RandomBits(std::size_t count, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bits bits(count);
  for (std::size_t n = 0; n < count; ++n) bits[n] = (gen() & 1) != 0;
  return bits;
}

Bits Pattern(std::size_t count, bool ones) {
  Bits bits(count);
  for (std::size_t n = 0; n < count; ++n) bits[n] = ones || n % 2 == 0;  // silence: 1, 0, 1, 0
  return bits;
}

std::uint8_t ByteOf(const Bits& bits, std::size_t i, bool lsb_first) {
  std::uint8_t b = 0;
  for (unsigned q = 0; q < 8; ++q)
    if (bits[8 * i + q]) b |= lsb_first ? (1u << q) : (0x80u >> q);
  return b;
}

// The data area of `channels` (whole bytes each) in `layout`, with junk
// around it; DSF block groups are padded with zeros.
Bytes DataFile(const std::vector<Bits>& channels, OneBitLayout layout) {
  const std::size_t ch = channels.size();
  const std::size_t bytes = channels[0].size() / 8;
  Bytes file(kHeader, 0x3C);
  if (layout == OneBitLayout::kByteInterleaved) {
    for (std::size_t i = 0; i < bytes; ++i)
      for (std::size_t c = 0; c < ch; ++c) file.push_back(ByteOf(channels[c], i, false));
  } else {
    const bool lsb = layout == OneBitLayout::kDsfLsbFirst;
    for (std::size_t g = 0; g * kDsfBlockBytes < bytes; ++g)
      for (std::size_t c = 0; c < ch; ++c)
        for (std::size_t i = g * kDsfBlockBytes; i < (g + 1) * kDsfBlockBytes; ++i)
          file.push_back(i < bytes ? ByteOf(channels[c], i, lsb) : 0);
  }
  file.insert(file.end(), kTrailer, 0xC3);
  return file;
}

SourceRef MakeSource(const std::vector<Bits>& channels, OneBitLayout layout, std::uint32_t rate, bool max_48k,
                     const std::string& name) {
  const std::string path = testing::WriteTempFile(name, DataFile(channels, layout));
  SourceRef ref;
  const std::uint64_t size = channels.size() * (channels[0].size() / 8);
  EXPECT_EQ(OneBitSource::Create(path, kHeader, size, rate, static_cast<std::uint16_t>(channels.size()), layout,
                                 max_48k, &ref),
            err::kOk);
  return ref;
}

std::vector<float> ReadAll(SoundSource* s, std::uint32_t first, std::uint32_t count) {
  std::vector<float> out(std::size_t{count} * s->channels(), -99.0f);
  EXPECT_EQ(s->Read(first, count, out.data(), sample_code::kFloat), err::kOk);
  return out;
}

// Amplitude of the `freq` component of `x` (interleaved, channel `c`) over
// frames [from, from + n), by least squares against sine and cosine.
double ToneAmplitude(const std::vector<float>& x, std::size_t ch, std::size_t c, std::size_t from, std::size_t n,
                     double freq, double rate) {
  double ss = 0, sc = 0;
  for (std::size_t k = from; k < from + n; ++k) {
    const double w = 2 * std::numbers::pi * freq * static_cast<double>(k) / rate;
    ss += x[k * ch + c] * std::sin(w);
    sc += x[k * ch + c] * std::cos(w);
  }
  return 2.0 * std::hypot(ss, sc) / static_cast<double>(n);
}

// The converter's output computed straight from the definition in double:
// value(b) = +1 / -1 per bit, silence outside the data, first stage
// 2 x sum kernel[i] value(centre - L1 / 2 + i), second stage sum k2[t] x
// stage1(centre + (t - 256) x R1), frame f centred on bit f x R.
class DirectConverter {
 public:
  DirectConverter(const Bits& bits, const OneBitPlan& plan) : bits_(bits), plan_(plan) {
    k1_ = EvenKernel(DesignFirstStageHalf(plan.first_length, plan.first_ratio, 130));
    if (plan.stages == 2) k2_ = EvenKernel(DesignSecondStageHalf(512, 100));
  }
  double Frame(std::int64_t f) const {
    const std::int64_t centre = f * plan_.ratio;
    if (plan_.stages == 1) return First(centre);
    double sum = 0;
    for (std::int64_t t = 0; t < 512; ++t) sum += k2_[t] * First(centre + (t - 256) * plan_.first_ratio);
    return sum;
  }

 private:
  double Value(std::int64_t b) const {
    if (b < 0 || b >= static_cast<std::int64_t>(bits_.size())) return (b & 1) ? -1.0 : 1.0;
    return bits_[static_cast<std::size_t>(b)] ? 1.0 : -1.0;
  }
  double First(std::int64_t centre) const {
    const std::int64_t l1 = plan_.first_length;
    double sum = 0;
    for (std::int64_t i = 0; i < l1; ++i) sum += k1_[i] * Value(centre - l1 / 2 + i);
    return 2.0 * sum;
  }
  const Bits& bits_;
  OneBitPlan plan_;
  std::vector<float> k1_, k2_;
};

TEST(OneBitPlan, RatesStagesBlocksAndMargins) {
  struct Case {
    std::uint32_t rate;
    bool max_48k;
    std::uint32_t pcm, ratio, first_ratio, stages;
  };
  const Case cases[] = {
      {kDsd64, false, 88200, 32, 32, 1},        {kDsd64, true, 44100, 64, 32, 2},
      {2 * kDsd64, false, 176400, 32, 32, 1},   {2 * kDsd64, true, 44100, 128, 64, 2},
      {3072000, false, 96000, 32, 32, 1},       {3072000, true, 48000, 64, 32, 2},
      {kDsd32, false, 44100, 32, 16, 2},        {kDsd32, true, 44100, 32, 16, 2},
      {1536031, true, 48000, 32, 16, 2},        {1536032, false, 48001, 32, 32, 1},
      {1536032, true, 24000, 64, 32, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    OneBitPlan p;
    ASSERT_EQ(MakeOneBitPlan(c.rate, 2, true, c.max_48k, 1000, &p), err::kOk);
    EXPECT_EQ(p.pcm_rate, c.pcm);
    EXPECT_EQ(p.ratio, c.ratio);
    EXPECT_EQ(p.first_ratio, c.first_ratio);
    EXPECT_EQ(p.stages, c.stages);
    EXPECT_EQ(p.first_length, 16 * c.first_ratio);
    EXPECT_EQ(p.second_length, c.stages == 2 ? 512u : 0u);
    EXPECT_EQ(p.block_length, 1048576u);
    EXPECT_EQ(p.block_frames, 1048576u / c.ratio);
    EXPECT_EQ(p.first_history, c.first_ratio);
    EXPECT_EQ(p.history, c.first_ratio + (c.stages == 2 ? 32 * c.first_ratio : 0));
    EXPECT_EQ(p.first_margin, 2 * p.first_history);  // interleaved: all channels
    EXPECT_EQ(p.margin, 2 * p.history);
    EXPECT_EQ(p.frames, 8000u / c.ratio);
  }
  OneBitPlan p;
  ASSERT_EQ(MakeOneBitPlan(kDsd64, 1, false, false, 0, &p), err::kOk);
  EXPECT_EQ(p.block_length, 2097152u);
  EXPECT_EQ(p.margin, p.history);  // DSF margins count one channel
  // A very high rate with the limit: R1 = 8192, so N doubles to 256 x R1.
  ASSERT_EQ(MakeOneBitPlan(786432000, 2, true, true, 0, &p), err::kOk);
  EXPECT_EQ(p.ratio, 16384u);
  EXPECT_EQ(p.block_length, 256u * 8192u);

  EXPECT_EQ(OneBitFrameCount(1000, 32), 250u);
  EXPECT_EQ(OneBitFrameCount(std::uint64_t{0xFFFF0000} * 4, 32), 0xFFFF0000u);
  EXPECT_EQ(OneBitFrameCount(std::uint64_t{0xFFFF0000} * 4 + 4, 32), 0xFFFF0000u);
  EXPECT_EQ(OneBitFrameCount(~std::uint64_t{0}, 32), 0xFFFF0000u);
  EXPECT_EQ(MakeOneBitPlan(kDsd64, 0, true, false, 0, &p), err::kUnsupportedFormat);
  EXPECT_EQ(MakeOneBitPlan(kDsd64, 3, true, false, 0, &p), err::kUnsupportedFormat);
  EXPECT_EQ(MakeOneBitPlan(0, 2, true, false, 0, &p), err::kUnsupportedFormat);
  EXPECT_EQ(MakeOneBitPlan(kHighestPlanRate + 1, 2, true, false, 0, &p), err::kUnsupportedFormat);
}

// |H(w)| of the symmetric filter with half `h`.
double Response(const std::vector<double>& h, double w) {
  double sum = h[0];
  for (std::size_t n = 1; n < h.size(); ++n) sum += 2 * h[n] * std::cos(w * static_cast<double>(n));
  return std::fabs(sum);
}

TEST(OneBitFilterDesign, KaiserDesignsOfBothStages) {
  EXPECT_NEAR(dsp::BesselI0(0), 1.0, 1e-15);
  EXPECT_NEAR(dsp::BesselI0(1), 1.2660658777520082, 1e-14);
  EXPECT_NEAR(dsp::BesselI0(10), 2815.716628466254, 1e-9);
  EXPECT_NEAR(dsp::KaiserBeta(130), 13.3673, 1e-4);
  EXPECT_NEAR(dsp::KaiserBeta(100), 10.0613, 1e-4);

  for (std::uint32_t r1 : {16u, 32u, 64u}) {
    SCOPED_TRACE(r1);
    const std::vector<double> h = DesignFirstStageHalf(16 * r1, r1, 130);
    ASSERT_EQ(2 * h.size() - 1, 16 * r1 - 1);  // L1 - 1 taps
    double dc = h[0];
    for (std::size_t n = 1; n < h.size(); ++n) dc += 2 * h[n];
    EXPECT_NEAR(dc, 1.0, 1e-14);
    const double wc = std::numbers::pi / r1;
    EXPECT_NEAR(Response(h, wc), 0.5, 0.01);  // cut-off at half the stage's output rate
    EXPECT_NEAR(Response(h, 0.2 * wc), 1.0, 1e-6);
    for (double w = 2.2 * wc; w < std::numbers::pi; w += 0.013) ASSERT_LT(Response(h, w), 1e-6) << w;

    const std::vector<float> k = EvenKernel(h);
    ASSERT_EQ(k.size(), 16 * r1);
    EXPECT_EQ(k[0], 0.0f);
    for (std::size_t i = 1; i < k.size(); ++i) ASSERT_EQ(k[i], k[k.size() - i]);
    EXPECT_EQ(k[k.size() / 2], static_cast<float>(h[0]));
  }

  const std::vector<double> h2 = DesignSecondStageHalf(512, 100);
  ASSERT_EQ(2 * h2.size() - 1, 511u);
  double dc = h2[0];
  for (std::size_t n = 1; n < h2.size(); ++n) dc += 2 * h2[n];
  EXPECT_NEAR(dc, 1.0, 1e-14);
  const double delta = (20 * 0.06 + 5.01741) * 0.5 / 511;
  EXPECT_NEAR(Response(h2, 2 * std::numbers::pi * (0.25 - delta)), 0.5, 0.01);
  for (double f = 0; f < 0.2; f += 0.01) EXPECT_NEAR(Response(h2, 2 * std::numbers::pi * f), 1.0, 1e-4) << f;
  for (double f = 0.2505; f <= 0.5; f += 0.005) ASSERT_LT(Response(h2, 2 * std::numbers::pi * f), 2e-5) << f;
}

TEST(OneBitLpf, TableKernelsMatchTheDirectSum) {
  for (std::uint32_t r1 : {16u, 32u, 64u}) {
    SCOPED_TRACE(r1);
    const std::uint32_t l1 = 16 * r1;
    const std::size_t step = r1 / 8, table_count = l1 / 8;
    const std::vector<float> kernel = EvenKernel(DesignFirstStageHalf(l1, r1, 130));
    const std::vector<float> narrow = lpf_detail::BuildByteTables(kernel, 2.0f);
    const std::vector<float> wide = lpf_detail::BuildWideTables(narrow, table_count, step);
    std::mt19937 gen(7);
    // 4k + 3 outputs, so the wide kernel also runs its one-by-one tail.
    const std::size_t count = 4 * 50 + 3;
    Bytes bytes((count - 1) * step + table_count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(gen());
    std::vector<float> by_narrow(count), by_wide(count);
    lpf_detail::FirstStageNarrow(narrow.data(), table_count, bytes.data(), step, by_narrow.data(), count);
    lpf_detail::FirstStageWide(wide.data(), table_count, bytes.data(), step, by_wide.data(), count);
    for (std::size_t k = 0; k < count; ++k) {
      double direct = 0;
      for (std::size_t i = 0; i < l1; ++i) {
        const std::size_t bit = k * r1 + i;
        direct += kernel[i] * ((bytes[bit / 8] & (0x80u >> (bit % 8))) ? 1.0 : -1.0);
      }
      direct *= 2;
      ASSERT_NEAR(by_narrow[k], direct, 4e-6) << k;
      ASSERT_NEAR(by_wide[k], direct, 4e-6) << k;
    }
  }
}

TEST(OneBitLpf, ExpandersGiveOneValuePerBitInTimeOrder) {
  const Bits a = RandomBits(800, 1), b = RandomBits(800, 2);
  Bytes interleaved, plane_a, plane_b;
  for (std::size_t i = 0; i < 100; ++i) {
    interleaved.push_back(ByteOf(a, i, false));
    interleaved.push_back(ByteOf(b, i, false));
    plane_a.push_back(ByteOf(a, i, true));
    plane_b.push_back(ByteOf(b, i, true));
  }
  const std::uint8_t* planes[2] = {plane_a.data(), plane_b.data()};
  const CInputBitsStd std_in(interleaved.data(), 100, 2, IdentityBitOrder());
  const CInputBitsDsf dsf_in(planes, 100, 2, ReversedBitOrder());
  for (const COneBitLpf::CInputBits* in : {static_cast<const COneBitLpf::CInputBits*>(&std_in),
                                           static_cast<const COneBitLpf::CInputBits*>(&dsf_in)}) {
    for (std::uint64_t start : {0u, 3u, 8u, 13u}) {
      for (std::uint16_t c = 0; c < 2; ++c) {
        const Bits& bits = c == 0 ? a : b;
        const std::size_t count = 800 - start - 5;
        std::vector<float> v(count);
        in->expand(v.data(), count, start, c);
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(v[i], bits[start + i] ? 1.0f : -1.0f) << start << " " << i;
      }
    }
  }
}

TEST(OneBitLpf, ThreadCountDoesNotChangeTheResult) {
  OneBitPlan p;
  ASSERT_EQ(MakeOneBitPlan(kDsd64, 2, true, true, 0, &p), err::kOk);
  std::unique_ptr<COneBitLpf> one, two;
  ASSERT_EQ(COneBitLpf::Create(p.first_length, p.first_ratio, 130, 512, 2, 100, 2.0f, p.block_length, 2, 1, true,
                               &one),
            err::kOk);
  ASSERT_EQ(COneBitLpf::Create(p.first_length, p.first_ratio, 130, 512, 2, 100, 2.0f, p.block_length, 2, 8, true,
                               &two),
            err::kOk);
  EXPECT_EQ(one->threads(), 1u);
  EXPECT_LE(two->threads(), 4u);
  const std::size_t bytes = one->input_bytes();
  Bytes data(bytes * 2);
  std::mt19937 gen(3);
  for (auto& b : data) b = static_cast<std::uint8_t>(gen());
  const CInputBitsStd in(data.data(), bytes, 2, IdentityBitOrder());
  std::vector<float> x(one->output_frames() * 2), y(x.size());
  ASSERT_EQ(one->Process(in, x.data()), err::kOk);
  ASSERT_EQ(two->Process(in, y.data()), err::kOk);
  EXPECT_EQ(std::memcmp(x.data(), y.data(), x.size() * sizeof(float)), 0);
  const CInputBitsStd short_in(data.data(), bytes - 1, 2, IdentityBitOrder());
  EXPECT_EQ(one->Process(short_in, x.data()), err::kSizeLimit);
  EXPECT_EQ(COneBitLpf::Create(500, 31, 130, 512, 2, 100, 2.0f, p.block_length, 2, 1, true, &one), err::kSizeLimit);
}

struct Setting {
  std::uint32_t rate;
  bool max_48k;
  OneBitLayout layout;
};

const Setting kSettings[] = {
    {kDsd64, false, OneBitLayout::kByteInterleaved},  // one stage of 32
    {kDsd64, true, OneBitLayout::kDsfLsbFirst},       // 32, then 2
    {kDsd32, false, OneBitLayout::kByteInterleaved},  // 16, then 2
    {kDsd32, false, OneBitLayout::kDsfLsbFirst},
};

TEST(OneBitSource, ConstantOnesAndSilenceSettle) {
  for (const Setting& s : kSettings) {
    SCOPED_TRACE(::testing::Message() << s.rate << " " << s.max_48k << " " << static_cast<int>(s.layout));
    const std::size_t bits = 8 * 40000;
    SourceRef ones = MakeSource({Pattern(bits, true), Pattern(bits, true)}, s.layout, s.rate, s.max_48k, "ones");
    SourceRef idle = MakeSource({Pattern(bits, false), Pattern(bits, false)}, s.layout, s.rate, s.max_48k, "idle");
    const OneBitSource* src = AsOneBitSource(ones.get());
    ASSERT_NE(src, nullptr);
    const OneBitPlan p = src->plan();
    const std::uint32_t frames = src->frames();
    ASSERT_EQ(frames, bits / p.ratio);
    const std::vector<float> a = ReadAll(ones.get(), 0, frames + 50);
    const std::vector<float> z = ReadAll(idle.get(), 0, frames + 50);
    // The filters reach L1 / 2 bits, plus 256 first-stage outputs with two stages.
    const std::size_t reach = (p.first_length / 2 + (p.stages == 2 ? 256 * p.first_ratio : 0)) / p.ratio + 1;
    for (std::size_t f = reach; f + reach < frames; ++f) {
      ASSERT_NEAR(a[2 * f], 2.0f, 1e-5) << f;
      ASSERT_NEAR(a[2 * f + 1], 2.0f, 1e-5) << f;
    }
    // Silence stays silent from the first frame to the last: the history
    // before the data and the padding after it are silence too.
    for (std::size_t i = 0; i < 2 * std::size_t{frames}; ++i) ASSERT_NEAR(z[i], 0.0f, 1e-5) << i;
    for (std::size_t i = 2 * std::size_t{frames}; i < a.size(); ++i) {
      ASSERT_EQ(a[i], 0.0f);
      ASSERT_EQ(z[i], 0.0f);
    }
  }
}

TEST(OneBitSource, ToneKeepsItsAmplitudeAndStartsSettled) {
  for (const Setting& s : kSettings) {
    SCOPED_TRACE(::testing::Message() << s.rate << " " << s.max_48k << " " << static_cast<int>(s.layout));
    const std::size_t bits = 8 * 24000;
    const Bits left = SigmaDelta(bits, 0.25, 1000, s.rate), right = SigmaDelta(bits, 0.125, 1000, s.rate);
    SourceRef ref = MakeSource({left, right}, s.layout, s.rate, s.max_48k, "tone");
    const std::uint32_t frames = AsOneBitSource(ref.get())->frames();
    const double rate = ref->rate();
    const std::vector<float> x = ReadAll(ref.get(), 0, frames);
    // Gain 2: a tone at 0.25 of the modulator's range comes out at 0.5.
    const std::size_t ten_cycles = static_cast<std::size_t>(rate / 100);
    EXPECT_NEAR(ToneAmplitude(x, 2, 0, frames / 2, ten_cycles, 1000, rate), 0.5, 0.004);
    EXPECT_NEAR(ToneAmplitude(x, 2, 1, frames / 2, ten_cycles, 1000, rate), 0.25, 0.004);

    // The same tone after 4096 bytes of real silence in the file: the first
    // frames of the first file must be what the filter makes of silence
    // followed by the tone.
    const std::size_t lead = 8 * 4096;
    Bits padded_left = Pattern(lead, false), padded_right = Pattern(lead, false);
    padded_left.insert(padded_left.end(), left.begin(), left.end());
    padded_right.insert(padded_right.end(), right.begin(), right.end());
    SourceRef later = MakeSource({padded_left, padded_right}, s.layout, s.rate, s.max_48k, "tone_late");
    const std::uint32_t shift = static_cast<std::uint32_t>(lead / AsOneBitSource(later.get())->plan().ratio);
    const std::vector<float> y = ReadAll(later.get(), shift, 200);
    for (std::size_t i = 0; i < y.size(); ++i) {
      ASSERT_NEAR(x[i], y[i], 1e-5) << i;
      ASSERT_LT(std::fabs(x[i]), 0.6f) << i;
    }
  }
}

TEST(OneBitSource, MatchesTheDirectDefinition) {
  for (const Setting& s : kSettings) {
    SCOPED_TRACE(::testing::Message() << s.rate << " " << s.max_48k << " " << static_cast<int>(s.layout));
    // A little more than one block of stereo (1048576 bits per channel).
    const std::size_t bits = 8 * 140000;
    const Bits left = RandomBits(bits, 11), right = SigmaDelta(bits, 0.3, 3000, s.rate);
    SourceRef ref = MakeSource({left, right}, s.layout, s.rate, s.max_48k, "direct");
    const OneBitPlan p = AsOneBitSource(ref.get())->plan();
    const DirectConverter dl(left, p), dr(right, p);
    const std::uint32_t frames = AsOneBitSource(ref.get())->frames();
    const std::vector<float> x = ReadAll(ref.get(), 0, frames);
    const std::int64_t fpb = p.block_frames;
    const std::int64_t probes[] = {0, 1, 2, 5, 17, fpb - 2, fpb - 1, fpb, fpb + 1, frames - 3, frames - 1};
    for (std::int64_t f : probes) {
      ASSERT_NEAR(x[2 * f], dl.Frame(f), 2e-5) << f;
      ASSERT_NEAR(x[2 * f + 1], dr.Frame(f), 2e-5) << f;
    }
  }
}

TEST(OneBitSource, ReadsInAnyOrderAndPieceGiveTheSameFrames) {
  const std::size_t bits = 8 * 140000;
  const std::vector<Bits> data = {RandomBits(bits, 5), SigmaDelta(bits, 0.4, 700, kDsd64)};
  for (const Setting& s : kSettings) {
    SCOPED_TRACE(::testing::Message() << s.rate << " " << s.max_48k << " " << static_cast<int>(s.layout));
    SourceRef a = MakeSource(data, s.layout, s.rate, s.max_48k, "order_a");
    SourceRef b = MakeSource(data, s.layout, s.rate, s.max_48k, "order_b");
    const std::uint32_t frames = AsOneBitSource(a.get())->frames();
    const std::uint32_t fpb = AsOneBitSource(a.get())->plan().block_frames;
    ASSERT_GT(frames, fpb);
    const std::vector<float> whole = ReadAll(a.get(), 0, frames + 20);
    // Odd pieces in order, across the block boundary and the end.
    std::vector<float> pieces(whole.size());
    std::mt19937 gen(9);
    for (std::uint32_t f = 0; f < frames + 20;) {
      const std::uint32_t n = std::min<std::uint32_t>(1 + gen() % 3001, frames + 20 - f);
      ASSERT_EQ(b->Read(f, n, pieces.data() + 2 * std::size_t{f}, sample_code::kFloat), err::kOk);
      f += n;
    }
    ASSERT_EQ(std::memcmp(whole.data(), pieces.data(), whole.size() * sizeof(float)), 0);
    // Out of order: later block first, repeated reads, straddling reads.
    for (int i = 0; i < 12; ++i) {
      const std::uint32_t f = i % 3 == 0 ? fpb - 7 : static_cast<std::uint32_t>(gen() % (frames + 10));
      const std::uint32_t n = std::min<std::uint32_t>(1 + gen() % 500, frames + 20 - f);
      const std::vector<float> part = ReadAll(b.get(), f, n);
      ASSERT_EQ(std::memcmp(part.data(), whole.data() + 2 * std::size_t{f}, part.size() * sizeof(float)), 0) << f;
    }
    // Another sample code: the float frames converted.
    std::vector<std::int16_t> s16(2 * std::size_t{frames});
    ASSERT_EQ(b->Read(0, frames, s16.data(), sample_code::kS16), err::kOk);
    std::vector<std::int16_t> expected(s16.size());
    Convert(whole.data(), expected.data(), expected.size(), sample_code::kFloat, sample_code::kS16);
    EXPECT_EQ(s16, expected);
  }
}

TEST(OneBitSource, DsfBitOrdersAndInterleavedDataAgree) {
  const std::size_t bits = 8 * 9000;
  const std::vector<Bits> data = {SigmaDelta(bits, 0.2, 1500, kDsd64), RandomBits(bits, 4)};
  SourceRef lsb = MakeSource(data, OneBitLayout::kDsfLsbFirst, kDsd64, false, "lsb");
  SourceRef msb = MakeSource(data, OneBitLayout::kDsfMsbFirst, kDsd64, false, "msb");
  SourceRef dff = MakeSource(data, OneBitLayout::kByteInterleaved, kDsd64, false, "dff");
  EXPECT_EQ(AsOneBitSource(lsb.get())->silence_byte(), 0x55);
  EXPECT_EQ(AsOneBitSource(dff.get())->silence_byte(), 0xAA);
  const std::uint32_t frames = AsOneBitSource(lsb.get())->frames();
  const std::vector<float> x = ReadAll(lsb.get(), 0, frames);
  const std::vector<float> y = ReadAll(msb.get(), 0, frames);
  const std::vector<float> z = ReadAll(dff.get(), 0, frames);
  EXPECT_EQ(std::memcmp(x.data(), y.data(), x.size() * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(x.data(), z.data(), x.size() * sizeof(float)), 0);
}

TEST(OneBitSource, LimitsErrorsAndBookkeeping) {
  const std::size_t before = OneBitSourceCount();
  const std::string path = testing::WriteTempFile("small", Bytes(kHeader + 4000, 0xAA));
  SourceRef ref;
  EXPECT_EQ(OneBitSource::Create(path, kHeader, 4000, kDsd64, 3, OneBitLayout::kByteInterleaved, false, &ref),
            err::kUnsupportedFormat);
  EXPECT_EQ(OneBitSource::Create(path, kHeader, 4001, kDsd64, 2, OneBitLayout::kByteInterleaved, false, &ref),
            err::kOk);
  OneBitSource* s = AsOneBitSource(ref.get());
  EXPECT_EQ(OneBitSourceCount(), before + 1);
  EXPECT_EQ(s->data_size(), 4000u);  // rounded down to whole frames of bytes
  EXPECT_EQ(ref->kind(), SourceKind::OneBit);
  EXPECT_EQ(ref->rate(), 88200u);
  EXPECT_EQ(s->frames(), 2000u * 8 / 32);
  EXPECT_FALSE(s->is_open());
  EXPECT_EQ(s->Replan(true), err::kOk);
  EXPECT_EQ(ref->rate(), 44100u);
  EXPECT_EQ(s->frames(), 2000u * 8 / 64);
  float frame[2];
  EXPECT_EQ(ref->Read(0, 1, frame, 0x4003), err::kSizeLimit);
  ASSERT_EQ(ref->Read(0, 1, frame, sample_code::kFloat), err::kOk);
  EXPECT_TRUE(s->is_open());
  EXPECT_EQ(s->Replan(false), err::kSizeLimit);
  s->Close();
  EXPECT_EQ(s->Replan(false), err::kOk);
  MemoryChunkWriter writer;
  EXPECT_EQ(ref->Serialize(writer), err::kSizeLimit);
  {
    SourceNumbering numbering;
    numbering.Add(ref.get());
    EXPECT_EQ(numbering.file_count(), 1u);
  }

  // Data claimed beyond the file: the frame count is clamped, and reading
  // where the file has no bytes fails.
  SourceRef big;
  ASSERT_EQ(OneBitSource::Create(path, kHeader, std::uint64_t{1} << 40, kDsd64, 2, OneBitLayout::kByteInterleaved,
                                 false, &big),
            err::kOk);
  EXPECT_EQ(AsOneBitSource(big.get())->frames(), 0xFFFF0000u);
  EXPECT_EQ(big->Read(0, 1, frame, sample_code::kFloat), err::kReadFailed);
  // A DSF block beyond 0x80000000000 bytes per channel is refused before
  // the file is opened.
  SourceRef far;
  ASSERT_EQ(OneBitSource::Create(path, kHeader, std::uint64_t{1} << 46, kHighestPlanRate, 2,
                                 OneBitLayout::kDsfLsbFirst, true, &far),
            err::kOk);
  EXPECT_EQ(far->Read(0xFFFEFFFFu, 1, frame, sample_code::kFloat), err::kReadFailed);
  EXPECT_FALSE(AsOneBitSource(far.get())->is_open());
  // A missing file shows at the first read.
  SourceRef missing;
  ASSERT_EQ(OneBitSource::Create(path + ".none", 0, 4000, kDsd64, 2, OneBitLayout::kByteInterleaved, false,
                                 &missing),
            err::kOk);
  EXPECT_EQ(missing->Read(0, 1, frame, sample_code::kFloat), err::kCannotOpen);
  big.reset();
  far.reset();
  missing.reset();
  ref.reset();
  EXPECT_EQ(OneBitSourceCount(), before);
}

}  // namespace
}  // namespace tidemark::NS_1BIT
