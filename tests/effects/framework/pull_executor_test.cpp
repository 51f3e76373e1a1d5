// The pull executor with a stub pull run that doubles the length and can
// make mono stereo, before any real pull effect exists: the new length, the
// channel-mask rule, unprocessed channels restored, one undo step that undo
// takes back, the length limit and misbehaving runs. Cancel, failures after
// the conversion and Execute's outcomes are in executors_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/error_codes.h"
#include "effects/framework/block_run_worker.h"
#include "platform/headless_main_frame.h"
#include "tests/effects/framework/framework_test_util.h"

namespace tidemark {
namespace {

using testing::DocumentState;
using testing::ExpectUnchanged;
using testing::RandomSamples;
using testing::StateOf;
using testing::DoublingPullRun;
using testing::kGains;

struct PullCase {
  const char* name;
  std::uint16_t channels;      // the document's
  std::uint32_t editor_mask;   // the selected channels
  std::uint16_t out_channels;  // the run's
  std::uint32_t effective_mask;  // what the rule makes of it
};

constexpr std::uint32_t kFrames = 60000, kStart = 7000, kLength = 40000;

using PullExecutorTest = testing::FrameworkTest;

class PullCaseTest : public PullExecutorTest, public ::testing::WithParamInterface<PullCase> {
 protected:
  // The document as the run sees it: `channels` per frame, mono doubled.
  static std::vector<float> AsChannels(const std::vector<float>& samples, std::uint16_t from, std::uint16_t to) {
    if (from == to) return samples;
    std::vector<float> out;
    for (const float x : samples) out.insert(out.end(), {x, x});
    return out;
  }
};

TEST_P(PullCaseTest, LengthMaskRestoreAndOneUndoStep) {
  const PullCase& c = GetParam();
  const std::vector<float> original = RandomSamples(std::size_t{kFrames} * c.channels, 30);
  DocumentPtr doc = testing::MakeFloatDocument(original, c.channels);
  SetChannelMask(*doc, c.editor_mask);
  EditorOf(*doc).ClearLog();
  const std::size_t steps = doc->history.size();
  DoublingPullRun run(kStart, kLength, c.channels, c.out_channels);
  CEffEntry::SetupParams params;
  testing::FillCommon(params, *doc, kStart, kLength, static_cast<std::uint16_t>(GetChannelMask(*doc)));
  ProgressScope scope(nullptr);
  ASSERT_EQ(ProcessPullRun(scope, params, run), 0u);

  // The reference: before, the doubled stretch, after; an unprocessed
  // channel keeps the document's frame at the same place, silence beyond
  // the stretch the run consumed.
  const std::uint16_t oc = c.out_channels;
  const std::vector<float> seen = AsChannels(original, c.channels, oc);
  std::vector<float> want(seen.begin(), seen.begin() + std::ptrdiff_t{kStart} * oc);
  for (std::uint32_t j = 0; j < 2 * kLength; ++j)
    for (std::uint16_t ch = 0; ch < oc; ++ch) {
      const std::size_t source_frame = kStart + j / 2;
      if (c.effective_mask >> ch & 1)
        want.push_back(kGains[ch] * seen[source_frame * oc + ch]);
      else
        want.push_back(j < kLength ? seen[(std::size_t{kStart} + j) * oc + ch] : 0.0f);
    }
  want.insert(want.end(), seen.begin() + std::ptrdiff_t{kStart + kLength} * oc, seen.end());

  EXPECT_GE(run.pulls, 2) << "one block only";
  ASSERT_EQ(run.buffers.size(), 1u);
  EXPECT_TRUE(testing::PageAligned(run.buffers[0]));
  EXPECT_EQ(doc->channels, oc);
  EXPECT_EQ(doc->length, kFrames + kLength);
  EXPECT_EQ(testing::ReadAll(*doc), want);

  const auto& log = EditorOf(*doc).log();
  const auto processed = std::count_if(log.begin(), log.end(), [](const ReceivedMessage& m) {
    return m.msg == effect_msg::kChannelsProcessed;
  });
  const ReceivedMessage told{effect_msg::kChannelsProcessed, c.effective_mask, 0};
  EXPECT_EQ(processed, c.channels == 2 ? 1 : 0);
  if (c.channels == 2) {
    EXPECT_NE(std::find(log.begin(), log.end(), told), log.end());
  }

  ASSERT_EQ(doc->history.size(), steps + 1);
  std::string name;
  ASSERT_EQ(doc->history.undo_record()->GetName(&name), 0u);
  EXPECT_EQ(name, "Doubling");
  ASSERT_EQ(Undo(*doc), 0u);
  EXPECT_EQ(doc->length, kFrames);
  EXPECT_EQ(testing::ReadAll(*doc), seen);
  ASSERT_EQ(Redo(*doc), 0u);
  EXPECT_EQ(testing::ReadAll(*doc), want);
}

INSTANTIATE_TEST_SUITE_P(Cases, PullCaseTest,
                         ::testing::Values(PullCase{"MonoToMono", 1, 1, 1, 1},
                                           PullCase{"MonoMadeStereo", 1, 1, 2, 3},
                                           PullCase{"StereoBoth", 2, 3, 2, 3},
                                           PullCase{"StereoLeftOnly", 2, 1, 2, 1},
                                           PullCase{"StereoRightOnly", 2, 2, 2, 2}),
                         [](const auto& p) { return std::string(p.param.name); });

// The result would pass the length limit: refused with 77 before anything
// runs. The document is one gap, so it costs nothing to be that long.
TEST_F(PullExecutorTest, OutputPastTheLengthLimitGives77) {
  DocumentPtr doc(testing::MakeDocument(SegmentList(), kMaxFrames - 10, 1));
  const std::vector<std::string> files = testing::WorkFiles();
  DoublingPullRun run(0, 100, 1, 2);
  CEffEntry::SetupParams params;
  testing::FillCommon(params, *doc, 0, 100, 1);
  ProgressScope scope(nullptr);
  EXPECT_EQ(ProcessPullRun(scope, params, run), err::kSizeLimit);
  EXPECT_EQ(run.pulls, 0);
  EXPECT_EQ(doc->length, kMaxFrames - 10);
  EXPECT_EQ(doc->channels, 1);
  EXPECT_TRUE(doc->segments.empty());
  EXPECT_TRUE(doc->history.empty());
  EXPECT_EQ(testing::WorkFiles(), files);
}

struct MisbehaviourCase {
  const char* name;
  std::uint32_t promised_extra;   // frames promised beyond 2 x length
  std::uint32_t delivered_short;  // frames held back of 2 x length
  bool overdeliver;
};

class PullMisbehaviourTest : public PullExecutorTest, public ::testing::WithParamInterface<MisbehaviourCase> {};

TEST_P(PullMisbehaviourTest, RefusedWith77AndNothingChanges) {
  const MisbehaviourCase& c = GetParam();
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(kFrames, 32), 1);
  const DocumentState before = StateOf(*doc);
  DoublingPullRun run(kStart, kLength, 1, 2);
  run.promised += c.promised_extra;
  run.delivered_limit -= c.delivered_short;
  run.overdeliver = c.overdeliver;
  CEffEntry::SetupParams params;
  testing::FillCommon(params, *doc, kStart, kLength, 1);
  ProgressScope scope(nullptr);
  EXPECT_EQ(ProcessPullRun(scope, params, run), err::kSizeLimit);
  ExpectUnchanged(before, *doc, c.name);
  // Frames beyond those asked for lie beyond the work buffer: the first
  // such answer ends the run.
  if (c.overdeliver) {
    EXPECT_EQ(run.pulls, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PullMisbehaviourTest,
                         ::testing::Values(MisbehaviourCase{"PromisesMore", 5, 0, false},
                                           MisbehaviourCase{"DeliversLess", 0, 1000, false},
                                           MisbehaviourCase{"DeliversMoreThanAsked", 0, 0, true}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark
