// Shared pieces of the console's effect tests: a block-run entry of the
// test's own that can stand in any row of the registry (so that channel
// support, dialogs, progress and cancel can be driven before the real
// effects exist), a session fixture, and reading the console's output back.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/console_effect_commands.h"
#include "effects/framework/effect_registry.h"
#include "effects/framework/effect_entry.h"
#include "effects/framework/settings_block.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "tests/app/console_test_util.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::testing {

// Scales the masked channels by `factor`, waiting `pause` after each block.
class ScaleRun final : public CEffRun {
 public:
  ScaleRun(float factor, std::chrono::milliseconds pause) : factor_(factor), pause_(pause) {}
  Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) override {
    for (std::uint32_t f = 0; f < frames; ++f)
      for (std::uint16_t c = 0; c < channels; ++c)
        if (mask & (1u << c)) buffer[std::size_t{f} * channels + c] *= factor_;
    if (pause_.count() > 0) std::this_thread::sleep_for(pause_);
    return err::kOk;
  }
  void Reset() override {}
  std::string GetName() const override { return "Scale"; }

 private:
  float factor_;
  std::chrono::milliseconds pause_;
};

inline constexpr std::string_view kTestModeWords[] = {"plain", "fancy"};

// The test entry's block (8 bytes): +0 i16 amount 0..200 %, default 50;
// +2 u8 mode (plain, fancy); +3 u8 flag "loud"; +4 f32 level -1..1.
inline constexpr std::array<SettingsField, 4> kTestFields{{
    {.name = "amount", .type = FieldType::kI16, .offset = 0, .min = 0, .max = 200, .def = 50, .unit = kUnitPercent},
    {.name = "mode", .type = FieldType::kU8, .offset = 2, .min = 0, .max = 1, .def = 0, .words = kTestModeWords},
    {.name = "loud", .type = FieldType::kU8, .offset = 3, .min = 0, .max = 1, .def = 0, .flag = true},
    {.name = "level", .type = FieldType::kF32, .offset = 4, .min = -1, .max = 1, .def = 0.25},
}};
inline constexpr SettingsLayout kTestLayout{8, kTestFields};

// A block-run entry in the row of `command`: it scales by amount / 100.
// With `to_stereo` a mono selection comes out as stereo (both channels).
class TestEntry final : public CEffEntry_Std, public CEffChain_Std {
 public:
  struct Params : SetupParams {
    float factor = 1.0f;
  };

  explicit TestEntry(std::uint32_t command, bool with_layout = true, bool to_stereo = false)
      : CEffEntry(command), with_layout_(with_layout), to_stereo_(to_stereo) {}

  const SettingsLayout* GetSettingsLayout() const override { return with_layout_ ? &kTestLayout : nullptr; }
  Error CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) override {
    std::unique_ptr<ScaleRun> made;
    if (MakeNew(&made, static_cast<Params&>(params).factor, pause)) return err::kOutOfMemory;
    *run = std::move(made);
    return err::kOk;
  }

  std::chrono::milliseconds pause{0};  // after every block

 protected:
  Error NewSetupParams(SetupParamsPtr* params) override {
    std::unique_ptr<Params> made;
    if (MakeNew(&made)) return err::kOutOfMemory;
    *params = std::move(made);
    return err::kOk;
  }
  Error FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) override {
    static_cast<Params&>(params).factor =
        with_layout_ ? static_cast<float>(GetField(kTestFields[0], block.bytes) / 100.0) : 0.5f;
    if (to_stereo_ && params.input_channels == 1) {
      params.output_channels = 2;
      params.channel_mask = 3;
    }
    return err::kOk;
  }

 private:
  bool with_layout_;
  bool to_stereo_;
};

// The lines of a text.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The value after "current " on the line of field `name` that help effect
// printed; none when there is no such line.
inline std::optional<std::string> CurrentValue(const std::string& help, std::string_view name) {
  const std::string head = "  " + std::string(name) + "  offset ";
  for (const std::string& line : Lines(help)) {
    if (line.rfind(head, 0) != 0) continue;
    const std::size_t at = line.rfind("  current ");
    if (at == std::string::npos) return std::nullopt;
    return line.substr(at + 10);
  }
  return std::nullopt;
}

// A session whose effects start without a last-used block.
class ConsoleEffect : public ::testing::Test {
 protected:
  void SetUp() override {
    for (CEffEntry* entry : EffectRegistry::Entries())
      if (entry) entry->GetSettingsStore().Clear();
  }

  // A document of the test's samples, made active, everything selected.
  SoundDocument& Adopt(const std::vector<float>& samples, std::uint16_t channels, std::uint32_t rate = 44100) {
    run_.session.Adopt(MakeFloatDocument(samples, channels, rate));
    SoundDocument& doc = *run_.session.active();
    SelectAll(doc);
    return doc;
  }
  console::Result Execute(const std::string& line) { return run_.session.Execute(line); }
  std::string Out() { return std::exchange(run_.out, std::ostringstream()).str(); }
  std::string Err() { return std::exchange(run_.err, std::ostringstream()).str(); }
  // Runs `line`, which must be done without a message on standard error.
  std::string Done(const std::string& line) {
    EXPECT_EQ(Execute(line), console::Result::kDone) << line << ": " << run_.err.str();
    EXPECT_EQ(Err(), "") << line;
    return Out();
  }

  ConsoleRun run_;
};

}  // namespace tidemark::testing
