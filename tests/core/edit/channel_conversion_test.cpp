// Making a mono document stereo: the document and every edit record of its
// history (undo and redo parts) become stereo views, so every earlier state
// comes back doubled; the steps can be reverted bit for bit; the converted
// history still writes its workspace records.
#include "core/edit/channel_conversion.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/document/segment_cursor.h"
#include "core/edit/edit_commands.h"
#include "core/sources/silence_source.h"
#include "core/sources/view_source.h"
#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"
#include "tests/core/numbering_writer.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::ReadFloats;

constexpr std::uint32_t kFrames = 3000;

std::vector<float> Doubled(const std::vector<float>& mono) {
  std::vector<float> out;
  for (const float x : mono) out.insert(out.end(), {x, x});
  return out;
}

// Every segment list the document holds: its own, then each edit record's.
std::vector<const SegmentList*> AllLists(SoundDocument& d) {
  std::vector<const SegmentList*> lists{&d.segments};
  for (std::size_t i = 0; i < d.history.size(); ++i)
    if (const SegmentList* l = d.history.at(i).edit_segments()) lists.push_back(l);
  return lists;
}

std::vector<std::vector<testing::SegmentShape>> Shapes(SoundDocument& d) {
  std::vector<std::vector<testing::SegmentShape>> out;
  for (const SegmentList* l : AllLists(d)) out.push_back(testing::ShapeOf(*l));
  return out;
}

bool SameShapes(const std::vector<std::vector<testing::SegmentShape>>& a,
                const std::vector<std::vector<testing::SegmentShape>>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!testing::SameShapes(a[i], b[i])) return false;
  return true;
}

class ChannelConversionTest : public testing::DocumentWithFrameTest<0> {
 protected:
  void SetUp() override {
    testing::DocumentWithFrameTest<0>::SetUp();
    const std::string dir = testing::MakeTempDir("conversion");
    SegmentList list;
    list.PushBack(testing::NewSegment(testing::MakeRandomSource(dir + "/mono.raw", sample_code::kS16, 1, kFrames, 7),
                                      0, kFrames, 0));
    doc_.reset(testing::MakeDocument(std::move(list), kFrames, 1));
    ASSERT_TRUE(doc_);
    stereo_ = testing::MakeRandomSource(dir + "/stereo.raw", sample_code::kS16, 2, kFrames, 8);
    // A history of every kind of material a mono document holds: gain
    // blocks (channel 1's values deliberately odd), gaps, a silence source
    // and a mono view of a stereo source; the newest step undone (a redo
    // part).
    ASSERT_EQ(ApplyGain(*doc_, 100, 400, {0.5f, 1.0f}, "gain"), 0u);
    doc_->segments.first()->next->gain->gain1 = 3.0f;
    doc_->segments.first()->next->gain->offset1 = -0.25f;
    ASSERT_EQ(InsertSilence(*doc_, 700, 10), 0u);
    EditRequest request;
    request.start = 1000;
    request.old_length = 500;
    request.new_length = 500;
    request.segments.PushBack(testing::NewSegment(MakeMonoView(stereo_, 1), 0, 300, 20));
    request.segments.PushBack(testing::NewSegment(MakeSilenceSource(44100, 1), 300, 200, 0));
    ASSERT_EQ(ApplyEdit(*doc_, request, "view"), 0u);
    ASSERT_EQ(ApplyOffset(*doc_, 0, 50, {0.125f, 0.0f}, "offset"), 0u);
    // The mono samples of every state, newest first, walking down and back.
    for (std::size_t i = 0; i < 4; ++i) {
      states_.push_back(ReadFloats(*doc_));
      ASSERT_EQ(Undo(*doc_), 0u);
    }
    states_.push_back(ReadFloats(*doc_));
    for (std::size_t i = 0; i < 3; ++i) ASSERT_EQ(Redo(*doc_), 0u);
    ASSERT_EQ(doc_->history.redo_count(), 1u);
    editor().ClearLog();
    frame_.ClearNotices();
  }

  SourceRef stereo_;
  std::vector<std::vector<float>> states_;  // [0] all four steps done ... [4] none
};

TEST_F(ChannelConversionTest, EveryStateOfTheHistoryComesBackDoubled) {
  ASSERT_EQ(ConvertToStereo(*doc_), 0u);
  EXPECT_EQ(doc_->channels, 2);
  EXPECT_EQ(ReadFloats(*doc_), Doubled(states_[1]));
  ASSERT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(ReadFloats(*doc_), Doubled(states_[0]));
  for (std::size_t i = 1; i < states_.size(); ++i) {
    ASSERT_EQ(Undo(*doc_), 0u) << i;
    EXPECT_EQ(ReadFloats(*doc_), Doubled(states_[i])) << "state " << i;
  }
  EXPECT_EQ(Undo(*doc_), 0u);  // nothing left: changes nothing
  EXPECT_EQ(ReadFloats(*doc_), Doubled(states_.back()));
}

