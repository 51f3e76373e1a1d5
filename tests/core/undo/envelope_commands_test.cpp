// The envelope commands: where points go and with what level, what is
// refused, what the editor window and frame hear, and exact undo and redo.
#include "core/undo/envelope_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"
#include "platform/headless_editor_window.h"
#include "platform/headless_main_frame.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"

namespace tidemark {
namespace {

constexpr std::uint32_t kLength = 1000;

using Point = testing::PointNode;
constexpr auto PointsOf = testing::PointNodes;

class EnvelopeCommandsTest : public testing::DocumentWithFrameTest<kLength> {
 protected:  // The redraws and shown positions since the last call.
  std::vector<ReceivedMessage> Told() {
    std::vector<ReceivedMessage> v;
    for (const ReceivedMessage& m : editor().log())
      if (m.msg == editor_msg::kRedraw || m.msg == editor_msg::kShowPosition || m.msg == editor_msg::kMarkerChanged)
        v.push_back(m);
    editor().ClearLog();
    return v;
  }
  static ReceivedMessage Redraw() { return {editor_msg::kRedraw, 0, 0}; }
  static ReceivedMessage Shown(std::uint32_t at) { return {editor_msg::kShowPosition, at, 0}; }
};

TEST_F(EnvelopeCommandsTest, AddedPointsTakeTheCurrentLevelAtTheirClampedPosition) {
  EnvelopePoint* first = nullptr;
  ASSERT_EQ(AddEnvelopePoint(*doc_, 100, &first), 0u);
  EXPECT_EQ(first->level, 1.0f);  // an empty envelope is unity
  EXPECT_EQ(Told(), (std::vector<ReceivedMessage>{Redraw(), Shown(100)}));
  EXPECT_EQ(frame_.last_flags(), 32u);
  EnvelopePoint* moved = nullptr;
  ASSERT_EQ(MoveEnvelopePoint(*doc_, first, 100, 0.25f, &moved), 0u);
  first = moved;
  EnvelopePoint* end = nullptr;
  ASSERT_EQ(AddEnvelopePoint(*doc_, 5000, &end), 0u);  // past the end: at the end
  EXPECT_EQ(end->position, kLength);
  EXPECT_EQ(end->level, 0.25f);  // after the last point its level holds
  ASSERT_EQ(MoveEnvelopePoint(*doc_, end, kLength, 0.75f, &end), 0u);
  EnvelopePoint* mid = nullptr;
  ASSERT_EQ(AddEnvelopePoint(*doc_, 550, &mid), 0u);
  EXPECT_NEAR(mid->level, 0.5f, 1e-6);
  EnvelopePoint* before = nullptr;
  ASSERT_EQ(AddEnvelopePoint(*doc_, 0, &before), 0u);
  EXPECT_EQ(before->level, 0.25f);
  EnvelopePoint* tie = nullptr;
  ASSERT_EQ(AddEnvelopePoint(*doc_, 550, &tie), 0u);  // after the point already there
  EXPECT_EQ(PointsOf(doc_->envelope), (std::vector<Point>{{before, 0, 0.25f},
                                                          {first, 100, 0.25f},
                                                          {mid, 550, mid->level},
                                                          {tie, 550, tie->level},
                                                          {end, kLength, 0.75f}}));
  // Envelope changes leave both counters alone.
  EXPECT_EQ(doc_->modification_counter, 0u);
  EXPECT_EQ(doc_->marker_change_counter, 0u);
  EXPECT_TRUE(IsDocumentSaved(*doc_));

  const auto all = PointsOf(doc_->envelope);
  Told();
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(Told(), (std::vector<ReceivedMessage>{Redraw(), Shown(550)}));
  EXPECT_EQ(frame_.last_flags(), 32u);
  EXPECT_EQ(doc_->envelope.size(), 4u);
  ASSERT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope), all);
  while (CanUndo(*doc_)) ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_TRUE(doc_->envelope.empty());
  while (CanRedo(*doc_)) ASSERT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope), all);
}

