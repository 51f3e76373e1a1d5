// The editing commands over real sources: what each command replaces, that
// undo gives back exactly what was there, the gain and offset compaction,
// the limits and refusals, and the mix paste rendered into working files.
#include "core/edit/edit_commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "core/core_options.h"
#include "core/document/segment_cursor.h"
#include "core/edit/sound_clip.h"
#include "core/edit/stretch_render.h"
#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"
#include "tests/core/document_test_util.h"
#include "tests/core/marker_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::ReadFloats;

using testing::MarkerEntries;
using testing::MarkerEntry;

constexpr std::uint32_t kFrames = 2000;

// Everything a command may change, for exact before/after comparisons.
struct Snapshot {
  std::uint32_t length;
  std::vector<float> samples;
  std::vector<MarkerEntry> markers;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const SoundDocument& d) { return {d.length, ReadFloats(d), MarkerEntries(d.markers)}; }

class EditCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("edit");
    MutableCoreOptions().host_work_folder = testing::MakeTempDir("work");
    MutableCoreOptions().use_system_clipboard = false;
    work_ = MutableCoreOptions().host_work_folder + "/__tide__";
    doc_.reset(MakeSourceDocument("a.raw", kFrames, 2, 1));
    ASSERT_TRUE(doc_);
    SetMainFrame(&frame_);
  }
  void TearDown() override {
    SetMainFrame(nullptr);
    ClearCurrentClip();
    doc_.reset();
    MutableCoreOptions() = CoreOptions();
  }

  SoundDocument* MakeSourceDocument(const std::string& name, std::uint32_t frames, std::uint16_t channels,
                                    std::uint32_t seed, std::uint32_t rate = 44100) {
    SegmentList list;
    testing::MakeRandomSource(dir_ + "/" + name, sample_code::kS16, channels, frames, seed, rate);
    EXPECT_EQ(OpenFileSource(dir_ + "/" + name, 0, rate, sample_code::kS16, channels, frames, 0, &list, nullptr),
              0u);
    return testing::MakeDocument(std::move(list), frames, channels, rate);
  }
  // The clip of [from, to) of a second document of `frames` frames.
  ClipRef ClipOf(std::uint32_t frames, std::uint16_t channels, std::uint32_t seed, std::uint32_t from,
                 std::uint32_t to, std::uint32_t rate = 44100) {
    testing::DocumentPtr other(MakeSourceDocument("clip" + std::to_string(seed) + ".raw", frames, channels, seed,
                                                  rate));
    ClipRef clip;
    EXPECT_EQ(CopyToClip(*other, from, to, &clip), 0u);
    return clip;
  }
  // The samples of the document ClipOf took its clip from.
  std::vector<float> ClipSource(std::uint32_t frames, std::uint32_t seed) {
    testing::DocumentPtr other(MakeSourceDocument("clip" + std::to_string(seed) + ".raw", frames, 2, seed));
    return ReadFloats(*other);
  }
  HeadlessEditorWindow& editor() { return *static_cast<HeadlessEditorWindow*>(doc_->editor.get()); }
  void Select(std::uint32_t from, std::uint32_t to) { SetSelection(*doc_, from, to); }
  void AddMarkers(const std::vector<MarkerEntry>& entries) {
    for (const MarkerEntry& e : entries) InsertMarker(doc_->markers, NewMarker(e.name, e.comment, e.position));
  }
  // Undo of the newest step gives back `before` exactly; redo gives `after`.
  void ExpectUndoRedoExact(const Snapshot& before) {
    const Snapshot after = Take(*doc_);
    ASSERT_EQ(Undo(*doc_), 0u);
    EXPECT_EQ(Take(*doc_), before);
    ASSERT_EQ(Redo(*doc_), 0u);
    EXPECT_EQ(Take(*doc_), after);
  }

  std::string dir_, work_;
  testing::DocumentPtr doc_;
  HeadlessMainFrame frame_;
};

// One command on the original document: it replaces `old_frames` at `at` by
// the clip, or by `silence` frames when it takes no clip.
struct CommandRow {
  const char* what;
  std::uint32_t select_from, select_to;
  std::function<void(SoundDocument&, const SoundClip&)> command;
  std::uint32_t at, old_frames;
  bool clip;
  std::uint32_t silence;
  std::vector<MarkerEntry> markers;
  std::optional<std::pair<std::uint32_t, std::uint32_t>> selection_after = {};
};

