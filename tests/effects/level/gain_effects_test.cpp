// Silence and Sign reverse (fixed range gains, no dialog), and what every
// entry with its own Execute answers for an empty selection and a cancel.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "core/undo/undo_history.h"
#include "tests/effects/level/level_fixture.h"

namespace tidemark {
namespace {

class GainEffectTest : public testing::LevelEffectTest {};

struct GainCase {
  const char* key;
  float factor;  // what a selected sample is multiplied by
  std::uint16_t channels;
  std::uint32_t mask;
};

class FixedGainEffects : public testing::LevelEffectTest, public ::testing::WithParamInterface<GainCase> {};

TEST_P(FixedGainEffects, SelectedStretchOfSelectedChannelsOnly) {
  const GainCase& p = GetParam();
  constexpr std::uint32_t kFrames = 5000, kFrom = 700, kTo = 4100;
  const std::vector<float> x = testing::RandomSamples(std::size_t{kFrames} * p.channels, 41, 0.5f);
  Open(x, p.channels);
  testing::Select(*doc_, kFrom, kTo);
  SetChannelMask(*doc_, p.mask);
  {
    // Neither effect asks a dialog: one that refuses would stop them.
    testing::StubDialog refusing;
    refusing.result = Error{4};
    ScopedSettingsDialog installed(&refusing);
    ASSERT_EQ(EntryNamed(p.key).Execute(doc_.get()), err::kOk);
    EXPECT_EQ(refusing.shown, 0);
  }
  const std::vector<float> out = testing::ReadAll(*doc_);
  for (std::uint32_t i = 0; i < kFrames; ++i)
    for (std::uint16_t c = 0; c < p.channels; ++c) {
      const std::size_t k = std::size_t{i} * p.channels + c;
      const bool hit = i >= kFrom && i < kTo && (p.mask & (1u << c));
      ASSERT_EQ(out[k], hit ? x[k] * p.factor : x[k]) << "frame " << i << " channel " << c;
    }
  ASSERT_EQ(doc_->history.size(), 1u);
  std::string name;
  ASSERT_EQ(doc_->history.at(0).GetName(&name), err::kOk);
  EXPECT_EQ(name, EntryNamed(p.key).GetDisplayName());
  ASSERT_EQ(Undo(*doc_), err::kOk);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
}

INSTANTIATE_TEST_SUITE_P(Cases, FixedGainEffects,
                         ::testing::Values(GainCase{"Silence", 0.0f, 1, 1}, GainCase{"Silence", 0.0f, 2, 3},
                                           GainCase{"Silence", 0.0f, 2, 2}, GainCase{"SignReverse", -1.0f, 1, 1},
                                           GainCase{"SignReverse", -1.0f, 2, 3},
                                           GainCase{"SignReverse", -1.0f, 2, 1}));

TEST_F(GainEffectTest, SignReverseTwiceRestoresEveryBit) {
  std::vector<float> x = testing::RandomSamples(2 * 70000, 42, 1.0f);
  x[5] = -1.0f;
  x[6] = 1e-30f;  // tiny values keep their bits too
  Open(x, 2);
  ASSERT_EQ(EntryNamed("SignReverse").Execute(doc_.get()), err::kOk);
  ASSERT_EQ(EntryNamed("SignReverse").Execute(doc_.get()), err::kOk);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
  EXPECT_EQ(doc_->history.size(), 2u);
}

class EmptySelection : public testing::LevelEffectTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EmptySelection, GivesTheSilentNoticeAndChangesNothing) {
  const std::vector<float> x = testing::RandomSamples(2 * 1000, 43, 0.5f);
  Open(x, 2);
  testing::Select(*doc_, 400, 400);
  testing::StubDialog dialog;
  ScopedSettingsDialog installed(&dialog);
  EXPECT_EQ(EntryNamed(GetParam()).Execute(doc_.get()), err::kNoSelection);
  EXPECT_EQ(dialog.shown, 0);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
  EXPECT_EQ(doc_->history.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Entries, EmptySelection,
                         ::testing::Values("Normalize", "Offset", "Silence", "SignReverse", "TimeReverse"));

// A cancel while the entry scans or writes (four stereo blocks; the display
// cancels at its (k+1)-th question) leaves the document, its history and no
// working file.
TEST_F(GainEffectTest, CancelLeavesTheDocument) {
  const struct {
    const char* key;
    std::vector<std::pair<std::string, double>> values;
    int cancel_after;
  } cases[] = {
      {"Offset", {{"mode", 0}}, 1},  {"Normalize", {{"mode", 2}}, 0}, {"TimeReverse", {}, 0},
      {"TimeReverse", {}, 1},        {"TimeReverse", {}, 3},          {"TimeReverse", {}, 4},  // after its files
  };
  const std::vector<float> x = testing::RandomSamples(2 * 100000, 8, 0.5f);
  for (const auto& c : cases) {
    Open(x, 2, 8000);
    testing::StubDialog dialog;
    dialog.values = c.values;
    ScopedSettingsDialog installed(&dialog);
    testing::TestDisplay display(c.cancel_after);
    SetProgressDisplay(&display);
    EXPECT_EQ(EntryNamed(c.key).Execute(doc_.get()), err::kCancelled) << c.key;
    EXPECT_EQ(display.asked.load(), c.cancel_after + 1) << c.key << " went on after the cancel";
    EXPECT_EQ(testing::ReadAll(*doc_), x) << c.key;
    EXPECT_EQ(doc_->history.size(), 0u) << c.key;
    EXPECT_EQ(WorkFiles(), 0u) << c.key;
    SetProgressDisplay(nullptr);
  }
}

}  // namespace
}  // namespace tidemark
