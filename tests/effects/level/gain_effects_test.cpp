// What the entries with their own Execute share beyond their formulas:
// applied twice the reversals are the identity; an empty selection, a
// silent one and a cancel change nothing; what the dialog writes is clamped.
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

class TwiceIsTheIdentity : public testing::LevelEffectTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TwiceIsTheIdentity, EveryBitComesBack) {
  std::vector<float> x = testing::RandomSamples(2 * 90001, 42, 1.0f);
  x[5] = -1.0f;
  x[6] = 1e-30f;  // tiny values keep their bits too
  Open(x, 2);
  testing::Select(*doc_, 1, 90000);
  ASSERT_EQ(EntryNamed(GetParam()).Execute(doc_.get()), err::kOk);
  ASSERT_NE(testing::ReadAll(*doc_), x);
  ASSERT_EQ(EntryNamed(GetParam()).Execute(doc_.get()), err::kOk);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
  EXPECT_EQ(doc_->history.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Entries, TwiceIsTheIdentity, ::testing::Values("SignReverse", "TimeReverse"));

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

// A selection whose peak is at most 1e-5 is silent to Normalize: the
// no-selection notice, nothing changed.
TEST_F(GainEffectTest, NormalizeLeavesASilentSelection) {
  for (const auto& [peak, silent] : {std::pair{0.0f, true}, {1e-5f, true}, {1.2e-5f, false}}) {
    std::vector<float> x(2 * 5000, 0.0f);
    x[2 * 100] = peak;
    x[2 * 4000 + 1] = -peak;
    Open(x, 2, 8000);
    testing::StubDialog dialog;
    dialog.values = {{"mode", 2}};
    ScopedSettingsDialog installed(&dialog);
    EXPECT_EQ(EntryNamed("Normalize").Execute(doc_.get()), silent ? err::kNoSelection : err::kOk) << peak;
    EXPECT_EQ(doc_->history.size(), silent ? 0u : 1u) << peak;
    EXPECT_EQ(testing::ReadAll(*doc_) == x, silent) << peak;
  }
}

TEST_F(GainEffectTest, WhatNormalizesDialogWritesIsClampedToo) {
  Open(testing::RandomSamples(2 * 1000, 12, 0.5f), 2, 8000);
  testing::StubDialog dialog;
  dialog.values = {{"mode", 7}, {"rms", 900}, {"rmsguard", 0}};
  ScopedSettingsDialog installed(&dialog);
  ASSERT_EQ(EntryNamed("Normalize").Execute(doc_.get()), err::kOk);
  const SettingsLayout& layout = *EntryNamed("Normalize").GetSettingsLayout();
  const SettingsBlock& kept = EntryNamed("Normalize").GetSettingsBlock();
  EXPECT_EQ(GetField(*FindField(layout, "mode"), kept.bytes), 2);
  EXPECT_EQ(GetField(*FindField(layout, "rms"), kept.bytes), 0);
}

}  // namespace
}  // namespace tidemark
