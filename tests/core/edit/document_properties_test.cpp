// The document properties: format figures, rate relabelling, the saved state
// with tag changes, the selection clamping and the channel selection.
#include "core/edit/document_properties.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/undo/marker_commands.h"
#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"

namespace tidemark {
namespace {

class DocumentPropertiesTest : public testing::DocumentWithFrameTest<44100> {
 protected:
  std::pair<std::uint32_t, std::uint32_t> Selection() {
    return {editor().selection_from(), editor().selection_to()};
  }
  using Range = std::pair<std::uint32_t, std::uint32_t>;
};

TEST_F(DocumentPropertiesTest, FormatFiguresAndRateRelabelling) {
  doc_->code = sample_code::kS24;
  EXPECT_EQ(BitsPerSample(*doc_), 24u);
  doc_->code = sample_code::kDoubleBE;
  EXPECT_EQ(BitsPerSample(*doc_), 64u);
  EXPECT_EQ(Channels(*doc_), 2);
  EXPECT_DOUBLE_EQ(LengthSeconds(*doc_), 1.0);
  doc_->kind = PcmFileKind::Wave;
  doc_->code = sample_code::kS16;
  EXPECT_EQ(PcmFileSample(*doc_), "Wave16");
  ASSERT_EQ(SetPcmFileSample(*doc_, "AIFF24"), 0u);
  EXPECT_EQ(doc_->kind, PcmFileKind::AIFF);
  EXPECT_EQ(doc_->code, sample_code::kS24BE);  // normalised for the kind
  EXPECT_EQ(SetPcmFileSample(*doc_, "nonsense"), err::kSizeLimit);

  EXPECT_TRUE(IsSaved(*doc_));
  frame_.ClearNotices();
  EXPECT_EQ(SetSampleRate(*doc_, 3999), err::kUnsupportedFormat);
  EXPECT_EQ(SetSampleRate(*doc_, 384001), err::kUnsupportedFormat);
  ASSERT_EQ(SetSampleRate(*doc_, 22050), 0u);
  EXPECT_EQ(doc_->rate, 22050u);
  EXPECT_EQ(doc_->length, 44100u);  // relabelled, not resampled
  EXPECT_DOUBLE_EQ(LengthSeconds(*doc_), 2.0);
  EXPECT_TRUE(doc_->format_changed);
  EXPECT_FALSE(IsSaved(*doc_));
  EXPECT_EQ(frame_.last_flags() & doc_change::kFormat, doc_change::kFormat);
  MarkDocumentSaved(*doc_);
  EXPECT_TRUE(IsSaved(*doc_));
}

TEST_F(DocumentPropertiesTest, SavedCountsEditsMarkersAndTags) {
  ASSERT_TRUE(IsSaved(*doc_));
  SetDocumentTag(*doc_, InfoText::Artist, std::string("someone"));
  EXPECT_TRUE(doc_->metadata_changed);
  EXPECT_FALSE(IsSaved(*doc_));
  EXPECT_EQ(frame_.last_flags(), doc_change::kSavedState);
  EXPECT_EQ((*doc_).metadata[InfoText::Artist], std::optional<std::string>("someone"));
  doc_->metadata_changed = false;
  frame_.ClearNotices();
  SetDocumentTag(*doc_, InfoText::Artist, std::string("someone"));  // no change
  EXPECT_FALSE(doc_->metadata_changed);
  EXPECT_TRUE(frame_.notices().empty());
  SetDocumentTag(*doc_, InfoText::Artist, std::string());  // empty removes it
  EXPECT_FALSE(doc_->metadata[InfoText::Artist]);
  EXPECT_TRUE(doc_->metadata_changed);
  doc_->metadata_changed = false;

  MarkerList list;
  list.PushFrontAdopt(NewMarker("m", "", 10));
  ASSERT_EQ(AddMarkers(*doc_, std::move(list)), 0u);
  EXPECT_FALSE(IsSaved(*doc_));
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_TRUE(IsSaved(*doc_));
}

TEST_F(DocumentPropertiesTest, SelectionEndsClampAndKeepOrder) {
  ASSERT_EQ(SetSelectionToSeconds(*doc_, 0.5), 0u);
  EXPECT_EQ(Selection(), Range(0, 22050));
  // floor(44100 x 0.25 + 0.5) frames.
  ASSERT_EQ(SetSelectionFromSeconds(*doc_, 0.25 + 0.4 / 44100), 0u);
  EXPECT_EQ(Selection(), Range(11025, 22050));
  ASSERT_EQ(SetSelectionFromSeconds(*doc_, 0.25 + 0.6 / 44100), 0u);
  EXPECT_EQ(Selection(), Range(11026, 22050));
  ASSERT_EQ(SetSelectionFromSeconds(*doc_, 0.75), 0u);  // past the end of the selection
  EXPECT_EQ(Selection(), Range(33075, 33075));
  ASSERT_EQ(SetSelectionToSeconds(*doc_, 0.1), 0u);  // before its start
  EXPECT_EQ(Selection(), Range(4410, 4410));
  ASSERT_EQ(SetSelectionToSeconds(*doc_, 5.0), 0u);  // past the document
  EXPECT_EQ(Selection(), Range(4410, 44100));
  ASSERT_EQ(SetSelectionFromSeconds(*doc_, -3.0), 0u);
  EXPECT_EQ(Selection(), Range(0, 44100));
  ASSERT_EQ(SetSelectionFromSeconds(*doc_, 9.0), 0u);
  EXPECT_EQ(Selection(), Range(44100, 44100));
  ASSERT_EQ(SetSelectionToSeconds(*doc_, -0.001), 0u);  // a negative end selects [0, 0]
  EXPECT_EQ(Selection(), Range(0, 0));
  EXPECT_EQ(SetSelectionToSeconds(*doc_, NAN), err::kSizeLimit);
  SetSelection(*doc_, 4410, 22050);
  EXPECT_DOUBLE_EQ(SelectionFromSeconds(*doc_), 0.1);
  EXPECT_DOUBLE_EQ(SelectionToSeconds(*doc_), 0.5);
}

TEST_F(DocumentPropertiesTest, ChannelSelectionIsClippedAndIgnoredForMono) {
  EXPECT_EQ(ChannelSelection(*doc_), 3u);
  SetChannelSelection(*doc_, 6);  // bit 2 is no channel
  EXPECT_EQ(ChannelSelection(*doc_), 2u);
  SetChannelSelection(*doc_, 4);  // nothing left: kept
  EXPECT_EQ(ChannelSelection(*doc_), 2u);
  testing::DocumentPtr mono(testing::MakeDocument(SegmentList(), 100, 1));
  SetChannelSelection(*mono, 2);
  EXPECT_EQ(ChannelSelection(*mono), 1u);
}

}  // namespace
}  // namespace tidemark