TEST_F(EditCommandsTest, CommandsReplaceWhatTheyShouldAndUndoExactly) {
  AddMarkers({{100, "a", ""}, {600, "inside", ""}, {1500, "late", ""}});
  const std::vector<float> original = ReadFloats(*doc_);
  const std::vector<MarkerEntry> markers = MarkerEntries(doc_->markers);
  // The clip: 300 frames with a marker at 10.
  ClipRef clip = ClipOf(1000, 2, 7, 200, 500);
  ASSERT_TRUE(clip);
  ASSERT_EQ(clip->length, 300u);
  clip->markers.PushFrontAdopt(NewMarker("clip", "", 10));
  const std::vector<float> all = ClipSource(1000, 7);
  const std::vector<float> clip_samples(all.begin() + 400, all.begin() + 1000);

  const CommandRow rows[] = {
      // The marker inside goes, later ones move.
      {"delete selection", 500, 700, [](SoundDocument& d, const SoundClip&) { EXPECT_EQ(DeleteSelection(d), 0u); },
       500, 200, false, 0, {{100, "a", ""}, {1300, "late", ""}}, std::pair{500u, 500u}},
      {"silence selection", 550, 650, [](SoundDocument& d, const SoundClip&) { EXPECT_EQ(SilenceSelection(d), 0u); },
       550, 100, false, 100, markers},
      // (44100 x 10 + 500) / 1000 = 441 frames at the position.
      {"insert silence", 0, 0, [](SoundDocument& d, const SoundClip&) { EXPECT_EQ(InsertSilence(d, 300, 10), 0u); },
       300, 0, false, 441, {{100, "a", ""}, {1041, "inside", ""}, {1941, "late", ""}}, std::pair{300u, 741u}},
      {"insert silence past the end", 0, 0,
       [](SoundDocument& d, const SoundClip&) { EXPECT_EQ(InsertSilence(d, 99999, 1), 0u); }, kFrames, 0, false, 44,
       markers},
      {"paste", 0, 0, [](SoundDocument& d, const SoundClip& c) { EXPECT_EQ(Paste(d, 1000, c), 0u); }, 1000, 0, true,
       0, {{100, "a", ""}, {600, "inside", ""}, {1010, "clip", ""}, {1800, "late", ""}}},
      {"paste over the selection", 500, 700,
       [](SoundDocument& d, const SoundClip& c) { EXPECT_EQ(PasteOverSelection(d, c), 0u); }, 500, 200, true, 0,
       {{100, "a", ""}, {510, "clip", ""}, {1600, "late", ""}}},
      // Near the end only the 100 frames left are replaced.
      {"paste overwriting", 0, 0,
       [](SoundDocument& d, const SoundClip& c) { EXPECT_EQ(PasteOverwrite(d, kFrames - 100, c), 0u); },
       kFrames - 100, 100, true, 0, {{100, "a", ""}, {600, "inside", ""}, {1500, "late", ""}, {1910, "clip", ""}}},
  };
  for (const CommandRow& row : rows) {
    SCOPED_TRACE(row.what);
    Select(row.select_from, row.select_to);
    const Snapshot before = Take(*doc_);
    row.command(*doc_, *clip);
    const std::uint32_t new_frames = row.clip ? clip->length : row.silence;
    EXPECT_EQ(editor().last_content_change(), (HeadlessEditorWindow::ContentChange{row.old_frames, new_frames}));
    EXPECT_EQ(doc_->length, kFrames - row.old_frames + new_frames);
    std::vector<float> want(original.begin(), original.begin() + 2 * row.at);
    if (row.clip) want.insert(want.end(), clip_samples.begin(), clip_samples.end());
    want.resize(want.size() + 2 * row.silence, 0.0f);
    want.insert(want.end(), original.begin() + 2 * (row.at + row.old_frames), original.end());
    EXPECT_EQ(ReadFloats(*doc_), want);
    EXPECT_EQ(MarkerEntries(doc_->markers), row.markers);
    if (row.selection_after) {
      EXPECT_EQ(editor().selection_from(), row.selection_after->first);
      EXPECT_EQ(editor().selection_to(), row.selection_after->second);
    }
    EXPECT_EQ(frame_.last_flags() & doc_change::kContent, doc_change::kContent);
    EXPECT_EQ(doc_->modification_counter, 1u);
    ExpectUndoRedoExact(before);
    ASSERT_EQ(Undo(*doc_), 0u);
    EXPECT_EQ(Take(*doc_), before);
  }
  // Without a selection nothing is pasted over.
  Select(800, 800);
  const std::size_t steps = doc_->history.size();
  ASSERT_EQ(PasteOverSelection(*doc_, *clip), 0u);
  EXPECT_EQ(doc_->history.size(), steps);
}

