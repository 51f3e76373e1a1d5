// Reading segment lists through the cursor, checked frame by frame against a
// plain model: every source's stored samples in an array, each document
// frame looked up by a linear scan of the placed segments and converted by
// the reference conversion rules.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "core/core_options.h"
#include "core/document/segment_cursor.h"
#include "core/sources/source_list.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/document_model.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using namespace sample_code;
using reftest::ReferenceSample;
using testing::Stored;
using testing::StoredSilence;
using testing::StoredView;

// A segment list built beside its model.
class ListModel {
 public:
  ListModel(std::uint16_t channels, std::uint32_t length) : channels_(channels), length_(length) {}

  void Add(const Stored& src, std::uint32_t position, std::uint32_t length, std::uint32_t offset,
           std::optional<SegmentGain> gain = {}) {
    auto s = std::make_unique<Segment>();
    s->source = src.source;
    s->position = position;
    s->length = length;
    s->source_offset = offset;
    if (gain) s->gain = std::make_unique<SegmentGain>(*gain);
    list_.PushBack(std::move(s));
    placed_.push_back({&src, position, length, offset, gain});
  }
  const SegmentList& list() const { return list_; }
  SegmentCursor Cursor() const { return SegmentCursor(list_, channels_, length_); }
  std::uint16_t channels() const { return channels_; }
  std::uint32_t length() const { return length_; }

  // What reading [from, from + n) in `code` gives; with `hook_delta`, a
  // hook that adds it to every sample of dithered material is in use.
  std::vector<std::uint8_t> Expect(std::uint32_t from, std::uint32_t n, SampleCode code,
                                   std::optional<float> hook_delta = {}) const {
    const unsigned b = BytesPerSample(code);
    std::vector<std::uint8_t> out(std::size_t{n} * channels_ * b);
    const bool dither_code = hook_delta && (code == kS16 || code == kS16BE);
    for (std::uint32_t f = 0; f < n; ++f)
      for (std::uint16_t c = 0; c < channels_; ++c)
        Sample(from + f, c, code, &out[(std::size_t{f} * channels_ + c) * b], dither_code && Dithered(from + f),
               hook_delta.value_or(0.0f));
    return out;
  }

  // The float value a hook sees for frame f, channel c (dithered material only).
  float HookInput(std::uint32_t f, std::uint16_t c) const {
    float x;
    Sample(f, c, kFloat, reinterpret_cast<std::uint8_t*>(&x), true, 0.0f);
    return x;
  }

  bool Dithered(std::uint32_t f) const {
    const Placed* p = Find(f);
    return p && (BytesPerSample(p->src->code) > 2 ||
                 (p->gain && (p->gain->gain0 != 1.0f || (channels_ > 1 && p->gain->gain1 != 1.0f))));
  }

 private:
  struct Placed {
    const Stored* src;
    std::uint32_t position, length, offset;
    std::optional<SegmentGain> gain;
  };
  const Placed* Find(std::uint32_t f) const {
    for (const Placed& p : placed_)
      if (f >= p.position && f - p.position < p.length) return &p;
    return nullptr;
  }
  void Sample(std::uint32_t f, std::uint16_t c, SampleCode code, std::uint8_t* out, bool dither, float delta) const {
    const Placed* p = Find(f);
    testing::ExpectSample(p ? p->src : nullptr, p ? p->offset + (f - p->position) : 0, c, channels_,
                          p && p->gain ? &*p->gain : nullptr, code, out, dither, delta);
  }

  std::uint16_t channels_;
  std::uint32_t length_;
  SegmentList list_;
  std::vector<Placed> placed_;
};

// Adds `delta` to every sample and keeps what it was given.
class RecordingHook final : public DitherHook {
 public:
  explicit RecordingHook(float delta) : delta_(delta) {}
  void Apply(float* block, std::uint32_t frames, std::uint16_t channels) override {
    ++calls;
    largest_block = std::max(largest_block, frames);
    channels_seen = channels;
    for (std::size_t i = 0; i < std::size_t{frames} * channels; ++i) {
      seen.push_back(block[i]);
      block[i] += delta_;
    }
  }
  int calls = 0;
  std::uint32_t largest_block = 0;
  std::uint16_t channels_seen = 0;
  std::vector<float> seen;

