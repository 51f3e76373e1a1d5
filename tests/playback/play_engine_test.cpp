// The playback engine through the file device: what reaches the file is
// compared sample for sample with a reference computed here.
#include "playback/play_engine.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "playback/play_shaping.h"

namespace tidemark::playback {
namespace {

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/" + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t HeaderBytes(SampleCode code) { return code == sample_code::kS16 ? 44 : code == sample_code::kS24 ? 68 : 58; }

// A source of deterministic frames: sample (i, c) depends only on i and c.
struct TestSource {
  std::uint64_t total = 0;
  std::uint16_t channels = 2;
  std::uint64_t pos = 0;
  std::atomic<int> rewinds{0};
  std::vector<std::uint32_t> kinds;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> range_changes;
  std::mutex mutex;
  // Kind 0 waits while this is set.
  std::atomic<bool> hold_open{false};

  static double Value(std::uint64_t i, std::uint16_t c) {
    std::uint64_t x = (i * 2654435761u + c * 40503u + 12345u) & 0xFFFFFF;
    return (static_cast<double>(x) / 0x800000) - 1.0;  // [-1, 1)
  }

  static std::uint64_t Proc(void* context, PlaybackSource& r) {
    auto* s = static_cast<TestSource*>(context);
    {
      std::lock_guard lock(s->mutex);
      s->kinds.push_back(r.kind);
    }
    switch (r.kind) {
      case kSourceOpened:
        while (s->hold_open) ::usleep(1000);
        return 0;
      case kSourceRewind:
        s->pos = 0;
        ++s->rewinds;
        return s->total;
      case kSourceFill: {
        auto* out = static_cast<std::uint8_t*>(r.buffer);
        for (std::uint64_t k = 0; k < r.count; ++k, ++s->pos)
          for (std::uint16_t c = 0; c < s->channels; ++c) Store(out, (k * s->channels + c), r.code, Value(s->pos, c));
        return 0;
      }
      case kSourceRangeChanged: {
        std::lock_guard lock(s->mutex);
        s->range_changes.emplace_back(r.pair[0], r.pair[1]);
        return r.count;
      }
      case kSourceFailed:
        PostEndNotice(static_cast<std::uint32_t>(r.count), 0);
        return 0;
      default:
        return 0;
    }
  }

  static void Store(std::uint8_t* out, std::uint64_t index, SampleCode code, double v) {
    if (code == sample_code::kS16) {
      const auto s = static_cast<std::int16_t>(std::floor(v * 32768));
      std::memcpy(out + 2 * index, &s, 2);
    } else if (code == sample_code::kS24) {
      const auto s = static_cast<std::int32_t>(std::floor(v * 8388608));
      for (int b = 0; b < 3; ++b) out[3 * index + static_cast<std::uint64_t>(b)] = static_cast<std::uint8_t>(s >> (8 * b));
    } else {
      const auto s = static_cast<float>(v);
      std::memcpy(out + 4 * index, &s, 4);
    }
  }
};

// The expected sample i of channel c after the fades, as a double.
double Expected(std::uint64_t i, std::uint16_t c, std::uint64_t total, std::uint64_t fade, SampleCode code) {
  const std::uint64_t f = std::min(fade, total);
  std::uint8_t raw[4];
  TestSource::Store(raw, 0, code, TestSource::Value(i, c));
  if (code == sample_code::kFloat) {
    float v;
    std::memcpy(&v, raw, 4);
    if (i < f) v = v * static_cast<float>(i) / static_cast<float>(f);
    if (i + f >= total) v = v * static_cast<float>(total - i) / static_cast<float>(f);
    return v;
  }
  std::int64_t v = code == sample_code::kS16
                       ? static_cast<std::int16_t>(raw[0] | raw[1] << 8)
                       : static_cast<std::int32_t>(static_cast<std::uint32_t>(raw[0]) << 8 |
                                                   static_cast<std::uint32_t>(raw[1]) << 16 |
                                                   static_cast<std::uint32_t>(raw[2]) << 24) >> 8;
  // C++ integer division truncates toward zero, as the fades must.
  if (i < f) v = v * static_cast<std::int64_t>(i) / static_cast<std::int64_t>(f);
  if (i + f >= total) v = v * static_cast<std::int64_t>(total - i) / static_cast<std::int64_t>(f);
  return static_cast<double>(v);
}

double Written(const std::string& file, std::size_t index, SampleCode code) {
  const std::size_t at = HeaderBytes(code) + index * (code & sample_code::kSizeMask);
  if (code == sample_code::kFloat) {
    float v;
    std::memcpy(&v, file.data() + at, 4);
    return v;
  }
  if (code == sample_code::kS16) {
    std::int16_t v;
    std::memcpy(&v, file.data() + at, 2);
    return v;
  }
  const auto* p = reinterpret_cast<const std::uint8_t*>(file.data() + at);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 | static_cast<std::uint32_t>(p[1]) << 16 |
                                   static_cast<std::uint32_t>(p[2]) << 24) >> 8;
}

std::vector<PlayNotice> NoticesUntilEnd(int timeout_ms = 10000) {
  std::vector<PlayNotice> seen;
  PlayNotice n;
  while (TakeNotice(&n, timeout_ms)) {
    seen.push_back(n);
    if (n.kind == PlayNotice::kEnd) break;
  }
  return seen;
}

PlaySettings FileSettings(const std::string& path, SampleCode code, bool fast = true) {
  PlaySettings s;
  s.device = "file:" + path + (fast ? "?fast" : "");
  s.output_24bit = code == sample_code::kS24;
  s.output_interface = code == sample_code::kFloat ? 2 : 1;
  return s;
}

// Stops the playback before the source it reads goes out of scope.
struct StopGuard {
  ~StopGuard() { StopPlayback(); }
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearNotices(); }
  void TearDown() override {
    StopPlayback();
    ClearNotices();
  }
};

