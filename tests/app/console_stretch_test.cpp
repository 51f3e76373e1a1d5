// The console's stretch and pitch-speed commands and the pitch effects
// through the effect command: lengths, one undo step each, and every
// malformed form refused with nothing changed.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/undo/undo_history.h"
#include "tests/app/console_effect_test_util.h"
#include "tests/dsp/stretch/tone_frequency.h"

namespace tidemark::testing {
namespace {

using console::Result;

TEST_F(ConsoleEffect, StretchAndPitchSpeedSetTheLengthInOneUndoStep) {
  const struct {
    std::string line;
    std::uint32_t frames;  // from 44100
    std::uint16_t channels;
  } kCases[] = {
      {"stretch 2", 22050, 2},
      {"stretch 0.5 smooth", 88200, 2},
      {"pitch-speed 1.5 1 music", 44100, 2},
      {"pitch-speed 1 0.8", 55125, 2},
      {"effect PitchChange pitch=1200", 22050, 2},
      {"effect pitchchange block=B0FB", 88200, 2},  // -1104 cents
      {"effect VoicePitch pitch=300 keep-length=on", 44100, 2},
      {"effect Doppler speed=100 mode=pitch", 44100, 2},
      {"effect Doppler speed=-30", 44100, 2},
  };
  for (const auto& c : kCases) {
    SoundDocument& doc = Adopt(Tone(1000, 44100, 44100, 2), 2);
    Done(c.line);
    const std::uint32_t want = c.line.find("B0FB") != std::string::npos
                                   ? static_cast<std::uint32_t>(std::floor(44100 / std::exp2(-1104 / 1200.0) + 0.5))
                                   : c.frames;
    EXPECT_EQ(doc.length, want) << c.line;
    EXPECT_EQ(doc.channels, c.channels) << c.line;
    Done("undo");
    EXPECT_EQ(doc.length, 44100u) << c.line;
    EXPECT_FALSE(CanUndo(doc)) << c.line;
  }
}

TEST_F(ConsoleEffect, MalformedSpeedFormsChangeNothing) {
  const char* const kLines[] = {
      "stretch",          "stretch 0.09",       "stretch 10.5",      "stretch fast",      "stretch 2 smoothly",
      "stretch 2 smooth x", "pitch-speed 1",    "pitch-speed 0.4 1", "pitch-speed 1 2.5", "pitch-speed 1 1 musik",
      "pitch-speed x 1",  "pitch-speed 1 1 music x", "effect PitchChange pitch=1251", "effect VoicePitch formant=14",
      "effect Doppler mode=fast", "effect Doppler speed=121", "effect Doppler distance=0.5",
  };
  for (const char* line : kLines) {
    SoundDocument& doc = Adopt(Tone(1000, 44100, 4410, 1), 1);
    EXPECT_EQ(Execute(line), Result::kFailed) << line;
    EXPECT_NE(Err(), "") << line;
    EXPECT_EQ(doc.length, 4410u) << line;
    EXPECT_FALSE(CanUndo(doc)) << line;
  }
  SoundDocument& doc = Adopt(Tone(1000, 44100, 4410, 1), 1);
  Select(doc, 0, 0);
  Execute("stretch 2");
  EXPECT_NE(Out().find(UiText(text::kConsoleNothingSelected)), std::string::npos);
  EXPECT_EQ(doc.length, 4410u);
}

}  // namespace
}  // namespace tidemark::testing