 private:
  float delta_;
};

// Integer codes compare bytes; floats compare values (so +0 and -0 agree)
// unless `bit_exact`.
::testing::AssertionResult SameSamples(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want,
                                       SampleCode code, bool bit_exact = false) {
  const unsigned b = BytesPerSample(code);
  if (got.size() != want.size()) return ::testing::AssertionFailure() << "size " << got.size();
  for (std::size_t i = 0; i < got.size() / b; ++i) {
    bool same = std::memcmp(&got[i * b], &want[i * b], b) == 0;
    if (!same && IsFloatCode(code) && !bit_exact) {
      double x, y;
      ReferenceSample(&got[i * b], code, reinterpret_cast<std::uint8_t*>(&x), kDouble);
      ReferenceSample(&want[i * b], code, reinterpret_cast<std::uint8_t*>(&y), kDouble);
      same = x == y || (std::isnan(x) && std::isnan(y));
    }
    if (!same) return ::testing::AssertionFailure() << "sample " << i << " differs (code 0x" << std::hex << code << ")";
  }
  return ::testing::AssertionSuccess();
}

Error ReadGuarded(SegmentCursor& cursor, std::uint16_t channels, std::uint32_t n, SampleCode code,
                          std::vector<std::uint8_t>* out, DitherHook* hook = nullptr) {
  return testing::ReadGuarded(std::size_t{n} * channels * BytesPerSample(code), out,
                              [&](std::uint8_t* p) { return cursor.Read(n, p, code, hook); });
}

class CursorTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing::MakeTempDir("cursor"); }
  void TearDown() override {
    fault::RemoveAllFaults();
    MutableCoreOptions().cached_reading_disabled = false;
    EXPECT_EQ(OpenFileSourceCount(), 0u) << "a test leaked a file source";
  }

  Stored File(SampleCode code, std::uint16_t channels, std::uint32_t frames, std::uint32_t seed) {
    return testing::StoredFile(dir_, code, channels, frames, seed);
  }

  std::string dir_;
};

// Reads stretches that start in gaps, cross segment boundaries and jump
// back and forth, in all twelve codes.
void CheckRandomReads(const ListModel& m, std::uint32_t seed) {
  std::mt19937 rng(seed);
  SegmentCursor cursor = m.Cursor();
  for (const SampleCode code : kAll) {
    for (int i = 0; i < 30; ++i) {
      const std::uint32_t from = static_cast<std::uint32_t>(rng()) % m.length();
      const std::uint32_t n = 1 + static_cast<std::uint32_t>(rng()) % std::min<std::uint32_t>(m.length() - from, 3000);
      cursor.Seek(from);
      std::vector<std::uint8_t> got;
      ASSERT_EQ(ReadGuarded(cursor, m.channels(), n, code, &got), 0u);
      ASSERT_TRUE(SameSamples(got, m.Expect(from, n, code), code)) << "[" << from << ", +" << n << ")";
      EXPECT_EQ(cursor.frame(), from + n);
    }
    // The whole list in random pieces, without seeking.
    cursor.Seek(0);
    std::vector<std::uint8_t> all, piece;
    for (std::uint32_t at = 0; at < m.length();) {
      const std::uint32_t n = std::min<std::uint32_t>(m.length() - at, 1 + static_cast<std::uint32_t>(rng()) % 2500);
      ASSERT_EQ(ReadGuarded(cursor, m.channels(), n, code, &piece), 0u);
      all.insert(all.end(), piece.begin(), piece.end());
      at += n;
    }
    ASSERT_TRUE(SameSamples(all, m.Expect(0, m.length(), code), code)) << "whole list, code " << code;
  }
}

