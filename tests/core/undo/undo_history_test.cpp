// The undo history with edit records: the position, the counter rules and
// their notices, recording switched off, failed steps, names, discarded
// records, and the "hist" chunks every record kind writes.
#include "core/undo/undo_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/io/chunk_writer.h"
#include "core/core_options.h"
#include "core/document/core_text.h"
#include "core/undo/envelope_commands.h"
#include "core/undo/marker_commands.h"
#include "core/document/internal/segment_edit.h"
#include "core/sources/source_list.h"
#include "core/sources/source_numbering.h"
#include "platform/error_numbers.h"
#include "platform/headless_editor_window.h"
#include "platform/headless_main_frame.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"
#include "tests/core/numbering_writer.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::DocumentPtr;
using testing::NewSegment;

constexpr std::uint32_t kFrames = 10000;

class UndoHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("undo");
    source_ = testing::MakeRandomSource(dir_ + "/a.raw", sample_code::kS16, 2, kFrames, 7);
    SegmentList list;
    list.PushBack(NewSegment(source_, 0, kFrames, 0));
    doc_.reset(testing::MakeDocument(std::move(list), kFrames));
    ASSERT_TRUE(doc_);
    SetMainFrame(&frame_);
  }
  void TearDown() override {
    SetMainFrame(nullptr);
    MutableCoreOptions().undo_recording_disabled = false;
  }

  HeadlessEditorWindow& editor() { return *static_cast<HeadlessEditorWindow*>(doc_->editor.get()); }

  // Replaces [start, start + old) by `segments` (relative) of `length` frames and records it.
  void Edit(std::uint32_t start, std::uint32_t old, std::uint32_t length, SegmentList segments = {},
            bool markers = true, const char* name = "edit") {
    EditRequest r;
    r.start = start;
    r.old_length = old;
    r.new_length = length;
    r.segments = std::move(segments);
    r.markers_and_envelope = markers;
    ASSERT_EQ(ReplaceRange(*doc_, r), 0u);
    RecordEdit(*doc_, r, name);
    EXPECT_TRUE(r.segments.empty() && r.markers.empty() && r.envelope.empty());
  }

  std::uint32_t LastFlags() const { return frame_.last_flags(); }

  std::string dir_;
  SourceRef source_;
  DocumentPtr doc_;
  HeadlessMainFrame frame_;
};

// The counters, the flags the frame hears and the exact undo and redo of
// edits, markers and envelope points are checked step by step against a
// model in undo_model_test; here the rest of what a step does.
TEST_F(UndoHistoryTest, StepsRedrawEmptyStepsAreQuietAndFormatChangesCount) {
  EXPECT_FALSE(CanUndo(*doc_));
  EXPECT_FALSE(CanRedo(*doc_));
  EXPECT_TRUE(IsDocumentSaved(*doc_));
  Edit(100, 100, 0);
  const std::uint32_t redraws = editor().redraw_count();
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(editor().redraw_count(), redraws + 1);

  // Nothing left to undo or redo: nothing happens.
  const std::size_t notices = frame_.notices().size();
  EXPECT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(frame_.notices().size(), notices);
  ASSERT_EQ(Redo(*doc_), 0u);
  const std::size_t after_redo = frame_.notices().size();
  EXPECT_EQ(Redo(*doc_), 0u);
  EXPECT_EQ(frame_.notices().size(), after_redo);
  EXPECT_EQ(doc_->length, kFrames - 100);

  MarkDocumentSaved(*doc_);
  EXPECT_TRUE(IsDocumentSaved(*doc_));
  doc_->format_changed = true;
  EXPECT_FALSE(IsDocumentSaved(*doc_));
  MarkDocumentSaved(*doc_);
  EXPECT_FALSE(doc_->format_changed);
  EXPECT_TRUE(IsDocumentSaved(*doc_));
}

