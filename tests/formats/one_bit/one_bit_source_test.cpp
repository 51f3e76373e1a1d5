// The converting source behind a 1-bit document: hand-made data areas in
// every layout and stage count read against a direct evaluation of the
// filter, in any order and piece, with its limits and bookkeeping.
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/io/chunk_writer.h"
#include "core/samples/sample_convert.h"
#include "core/sources/source_numbering.h"
#include "dsp/design/kaiser.h"
#include "dsp/one_bit/one_bit_filter_design.h"
#include "dsp/one_bit/one_bit_input_bits.h"
#include "dsp/one_bit/one_bit_lpf.h"
#include "dsp/one_bit/one_bit_plan.h"
#include "formats/one_bit/one_bit_source.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/formats/chunks/chunk_test_util.h"

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
    if (bits[8 * i + q]) b = static_cast<std::uint8_t>(b | (lsb_first ? (1u << q) : (0x80u >> q)));
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

class OneBitSourceSettings : public ::testing::TestWithParam<Setting> {};
INSTANTIATE_TEST_SUITE_P(Settings, OneBitSourceSettings, ::testing::ValuesIn(kSettings), [](const auto& p) {
  const Setting& s = p.param;
  return std::to_string(s.rate) + (s.max_48k ? "_48k_" : "_") + std::to_string(static_cast<int>(s.layout));
});