TEST_F(CursorTest, StereoListsOfEveryKindOfSourceMatchTheModel) {
  const Stored s16 = File(kS16, 2, 6000, 1), s24 = File(kS24BE, 2, 5000, 2), u8 = File(kU8, 1, 4000, 3);
  const Stored fl = File(kFloat, 2, 3000, 4), s32 = File(kS32, 2, 3000, 5), dbl = File(kDoubleBE, 1, 3000, 6);
  const Stored silence = StoredSilence(2, 4000), view = StoredView(u8, 2, 0), dview = StoredView(dbl, 2, 0);
  const Stored right = StoredView(s16, 2, 1);
  ListModel m(2, 30000);
  m.Add(s16, 700, 3000, 1000);                                     // after a leading gap
  m.Add(s24, 3700, 2500, 100, SegmentGain{0.75f, 0.01f, -1.5f, -0.2f});
  m.Add(silence, 6500, 1000, 0, SegmentGain{1.0f, 0.25f, 1.0f, -0.5f});  // offsets only
  m.Add(view, 7500, 2000, 1500, SegmentGain{0.5f, 0.0f, 2.0f, 0.0f});    // gains only
  m.Add(fl, 9500, 2500, 200, SegmentGain{1.0f, 0.0f, 0.8f, 0.1f});        // one channel untouched
  m.Add(s32, 12500, 2000, 700, SegmentGain{});                     // a unity block keeps 32 bits
  m.Add(dview, 15000, 2000, 0);
  m.Add(right, 17000, 3000, 2000, SegmentGain{1.0f, 0.5f, 0.5f, 0.0f});
  m.Add(s16, 20000, 20, 0);                                        // then a gap to the end
  CheckRandomReads(m, 11);
}

TEST_F(CursorTest, MonoListsMatchTheModelAndReadFloatDoublesThem) {
  const Stored st = File(kS16BE, 2, 5000, 21), s24 = File(kS24, 1, 5000, 22), silence = StoredSilence(1, 3000);
  const Stored left = StoredView(st, 1, 0), right = StoredView(st, 1, 1);
  ListModel m(1, 16000);
  m.Add(right, 100, 4000, 500);
  m.Add(s24, 4100, 3000, 1000, SegmentGain{0.6f, -0.05f, 7.0f, 7.0f});  // channel 1 values unused
  m.Add(silence, 8000, 2000, 0, SegmentGain{1.0f, 0.125f, 1.0f, 0.0f});
  m.Add(left, 10000, 4000, 0, SegmentGain{-1.0f, 0.0f, 1.0f, 0.0f});
  CheckRandomReads(m, 23);

  SegmentCursor cursor = m.Cursor();
  std::mt19937 rng(24);
  for (int i = 0; i < 20; ++i) {
    const std::uint32_t from = static_cast<std::uint32_t>(rng()) % m.length();
    const std::uint32_t n = 1 + static_cast<std::uint32_t>(rng()) % (m.length() - from);
    const std::vector<std::uint8_t> want = m.Expect(from, n, kFloat);
    std::vector<float> got(2 * std::size_t{n} + 8, 9.0f);
    cursor.Seek(from);
    ASSERT_EQ(cursor.ReadFloat(n, got.data(), 2), 0u);
    for (std::uint32_t f = 0; f < n; ++f) {
      float x;
      std::memcpy(&x, &want[f * 4], 4);
      ASSERT_EQ(got[2 * f], x) << from + f;
      ASSERT_EQ(got[2 * f + 1], x) << from + f;
    }
    EXPECT_EQ(got[2 * n], 9.0f) << "wrote past the frames";
    std::vector<float> same(n);
    cursor.Seek(from);
    ASSERT_EQ(cursor.ReadFloat(n, same.data(), 1), 0u);
    EXPECT_EQ(std::memcmp(same.data(), want.data(), want.size()), 0);
  }
  float untouched = 5.0f;
  EXPECT_EQ(cursor.ReadFloat(0, &untouched, 2), 0u);
  EXPECT_EQ(untouched, 5.0f);
  cursor.Seek(0);
  EXPECT_EQ(cursor.ReadFloat(1, &untouched, 3), err::kSizeLimit);
  ListModel stereo(2, 10);
  SegmentCursor wide = stereo.Cursor();
  EXPECT_EQ(wide.ReadFloat(1, &untouched, 1), err::kSizeLimit);
  EXPECT_EQ(untouched, 5.0f);
}

