// What the block-run worker and the pull executor share, through one table
// each: cancel at every block, memory failing after a mono document was
// made stereo, and Execute's early outcomes for the entries around them.
#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "effects/framework/block_run_worker.h"
#include "tests/effects/framework/framework_test_util.h"

namespace tidemark {
namespace {

using testing::DocumentState;
using testing::ExpectUnchanged;
using testing::RandomSamples;
using testing::StateOf;

using ExecutorTest = testing::FrameworkTest;

struct ExecutorCase {
  const char* name;
  bool pull;  // the pull executor with a doubling run; else the worker with a latency run
  std::uint16_t channels, output_channels;
  std::uint32_t frames, start, length, latency;
};

// The output frames the executor writes, in blocks of stereo frames.
int BlocksOf(const ExecutorCase& c) {
  const std::uint32_t frames = c.pull ? 2 * c.length : c.length + c.latency;
  return static_cast<int>((frames + EffectBlockFrames(2) - 1) / EffectBlockFrames(2));
}

Error RunExecutor(const ExecutorCase& c, SoundDocument& doc, ProgressScope& scope) {
  CEffEntry::SetupParams params;
  testing::FillCommon(params, doc, c.start, c.length, c.output_channels == 2 ? 3 : 1, c.output_channels);
  if (c.pull) {
    testing::DoublingPullRun run(c.start, c.length, c.channels, c.output_channels);
    return ProcessPullRun(scope, params, run);
  }
  testing::LatencyRun run(c.latency, c.output_channels);
  return ProcessBlockRun(scope, params, run);
}

class CancelEveryBlockTest : public ExecutorTest, public ::testing::WithParamInterface<ExecutorCase> {};

TEST_P(CancelEveryBlockTest, CancelAtAnyBlockOrAfterTheLastChangesNothing) {
  const ExecutorCase& c = GetParam();
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(std::size_t{c.frames} * c.channels, 16), c.channels);
  const DocumentState before = StateOf(*doc);
  const int blocks = BlocksOf(c);
  // The executor asks after each block, RunWorker once more after it.
  for (int k = 0; k <= blocks + 1; ++k) {
    testing::TestDisplay display(k);
    ProgressScope scope(&display);
    const Error rc = RunExecutor(c, *doc, scope);
    if (k <= blocks) {
      EXPECT_EQ(rc, err::kCancelled) << "cancel after " << k << " questions";
      EXPECT_EQ(display.asked.load(), k + 1) << k;
      ExpectUnchanged(before, *doc, "cancelled after " + std::to_string(k));
    } else {
      EXPECT_EQ(rc, 0u);
      EXPECT_EQ(display.asked.load(), blocks + 1);
      EXPECT_EQ(doc->history.size(), before.history_size + 1);
      EXPECT_EQ(doc->channels, c.output_channels);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CancelEveryBlockTest,
                         ::testing::Values(ExecutorCase{"Stereo", false, 2, 2, 100000, 0, 100000, 0},
                                           ExecutorCase{"StereoWithLatency", false, 2, 2, 70000, 0, 70000, 30000},
                                           ExecutorCase{"MonoMadeStereo", false, 1, 2, 70000, 0, 70000, 0},
                                           ExecutorCase{"PullMonoMadeStereo", true, 1, 2, 60000, 7000, 40000, 0}),
                         [](const auto& p) { return std::string(p.param.name); });

// The conversion is in place when ReplaceRange fails for want of memory:
// the document must be mono again, exactly as before, and so its editor.
class FailureAfterConversionTest : public ExecutorTest, public ::testing::WithParamInterface<ExecutorCase> {};

TEST_P(FailureAfterConversionTest, LeavesTheMonoDocument) {
  const ExecutorCase& c = GetParam();
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(c.frames, 15), 1);
  auto editor = std::make_unique<testing::FailAfterConversionEditor>(*doc);
  testing::FailAfterConversionEditor* seen = editor.get();
  doc->editor = std::move(editor);
  const DocumentState before = StateOf(*doc);
  ProgressScope scope(nullptr);
  EXPECT_EQ(RunExecutor(c, *doc, scope), err::kOutOfMemory);
  testing::FailNthAllocation(0);
  EXPECT_TRUE(seen->armed);
  ExpectUnchanged(before, *doc, "after the failed edit");
  EXPECT_EQ(seen->channels(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, FailureAfterConversionTest,
                         ::testing::Values(ExecutorCase{"Block", false, 1, 2, 20000, 1000, 5000, 10},
                                           ExecutorCase{"Pull", true, 1, 2, 60000, 7000, 40000, 0}),
                         [](const auto& p) { return std::string(p.param.name); });

// --- Execute ---

enum class EntryUnder { kBlockWithDialog, kBlockWithoutDialog, kPull };

struct ExecuteCase {
  const char* name;
  EntryUnder entry;
  bool select;
  bool dialog;  // one is installed
  Error dialog_result;
  Error expected;
};

class ExecuteOutcomeTest : public ExecutorTest, public ::testing::WithParamInterface<ExecuteCase> {};

TEST_P(ExecuteOutcomeTest, NothingRunsUnlessSelectedAndAccepted) {
  const ExecuteCase& c = GetParam();
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(2000, 2), 1);
  testing::Select(*doc, c.select ? 100 : 500, 500);
  EditorOf(*doc).ClearLog();
  const DocumentState before = StateOf(*doc);
  testing::TestEntry block_entry(c.entry == EntryUnder::kBlockWithDialog ? 312 : 319);  // 319 has no dialog
  testing::TestPullEntry pull_entry;
  CEffEntry& entry = c.entry == EntryUnder::kPull ? static_cast<CEffEntry&>(pull_entry) : block_entry;
  testing::StubDialog dialog(c.dialog_result);
  ScopedSettingsDialog installed(c.dialog ? &dialog : nullptr);
  EXPECT_EQ(entry.Execute(doc.get()), c.expected);
  EXPECT_EQ(dialog.shown, c.select && c.dialog && entry.HasSetupDialog() ? 1 : 0);
  if (c.entry != EntryUnder::kPull) {
    EXPECT_EQ(block_entry.last_run != nullptr, c.expected == 0u);
  }
  if (c.expected == 0u) {
    EXPECT_EQ(doc->history.size(), before.history_size + 1);
    if (c.entry == EntryUnder::kPull) {
      EXPECT_EQ(doc->channels, 2);
      EXPECT_EQ(doc->length, 2000u + 400u);
    }
    return;
  }
  ExpectUnchanged(before, *doc, c.name);
  if (!c.select) {
    for (const ReceivedMessage& m : EditorOf(*doc).log()) EXPECT_EQ(m.msg, editor_msg::kGetSelection) << "told something";
  }
}

constexpr Error kDialogCancelled{4};

INSTANTIATE_TEST_SUITE_P(
    Cases, ExecuteOutcomeTest,
    ::testing::Values(
        ExecuteCase{"NoSelection", EntryUnder::kBlockWithDialog, false, true, Error(), err::kNoSelection},
        ExecuteCase{"DialogCancelled", EntryUnder::kBlockWithDialog, true, true, kDialogCancelled, kDialogCancelled},
        ExecuteCase{"NoDialogToShow", EntryUnder::kBlockWithDialog, true, false, Error(), err::kWindowCreate},
        ExecuteCase{"Accepted", EntryUnder::kBlockWithDialog, true, true, Error(), Error()},
        ExecuteCase{"NoDialogNeeded", EntryUnder::kBlockWithoutDialog, true, false, Error(), Error()},
        ExecuteCase{"PullRuns", EntryUnder::kPull, true, true, Error(), Error()},
        ExecuteCase{"PullNoSelection", EntryUnder::kPull, false, true, Error(), err::kNoSelection},
        ExecuteCase{"PullDialogCancelled", EntryUnder::kPull, true, true, kDialogCancelled, kDialogCancelled},
        ExecuteCase{"PullNoDialog", EntryUnder::kPull, true, false, Error(), err::kWindowCreate}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark
