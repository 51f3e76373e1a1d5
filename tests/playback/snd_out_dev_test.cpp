// The output devices driven as the engine drives them: pre-fill every
// buffer, start, then one buffer per free event. The file device must hold
// exactly the submitted frames.
#include "playback/snd_out_dev.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/support/peer_tools.h"

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

std::uint32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(s[at + static_cast<std::size_t>(i)]);
  return v;
}
std::uint16_t Le16(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8);
}

// Random bytes that are valid samples of `code` (floats kept in [-1, 1]).
std::string RandomFrames(std::mt19937& rng, const OutFormat& f, std::uint32_t frames) {
  std::string s;
  const std::size_t samples = static_cast<std::size_t>(frames) * f.channels;
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (std::size_t i = 0; i < samples; ++i) {
    if (f.code == sample_code::kFloat) {
      const float v = unit(rng);
      s.append(reinterpret_cast<const char*>(&v), 4);
    } else {
      const auto v = static_cast<std::uint32_t>(rng());
      s.append(reinterpret_cast<const char*>(&v), OutSampleBytes(f.code));
    }
  }
  return s;
}

struct Played {
  std::string stream;  // every submitted byte, in order
  Error error;
};

// Plays `chunks` (frame counts, the last may be short) as the engine would.
Played Drive(CSndOutDev& dev, const OutFormat& f, const std::vector<std::uint32_t>& chunks, std::mt19937& rng) {
  Played p;
  const std::uint32_t frame_bytes = OutSampleBytes(f.code) * f.channels;
  std::size_t next = 0;
  auto fill = [&]() -> Error {
    const std::string data = RandomFrames(rng, f, chunks[next]);
    std::memcpy(dev.Data(), data.data(), data.size());
    p.stream += data;
    return dev.Submit(chunks[next++]);
  };
  while (next < chunks.size() && next < dev.BufferCount())
    if ((p.error = fill())) return p;
  if ((p.error = dev.Start())) return p;
  std::uint64_t played = 0;
  const std::uint64_t total = p.stream.size() / frame_bytes + [&] {
    std::uint64_t rest = 0;
    for (std::size_t i = next; i < chunks.size(); ++i) rest += chunks[i];
    return rest;
  }();
  while (played < total) {
    if ((p.error = dev.NextFreeBuffer(&played))) return p;
    if (next < chunks.size())
      if ((p.error = fill())) return p;
  }
  return p;
}

struct FormatCase {
  SampleCode code;
  std::uint16_t channels;
  std::uint32_t rate;
  std::uint32_t header_bytes;
  std::uint16_t tag;  // the format tag, or the subformat's for extensible
};

class FileDeviceFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FileDeviceFormats, HoldsExactlyTheSubmittedFrames) {
  const FormatCase c = GetParam();
  const OutFormat f{c.rate, c.channels, c.code};
  std::mt19937 rng(c.code * 7u + c.channels);
  const std::string path = TempPath("out.wav");
  // 7 chunks through 3 buffers: the ring wraps, and the last buffer is short.
  const std::vector<std::uint32_t> chunks = {64, 64, 64, 64, 64, 64, 17};
  Played p;
  {
    std::unique_ptr<CSndOutDev> dev;
    std::string detail;
    ASSERT_EQ(OpenSndOutDev("file:" + path + "?fast", f, {3, 64}, &dev, &detail), err::kOk) << detail;
    EXPECT_EQ(dev->FramesPerBuffer(), 64u);
    EXPECT_EQ(dev->BufferCount(), 3u);
    p = Drive(*dev, f, chunks, rng);
    ASSERT_EQ(p.error, err::kOk) << dev->LastError();
    EXPECT_EQ(dev->Played(), 64u * 6 + 17);
  }
  const std::string file = ReadAll(path);
  ASSERT_EQ(file.size(), c.header_bytes + p.stream.size());
  const std::uint32_t bytes = OutSampleBytes(c.code);
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(file, 4), file.size() - 8);
  EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le16(file, 22), c.channels);
  EXPECT_EQ(Le32(file, 24), c.rate);
  EXPECT_EQ(Le32(file, 28), c.rate * bytes * c.channels);
  EXPECT_EQ(Le16(file, 32), bytes * c.channels);
  EXPECT_EQ(Le16(file, 34), bytes * 8);
  EXPECT_EQ(Le16(file, c.header_bytes == 68 ? 44 : 20), c.tag);
  if (c.code == sample_code::kFloat) {
    EXPECT_EQ(file.substr(38, 4), "fact");
    EXPECT_EQ(Le32(file, 46), 64u * 6 + 17);
  }
  EXPECT_EQ(file.substr(c.header_bytes - 8, 4), "data");
  EXPECT_EQ(Le32(file, c.header_bytes - 4), p.stream.size());
  EXPECT_TRUE(file.substr(c.header_bytes) == p.stream) << "the data differ from the submitted frames";
}

INSTANTIATE_TEST_SUITE_P(Formats, FileDeviceFormats,
                         ::testing::Values(FormatCase{sample_code::kS16, 2, 44100, 44, 1},
                                           FormatCase{sample_code::kS16, 1, 8000, 44, 1},
                                           FormatCase{sample_code::kS24, 2, 48000, 68, 1},
                                           FormatCase{sample_code::kFloat, 6, 96000, 58, 3}));

// A second reader agrees on format and length.
TEST(FileDevice, SoxReadsWhatWasWritten) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/soxi");
  const struct {
    SampleCode code;
    const char* bits;
    const char* encoding;
  } cases[] = {{sample_code::kS16, "16", "Signed Integer PCM"},
               {sample_code::kS24, "24", "Signed Integer PCM"},
               {sample_code::kFloat, "32", "Floating Point PCM"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits);
    const OutFormat f{22050, 2, c.code};
    const std::string path = TempPath("sox.wav");
    std::mt19937 rng(5);
    {
      std::unique_ptr<CSndOutDev> dev;
      std::string detail;
      ASSERT_EQ(OpenSndOutDev("file:" + path + "?fast", f, {4, 100}, &dev, &detail), err::kOk) << detail;
      ASSERT_EQ(Drive(*dev, f, {100, 100, 100, 100, 100, 33}, rng).error, err::kOk);
    }
    auto soxi = [&](const char* flag) {
      std::string out;
      FILE* pipe = ::popen(("/usr/bin/soxi " + std::string(flag) + " '" + path + "' 2>&1").c_str(), "r");
      char line[256];
      while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) out += line;
      if (pipe != nullptr) ::pclose(pipe);
      while (!out.empty() && out.back() == '\n') out.pop_back();
      return out;
    };
    EXPECT_EQ(soxi("-s"), "533");
    EXPECT_EQ(soxi("-r"), "22050");
    EXPECT_EQ(soxi("-c"), "2");
    EXPECT_EQ(soxi("-b"), c.bits);
    EXPECT_EQ(soxi("-e"), c.encoding);
  }
}

