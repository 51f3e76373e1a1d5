// ReplaceRange and CopyRange on small documents: the edge cases of inserting,
// deleting and replacing, merging, the length limit, markers and envelope
// points moving with the flag, and requests refused before anything changes.
#include "core/document/internal/segment_edit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/sources/silence_source.h"
#include "core/sources/source_list.h"
#include "platform/error_numbers.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::DocumentPtr;
using testing::NewSegment;
using testing::ShapeOf;

class SegmentEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("edit");
    a_ = testing::MakeRandomSource(dir_ + "/a.raw", sample_code::kS16, 2, 10000, 1);
    b_ = testing::MakeRandomSource(dir_ + "/b.raw", sample_code::kS16, 2, 10000, 2);
  }
  void TearDown() override {
    a_.reset();
    b_.reset();
    EXPECT_EQ(OpenFileSourceCount(), 0u) << "a test leaked a file source";
  }

  // A document of one segment over all of `a_`.
  DocumentPtr WholeA() {
    SegmentList list;
    list.PushBack(NewSegment(a_, 0, 10000, 0));
    return DocumentPtr(testing::MakeDocument(std::move(list), 10000));
  }

  std::string dir_;
  SourceRef a_, b_;
};

TEST_F(SegmentEditTest, InsertDeleteAndTheEmptyReplace) {
  DocumentPtr doc = WholeA();
  // Nothing replaced by nothing: no change and an empty inverse.
  EditRequest nothing;
  nothing.start = 400;
  ASSERT_EQ(ReplaceRange(*doc, nothing), 0u);
  EXPECT_EQ(doc->segments.size(), 1u);
  EXPECT_EQ(doc->length, 10000u);
  EXPECT_EQ(nothing.old_length, 0u);
  EXPECT_EQ(nothing.new_length, 0u);
  EXPECT_TRUE(nothing.segments.empty());
  ASSERT_EQ(ReplaceRange(*doc, nothing), 0u);
  EXPECT_EQ(doc->segments.size(), 1u);

  // Insert 100 frames of b at 400: a[0,400) b[0,100) a[400,10000).
  EditRequest insert;
  insert.start = 400;
  insert.new_length = 100;
  insert.segments.PushBack(NewSegment(b_, 0, 100, 0));
  ASSERT_EQ(ReplaceRange(*doc, insert), 0u);
  ASSERT_TRUE(testing::ListLinksAreSound(doc->segments));
  auto shape = ShapeOf(doc->segments);
  ASSERT_EQ(shape.size(), 3u);
  EXPECT_EQ(shape[0].length, 400u);
  EXPECT_EQ(shape[1].source, b_.get());
  EXPECT_EQ(shape[1].position, 400u);
  EXPECT_EQ(shape[2].position, 500u);
  EXPECT_EQ(shape[2].source_offset, 400u);
  EXPECT_EQ(shape[2].length, 9600u);
  EXPECT_EQ(doc->length, 10100u);
  // The inverse deletes what was inserted and brings back one segment.
  EXPECT_EQ(insert.old_length, 100u);
  EXPECT_EQ(insert.new_length, 0u);
  EXPECT_TRUE(insert.segments.empty());
  ASSERT_EQ(ReplaceRange(*doc, insert), 0u);
  EXPECT_EQ(doc->segments.size(), 1u);
  EXPECT_EQ(doc->length, 10000u);
  EXPECT_EQ(insert.new_length, 100u);  // and its inverse inserts it again
  ASSERT_EQ(insert.segments.size(), 1u);
  EXPECT_EQ(insert.segments.first()->source.get(), b_.get());

  // Insert silence as an empty list: a gap that shifts what follows.
  EditRequest gap;
  gap.start = 10000;
  gap.new_length = 50;
  ASSERT_EQ(ReplaceRange(*doc, gap), 0u);
  EXPECT_EQ(doc->length, 10050u);
  EXPECT_EQ(doc->segments.size(), 1u);
}