struct RangeCase {
  SampleCode code;
  std::uint32_t rate;
  std::uint16_t channels;
  std::uint64_t total;  // what the source reports
};

class EnginePlaysRange : public EngineTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(EnginePlaysRange, FileHoldsTheRangeWithFades) {
  const RangeCase c = GetParam();
  const std::string path = TempPath("range.wav");
  TestSource source;
  StopGuard guard;
  source.total = c.total;
  source.channels = c.channels;
  PlayStart start{&TestSource::Proc, &source, c.rate, c.channels, false, kLargeBuffers};
  ASSERT_EQ(StartPlayback(start, FileSettings(path, c.code)), err::kOk);
  EXPECT_EQ(StartPlayback(start, FileSettings(path, c.code)), err::kPlaybackRunning);
  const std::vector<PlayNotice> notices = NoticesUntilEnd();
  StopPlayback();
  EXPECT_FALSE(PlaybackExists());

  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.front().kind, PlayNotice::kState);
  EXPECT_EQ(notices.front().value, 0u);
  ASSERT_EQ(notices.back().kind, PlayNotice::kEnd);
  EXPECT_EQ(notices.back().value, 0u);
  const std::uint64_t frames = std::max<std::uint64_t>(c.total, 1);  // a total of 0 plays one frame
  EXPECT_EQ(notices.back().position, frames);
  int last_marks = 0;
  for (const PlayNotice& n : notices) last_marks += n.kind == PlayNotice::kLevels && n.last;
  EXPECT_EQ(last_marks, 1);

  const std::string file = ReadAll(path);
  const std::size_t bytes = c.code & sample_code::kSizeMask;
  ASSERT_EQ(file.size(), HeaderBytes(c.code) + frames * c.channels * bytes);
  int wrong = 0;
  for (std::uint64_t i = 0; i < frames && wrong < 5; ++i)
    for (std::uint16_t ch = 0; ch < c.channels; ++ch) {
      const double want = Expected(i, ch, frames, c.rate / 20, c.code);
      const double got = Written(file, i * c.channels + ch, c.code);
      if (want != got) {
        ++wrong;
        ADD_FAILURE() << "frame " << i << " channel " << ch << ": " << got << ", want " << want;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, EnginePlaysRange,
                         ::testing::Values(RangeCase{sample_code::kS16, 44100, 2, 20000},
                                           RangeCase{sample_code::kS24, 48000, 2, 7001},
                                           RangeCase{sample_code::kFloat, 8000, 1, 3000},
                                           RangeCase{sample_code::kS16, 44100, 2, 1000},  // shorter than the fade
                                           RangeCase{sample_code::kFloat, 8000, 2, 400},  // exactly the fade
                                           RangeCase{sample_code::kS16, 8000, 1, 0}));

TEST_F(EngineTest, LoopRestartsWithANewFadeAndNeverEnds) {
  const std::string path = TempPath("loop.wav");
  TestSource source;
  StopGuard guard;
  source.total = 1500;
  source.channels = 1;
  PlayStart start{&TestSource::Proc, &source, 8000, 1, true, kSmallBuffers};
  ASSERT_EQ(StartPlayback(start, FileSettings(path, sample_code::kS16)), err::kOk);
  while (source.rewinds < 4) ::usleep(1000);
  StopPlayback();
  PlayNotice n;
  while (TakeNotice(&n, 0)) EXPECT_NE(n.kind, PlayNotice::kEnd);
  const std::string file = ReadAll(path);
  const std::size_t frames = (file.size() - 44) / 2;
  ASSERT_GE(frames, 2u * 1500);
  for (std::size_t i = 0; i < frames; ++i)
    ASSERT_EQ(Written(file, i, sample_code::kS16), Expected(i % 1500, 0, 1500, 400, sample_code::kS16)) << i;
}

TEST_F(EngineTest, PauseAndResumeLoseAndRepeatNothing) {
  const std::string path = TempPath("pause.wav");
  TestSource source;
  StopGuard guard;
  source.total = 4000;  // half a second at the real pace
  PlayStart start{&TestSource::Proc, &source, 8000, 2, false, kSmallBuffers};
  ASSERT_EQ(StartPlayback(start, FileSettings(path, sample_code::kS16, false)), err::kOk);
  ::usleep(100000);
  TogglePause();
  EXPECT_TRUE(PlaybackPaused());
  ::usleep(100000);
  TogglePause();
  EXPECT_FALSE(PlaybackPaused());
  const std::vector<PlayNotice> notices = NoticesUntilEnd();
  StopPlayback();
  int toggles = 0;
  for (const PlayNotice& n : notices) toggles += n.kind == PlayNotice::kState && n.value == 1;
  EXPECT_EQ(toggles, 2);
  const std::string file = ReadAll(path);
  ASSERT_EQ(file.size(), 44u + 4000 * 4);
  for (std::size_t i = 0; i < 4000 * 2; ++i)
    ASSERT_EQ(Written(file, i, sample_code::kS16),
              Expected(i / 2, static_cast<std::uint16_t>(i % 2), 4000, 400, sample_code::kS16))
        << i;
}

TEST_F(EngineTest, QueuedCommandsOfOneKindActOnceWithTheLastArguments) {
  TestSource source;
  StopGuard guard;
  source.total = 200000;
  source.hold_open = true;
  PlayStart start{&TestSource::Proc, &source, 8000, 2, false, kLargeBuffers};
  PlaySettings settings;
  settings.device = "null";
  ASSERT_EQ(StartPlayback(start, settings), err::kOk);
  ChangeRange(1, 2);
  ChangeRange(3, 4);
  ChangeRange(5, 6);
  source.hold_open = false;
  for (int i = 0; i < 2000; ++i) {
    std::lock_guard lock(source.mutex);
    if (!source.range_changes.empty()) break;
    ::usleep(1000);
  }
  ::usleep(20000);
  StopPlayback();
  std::lock_guard lock(source.mutex);
  ASSERT_EQ(source.range_changes.size(), 1u);
  EXPECT_EQ(source.range_changes[0], (std::pair<std::uint64_t, std::uint64_t>(5, 6)));
  // Stop: 13 before the thread's own end (1), 14 last.
  const std::vector<std::uint32_t> tail(source.kinds.end() - 3, source.kinds.end());
  EXPECT_EQ(tail, (std::vector<std::uint32_t>{kSourceBeforeStop, kSourceEnded, kSourceAfterStop}));
}

TEST_F(EngineTest, StopDropsQueuedLevelNotices) {
  TestSource source;
  StopGuard guard;
  source.total = 100000;
  PlayStart start{&TestSource::Proc, &source, 44100, 2, false, kSmallBuffers};
  PlaySettings settings;
  settings.device = "file:" + TempPath("stop.wav") + "?fast";
  ASSERT_EQ(StartPlayback(start, settings), err::kOk);
  ::usleep(50000);
  StopPlayback();
  StopPlayback();  // nothing playing: nothing happens
  std::vector<PlayNotice> left;
  PlayNotice n;
  while (TakeNotice(&n, 0)) left.push_back(n);
  for (const PlayNotice& x : left) EXPECT_NE(x.kind, PlayNotice::kLevels) << "a level notice outlived its request";
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(left.back().kind, PlayNotice::kState);
  EXPECT_EQ(left.back().value, 2u);
}

// Failures end in a notice with the device's code; the engine plays again after Stop.
TEST_F(EngineTest, DeviceFailuresEndWithTheirCodeAndLeaveTheEngineReady) {
  const std::string path = TempPath("fail.wav");
  struct {
    const char* what;
    std::string device;
    bool disk_full;
    Error want;
  } cases[] = {{"unknown device", "tidemark_no_such_pcm", false, err::kWaveOutOpenFailed},
               {"unwritable folder", "file:" + TempPath("missing/x.wav"), false, err::kWaveOutOpenFailed},
               {"disk full mid-stream", "file:" + path + "?fast", true, err::kWaveOutFailed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClearNotices();
    TestSource source;
    StopGuard guard;
    source.total = 50000;
    PlayStart start{&TestSource::Proc, &source, 44100, 2, false, kSmallBuffers};
    PlaySettings settings;
    settings.device = c.device;
    std::optional<fault::ScopedFault> full;
    if (c.disk_full) full.emplace(fault::FaultRule::DiskFullAt(44 + 20000));
    ASSERT_EQ(StartPlayback(start, settings), err::kOk);
    const std::vector<PlayNotice> notices = NoticesUntilEnd();
    StopPlayback();
    ASSERT_FALSE(notices.empty());
    EXPECT_EQ(notices.back().kind, PlayNotice::kEnd);
    EXPECT_EQ(notices.back().value, c.want.code());
    full.reset();
    if (c.disk_full) {
      const std::string file = ReadAll(path);
      ASSERT_GE(file.size(), 44u);
      std::uint32_t data = 0;
      std::memcpy(&data, file.data() + 40, 4);
      EXPECT_EQ(data, file.size() - 44) << "the header must match what was written";
    }
  }
  // Ready again.
  TestSource source;
  StopGuard guard;
  source.total = 10;
  PlaySettings settings;
  settings.device = "file:" + path + "?fast";
  ASSERT_EQ(StartPlayback({&TestSource::Proc, &source, 8000, 1, false, kSmallBuffers}, settings), err::kOk);
  const std::vector<PlayNotice> notices = NoticesUntilEnd();
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.back().value, 0u);
}

TEST(PlayShaping, PeaksFollowTheScaleRules) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* what;
    SampleCode code;
    std::vector<double> samples;  // one channel
    std::uint32_t want;
  } cases[] = {
      {"float 1.0", sample_code::kFloat, {0.1, 1.0, -0.2}, 32768},
      {"float 0.5", sample_code::kFloat, {0.5, -0.25}, 16384},
      {"float -0.5", sample_code::kFloat, {-0.5}, 16384},
      {"float within half a step", sample_code::kFloat, {1.0 - 0.4 / 32768}, 32768},
      {"float beyond half a step", sample_code::kFloat, {1.0 - 0.6 / 32768}, 32767},
      {"float above 1", sample_code::kFloat, {-3.0}, 32768},
      {"float NaN counts 0", sample_code::kFloat, {nan, 0.25}, 8192},
      {"float infinity", sample_code::kFloat, {inf}, 32768},
      {"16-bit -32768", sample_code::kS16, {-32768, 100}, 32768},
      {"16-bit 32767", sample_code::kS16, {32767, -32767}, 32767},
      {"24-bit upper bytes", sample_code::kS24, {255, -255}, 1},
      {"24-bit -8388608", sample_code::kS24, {-8388608}, 32768},
      {"24-bit 8388607", sample_code::kS24, {8388607}, 32767},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> data(c.samples.size() * 4);
    for (std::size_t i = 0; i < c.samples.size(); ++i) {
      if (c.code == sample_code::kFloat) {
        const auto v = static_cast<float>(c.samples[i]);
        std::memcpy(data.data() + 4 * i, &v, 4);
      } else {
        const auto v = static_cast<std::int32_t>(c.samples[i]);
        const std::size_t b = c.code & sample_code::kSizeMask;
        for (std::size_t k = 0; k < b; ++k) data[b * i + k] = static_cast<std::uint8_t>(v >> (8 * k));
      }
    }
    // A second channel of silence must stay 0.
    std::vector<std::uint8_t> stereo;
    const std::size_t b = c.code & sample_code::kSizeMask;
    for (std::size_t i = 0; i < c.samples.size(); ++i) {
      stereo.insert(stereo.end(), data.begin() + static_cast<std::ptrdiff_t>(b * i),
                    data.begin() + static_cast<std::ptrdiff_t>(b * (i + 1)));
      stereo.insert(stereo.end(), b, 0);
    }
    std::uint32_t peaks[2] = {99, 99};
    MeasurePeaks(stereo.data(), c.code, 2, static_cast<std::uint32_t>(c.samples.size()), peaks);
    EXPECT_EQ(peaks[0], c.want);
    EXPECT_EQ(peaks[1], 0u);
  }
}