// The software volume scales every sample; integers truncate toward zero.
TEST(OutputDevice, VolumeScalesTheDeliveredStream) {
  const struct {
    SampleCode code;
    std::vector<float> in;  // integers for the integer codes
    float volume;
    std::vector<float> want;
  } cases[] = {
      {sample_code::kS16, {-3, 3, 32767, -32768}, 0.5f, {-1, 1, 16383, -16384}},
      {sample_code::kS24, {-3, 5, 8388607, -8388608}, 0.5f, {-1, 2, 4194303, -4194304}},
      {sample_code::kFloat, {0.5f, -1.0f, 0.25f, 1.0f}, 0.25f, {0.125f, -0.25f, 0.0625f, 0.25f}},
      {sample_code::kS16, {1000, -1000, 7, -7}, 2.0f, {1000, -1000, 7, -7}},  // clamped to 1.0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "code " << c.code << " volume " << c.volume);
    const OutFormat f{8000, 1, c.code};
    const std::uint32_t bytes = OutSampleBytes(c.code);
    const std::string path = TempPath("vol.wav");
    {
      std::unique_ptr<CSndOutDev> dev;
      std::string detail;
      ASSERT_EQ(OpenSndOutDev("file:" + path + "?fast", f, {2, 4}, &dev, &detail), err::kOk) << detail;
      ASSERT_EQ(dev->SetVolume(c.volume), err::kOk);
      for (std::size_t i = 0; i < c.in.size(); ++i) {
        std::uint8_t* d = dev->Data() + i * bytes;
        if (c.code == sample_code::kFloat) {
          std::memcpy(d, &c.in[i], 4);
        } else {
          const auto v = static_cast<std::int32_t>(c.in[i]);
          for (std::uint32_t b = 0; b < bytes; ++b) d[b] = static_cast<std::uint8_t>(v >> (8 * b));
        }
      }
      ASSERT_EQ(dev->Submit(4), err::kOk);
      ASSERT_EQ(dev->Start(), err::kOk);
      std::uint64_t played = 0;
      ASSERT_EQ(dev->NextFreeBuffer(&played), err::kOk);
      EXPECT_EQ(played, 4u);
    }
    const std::string file = ReadAll(path);
    const std::size_t header = bytes == 2 ? 44 : bytes == 3 ? 68 : 58;
    ASSERT_EQ(file.size(), header + 4 * bytes);
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      const std::size_t at = header + i * bytes;
      if (c.code == sample_code::kFloat) {
        float v;
        std::memcpy(&v, file.data() + at, 4);
        EXPECT_EQ(v, c.want[i]) << "sample " << i;
      } else {
        std::uint32_t u = 0;
        for (std::uint32_t b = 0; b < bytes; ++b)
          u |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(file[at + b])) << (8 * b);
        const auto v = static_cast<std::int32_t>(u << (32 - 8 * bytes)) >> (32 - 8 * bytes);
        EXPECT_EQ(v, static_cast<std::int32_t>(c.want[i])) << "sample " << i;
      }
    }
  }
}

// At the real pace, a pause in the middle loses and repeats nothing, and the
// whole stream takes at least its own duration.
TEST(OutputDevice, PausedRealPacePlaysEverythingOnce) {
  for (const char* name : {"file", "null"}) {
    SCOPED_TRACE(name);
    const OutFormat f{8000, 2, sample_code::kS16};
    const std::string path = TempPath("paced.wav");
    const std::string device = std::string(name) == "null" ? "null" : "file:" + path;
    std::mt19937 rng(11);
    std::unique_ptr<CSndOutDev> dev;
    std::string detail;
    ASSERT_EQ(OpenSndOutDev(device, f, {3, 160}, &dev, &detail), err::kOk) << detail;
    std::string stream;
    for (int i = 0; i < 3; ++i) {
      const std::string d = RandomFrames(rng, f, 160);
      std::memcpy(dev->Data(), d.data(), d.size());
      stream += d;
      ASSERT_EQ(dev->Submit(160), err::kOk);
    }
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(dev->Start(), err::kOk);
    std::uint64_t played = 0;
    for (int i = 0; i < 5; ++i) {
      ASSERT_EQ(dev->NextFreeBuffer(&played), err::kOk);
      if (i == 1) {
        ASSERT_EQ(dev->Pause(), err::kOk);
        const std::uint64_t at = dev->Played();
        ::usleep(60000);
        EXPECT_EQ(dev->Played(), at) << "frames played while paused";
        ASSERT_EQ(dev->Resume(), err::kOk);
      }
      const std::string d = RandomFrames(rng, f, 160);
      std::memcpy(dev->Data(), d.data(), d.size());
      stream += d;
      ASSERT_EQ(dev->Submit(160), err::kOk);
    }
    while (played < 8 * 160) ASSERT_EQ(dev->NextFreeBuffer(&played), err::kOk);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(seconds, 8 * 160 / 8000.0 - 0.002) << "faster than the real pace";
    dev.reset();
    if (device != "null") {
      const std::string file = ReadAll(path);
      EXPECT_TRUE(file.size() == 44 + stream.size() && file.substr(44) == stream);
    }
  }
}

