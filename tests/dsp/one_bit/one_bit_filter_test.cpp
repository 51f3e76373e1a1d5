// The 1-bit decimation filter: the plan, the Kaiser designs of both stages,
// the table kernels of the first stage and the input expanders.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/design/kaiser.h"
#include "dsp/one_bit/internal/one_bit_downsample.h"
#include "dsp/one_bit/one_bit_filter_design.h"
#include "dsp/one_bit/internal/one_bit_lpf_kernels.h"
#include "dsp/one_bit/one_bit_input_bits.h"
#include "dsp/one_bit/one_bit_lpf.h"
#include "dsp/one_bit/one_bit_plan.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint32_t kDsd64 = 2822400;
constexpr std::uint32_t kDsd32 = 1411200;

// One channel's 1-bit samples, time order (true = 1).
using Bits = std::vector<bool>;
using Bytes = std::vector<std::uint8_t>;

Bits RandomBits(std::size_t count, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bits bits(count);
  for (std::size_t n = 0; n < count; ++n) bits[n] = (gen() & 1) != 0;
  return bits;
}

std::uint8_t ByteOf(const Bits& bits, std::size_t i, bool lsb_first) {
  std::uint8_t b = 0;
  for (unsigned q = 0; q < 8; ++q)
    if (bits[8 * i + q]) b = static_cast<std::uint8_t>(b | (lsb_first ? (1u << q) : (0x80u >> q)));
  return b;
}

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

}  // namespace
}  // namespace tidemark::NS_1BIT
