// Helpers of the block-run effect tests: running an entry over a document
// with a wanted block, and driving a run in differently split blocks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "effects/framework/effect_entry.h"
#include "effects/framework/settings_dialog.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark::testing {

// Executes `entry` on the document's selection with `block` as the
// dialog's result (none: the dialog accepts what it is shown; entries
// without a dialog ignore it).
inline Error ExecuteWithBlock(CEffEntry& entry, SoundDocument& document,
                              std::optional<SettingsBlock> block = std::nullopt) {
  StubDialog dialog(std::move(block));
  ScopedSettingsDialog installed(&dialog);
  return entry.Execute(&document);
}

// Executes `entry` with `stored` as its last-used block and a dialog that
// accepts what it is shown: the block is loaded as a preset is (clamped).
inline Error ExecuteWithLastUsed(CEffEntry& entry, SoundDocument& document, SettingsBlock stored) {
  entry.GetSettingsStore().Set(std::move(stored));
  StubDialog dialog;
  ScopedSettingsDialog installed(&dialog);
  return entry.Execute(&document);
}

// Params set up quietly from `stored` (loaded and clamped as a preset is)
// and a run made from them, for `document`'s selection.
struct PreparedRun {
  CEffEntry::SetupParamsPtr params;
  EffRunPtr run;
};
inline PreparedRun Prepare(CEffEntry& entry, SoundDocument& document, SettingsBlock stored = {}) {
  PreparedRun prepared;
  auto& std_entry = dynamic_cast<CEffEntry_Std&>(entry);
  EXPECT_EQ(entry.CreateSetupParams(&document, 0, &prepared.params), 0u);
  if (!prepared.params) return prepared;
  EXPECT_EQ(std_entry.SetupQuiet(nullptr, *prepared.params, stored), 0u);
  EXPECT_EQ(std_entry.CreateRun(nullptr, *prepared.params, &prepared.run), 0u);
  return prepared;
}

// Feeds `input` through `run` in blocks of the given frame counts.
inline std::vector<float> ProcessInBlocks(CEffRun& run, std::vector<float> input, std::uint16_t channels,
                                          std::uint32_t mask, const std::vector<std::uint32_t>& blocks) {
  std::size_t at = 0;
  for (std::uint32_t frames : blocks) {
    EXPECT_EQ(run.Process(input.data() + at * channels, frames, channels, mask), 0u);
    at += frames;
  }
  EXPECT_EQ(at * channels, input.size());
  return input;
}

// Drives fresh runs from `make` three ways over the same input (one block,
// one frame at a time, seeded random splits) and expects identical output;
// answers the one-block output.
inline std::vector<float> ExpectSameOutputThreeWays(const std::function<EffRunPtr()>& make,
                                                    std::uint16_t channels, std::uint32_t mask,
                                                    std::uint32_t frames = 6000) {
  const std::vector<float> input = RandomSamples(std::size_t{frames} * channels, 99);
  EffRunPtr whole = make(), single = make(), split = make();
  const auto one = ProcessInBlocks(*whole, input, channels, mask, {frames});
  const auto by_frame =
      ProcessInBlocks(*single, input, channels, mask, std::vector<std::uint32_t>(frames, 1));
  std::mt19937 gen(7);
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t left = frames; left > 0;) {
    const std::uint32_t n = std::min(left, std::uniform_int_distribution<std::uint32_t>(0, 900)(gen));
    sizes.push_back(n);  // empty blocks included
    left -= n;
  }
  const auto random = ProcessInBlocks(*split, input, channels, mask, sizes);
  EXPECT_EQ(one, by_frame);
  EXPECT_EQ(one, random);
  EXPECT_NE(one, input) << "the run changed nothing, so the comparison proves nothing";
  return one;
}

}  // namespace tidemark::testing