TEST_F(SegmentEditTest, DeletedMiddlePastedBackMergesIntoOneSegment) {
  DocumentPtr doc = WholeA();
  EditRequest cut;
  cut.start = 3000;
  cut.old_length = 2000;
  ASSERT_EQ(ReplaceRange(*doc, cut), 0u);
  auto shape = ShapeOf(doc->segments);
  ASSERT_EQ(shape.size(), 2u);
  EXPECT_EQ(shape[0].source, shape[1].source);
  EXPECT_EQ(shape[0].length, 3000u);
  EXPECT_EQ(shape[1].position, 3000u);
  EXPECT_EQ(shape[1].source_offset, 5000u);
  EXPECT_EQ(doc->length, 8000u);
  // The inverse holds the removed stretch with positions relative to start.
  ASSERT_EQ(cut.segments.size(), 1u);
  EXPECT_EQ(cut.segments.first()->position, 0u);
  EXPECT_EQ(cut.segments.first()->source_offset, 3000u);
  ASSERT_EQ(ReplaceRange(*doc, cut), 0u);
  shape = ShapeOf(doc->segments);
  ASSERT_EQ(shape.size(), 1u);
  EXPECT_EQ(shape[0].length, 10000u);
  EXPECT_EQ(shape[0].source_offset, 0u);

  // Replacing a stretch inside a gain-carrying segment copies the gain block
  // into both halves, as separate blocks.
  doc->segments.first()->gain = std::make_unique<SegmentGain>(SegmentGain{0.5f, 0.0f, 2.0f, 0.25f});
  EditRequest replace;
  replace.start = 100;
  replace.old_length = 10;
  replace.new_length = 10;
  replace.segments.PushBack(NewSegment(b_, 0, 10, 0));
  ASSERT_EQ(ReplaceRange(*doc, replace), 0u);
  ASSERT_EQ(doc->segments.size(), 3u);
  Segment* first = doc->segments.first();
  Segment* third = doc->segments.last();
  ASSERT_TRUE(first->gain && third->gain);
  EXPECT_NE(first->gain.get(), third->gain.get());
  EXPECT_TRUE(GainBlocksEqual(first->gain.get(), third->gain.get()));
  EXPECT_FALSE(doc->segments.first()->next->gain);
  ASSERT_TRUE(replace.segments.first()->gain);  // the removed piece keeps its gain
  EXPECT_EQ(replace.segments.first()->gain->gain1, 2.0f);
}

TEST_F(SegmentEditTest, MergeRulesForGainBlocksSilenceAndGaps) {
  const SegmentGain unity{};
  const SegmentGain half{0.5f, 0.0f, 0.5f, 0.0f};
  const SegmentGain negative_zero{1.0f, -0.0f, 1.0f, 0.0f};
  EXPECT_TRUE(GainBlocksEqual(nullptr, nullptr));
  EXPECT_TRUE(GainBlocksEqual(nullptr, &unity));
  EXPECT_TRUE(GainBlocksEqual(&unity, nullptr));
  EXPECT_TRUE(GainBlocksEqual(&half, &half));
  EXPECT_FALSE(GainBlocksEqual(&half, nullptr));
  EXPECT_FALSE(GainBlocksEqual(&negative_zero, nullptr));  // compared bit for bit

  // Appending a contiguous piece of the same source merges when the gains
  // count as equal, and not otherwise.
  struct Case {
    const SegmentGain* gain;
    std::uint32_t offset;
    std::uint32_t at;
    std::size_t segments;
  } cases[] = {{nullptr, 1000, 1000, 1}, {&unity, 1000, 1000, 1}, {&half, 1000, 1000, 2},
               {&negative_zero, 1000, 1000, 2}, {nullptr, 1001, 1000, 2}, {nullptr, 1000, 1001, 2}};
  for (const Case& c : cases) {
    SegmentList list;
    list.PushBack(NewSegment(a_, 0, 1000, 0));
    DocumentPtr doc(testing::MakeDocument(std::move(list), 1001));
    EditRequest r;
    r.start = 1000;
    r.old_length = 1;
    r.new_length = c.at - 1000 + 100;
    r.segments.PushBack(NewSegment(a_, c.at - 1000, 100, c.offset, c.gain));
    ASSERT_EQ(ReplaceRange(*doc, r), 0u);
    EXPECT_EQ(doc->segments.size(), c.segments) << c.offset << " " << c.at;
  }

  // Silence merges whatever the offsets.
  SourceRef quiet = MakeSilenceSource(44100, 2);
  SegmentList list;
  list.PushBack(NewSegment(quiet, 0, 500, 7));
  DocumentPtr doc(testing::MakeDocument(std::move(list), 500));
  EditRequest r;
  r.start = 500;
  r.new_length = 300;
  r.segments.PushBack(NewSegment(quiet, 0, 300, 123456));
  ASSERT_EQ(ReplaceRange(*doc, r), 0u);
  ASSERT_EQ(doc->segments.size(), 1u);
  EXPECT_EQ(doc->segments.first()->length, 800u);
}

