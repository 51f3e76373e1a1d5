// Marker list operations against plain vectors and hand-worked positions.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/markers/marker_list.h"
#include "core/samples/sample_format.h"
#include "platform/headless_editor_window.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"
#include "tests/core/marker_test_util.h"

namespace tidemark {
namespace {

using Entry = testing::MarkerEntry;
constexpr auto Entries = testing::MarkerEntries;
constexpr auto MakeList = testing::MakeMarkerList;
// "prefix" followed by the number (built in place: GCC 12 misreads
// literal + temporary string as an overlapping copy).
std::string Named(const char* prefix, std::uint64_t n) {
  std::string s(prefix);
  s += std::to_string(n);
  return s;
}

std::vector<std::uint32_t> Positions(const MarkerList& list) {
  std::vector<std::uint32_t> out;
  for (const Marker* m = list.first(); m; m = m->next) out.push_back(m->position);
  return out;
}

// MergeSorted by its definition: each marker in turn, clamped, dropped when
// an equal one is already placed, else placed after every marker with the
// same or a smaller position.
std::vector<Entry> MergeModel(std::vector<Entry> input, std::uint32_t length) {
  std::vector<Entry> placed;
  for (Entry e : input) {
    if (e.position > length) e.position = length;
    bool repeat = false;
    for (const Entry& p : placed) repeat = repeat || p == e;
    if (repeat) continue;
    std::size_t at = 0;
    for (std::size_t i = 0; i < placed.size(); ++i)
      if (placed[i].position <= e.position) at = i + 1;
    placed.insert(placed.begin() + static_cast<std::ptrdiff_t>(at), e);
  }
  return placed;
}

TEST(MarkerListTest, InsertKeepsEqualPositionsInOrderAndRefusesLinkedNodes) {
  MarkerList list;
  Marker* b1 = NewMarker("b1", "", 20);
  Marker* a = NewMarker("a", "", 10);
  Marker* b2 = NewMarker("b2", "", 20);
  Marker* c = NewMarker("c", "", 30);
  Marker* front = NewMarker("front", "", 0);
  Marker* b3 = NewMarker("b3", "", 20);
  for (Marker* m : {b1, a, b2, c, front, b3}) EXPECT_TRUE(InsertMarker(list, m));
  EXPECT_EQ(Entries(list), (std::vector<Entry>{
                               {0, "front", ""}, {10, "a", ""}, {20, "b1", ""}, {20, "b2", ""}, {20, "b3", ""},
                               {30, "c", ""}}));

  // Every node already in the list is refused, wherever it sits, and the
  // list is left exactly as it was.
  for (Marker* m : {front, a, b1, b2, b3, c}) EXPECT_FALSE(InsertMarker(list, m)) << m->name;
  EXPECT_EQ(list.size(), 6u);
  EXPECT_EQ(list.first(), front);
  EXPECT_EQ(b3->next, c);
  EXPECT_EQ(c->next, nullptr);
  for (const Marker* m = list.first(); m; m = m->next) EXPECT_EQ(m->ref_count(), 1u);
}

// Clamping and exact duplicates are checked against the model below; here
// the comment rule and what becomes of a dropped node.
TEST(MarkerListTest, MergeSortedTakesNoCommentAsEmptyAndReleasesDuplicates) {
  // An absent comment and an empty one count the same.
  MarkerList two = MakeList({{7, "n", ""}});
  Marker* with_empty = NewMarker("n", "", 7);
  with_empty->comment = std::make_unique<std::string>();
  two.InsertAfterAdopt(two.first(), with_empty);
  EXPECT_EQ(MergeSorted(std::move(two), 10).size(), 1u);

  // A dropped duplicate is released: a reference held elsewhere is all that
  // is left of it.
  MarkerList held = MakeList({{3, "d", ""}, {3, "d", ""}});
  Marker* second = held.first()->next;
  second->AddRef();
  MarkerList kept = MergeSorted(std::move(held), 10);
  EXPECT_EQ(kept.size(), 1u);
  EXPECT_NE(kept.first(), second);
  EXPECT_EQ(second->ref_count(), 1u);
  EXPECT_EQ(second->next, nullptr);
  second->Release();

  EXPECT_TRUE(MergeSorted(MarkerList(), 10).empty());
}

TEST(MarkerListTest, MergeSortedMatchesRepeatedInsertion) {
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    // Few positions and names, so runs of equal positions and exact
    // duplicates are common; some runs are long enough for the indexed path.
    const std::size_t count = round < 50 ? rng() % 80 : 1500 + rng() % 500;
    const std::uint32_t spread = round % 3 == 0 ? 3 : 40;
    const std::uint32_t length = 30;
    std::vector<Entry> input;
    for (std::size_t i = 0; i < count; ++i)
      input.push_back({static_cast<std::uint32_t>(rng() % spread), std::string(1, static_cast<char>('a' + rng() % 5)),
                       rng() % 3 == 0 ? Named("c", rng() % 2) : std::string()});
    EXPECT_EQ(Entries(MergeSorted(MakeList(input), length)), MergeModel(input, length)) << "round " << round;
  }
}

TEST(MarkerListTest, MergeSortedHandlesLargeListsInOrder) {
  // 100,000 markers in reverse order with distinct names plus a copy of
  // every tenth: the result is ascending with the copies gone.
  std::vector<Entry> input;
  for (std::uint32_t i = 0; i < 100000; ++i) input.push_back({(99999 - i) * 3, Named("m", i), ""});
  for (std::uint32_t i = 0; i < 100000; i += 10) input.push_back(input[i]);
  MarkerList merged = MergeSorted(MakeList(input), kMaxFrames);
  ASSERT_EQ(merged.size(), 100000u);
  std::uint32_t expected = 0;
  for (const Marker* m = merged.first(); m; m = m->next, expected += 3) ASSERT_EQ(m->position, expected);
}

TEST(MarkerListTest, ClampMonotoneLimitsAndLifts) {
  MarkerList list = MakeList({{5, "", ""}, {3, "", ""}, {10, "", ""}, {8, "", ""}, {20, "", ""}, {2, "", ""}});
  ClampMonotone(list, 9);
  // 5; 3 lifted to 5; 10 limited to 9; 8 lifted to 9; 20 limited to 9; 2 lifted to 9.
  EXPECT_EQ(Positions(list), (std::vector<std::uint32_t>{5, 5, 9, 9, 9, 9}));

  MarkerList ordered = MakeList({{0, "", ""}, {4, "", ""}, {4, "", ""}, {7, "", ""}});
  ClampMonotone(ordered, 100);
  EXPECT_EQ(Positions(ordered), (std::vector<std::uint32_t>{0, 4, 4, 7}));
}

TEST(MarkerListTest, CopyRangeMakesNewNodesInsideTheBounds) {
  const MarkerList list = MakeList({{5, "a", ""}, {10, "b", "note"}, {15, "c", ""}, {20, "d", ""}, {25, "e", ""}});
  MarkerList copy;
  ASSERT_EQ(CopyMarkerRange(list, 10, 20, true, &copy), 0u);
  EXPECT_EQ(Entries(copy), (std::vector<Entry>{{0, "b", "note"}, {5, "c", ""}}));
  for (const Marker* c = copy.first(); c; c = c->next)
    for (const Marker* o = list.first(); o; o = o->next) EXPECT_NE(c, o);

  ASSERT_EQ(CopyMarkerRange(list, 10, 21, false, &copy), 0u);
  EXPECT_EQ(Positions(copy), (std::vector<std::uint32_t>{10, 15, 20}));
  ASSERT_EQ(CopyMarkerRange(list, 12, 12, false, &copy), 0u);
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(Positions(list), (std::vector<std::uint32_t>{5, 10, 15, 20, 25}));
}

TEST(MarkerListTest, ShiftStaysInsideTheFrameRange) {
  MarkerList list = MakeList({{0, "", ""}, {100, "", ""}, {kMaxFrames - 10, "", ""}});
  ShiftMarkers(list, 50);
  EXPECT_EQ(Positions(list), (std::vector<std::uint32_t>{50, 150, kMaxFrames}));
  ShiftMarkers(list, -100);
  EXPECT_EQ(Positions(list), (std::vector<std::uint32_t>{0, 50, kMaxFrames - 100}));
  ShiftMarkers(list, std::int64_t{1} << 40);
  EXPECT_EQ(Positions(list), (std::vector<std::uint32_t>{kMaxFrames, kMaxFrames, kMaxFrames}));
}

TEST(MarkerListTest, ScaleRateRoundsHalfUpAndLimits) {
  const struct {
    std::vector<std::uint32_t> in;
    std::uint32_t from, to, limit;
    std::vector<std::uint32_t> out;
  } cases[] = {
      // 44100 -> 48000: 1 s stays 1 s; 0.25 s is 12000; 1 frame is 1.088 -> 1.
      {{44100, 11025, 1, 0}, 44100, 48000, kMaxFrames, {48000, 12000, 1, 0}},
      // 48000 -> 44100: 1000 frames are 918.75 -> 919; 2 -> 1.8375 -> 2.
      {{1000, 2}, 48000, 44100, kMaxFrames, {919, 2}},
      // Halving: 1 -> 0.5 -> 1, 3 -> 1.5 -> 2, 4 -> 2.
      {{1, 3, 4}, 2, 1, kMaxFrames, {1, 2, 2}},
      // 0xFFFF0000 * 2 / 3 = 2863267840 exactly; 0xFFFEFFFF * 2 / 3 = 2863267839.33.
      {{0xFFFF0000u, 0xFFFEFFFFu}, 3, 2, kMaxFrames, {2863267840u, 2863267839u}},
      // Products that do not fit 64 bits still come out right: limited to the maximum.
      {{0xFFFF0000u, 3}, 1, 0xFFFFFFFFu, kMaxFrames, {kMaxFrames, kMaxFrames}},
      {{100, 600}, 1, 2, 1000, {200, 1000}},
  };
  for (const auto& c : cases) {
    std::vector<Entry> entries;
    for (std::uint32_t p : c.in) entries.push_back({p, "", ""});
    MarkerList list = MakeList(entries);
    ScaleMarkerRate(list, c.from, c.to, c.limit);
    EXPECT_EQ(Positions(list), c.out) << c.from << " -> " << c.to;
  }
}

class StretchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_.reset(testing::MakeDocument(SegmentList(), 100000));
    ASSERT_TRUE(doc_);
  }
  void Place(const std::vector<std::uint32_t>& positions) {
    doc_->markers = MakeList([&] {
      std::vector<Entry> e;
      for (std::uint32_t p : positions) e.push_back({p, Named("m", p), ""});
      return e;
    }());
  }
  HeadlessEditorWindow& editor() { return *static_cast<HeadlessEditorWindow*>(doc_->editor.get()); }

  testing::DocumentPtr doc_;
};