TEST_F(UndoHistoryTest, RecordingSwitchedOffKeepsNoHistory) {
  Edit(0, 10, 0);
  ASSERT_TRUE(CanUndo(*doc_));
  MutableCoreOptions().undo_recording_disabled = true;
  // Material pasted from a second source must go with the edit that is not recorded.
  SourceRef other = testing::MakeRandomSource(dir_ + "/b.raw", sample_code::kS16, 2, 500, 8);
  const std::size_t open = OpenFileSourceCount();
  {
    SegmentList piece;
    piece.PushBack(NewSegment(other, 0, 500, 0));
    Edit(0, 0, 500, std::move(piece));
  }
  EXPECT_FALSE(CanUndo(*doc_));
  EXPECT_TRUE(doc_->history.empty());
  Edit(0, 500, 0);  // deletes the pasted material: its inverse is released
  Edit(0, 0, 20);
  EXPECT_TRUE(doc_->history.empty());
  EXPECT_FALSE(CanUndo(*doc_));
  EXPECT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(doc_->length, kFrames - 10 + 20);
  EXPECT_EQ(doc_->modification_counter, 4u);
  other.reset();
  EXPECT_EQ(OpenFileSourceCount(), open - 1);

  // Marker and envelope changes are not kept either, but still counted.
  MarkerList list;
  list.PushFrontAdopt(NewMarker("m", "", 5));
  ASSERT_EQ(AddMarkers(*doc_, std::move(list)), 0u);
  ASSERT_EQ(AddEnvelopePoint(*doc_, 5), 0u);
  EXPECT_TRUE(doc_->history.empty());
  EXPECT_EQ(doc_->marker_change_counter, 1u);
}

TEST_F(UndoHistoryTest, AFailedStepLeavesRecordAndPositionAsTheyWere) {
  Edit(8000, 1000, 0);  // the inverse inserts at 8000
  // A change made behind the history's back: the record no longer fits.
  EditRequest cut;
  cut.old_length = 5000;
  ASSERT_EQ(ReplaceRange(*doc_, cut), 0u);
  frame_.ClearNotices();
  const std::uint32_t counter = doc_->modification_counter;
  EXPECT_EQ(Undo(*doc_), err::kSizeLimit);
  EXPECT_TRUE(CanUndo(*doc_));
  EXPECT_FALSE(CanRedo(*doc_));
  EXPECT_EQ(doc_->modification_counter, counter);
  EXPECT_TRUE(frame_.notices().empty());
  EXPECT_EQ(doc_->length, kFrames - 1000 - 5000);
  // Put the document back; now the same record applies.
  ASSERT_EQ(ReplaceRange(*doc_, cut), 0u);
  EXPECT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(doc_->length, kFrames);
  EXPECT_TRUE(CanRedo(*doc_));

  // A marker change whose node was taken out of the list behind its back.
  MarkerList list;
  Marker* m = NewMarker("m", "", 40);
  list.PushFrontAdopt(m);
  ASSERT_EQ(AddMarkers(*doc_, std::move(list)), 0u);  // 'D' m
  EXPECT_FALSE(CanRedo(*doc_));
  doc_->markers.UnlinkAfter(nullptr)->Release();
  const std::size_t messages = editor().log().size();
  EXPECT_EQ(Undo(*doc_), err::kSizeLimit);
  EXPECT_EQ(doc_->marker_change_counter, 1u);
  EXPECT_EQ(editor().log().size(), messages);
  EXPECT_EQ(doc_->history.redo_count(), 0u);
  m->AddRef();
  doc_->markers.PushFrontAdopt(m);
  EXPECT_EQ(Undo(*doc_), 0u);
  EXPECT_TRUE(doc_->markers.empty());
  EXPECT_EQ(doc_->history.redo_count(), 1u);
}

// A frame that looks at the history whenever it is told of a change.
class PeekingFrame final : public Window {
 public:
  struct Seen {
    bool can_undo, can_redo;
    bool operator==(const Seen&) const = default;
  };
  std::vector<Seen> seen;

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam, MsgParam lparam) override {
    if (msg == frame_msg::kDocumentChanged) {
      const auto& doc = *reinterpret_cast<const SoundDocument*>(lparam);
      seen.push_back({CanUndo(doc), CanRedo(doc)});
    }
    return 1;
  }
};

