// The block-run worker against a plain reference: latency compensation fed
// from after the selection (silence past the end), unselected channels
// restored (whatever the worker's blocks), the errors of thread start and a
// full disk, the editor messages, the undo step and the "Time taken" line.
// Cancel at every block and memory after the conversion are in
// executors_test.cpp.
#include "effects/framework/block_run_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "core/sources/file_source.h"
#include "core/sources/source_list.h"
#include "effects/framework/effect_run.h"
#include "platform/fault_injection.h"
#include "platform/headless_main_frame.h"
#include "tests/effects/framework/framework_test_util.h"

namespace tidemark {
namespace {

using testing::DocumentState;
using testing::ExpectUnchanged;
using testing::FramesOf;
using testing::LatencyReference;
using testing::LatencyRun;
using testing::RandomSamples;
using testing::StateOf;
using testing::TestDisplay;


using BlockRunWorkerTest = testing::FrameworkTest;

// --- what the run is fed and what is kept ---

struct AlignCase {
  const char* name;
  std::uint32_t start, length, latency;
  std::uint16_t mask;
};

constexpr std::uint32_t kDocFrames = 100000;

class LatencyAlignmentTest : public BlockRunWorkerTest, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(LatencyAlignmentTest, OutputIsTheRunsFramesFromTheLatencyOnAndOtherChannelsStay) {
  const AlignCase& c = GetParam();
  const std::vector<float> original = RandomSamples(std::size_t{kDocFrames} * 2, 11);
  DocumentPtr doc = testing::MakeFloatDocument(original, 2);
  LatencyRun run(c.latency, 2);
  CEffEntry::SetupParams params;
  testing::FillCommon(params, *doc, c.start, c.length, c.mask);
  ProgressScope scope(nullptr);
  ASSERT_EQ(ProcessBlockRun(scope, params, run), 0u);

  // Fed: the selection and then `latency` frames after it, silence past the end.
  const std::vector<float> fed = FramesOf(original, 2, c.start, std::size_t{c.length} + c.latency);
  ASSERT_EQ(run.fed.size(), fed.size());
  EXPECT_EQ(FramesOf(run.fed, 2, c.length, c.latency), FramesOf(original, 2, c.start + c.length, c.latency))
      << "the last frames fed are not those after the selection";
  EXPECT_EQ(run.fed, fed);

