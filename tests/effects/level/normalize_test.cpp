// Normalize against levels computed here in plain double precision: each
// mode with and without its clip guard, the selected channels only, the
// silent selection.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "core/undo/undo_history.h"
#include "tests/effects/level/level_fixture.h"

namespace tidemark {
namespace {

using testing::StubDialog;

constexpr std::uint32_t kRate = 8000;  // the window is one second: 8000 frames

// The levels of [from, to) of the channels of `mask`, straight from their
// definitions.
struct Levels {
  double peak = 0;
  double rms = 0;
  double short_rms_peak = 0;
};

Levels Reference(const std::vector<float>& x, std::uint16_t channels, std::uint32_t mask, std::uint32_t from,
                 std::uint32_t to, std::uint32_t window) {
  Levels l;
  double squares = 0;
  std::vector<double> power(to - from, 0.0);
  int used = 0;
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (!(mask & (1u << c))) continue;
    ++used;
    for (std::uint32_t i = from; i < to; ++i) {
      const double v = x[std::size_t{i} * channels + c];
      l.peak = std::max(l.peak, std::fabs(v));
      squares += v * v;
      power[i - from] += v * v;
    }
  }
  const double n = double(to - from) * used;
  l.rms = std::sqrt(squares / (n < 2 ? n : n - 1));
  // Windows ending at every frame, the selection preceded by silence, from
  // prefix sums.
  std::vector<long double> prefix(power.size() + 1, 0.0L);
  for (std::size_t k = 0; k < power.size(); ++k) prefix[k + 1] = prefix[k] + power[k];
  long double best = 0;
  for (std::size_t end = 1; end <= power.size(); ++end)
    best = std::max(best, prefix[end] - prefix[end > window ? end - window : 0]);
  l.short_rms_peak = std::sqrt(double(best) / (double(window) * used));
  return l;
}

class NormalizeTest : public testing::LevelEffectTest {
 protected:
  Error Run(std::vector<std::pair<std::string, double>> values) {
    StubDialog dialog;
    dialog.values = std::move(values);
    ScopedSettingsDialog installed(&dialog);
    return EntryNamed("Normalize").Execute(doc_.get());
  }
};

TEST_F(NormalizeTest, PeakOfHalfToZeroDecibelsDoublesEverySample) {
  std::vector<float> x = testing::RandomSamples(2 * 3000, 11, 0.4f);
  x[2 * 1700 + 1] = -0.5f;
  Open(x, 2, kRate);
  ASSERT_EQ(Run({{"mode", 0}, {"peak", 0}}), err::kOk);
  std::vector<float> want = x;
  for (float& v : want) v *= 2.0f;
  EXPECT_EQ(testing::ReadAll(*doc_), want);
  ASSERT_EQ(doc_->history.size(), 1u);
  std::string name;
  ASSERT_EQ(doc_->history.at(0).GetName(&name), err::kOk);
  EXPECT_EQ(name, EntryNamed("Normalize").GetDisplayName());
  ASSERT_EQ(Undo(*doc_), err::kOk);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
}

struct ModeCase {
  const char* what;
  std::int16_t mode;
  std::int16_t target;  // 0.01 dB, in the mode's own target field
  bool guard;
  bool guard_bites;  // the target takes the peak past 0.9999
};

class NormalizeModes : public NormalizeTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(NormalizeModes, FactorIsTargetOverLevel) {
  const ModeCase& p = GetParam();
  // A stereo sound with a loud stretch, selected in its middle; only the
  // left channel is selected, so the right one neither counts nor changes.
  constexpr std::uint32_t kFrames = 30000, kFrom = 2000, kTo = 27000;
  std::vector<float> x = testing::RandomSamples(2 * kFrames, 21, 0.3f);
  for (std::uint32_t i = 9000; i < 12000; ++i) x[2 * i] *= 2.5f;
  x[2 * 20000 + 1] = 0.99f;
  Open(x, 2, kRate);
  testing::Select(*doc_, kFrom, kTo);
  SetChannelMask(*doc_, 1);
  const char* target_field = p.mode == 0 ? "peak" : p.mode == 1 ? "shortrms" : "rms";
  ASSERT_EQ(Run({{"mode", p.mode},
                 {target_field, p.target},
                 {"shortguard", p.guard ? 1 : 0},
                 {"rmsguard", p.guard ? 1 : 0}}),
            err::kOk);

