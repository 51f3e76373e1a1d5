// The recorder fed by "file:" inputs: what reaches the target is compared
// with the input stream frame for frame. The frame at which a write command
// was served is read back from the target's length (pre-record + the rest
// of the input), so the checks do not depend on timing.
#include "playback/recorder.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "config/settings.h"
#include "playback/play_engine.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"

namespace tidemark::playback {
namespace {

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr ? dir : "/tmp") + "/" + name;
}

void Put(std::string* s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s->push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

// A plain WAV (format 1, or 3 for floats) holding `data`.
void WriteWav(const std::string& path, const InFormat& f, const std::string& data) {
  const std::uint32_t bytes = InSampleBytes(f.code);
  std::string s = "RIFF";
  Put(&s, 36 + static_cast<std::uint32_t>(data.size()), 4);
  s += "WAVEfmt ";
  Put(&s, 16, 4);
  Put(&s, f.code == sample_code::kFloat ? 3 : 1, 2);
  Put(&s, f.channels, 2);
  Put(&s, f.rate, 4);
  Put(&s, f.rate * bytes * f.channels, 4);
  Put(&s, bytes * f.channels, 2);
  Put(&s, bytes * 8, 2);
  s += "data";
  Put(&s, static_cast<std::uint32_t>(data.size()), 4);
  std::ofstream(path, std::ios::binary) << s << data;
}

std::string RandomData(const InFormat& f, std::uint32_t frames, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s;
  for (std::size_t i = 0; i < static_cast<std::size_t>(frames) * f.channels; ++i) {
    if (f.code == sample_code::kFloat) {
      const float v = std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng);
      s.append(reinterpret_cast<const char*>(&v), 4);
    } else {
      Put(&s, static_cast<std::uint32_t>(rng()), static_cast<int>(InSampleBytes(f.code)));
    }
  }
  return s;
}

struct Target {
  std::uint32_t header_frames = 0;  // what the header's data size claims
  std::string data;
};