TEST_F(UndoHistoryTest, TheFrameSeesTheHistoryAsItWillBeAfterTheStep) {
  PeekingFrame peeking;
  SetMainFrame(&peeking);
  Edit(0, 10, 0);
  MarkerList list;
  list.PushFrontAdopt(NewMarker("m", "", 1));
  ASSERT_EQ(AddMarkers(*doc_, std::move(list)), 0u);
  ASSERT_EQ(Undo(*doc_), 0u);
  ASSERT_EQ(Undo(*doc_), 0u);
  ASSERT_EQ(Redo(*doc_), 0u);
  using Seen = PeekingFrame::Seen;
  EXPECT_EQ(peeking.seen, (std::vector<Seen>{{true, false}, {true, false}, {true, true}, {false, true}, {true, true}}));
  SetMainFrame(&frame_);
}

std::string TestText(CoreText id) {
  switch (id) {
    case CoreText::kUndoAdding:
      return "Add";
    case CoreText::kUndoDeleting:
      return "Delete";
    case CoreText::kUndoChanging:
      return "Change";
    default:
      return "?";
  }
}

TEST_F(UndoHistoryTest, NamesComeFromTheEditOrTheNameLetter) {
  SetCoreTextLookup(&TestText);
  std::string name;
  // 63 units and a character of two: the pair would not fit, so it goes.
  const std::string long_name = std::string(63, 'x') + "\xF0\x9F\x98\x80" + "tail";
  Edit(0, 1, 0, {}, true, long_name.c_str());
  ASSERT_EQ(doc_->history.undo_record()->GetName(&name), 0u);
  EXPECT_EQ(name, std::string(63, 'x'));
  const std::string wide = std::string(62, 'y') + "\xF0\x9F\x98\x80" + "z";
  Edit(0, 1, 0, {}, true, wide.c_str());
  ASSERT_EQ(doc_->history.undo_record()->GetName(&name), 0u);
  EXPECT_EQ(name, std::string(62, 'y') + "\xF0\x9F\x98\x80");

  MarkerList list;
  Marker* m = NewMarker("m", "", 5);
  list.PushFrontAdopt(m);
  ASSERT_EQ(AddMarkers(*doc_, std::move(list)), 0u);
  ASSERT_EQ(doc_->history.undo_record()->GetName(&name), 0u);
  EXPECT_EQ(name, "Add");
  ASSERT_EQ(ChangeMarker(*doc_, m, 9, "m", ""), 0u);
  ASSERT_EQ(doc_->history.undo_record()->GetName(&name), 0u);
  EXPECT_EQ(name, "Change");
  Marker* const gone[] = {doc_->markers.first()};
  ASSERT_EQ(DeleteMarkers(*doc_, gone), 0u);
  ASSERT_EQ(doc_->history.undo_record()->GetName(&name), 0u);
  EXPECT_EQ(name, "Delete");
  // Undoing keeps the name though the operation flips.
  ASSERT_EQ(Undo(*doc_), 0u);
  ASSERT_EQ(doc_->history.redo_record()->GetName(&name), 0u);
  EXPECT_EQ(name, "Delete");
  SetCoreTextLookup(nullptr);

  // Shapes that are no change at all are refused.
  std::unique_ptr<UndoRecord> record;
  Marker* const one[] = {m};
  Marker* const pair[] = {m, m};
  EXPECT_EQ(NewMarkerChangeRecord(ChangeWord('X', 'a'), one, &record), err::kSizeLimit);
  EXPECT_EQ(NewMarkerChangeRecord(ChangeWord('A', 'q'), one, &record), err::kSizeLimit);
  EXPECT_EQ(NewMarkerChangeRecord(ChangeWord('R', 'r'), one, &record), err::kSizeLimit);
  EXPECT_EQ(NewMarkerChangeRecord(ChangeWord('M', 'r'), pair, &record), err::kSizeLimit);
  EnvelopePoint* p = NewEnvelopePoint(0, 1);
  EnvelopePoint* const points[] = {p, p};
  EXPECT_EQ(NewEnvelopeChangeRecord(ChangeWord('M', 'r'), points, &record), err::kSizeLimit);
  EXPECT_FALSE(record);
  EXPECT_EQ(p->ref_count(), 1u);
  p->Release();
}

TEST_F(UndoHistoryTest, ANewChangeDestroysTheUndoneRecordsAndWhatTheyHold) {
  SourceRef other = testing::MakeRandomSource(dir_ + "/c.raw", sample_code::kS16, 2, 300, 9);
  SoundSource* raw = other.get();
  const std::size_t open = OpenFileSourceCount();
  SegmentList piece;
  piece.PushBack(NewSegment(other, 0, 300, 0));
  other.reset();
  Edit(100, 0, 300, std::move(piece));
  Edit(0, 0, 10);
  ASSERT_EQ(Undo(*doc_), 0u);
  ASSERT_EQ(Undo(*doc_), 0u);  // the paste's record now holds the material to paste again
  EXPECT_EQ(OpenFileSourceCount(), open);
  EXPECT_EQ(doc_->history.redo_count(), 2u);
  const std::uint32_t redo = raw->channels();  // still alive
  EXPECT_EQ(redo, 2u);

  Edit(0, 5, 0);
  EXPECT_EQ(doc_->history.size(), 1u);
  EXPECT_EQ(doc_->history.redo_count(), 0u);
  EXPECT_EQ(OpenFileSourceCount(), open - 1);
  ClearUndoHistory(*doc_);
  EXPECT_FALSE(CanUndo(*doc_));
  EXPECT_FALSE(CanRedo(*doc_));
}

// A history of every record kind: marker add, delete, move and replace, an
// envelope add, a gain edit, a cut holding nodes and an undone point deletion,
// with its nodes numbered the way a workspace is written.
class HistChunkTest : public UndoHistoryTest {
 protected:
  void SetUp() override {
    UndoHistoryTest::SetUp();
    m0 = NewMarker("m0", "", 100);
    m1 = NewMarker("m1", "", 200);
    m2 = NewMarker("m2", "note", 300);
    doc_->markers.PushFrontAdopt(m2);
    doc_->markers.PushFrontAdopt(m1);
    doc_->markers.PushFrontAdopt(m0);
    p0 = NewEnvelopePoint(50, 0.5f);
    doc_->envelope.PushFrontAdopt(p0);

    MarkerList adding;
    x = NewMarker("x", "", 400);
    adding.PushFrontAdopt(x);
    ASSERT_EQ(AddMarkers(*doc_, std::move(adding)), 0u);  // 'D' x
    Marker* const gone[] = {m1};
    ASSERT_EQ(DeleteMarkers(*doc_, gone), 0u);  // 'A' m1
    ASSERT_EQ(ChangeMarker(*doc_, m0, 150, "m0", ""), 0u);  // 'M' m0 + detached
    ASSERT_EQ(ChangeMarker(*doc_, m2, 300, "z", "note"), 0u);  // 'R' new + m2
    m2_new = doc_->markers.first()->next;
    ASSERT_EQ(m2_new->name, "z");
    ASSERT_EQ(AddEnvelopePoint(*doc_, 380, &p1), 0u);  // 'D' p1
    // A cut with gain on the piece it removes, holding x and p1.
    {
      EditRequest gain;
      gain.start = 360;
      gain.old_length = 40;
      gain.new_length = 40;
      ASSERT_EQ(CopyRange(doc_->segments, 360, 40, &gain.segments), 0u);
      gain.segments.first()->gain = std::make_unique<SegmentGain>(SegmentGain{0.5f, 0.125f, 2.0f, -0.25f});
      ASSERT_EQ(ReplaceRange(*doc_, gain), 0u);
      RecordEdit(*doc_, gain, "Gain");
    }
    Edit(350, 100, 0, {}, true, "Cut");
    ASSERT_EQ(DeleteEnvelopePoint(*doc_, p0), 0u);  // 'A' p0
    ASSERT_EQ(Undo(*doc_), 0u);                     // ... undone: 'D' p0, in front

    for (const Segment* s = doc_->segments.first(); s; s = s->next) writer.sources.Add(s->source.get());
    ASSERT_TRUE(writer.NumberNodes(*doc_));
  }

  Marker *m0 = nullptr, *m1 = nullptr, *m2 = nullptr, *m2_new = nullptr, *x = nullptr;
  EnvelopePoint *p0 = nullptr, *p1 = nullptr;
  testing::NumberingWriter writer;
};

