// Creating and destroying documents, the open list and untitled numbers, the
// modification counter's notices, and the messages ReplaceRange sends to the
// editor window.
#include "core/document/sound_document.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/document/internal/segment_edit.h"
#include "core/sources/silence_source.h"
#include "core/sources/source_list.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::DocumentPtr;
using testing::NewSegment;

struct Received {
  std::uint32_t msg;
  MsgParam w, l;
  bool operator==(const Received&) const = default;
};

// A window that keeps what it is sent and answers the selection.
class RecordingWindow : public Window {
 public:
  std::vector<Received> log;
  std::uint32_t from = 0, to = 0;

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam w, MsgParam l) override {
    log.push_back({msg, w, l});
    if (msg == editor_msg::kSetSelection) from = static_cast<std::uint32_t>(w), to = static_cast<std::uint32_t>(l);
    if (msg == editor_msg::kGetSelection) {
      *reinterpret_cast<std::uint32_t*>(w) = from;
      *reinterpret_cast<std::uint32_t*>(l) = to;
    }
    return 0;
  }
};

RecordingWindow* last_editor = nullptr;
std::unique_ptr<Window> MakeRecordingEditor(SoundDocument&) {
  auto w = std::make_unique<RecordingWindow>();
  last_editor = w.get();
  return w;
}
std::unique_ptr<Window> MakeNoEditor(SoundDocument&) { return nullptr; }

class SoundDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing::MakeTempDir("doc"); }
  void TearDown() override {
    SetEditorWindowFactory(nullptr);
    SetMainFrame(nullptr);
    EXPECT_EQ(OpenDocumentCount(), 0u) << "a test left a document open";
    EXPECT_EQ(OpenFileSourceCount(), 0u) << "a test leaked a file source";
  }
  static DocumentDescription Description(std::uint32_t length, std::uint16_t channels = 2) {
    DocumentDescription d;
    d.format.channels = channels;
    d.length = length;
    return d;
  }
  std::string dir_;
};

TEST_F(SoundDocumentTest, CreateRefusesBadInputAndKeepsNothing) {
  SoundDocument* doc = reinterpret_cast<SoundDocument*>(1);
  EXPECT_EQ(CreateDocument(std::nullopt, {}, Description(kMaxFrames + 1), &doc), err::kSizeLimit);
  EXPECT_EQ(doc, nullptr);
  EXPECT_EQ(CreateDocument(std::nullopt, {}, Description(10, 3), &doc), err::kSizeLimit);
  {
    SegmentList past_the_end;
    past_the_end.PushBack(NewSegment(MakeSilenceSource(44100, 2), 5, 10, 0));
    EXPECT_EQ(CreateDocument(std::nullopt, std::move(past_the_end), Description(14), &doc), err::kSizeLimit);
    SegmentList wrong_channels;
    wrong_channels.PushBack(NewSegment(MakeSilenceSource(44100, 1), 0, 10, 0));
    EXPECT_EQ(CreateDocument(std::nullopt, std::move(wrong_channels), Description(10), &doc), err::kSizeLimit);
  }
  EXPECT_EQ(CreateDocument(std::string(PATH_MAX, 'x'), {}, Description(10), &doc), err::kCannotOpen);
  EXPECT_EQ(CreateDocument(std::string(), {}, Description(10), &doc), err::kCannotOpen);

  // No editor window: 3, and the owned working file handed in goes away.
  const std::string owned = dir_ + "/wav0001.tmp";
  testing::WriteWholeFile(owned, std::vector<std::uint8_t>(400));
  SourceRef source;
  ASSERT_EQ(OpenFileSource(owned, 0, 44100, sample_code::kS16, 2, 100, kSourceOwnsFile, nullptr, &source), 0u);
  SegmentList list;
  list.PushBack(NewSegment(std::move(source), 0, 100, 0));
  SetEditorWindowFactory(&MakeNoEditor);
  EXPECT_EQ(CreateDocument(std::nullopt, std::move(list), Description(100), &doc), err::kWindowCreate);
  EXPECT_EQ(doc, nullptr);
  EXPECT_EQ(OpenDocumentCount(), 0u);
  EXPECT_FALSE(testing::FileExists(owned));
}

TEST_F(SoundDocumentTest, OpenListUntitledNumbersPathsAndMetadata) {
  DocumentPtr first(testing::MakeDocument({}, 10));
  DocumentPtr second(testing::MakeDocument({}, 10));
  EXPECT_EQ(first->untitled_number, 1u);
  EXPECT_EQ(second->untitled_number, 2u);
  EXPECT_EQ(FirstDocument(), second.get());
  EXPECT_EQ(second->next, first.get());
  EXPECT_EQ(OpenDocumentCount(), 2u);
  // A new document names the program as its software and has no path.
  EXPECT_EQ(first->metadata[InfoText::Software], std::string(kSoftwareStamp));
  EXPECT_FALSE(first->metadata[InfoText::Name]);
  EXPECT_FALSE(first->path);
  EXPECT_EQ(first->view.word5, 3u);

  // An opened file keeps its texts (no stamp) and its path in absolute form,
  // or in the second slot when asked.
  DocumentDescription opened = Description(10);
  opened.metadata.emplace();
  (*opened.metadata)[InfoText::Artist] = "someone";
  SoundDocument* raw = nullptr;
  ASSERT_EQ(CreateDocument(dir_ + "/sub/../song.wav", {}, std::move(opened), &raw), 0u);
  DocumentPtr with_path(raw);
  EXPECT_EQ(with_path->path, dir_ + "/song.wav");
  EXPECT_FALSE(with_path->second_path);
  EXPECT_EQ(with_path->untitled_number, 0u);
  EXPECT_FALSE(with_path->metadata[InfoText::Software]);
  EXPECT_EQ(with_path->metadata[InfoText::Artist], "someone");
  DocumentDescription second_slot = Description(10);
  second_slot.path_is_second = true;
  ASSERT_EQ(CreateDocument(dir_ + "/song.wav", {}, std::move(second_slot), &raw), 0u);
  DocumentPtr kept_aside(raw);
  EXPECT_FALSE(kept_aside->path);
  EXPECT_EQ(kept_aside->second_path, dir_ + "/song.wav");
  EXPECT_EQ(kept_aside->untitled_number, 0u);

  // Closing from the middle of the list keeps the rest linked.
  DestroyDocument(second.release());
  EXPECT_EQ(OpenDocumentCount(), 3u);
  std::vector<SoundDocument*> open;
  for (SoundDocument* d = FirstDocument(); d; d = d->next) open.push_back(d);
  EXPECT_EQ(open, (std::vector<SoundDocument*>{kept_aside.get(), with_path.get(), first.get()}));
  DocumentPtr third(testing::MakeDocument({}, 10));
  EXPECT_EQ(third->untitled_number, 3u);  // counting goes on while documents are open
  first.reset();
  third.reset();
  with_path.reset();
  kept_aside.reset();
  EXPECT_EQ(FirstDocument(), nullptr);
  DocumentPtr again(testing::MakeDocument({}, 10));
  EXPECT_EQ(again->untitled_number, 1u);  // and restarts once none is open
}