// The cheaper forms (gain 1: add; offset 0: multiply) give exactly what the
// general x * gain + offset gives; a zero offset keeps the sign of a zero.
TEST_F(CursorTest, GainFormsAgreeWithTheGeneralFormula) {
  // 16-bit material into float takes the fused scale-and-transform path.
  const Stored s24 = File(kS24, 2, 8192, 31), s16 = File(kS16, 2, 8192, 32);
  for (const Stored* source : {&s24, &s16})
  for (const SegmentGain g : {SegmentGain{1.0f, 0.3f, 1.0f, -0.01f}, SegmentGain{0.3f, 0.0f, -2.0f, 0.0f},
                              SegmentGain{0.3f, 0.2f, 1.5f, -0.1f}, SegmentGain{1.0f, 0.0f, 1.0f, 0.4f},
                              SegmentGain{0.25f, 0.0f, 1.0f, 0.0f}}) {
    const Stored& src = *source;
    ListModel m(2, 8192);
    m.Add(src, 0, 8192, 0, g);
    const bool identical = g.offset0 != 0.0f && g.offset1 != 0.0f;
    SegmentCursor cursor = m.Cursor();
    for (const SampleCode code : {kFloat, kDouble, kS24, kS16BE}) {
      std::vector<std::uint8_t> got;
      cursor.Seek(5);
      ASSERT_EQ(ReadGuarded(cursor, 2, 8000, code, &got), 0u);
      EXPECT_TRUE(SameSamples(got, m.Expect(5, 8000, code), code, identical)) << g.gain0 << " " << g.offset0;
    }
  }
}

TEST_F(CursorTest, DitherHookSeesWideOrScaledMaterialOnly) {
  const Stored s24 = File(kS24, 2, 3000, 41), s16 = File(kS16, 2, 3000, 42), u8 = File(kU8, 2, 3000, 43);
  const Stored fl = File(kFloatBE, 2, 3000, 44), silence = StoredSilence(2, 3000);
  ListModel m(2, 16000);
  m.Add(s24, 100, 2000, 0);
  m.Add(s16, 2100, 2000, 0, SegmentGain{0.7f, 0.0123f, 1.0f, -0.3001f});  // gain 0.7: dithered
  m.Add(s16, 4100, 2000, 500, SegmentGain{1.0f, 0.0123f, 1.0f, 0.0f});    // unity gain: not dithered
  m.Add(u8, 6100, 2000, 0);
  m.Add(fl, 8100, 2000, 0, SegmentGain{1.0f, -0.2f, 1.0f, 0.0f});
  m.Add(silence, 10100, 2000, 0, SegmentGain{2.0f, 0.0123f, 1.0f, 0.01f});
  const float delta = 3.0f / 65536.0f;
  SegmentCursor cursor = m.Cursor();
  for (const SampleCode code : {kS16, kS16BE}) {
    RecordingHook hook(delta);
    std::vector<std::uint8_t> got;
    cursor.Seek(0);
    ASSERT_EQ(ReadGuarded(cursor, 2, m.length(), code, &got, &hook), 0u);
    EXPECT_TRUE(SameSamples(got, m.Expect(0, m.length(), code, delta), code));
    EXPECT_LE(hook.largest_block, 512u);
    EXPECT_EQ(hook.channels_seen, 2);
    // The hook saw the dithered frames, in order, transformed with offsets on the 16-bit grid.
    std::vector<float> want;
    for (std::uint32_t f = 0; f < m.length(); ++f)
      if (m.Dithered(f))
        for (std::uint16_t c = 0; c < 2; ++c) want.push_back(m.HookInput(f, c));
    ASSERT_EQ(hook.seen, want);
  }
  // A silent segment with gain 2 reads exactly its quantised offset.
  RecordingHook hook(0.0f);
  std::vector<std::uint8_t> got;
  cursor.Seek(10100);
  ASSERT_EQ(ReadGuarded(cursor, 2, 10, kS16, &got, &hook), 0u);
  ASSERT_EQ(hook.seen.size(), 20u);
  EXPECT_NEAR(hook.seen[0], 0.0123, 0.5 / 32768);
  EXPECT_EQ(hook.seen[0] * 32768.0f, std::round(hook.seen[0] * 32768.0f));

  // 8- and 16-bit material at unity gain, and any destination other than
  // 16-bit, never reach the hook.
  RecordingHook idle(delta);
  for (const std::uint32_t from : {4100u, 6100u}) {
    cursor.Seek(from);
    ASSERT_EQ(ReadGuarded(cursor, 2, 2000, kS16, &got, &idle), 0u);
    EXPECT_TRUE(SameSamples(got, m.Expect(from, 2000, kS16), kS16));
  }
  for (const SampleCode code : {kS24, kFloat, kU8}) {
    cursor.Seek(0);
    ASSERT_EQ(ReadGuarded(cursor, 2, m.length(), code, &got, &idle), 0u);
    EXPECT_TRUE(SameSamples(got, m.Expect(0, m.length(), code), code));
  }
  EXPECT_EQ(idle.calls, 0);
}