  const Levels l = Reference(x, 2, 1, kFrom, kTo, kRate);
  const double level = p.mode == 0 ? l.peak : p.mode == 1 ? l.short_rms_peak : l.rms;
  double factor = std::pow(10.0, p.target / 2000.0) / level;
  EXPECT_EQ(l.peak * factor > 0.9999, p.guard_bites) << "the case does not test what it says";
  if (p.guard && p.mode != 0 && l.peak * factor > 0.9999) factor = 0.9999 / l.peak;

  const std::vector<float> out = testing::ReadAll(*doc_);
  double peak_after = 0;
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    const bool inside = i >= kFrom && i < kTo;
    const double want = inside ? x[2 * i] * factor : x[2 * i];
    ASSERT_NEAR(out[2 * i], want, 2e-6 * std::max(1.0, std::fabs(want))) << "frame " << i;
    ASSERT_EQ(out[2 * i + 1], x[2 * i + 1]) << "frame " << i;
    if (inside) peak_after = std::max(peak_after, std::fabs(double(out[2 * i])));
  }
  if (p.guard && p.guard_bites && p.mode != 0) {
    EXPECT_NEAR(peak_after, 0.9999, 1e-6);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeModes,
                         ::testing::Values(ModeCase{"peak", 0, -600, true, false},
                                           ModeCase{"peak_guard_ignored", 0, 0, true, true},
                                           ModeCase{"short_rms", 1, -1500, false, false},
                                           ModeCase{"short_rms_unguarded", 1, -100, false, true},
                                           ModeCase{"short_rms_guarded", 1, -100, true, true},
                                           ModeCase{"rms", 2, -1500, true, false},
                                           ModeCase{"rms_unguarded", 2, 0, false, true},
                                           ModeCase{"rms_guarded", 2, 0, true, true}),
                         [](const auto& param_info) { return std::string(param_info.param.what); });

struct SilentCase {
  float peak;
  bool notice;
};

class NormalizeSilence : public NormalizeTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(NormalizeSilence, PeakAtMostOneHundredThousandthChangesNothing) {
  std::vector<float> x(2 * 5000, 0.0f);
  x[2 * 100] = GetParam().peak;
  x[2 * 4000 + 1] = -GetParam().peak;
  Open(x, 2, kRate);
  const Error rc = Run({{"mode", 2}});
  if (GetParam().notice) {
    EXPECT_EQ(rc, err::kNoSelection);
    EXPECT_EQ(testing::ReadAll(*doc_), x);
    EXPECT_EQ(doc_->history.size(), 0u);
  } else {
    EXPECT_EQ(rc, err::kOk);
    EXPECT_EQ(doc_->history.size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeSilence,
                         ::testing::Values(SilentCase{0.0f, true}, SilentCase{1e-5f, true},
                                           SilentCase{1.2e-5f, false}));

TEST_F(NormalizeTest, WhatTheDialogWritesIsClampedToo) {
  Open(testing::RandomSamples(2 * 1000, 12, 0.5f), 2, kRate);
  ASSERT_EQ(Run({{"mode", 7}, {"rms", 900}, {"rmsguard", 0}}), err::kOk);
  const SettingsLayout& layout = *EntryNamed("Normalize").GetSettingsLayout();
  const SettingsBlock& kept = EntryNamed("Normalize").GetSettingsBlock();
  EXPECT_EQ(GetField(*FindField(layout, "mode"), kept.bytes), 2);
  EXPECT_EQ(GetField(*FindField(layout, "rms"), kept.bytes), 0);
}

}  // namespace
}  // namespace tidemark