// A paced device frees half a second of buffers (at most half the ring) at
// once, when the last of them has played: the engine wakes twice a second,
// not once per buffer. Each row: buffers, frames per buffer, the batch.
TEST(OutputDevice, PacedDevicesFreeBuffersInBatches) {
  const struct {
    std::uint32_t count, frames, batch;
  } rows[] = {{20, 400, 10}, {6, 400, 3}, {20, 1000, 4}};
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.count << " x " << row.frames);
    const OutFormat f{8000, 1, sample_code::kS16};
    std::unique_ptr<CSndOutDev> dev;
    std::string detail;
    ASSERT_EQ(OpenSndOutDev("null", f, {row.count, row.frames}, &dev, &detail), err::kOk) << detail;
    for (std::uint32_t i = 0; i < row.count; ++i) ASSERT_EQ(dev->Submit(row.frames), err::kOk);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(dev->Start(), err::kOk);
    std::uint64_t played = 0;
    ASSERT_EQ(dev->NextFreeBuffer(&played), err::kOk);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(played, std::uint64_t{row.batch} * row.frames);
    EXPECT_GE(seconds, static_cast<double>(played) / f.rate - 0.002) << "freed before it played";
    // The rest of the batch is free already; the next buffer is not.
    for (std::uint32_t i = 1; i < row.batch; ++i) {
      pollfd p{dev->FreeEvent(), POLLIN, 0};
      ASSERT_EQ(::poll(&p, 1, 0), 1) << "buffer " << i << " of the batch";
      ASSERT_EQ(dev->NextFreeBuffer(&played), err::kOk);
    }
    pollfd p{dev->FreeEvent(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0) << "a buffer freed ahead of its batch";
  }
}

// Reset before the start forgets the queued buffers; the ring starts again.
TEST(OutputDevice, ResetForgetsQueuedBuffers) {
  const OutFormat f{44100, 2, sample_code::kS16};
  const std::string path = TempPath("reset.wav");
  std::mt19937 rng(3);
  Played p;
  {
    std::unique_ptr<CSndOutDev> dev;
    std::string detail;
    ASSERT_EQ(OpenSndOutDev("file:" + path + "?fast", f, {4, 50}, &dev, &detail), err::kOk) << detail;
    for (int i = 0; i < 3; ++i) {
      std::memset(dev->Data(), 0x55, 200);
      ASSERT_EQ(dev->Submit(50), err::kOk);
    }
    ASSERT_EQ(dev->Reset(), err::kOk);
    EXPECT_EQ(dev->Played(), 0u);
    p = Drive(*dev, f, {50, 50, 50, 50, 50, 10}, rng);
    ASSERT_EQ(p.error, err::kOk) << dev->LastError();
  }
  const std::string file = ReadAll(path);
  EXPECT_TRUE(file.size() == 44 + p.stream.size() && file.substr(44) == p.stream);
}

// Misuse of the ring is refused, not written past.
TEST(OutputDevice, RefusesSubmitsBeyondTheRing) {
  const OutFormat f{44100, 1, sample_code::kS16};
  std::unique_ptr<CSndOutDev> dev;
  std::string detail;
  ASSERT_EQ(OpenSndOutDev("null", f, {2, 10}, &dev, &detail), err::kOk) << detail;
  EXPECT_EQ(dev->Submit(11), err::kWaveOutFailed);
  EXPECT_EQ(dev->Submit(10), err::kOk);
  EXPECT_EQ(dev->Submit(10), err::kOk);
  EXPECT_EQ(dev->Submit(10), err::kWaveOutFailed);
  std::uint64_t played = 0;
  EXPECT_EQ(dev->NextFreeBuffer(&played), err::kWaveOutFailed) << "a free buffer before the start";
}