TEST_F(EnvelopeCommandsTest, MovingReplacesThePointAndUndoingBringsItBack) {
  EnvelopePoint *a, *b, *c;
  ASSERT_EQ(AddEnvelopePoint(*doc_, 100, &a), 0u);
  ASSERT_EQ(AddEnvelopePoint(*doc_, 200, &b), 0u);
  ASSERT_EQ(AddEnvelopePoint(*doc_, 300, &c), 0u);
  const auto before = PointsOf(doc_->envelope);
  Told();

  EnvelopePoint* b2 = nullptr;
  ASSERT_EQ(MoveEnvelopePoint(*doc_, b, 250, 0.5f, &b2), 0u);
  ASSERT_NE(b2, b);
  EXPECT_EQ(PointsOf(doc_->envelope), (std::vector<Point>{{a, 100, 1}, {b2, 250, 0.5f}, {c, 300, 1}}));
  EXPECT_EQ(Told(), (std::vector<ReceivedMessage>{Redraw(), Shown(250)}));
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope), before);
  ASSERT_EQ(Redo(*doc_), 0u);
  ASSERT_EQ(Undo(*doc_), 0u);

  // Past a neighbour, and past the end (clamped).
  EnvelopePoint* a2 = nullptr;
  ASSERT_EQ(MoveEnvelopePoint(*doc_, a, 99999, 2.0f, &a2), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope), (std::vector<Point>{{b, 200, 1}, {c, 300, 1}, {a2, kLength, 2.0f}}));
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope), before);

  // Among equal positions the new point takes the old one's place.
  EnvelopePoint *t1, *t2, *t1b;
  ASSERT_EQ(AddEnvelopePoint(*doc_, 600, &t1), 0u);
  ASSERT_EQ(AddEnvelopePoint(*doc_, 600, &t2), 0u);
  ASSERT_EQ(MoveEnvelopePoint(*doc_, t1, 600, 0.5f, &t1b), 0u);
  EXPECT_EQ(t1b->next, t2);
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(t1->next, t2);
  ASSERT_EQ(Undo(*doc_), 0u);
  ASSERT_EQ(Undo(*doc_), 0u);

  // Nothing to change, or nothing that may be.
  const std::size_t records = doc_->history.size();
  const std::size_t redo = doc_->history.redo_count();
  EnvelopePoint* same = nullptr;
  ASSERT_EQ(MoveEnvelopePoint(*doc_, c, 300, 1.0f, &same), 0u);
  EXPECT_EQ(same, c);
  EXPECT_EQ(MoveEnvelopePoint(*doc_, c, 300, std::nanf(""), nullptr), err::kSizeLimit);
  EXPECT_EQ(MoveEnvelopePoint(*doc_, c, 300, INFINITY, nullptr), err::kSizeLimit);
  EnvelopePoint* stranger = NewEnvelopePoint(10, 1);
  EXPECT_EQ(MoveEnvelopePoint(*doc_, stranger, 20, 1, nullptr), err::kSizeLimit);
  EXPECT_EQ(DeleteEnvelopePoint(*doc_, stranger), err::kSizeLimit);
  EXPECT_EQ(DeleteEnvelopePoint(*doc_, nullptr), err::kSizeLimit);
  EXPECT_EQ(stranger->ref_count(), 1u);
  stranger->Release();
  EXPECT_EQ(doc_->history.size(), records);
  EXPECT_EQ(doc_->history.redo_count(), redo);
  EXPECT_EQ(PointsOf(doc_->envelope), before);
}

TEST_F(EnvelopeCommandsTest, DeletingOneOrARangeAndUndoing) {
  std::vector<EnvelopePoint*> p(6);
  const std::uint32_t at[] = {0, 100, 200, 200, 300, kLength};
  for (int i = 0; i < 6; ++i) ASSERT_EQ(AddEnvelopePoint(*doc_, at[i], &p[i]), 0u);
  const auto all = PointsOf(doc_->envelope);

  ASSERT_EQ(DeleteEnvelopePoint(*doc_, p[3]), 0u);
  EXPECT_EQ(doc_->envelope.size(), 5u);
  EXPECT_EQ(p[3]->ref_count(), 2u);  // the adding and deleting records
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope), all);
  Told();

  // [100, 300): the points at 100 and 200, not the one at 300.
  ASSERT_EQ(DeleteEnvelopeRange(*doc_, 100, 300), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope),
            (std::vector<Point>{{p[0], 0, 1}, {p[4], 300, 1}, {p[5], kLength, 1}}));
  EXPECT_EQ(Told(), (std::vector<ReceivedMessage>{Redraw()}));  // several points: no position shown
  EXPECT_EQ(frame_.last_flags(), 32u);
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope), all);
  ASSERT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(doc_->envelope.size(), 3u);

  // Nothing in range, or an empty or reversed range: nothing recorded.
  const std::size_t records = doc_->history.size();
  const std::size_t notices = frame_.notices().size();
  EXPECT_EQ(DeleteEnvelopeRange(*doc_, 101, 300), 0u);
  EXPECT_EQ(DeleteEnvelopeRange(*doc_, 300, 300), 0u);
  EXPECT_EQ(DeleteEnvelopeRange(*doc_, 500, 100), 0u);
  EXPECT_EQ(doc_->history.size(), records);
  EXPECT_EQ(frame_.notices().size(), notices);
  // The whole document including the point at its end.
  ASSERT_EQ(DeleteEnvelopeRange(*doc_, 0, 0xFFFFFFFFu), 0u);
  EXPECT_TRUE(doc_->envelope.empty());
  ASSERT_EQ(Undo(*doc_), 0u);
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(PointsOf(doc_->envelope), all);
}

}  // namespace
}  // namespace tidemark
