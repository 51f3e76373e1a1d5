// ReplaceRange and CopyRange on small documents: the edge cases of inserting,
// deleting and replacing, merging, the length limit, markers and envelope
// points moving with the flag, and requests refused before anything changes.
#include "core/document/internal/segment_edit.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "core/sources/silence_source.h"
#include "core/sources/source_list.h"
#include "platform/error_numbers.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::DocumentPtr;
using testing::NewSegment;

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

// Random inserts, deletes and their inverses are checked against a model in
// segment_model_test; these are the cases it seldom or never draws.
TEST_F(SegmentEditTest, EmptyReplaceChangesNothingAndSplitGainsAreCopied) {
  DocumentPtr doc = WholeA();
  EditRequest nothing;
  nothing.start = 400;
  ASSERT_EQ(ReplaceRange(*doc, nothing), 0u);
  EXPECT_EQ(doc->segments.size(), 1u);
  EXPECT_EQ(doc->length, 10000u);
  EXPECT_EQ(nothing.old_length, 0u);
  EXPECT_EQ(nothing.new_length, 0u);
  EXPECT_TRUE(nothing.segments.empty());

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
  auto add = [](EditRequest& r, SourceRef s, std::uint32_t position, std::uint32_t length) {
    r.segments.PushBack(NewSegment(std::move(s), position, length, 0));
  };
  const std::pair<const char*, std::function<void(EditRequest&)>> cases[] = {
      {"old length past the end", [](EditRequest& r) { r.old_length = 10001; }},
      {"start past the end", [](EditRequest& r) { r.start = 10001; }},
      {"stretch past the end", [](EditRequest& r) { r.start = 9990, r.old_length = 11; }},
      {"old length past the limit", [](EditRequest& r) { r.old_length = 0xFFFFFFFFu; }},
      {"segment past the new length", [&](EditRequest& r) { r.new_length = 50, add(r, b_, 10, 41); }},
      {"overlapping segments", [&](EditRequest& r) { r.new_length = 100, add(r, b_, 50, 10), add(r, b_, 55, 10); }},
      {"an empty segment", [&](EditRequest& r) { r.new_length = 100, add(r, b_, 50, 0); }},
      {"source with another channel count", [&](EditRequest& r) { r.new_length = 100, add(r, mono, 0, 100); }},
      {"segment without a source", [&](EditRequest& r) { r.new_length = 100, add(r, SourceRef(), 0, 100); }},
      {"markers with nothing inserted",
       [](EditRequest& r) {
         r.old_length = 10, r.markers_and_envelope = true;
         r.markers.PushFrontAdopt(NewMarker("x", "", 0));
       }},
      {"envelope point past the new length",
       [](EditRequest& r) {
         r.new_length = 10, r.markers_and_envelope = true;
         r.envelope.PushFrontAdopt(NewEnvelopePoint(11, 0.5f));
       }},
  };
  for (const auto& [what, fill] : cases) {
    SCOPED_TRACE(what);
    EditRequest r;
    fill(r);
    EXPECT_EQ(ReplaceRange(*doc, r), err::kSizeLimit);
    EXPECT_EQ(doc->length, 10000u);
    ASSERT_EQ(doc->segments.size(), 1u);
    EXPECT_EQ(doc->segments.first()->length, 10000u);
  }
}

TEST_F(SegmentEditTest, CopiesHoldTheirOwnGainBlocksAndReferences) {
  SegmentList list;
  const SegmentGain g{0.25f, 0.0f, 1.0f, 0.5f};
  list.PushBack(NewSegment(a_, 0, 100, 0));
  list.PushBack(NewSegment(b_, 150, 100, 1000, &g));  // gap [100, 150)
  SegmentList copy;
  ASSERT_EQ(CopyRange(list, 50, 250, &copy), 0u);
  ASSERT_EQ(copy.size(), 2u);
  ASSERT_TRUE(copy.last()->gain);
  EXPECT_NE(copy.last()->gain.get(), list.last()->gain.get());
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
