// Region selection between markers, every wrap case, and copying markers
// from another document.
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/core_text.h"
#include "core/markers/marker_list.h"
#include "core/markers/marker_regions.h"
#include "platform/headless_editor_window.h"
#include "platform/headless_main_frame.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"
#include "tests/core/marker_test_util.h"

namespace tidemark {
namespace {

std::string FakeText(CoreText id) { return id == CoreText::kNoFurtherMarker ? "no further marker" : "other"; }

struct Outcome {
  std::uint32_t from, to;
  bool status;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "[" << o.from << ", " << o.to << ")" << (o.status ? " with status" : "");
}

class RegionTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCoreTextLookup(&FakeText); }
  void TearDown() override {
    SetMainFrame(nullptr);
    SetCoreTextLookup(nullptr);
  }

  void Make(std::uint32_t length, const std::vector<std::uint32_t>& positions) {
    doc_.reset(testing::MakeDocument(SegmentList(), length));
    ASSERT_TRUE(doc_);
    for (std::uint32_t p : positions) ASSERT_TRUE(InsertMarker(doc_->markers, NewMarker("", "", p)));
  }
  HeadlessEditorWindow& editor() { return *static_cast<HeadlessEditorWindow*>(doc_->editor.get()); }

  // Runs the command with the selection starting at `f` and reports the
  // new selection and whether the status line was shown. The editor must
  // have been told to show the new selection's start.
  Outcome Run(void (*command)(SoundDocument&), std::uint32_t f) {
    HeadlessMainFrame frame;
    SetMainFrame(&frame);
    doc_->editor->Send(editor_msg::kSetSelection, f, f + 1);
    editor().ClearLog();
    command(*doc_);
    SetMainFrame(nullptr);
    const Outcome o{editor().selection_from(), editor().selection_to(), !frame.status_text().empty()};
    if (o.status) {
      EXPECT_EQ(frame.status_text(), "no further marker");
    }
    bool shown = false;
    for (const ReceivedMessage& m : editor().log())
      shown = shown || (m.msg == editor_msg::kShowPosition && m.wparam == o.from);
    EXPECT_TRUE(shown) << "no show message for " << o;
    return o;
  }

  testing::DocumentPtr doc_;
};

TEST_F(RegionTest, NextRegionWalksForwardAndWrapsToTheStart) {
  Make(1000, {100, 300, 600});
  EXPECT_EQ(Run(SelectNextRegion, 0), (Outcome{100, 300, false}));
  EXPECT_EQ(Run(SelectNextRegion, 100), (Outcome{300, 600, false}));
  EXPECT_EQ(Run(SelectNextRegion, 299), (Outcome{300, 600, false}));
  EXPECT_EQ(Run(SelectNextRegion, 300), (Outcome{600, 1000, false}));  // the last runs to the end
  EXPECT_EQ(Run(SelectNextRegion, 600), (Outcome{0, 100, true}));
  EXPECT_EQ(Run(SelectNextRegion, 700), (Outcome{0, 100, true}));  // start after the last marker

  // A marker at the very end is no region start: wrap.
  Make(1000, {100, 1000});
  EXPECT_EQ(Run(SelectNextRegion, 100), (Outcome{0, 100, true}));
  EXPECT_EQ(Run(SelectNextRegion, 50), (Outcome{100, 1000, false}));

  // With the first marker at 0 the wrap selects up to the first marker
  // that is not at 0, without the status line.
  Make(1000, {0, 0, 400});
  EXPECT_EQ(Run(SelectNextRegion, 400), (Outcome{0, 400, false}));
  EXPECT_EQ(Run(SelectNextRegion, 0), (Outcome{400, 1000, false}));
  Make(1000, {0});
  EXPECT_EQ(Run(SelectNextRegion, 0), (Outcome{0, 1000, false}));
}