TEST_F(StretchTest, ProportionalMappingInsideAndShiftBehind) {
  const struct {
    std::vector<std::uint32_t> in;
    std::uint32_t start, old_length, new_length;
    std::vector<std::uint32_t> out;
  } cases[] = {
      // [100, 200) becomes 50 frames: 150 -> 100 + 25; 199 -> 100 + 49.5 -> 150,
      // kept inside as 149; the old end 200 -> 150; 300 -> 250.
      {{50, 100, 150, 199, 200, 300}, 100, 100, 50, {50, 100, 125, 149, 150, 250}},
      // [100, 200) becomes 300 frames: 150 -> 250; 199 -> 397; 200 -> 400.
      {{50, 100, 150, 199, 200, 300}, 100, 100, 300, {50, 100, 250, 397, 400, 500}},
      // 3 frames become 2: offsets 0, 1, 2 map to 0, round(0.667) = 1, round(1.333) = 1.
      {{10, 11, 12, 13}, 10, 3, 2, {10, 11, 11, 12}},
  };
  for (const auto& c : cases) {
    Place(c.in);
    AdjustMarkersForStretch(*doc_, c.start, c.old_length, c.new_length, true);
    EXPECT_EQ(Positions(doc_->markers), c.out) << c.new_length;
  }
}