  const std::vector<float> kept = FramesOf(LatencyReference(fed, 2, c.latency), 2, c.latency, c.length);
  const std::vector<float> result = testing::ReadAll(*doc);
  ASSERT_EQ(doc->length, kDocFrames);
  for (std::size_t f = 0; f < kDocFrames; ++f)
    for (std::size_t ch = 0; ch < 2; ++ch) {
      const std::size_t i = f * 2 + ch;
      const bool inside = f >= c.start && f < std::size_t{c.start} + c.length;
      const float want = inside && (c.mask >> ch & 1) ? kept[(f - c.start) * 2 + ch] : original[i];
      ASSERT_EQ(result[i], want) << "frame " << f << " channel " << ch;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LatencyAlignmentTest,
                         ::testing::Values(AlignCase{"NoLatency", 1000, 50000, 0, 3},
                                           AlignCase{"OneFrame", 1000, 50000, 1, 3},
                                           AlignCase{"InsideABlock", 1000, 50000, 777, 3},
                                           AlignCase{"LongerThanABlock", 1000, 50000, 40000, 3},
                                           AlignCase{"SelectionToTheEnd", 60000, 40000, 1000, 3},
                                           AlignCase{"PartlyPastTheEnd", 90000, 5000, 8000, 3},
                                           AlignCase{"LeftOnly", 1000, 70000, 1500, 1},
                                           AlignCase{"RightOnlyPastTheEnd", 95000, 5000, 9000, 2}),
                         [](const auto& p) { return std::string(p.param.name); });

// One page-aligned work buffer for the whole run; the output in float
// working files whatever the document's own sample code.
TEST_F(BlockRunWorkerTest, OneAlignedWorkBufferAndFloatWorkingFiles) {
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(200000, 13), 2);
  doc->code = sample_code::kS16;
  LatencyRun run(1000, 2);
  CEffEntry::SetupParams params;
  testing::FillCommon(params, *doc, 0, 90000, 1);
  ProgressScope scope(nullptr);
  ASSERT_EQ(ProcessBlockRun(scope, params, run), 0u);
  EXPECT_EQ(run.fed.size(), std::size_t{91000} * 2);
  ASSERT_EQ(run.buffers.size(), 1u);
  EXPECT_TRUE(testing::PageAligned(run.buffers[0]));
  const Segment* s = doc->segments.first();
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(IsFileSource(s->source.get()));
  EXPECT_TRUE(OwnsFile(s->source.get()));
  EXPECT_EQ(static_cast<const FileSource*>(s->source.get())->code(), sample_code::kFloat);
}

// --- mono made stereo ---

TEST_F(BlockRunWorkerTest, MonoMadeStereoDoublesTheRestAndUndoFits) {
  constexpr std::uint32_t kFrames = 50000, kStart = 5000, kLength = 30000, kLatency = 300;
  const std::vector<float> mono = RandomSamples(kFrames, 14);
  DocumentPtr doc = testing::MakeFloatDocument(mono, 1);
  const std::size_t steps = doc->history.size();
  LatencyRun run(kLatency, 2);
  CEffEntry::SetupParams params;
  testing::FillCommon(params, *doc, kStart, kLength, 3, 2);
  ProgressScope scope(nullptr);
  ASSERT_EQ(ProcessBlockRun(scope, params, run), 0u);

  std::vector<float> doubled;
  for (const float x : mono) doubled.insert(doubled.end(), {x, x});
  const std::vector<float> fed = FramesOf(doubled, 2, kStart, kLength + kLatency);
  EXPECT_EQ(run.fed, fed);
  std::vector<float> want = doubled;
  const std::vector<float> kept = FramesOf(LatencyReference(fed, 2, kLatency), 2, kLatency, kLength);
  std::copy(kept.begin(), kept.end(), want.begin() + std::ptrdiff_t{kStart} * 2);
  EXPECT_EQ(doc->channels, 2);
  EXPECT_EQ(testing::ReadAll(*doc), want);
  EXPECT_EQ(EditorOf(*doc).channels(), 2);
  EXPECT_EQ(GetChannelMask(*doc), 3u);
  for (const ReceivedMessage& m : EditorOf(*doc).log())
    EXPECT_NE(m.msg, effect_msg::kChannelsProcessed) << "sent for a mono document";

  ASSERT_EQ(doc->history.size(), steps + 1);
  ASSERT_EQ(Undo(*doc), 0u);
  EXPECT_EQ(testing::ReadAll(*doc), doubled);
}

// --- errors ---

struct ErrorCase {
  const char* name;
  std::uint16_t channels, output_channels, mask;
};

class WorkerErrorTest : public BlockRunWorkerTest, public ::testing::WithParamInterface<ErrorCase> {
 protected:
  Error Run(SoundDocument& doc) {
    LatencyRun run(500, GetParam().output_channels);
    CEffEntry::SetupParams params;
    testing::FillCommon(params, doc, 2000, 60000, GetParam().mask, GetParam().output_channels);
    ProgressScope scope(nullptr);
    return ProcessBlockRun(scope, params, run);
  }
};

TEST_P(WorkerErrorTest, NoThreadGives39AndChangesNothing) {
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(std::size_t{70000} * GetParam().channels, 17),
                                               GetParam().channels);
  const DocumentState before = StateOf(*doc);
  const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kThreadStart, 1, EAGAIN));
  EXPECT_EQ(Run(*doc), err::kThreadCreate);
  EXPECT_TRUE(fault.fired());
  ExpectUnchanged(before, *doc, "no thread");
}

TEST_P(WorkerErrorTest, FullDiskAtEveryWriteChangesNothing) {
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(std::size_t{70000} * GetParam().channels, 18),
                                               GetParam().channels);
  const DocumentState before = StateOf(*doc);
  const std::uint64_t faults = fault::ForEachFaultPoint(fault::kWrite, ENOSPC, [&](const fault::ScopedFault& f) {
    const Error rc = Run(*doc);
    if (!f.fired()) {
      EXPECT_EQ(rc, 0u);
      return;
    }
    EXPECT_NE(rc, 0u) << "write " << f.rule().nth;
    ExpectUnchanged(before, *doc, "write " + std::to_string(f.rule().nth) + " failed");
  });
  EXPECT_GT(faults, 0u);
  EXPECT_EQ(doc->history.size(), before.history_size + 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkerErrorTest,
                         ::testing::Values(ErrorCase{"StereoLeftOnly", 2, 2, 1}, ErrorCase{"MonoMadeStereo", 1, 2, 3}),
                         [](const auto& p) { return std::string(p.param.name); });

// --- through Execute: messages, the undo step ---

struct MessageCase {
  const char* name;
  std::uint16_t channels;
  std::uint32_t mask;
  bool channels_processed_sent;
};