TEST_F(SoundDocumentTest, DestroyingTheLastHolderDeletesOwnedWorkingFiles) {
  const std::string owned = dir_ + "/wav00a1.tmp";
  testing::WriteWholeFile(owned, std::vector<std::uint8_t>(4000));
  SourceRef source;
  ASSERT_EQ(OpenFileSource(owned, 0, 44100, sample_code::kS16, 2, 1000, kSourceOwnsFile, nullptr, &source), 0u);
  SegmentList list;
  list.PushBack(NewSegment(source, 0, 1000, 0));
  DocumentPtr doc(testing::MakeDocument(std::move(list), 1000));
  source.reset();
  // A cut keeps the removed piece alive in its inverse.
  EditRequest cut;
  cut.old_length = 1000;
  ASSERT_EQ(ReplaceRange(*doc, cut), 0u);
  EXPECT_TRUE(doc->segments.empty());
  EXPECT_TRUE(testing::FileExists(owned));
  doc.reset();
  EXPECT_TRUE(testing::FileExists(owned));
  cut.segments.Clear();
  EXPECT_FALSE(testing::FileExists(owned));
}

TEST_F(SoundDocumentTest, EditorWindowMessagesAndRestoredState) {
  SetEditorWindowFactory(&MakeRecordingEditor);
  DocumentDescription d = Description(1000);
  d.selection_from = 10;
  d.selection_to = 20;
  d.view = DocumentViewState{1, 2, 3, 4, 5};
  SoundDocument* raw = nullptr;
  ASSERT_EQ(CreateDocument(std::nullopt, {}, std::move(d), &raw), 0u);
  DocumentPtr doc(raw);
  RecordingWindow* editor = last_editor;
  EXPECT_EQ(doc->view, (DocumentViewState{1, 2, 3, 4, 5}));
  std::uint32_t from = 0, to = 0;
  GetSelection(*doc, &from, &to);
  EXPECT_EQ(from, 10u);
  EXPECT_EQ(to, 20u);

  editor->log.clear();
  EditRequest r;
  r.start = 100;
  r.old_length = 50;
  r.new_length = 70;
  ASSERT_EQ(ReplaceRange(*doc, r), 0u);
  ASSERT_EQ(editor->log.size(), 2u);
  EXPECT_EQ(editor->log[0], (Received{editor_msg::kSetSelection, 100, 150}));
  EXPECT_EQ(editor->log[1], (Received{editor_msg::kContentReplaced, 50, 70}));

  // A refused request sends nothing.
  editor->log.clear();
  EditRequest bad;
  bad.start = 2000;
  EXPECT_EQ(ReplaceRange(*doc, bad), err::kSizeLimit);
  EXPECT_TRUE(editor->log.empty());
}

TEST_F(SoundDocumentTest, ModificationCounterNotices) {
  RecordingWindow frame;
  SetMainFrame(&frame);
  DocumentPtr doc(testing::MakeDocument({}, 10));
  auto flags = [&] {
    std::vector<MsgParam> v;
    for (const Received& r : frame.log) {
      EXPECT_EQ(r.msg, frame_msg::kDocumentChanged);
      EXPECT_EQ(r.l, reinterpret_cast<MsgParam>(doc.get()));
      v.push_back(r.w);
    }
    frame.log.clear();
    return v;
  };
  CountEdit(*doc);
  CountEdit(*doc);
  EXPECT_EQ(flags(), (std::vector<MsgParam>{80, 16}));
  EXPECT_EQ(doc->modification_counter, 2u);

  // Saved state lost in discarded redo steps: the counter sticks.
  doc->modification_counter = static_cast<std::uint32_t>(-1);
  CountEdit(*doc);
  EXPECT_EQ(doc->modification_counter, 0x80000000u);
  CountEdit(*doc);
  EXPECT_EQ(doc->modification_counter, 0x80000000u);
  EXPECT_EQ(flags(), (std::vector<MsgParam>{16, 16}));

  // Only markers changed: already modified, so no saved-state flag.
  doc->modification_counter = 0;
  doc->marker_change_counter = 1;
  CountEdit(*doc);
  EXPECT_EQ(flags(), (std::vector<MsgParam>{16}));
}

}  // namespace
}  // namespace tidemark