TEST_F(EditCommandsTest, GainZeroMakesAGapAndHalfThenDoubleCompactsAway) {
  const std::vector<float> original = ReadFloats(*doc_);
  ASSERT_EQ(ApplyGain(*doc_, 100, 200, {0.0f, 0.0f}, "gain"), 0u);
  for (const Segment* s = doc_->segments.first(); s; s = s->next)
    EXPECT_TRUE(s->position + s->length <= 100 || s->position >= 300) << s->position;
  std::vector<float> now = ReadFloats(*doc_);
  for (std::size_t i = 200; i < 600; ++i) ASSERT_EQ(now[i], 0.0f);
  ASSERT_EQ(Undo(*doc_), 0u);
  EXPECT_EQ(ReadFloats(*doc_), original);

  ASSERT_EQ(ApplyGain(*doc_, 100, 1000, {0.5f, 0.5f}, "gain"), 0u);
  bool some_gain = false;
  for (const Segment* s = doc_->segments.first(); s; s = s->next) some_gain = some_gain || s->gain != nullptr;
  EXPECT_TRUE(some_gain);
  ASSERT_EQ(ApplyGain(*doc_, 100, 1000, {2.0f, 2.0f}, "gain"), 0u);
  for (const Segment* s = doc_->segments.first(); s; s = s->next) EXPECT_FALSE(s->gain) << s->position;
  EXPECT_EQ(doc_->segments.size(), 1u);  // the pieces merged back
  EXPECT_EQ(ReadFloats(*doc_), original);

  // Masked: channel 1 halved, channel 0 untouched; a length of 0 does nothing.
  ASSERT_EQ(ApplyGainMasked(*doc_, 0, kFrames, 2, 0.5f, "gain"), 0u);
  now = ReadFloats(*doc_);
  for (std::size_t i = 0; i < now.size(); ++i) ASSERT_EQ(now[i], i % 2 ? original[i] * 0.5f : original[i]) << i;
  const std::size_t steps = doc_->history.size();
  ASSERT_EQ(ApplyGain(*doc_, 10, 0, {3.0f, 3.0f}, "gain"), 0u);
  EXPECT_EQ(doc_->history.size(), steps);
  EXPECT_EQ(ApplyGain(*doc_, 10, 10, {NAN, 1.0f}, "gain"), err::kSizeLimit);
  EXPECT_EQ(ApplyGain(*doc_, kFrames - 5, 10, {1.0f, 1.0f}, "gain"), err::kSizeLimit);
}

TEST_F(EditCommandsTest, OffsetsRideOnGapsAndCompactBackToGaps) {
  Select(0, 0);
  ASSERT_EQ(InsertSilence(*doc_, 0, 10), 0u);  // a 441-frame gap at the start
  const std::vector<float> before = ReadFloats(*doc_);
  ASSERT_EQ(ApplyOffset(*doc_, 0, 882, {0.25f, -0.125f}, "offset"), 0u);
  std::vector<float> now = ReadFloats(*doc_);
  for (std::size_t f = 0; f < 882; ++f) {
    ASSERT_EQ(now[2 * f], before[2 * f] + 0.25f) << f;
    ASSERT_EQ(now[2 * f + 1], before[2 * f + 1] - 0.125f) << f;
  }
  ASSERT_EQ(ApplyOffset(*doc_, 0, 882, {-0.25f, 0.125f}, "offset"), 0u);
  EXPECT_EQ(ReadFloats(*doc_), before);
  // The silence segments lost their offsets and went; the gap is back.
  EXPECT_EQ(doc_->segments.first()->position, 441u);
  EXPECT_FALSE(doc_->segments.first()->gain);
}

