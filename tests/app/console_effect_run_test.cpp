// Effects and statistics while they run on the console: the progress bar
// with its caption, the time-taken notice, cancel at every block through the
// display (and Ctrl-C through the terminal hooks), and what stats prints.
#include <signal.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "app/console_effect_commands.h"
#include "app/console_progress.h"
#include "config/error_messages.h"
#include "config/text_catalogue.h"
#include "core/io/work_folder.h"
#include "effects/analysis/waveform_statistics.h"
#include "effects/framework/block_run_worker.h"
#include "effects/framework/progress_scope.h"
#include "platform/fault_injection.h"
#include "tests/app/console_effect_test_util.h"
#include "tests/app/console_test_util.h"
#include "tests/effects/effect_test_util.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using console::Result;
using testing::ConsoleRun;

using testing::ConsoleEffect;
// Cancel at the k-th time the worker asks, for k = 1, 2, ... until a run
// gets through: every cancelled run leaves the samples, the history and the
// channel count as they were; the run that gets through is one undo step.
TEST_F(ConsoleEffect, CancelAtEveryBlockLeavesTheDocumentAsItWas) {
  testing::TestEntry entry(304);
  const console::ScopedConsoleEffect in_place(entry);
  const std::uint32_t frames = 3 * EffectBlockFrames(2) + 1000;  // four blocks
  const std::vector<float> samples = testing::RandomSamples(2 * std::size_t{frames}, 12, 0.5f);
  SoundDocument& doc = Adopt(samples, 2);

  int asked = 0, cancel_at = 0;
  console::ProgressHooks hooks;
  hooks.cancel_requested = [&] { return ++asked >= cancel_at; };
  run_.session.set_progress(hooks);
  const std::string cancelled = std::string(UiText(text::kConsoleCancelled)) + "\n";
  int cancels = 0;
  for (cancel_at = 1; cancel_at < 50; ++cancel_at) {
    asked = 0;
    const Result result = run_.session.Execute("effect fade amount=50");
    if (result == Result::kDone) break;
    ++cancels;
    EXPECT_EQ(result, Result::kFailed) << cancel_at;
    EXPECT_EQ(run_.err.str(), "error: " + cancelled) << cancel_at;
    run_.err.str("");
    EXPECT_EQ(testing::ReadAll(doc), samples) << cancel_at;
    EXPECT_TRUE(doc.history.empty()) << cancel_at;
  }
  EXPECT_GE(cancels, 4);  // at least once after every block
  ASSERT_EQ(doc.history.size(), 1u);
  const std::vector<float> done = testing::ReadAll(doc);
  for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(done[i], samples[i] * 0.5f) << i;
}

// A full disk while the worker writes, and a worker thread that cannot
// start: the message says which, and the document, its history and the
// working folder stay as they were.
TEST_F(ConsoleEffect, FullDiskAndNoThreadChangeNothing) {
  testing::TestEntry entry(304);
  const console::ScopedConsoleEffect in_place(entry);
  const std::vector<float> samples = testing::RandomSamples(2 * std::size_t{3 * EffectBlockFrames(2)}, 18, 0.5f);
  SoundDocument& doc = Adopt(samples, 2);
  std::string work;
  ASSERT_EQ(WorkFolder(&work), err::kOk);
  const std::set<std::string> before = testing::FolderEntries(work);
  struct Case {
    fault::FaultRule rule;
    Error says;
  };
  const Case cases[] = {
      {fault::FaultRule::DiskFullAt(100000), err::kDiskFull},
      {fault::FaultRule::FailNth(fault::kThreadStart, 1, EAGAIN), err::kThreadCreate},
  };
  for (const Case& c : cases) {
    run_.err.str("");
    {
      const fault::ScopedFault fault(c.rule);
      EXPECT_EQ(run_.session.Execute("effect fade"), Result::kFailed);
    }
    EXPECT_EQ(run_.err.str(), "error: " + DescribeError(c.says) + "\n");
    EXPECT_EQ(testing::ReadAll(doc), samples);
    EXPECT_TRUE(doc.history.empty());
    EXPECT_EQ(testing::FolderEntries(work), before);
  }
  EXPECT_EQ(run_.session.Execute("effect fade"), Result::kDone) << run_.err.str();
}

// Ctrl-C is the terminal hooks' cancel: a SIGINT while the effect runs
// cancels it; the next command starts afresh.
TEST_F(ConsoleEffect, CtrlCCancelsThroughTheTerminalHooks) {
  testing::TestEntry entry(304);
  const console::ScopedConsoleEffect in_place(entry);
  const std::vector<float> samples = testing::RandomSamples(2 * 5000, 13, 0.5f);
  SoundDocument& doc = Adopt(samples, 2);
  console::ProgressHooks hooks = console::TerminalProgress();
  const std::function<void()> begin = hooks.begin;
  bool interrupt = true;
  hooks.begin = [&] {
    begin();
    if (interrupt) ::raise(SIGINT);  // as if Ctrl-C came while the command runs
  };
  run_.session.set_progress(hooks);
  EXPECT_EQ(run_.session.Execute("effect fade"), Result::kFailed);
  EXPECT_NE(run_.err.str().find(UiText(text::kConsoleCancelled)), std::string::npos) << run_.err.str();
  EXPECT_EQ(testing::ReadAll(doc), samples);
  EXPECT_TRUE(doc.history.empty());
  interrupt = false;
  EXPECT_EQ(run_.session.Execute("effect fade"), Result::kDone) << run_.err.str();
  EXPECT_EQ(doc.history.size(), 1u);
}

