// effect NAME ... preview [SECONDS]: what plays through the file device
// equals the effect applied and then played, fades and all, and a refused
// form plays nothing and changes nothing.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_messages.h"
#include "playback/play_engine.h"
#include "playback/preview_source.h"
#include "tests/app/console_effect_test_util.h"
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

std::vector<float> Noise(std::uint32_t frames, std::uint16_t channels) {
  std::mt19937 rng(33);
  std::uniform_real_distribution<float> level(-0.7f, 0.7f);
  std::vector<float> samples(std::size_t{frames} * channels);
  for (float& v : samples) v = level(rng);
  return samples;
}

class ConsolePreview : public ConsoleEffect {
 protected:
  // Runs `lines` with the output going to a new file; that file's bytes.
  std::string PlayedBy(const std::string& lines) {
    const std::string path = Dir() + "/preview-" + std::to_string(++files_) + ".wav";
    EXPECT_TRUE(AllDone(run_.session, "device out file:" + path + "?fast\n" + lines)) << lines << ": " << Err();
    return ReadBytes(path);
  }
  int files_ = 0;
};

TEST_F(ConsolePreview, PlaysWhatTheEffectWouldLeave) {
  const struct {
    const char* what;
    const char* settings;
    const char* seconds;     // "" for the whole selection
    const char* reference;   // the selection played after applying
  } cases[] = {
      {"a gain", "Volume gain=-6", "", "select 1000f 5000f"},
      {"a filter keeps its state across buffers", "LowpassHighpass cutoff=500 sections=3", "", "select 1000f 5000f"},
      {"a compressor's latency is made up", "Compress threshold=-30 ratio=4 window=20", "", "select 1000f 5000f"},
      {"the first seconds only", "Volume gain=5", "0.25", "select 1000f 3000f"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Adopt(Noise(8000, 2), 2, 8000);
    const std::string form = std::string("effect ") + c.settings + " preview " + c.seconds;
    const std::string plain = PlayedBy(c.reference + std::string("\nplay"));
    const std::string preview = PlayedBy(std::string("select 1000f 5000f\n") + form);
    EXPECT_EQ(run_.session.active()->modification_counter, 0u) << "a preview changed the document";
    ASSERT_TRUE(AllDone(run_.session, std::string("select 1000f 5000f\neffect ") + c.settings)) << Err();
    const std::string applied = PlayedBy(c.reference + std::string("\nplay"));
    ASSERT_GT(applied.size(), 44u);
    EXPECT_NE(applied, plain) << "the effect left the range as it was";
    ASSERT_EQ(preview.size(), applied.size());
    EXPECT_TRUE(preview == applied) << "the preview differs from the applied effect";
    EXPECT_EQ(Err(), "");
  }
}

// `preview loop` returns at once; a new preview of the compressor while it
// plays changes the run live (the level drops without a restart), and an
// effect that is not a preview ends it.
TEST_F(ConsolePreview, LoopedCompressorTakesNewSettingsLive) {
  const std::uint32_t rate = 8000;
  Adopt(Noise(3 * rate, 1), 1, rate);
  const std::string path = Dir() + "/live.wav";
  ASSERT_TRUE(AllDone(run_.session, "device out file:" + path + "\nselect all\n"
                                    "effect Compress ratio=1 makeup=0 preview loop"))
      << Err();
  ASSERT_TRUE(playback::PreviewPlaying());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the first second is filled by then
  ASSERT_TRUE(AllDone(run_.session, "effect Compress ratio=5 threshold=-40 makeup=0 preview")) << Err();
  EXPECT_TRUE(playback::PreviewPlaying()) << "the change stopped the preview";
  std::this_thread::sleep_for(std::chrono::milliseconds(2200));
  ASSERT_TRUE(AllDone(run_.session, "effect Volume gain=-1")) << Err();
  EXPECT_FALSE(playback::PlaybackExists()) << "an applied effect left the preview playing";
  const std::string played = ReadBytes(path);
  ASSERT_GE(played.size(), 44u + 2 * rate * 2) << "less than 2 s played";
  auto rms = [&](std::uint32_t from, std::uint32_t to) {
    double sum = 0;
    for (std::uint32_t i = from; i < to; ++i) {
      std::int16_t v;
      std::memcpy(&v, played.data() + 44 + std::size_t{i} * 2, 2);
      sum += static_cast<double>(v) * v;
    }
    return std::sqrt(sum / (to - from));
  };
  // The first second was filled before the change; from 1.5 s on all after it.
  const double before = rms(rate / 10, rate * 9 / 10), after = rms(rate * 3 / 2, 2 * rate);
  EXPECT_GT(before, 8000.0) << after;
  EXPECT_LT(after, before / 2) << "the new settings did not reach the playing run";
}

TEST_F(ConsolePreview, NonFiniteSamplesPlayAsSilence) {
  std::vector<float> samples = Noise(4000, 1);
  samples[1500] = std::numeric_limits<float>::quiet_NaN();
  samples[2500] = std::numeric_limits<float>::infinity();
  Adopt(samples, 1, 8000);
  const std::string played = PlayedBy("effect Volume gain=-3 preview");
  ASSERT_EQ(played.size(), 44u + 4000 * 2);
  auto at = [&](std::size_t i) {
    std::int16_t v;
    std::memcpy(&v, played.data() + 44 + i * 2, 2);
    return v;
  };
  EXPECT_EQ(at(1500), 0);
  EXPECT_EQ(at(2500), 0);
  EXPECT_NE(at(1501), 0) << "the run after a NaN still plays";
}

TEST_F(ConsolePreview, RefusedFormsPlayNothingAndChangeNothing) {
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"effect NoSuchEffect preview", "NoSuchEffect"},
      {"effect Volume loudness=3 preview", "loudness"},
      {"effect Volume gain=99 preview", "gain=99"},
      {"effect Volume block=zz preview", "block=zz"},
      {"effect Volume preview -1", "-1"},
      {"effect Volume preview soon", "soon"},
      {"effect Volume preview preview", "preview"},
  };
  Adopt(Noise(2000, 2), 2, 8000);
  const std::string before = Done("help effect Volume");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string path = Dir() + "/refused.wav";
    ASSERT_TRUE(AllDone(run_.session, "device out file:" + path + "?fast"));
    EXPECT_NE(Execute(c.line), console::Result::kDone);
    EXPECT_NE((Err() + Out()).find(c.message), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path)) << "something played";
    EXPECT_EQ(run_.session.active()->modification_counter, 0u);
    EXPECT_EQ(Done("help effect Volume"), before) << "the last-used settings changed";
  }
  // A mono selection the effect makes stereo is not previewed.
  Adopt(Noise(2000, 1), 1, 8000);
  const std::string path = Dir() + "/mono.wav";
  ASSERT_TRUE(AllDone(run_.session, "device out file:" + path + "?fast"));
  EXPECT_NE(Execute("effect Pan preview"), console::Result::kDone);
  EXPECT_NE(Err().find(DescribeError(Error(52))), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path)) << "something played";
  EXPECT_EQ(run_.session.active()->modification_counter, 0u);
  // A preview that plays leaves the last-used settings as they were too.
  ASSERT_TRUE(AllDone(run_.session, "device out null\neffect Volume gain=7 preview"));
  EXPECT_EQ(Done("help effect Volume"), before);
}

}  // namespace
}  // namespace tidemark::testing
