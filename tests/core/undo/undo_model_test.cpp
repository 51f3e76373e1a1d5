// Random sequences of sample edits, marker and envelope commands, undo, redo
// and saves against a model of the whole document: where every frame comes
// from, the markers and envelope points (node, position and contents), both
// change counters and the frame's notices. Forward steps are predicted by
// the model's own rules; undo and redo must bring back the earlier states
// exactly, segment layout and node identities included. Now and then the
// history is written as a workspace would write it and read back the way a
// workspace reader consumes nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/undo/envelope_commands.h"
#include "core/undo/marker_commands.h"
#include "core/document/internal/segment_edit.h"
#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"
#include "platform/headless_editor_window.h"
#include "platform/headless_main_frame.h"
#include "tests/core/document_model.h"
#include "tests/core/document_test_util.h"
#include "tests/core/marker_test_util.h"
#include "tests/core/numbering_writer.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::FrameOrigin;
using testing::NewSegment;

const SegmentGain kGains[] = {{0.5f, 0, 0.25f, 0}, {1, 0.125f, 1, -0.25f}};

using ModelMarker = testing::MarkerNode;
using ModelPoint = testing::PointNode;
constexpr auto MarkersOf = testing::MarkerNodes;
constexpr auto PointsOf = testing::PointNodes;
constexpr auto SameShape = testing::SameShapes;

using Frames = std::shared_ptr<const std::vector<FrameOrigin>>;

struct State {
  Frames frames;  // shared by the states a marker or envelope step leaves alone
  std::vector<ModelMarker> markers;
  std::vector<ModelPoint> points;
  std::vector<testing::SegmentShape> shape;  // as first reached
};

enum class Kind { kEdit, kMarkers, kEnvelope };

// Links `node` the way the document orders its lists: after every entry at
// the same or a smaller position.
template <typename T>
void InsertSorted(std::vector<T>& list, const T& entry) {
  auto at = std::find_if(list.begin(), list.end(), [&](const T& e) { return e.position > entry.position; });
  list.insert(at, entry);
}

// Replaces list[i] by `entry`, in the same place when its position fits
// between the neighbours, else at its sorted place.
template <typename T>
void ReplaceAt(std::vector<T>& list, std::size_t i, const T& entry) {
  list.erase(list.begin() + i);
  const bool fits = (i == 0 || list[i - 1].position <= entry.position) &&
                    (i == list.size() || entry.position <= list[i].position);
  if (fits)
    list.insert(list.begin() + i, entry);
  else
    InsertSorted(list, entry);
}

// The envelope's level at a frame, by the rule of the document.
double LevelAt(const std::vector<ModelPoint>& points, std::uint32_t frame) {
  if (points.empty()) return 1.0;
  if (frame <= points.front().position) return points.front().level;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const ModelPoint &a = points[i], &b = points[i + 1];
    if (frame >= a.position && frame < b.position)
      return a.level + (double(frame) - a.position) * (double(b.level) - a.level) / (double(b.position) - a.position);
  }
  return points.back().level;
}

class ModelRun {
 public:
  ModelRun() {
    dir_ = testing::MakeTempDir("undo_model");
    for (int i = 0; i < 2; ++i)
      sources_.push_back(testing::MakeRandomSource(dir_ + "/s" + std::to_string(i) + ".raw", sample_code::kS16, 2,
                                                   kSourceFrames, 40 + i));
    SegmentList list;
    list.PushBack(NewSegment(sources_[0], 0, kSourceFrames, 0));
    doc_.reset(testing::MakeDocument(std::move(list), kSourceFrames));
    for (std::uint32_t pos : {300u, 1200u, 2500u}) {
      Marker* m = NewMarker("init", pos == 1200 ? "c" : "", pos);
      doc_->markers.InsertAfterAdopt(doc_->markers.last(), m);
    }
    for (std::uint32_t pos : {0u, 2000u}) doc_->envelope.InsertAfterAdopt(doc_->envelope.last(), NewEnvelopePoint(pos, 0.5f));
    SetMainFrame(&frame_);
    State first;
    auto frames = std::make_shared<std::vector<FrameOrigin>>();
    for (std::uint32_t i = 0; i < kSourceFrames; ++i) frames->push_back({0, i, -1});
    first.frames = std::move(frames);
    first.markers = MarkersOf(doc_->markers);
    first.points = PointsOf(doc_->envelope);
    first.shape = testing::ShapeOf(doc_->segments);
    states_.push_back(std::move(first));
  }
  ~ModelRun() { SetMainFrame(nullptr); }

