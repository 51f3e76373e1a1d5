// FIRFilter from the console: responses read from WAV files written here,
// the loader's error codes (and that a refused run changes nothing), the
// conversion of a response at another rate, the declared pre-delay and the
// ".fir" name; Reverb's saved response read back through FIRFilter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/response_loader.h"
#include "config/settings.h"
#include "formats/tags/tags.h"
#include "tests/app/console_effect_test_util.h"
#include "tests/app/console_test_util.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::testing {
namespace {

void Put(std::vector<char>& b, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Tag(std::vector<char>& b, const char* id) { b.insert(b.end(), id, id + 4); }

// A float WAV file of `channels` interleaved channels, with an INFO comment
// when `comment` is not empty.
void WriteFloatWav(const std::string& path, const std::vector<float>& samples, std::uint16_t channels,
                   std::uint32_t rate, const std::string& comment = "") {
  std::vector<char> body;
  Tag(body, "WAVE");
  Tag(body, "fmt ");
  Put(body, 16, 4);
  Put(body, 3, 2);
  Put(body, channels, 2);
  Put(body, rate, 4);
  Put(body, rate * 4u * channels, 4);
  Put(body, 4u * channels, 2);
  Put(body, 32, 2);
  Tag(body, "data");
  Put(body, static_cast<std::uint32_t>(samples.size() * 4), 4);
  for (const float s : samples) {
    std::uint32_t bits;
    std::memcpy(&bits, &s, 4);
    Put(body, bits, 4);
  }
  if (!comment.empty()) {
    std::string text = comment + '\0';
    if (text.size() % 2) text += '\0';
    Tag(body, "LIST");
    Put(body, static_cast<std::uint32_t>(4 + 8 + text.size()), 4);
    Tag(body, "INFO");
    Tag(body, "ICMT");
    Put(body, static_cast<std::uint32_t>(text.size()), 4);
    body.insert(body.end(), text.begin(), text.end());
  }
  std::vector<char> file;
  Tag(file, "RIFF");
  Put(file, static_cast<std::uint32_t>(body.size()), 4);
  file.insert(file.end(), body.begin(), body.end());
  std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
}

std::vector<float> Impulse(std::size_t frames, std::size_t at) {
  std::vector<float> v(frames, 0.0f);
  v[at] = 1.0f;
  return v;
}

struct BadFile {
  const char* name;
  std::uint32_t code;
};

TEST_F(ConsoleEffect, FirFilterRefusesBadResponsesAndChangesNothing) {
  const std::string dir = MakeTempDir("fir");
  WriteFloatWav(dir + "/three.wav", std::vector<float>(300, 0.1f), 3, 44100);
  WriteFloatWav(dir + "/empty.wav", {}, 1, 44100);
  std::ofstream(dir + "/corrupt.wav") << "RIFF\x10\0\0\0WAVEjunkjunk";
  const BadFile cases[] = {
      {"missing.wav", 25}, {"three.wav", 18}, {"empty.wav", 16}, {"corrupt.wav", 25}};
  const auto input = RandomSamples(2000, 5, 0.5f);
  SoundDocument& doc = Adopt(input, 2);
  for (const BadFile& c : cases) {
    SCOPED_TRACE(c.name);
    NS_EFFECT::ImpulseResponse ir;
    EXPECT_EQ(LoadResponseFile(dir + "/" + c.name, &ir).code(), c.code);
    EXPECT_NE(Execute("effect FIRFilter file=" + dir + "/" + c.name), console::Result::kDone);
    EXPECT_NE(Err(), "");
    EXPECT_EQ(ReadAll(doc), input);
  }
}

struct DelayCase {
  const char* file;
  std::size_t at;       // where the impulse lies in the response
  std::string comment;  // the file's annotation
  std::size_t shift;    // how far the output lies behind the input
};

TEST_F(ConsoleEffect, FirFilterKeepsTheDirectSoundWhereTheFileDeclaresIt) {
  const std::string dir = MakeTempDir("fir");
  const DelayCase cases[] = {
      {"plain.wav", 0, "", 0},
      {"delayed.wav", 1000, "", 1000},
      {"declared.wav", 1000, "Room impulse response DELAY=1000", 0},
      {"declared.fir", 5000, "DELAY=5000", 0},
  };
  const auto input = RandomSamples(2 * 9000, 8, 0.5f);
  for (const DelayCase& c : cases) {
    SCOPED_TRACE(c.file);
    WriteFloatWav(dir + "/" + c.file, Impulse(c.at + 1, c.at), 1, 44100, c.comment);
    SoundDocument& doc = Adopt(input, 2);
    Done("effect FIRFilter normalise=off file=" + dir + "/" + c.file);
    const auto got = ReadAll(doc);
    ASSERT_EQ(got.size(), input.size());
    double worst = 0;
    for (std::size_t i = 2 * c.shift; i < got.size(); ++i)
      worst = std::max(worst, std::abs(double{got[i]} - input[i - 2 * c.shift]));
    EXPECT_LT(worst, 1e-6);
  }
}

TEST_F(ConsoleEffect, FirFilterConvertsAResponseAtAnotherRate) {
  const std::string dir = MakeTempDir("fir");
  // 100 ms at 48 kHz is 4410 frames at 44.1 kHz.
  WriteFloatWav(dir + "/r48.wav", Impulse(9600, 4800), 1, 48000);
  NS_EFFECT::ImpulseResponse ir;
  ASSERT_EQ(LoadResponseFile(dir + "/r48.wav", &ir), err::kOk);
  EXPECT_EQ(ir.rate, 48000u);
  std::vector<float> input(20000, 0.0f);
  input[100] = 0.5f;
  SoundDocument& doc = Adopt(input, 1);
  Done("effect FIRFilter normalise=off file=" + dir + "/r48.wav");
  const auto got = ReadAll(doc);
  const auto peak = std::max_element(got.begin(), got.end(), [](float a, float b) { return std::abs(a) < std::abs(b); });
  EXPECT_EQ(peak - got.begin(), 100 + 4410);
  EXPECT_NEAR(*peak, 0.5f * 44100.0f / 48000.0f, 0.05);  // the band-limited impulse keeps its area
}

TEST_F(ConsoleEffect, PlotFirFlatResponseKeepsTheSoundInPlace) {
  const auto input = RandomSamples(2 * 12000, 9, 0.3f);
  SoundDocument& doc = Adopt(input, 2);
  Done("effect PlotFIR points=\"1000:0,100:0\"");
  const auto got = ReadAll(doc);
  double worst = 0;
  for (std::size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(double{got[i]} - input[i]));
  EXPECT_LT(worst, 0.01);  // flat to the window's ripple, aligned
  const std::string help = Done("help effect PlotFIR");
  EXPECT_NE(help.find("current \"1000:0,100:0\""), std::string::npos) << help;
}

TEST_F(ConsoleEffect, PlotFirRefusesBadPointsAndChangesNothing) {
  const auto input = RandomSamples(2 * 3000, 10, 0.3f);
  SoundDocument& doc = Adopt(input, 2);
  for (const char* points : {"100:0,100:-6", "100:abc", "0:0", "100:-500", "x"}) {
    SCOPED_TRACE(points);
    EXPECT_NE(Execute(std::string("effect PlotFIR points=\"") + points + "\""), console::Result::kDone);
    EXPECT_NE(Err(), "");
    EXPECT_EQ(ReadAll(doc), input);
  }
}

// The saved room response is a 64-bit float WAV holding what the reverb
// applies: FIRFilter with it (same normalisation) gives the same output
// sample for sample, on stereo and on a mono selection made stereo.
TEST_F(ConsoleEffect, ReverbResponseSavedLoadsBackThroughFirFilter) {
  const std::string dir = MakeTempDir("reverb");
  const auto input = RandomSamples(2 * 20000, 12, 0.5f);
  struct Case {
    const char* options;
    const char* file;
  };
  const Case cases[] = {{"", "room.fir"}, {"normalise=off pattern=cardioid mic-angle=90", "room.wav"},
                        {"normalise=on direct=off source-x=-3 length=1.0 reflections=3", "far.wav"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string path = dir + "/" + c.file;
    SoundDocument& reverb = Adopt(input, 2);
    const std::string said = Done(std::string("effect Reverb ") + c.options + " save-ir=" + path);
    EXPECT_NE(said.find("impulse response saved: " + path), std::string::npos) << said;
    const auto wet = ReadAll(reverb);
    NS_EFFECT::ImpulseResponse ir;
    ASSERT_EQ(LoadResponseFile(path, &ir), err::kOk);
    EXPECT_EQ(ir.channels.size(), 2u);
    EXPECT_GT(ir.delay, 0u);  // the direct sound's travel time
    TagSet tags;
    ASSERT_EQ(ReadTags(path, PcmFileKind::Wave, &tags), err::kOk);
    std::string texts;
    for (const auto& text : tags.texts)
      if (text) texts += *text + "|";
    const std::string wanted[] = {"Room impulse response (synthetic)|", "FIR Filter|",
                                  "Generated by Tidemark Roomsynth 1.8.5.2|", "DELAY=" + std::to_string(ir.delay) + "|"};
    for (const std::string& want : wanted)
      EXPECT_NE(texts.find(want), std::string::npos) << want << " in " << texts;
    SoundDocument& fir = Adopt(input, 2);
    const bool off = std::string(c.options).find("normalise=off") != std::string::npos;
    Done(std::string("effect FIRFilter normalise=") + (off ? "off" : "on") + " file=" + path);
    EXPECT_EQ(ReadAll(fir), wet);
  }
  // Without a selection the response is still saved; an effect that has
  // none to save is refused.
  Adopt(std::vector<float>(100, 0.0f), 1);
  Execute("select 0 0");
  Execute("effect Reverb save-ir=" + dir + "/only.wav");
  NS_EFFECT::ImpulseResponse ir;
  EXPECT_EQ(LoadResponseFile(dir + "/only.wav", &ir), err::kOk);
  EXPECT_NE(Done("help effect Reverb").find("  save-ir=PATH"), std::string::npos);
  EXPECT_EQ(Done("help effect Volume").find("save-ir"), std::string::npos);
  EXPECT_NE(Execute("effect Volume save-ir=" + dir + "/none.wav"), console::Result::kDone);
  EXPECT_NE(LoadResponseFile(dir + "/none.wav", &ir), err::kOk);
}

TEST_F(ConsoleEffect, ReverbMakesAMonoSelectionStereo) {
  const auto input = RandomSamples(8000, 13, 0.5f);
  SoundDocument& doc = Adopt(input, 1);
  Done("effect Reverb length=1.0");
  EXPECT_EQ(doc.channels, 2u);
  EXPECT_EQ(ReadAll(doc).size(), 2 * input.size());
}

// Files FIRFilter read are remembered newest first, shown by help and kept
// in the settings' "FIR Filter" list; a refused file is not remembered.
TEST_F(ConsoleEffect, FirFilterRemembersRecentResponseFiles) {
  RestoreRecentResponseFiles(Settings{});
  const std::string dir = MakeTempDir("recent");
  std::vector<std::string> paths;
  for (int i = 0; i < 10; ++i) {
    paths.push_back(dir + "/r" + std::to_string(i) + ".wav");
    WriteFloatWav(paths.back(), Impulse(4, 0), 1, 44100);
  }
  Adopt(RandomSamples(2 * 500, 14, 0.3f), 2);
  for (const int i : {0, 1, 0}) Done("effect FIRFilter file=" + paths[std::size_t(i)]);
  EXPECT_NE(Execute("effect FIRFilter file=" + dir + "/missing.wav"), console::Result::kDone);
  Err();
  EXPECT_EQ(RecentResponseFiles(), (std::vector<std::string>{paths[0], paths[1]}));
  const auto lines = Lines(Done("help effect FIRFilter"));
  std::vector<std::string> recent;
  for (const std::string& line : lines)
    if (line.rfind("  recent \"", 0) == 0) recent.push_back(line);
  EXPECT_EQ(recent, (std::vector<std::string>{"  recent \"" + paths[0] + "\"", "  recent \"" + paths[1] + "\""}));
  for (const std::string& line : Lines(Done("help effect PlotFIR"))) EXPECT_EQ(line.find("recent"), std::string::npos);

  // At most eight; the settings' list round-trips with repeats and empty
  // entries dropped.
  for (const std::string& path : paths) RememberResponseFile(path);
  Settings settings;
  SaveRecentResponseFiles(settings);
  ASSERT_EQ(settings.fir_filters.size(), kRecentResponseCount);
  EXPECT_EQ(settings.fir_filters.front(), paths.back());
  settings.fir_filters.insert(settings.fir_filters.begin() + 1, {"", settings.fir_filters.front()});
  const std::vector<std::string> expected(settings.fir_filters.begin() + 3, settings.fir_filters.end());
  RestoreRecentResponseFiles(settings);
  const auto restored = RecentResponseFiles();
  ASSERT_EQ(restored.size(), kRecentResponseCount);
  EXPECT_EQ(restored.front(), paths.back());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), restored.begin() + 1));
  RestoreRecentResponseFiles(Settings{});
}

}  // namespace
}  // namespace tidemark::testing