TEST_F(EditCommandsTest, DeleteWithSilenceAndTheLimits) {
  AddMarkers({{150, "in", ""}, {400, "after", ""}});
  ASSERT_EQ(DeleteWithSilence(*doc_, 100, 300, 50), 0u);
  EXPECT_EQ(doc_->length, kFrames - 150);
  EXPECT_EQ(MarkerEntries(doc_->markers), (std::vector<MarkerEntry>{{250, "after", ""}}));
  const std::vector<float> now = ReadFloats(*doc_);
  for (std::size_t i = 200; i < 300; ++i) ASSERT_EQ(now[i], 0.0f);
  EXPECT_EQ(DeleteWithSilence(*doc_, 100, 300, -1), err::kSizeLimit);
  EXPECT_EQ(DeleteWithSilence(*doc_, 300, 100, 0), err::kSizeLimit);
  EXPECT_EQ(DeleteWithSilence(*doc_, 0, 10, kMaxFrames), err::kTooManyFrames);

  // A document close to the limit refuses growth with 12 and stays as it was.
  testing::DocumentPtr big(testing::MakeDocument(SegmentList(), kMaxFrames - 10));
  ClipRef clip = ClipOf(100, 2, 3, 0, 11);
  EXPECT_EQ(Paste(*big, 0, *clip), err::kTooManyFrames);
  EXPECT_EQ(InsertSilence(*big, 0, 1), err::kTooManyFrames);
  EXPECT_EQ(MixPaste(*big, kMaxFrames - 5, *clip, false), err::kTooManyFrames);
  EXPECT_EQ(PasteOverwrite(*big, kMaxFrames - 10, *clip), err::kTooManyFrames);
  EXPECT_EQ(big->length, kMaxFrames - 10);
  EXPECT_TRUE(big->history.empty());
  ClipRef ten = ClipOf(100, 2, 3, 0, 10);
  EXPECT_EQ(Paste(*big, 0, *ten), 0u);
  EXPECT_EQ(big->length, kMaxFrames);
}

TEST_F(EditCommandsTest, EmptyClipsAndTheExactMatchVariant) {
  ClipRef empty = NewClip(44100, 2, sample_code::kS16);
  const Snapshot before = Take(*doc_);
  Select(0, 100);
  EXPECT_EQ(Paste(*doc_, 10, *empty), 0u);
  EXPECT_EQ(PasteOverSelection(*doc_, *empty), 0u);
  EXPECT_EQ(PasteOverwrite(*doc_, 10, *empty), 0u);
  EXPECT_EQ(MixPaste(*doc_, 10, *empty, true), 0u);
  EXPECT_EQ(Take(*doc_), before);
  EXPECT_TRUE(doc_->history.empty());
  EXPECT_EQ(doc_->modification_counter, 0u);

  EXPECT_EQ(PasteExact(*doc_, 0, nullptr), 0xFFFFFFFDu);
  EXPECT_EQ(PasteExact(*doc_, 0, empty.get()), err::kClipMismatch);
  ClipRef mono = ClipOf(100, 1, 4, 0, 50);
  EXPECT_EQ(PasteExact(*doc_, 0, mono.get()), err::kClipMismatch);
  ClipRef other_rate = ClipOf(100, 2, 5, 0, 50, 48000);
  EXPECT_EQ(PasteExact(*doc_, 0, other_rate.get()), err::kClipMismatch);
  EXPECT_EQ(Take(*doc_), before);
  ClipRef same = ClipOf(100, 2, 6, 0, 50);
  EXPECT_EQ(PasteExact(*doc_, 0, same.get()), 0u);
  EXPECT_EQ(doc_->length, kFrames + 50);
}

