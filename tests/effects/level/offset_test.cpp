// Offset in both modes against means computed here in double precision;
// channels outside the mask keep their samples.
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

class OffsetTest : public testing::LevelEffectTest {
 protected:
  Error Run(std::int16_t mode, float value = 0.0f) {
    StubDialog dialog;
    dialog.values = {{"mode", mode}, {"value", value}};
    ScopedSettingsDialog installed(&dialog);
    return EntryNamed("Offset").Execute(doc_.get());
  }
};

struct OffsetCase {
  const char* what;
  std::int16_t mode;
  float value;
  std::uint32_t mask;  // selected channels
};

class OffsetModes : public OffsetTest, public ::testing::WithParamInterface<OffsetCase> {};

TEST_P(OffsetModes, SelectedChannelsMoveAndTheOthersStay) {
  const OffsetCase& p = GetParam();
  constexpr std::uint32_t kFrames = 80000, kFrom = 1500, kTo = 77000;  // three stereo blocks
  std::vector<float> x = testing::RandomSamples(2 * kFrames, 31, 0.4f);
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    x[2 * i] += 0.1f;
    x[2 * i + 1] -= 0.03f;
  }
  Open(x, 2);
  testing::Select(*doc_, kFrom, kTo);
  SetChannelMask(*doc_, p.mask);
  ASSERT_EQ(Run(p.mode, p.value), err::kOk);

  double offset[2] = {p.value, p.value};
  if (p.mode == 0) {
    for (int c = 0; c < 2; ++c) {
      double sum = 0;
      for (std::uint32_t i = kFrom; i < kTo; ++i) sum += x[2 * i + c];
      offset[c] = -sum / (kTo - kFrom);
    }
  }
  const std::vector<float> out = testing::ReadAll(*doc_);
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    for (int c = 0; c < 2; ++c) {
      const std::size_t k = 2 * std::size_t{i} + c;
      if (i >= kFrom && i < kTo && (p.mask & (1u << c)))
        ASSERT_NEAR(out[k], x[k] + offset[c], 1e-6) << "frame " << i << " channel " << c;
      else
        ASSERT_EQ(out[k], x[k]) << "frame " << i << " channel " << c;
    }
  }
  ASSERT_EQ(doc_->history.size(), 1u);
  std::string name;
  ASSERT_EQ(doc_->history.at(0).GetName(&name), err::kOk);
  EXPECT_EQ(name, EntryNamed("Offset").GetDisplayName());
  ASSERT_EQ(Undo(*doc_), err::kOk);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
}

INSTANTIATE_TEST_SUITE_P(Cases, OffsetModes,
                         ::testing::Values(OffsetCase{"measure_both", 0, 0.5f, 3},
                                           OffsetCase{"measure_left", 0, 0.0f, 1},
                                           OffsetCase{"measure_right", 0, 0.0f, 2},
                                           OffsetCase{"fixed_both", 1, 0.125f, 3},
                                           OffsetCase{"fixed_right", 1, -0.75f, 2}),
                         [](const auto& param_info) { return std::string(param_info.param.what); });

}  // namespace
}  // namespace tidemark
