// The marker commands: what they link and unlink, what the editor window and
// the frame hear, how the marker-change counter moves, and what is refused.
#include "core/undo/marker_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/document/internal/segment_edit.h"
#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"
#include "platform/headless_editor_window.h"
#include "platform/headless_main_frame.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"
#include "tests/core/marker_test_util.h"

namespace tidemark {
namespace {

using testing::DocumentPtr;

constexpr std::uint32_t kLength = 10000;

using Entry = testing::MarkerNode;
constexpr auto EntriesOf = testing::MarkerNodes;

class MarkerCommandsTest : public testing::DocumentWithFrameTest<kLength> {
 protected:
  // The marker notices (letter, node) and shown positions since the log was cleared.
  std::vector<ReceivedMessage> Notices() {
    std::vector<ReceivedMessage> v;
    for (const ReceivedMessage& m : editor().log())
      if (m.msg == editor_msg::kMarkerChanged || m.msg == editor_msg::kShowPosition) v.push_back(m);
    editor().ClearLog();
    return v;
  }
  static ReceivedMessage Changed(char letter, const Marker* m) {
    return {editor_msg::kMarkerChanged, static_cast<MsgParam>(letter), reinterpret_cast<MsgParam>(m)};
  }
  static ReceivedMessage Shown(std::uint32_t position) { return {editor_msg::kShowPosition, position, 0}; }

  // Adds markers at the given positions, one command, and returns the nodes in that order.
  std::vector<Marker*> Add(std::initializer_list<std::pair<std::uint32_t, const char*>> markers) {
    MarkerList list;
    std::vector<Marker*> nodes;
    Marker* tail = nullptr;
    for (auto [position, name] : markers) {
      Marker* m = NewMarker(name, "", position);
      list.InsertAfterAdopt(tail, m);
      tail = m;
      nodes.push_back(m);
    }
    EXPECT_EQ(AddMarkers(*doc_, std::move(list)), 0u);
    return nodes;
  }
};

TEST_F(MarkerCommandsTest, AddingLinksInOrderTellsTheEditorAndUndoes) {
  Marker* a = Add({{100, "a"}})[0];
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('A', a), Shown(100)}));
  EXPECT_EQ(doc_->marker_change_counter, 1u);
  EXPECT_EQ(frame_.last_flags(), 96u);  // the first change of a saved document
  EXPECT_FALSE(IsDocumentSaved(*doc_));

  // An unsorted list; the tie at 100 goes after the marker already there.
  const auto added = Add({{500, "e"}, {100, "b"}, {300, "c"}, {10000, "end"}});
  EXPECT_EQ(frame_.last_flags(), 32u);
  EXPECT_EQ(EntriesOf(doc_->markers),
            (std::vector<Entry>{{a, 100, "a"}, {added[1], 100, "b"}, {added[2], 300, "c"}, {added[0], 500, "e"},
                                {added[3], 10000, "end"}}));
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('A', added[0]), Changed('A', added[1]),
                                                     Changed('A', added[2]), Changed('A', added[3])}));
  EXPECT_EQ(doc_->marker_change_counter, 2u);
  const auto after = EntriesOf(doc_->markers);

  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), (std::vector<Entry>{{a, 100, "a"}}));
  EXPECT_EQ(Notices().size(), 4u);
  EXPECT_EQ(doc_->marker_change_counter, 1u);
  EXPECT_EQ(frame_.last_flags(), 32u);
  for (Marker* m : added) EXPECT_EQ(m->ref_count(), 1u);  // only the record holds them now
  ASSERT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), after);
  ASSERT_EQ(Undo(*doc_), 0u);
  Notices();
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('D', a), Shown(100)}));
  EXPECT_TRUE(doc_->markers.empty());
  EXPECT_EQ(doc_->marker_change_counter, 0u);
  EXPECT_EQ(frame_.last_flags(), 96u);  // back at the saved state
  EXPECT_TRUE(IsDocumentSaved(*doc_));

  // An empty list records nothing; a marker past the end is refused whole.
  const std::size_t notices = frame_.notices().size();
  EXPECT_EQ(AddMarkers(*doc_, MarkerList()), 0u);
  MarkerList beyond;
  beyond.PushFrontAdopt(NewMarker("late", "", kLength + 1));
  beyond.PushFrontAdopt(NewMarker("ok", "", 5));
  EXPECT_EQ(AddMarkers(*doc_, std::move(beyond)), err::kSizeLimit);
  EXPECT_TRUE(doc_->markers.empty());
  EXPECT_EQ(frame_.notices().size(), notices);
  EXPECT_EQ(doc_->history.redo_count(), 2u);
}