TEST_F(ChannelConversionTest, GainsAreCopiedSourcesSharedAndViewsNeverNest) {
  ASSERT_EQ(ConvertToStereo(*doc_), 0u);
  std::set<const SoundSource*> sources;
  std::size_t gains = 0;
  for (const SegmentList* list : AllLists(*doc_))
    for (const Segment* s = list->first(); s; s = s->next) {
      ASSERT_EQ(s->source->channels(), 2);
      if (const ViewSource* view = AsViewSource(s->source.get())) {
        EXPECT_EQ(view->kind(), SourceKind::StereoView);
        EXPECT_EQ(AsViewSource(view->inner()), nullptr) << "a view of a view";
      }
      sources.insert(s->source.get());
      if (s->gain) {
        ++gains;
        EXPECT_EQ(s->gain->gain1, s->gain->gain0);
        EXPECT_EQ(s->gain->offset1, s->gain->offset0);
      }
    }
  EXPECT_GT(gains, 0u);
  // One stereo source each for the mono file, the silence and the view's
  // stereo channel, however many segments read them.
  EXPECT_EQ(sources.size(), 3u);
}

TEST_F(ChannelConversionTest, TellsTheEditorAndTheFrame) {
  ASSERT_EQ(ConvertToStereo(*doc_), 0u);
  EXPECT_TRUE(doc_->format_changed);
  EXPECT_EQ(editor().channels(), 2);
  EXPECT_EQ(GetChannelMask(*doc_), 3u);
  ASSERT_FALSE(frame_.notices().empty());
  EXPECT_NE(frame_.last_flags() & doc_change::kFormat, 0u);
}

TEST_F(ChannelConversionTest, RevertGivesBackTheMonoDocumentBitForBit) {
  const auto before = Shapes(*doc_);
  StereoConversion conversion;
  ASSERT_EQ(conversion.Prepare(*doc_), 0u);
  EXPECT_TRUE(SameShapes(Shapes(*doc_), before)) << "Prepare changed the document";
  EXPECT_EQ(doc_->channels, 1);
  conversion.Commit();
  EXPECT_EQ(doc_->channels, 2);
  EXPECT_FALSE(SameShapes(Shapes(*doc_), before));
  conversion.Revert();
  EXPECT_EQ(doc_->channels, 1);
  EXPECT_FALSE(doc_->format_changed);
  EXPECT_TRUE(SameShapes(Shapes(*doc_), before));
  EXPECT_EQ(ReadFloats(*doc_), states_[1]);
  EXPECT_TRUE(editor().log().empty());
  EXPECT_TRUE(frame_.notices().empty());
}

TEST_F(ChannelConversionTest, ConvertedHistoryWritesItsWorkspaceRecords) {
  ASSERT_EQ(ConvertToStereo(*doc_), 0u);
  testing::NumberingWriter writer;
  for (const SegmentList* list : AllLists(*doc_))
    for (const Segment* s = list->first(); s; s = s->next) writer.sources.Add(s->source.get());
  ASSERT_TRUE(writer.NumberNodes(*doc_));
  // Views after the sources they read: every "sf2 " names a known number.
  EXPECT_EQ(writer.sources.SerializeAll(writer), 0u);
  for (std::size_t i = 0; i < doc_->history.size(); ++i)
    EXPECT_EQ(doc_->history.at(i).Serialize(writer), 0u) << "record " << i;
}

TEST(ChannelConversion, StereoDocumentIsLeftAlone) {
  SegmentList list;
  list.PushBack(testing::NewSegment(
      testing::MakeRandomSource(testing::MakeTempDir("conversion") + "/s.raw", sample_code::kS16, 2, 100, 3), 0,
      100, 0));
  DocumentPtr doc(testing::MakeDocument(std::move(list), 100, 2));
  const auto before = testing::ShapeOf(doc->segments);
  EXPECT_EQ(ConvertToStereo(*doc), 0u);
  EXPECT_EQ(doc->channels, 2);
  EXPECT_FALSE(doc->format_changed);
  EXPECT_TRUE(testing::SameShapes(testing::ShapeOf(doc->segments), before));
}

}  // namespace
}  // namespace tidemark