// Work that takes long enough for the progress window shows the bar with
// the run's caption, and the main frame's time-taken line becomes a notice
// after it.
TEST_F(ConsoleEffect, LongWorkShowsTheBarAndTheTimeTaken) {
  testing::TestEntry entry(304);
  entry.pause = std::chrono::milliseconds(200);
  const console::ScopedConsoleEffect in_place(entry);
  const std::uint32_t frames = 4 * EffectBlockFrames(2);
  Adopt(testing::RandomSamples(2 * std::size_t{frames}, 14, 0.5f), 2);
  std::string caption;
  std::vector<std::uint64_t> percents;
  int ends = 0;
  console::ProgressHooks hooks;
  hooks.caption = [&](std::string_view text) { caption = text; };
  hooks.step = [&](std::uint64_t done, std::uint64_t total) {
    EXPECT_EQ(total, 100u);
    percents.push_back(done);
    return true;
  };
  hooks.end = [&] { ++ends; };
  run_.session.set_progress(hooks);
  ASSERT_EQ(run_.session.Execute("effect fade"), Result::kDone) << run_.err.str();
  EXPECT_EQ(caption, "Scale...");
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100u);
  EXPECT_GE(ends, 1);
  // The catalogue's line up to its number, at the start of a line of its own.
  const std::string_view line(UiText(text::kStatusTimeTaken));
  const std::string head(line.substr(0, line.find('%')));
  ASSERT_FALSE(head.empty());
  const std::string out = run_.out.str();
  EXPECT_EQ(out.rfind(head, 0), 0u) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

// The lines stats prints, in order: key (with the channel) and value.
struct StatLine {
  std::string key;
  int channel;
  double value;
};

std::vector<StatLine> ParseStats(const std::string& text) {
  std::vector<StatLine> lines;
  for (const std::string& line : testing::Lines(text)) {
    std::istringstream in(line);
    StatLine s{"", -1, 0};
    std::string a, b, c;
    in >> a >> b >> c;
    s.key = a;
    if (c.empty()) {
      s.value = std::strtod(b.c_str(), nullptr);
    } else {
      s.channel = std::stoi(b);
      s.value = std::strtod(c.c_str(), nullptr);
    }
    lines.push_back(s);
  }
  return lines;
}

class ConsoleStats : public ConsoleEffect, public ::testing::WithParamInterface<std::uint16_t> {};

// Every key of the waveform information, whole-selection keys first, then
// the per-channel ones for each channel; values as MeasureWaveform gives
// them (so printed with all their digits), positions in seconds. The
// material makes some values plain: a peak at a known frame, a constant
// channel.
TEST_P(ConsoleStats, PrintsEveryKeyWithAllItsDigits) {
  const std::uint16_t channels = GetParam();
  constexpr std::uint32_t kRate = 48000, kFrames = 30000, kPeakAt = 12345;
  std::vector<float> samples = testing::RandomSamples(std::size_t{channels} * kFrames, 15, 0.5f);
  for (std::uint32_t f = 0; f < kFrames; ++f) samples[std::size_t{f} * channels] *= 0.5f;
  samples[std::size_t{kPeakAt} * channels] = -0.875f;
  if (channels == 2)
    for (std::uint32_t f = 0; f < kFrames; ++f) samples[std::size_t{f} * 2 + 1] = 0.125f;
  // Outside the selection, louder than anything inside it.
  samples[std::size_t{10} * channels] = 1.0f;
  SoundDocument& doc = Adopt(samples, channels, kRate);
  testing::Select(doc, 100, kFrames);
  ASSERT_EQ(run_.session.Execute("stats"), Result::kDone) << run_.err.str();
  EXPECT_EQ(run_.err.str(), "");

  WaveformStatistics expected;
  ProgressScope scope(nullptr);
  ASSERT_EQ(MeasureWaveform(scope, doc, 100, kFrames - 100, "0", &expected), err::kOk);
  std::vector<StatLine> want = {
      {"InstantPeak", -1, expected.instant_peak},
      {"InstantPeakPos", -1, expected.instant_peak_pos / double(kRate)},
      {"Rms", -1, expected.rms},
      {"ShortRmsPeak", -1, expected.short_rms_peak},
      {"ShortRmsPeakPos", -1, expected.short_rms_peak_pos / double(kRate)},
  };
  const std::pair<const char*, double ChannelStatistics::*> per_channel[] = {
      {"InstantMax", &ChannelStatistics::instant_max}, {"InstantMin", &ChannelStatistics::instant_min},
      {"Offset", &ChannelStatistics::offset},          {"MeanSquare", &ChannelStatistics::mean_square},
      {"Variance", &ChannelStatistics::variance}};
  for (const auto& [key, field] : per_channel)
    for (int c = 0; c < channels; ++c) want.push_back({key, c, expected.channel[std::size_t(c)].*field});

  const std::vector<StatLine> got = ParseStats(run_.out.str());
  ASSERT_EQ(got.size(), want.size()) << run_.out.str();
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].key, want[i].key);
    EXPECT_EQ(got[i].channel, want[i].channel) << want[i].key;
    EXPECT_EQ(got[i].value, want[i].value) << want[i].key << " " << want[i].channel;  // every digit
  }
  // What the material fixes, whatever measures it.
  const auto value = [&](std::string_view key, int channel) {
    for (const StatLine& line : got)
      if (line.key == key && line.channel == channel) return line.value;
    ADD_FAILURE() << key << " " << channel << " missing";
    return 0.0;
  };
  EXPECT_EQ(value("InstantPeak", -1), 0.875);
  EXPECT_EQ(value("InstantPeakPos", -1), kPeakAt / double(kRate));
  EXPECT_EQ(value("InstantMin", 0), -0.875);
  if (channels == 2) {
    for (const char* key : {"InstantMax", "InstantMin", "Offset"}) EXPECT_EQ(value(key, 1), 0.125) << key;
    EXPECT_EQ(value("Variance", 1), 0.0);
  }
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereo, ConsoleStats, ::testing::Values(std::uint16_t{1}, std::uint16_t{2}));

