// The console's format commands: `format` converts rate, channels and sample
// code in one undo step, `rate` only relabels; every malformed form is
// refused with a message and changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/undo/undo_history.h"
#include "dsp/resample/resample.h"
#include "tests/app/console_effect_test_util.h"
#include "tests/app/console_test_util.h"

namespace tidemark::testing {
namespace {

using console::Result;

std::vector<float> Tone(std::uint32_t frames, std::uint16_t channels, double rate, double frequency) {
  std::vector<float> x(std::size_t{frames} * channels);
  for (std::size_t j = 0; j < frames; ++j)
    for (std::uint16_t c = 0; c < channels; ++c)
      x[j * channels + c] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * frequency * double(j) / rate + c));
  return x;
}

struct FormatRow {
  const char* line;
  std::uint32_t rate;
  std::uint16_t channels;
  SampleCode code;
};

TEST_F(ConsoleEffect, FormatConvertsInOneUndoStep) {
  const FormatRow rows[] = {
      {"format 48000", 48000, 2, sample_code::kS16},
      {"format 1", 44100, 1, sample_code::kS16},
      {"format 1 right", 44100, 1, sample_code::kS16},
      {"format Wave24", 44100, 2, sample_code::kS24},
      {"format WaveFloat 1 22050", 22050, 1, sample_code::kFloat},
  };
  const std::vector<float> input = Tone(4410, 2, 44100, 1000.0);
  for (const FormatRow& row : rows) {
    SoundDocument& doc = Adopt(input, 2, 44100);
    doc.code = sample_code::kS16;
    Done(row.line);
    EXPECT_EQ(doc.rate, row.rate) << row.line;
    EXPECT_EQ(doc.channels, row.channels) << row.line;
    EXPECT_EQ(doc.code, row.code) << row.line;
    EXPECT_EQ(doc.length, dsp::ConvertedLength(4410, row.rate, 44100)) << row.line;
    if (std::string(row.line) == "format 1 right") {
      const std::vector<float> now = ReadAll(doc);
      for (std::size_t j = 0; j < 4410; ++j) ASSERT_EQ(now[j], input[2 * j + 1]) << j;
    }
    Done("undo");
    EXPECT_EQ(doc.rate, 44100u) << row.line;
    EXPECT_EQ(ReadAll(doc), input) << row.line;
    EXPECT_FALSE(CanUndo(doc)) << row.line;
  }
}

TEST_F(ConsoleEffect, RateOnlyRelabels) {
  const std::vector<float> input = Tone(1000, 1, 44100, 1000.0);
  SoundDocument& doc = Adopt(input, 1, 44100);
  Done("rate 22050");
  EXPECT_EQ(doc.rate, 22050u);
  EXPECT_EQ(ReadAll(doc), input);
}

TEST_F(ConsoleEffect, MalformedFormatFormsChangeNothing) {
  const char* const malformed[] = {
      "format",        "format 3999",        "format 384001",       "format 0",
      "format 3",      "format 48000 44100", "format 1 2",          "format Bogus",
      "format left right", "format -5",      "format 48000 1 Wave16 mix left",
      "format Wave16 Wave24", "rate",        "rate abc",            "rate 100",
      "rate 48000 1",
  };
  const std::vector<float> input = Tone(1000, 2, 44100, 1000.0);
  for (const char* line : malformed) {
    SoundDocument& doc = Adopt(input, 2, 44100);
    EXPECT_EQ(Execute(line), Result::kFailed) << line;
    EXPECT_FALSE(Err().empty()) << line;
    EXPECT_EQ(doc.rate, 44100u) << line;
    EXPECT_EQ(doc.channels, 2u) << line;
    EXPECT_EQ(ReadAll(doc), input) << line;
    EXPECT_FALSE(CanUndo(doc)) << line;
  }
}

TEST_F(ConsoleEffect, CancelledFormatLeavesTheDocument) {
  const std::vector<float> input = Tone(44100, 2, 44100, 1000.0);
  SoundDocument& doc = Adopt(input, 2, 44100);
  console::ProgressHooks hooks;
  hooks.step = [](std::uint64_t, std::uint64_t) { return false; };
  run_.session.set_progress(hooks);
  EXPECT_EQ(Execute("format 48000"), Result::kFailed);
  EXPECT_EQ(doc.rate, 44100u);
  EXPECT_EQ(ReadAll(doc), input);
  EXPECT_FALSE(CanUndo(doc));
}

}  // namespace
}  // namespace tidemark::testing
