// The console's playback commands through the file device: what each form
// plays is compared with the document's samples under 50 ms fades.
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "playback/play_engine.h"
#include "tests/app/console_test_util.h"

namespace tidemark::testing {
namespace {

std::string Dir() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr ? dir : "/tmp";
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A 16-bit stereo WAV of seeded noise; its samples.
std::vector<std::int16_t> WriteNoise(const std::string& path, std::uint32_t rate, std::uint32_t frames) {
  std::mt19937 rng(77);
  std::vector<std::int16_t> samples(frames * 2);
  for (auto& v : samples) v = static_cast<std::int16_t>(static_cast<int>(rng() % 65536) - 32768);
  auto put32 = [](std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  };
  auto put16 = [](std::string& s, std::uint32_t v) {
    for (int i = 0; i < 2; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  };
  std::string h = "RIFF";
  put32(h, 36 + frames * 4);
  h += "WAVEfmt ";
  put32(h, 16);
  put16(h, 1);
  put16(h, 2);
  put32(h, rate);
  put32(h, rate * 4);
  put16(h, 4);
  put16(h, 16);
  h += "data";
  put32(h, frames * 4);
  std::ofstream out(path, std::ios::binary);
  out << h;
  out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
  return samples;
}

TEST(ConsolePlay, FormsPlayTheirRangeWithFades) {
  const std::uint32_t rate = 8000, frames = 6000;
  const std::string in = Dir() + "/noise.wav";
  const std::vector<std::int16_t> doc = WriteNoise(in, rate, frames);
  const struct {
    const char* what;
    const char* select;  // "" for no selection
    const char* form;
    std::uint32_t from, length;
  } cases[] = {
      {"selection", "select 1000f 4000f", "play", 1000, 3000},
      {"no selection plays all", "", "play", 0, frames},
      {"all despite a selection", "select 1000f 4000f", "play all", 0, frames},
      {"cursor to the end", "select 5900f 5950f", "play cursor", 5900, 100},  // shorter than the fade
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = Dir() + "/played.wav";
    ConsoleRun run;
    std::string script = "open " + in + "\ndevice out file:" + out + "?fast\n";
    if (*c.select) script += std::string(c.select) + "\n";
    script += std::string(c.form) + "\n";
    ASSERT_EQ(run.Script(script), 0) << run.err.str();
    EXPECT_EQ(run.err.str(), "") << "a play from a pipe prints nothing but errors";
    const std::string file = ReadBytes(out);
    ASSERT_EQ(file.size(), 44u + c.length * 4);
    const std::int64_t f = std::min<std::int64_t>(rate / 20, c.length);
    for (std::uint32_t i = 0; i < c.length; ++i)
      for (std::uint32_t ch = 0; ch < 2; ++ch) {
        std::int64_t want = doc[(c.from + i) * 2 + ch];
        if (i < f) want = want * i / f;
        if (i + f >= c.length) want = want * (c.length - i) / f;
        std::int16_t got;
        std::memcpy(&got, file.data() + 44 + (i * 2 + ch) * 2, 2);
        ASSERT_EQ(got, want) << "frame " << i << " channel " << ch;
      }
  }
}

TEST(ConsolePlay, BadFormsChangeNothingAndSayWhy) {
  const std::string in = Dir() + "/short.wav";
  WriteNoise(in, 8000, 800);
  const struct {
    const char* what;
    const char* line;
    bool done;
    const char* message;  // in the error or output text
  } cases[] = {
      {"stop with nothing playing", "stop", true, "Stopped"},
      {"pause with nothing playing", "pause", true, "Stopped"},
      {"volume beyond 100", "volume 150", false, "150"},
      {"volume not a number", "volume loud", false, "loud"},
      {"unknown play form", "play sideways", false, "play [all|cursor|loop]"},
      {"device neither out nor in", "device sideways null", false, "device out|in"},
      {"unknown output device", "device out tidemark_no_such_pcm\nplay", false, "playback device could not be opened"},
      {"unwritable folder", "device out file:/nonexistent-folder/x.wav\nplay", false, "could not be opened"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRun run;
    ASSERT_TRUE(AllDone(run.session, "open " + in));
    EXPECT_EQ(AllDone(run.session, c.line), c.done);
    EXPECT_NE((run.err.str() + run.out.str()).find(c.message), std::string::npos) << run.err.str() << run.out.str();
    EXPECT_FALSE(run.session.active()->modification_counter != 0) << "the document changed";
  }
}

TEST(ConsolePlay, LoopRunsUntilStopAndPlayTogglesPause) {
  const std::string in = Dir() + "/loop.wav";
  WriteNoise(in, 8000, 800);
  ConsoleRun run;
  ASSERT_TRUE(AllDone(run.session, "open " + in + "\ndevice out null\nplay loop"));
  // A second play while playing pauses rather than starting another.
  ASSERT_TRUE(AllDone(run.session, "play"));
  EXPECT_TRUE(playback::PlaybackPaused());
  ASSERT_TRUE(AllDone(run.session, "play"));
  EXPECT_FALSE(playback::PlaybackPaused());
  ASSERT_TRUE(AllDone(run.session, "volume 40"));
  ASSERT_TRUE(AllDone(run.session, "stop"));
  EXPECT_EQ(run.err.str(), "");
  // Any other command stops a playback first: nothing reads a document being changed.
  ASSERT_TRUE(AllDone(run.session, "play loop"));
  ASSERT_TRUE(AllDone(run.session, "select all\ndelete"));
  EXPECT_FALSE(playback::PlaybackExists());
  // Nothing plays any more: stop says so.
  ASSERT_TRUE(AllDone(run.session, "stop"));
  EXPECT_NE((run.err.str() + run.out.str()).find("Stopped"), std::string::npos);
  EXPECT_FALSE(playback::PlaybackExists());
}

TEST(ConsolePlay, DevicesListsTheHeadlessOnesAndMarksTheChoice) {
  ConsoleRun run;
  ASSERT_TRUE(AllDone(run.session, "device out null\ndevices"));
  const std::string out = run.out.str();
  EXPECT_NE(out.find("out * null"), std::string::npos) << out;
  EXPECT_NE(out.find("out   file:PATH"), std::string::npos) << out;
  EXPECT_NE(out.find("in    null"), std::string::npos) << out;
}

}  // namespace
}  // namespace tidemark::testing