TEST_F(CursorTest, RefusesSegmentsPastTheLengthAndForeignChannelCounts) {
  const Stored st = File(kS16, 2, 1000, 51), mono = File(kS16, 1, 1000, 52);
  ListModel m(2, 900);
  m.Add(st, 0, 500, 0);
  m.Add(st, 600, 400, 0);  // reaches frame 1000
  SegmentCursor cursor = m.Cursor();
  std::vector<std::uint8_t> got;
  ASSERT_EQ(ReadGuarded(cursor, 2, 600, kS24, &got), 0u);
  EXPECT_TRUE(SameSamples(got, m.Expect(0, 600, kS24), kS24));
  EXPECT_EQ(ReadGuarded(cursor, 2, 1, kS24, &got), err::kSizeLimit);
  cursor.Seek(0);
  EXPECT_EQ(ReadGuarded(cursor, 2, 901, kS24, &got), err::kSizeLimit);  // past the length: nothing written
  EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](std::uint8_t x) { return x == 0xCD; }));
  std::uint8_t none = 0x11;
  EXPECT_EQ(cursor.Read(0, &none, kS16), 0u);
  EXPECT_EQ(none, 0x11);
  EXPECT_EQ(cursor.frame(), 0u);

  // A mono source in a stereo list would fill only half of each frame.
  ListModel mixed(2, 1000);
  mixed.Add(mono, 0, 1000, 0);
  SegmentCursor c2 = mixed.Cursor();
  EXPECT_EQ(ReadGuarded(c2, 2, 10, kS16, &got), err::kSizeLimit);
}

// Every failing read of the file is passed up as 8, and the same cursor
// reads correctly afterwards, on the plain, gain and dither paths.
TEST_F(CursorTest, SourceErrorsArePassedUpAndTheCursorStaysUsable) {
  MutableCoreOptions().cached_reading_disabled = true;
  const Stored direct = File(kS24, 2, 20000, 61);
  ASSERT_EQ(direct.source->kind(), SourceKind::FileDirect);
  MutableCoreOptions().cached_reading_disabled = false;
  const Stored cached = File(kS16, 2, 20000, 62);
  ListModel m(2, 20000);
  m.Add(direct, 0, 6000, 0);
  m.Add(cached, 6000, 6000, 6000, SegmentGain{0.5f, 0.1f, 1.0f, 0.0f});
  m.Add(direct, 12000, 8000, 12000, SegmentGain{1.0f, 0.0f, 0.9f, 0.0f});
  SegmentCursor cursor = m.Cursor();
  RecordingHook hook(0.0f);
  for (DitherHook* h : {static_cast<DitherHook*>(nullptr), static_cast<DitherHook*>(&hook)}) {
    const std::vector<std::uint8_t> want = m.Expect(100, 19800, kS16, h ? std::optional<float>(0.0f) : std::nullopt);
    const std::uint64_t runs = fault::ForEachFaultPoint(fault::kRead, EIO, [&](const fault::ScopedFault& fault) {
      std::vector<std::uint8_t> got;
      cursor.Seek(100);
      const Error rc = ReadGuarded(cursor, 2, 19800, kS16, &got, h);
      EXPECT_EQ(rc, fault.fired() ? err::kReadFailed : err::kOk) << "failing read " << fault.rule().nth;
      if (fault.fired()) {  // a failure once fired does not fire again
        cursor.Seek(100);
        ASSERT_EQ(ReadGuarded(cursor, 2, 19800, kS16, &got, h), 0u);
      }
      ASSERT_TRUE(SameSamples(got, want, kS16)) << "after failing read " << fault.rule().nth;
    });
    EXPECT_GE(runs, 2u);
  }
}

}  // namespace
}  // namespace tidemark