TEST_F(SegmentEditTest, LengthLimitRefusedWithNothingChanged) {
  SourceRef quiet = MakeSilenceSource(44100, 2);
  const std::uint32_t length = kMaxFrames - 10;
  SegmentList list;
  list.PushBack(NewSegment(quiet, 0, length, 0));
  DocumentPtr doc(testing::MakeDocument(std::move(list), length));
  ASSERT_TRUE(doc);

  EditRequest too_long;
  too_long.start = 5;
  too_long.new_length = 11;
  too_long.segments.PushBack(NewSegment(quiet, 0, 11, 0));
  EXPECT_EQ(ReplaceRange(*doc, too_long), err::kSizeLimit);
  EXPECT_EQ(doc->length, length);
  EXPECT_EQ(doc->segments.size(), 1u);
  EXPECT_EQ(too_long.new_length, 11u);  // the request is left as it was
  EXPECT_EQ(too_long.segments.size(), 1u);

  EditRequest fits;
  fits.start = length;
  fits.new_length = 10;
  fits.segments.PushBack(NewSegment(quiet, 0, 10, 0));
  ASSERT_EQ(ReplaceRange(*doc, fits), 0u);
  EXPECT_EQ(doc->length, kMaxFrames);
  EXPECT_EQ(doc->segments.size(), 1u);
  EXPECT_EQ(doc->segments.first()->length, kMaxFrames);
}

TEST_F(SegmentEditTest, MalformedRequestsAreRefusedBeforeAnythingChanges) {
  DocumentPtr doc = WholeA();
  SourceRef mono = testing::MakeRandomSource(dir_ + "/m.raw", sample_code::kS16, 1, 100, 3);
  auto original = ShapeOf(doc->segments);
  auto expect_refused = [&](EditRequest& r, const char* what) {
    EXPECT_EQ(ReplaceRange(*doc, r), err::kSizeLimit) << what;
    EXPECT_EQ(doc->length, 10000u) << what;
    auto now = ShapeOf(doc->segments);
    ASSERT_EQ(now.size(), original.size()) << what;
    EXPECT_EQ(now[0].length, original[0].length) << what;
  };
  {
    EditRequest r;
    r.start = 0;
    r.old_length = 10001;
    expect_refused(r, "old length past the end");
  }
  {
    EditRequest r;
    r.start = 10001;
    expect_refused(r, "start past the end");
  }
  {
    EditRequest r;
    r.start = 9990;
    r.old_length = 11;
    expect_refused(r, "stretch past the end");
  }
  {
    EditRequest r;
    r.start = 0;
    r.old_length = 0xFFFFFFFFu;
    expect_refused(r, "old length past the limit");
  }
  {
    EditRequest r;
    r.new_length = 50;
    r.segments.PushBack(NewSegment(b_, 10, 41, 0));
    expect_refused(r, "segment past the new length");
  }
  {
    EditRequest r;
    r.new_length = 100;
    r.segments.PushBack(NewSegment(b_, 50, 10, 0));
    r.segments.PushBack(NewSegment(b_, 55, 10, 0));
    expect_refused(r, "overlapping segments");
  }
  {
    EditRequest r;
    r.new_length = 100;
    r.segments.PushBack(NewSegment(mono, 0, 100, 0));
    expect_refused(r, "source with another channel count");
  }
  {
    EditRequest r;
    r.new_length = 100;
    r.segments.PushBack(NewSegment(SourceRef(), 0, 100, 0));
    expect_refused(r, "segment without a source");
  }
  {
    EditRequest r;
    r.old_length = 10;
    r.markers_and_envelope = true;
    r.markers.PushFrontAdopt(NewMarker("x", "", 0));
    expect_refused(r, "markers with nothing inserted");
  }
  {
    EditRequest r;
    r.new_length = 10;
    r.markers_and_envelope = true;
    r.envelope.PushFrontAdopt(NewEnvelopePoint(11, 0.5f));
    expect_refused(r, "envelope point past the new length");
  }
}