TEST_F(HistChunkTest, NodesAreNumberedInListThenRecordOrder) {
  // The list [m0, z], then per record newest first: p0's record none, the
  // cut x, the gain nothing, the envelope add none, 'R' m2, 'M' the
  // detached node, 'A' m1, 'D' x none.
  ASSERT_EQ(writer.markers.size(), 6u);
  EXPECT_EQ(writer.markers, (std::vector<Marker*>{m0, m2_new, x, m2, writer.markers[4], m1}));
  EXPECT_EQ(writer.markers[4]->position, 100u);  // the detached node carries the old position
  // Envelope: [p0], then the cut holds p1.
  EXPECT_EQ(writer.points, (std::vector<EnvelopePoint*>{p0, p1}));
}

TEST_F(HistChunkTest, RecordsWriteTheirChunksAndReferToNodesByNumber) {
  for (std::size_t i = 0; i < doc_->history.size(); ++i) ASSERT_EQ(doc_->history.at(i).Serialize(writer), 0u);
  testing::ByteReader in(writer.bytes);
  auto change = [&](std::uint8_t kind, char op, char letter, std::uint32_t count) {
    EXPECT_EQ(in.Code(), "hist");
    EXPECT_EQ(in.U8(), kind);
    EXPECT_EQ(in.U8(), 0);
    EXPECT_EQ(in.U16(), ChangeWord(op, letter));
    EXPECT_EQ(in.U32(), count);
  };
  // An edit: its flag, then start, old and new length and the numbers of
  // pieces, markers, points and name units.
  auto edit = [&](std::uint8_t flag, std::initializer_list<std::uint32_t> words) {
    EXPECT_EQ(in.Code(), "hist");
    EXPECT_EQ(in.U8(), 0);
    EXPECT_EQ(in.U8(), flag);
    in.Words(words);
  };
  auto piece = [&](std::initializer_list<std::uint32_t> words, SegmentGain g) {  // length, position, offset, source
    EXPECT_EQ(in.Code(), "sblk");
    in.Words(words);
    for (const float v : {g.gain0, g.gain1, g.offset0, g.offset1}) EXPECT_EQ(in.F32(), v);
  };
  auto name = [&](std::u16string_view text) {
    EXPECT_EQ(in.Code(), "wtxt");
    for (const char16_t c : text) EXPECT_EQ(in.U16(), c);
  };
  change(2, 'D', 'd', 1);  // the undone point deletion: p0 is in the list again
  in.Words({0});
  // The cut: [350, 450) removed; the inverse inserts 100 frames at 350, in
  // pieces before the gain stretch, the stretch and after it.
  edit(1, {350, 0, 100, 3, 1, 1, 3});
  piece({10, 0, 350, 0}, {});
  piece({40, 10, 360, 0}, {0.5f, 0.125f, 2.0f, -0.25f});
  piece({50, 50, 400, 0}, {});
  name(u"Cut");
  // The gain: same length, no markers flag, one piece without gain back.
  edit(0, {360, 40, 40, 1, 0, 0, 4});
  piece({40, 0, 360, 0}, {});
  name(u"Gain");
  change(2, 'D', 'a', 1);  // the point add: p1 went with the cut, number 1
  in.Words({1});
  change(1, 'R', 'r', 2);  // the new node is in the list (number 1); m2 is next
  in.Words({1});
  change(1, 'M', 'r', 2);  // m0 in the list (number 0); the detached one is next
  in.Words({0});
  change(1, 'A', 'd', 1);  // m1 is the next node
  change(1, 'D', 'a', 1);  // x by number: the cut holds it
  in.Words({2});
  EXPECT_TRUE(in.done());

  // Without node numbers a record that refers to nodes cannot be written.
  MemoryChunkWriter bare;
  EXPECT_EQ(doc_->history.at(0).Serialize(bare), err::kSizeLimit);
  EXPECT_EQ(doc_->history.at(1).Serialize(bare), err::kSizeLimit);  // no source numbers either
}

}  // namespace
}  // namespace tidemark