Target ReadTarget(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string s{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Target t;
  const std::size_t at = s.find("data");
  if (at == std::string::npos || at + 8 > s.size()) return t;
  std::uint32_t size = 0;
  std::memcpy(&size, s.data() + at + 4, 4);
  t.data = s.substr(at + 8);
  t.header_frames = size;  // bytes here; callers divide
  return t;
}

// Serves notices until the take is done or fails; the failure.
Error WaitTake(Recorder& r) {
  RecordNotice n;
  for (int i = 0; i < 400; ++i) {
    if (!r.TakeNotice(&n, 50)) continue;
    if (n.kind == RecordNotice::kLevels) n.levels->ready.store(false);
    if (n.kind == RecordNotice::kTakeDone) return {};
    if (n.kind == RecordNotice::kError) return n.error;
  }
  ADD_FAILURE() << "the take never ended";
  return err::kCancelled;
}

TEST(Recorder, TheTargetHoldsThePreRecordThenTheInputStream) {
  const struct {
    const char* what;
    SampleCode code;
    std::uint32_t ring_seconds;
    std::uint64_t wait_frames;  // input captured before the write command
    std::uint64_t pre;
  } cases[] = {
      {"no pre-record: only the header before the first buffer", sample_code::kS16, 1, 2400, 0},
      {"pre-record within a full ring", sample_code::kS16, 1, 12000, 3000},
      {"more pre-record than the ring holds", sample_code::kS24, 1, 12000, 20000},
      {"ring not yet filled reads as silence", sample_code::kS16, 2, 0, 6000},
      {"unsigned 8-bit silence is 128", sample_code::kU8, 2, 0, 6000},
      {"float", sample_code::kFloat, 1, 2400, 5000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const InFormat f{8000, 2, c.code};
    const std::uint32_t frames = 30000, block = 2 * InSampleBytes(c.code);
    const std::string input = RandomData(f, frames, 5);
    const std::string in = TempPath("rec_in.wav"), out = TempPath("rec_out.wav");
    WriteWav(in, f, input);
    RecordOptions o;
    o.device = "file:" + in + "?fast";
    o.ring_seconds = c.ring_seconds;
    o.buffer_frames = 800;
    Recorder r(o);
    ASSERT_EQ(r.Start(), err::kOk);
    while (r.captured() < c.wait_frames) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    r.Write(out, c.pre);
    ASSERT_EQ(WaitTake(r), err::kOk);
    ASSERT_EQ(r.Stop(), err::kOk);
    const Target t = ReadTarget(out);
    const std::uint64_t n = std::min<std::uint64_t>(c.pre, std::uint64_t{c.ring_seconds} * 8000);
    ASSERT_EQ(t.data.size() % block, 0u);
    const std::uint64_t written = t.data.size() / block;
    EXPECT_EQ(t.header_frames, t.data.size());
    EXPECT_EQ(r.result().frames, written);
    ASSERT_GE(written, n);
    const std::uint64_t served = n + frames - written;  // input frames before the write command
    ASSERT_LE(served, frames);
    EXPECT_GE(served, c.wait_frames);
    // The pre-record: silence where the ring had not filled, then the newest input.
    const std::uint64_t silent = n > served ? n - served : 0;
    const char silence = c.code == sample_code::kU8 ? static_cast<char>(128) : 0;
    EXPECT_EQ(t.data.substr(0, silent * block), std::string(silent * block, silence));
    EXPECT_EQ(t.data.substr(silent * block, (n - silent) * block),
              input.substr((served - (n - silent)) * block, (n - silent) * block));
    EXPECT_EQ(t.data.substr(n * block), input.substr(served * block)) << "the rest is the input as captured";
  }
}

TEST(Recorder, ACapacityCutHoldsExactlyTheCapacityAndGives17) {
  const InFormat f{8000, 1, sample_code::kS16};
  const std::string input = RandomData(f, 20000, 9);
  const std::string in = TempPath("rec_cap_in.wav"), out = TempPath("rec_cap_out.wav");
  WriteWav(in, f, input);
  RecordOptions o;
  o.device = "file:" + in + "?fast";
  o.ring_seconds = 0;
  o.buffer_frames = 800;
  o.capacity_frames = 5000;  // inside the seventh buffer
  Recorder r(o);
  ASSERT_EQ(r.Start(), err::kOk);
  r.Write(out, 0);
  EXPECT_EQ(WaitTake(r), err::kRecordingFull);
  EXPECT_EQ(r.Stop(), err::kRecordingFull);
  const Target t = ReadTarget(out);
  ASSERT_EQ(t.data.size(), 10000u);
  EXPECT_EQ(t.header_frames, 10000u);
  const std::size_t served = input.find(t.data);
  EXPECT_NE(served, std::string::npos);
  EXPECT_EQ(served % 1600, 0u) << "the take starts at a buffer of the input";
  EXPECT_EQ(r.result().frames, 5000u);
  EXPECT_EQ(r.result().error, err::kRecordingFull);
}

TEST(Recorder, AFullDiskKeepsTheFramesWrittenWithTheHeaderRewritten) {
  const InFormat f{48000, 2, sample_code::kS16};
  const std::string input = RandomData(f, 48000 * 4, 11);
  const std::string in = TempPath("rec_full_in.wav"), out = TempPath("rec_full_out.wav");
  WriteWav(in, f, input);
  RecordOptions o;
  o.device = "file:" + in + "?fast";
  o.ring_seconds = 0;
  Recorder r(o);
  ASSERT_EQ(r.Start(), err::kOk);
  {
    const fault::ScopedFault full(fault::FaultRule::DiskFullAt(300000));
    r.Write(out, 0);
    const Error failed = WaitTake(r);
    EXPECT_TRUE(failed == err::kWriteFailed || failed == err::kDiskFull) << failed.code();
    EXPECT_EQ(r.Stop(), failed);
  }
  const Target t = ReadTarget(out);
  ASSERT_GT(t.data.size(), 0u);
  ASSERT_LE(t.data.size() + 44, 300000u);
  EXPECT_EQ(t.data.size() % 4, 0u);
  EXPECT_EQ(t.header_frames, t.data.size()) << "the header counts the frames kept";
  EXPECT_EQ(r.result().frames * 4, t.data.size());
  const std::size_t served = input.find(t.data.substr(0, 4096));
  ASSERT_NE(served, std::string::npos);
  EXPECT_EQ(t.data, input.substr(served, t.data.size()));
}

TEST(Recorder, AnUnwritableTargetIsReportedAndOnlyStopIsServed) {
  RecordOptions o;
  o.device = "null";
  o.format = {8000, 1, sample_code::kS16};
  Recorder r(o);
  ASSERT_EQ(r.Start(), err::kOk);
  r.Write(TempPath("no-such-folder/take.wav"), 0);
  EXPECT_EQ(WaitTake(r), err::kCreateFailed);
  r.Write(TempPath("rec_ignored.wav"), 0);  // ignored while the error is pending
  EXPECT_EQ(r.Stop(), err::kCreateFailed);
  EXPECT_FALSE(std::ifstream(TempPath("rec_ignored.wav")).good());
}

TEST(Recorder, AbsurdFormatsAreRefusedWithTheirCodes) {
  const struct {
    const char* device;
    InFormat format;
    Error want;
  } cases[] = {
      {"null", {100, 2, sample_code::kS16}, err::kUnsupportedFormat},
      {"null", {10000000, 2, sample_code::kS16}, err::kUnsupportedFormat},
      {"null", {44100, 1000, sample_code::kS16}, err::kUnsupportedFormat},
      {"null", {44100, 2, sample_code::kS16BE}, err::kUnsupportedFormat},
      {"file:/no/such/input.wav", {}, err::kWaveInOpenFailed},
      {"no-such-alsa-pcm-name", {44100, 2, sample_code::kS16}, err::kWaveInOpenFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    RecordOptions o;
    o.device = c.device;
    o.format = c.format;
    Recorder r(o);
    std::string detail;
    EXPECT_EQ(r.Start(&detail), c.want);
    EXPECT_FALSE(detail.empty());
    EXPECT_FALSE(r.running());
  }
}

// One channel of a single buffer: a spike at `at` among zeros.
std::uint32_t PeakOfSpike(const InFormat& f, std::uint32_t at, const std::string& sample) {
  const std::uint32_t bytes = InSampleBytes(f.code);
  std::string data;
  for (std::uint32_t i = 0; i < 16; ++i) {
    if (i == at) data += sample;
    else if (f.code == sample_code::kU8) data += static_cast<char>(128);
    else data += std::string(bytes, '\0');
  }
  RecordLevels levels;
  MeasureRecordLevels(reinterpret_cast<const std::uint8_t*>(data.data()), 16, f, &levels);
  return levels.peaks[0];
}

std::string S16(std::int16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); }
std::string F32(float v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

TEST(Recorder, LevelsLookAtEveryKthFrameOnThe16BitScale) {
  const struct {
    const char* what;
    InFormat f;
    std::uint32_t at;
    std::string sample;
    std::uint32_t want;
  } cases[] = {
      {"48 kHz skips frame 1", {48000, 1, sample_code::kS16}, 1, S16(20000), 0},
      {"48 kHz sees frame 4", {48000, 1, sample_code::kS16}, 4, S16(20000), 20000},
      {"48 kHz skips frame 7", {48000, 1, sample_code::kS16}, 7, S16(-20000), 0},
      {"8 kHz sees every frame", {8000, 1, sample_code::kS16}, 1, S16(-20000), 20000},
      {"-32768 counts as 32768", {8000, 1, sample_code::kS16}, 3, S16(-32768), 32768},
      {"24-bit: the upper two bytes", {8000, 1, sample_code::kS24}, 2, std::string("\xFF\x34\x12", 3), 0x1234},
      {"8-bit: |v - 128| times 256", {8000, 1, sample_code::kU8}, 2, std::string(1, '\0'), 32768},
      {"8-bit above the middle", {8000, 1, sample_code::kU8}, 2, std::string(1, '\xC0'), 64 * 256},
      {"float 1.0 is 32768", {8000, 1, sample_code::kFloat}, 2, F32(1.0f), 32768},
      {"float 0.5 is 16384", {8000, 1, sample_code::kFloat}, 2, F32(0.5f), 16384},
      {"NaN counts as silence", {8000, 1, sample_code::kFloat}, 2, F32(std::numeric_limits<float>::quiet_NaN()), 0},
      {"infinity counts as silence", {8000, 1, sample_code::kFloat}, 2, F32(INFINITY), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PeakOfSpike(c.f, c.at, c.sample), c.want);
  }
}

TEST(Recorder, EnergyIsTheMeanSquareWithFullScaleOne) {
  const InFormat f{8000, 2, sample_code::kS16};
  std::string data;
  for (int i = 0; i < 100; ++i) data += S16(-32768) + S16(i % 2 == 0 ? 16384 : -16384);
  RecordLevels levels;
  MeasureRecordLevels(reinterpret_cast<const std::uint8_t*>(data.data()), 100, f, &levels);
  EXPECT_DOUBLE_EQ(levels.energy[0], 1.0);
  EXPECT_DOUBLE_EQ(levels.energy[1], 0.25);
}

TEST(Recorder, TheNextLevelNoticeWaitsUntilTheOwnerClearedTheFlag) {
  RecordOptions o;
  o.device = "null";
  o.format = {8000, 1, sample_code::kS16};
  o.buffer_frames = 80;  // 10 ms
  Recorder r(o);
  ASSERT_EQ(r.Start(), err::kOk);
  RecordNotice n;
  ASSERT_TRUE(r.TakeNotice(&n, 2000));
  ASSERT_EQ(n.kind, RecordNotice::kLevels);
  EXPECT_TRUE(n.levels->ready.load());
  const std::uint64_t before = r.captured();
  while (r.captured() < before + 400) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(r.TakeNotice(&n, 0)) << "several buffers, no second notice";
  n.levels->ready.store(false);
  ASSERT_TRUE(r.TakeNotice(&n, 2000));
  EXPECT_EQ(n.kind, RecordNotice::kLevels);
  EXPECT_EQ(r.Stop(), err::kOk);
}

// A paced input is served a few buffers at a wake; a stop still takes every
// buffer that was due by then. Buffer n is due (n + 1) periods after the
// device started, which was before Start returned.
TEST(Recorder, AStopKeepsEveryBufferDueByThen) {
  RecordOptions o;
  o.device = "null";
  o.format = {8000, 1, sample_code::kS16};
  o.buffer_frames = 800;  // 100 ms
  const std::string out = TempPath("rec_stop.wav");
  Recorder r(o);
  ASSERT_EQ(r.Start(), err::kOk);
  const auto started = std::chrono::steady_clock::now();
  r.Write(out, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1150));  // between two wakes of three buffers
  const double periods = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() / 0.1;
  ASSERT_EQ(r.Stop(), err::kOk);
  const auto due = static_cast<std::uint64_t>(std::floor(periods)) - 1;
  EXPECT_GE(r.captured(), due * 800);
  // The target missed at most the buffer taken before the write command.
  const std::uint64_t written = ReadTarget(out).data.size() / 2;
  EXPECT_LE(written, r.captured());
  EXPECT_GE(written + 800, due * 800);
}

}  // namespace
}  // namespace tidemark::playback

namespace tidemark::playback {
namespace {

// The "Dialog" entries the engines read: their first number, clamped where
// the engine has a limit, the default when missing or unreadable.
TEST(DialogSettings, FirstNumberOrTheDefault) {
  struct Row {
    const char* record;
    const char* scaler;
    std::uint32_t prerecord;
    std::uint32_t method;
  };
  for (const Row& r : {Row{nullptr, nullptr, kDefaultPrerecordSeconds, 0}, Row{"3", "1", 3, 1},
                       Row{"25,7", "1,0", 25, 1}, Row{"99999", "7", kMaxPrerecordSeconds, 7},
                       Row{"x", "-1", kDefaultPrerecordSeconds, 0}, Row{"4 ", "", kDefaultPrerecordSeconds, 0}}) {
    Settings settings;
    if (r.record) settings.dialogs.push_back({"Record", r.record});
    if (r.scaler) settings.dialogs.push_back({"PlaybackScaler", r.scaler});
    EXPECT_EQ(PrerecordSeconds(settings), r.prerecord) << (r.record ? r.record : "-");
    EXPECT_EQ(ScalerMethodSetting(settings), r.method) << (r.scaler ? r.scaler : "-");
  }
}

}  // namespace
}  // namespace tidemark::playback
