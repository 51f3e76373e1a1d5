// Time reverse against the selection reversed here: inside longer
// documents across several blocks, whatever the channel mask, twice as the
// identity.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "core/undo/undo_history.h"
#include "tests/effects/level/level_fixture.h"

namespace tidemark {
namespace {

class TimeReverseTest : public testing::LevelEffectTest {};

// `x` with the frames of [from, to) in reverse order.
std::vector<float> Reversed(std::vector<float> x, std::uint16_t channels, std::uint32_t from, std::uint32_t to) {
  for (std::uint32_t i = from, j = to; i + 1 < j; ++i) {
    --j;
    for (std::uint16_t c = 0; c < channels; ++c)
      std::swap(x[std::size_t{i} * channels + c], x[std::size_t{j} * channels + c]);
  }
  return x;
}

struct ReverseCase {
  const char* what;
  std::uint16_t channels;
  std::uint32_t frames;
  std::uint32_t from, to;
  std::uint32_t mask;
};

class TimeReverse : public testing::LevelEffectTest, public ::testing::WithParamInterface<ReverseCase> {};

TEST_P(TimeReverse, ReversesTheSelectionOnly) {
  const ReverseCase& p = GetParam();
  const std::vector<float> x = testing::RandomSamples(std::size_t{p.frames} * p.channels, p.frames, 0.5f);
  Open(x, p.channels);
  testing::Select(*doc_, p.from, p.to);
  SetChannelMask(*doc_, p.mask);
  ASSERT_EQ(EntryNamed("TimeReverse").Execute(doc_.get()), err::kOk);
  EXPECT_EQ(doc_->length, p.frames);
  EXPECT_EQ(testing::ReadAll(*doc_), Reversed(x, p.channels, p.from, p.to));
  EXPECT_GT(WorkFiles(), 0u) << "the result lives in working files";
  EXPECT_EQ(editor().selection_from(), p.from);
  EXPECT_EQ(editor().selection_to(), p.to);
  ASSERT_EQ(doc_->history.size(), 1u);
  std::string name;
  ASSERT_EQ(doc_->history.at(0).GetName(&name), err::kOk);
  EXPECT_EQ(name, EntryNamed("TimeReverse").GetDisplayName());
  ASSERT_EQ(Undo(*doc_), err::kOk);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeReverse,
    ::testing::Values(
        // 100000 stereo frames: three whole blocks of 32768 and a part.
        ReverseCase{"stereo_inside", 2, 120000, 7, 100007, 3},
        ReverseCase{"stereo_left_selected", 2, 120000, 19999, 119999, 1},
        ReverseCase{"stereo_one_block", 2, 40000, 0, 32768, 3},
        ReverseCase{"stereo_two_frames", 2, 10, 4, 6, 2},
        ReverseCase{"stereo_one_frame", 2, 10, 4, 5, 3},
        // 138999 mono frames: two whole blocks of 65536 and a part.
        ReverseCase{"mono_inside", 1, 150000, 1000, 139999, 1},
        ReverseCase{"mono_to_the_end", 1, 70000, 3, 70000, 1}),
    [](const auto& param_info) { return std::string(param_info.param.what); });

TEST_F(TimeReverseTest, TimeReverseTwiceRestoresEveryBit) {
  const std::vector<float> x = testing::RandomSamples(2 * 90001, 77, 1.0f);
  Open(x, 2);
  testing::Select(*doc_, 1, 90000);
  ASSERT_EQ(EntryNamed("TimeReverse").Execute(doc_.get()), err::kOk);
  ASSERT_NE(testing::ReadAll(*doc_), x);
  ASSERT_EQ(EntryNamed("TimeReverse").Execute(doc_.get()), err::kOk);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
  EXPECT_EQ(doc_->history.size(), 2u);
}

}  // namespace
}  // namespace tidemark