TEST_F(EditCommandsTest, ClipsOfOtherChannelCountsAreMappedOtherRatesRefused) {
  testing::DocumentPtr mono_doc(MakeSourceDocument("m.raw", 400, 1, 9));
  const std::vector<float> mono = ReadFloats(*mono_doc);
  ClipRef clip;
  ASSERT_EQ(CopyToClip(*mono_doc, 100, 300, &clip), 0u);
  ASSERT_EQ(Paste(*doc_, 0, *clip), 0u);
  std::vector<float> now = ReadFloats(*doc_);
  for (std::size_t f = 0; f < 200; ++f) {
    ASSERT_EQ(now[2 * f], mono[100 + f]) << f;
    ASSERT_EQ(now[2 * f + 1], mono[100 + f]) << f;
  }
  // Stereo into mono takes the first channel, gain blocks included.
  ClipRef stereo;
  ASSERT_EQ(ApplyGainMasked(*doc_, 0, 200, 1, 0.5f, "gain"), 0u);
  ASSERT_EQ(CopyToClip(*doc_, 0, 200, &stereo), 0u);
  ASSERT_EQ(Paste(*mono_doc, 400, *stereo), 0u);
  const std::vector<float> mono_now = ReadFloats(*mono_doc);
  for (std::size_t f = 0; f < 200; ++f) ASSERT_EQ(mono_now[400 + f], mono[100 + f] * 0.5f) << f;

  // A clip of another rate arrives converted: 50 frames at 48 kHz are 46 here.
  const std::uint32_t length = doc_->length;
  ClipRef other_rate = ClipOf(100, 2, 5, 0, 50, 48000);
  ASSERT_EQ(Paste(*doc_, 0, *other_rate), 0u);
  EXPECT_EQ(doc_->length, length + 46);
}

TEST_F(EditCommandsTest, MixPasteAddsAndSubtractsExactly) {
  const std::vector<float> original = ReadFloats(*doc_);
  ClipRef clip = ClipOf(1000, 2, 11, 0, 600);
  const std::vector<float> c = ClipSource(1000, 11);
  const std::uint32_t at = kFrames - 400;  // the clip passes the end by 200 frames
  for (const bool subtract : {false, true}) {
    const Snapshot before = Take(*doc_);
    ASSERT_EQ(MixPaste(*doc_, at, *clip, subtract), 0u);
    EXPECT_EQ(editor().last_content_change(), (HeadlessEditorWindow::ContentChange{400, 600}));
    ASSERT_EQ(doc_->length, kFrames + 200);
    const std::vector<float> now = ReadFloats(*doc_);
    for (std::size_t i = 0; i < now.size(); ++i) {
      const float d = i < original.size() ? original[i] : 0.0f;
      const float k = i >= std::size_t{at} * 2 ? c[i - std::size_t{at} * 2] : 0.0f;
      ASSERT_EQ(now[i], subtract ? d - k : d + k) << i;
    }
    ExpectUndoRedoExact(before);
    ASSERT_EQ(Undo(*doc_), 0u);
  }
  // Onto a gap the clip goes in as it is, negated through gain blocks.
  ASSERT_EQ(InsertSilence(*doc_, 0, 20), 0u);  // 882 frames
  const std::size_t files = testing::RegularFileCount(work_);
  ASSERT_EQ(MixPaste(*doc_, 0, *clip, true), 0u);
  EXPECT_EQ(testing::RegularFileCount(work_), files);  // nothing rendered
  const std::vector<float> now = ReadFloats(*doc_);
  for (std::size_t i = 0; i < 1200; ++i) ASSERT_EQ(now[i], -c[i]) << i;
}

class CancelAfter final : public RenderObserver {
 public:
  explicit CancelAfter(int blocks) : left_(blocks) {}
  void Progress(std::uint64_t done, std::uint64_t total) override {
    last_done = done;
    last_total = total;
  }
  bool Cancelled() override { return left_-- <= 0; }
  std::uint64_t last_done = 0, last_total = 0;

 private:
  int left_;
};