// Only the first character of WEIGHTING counts; "0" is none, the letters
// A to D name curves (the refusals of anything else are in the console's
// table of refusals).
TEST_F(ConsoleEffect, StatsWeightingFirstCharacterChoosesTheWeighting) {
  Adopt(testing::RandomSamples(2 * 2000, 16, 0.5f), 2);
  for (const std::string line : {"stats", "stats 0", "stats 0dB", "stats \"\""}) {
    run_.out.str("");
    EXPECT_EQ(run_.session.Execute(line), Result::kDone) << line << run_.err.str();
    EXPECT_EQ(run_.out.str().rfind("InstantPeak ", 0), 0u) << line;
  }
  // Each letter, in either case, measures through its curve: only the RMS
  // lines change.
  const auto rms_line = [&](const std::string& line) {
    run_.out.str("");
    EXPECT_EQ(run_.session.Execute(line), Result::kDone) << line << run_.err.str();
    const std::string out = run_.out.str();
    const std::size_t at = out.find("\nRms ");
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at + 1) - at);
  };
  const std::string plain = rms_line("stats 0");
  for (const std::string letter : {"A", "B", "C", "D"}) {
    const std::string weighted = rms_line("stats " + letter);
    EXPECT_NE(weighted, plain) << letter;
    EXPECT_EQ(rms_line("stats " + std::string(1, static_cast<char>(std::tolower(letter[0])))), weighted);
  }
}

// The program reads the settings, installs the effects and runs a command
// file: Volume on a 16-bit file saved as float equals the samples times
// the factor; a refused value ends the run with status 1 and no file.
TEST(ConsoleEffectProgram, CommandFileRunsEffectsAndStats) {
  const std::string dir = testing::MakeTempDir("console_effect_program");
  testing::WriteWholeFile(dir + "/in.wav", testing::Pcm16Wave(2, 22050, 5000, 17));
  const auto write_script = [&](const std::string& name, const std::string& text) {
    testing::WriteWholeFile(dir + "/" + name, std::vector<std::uint8_t>(text.begin(), text.end()));
  };
  write_script("good.txt", "select 1000f 4000f\neffect volume gain=-6.5\nstats\nsaveas " + dir +
                               "/out.wav WaveFloat\n");
  std::string output;
  ASSERT_EQ(testing::Run(std::string(TIDEMARK_EDIT_PROGRAM) + " " + dir + "/in.wav < " + dir + "/good.txt",
                         &output),
            0)
      << output;
  EXPECT_NE(output.find("\nShortRmsPeakPos "), std::string::npos) << output;
  const std::vector<float> in = testing::FileSamples(dir + "/in.wav");
  const std::vector<float> out = testing::FileSamples(dir + "/out.wav");
  ASSERT_EQ(in.size(), out.size());
  const float factor = static_cast<float>(std::pow(10.0, -6.5 / 20.0));
  for (std::size_t i = 0; i < in.size(); ++i) {
    const std::size_t frame = i / 2;
    const float want = frame >= 1000 && frame < 4000 ? in[i] * factor : in[i];
    ASSERT_NEAR(out[i], want, 1e-6 * std::fabs(want)) << i;
  }

  write_script("bad.txt", "select all\neffect volume gain=14\nsaveas " + dir + "/never.wav\n");
  EXPECT_EQ(testing::Run(std::string(TIDEMARK_EDIT_PROGRAM) + " " + dir + "/in.wav < " + dir + "/bad.txt",
                         &output),
            1);
  EXPECT_NE(output.find("gain=14"), std::string::npos) << output;
  EXPECT_FALSE(testing::FileExists(dir + "/never.wav"));
}

}  // namespace
}  // namespace tidemark