TEST_P(OneBitSourceSettings, ConstantOnesAndSilenceSettle) {
  const Setting& s = GetParam();
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

TEST_P(OneBitSourceSettings, ToneKeepsItsAmplitudeAndStartsSettled) {
  const Setting& s = GetParam();
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

TEST_P(OneBitSourceSettings, MatchesTheDirectDefinition) {
  const Setting& s = GetParam();
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

TEST_P(OneBitSourceSettings, ReadsInAnyOrderAndPieceGiveTheSameFrames) {
  const Setting& s = GetParam();
  const std::size_t bits = 8 * 140000;
  const std::vector<Bits> data = {RandomBits(bits, 5), SigmaDelta(bits, 0.4, 700, kDsd64)};
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
    const std::uint32_t n = std::min<std::uint32_t>(1 + static_cast<std::uint32_t>(gen()) % 3001, frames + 20 - f);
    ASSERT_EQ(b->Read(f, n, pieces.data() + 2 * std::size_t{f}, sample_code::kFloat), err::kOk);
    f += n;
  }
  ASSERT_EQ(std::memcmp(whole.data(), pieces.data(), whole.size() * sizeof(float)), 0);
  // Out of order: later block first, repeated reads, straddling reads.
  for (int i = 0; i < 12; ++i) {
    const std::uint32_t f = i % 3 == 0 ? fpb - 7 : static_cast<std::uint32_t>(gen() % (frames + 10));
    const std::uint32_t n = std::min<std::uint32_t>(1 + static_cast<std::uint32_t>(gen()) % 500, frames + 20 - f);
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
  for (SoundSource* other : {msb.get(), dff.get()})
    EXPECT_EQ(std::memcmp(x.data(), ReadAll(other, 0, frames).data(), x.size() * sizeof(float)), 0);
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
  // The data rounded down to whole frames of bytes.
  EXPECT_EQ(std::tuple(s->data_size(), ref->kind(), ref->rate(), s->frames(), s->is_open()),
            std::tuple(4000u, SourceKind::OneBit, 88200u, 2000u * 8 / 32, false));
  EXPECT_EQ(s->Replan(true), err::kOk);
  EXPECT_EQ(std::tuple(ref->rate(), s->frames()), std::tuple(44100u, 2000u * 8 / 64));
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

  // More data than a document can hold: the frame count is clamped.
  SourceRef big;
  const std::uint64_t huge = std::uint64_t{1} << 35;
  const std::string sparse = testing::WriteSparseFile("huge", Bytes(kHeader, 0x3C), kHeader + huge);
  ASSERT_EQ(OneBitSource::Create(sparse, kHeader, huge, kDsd64, 2, OneBitLayout::kByteInterleaved, false, &big),
            err::kOk);
  EXPECT_EQ(AsOneBitSource(big.get())->frames(), 0xFFFF0000u);
  // A file that shrinks or goes away after the source was made shows at the
  // next read that needs it.
  SourceRef cut;
  const std::string cut_path = testing::WriteTempFile("cut", Bytes(kHeader + 4000, 0xAA));
  ASSERT_EQ(OneBitSource::Create(cut_path, kHeader, 4000, kDsd64, 2, OneBitLayout::kByteInterleaved, false, &cut),
            err::kOk);
  ASSERT_EQ(::truncate(cut_path.c_str(), kHeader + 100), 0);
  EXPECT_EQ(cut->Read(0, 1, frame, sample_code::kFloat), err::kReadFailed);
  AsOneBitSource(cut.get())->Close();
  ASSERT_EQ(std::remove(cut_path.c_str()), 0);
  EXPECT_EQ(cut->Read(0, 1, frame, sample_code::kFloat), err::kCannotOpen);
  big.reset();
  cut.reset();
  ref.reset();
  EXPECT_EQ(OneBitSourceCount(), before);
}

// The file must hold every byte the source will read: interleaved data to
// its last byte, DSF data to the last channel's last byte in the last block
// group (the group's padding may be missing). What is wrong is reported as
// the file answered, before the source exists.
TEST(OneBitSource, CreateChecksTheFileHoldsTheData) {
  const std::uint32_t per_channel = kDsfBlockBytes + 100;  // two block groups, the second nearly empty
  const std::uint64_t interleaved_end = kHeader + 2 * per_channel;
  const std::uint64_t dsf_end = kHeader + 3 * kDsfBlockBytes + 100;  // group 1: channel 0 block, 100 of channel 1
  const struct {
    const char* what;
    OneBitLayout layout;
    std::uint64_t file_length;  // 0: no file
    Error rc;
  } cases[] = {
      {"interleaved, whole", OneBitLayout::kByteInterleaved, interleaved_end, err::kOk},
      {"interleaved, last byte missing", OneBitLayout::kByteInterleaved, interleaved_end - 1, err::kReadFailed},
      {"interleaved, nothing past the header", OneBitLayout::kByteInterleaved, kHeader, err::kReadFailed},
      {"DSF, last group unpadded", OneBitLayout::kDsfLsbFirst, dsf_end, err::kOk},
      {"DSF, last byte missing", OneBitLayout::kDsfMsbFirst, dsf_end - 1, err::kReadFailed},
      {"DSF, as long as the interleaved data", OneBitLayout::kDsfLsbFirst, interleaved_end, err::kReadFailed},
      {"no file", OneBitLayout::kByteInterleaved, 0, err::kCannotOpen},
  };
  const std::size_t before = OneBitSourceCount();
  for (const auto& c : cases) {
    const std::string path = c.file_length ? testing::WriteTempFile("data", Bytes(c.file_length, 0x69))
                                           : testing::TempFilePath("none");
    SourceRef ref;
    EXPECT_EQ(OneBitSource::Create(path, kHeader, 2 * per_channel, kDsd64, 2, c.layout, false, &ref), c.rc)
        << c.what;
    EXPECT_EQ(ref.get() != nullptr, c.rc == err::kOk) << c.what;
    if (ref) {
      // Every frame reads: the check asked for what reading needs, no more.
      std::vector<float> all(std::size_t{AsOneBitSource(ref.get())->frames()} * 2);
      EXPECT_EQ(ref->Read(0, AsOneBitSource(ref.get())->frames(), all.data(), sample_code::kFloat), err::kOk)
          << c.what;
    }
  }
  EXPECT_EQ(OneBitSourceCount(), before);

  // A folder is no file, and a failing open of a file that is there reports
  // that failure.
  SourceRef ref;
  EXPECT_EQ(OneBitSource::Create(testing::MakeTempDir("folder"), 0, 0, kDsd64, 1, OneBitLayout::kByteInterleaved,
                                 false, &ref),
            err::kCannotOpen);
  const std::string path = testing::WriteTempFile("data", Bytes(kHeader + 64, 0x69));
  for (const auto& [op, error, rc] : {std::tuple{fault::kOpen, EACCES, err::kCannotOpen},
                                      std::tuple{fault::kStat, EIO, err::kReadFailed}}) {
    const fault::ScopedFault f(fault::FaultRule::FailNth(op, 1, error));
    EXPECT_EQ(OneBitSource::Create(path, kHeader, 64, kDsd64, 2, OneBitLayout::kByteInterleaved, false, &ref), rc);
    EXPECT_TRUE(f.fired()) << op;
  }
  EXPECT_FALSE(ref);
}

}  // namespace
}  // namespace tidemark::NS_1BIT