TEST_F(StretchTest, CutTailIsDeletedAndTheRestMoves) {
  Place({50, 149, 150, 199, 200, 300});
  Marker* doomed = doc_->markers.first()->next->next;  // at 150
  doomed->AddRef();
  editor().ClearLog();
  AdjustMarkersForStretch(*doc_, 100, 100, 50, false);
  EXPECT_EQ(Positions(doc_->markers), (std::vector<std::uint32_t>{50, 149, 150, 250}));
  EXPECT_EQ(doc_->markers.first()->next->next->name, "m200");
  // Each removed node was announced before it went.
  std::size_t announced = 0;
  for (const ReceivedMessage& m : editor().log())
    if (m.msg == editor_msg::kMarkerChanged && m.wparam == 'D') ++announced;
  EXPECT_EQ(announced, 2u);
  EXPECT_EQ(doomed->ref_count(), 1u);
  doomed->Release();

  // Growing without stretching only moves what lies behind.
  Place({50, 150, 199, 200, 300});
  AdjustMarkersForStretch(*doc_, 100, 100, 150, false);
  EXPECT_EQ(Positions(doc_->markers), (std::vector<std::uint32_t>{50, 150, 199, 250, 350}));

  // A stretch to nothing falls back to the cut: the whole part goes.
  Place({99, 100, 150, 200});
  AdjustMarkersForStretch(*doc_, 100, 100, 0, true);
  EXPECT_EQ(Positions(doc_->markers), (std::vector<std::uint32_t>{99, 100}));
  EXPECT_EQ(doc_->markers.first()->next->name, "m200");
}

}  // namespace
}  // namespace tidemark