class ExecuteMessagesTest : public BlockRunWorkerTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(ExecuteMessagesTest, ProcessedMaskSelectionAndOneNamedUndoStep) {
  const MessageCase& c = GetParam();
  const std::vector<float> original = RandomSamples(std::size_t{20000} * c.channels, 19);
  DocumentPtr doc = testing::MakeFloatDocument(original, c.channels);
  testing::Select(*doc, 3000, 9000);
  SetChannelMask(*doc, c.mask);
  EditorOf(*doc).ClearLog();
  testing::TestEntry entry(312);
  entry.latency = 64;
  entry.run_name = "Echo of a test";
  testing::StubDialog dialog;
  ScopedSettingsDialog installed(&dialog);
  const std::size_t steps = doc->history.size();
  ASSERT_EQ(entry.Execute(doc.get()), 0u);
  EXPECT_EQ(dialog.shown, 1);

  const auto& log = EditorOf(*doc).log();
  const ReceivedMessage processed{effect_msg::kChannelsProcessed, c.mask, 0};
  EXPECT_EQ(std::count(log.begin(), log.end(), processed), c.channels_processed_sent ? 1 : 0);
  const ReceivedMessage select{editor_msg::kSetSelection, 3000, 9000};
  EXPECT_NE(std::find(log.begin(), log.end(), select), log.end()) << "the processed range was not selected";
  EXPECT_EQ(EditorOf(*doc).selection_from(), 3000u);
  EXPECT_EQ(EditorOf(*doc).selection_to(), 9000u);

  ASSERT_EQ(doc->history.size(), steps + 1);
  std::string name;
  ASSERT_EQ(doc->history.undo_record()->GetName(&name), 0u);
  EXPECT_EQ(name, "Echo of a test");
  EXPECT_NE(testing::ReadAll(*doc), original);
  ASSERT_EQ(Undo(*doc), 0u);
  EXPECT_EQ(testing::ReadAll(*doc), original);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExecuteMessagesTest,
                         ::testing::Values(MessageCase{"StereoBoth", 2, 3, true},
                                           MessageCase{"StereoRight", 2, 2, true},
                                           MessageCase{"Mono", 1, 1, false}),
                         [](const auto& p) { return std::string(p.param.name); });

// --- the progress window and the time taken ---

struct TimeCase {
  const char* name;
  bool with_display;
  std::chrono::milliseconds show_delay;
  bool cancel;
  bool status_shown;
};

// "Time taken: S.s sec." with one decimal.
bool IsTimeTaken(const std::string& text) {
  const std::string head = "Time taken: ", tail = " sec.";
  if (text.size() < head.size() + 3 + tail.size() || text.compare(0, head.size(), head) != 0 ||
      text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  const std::string number = text.substr(head.size(), text.size() - head.size() - tail.size());
  const std::size_t dot = number.find('.');
  const auto digits = [](const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
  };
  return dot != std::string::npos && digits(number.substr(0, dot)) && number.size() - dot == 2 &&
         digits(number.substr(dot + 1));
}

class TimeTakenTest : public BlockRunWorkerTest, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(TimeTakenTest, StatusLineOnlyWhenTheProgressBecameVisible) {
  const TimeCase& c = GetParam();
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(std::size_t{100000} * 2, 20), 2);
  TestDisplay display(c.cancel ? 2 : -1);
  LatencyRun run(0, 2, "Slow enough");
  CEffEntry::SetupParams params;
  testing::FillCommon(params, *doc, 0, 100000, 3);
  {
    ProgressScope scope(c.with_display ? &display : nullptr);
    scope.set_show_delay(c.show_delay);
    EXPECT_EQ(ProcessBlockRun(scope, params, run), c.cancel ? err::kCancelled : Error());
    EXPECT_EQ(scope.became_visible(), c.with_display && c.show_delay.count() == 0);
  }
  EXPECT_EQ(IsTimeTaken(frame_.status_text()), c.status_shown) << frame_.status_text();
  if (c.status_shown || (c.with_display && c.show_delay.count() == 0)) {
    EXPECT_EQ(display.shows, 1);
    EXPECT_EQ(display.caption, "Slow enough...");
    EXPECT_EQ(display.hides, 1);
    EXPECT_FALSE(display.percents.empty());
    EXPECT_TRUE(std::is_sorted(display.percents.begin(), display.percents.end()));
    EXPECT_EQ(std::adjacent_find(display.percents.begin(), display.percents.end()), display.percents.end())
        << "a percent was delivered twice";
  } else {
    EXPECT_EQ(display.shows, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeTakenTest,
    ::testing::Values(TimeCase{"Visible", true, std::chrono::milliseconds(0), false, true},
                      TimeCase{"NeverVisible", true, std::chrono::hours(1), false, false},
                      TimeCase{"NoDisplay", false, std::chrono::milliseconds(0), false, false},
                      TimeCase{"VisibleButCancelled", true, std::chrono::milliseconds(0), true, false}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace tidemark