TEST(OutputDevice, OpenRefusesWhatCannotPlay) {
  const std::string missing_dir = TempPath("no-such-folder/x.wav");
  const struct {
    const char* what;
    std::string name;
    OutFormat format;
    OutBuffers buffers;
    Error want;
    const char* detail_has;
  } cases[] = {
      {"rate 0", "null", {0, 2, sample_code::kS16}, {10, 100}, err::kUnsupportedFormat, "0 Hz"},
      {"rate 10 MHz", "null", {10'000'000, 2, sample_code::kS16}, {10, 100}, err::kUnsupportedFormat, "Hz"},
      {"no channels", "null", {44100, 0, sample_code::kS16}, {10, 100}, err::kUnsupportedFormat, "0 channels"},
      {"1000 channels", "null", {44100, 1000, sample_code::kS16}, {10, 100}, err::kUnsupportedFormat, "channels"},
      {"8-bit", "null", {44100, 2, sample_code::kU8}, {10, 100}, err::kUnsupportedFormat, ""},
      {"one buffer", "null", {44100, 2, sample_code::kS16}, {1, 100}, err::kUnsupportedFormat, ""},
      {"huge buffer", "null", {44100, 2, sample_code::kFloat}, {10, 1u << 30}, err::kUnsupportedFormat, ""},
      {"file without path", "file:", {44100, 2, sample_code::kS16}, {10, 100}, err::kWaveOutOpenFailed, "path"},
      {"unwritable folder", "file:" + missing_dir, {44100, 2, sample_code::kS16}, {10, 100},
       err::kWaveOutOpenFailed, "no-such-folder"},
      {"unknown ALSA PCM", "tidemark_no_such_pcm", {44100, 2, sample_code::kS16}, {10, 100},
       err::kWaveOutOpenFailed, "ALSA device \"tidemark_no_such_pcm\""},
      {"empty name", "", {44100, 2, sample_code::kS16}, {10, 100}, err::kWaveOutOpenFailed, "no output device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<CSndOutDev> dev;
    std::string detail;
    EXPECT_EQ(OpenSndOutDev(c.name, c.format, c.buffers, &dev, &detail), c.want);
    EXPECT_EQ(dev, nullptr);
    EXPECT_NE(detail.find(c.detail_has), std::string::npos) << detail;
  }
}

// A disk that fills mid-stream: the device reports the failure in its own
// words, and the file keeps whole frames under a header that matches them.
TEST(FileDevice, DiskFullKeepsWhatWasWritten) {
  const OutFormat f{44100, 2, sample_code::kS16};
  const std::string path = TempPath("full.wav");
  std::mt19937 rng(9);
  Played p;
  {
    std::unique_ptr<CSndOutDev> dev;
    std::string detail;
    ASSERT_EQ(OpenSndOutDev("file:" + path + "?fast", f, {2, 100}, &dev, &detail), err::kOk) << detail;
    fault::ScopedFault full(fault::FaultRule::DiskFullAt(44 + 1000));
    p = Drive(*dev, f, {100, 100, 100, 100, 100}, rng);
    EXPECT_EQ(p.error, err::kWaveOutFailed);
    EXPECT_NE(dev->LastError().find("writing the output file failed"), std::string::npos) << dev->LastError();
    std::uint64_t played = 0;
    EXPECT_EQ(dev->NextFreeBuffer(&played), err::kWaveOutFailed) << "the failure is kept";
  }
  const std::string file = ReadAll(path);
  ASSERT_GE(file.size(), 44u + 800);
  const std::uint32_t data = Le32(file, 40);
  EXPECT_EQ(data, file.size() - 44);
  EXPECT_EQ(data % 4, 0u);
  EXPECT_LE(data, 1000u);
  EXPECT_TRUE(file.substr(44) == p.stream.substr(0, data));
}

// The list always offers the headless devices, whatever the machine has.
TEST(OutputDevice, ListNamesTheHeadlessDevices) {
  for (const bool capture : {false, true}) {
    const std::vector<DeviceName> list = ListDevices(capture);
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[list.size() - 2].name, "null");
    EXPECT_EQ(list.back().name, "file:PATH");
    for (const DeviceName& d : list) EXPECT_EQ(d.description.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace tidemark::playback