TEST_F(RegionTest, PreviousRegionWalksBackAndWrapsToTheEnd) {
  Make(1000, {100, 300, 600});
  EXPECT_EQ(Run(SelectPreviousRegion, 700), (Outcome{600, 1000, false}));
  EXPECT_EQ(Run(SelectPreviousRegion, 600), (Outcome{300, 600, false}));
  EXPECT_EQ(Run(SelectPreviousRegion, 301), (Outcome{300, 600, false}));
  EXPECT_EQ(Run(SelectPreviousRegion, 300), (Outcome{100, 300, false}));
  EXPECT_EQ(Run(SelectPreviousRegion, 100), (Outcome{0, 100, true}));
  EXPECT_EQ(Run(SelectPreviousRegion, 50), (Outcome{0, 100, true}));
  EXPECT_EQ(Run(SelectPreviousRegion, 0), (Outcome{600, 1000, false}));  // wraps to the end

  // Only markers at the end: from 0 the whole document, with the status line.
  Make(1000, {1000});
  EXPECT_EQ(Run(SelectPreviousRegion, 0), (Outcome{0, 1000, true}));
  Make(1000, {500, 1000});
  EXPECT_EQ(Run(SelectPreviousRegion, 0), (Outcome{500, 1000, false}));
}

TEST_F(RegionTest, NothingHappensWithoutMarkersAndNoFrameIsNeeded) {
  Make(1000, {});
  doc_->editor->Send(editor_msg::kSetSelection, 10, 20);
  editor().ClearLog();
  SelectNextRegion(*doc_);
  SelectPreviousRegion(*doc_);
  for (const ReceivedMessage& m : editor().log()) {
    EXPECT_NE(m.msg, editor_msg::kSetSelection);
    EXPECT_NE(m.msg, editor_msg::kShowPosition);
  }
  EXPECT_EQ(editor().selection_from(), 10u);

  Make(1000, {100});
  SetMainFrame(nullptr);
  SelectNextRegion(*doc_);  // wraps with a status line but no frame to show it
  EXPECT_EQ(editor().selection_from(), 100u);
  SelectNextRegion(*doc_);
  EXPECT_EQ(editor().selection_from(), 0u);
  EXPECT_EQ(editor().selection_to(), 100u);
}

using Entry = testing::MarkerEntry;
constexpr auto Entries = testing::MarkerEntries;
TEST(CopyMarkersTest, ScaledShiftedAndLimitedToTheTarget) {
  testing::DocumentPtr source(testing::MakeDocument(SegmentList(), 10 * 44100, 2, 44100));
  testing::DocumentPtr target(testing::MakeDocument(SegmentList(), 200000, 2, 48000));
  ASSERT_TRUE(source && target);
  for (auto [p, n, c] : {std::tuple{44100u, "a", ""}, std::tuple{88200u, "b", "note"},
                         std::tuple{4 * 44100u, "late", ""}, std::tuple{5 * 44100u, "late", ""},
                         std::tuple{0u, "zero", ""}})
    ASSERT_TRUE(InsertMarker(source->markers, NewMarker(n, c, p)));
  const std::vector<Entry> source_before = Entries(source->markers);
  target->editor->Send(editor_msg::kSetSelection, 10000, 20000);

  ASSERT_EQ(CopyMarkersFromDocument(*target, *source), 0u);
  // 1 s and 2 s at 48 kHz from frame 10000 on; 4 s and 5 s would lie past
  // the end (200000), so both land on it and the second, now equal, goes.
  EXPECT_EQ(Entries(target->markers), (std::vector<Entry>{{10000, "zero", ""},
                                                          {58000, "a", ""},
                                                          {106000, "b", "note"},
                                                          {200000, "late", ""}}));
  EXPECT_EQ(Entries(source->markers), source_before);
  for (const Marker* t = target->markers.first(); t; t = t->next)
    for (const Marker* s = source->markers.first(); s; s = s->next) EXPECT_NE(t, s);
  EXPECT_EQ(target->marker_change_counter, 1u);

  // Into itself, at the same rate: the copies go behind the selection start.
  source->editor->Send(editor_msg::kSetSelection, 44100, 44100);
  ASSERT_EQ(CopyMarkersFromDocument(*source, *source), 0u);
  EXPECT_EQ(source->markers.size(), 10u);
  std::uint32_t last = 0;
  for (const Marker* m = source->markers.first(); m; m = m->next) {
    EXPECT_GE(m->position, last);
    EXPECT_LE(m->position, source->length);
    last = m->position;
  }

  // No markers to copy: nothing is added.
  testing::DocumentPtr empty(testing::MakeDocument(SegmentList(), 1000, 2, 8000));
  ASSERT_EQ(CopyMarkersFromDocument(*target, *empty), 0u);
  EXPECT_EQ(target->markers.size(), 4u);
  EXPECT_EQ(target->marker_change_counter, 1u);
}

}  // namespace
}  // namespace tidemark