  void Run(int steps) {
    for (step_ = 0; step_ < steps; ++step_) {
      const std::uint32_t dice = below(100);
      if (dice < 25) {
        Edit();
      } else if (dice < 50) {
        MarkerStep();
      } else if (dice < 68) {
        EnvelopeStep();
      } else if (dice < 86) {
        UndoStep(false);
      } else if (dice < 97) {
        UndoStep(true);
      } else {
        MarkDocumentSaved(*doc_);
        mod_ = marker_ = 0;
        ExpectFlags(208);
      }
      if (::testing::Test::HasFatalFailure()) return;
      Check(/*shape=*/true);
      if (::testing::Test::HasFatalFailure()) return;
      if (step_ % 40 == 0) CheckWorkspaceNumbering();
      if (::testing::Test::HasFatalFailure()) return;
    }
    // Undo everything: the very first state, the same nodes included.
    while (pos_ > 0) {
      UndoStep(false);
      Check(true);
      if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_FALSE(CanUndo(*doc_));
    EXPECT_EQ(MarkersOf(doc_->markers), states_[0].markers);
    EXPECT_EQ(PointsOf(doc_->envelope), states_[0].points);
    EXPECT_TRUE(SameShape(testing::ShapeOf(doc_->segments), states_[0].shape));
  }

  int stays_seen = 0, saves_crossed = 0, refused_ranges = 0;

 private:
  static constexpr std::uint32_t kSourceFrames = 4000;

  // A name unique to this step.
  std::string Named(char letter) const {
    std::string name(1, letter);
    name += std::to_string(step_);
    return name;
  }

  std::uint32_t below(std::uint32_t n) { return testing::Below(rng_, n); }
  const State& now() const { return states_[pos_]; }

  void ExpectFlags(std::uint32_t flags) {
    ASSERT_FALSE(frame_.notices().empty());
    EXPECT_EQ(frame_.last_flags(), flags) << "step " << step_;
  }

  // A new step: the redo part goes, the new state follows the current one.
  void Push(Kind kind, State next) {
    states_.resize(pos_ + 1);
    kinds_.resize(pos_);
    states_.push_back(std::move(next));
    kinds_.push_back(kind);
    ++pos_;
    const bool was_saved = mod_ == 0 && marker_ == 0;
    if (static_cast<std::int32_t>(mod_) < 0) mod_ = kStaysModified;
    if (static_cast<std::int32_t>(marker_) < 0) marker_ = kStaysModified;
    if (kind == Kind::kEdit) {
      if (mod_ != kStaysModified) ++mod_;
      ExpectFlags(was_saved ? 80 : 16);
    } else if (kind == Kind::kMarkers) {
      if (marker_ != kStaysModified) ++marker_;
      ExpectFlags(was_saved ? 96 : 32);
    } else {
      ExpectFlags(32);
    }
    // Capture the layout the document reached, once its content is right.
    Check(false);
    states_.back().shape = testing::ShapeOf(doc_->segments);
  }

  std::vector<FrameOrigin> Expand() const {
    std::vector<FrameOrigin> out(doc_->length);
    for (const Segment* s = doc_->segments.first(); s; s = s->next) {
      int source = -1;
      for (int i = 0; i < static_cast<int>(sources_.size()); ++i)
        if (sources_[i].get() == s->source.get()) source = i;
      int gain = -1;
      for (int g = 0; g < 2; ++g)
        if (s->gain && std::memcmp(s->gain.get(), &kGains[g], sizeof(SegmentGain)) == 0) gain = g;
      for (std::uint32_t i = 0; i < s->length && s->position + i < out.size(); ++i)
        out[s->position + i] = {source, s->source_offset + i, gain};
    }
    return out;
  }

  void Check(bool shape) {
    const State& st = now();
    ASSERT_EQ(doc_->length, st.frames->size()) << "step " << step_;
    ASSERT_TRUE(Expand() == *st.frames) << "step " << step_;
    ASSERT_EQ(MarkersOf(doc_->markers), st.markers) << "step " << step_;
    ASSERT_EQ(PointsOf(doc_->envelope), st.points) << "step " << step_;
    ASSERT_EQ(doc_->modification_counter, mod_) << "step " << step_;
    ASSERT_EQ(doc_->marker_change_counter, marker_) << "step " << step_;
    ASSERT_EQ(IsDocumentSaved(*doc_), mod_ == 0 && marker_ == 0);
    ASSERT_EQ(doc_->history.size(), kinds_.size());
    ASSERT_EQ(doc_->history.redo_count(), kinds_.size() - pos_);
    if (shape) {
      ASSERT_TRUE(SameShape(testing::ShapeOf(doc_->segments), st.shape)) << "step " << step_;
    }
    if (mod_ == kStaysModified || marker_ == kStaysModified) ++stays_seen;
  }

  // A position in [0, limit] that no entry of `list` has; false when none is found quickly.
  template <typename T>
  bool FreePosition(const std::vector<T>& list, std::uint32_t limit, std::uint32_t* out,
                    const std::set<std::uint32_t>& also = {}) {
    for (int tries = 0; tries < 50; ++tries) {
      const std::uint32_t p = below(limit + 1);
      if (also.count(p) == 0 &&
          std::none_of(list.begin(), list.end(), [&](const T& e) { return e.position == p; })) {
        *out = p;
        return true;
      }
    }
    return false;
  }

  void Edit() {
    const std::uint32_t L = doc_->length;
    EditRequest r;
    testing::RandomStretch(rng_, L, 500, &r.start, &r.old_length);
    r.markers_and_envelope = below(4) != 0;
    std::vector<FrameOrigin> inserted;
    const std::uint32_t content = below(3);
    if (content == 1) {
      std::uint32_t from, n;
      testing::RandomStretch(rng_, L, 400, &from, &n);
      ASSERT_EQ(CopyRange(doc_->segments, from, n, &r.segments), 0u);
      inserted.assign(now().frames->begin() + from, now().frames->begin() + from + n);
    } else if (content == 2) {
      testing::AddRandomPieces(rng_, sources_, kSourceFrames, kGains, 200, 30, &r, &inserted);
    }
    // Without the flag the lists stay: never leave nodes past a shorter end.
    if (!r.markers_and_envelope && inserted.size() < r.old_length) inserted.resize(r.old_length);
    if (L - r.old_length + inserted.size() > 12000) return;
    r.new_length = static_cast<std::uint32_t>(inserted.size());

    auto frames = std::make_shared<std::vector<FrameOrigin>>(*now().frames);
    frames->erase(frames->begin() + r.start, frames->begin() + r.start + r.old_length);
    frames->insert(frames->begin() + r.start, inserted.begin(), inserted.end());
    State next{std::move(frames), {}, {}, {}};

    // New nodes of the request at distinct positions strictly inside it.
    std::vector<ModelMarker> new_markers;
    std::vector<ModelPoint> new_points;
    if (r.markers_and_envelope && r.new_length > 0) {
      std::set<std::uint32_t> used;
      for (std::uint32_t k = below(3); k > 0; --k) {
        const std::uint32_t rel = below(r.new_length);
        if (!used.insert(rel).second) continue;
        Marker* m = NewMarker(Named('e'), "", rel);
        InsertMarkerRelative(r.markers, m);
      }
      used.clear();
      for (std::uint32_t k = below(2); k > 0; --k) {
        const std::uint32_t rel = below(r.new_length);
        if (!used.insert(rel).second) continue;
        EnvelopePoint* p = NewEnvelopePoint(rel, 0.75f);
        EnvelopePoint* after = nullptr;
        for (EnvelopePoint* q = r.envelope.first(); q && q->position < rel; q = q->next) after = q;
        r.envelope.InsertAfterAdopt(after, p);
      }
      for (const Marker* m = r.markers.first(); m; m = m->next)
        new_markers.push_back({m, m->position + r.start, m->name, ""});
      for (const EnvelopePoint* p = r.envelope.first(); p; p = p->next)
        new_points.push_back({p, p->position + r.start, p->level});
    }
    next.markers = testing::SpliceEntries(now().markers, new_markers, r);
    next.points = testing::SpliceEntries(now().points, new_points, r);

    ASSERT_EQ(ReplaceRange(*doc_, r), 0u) << "step " << step_;
    RecordEdit(*doc_, r, Named('x'));
    Push(Kind::kEdit, std::move(next));
  }

  static void InsertMarkerRelative(MarkerList& list, Marker* m) {
    Marker* after = nullptr;
    for (Marker* q = list.first(); q && q->position <= m->position; q = q->next) after = q;
    list.InsertAfterAdopt(after, m);
  }

  void MarkerStep() {
    const std::vector<ModelMarker>& cur = now().markers;
    const std::uint32_t L = doc_->length;
    const std::uint32_t what = cur.empty() ? 0 : below(4);
    State next{now().frames, cur, now().points, {}};
    if (what == 0) {  // add one to three
      MarkerList list;
      Marker* tail = nullptr;
      std::set<std::uint32_t> taken;
      std::vector<Marker*> made;
      for (std::uint32_t k = 1 + below(3); k > 0; --k) {
        std::uint32_t p;
        if (!FreePosition(cur, L, &p, taken)) continue;
        taken.insert(p);
        Marker* m = NewMarker(Named('m'), below(2) ? "note" : "", p);
        list.InsertAfterAdopt(tail, m);
        tail = m;
        made.push_back(m);
      }
      if (made.empty()) return;
      for (Marker* m : made) InsertSorted(next.markers, {m, m->position, m->name, m->comment ? *m->comment : ""});
      ASSERT_EQ(AddMarkers(*doc_, std::move(list)), 0u);
    } else if (what == 1) {  // delete some
      std::vector<Marker*> gone;
      for (std::uint32_t k = 1 + below(3); k > 0; --k) {
        const ModelMarker& m = cur[below(static_cast<std::uint32_t>(cur.size()))];
        if (std::find(gone.begin(), gone.end(), m.node) == gone.end()) gone.push_back(const_cast<Marker*>(m.node));
      }
      std::erase_if(next.markers, [&](const ModelMarker& m) {
        return std::find(gone.begin(), gone.end(), m.node) != gone.end();
      });
      ASSERT_EQ(DeleteMarkers(*doc_, gone), 0u);
    } else {  // move (same texts) or replace (a new name)
      const std::size_t i = below(static_cast<std::uint32_t>(cur.size()));
      ModelMarker entry = cur[i];
      std::uint32_t p = entry.position;
      const bool move = what == 2;
      if ((move || below(2)) && !FreePosition(cur, L, &p)) return;
      if (move) {
        entry.position = p;
        ReplaceAt(next.markers, i, entry);
        ASSERT_EQ(ChangeMarker(*doc_, const_cast<Marker*>(entry.node), p, entry.name, entry.comment), 0u);
        EXPECT_EQ(MarkersOf(doc_->markers), next.markers) << "step " << step_;
      } else {
        const std::string name = Named('r');
        ASSERT_EQ(ChangeMarker(*doc_, const_cast<Marker*>(entry.node), p, name, entry.comment), 0u);
        // The one node the model does not know is the replacement.
        const Marker* fresh = nullptr;
        for (const Marker* m = doc_->markers.first(); m; m = m->next)
          if (std::none_of(cur.begin(), cur.end(), [&](const ModelMarker& e) { return e.node == m; })) {
            ASSERT_EQ(fresh, nullptr) << "step " << step_;
            fresh = m;
          }
        ASSERT_NE(fresh, nullptr);
        ReplaceAt(next.markers, i, {fresh, p, name, entry.comment});
      }
    }
    Push(Kind::kMarkers, std::move(next));
  }

  void EnvelopeStep() {
    const std::vector<ModelPoint>& cur = now().points;
    const std::uint32_t L = doc_->length;
    // Adding twice as often as anything else keeps the envelope populated.
    const std::uint32_t what = cur.empty() ? 0 : std::max<std::uint32_t>(below(5), 1) - 1;
    State next{now().frames, now().markers, cur, {}};
    if (what == 0) {
      std::uint32_t p;
      if (!FreePosition(cur, L, &p)) return;
      // Past the end now and then; the point lands at the end.
      const bool at_end_free = std::none_of(cur.begin(), cur.end(), [&](const ModelPoint& e) { return e.position == L; });
      const std::uint32_t asked = below(8) == 0 && at_end_free ? L + 1 + below(100) : p;
      const std::uint32_t lands = std::min(asked, L);
      EnvelopePoint* added = nullptr;
      ASSERT_EQ(AddEnvelopePoint(*doc_, asked, &added), 0u);
      ASSERT_NE(added, nullptr);
      EXPECT_EQ(added->position, lands);
      EXPECT_NEAR(added->level, LevelAt(cur, lands), 1e-5) << "step " << step_;
      InsertSorted(next.points, {added, lands, added->level});
    } else if (what == 1) {
      const std::size_t i = below(static_cast<std::uint32_t>(cur.size()));
      std::uint32_t p = cur[i].position;
      if (below(2) && !FreePosition(cur, L, &p)) return;
      const float level = 0.25f * static_cast<float>(1 + below(6));
      if (p == cur[i].position && level == cur[i].level) return;
      EnvelopePoint* moved = nullptr;
      ASSERT_EQ(MoveEnvelopePoint(*doc_, const_cast<EnvelopePoint*>(cur[i].node), p, level, &moved), 0u);
      ReplaceAt(next.points, i, {moved, p, level});
    } else if (what == 2) {
      const std::size_t i = below(static_cast<std::uint32_t>(cur.size()));
      next.points.erase(next.points.begin() + i);
      ASSERT_EQ(DeleteEnvelopePoint(*doc_, const_cast<EnvelopePoint*>(cur[i].node)), 0u);
    } else {
      const std::uint32_t from = below(L + 1);
      const std::uint32_t to = from + below(L / 4 + 2);
      std::erase_if(next.points, [&](const ModelPoint& e) { return e.position >= from && e.position < to; });
      const std::size_t records = doc_->history.size() - doc_->history.redo_count();
      const std::size_t notices = frame_.notices().size();
      ASSERT_EQ(DeleteEnvelopeRange(*doc_, from, to), 0u);
      if (next.points.size() == cur.size()) {
        // Nothing in range: nothing recorded, nothing discarded, nobody told.
        EXPECT_EQ(doc_->history.size() - doc_->history.redo_count(), records);
        EXPECT_EQ(doc_->history.redo_count(), kinds_.size() - pos_);
        EXPECT_EQ(frame_.notices().size(), notices);
        ++refused_ranges;
        return;
      }
    }
    Push(Kind::kEnvelope, std::move(next));
  }

  void UndoStep(bool redo) {
    if (redo ? pos_ == kinds_.size() : pos_ == 0) {
      EXPECT_EQ(redo ? CanRedo(*doc_) : CanUndo(*doc_), false);
      return;
    }
    ASSERT_TRUE(redo ? CanRedo(*doc_) : CanUndo(*doc_));
    const Kind kind = kinds_[redo ? pos_ : pos_ - 1];
    ASSERT_EQ(redo ? Redo(*doc_) : Undo(*doc_), 0u) << "step " << step_;
    pos_ = redo ? pos_ + 1 : pos_ - 1;
    std::uint32_t* counter = kind == Kind::kEdit ? &mod_ : kind == Kind::kMarkers ? &marker_ : nullptr;
    std::uint32_t flags = 32;
    if (counter && *counter != kStaysModified) {
      const std::uint32_t before = *counter;
      *counter = redo ? before + 1 : before - 1;
      const bool crossing = before == 0 || *counter == 0;
      saves_crossed += crossing ? 1 : 0;
      if (kind == Kind::kEdit) flags = crossing ? 112 : 48;
      else flags = crossing ? 96 : 32;
    }
    ExpectFlags(flags);
  }

  // Numbers the nodes as the workspace writer does, writes every record,
  // and consumes the nodes the way the reader does: every node exactly once.
  void CheckWorkspaceNumbering() {
    testing::NumberingWriter writer;
    for (const SourceRef& s : sources_) writer.sources.Add(s.get());
    ASSERT_TRUE(writer.NumberNodes(*doc_)) << "a node listed twice, step " << step_;
    const auto list_markers = static_cast<std::uint32_t>(writer.document_markers);
    const auto list_points = static_cast<std::uint32_t>(writer.document_points);
    for (std::size_t i = 0; i < doc_->history.size(); ++i)
      ASSERT_EQ(doc_->history.at(i).Serialize(writer), 0u) << "record " << i << ", step " << step_;

    // The reader's side: nodes are taken in order; references by number
    // must point at nodes already taken.
    testing::ByteReader in(writer.bytes);
    std::uint32_t took_markers = list_markers, took_points = list_points;
    for (std::size_t i = 0; i < doc_->history.size(); ++i) {
      ASSERT_EQ(in.Code(), "hist");
      const std::uint8_t kind = in.U8();
      if (kind == 0) {
        in.Skip(1 + 3 * 4);  // flag, start, old and new length
        const std::uint32_t segments = in.U32();
        took_markers += in.U32();
        took_points += in.U32();
        const std::uint32_t name = in.U32();
        in.Skip(std::size_t{segments} * 36 + (name ? 4 + std::size_t{name} * 2 : 0));
        continue;
      }
      ASSERT_LE(kind, 2);
      std::uint32_t& took = kind == 1 ? took_markers : took_points;
      ASSERT_EQ(in.U8(), 0);
      const char op = static_cast<char>(in.U16() & 0xFF);
      const std::uint32_t count = in.U32();
      if (op == 'A') {
        took += count;
      } else if (op == 'D') {
        for (std::uint32_t k = 0; k < count; ++k) ASSERT_LT(in.U32(), took) << "step " << step_;
      } else {
        ASSERT_TRUE(op == 'R' || (op == 'M' && kind == 1));
        ASSERT_EQ(count, 2u);
        ASSERT_LT(in.U32(), took);
        took += 1;
      }
    }
    EXPECT_TRUE(in.done());
    EXPECT_EQ(took_markers, writer.markers.size()) << "step " << step_;
    EXPECT_EQ(took_points, writer.points.size()) << "step " << step_;
  }

  std::string dir_;
  std::vector<SourceRef> sources_;
  testing::DocumentPtr doc_;
  HeadlessMainFrame frame_;
  std::mt19937 rng_{20240607};
  std::vector<State> states_;  // states_[i + 1] follows states_[i] through kinds_[i]
  std::vector<Kind> kinds_;
  std::size_t pos_ = 0;  // the current state
  std::uint32_t mod_ = 0, marker_ = 0;
  int step_ = 0;
};

TEST(UndoModel, RandomChangesUndoAndRedoLikeTheModel) {
  ModelRun run;
  run.Run(3000);
  // The run went through the cases that matter.
  EXPECT_GT(run.stays_seen, 0);
  EXPECT_GT(run.saves_crossed, 0);
  EXPECT_GT(run.refused_ranges, 0);
}

}  // namespace
}  // namespace tidemark