TEST_F(EditCommandsTest, RenderReportsProgressAndCancelLeavesNothing) {
  // Long enough for several blocks of 0x40000 bytes (32768 stereo frames).
  testing::DocumentPtr big(MakeSourceDocument("big.raw", 100000, 2, 12));
  ClipRef clip = ClipOf(100000, 2, 13, 0, 100000);
  const Snapshot before = Take(*big);
  const std::size_t files = testing::RegularFileCount(work_);
  CancelAfter cancel(2);  // asked after each block: the third one stops
  EXPECT_EQ(MixPaste(*big, 0, *clip, false, &cancel), err::kCancelled);
  EXPECT_EQ(cancel.last_done, 3u * RenderBlockFrames(2));
  EXPECT_EQ(cancel.last_total, 100000u);
  EXPECT_EQ(testing::RegularFileCount(work_), files);
  EXPECT_EQ(Take(*big), before);
  EXPECT_TRUE(big->history.empty());
  CancelAfter never(1000);
  ASSERT_EQ(MixPaste(*big, 0, *clip, false, &never), 0u);
  EXPECT_EQ(never.last_done, 100000u);
  EXPECT_GT(testing::RegularFileCount(work_), files);
}

TEST_F(EditCommandsTest, ReplaceChannelsTakesOnlyTheMaskedChannel) {
  const std::vector<float> original = ReadFloats(*doc_);
  ClipRef clip = ClipOf(500, 2, 14, 0, 500);
  const std::vector<float> c = ClipSource(500, 14);
  ASSERT_EQ(ReplaceChannels(*doc_, 100, *clip, 2), 0u);
  const std::vector<float> now = ReadFloats(*doc_);
  for (std::size_t f = 0; f < kFrames; ++f) {
    ASSERT_EQ(now[2 * f], original[2 * f]) << f;
    const bool inside = f >= 100 && f < 600;
    ASSERT_EQ(now[2 * f + 1], inside ? c[2 * (f - 100) + 1] : original[2 * f + 1]) << f;
  }
}

TEST_F(EditCommandsTest, TheProgramHoldsOneCountedClip) {
  ClipRef a = ClipOf(100, 2, 15, 0, 10);
  ClipRef b = ClipOf(100, 2, 16, 0, 20);
  ASSERT_EQ(SetCurrentClip(a), 0u);
  EXPECT_EQ(GetCurrentClip().get(), a.get());
  EXPECT_EQ(a->ref_count(), 2u);  // ours and the program's
  {
    ClipRef held = GetCurrentClip();
    EXPECT_EQ(a->ref_count(), 3u);
  }
  ASSERT_EQ(SetCurrentClip(b), 0u);
  EXPECT_EQ(a->ref_count(), 1u);  // the program let go of the old clip
  EXPECT_EQ(GetCurrentClip().get(), b.get());
  ClipRef pasted;
  ASSERT_EQ(ClipForPaste(&pasted), 0u);
  EXPECT_EQ(pasted.get(), b.get());
  pasted.reset();
  ClearCurrentClip();
  EXPECT_FALSE(GetCurrentClip());
  EXPECT_EQ(b->ref_count(), 1u);
  ASSERT_EQ(ClipForPaste(&pasted), 0u);  // the system clipboard is off
  EXPECT_FALSE(pasted);
}

TEST_F(EditCommandsTest, CutAndPasteBackRestoreTheDocument) {
  AddMarkers({{100, "a", ""}, {250, "cut", "c"}, {900, "b", ""}});
  doc_->envelope.PushFrontAdopt(NewEnvelopePoint(260, 0.5f));
  const Snapshot before = Take(*doc_);
  ASSERT_EQ(CutSelection(*doc_, 200, 400), 0u);
  EXPECT_EQ(doc_->length, kFrames - 200);
  ClipRef clip = GetCurrentClip();
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->length, 200u);
  EXPECT_EQ(MarkerEntries(clip->markers), (std::vector<MarkerEntry>{{50, "cut", "c"}}));
  ASSERT_TRUE(clip->envelope.first());
  EXPECT_EQ(clip->envelope.first()->position, 60u);
  EXPECT_TRUE(doc_->envelope.empty());
  ASSERT_EQ(Paste(*doc_, 200, *clip), 0u);
  EXPECT_EQ(Take(*doc_), before);
  ASSERT_TRUE(doc_->envelope.first());
  EXPECT_EQ(doc_->envelope.first()->position, 260u);
  EXPECT_EQ(doc_->segments.size(), 1u);  // merged back into one piece
}

}  // namespace
}  // namespace tidemark