// Every channel count and length, against a plain reference: the vector
// path and its tail must agree with it, -32768 included.
TEST(PlayShaping, SixteenBitPeaksMatchAPlainScan) {
  std::mt19937 rng(7);
  for (std::uint16_t channels = 1; channels <= 8; ++channels) {
    for (const std::uint32_t frames : {0u, 1u, 7u, 16u, 33u, 2205u}) {
      std::vector<std::int16_t> s(static_cast<std::size_t>(frames) * channels);
      for (auto& v : s) v = static_cast<std::int16_t>(static_cast<int>(rng() % 20001) - 10000);
      if (!s.empty()) s[rng() % s.size()] = -32768;
      std::vector<std::uint32_t> want(channels, 0), got(channels, 99);
      for (std::size_t i = 0; i < s.size(); ++i)
        want[i % channels] = std::max<std::uint32_t>(want[i % channels], static_cast<std::uint32_t>(std::abs(s[i])));
      MeasurePeaks(reinterpret_cast<const std::uint8_t*>(s.data()), sample_code::kS16, channels, frames, got.data());
      EXPECT_EQ(got, want) << channels << " channels, " << frames << " frames";
    }
  }
}

// Fading a range in random pieces equals fading it whole.
TEST(PlayShaping, FadesDoNotDependOnBufferSplits) {
  std::mt19937 rng(21);
  for (const SampleCode code : {sample_code::kS16, sample_code::kS24, sample_code::kFloat}) {
    const std::uint64_t total = 3000;
    const std::size_t bytes = code & sample_code::kSizeMask;
    std::vector<std::uint8_t> whole(total * 2 * bytes);
    for (std::uint64_t i = 0; i < total; ++i)
      for (std::uint16_t c = 0; c < 2; ++c) TestSource::Store(whole.data(), i * 2 + c, code, TestSource::Value(i, c));
    std::vector<std::uint8_t> pieces = whole;
    ApplyFades(whole.data(), code, 2, static_cast<std::uint32_t>(total), 0, total, 700);
    for (std::uint64_t at = 0; at < total;) {
      const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(1 + rng() % 500, total - at));
      ApplyFades(pieces.data() + at * 2 * bytes, code, 2, n, at, total, 700);
      at += n;
    }
    EXPECT_TRUE(whole == pieces) << "code " << code;
    for (std::uint64_t i = 0; i < total; i += 97)
      EXPECT_EQ(Written(std::string(HeaderBytes(code), '\0') +
                            std::string(reinterpret_cast<const char*>(whole.data()), whole.size()),
                        i * 2, code),
                Expected(i, 0, total, 700, code))
          << "frame " << i;
  }
}

}  // namespace
}  // namespace tidemark::playback