TEST_F(SegmentEditTest, MarkersAndEnvelopeMoveOnlyWithTheFlag) {
  DocumentPtr doc = WholeA();
  // Markers at 100, 2000, 2500 (two), 5000; points at 0, 2200, 9000.
  Marker* m[5] = {NewMarker("a", "", 100), NewMarker("b", "", 2000), NewMarker("c", "note", 2500),
                  NewMarker("d", "", 2500), NewMarker("e", "", 5000)};
  for (int i = 4; i >= 0; --i) doc->markers.PushFrontAdopt(m[i]);
  EnvelopePoint* p[3] = {NewEnvelopePoint(0, 1.0f), NewEnvelopePoint(2200, 0.5f), NewEnvelopePoint(9000, 2.0f)};
  for (int i = 2; i >= 0; --i) doc->envelope.PushFrontAdopt(p[i]);
  auto positions = [](const auto& list) {
    std::vector<std::uint32_t> v;
    for (auto* n = list.first(); n; n = n->next) v.push_back(n->position);
    return v;
  };

  // Without the flag nothing moves.
  EditRequest plain;
  plain.start = 1000;
  plain.old_length = 500;
  ASSERT_EQ(ReplaceRange(*doc, plain), 0u);
  EXPECT_EQ(positions(doc->markers), (std::vector<std::uint32_t>{100, 2000, 2500, 2500, 5000}));
  ASSERT_EQ(ReplaceRange(*doc, plain), 0u);

  // Replace [2000, 3000) by 300 frames carrying one new marker at +10.
  EditRequest r;
  r.start = 2000;
  r.old_length = 1000;
  r.new_length = 300;
  r.markers_and_envelope = true;
  r.segments.PushBack(NewSegment(b_, 0, 300, 0));
  Marker* fresh = NewMarker("new", "", 10);
  r.markers.PushFrontAdopt(fresh);
  ASSERT_EQ(ReplaceRange(*doc, r), 0u);
  EXPECT_EQ(positions(doc->markers), (std::vector<std::uint32_t>{100, 2010, 4300}));
  EXPECT_EQ(doc->markers.first()->next, fresh);
  EXPECT_EQ(positions(doc->envelope), (std::vector<std::uint32_t>{0, 8300}));
  // The inverse holds the removed nodes themselves, rebased to the start.
  EXPECT_EQ(positions(r.markers), (std::vector<std::uint32_t>{0, 500, 500}));
  EXPECT_EQ(r.markers.first(), m[1]);
  EXPECT_EQ(positions(r.envelope), (std::vector<std::uint32_t>{200}));

  ASSERT_EQ(ReplaceRange(*doc, r), 0u);
  EXPECT_EQ(positions(doc->markers), (std::vector<std::uint32_t>{100, 2000, 2500, 2500, 5000}));
  Marker* node = doc->markers.first();
  for (Marker* expected : m) {
    EXPECT_EQ(node, expected);
    node = node ? node->next : nullptr;
  }
  EXPECT_EQ(positions(doc->envelope), (std::vector<std::uint32_t>{0, 2200, 9000}));
  EXPECT_EQ(doc->envelope.first()->next, p[1]);
  EXPECT_EQ(positions(r.markers), (std::vector<std::uint32_t>{10}));
  EXPECT_EQ(doc->segments.size(), 1u);
}

TEST_F(SegmentEditTest, CopyRangeTrimsPiecesAndHoldsItsOwnReferences) {
  SegmentList list;
  const SegmentGain g{0.25f, 0.0f, 1.0f, 0.5f};
  list.PushBack(NewSegment(a_, 0, 100, 0));
  list.PushBack(NewSegment(b_, 150, 100, 1000, &g));  // gap [100, 150)
  list.PushBack(NewSegment(a_, 250, 100, 5000));
  SegmentList copy;
  ASSERT_EQ(CopyRange(list, 50, 250, &copy), 0u);
  const auto shape = ShapeOf(copy);
  ASSERT_EQ(shape.size(), 3u);
  EXPECT_EQ(shape[0].position, 0u);
  EXPECT_EQ(shape[0].length, 50u);
  EXPECT_EQ(shape[0].source_offset, 50u);
  EXPECT_EQ(shape[1].position, 100u);
  EXPECT_EQ(shape[1].length, 100u);
  EXPECT_TRUE(shape[1].has_gain);
  EXPECT_NE(copy.first()->next->gain.get(), list.first()->next->gain.get());
  EXPECT_EQ(shape[2].position, 200u);
  EXPECT_EQ(shape[2].length, 50u);
  EXPECT_EQ(shape[2].source_offset, 5000u);
  // The copy keeps the sources alive on its own.
  list.Clear();
  a_.reset();
  EXPECT_EQ(OpenFileSourceCount(), 2u);
  copy.Clear();
  EXPECT_EQ(OpenFileSourceCount(), 1u);

  SegmentList empty;
  ASSERT_EQ(CopyRange(copy, 0, 100, &empty), 0u);
  EXPECT_TRUE(empty.empty());
}

}  // namespace
}  // namespace tidemark