TEST_F(MarkerCommandsTest, DeletingThreeAndUndoingBringsBackTheSameNodes) {
  const auto nodes = Add({{100, "a"}, {200, "b"}, {300, "c"}, {400, "d"}, {500, "e"}});
  const auto before = EntriesOf(doc_->markers);
  Notices();
  // Given in another order than the list's.
  Marker* const gone[] = {nodes[4], nodes[0], nodes[2]};
  ASSERT_EQ(DeleteMarkers(*doc_, gone), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), (std::vector<Entry>{{nodes[1], 200, "b"}, {nodes[3], 400, "d"}}));
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('D', nodes[0]), Changed('D', nodes[2]),
                                                     Changed('D', nodes[4])}));
  for (Marker* m : gone) EXPECT_EQ(m->ref_count(), 2u);  // the adding record and the deleting one
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), before);
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('A', nodes[0]), Changed('A', nodes[2]),
                                                     Changed('A', nodes[4])}));
  ASSERT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(doc_->markers.size(), 2u);
  ASSERT_EQ(Undo(*doc_), 0u);

  // A node not in the list, or one given twice, refuses the whole command.
  Marker* stranger = NewMarker("s", "", 250);
  Marker* const mixed[] = {nodes[1], stranger};
  const std::size_t records = doc_->history.size();
  Notices();
  EXPECT_EQ(DeleteMarkers(*doc_, mixed), err::kSizeLimit);
  Marker* const twice[] = {nodes[1], nodes[1]};
  EXPECT_EQ(DeleteMarkers(*doc_, twice), err::kSizeLimit);
  Marker* const none[] = {nullptr};
  EXPECT_EQ(DeleteMarkers(*doc_, none), err::kSizeLimit);
  EXPECT_EQ(EntriesOf(doc_->markers), before);
  EXPECT_TRUE(Notices().empty());
  EXPECT_EQ(doc_->history.size(), records);
  EXPECT_EQ(stranger->ref_count(), 1u);
  EXPECT_EQ(nodes[1]->ref_count(), 2u);  // the list and the adding record
  stranger->Release();
  EXPECT_EQ(DeleteMarkers(*doc_, std::span<Marker* const>()), 0u);
  EXPECT_EQ(doc_->history.size(), records);
}

TEST_F(MarkerCommandsTest, ChangingMovesTheSameNodeOrReplacesIt) {
  const auto n = Add({{100, "a"}, {200, "b"}, {300, "c"}});
  const auto before = EntriesOf(doc_->markers);
  Notices();

  // A move inside its neighbours keeps the node and its place.
  ASSERT_EQ(ChangeMarker(*doc_, n[1], 250, "b", ""), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), (std::vector<Entry>{{n[0], 100, "a"}, {n[1], 250, "b"}, {n[2], 300, "c"}}));
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('D', n[1]), Changed('A', n[1]), Shown(250)}));
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), before);
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('D', n[1]), Changed('A', n[1]), Shown(200)}));

  // A move past a neighbour keeps the list in order.
  ASSERT_EQ(ChangeMarker(*doc_, n[0], 350, "a", ""), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), (std::vector<Entry>{{n[1], 200, "b"}, {n[2], 300, "c"}, {n[0], 350, "a"}}));
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), before);
}

TEST_F(MarkerCommandsTest, ANewNameReplacesTheNodeInItsPlace) {
  const auto n = Add({{100, "a"}, {200, "b"}, {300, "c"}});
  const auto before = EntriesOf(doc_->markers);
  Notices();
  // Among equal positions too.
  ASSERT_EQ(ChangeMarker(*doc_, n[1], 100, "B", "comment"), 0u);
  Marker* fresh = doc_->markers.first()->next;
  ASSERT_NE(fresh, n[1]);
  EXPECT_EQ(EntriesOf(doc_->markers),
            (std::vector<Entry>{{n[0], 100, "a"}, {fresh, 100, "B", "comment"}, {n[2], 300, "c"}}));
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('D', n[1]), Changed('A', fresh), Shown(100)}));
  EXPECT_EQ(n[1]->ref_count(), 2u);  // the adding record and the replacing one
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), before);
  EXPECT_EQ(Notices(), (std::vector<ReceivedMessage>{Changed('D', fresh), Changed('A', n[1]), Shown(200)}));
  ASSERT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(doc_->markers.first()->next, fresh);
  ASSERT_EQ(Undo(*doc_), 0u);

  // Among equal positions a replacement keeps the old node's place, and
  // so does undoing it.
  const auto tied = Add({{700, "x"}, {700, "y"}});
  ASSERT_EQ(ChangeMarker(*doc_, tied[0], 700, "X", ""), 0u);
  Marker* at700 = doc_->markers.first();
  while (at700->position != 700) at700 = at700->next;
  EXPECT_EQ(at700->name, "X");
  EXPECT_EQ(at700->next, tied[1]);
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(doc_->markers.last()->name, "y");
  EXPECT_EQ(doc_->markers.last(), tied[1]);
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(EntriesOf(doc_->markers), before);
}

TEST_F(MarkerCommandsTest, UnchangedMarkersRecordNothingAndStrangersAreRefused) {
  const auto n = Add({{100, "a"}, {200, "b"}, {300, "c"}});
  Add({{400, "d"}});
  ASSERT_EQ(Undo(*doc_), 0u);  // an undone step for the next change to discard
  // Control characters are cleaned before comparing: no real change, nothing recorded.
  const std::size_t done = doc_->history.size() - doc_->history.redo_count();
  const std::uint32_t counter = doc_->marker_change_counter;
  ASSERT_EQ(ChangeMarker(*doc_, n[2], 300, "c", ""), 0u);
  Marker* tabbed = NewMarker("x\ty", "", 0);
  MarkerList one;
  one.PushFrontAdopt(tabbed);
  ASSERT_EQ(AddMarkers(*doc_, std::move(one)), 0u);
  const std::size_t with_tab = doc_->history.size();
  ASSERT_EQ(ChangeMarker(*doc_, tabbed, 0, "x\ty", ""), 0u);
  EXPECT_EQ(doc_->history.size(), with_tab);
  EXPECT_EQ(doc_->history.size(), done + 1);  // the undone steps went
  EXPECT_EQ(doc_->history.redo_count(), 0u);
  EXPECT_EQ(doc_->marker_change_counter, counter + 1);

  // Refused: a node not in the list, a position past the end.
  Marker* stranger = NewMarker("s", "", 10);
  EXPECT_EQ(ChangeMarker(*doc_, stranger, 20, "s", ""), err::kSizeLimit);
  EXPECT_EQ(ChangeMarker(*doc_, stranger, 20, "t", ""), err::kSizeLimit);
  EXPECT_EQ(ChangeMarker(*doc_, stranger, 10, "s", ""), err::kSizeLimit);
  EXPECT_EQ(ChangeMarker(*doc_, n[0], kLength + 1, "a", ""), err::kSizeLimit);
  EXPECT_EQ(ChangeMarker(*doc_, nullptr, 1, "a", ""), err::kSizeLimit);
  EXPECT_EQ(stranger->ref_count(), 1u);
  EXPECT_EQ(doc_->history.size(), with_tab);
  stranger->Release();
}

}  // namespace
}  // namespace tidemark
