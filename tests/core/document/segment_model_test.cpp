// Random ReplaceRange operations against a plain model: every document frame
// is described by where it comes from (a source frame with its gain, or
// silence). After each step cursor reads of random stretches in random
// sample codes must equal the model converted by the reference rules; at the end
// the inverses, applied newest first, must give back the original segment
// list, markers and envelope exactly.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/document/internal/segment_edit.h"
#include "core/document/segment_cursor.h"
#include "core/sources/source_list.h"
#include "tests/core/document_model.h"
#include "tests/core/document_test_util.h"
#include "tests/core/marker_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::FrameOrigin;
using testing::NewSegment;

// An explicit {1, 0, 1, 0} block reads like an absent one (the two merge,
// so they must read alike).
const SegmentGain kGains[] = {{1, 0, 1, 0}, {0.5f, 0, 0.25f, 0}, {1, 0.125f, 1, -0.25f}, {2, 0.1f, -1, 0.5f}};

// No two neighbours that ReplaceRange should have merged, nothing past the
// length, sorted and non-overlapping.
::testing::AssertionResult Canonical(const SoundDocument& doc) {
  if (auto links = testing::ListLinksAreSound(doc.segments); !links) return links;
  std::uint64_t end = 0;
  for (const Segment* s = doc.segments.first(); s; s = s->next) {
    if (s->length == 0 || s->position < end) return ::testing::AssertionFailure() << "overlap at " << s->position;
    end = std::uint64_t{s->position} + s->length;
    if (s->next && s->next->source.get() == s->source.get() && end == s->next->position &&
        (s->source->kind() == SourceKind::Silence || s->source_offset + s->length == s->next->source_offset) &&
        GainBlocksEqual(s->gain.get(), s->next->gain.get()))
      return ::testing::AssertionFailure() << "unmerged neighbours at " << s->position;
  }
  if (end > doc.length) return ::testing::AssertionFailure() << "segments past the length";
  return ::testing::AssertionSuccess();
}

class SegmentModel : public ::testing::Test {
 protected:
  static constexpr std::uint32_t kFrames = 6000;

  // Two 16-bit and a 24-bit stereo file, a stereo view of a mono file and
  // silence; a document of the first file with markers (two at one place)
  // and an envelope point.
  void SetUp() override {
    const std::string dir = testing::MakeTempDir("model");
    for (std::uint32_t i = 0; i < 3; ++i)
      stored_.push_back(testing::StoredFile(dir, i == 2 ? sample_code::kS24 : sample_code::kS16, 2, kFrames, 10 + i));
    stored_.push_back(testing::StoredView(testing::StoredFile(dir, sample_code::kS16, 1, kFrames, 20), 2, 0));
    stored_.push_back(testing::StoredSilence(2, kFrames));
    for (const testing::Stored& s : stored_) sources_.push_back(s.source);
    SegmentList initial;
    initial.PushBack(NewSegment(sources_[0], 0, kFrames, 0));
    doc_.reset(testing::MakeDocument(std::move(initial), kFrames));
    ASSERT_TRUE(doc_);
    for (std::uint32_t i = 0; i < kFrames; ++i) frames_.push_back({0, i, -1});
    for (std::uint32_t pos : {0u, 700u, 700u, 3000u})
      doc_->markers.InsertAfterAdopt(doc_->markers.last(), NewMarker("m", "", pos));
    doc_->envelope.PushFrontAdopt(NewEnvelopePoint(1500, 0.5f));
  }
  void TearDown() override {
    doc_.reset();
    stored_.clear();
    sources_.clear();
    EXPECT_EQ(OpenFileSourceCount(), 0u);
  }

  std::uint32_t Below(std::uint32_t n) { return testing::Below(rng_, n); }

  // A deletion, a copy of a stretch of the document itself, or pieces of
  // sources with gaps (and trailing silence now and then), with new nodes
  // now and then; `inserted` gets the origins of the frames it inserts.
  EditRequest RandomRequest(std::vector<FrameOrigin>* inserted) {
    EditRequest r;
    const std::uint32_t length = doc_->length;
    testing::RandomStretch(rng_, length, 800, &r.start, &r.old_length);
    r.markers_and_envelope = rng_() % 2 == 0;
    const int kind = static_cast<int>(rng_() % 5);
    if (kind == 1) {
      std::uint32_t from, n;
      testing::RandomStretch(rng_, length, 600, &from, &n);
      EXPECT_EQ(CopyRange(doc_->segments, from, n, &r.segments), 0u);
      inserted->assign(frames_.begin() + from, frames_.begin() + from + n);
    } else if (kind > 1) {
      testing::AddRandomPieces(rng_, sources_, kFrames, kGains, 300, 40, &r, inserted);
      if (kind == 4) inserted->resize(inserted->size() + Below(30));
    }
    r.new_length = static_cast<std::uint32_t>(inserted->size());
    if (length - r.old_length + r.new_length > 60000) r.new_length = 0, r.segments.Clear(), inserted->clear();
    if (r.markers_and_envelope && r.new_length > 0 && rng_() % 3 == 0) {
      r.markers.PushFrontAdopt(NewMarker("n", "", Below(r.new_length + 1)));
      r.envelope.PushFrontAdopt(NewEnvelopePoint(Below(r.new_length), 0.75f));
    }
    return r;
  }

  // Applies `r` and checks the document against the model: its length, a
  // canonical segment list and where the nodes went. `r` becomes the inverse.
  void ApplyAndCheck(EditRequest& r, const std::vector<FrameOrigin>& inserted) {
    auto shifted = [&](auto nodes) {
      for (auto& e : nodes) e.position += r.start;
      return nodes;
    };
    const auto want_markers =
        testing::SpliceEntries(testing::MarkerNodes(doc_->markers), shifted(testing::MarkerNodes(r.markers)), r);
    const auto want_envelope =
        testing::SpliceEntries(testing::PointNodes(doc_->envelope), shifted(testing::PointNodes(r.envelope)), r);
    ASSERT_EQ(ReplaceRange(*doc_, r), 0u);
    frames_.erase(frames_.begin() + r.start, frames_.begin() + r.start + r.new_length);
    frames_.insert(frames_.begin() + r.start, inserted.begin(), inserted.end());
    ASSERT_EQ(doc_->length, frames_.size());
    ASSERT_TRUE(Canonical(*doc_));
    ASSERT_EQ(testing::MarkerNodes(doc_->markers), want_markers);
    ASSERT_EQ(testing::PointNodes(doc_->envelope), want_envelope);
  }

  // The expected bytes of document frames [from, from + n) in `code`.
  std::vector<std::uint8_t> Expect(std::uint32_t from, std::uint32_t n, SampleCode code) const {
    const unsigned bps = BytesPerSample(code);
    std::vector<std::uint8_t> out(std::size_t{n} * 2 * bps);
    for (std::uint32_t i = 0; i < n; ++i) {
      const FrameOrigin& m = frames_[from + i];
      for (std::uint16_t c = 0; c < 2; ++c)
        testing::ExpectSample(m.source < 0 ? nullptr : &stored_[static_cast<std::size_t>(m.source)], m.frame, c, 2,
                              m.gain < 0 ? nullptr : &kGains[m.gain], code, &out[(std::size_t{i} * 2 + c) * bps]);
    }
    return out;
  }

  // Cursor reads of random stretches in random codes equal the model and
  // write nothing past their end.
  void CheckRandomReads() {
    SegmentCursor cursor(doc_->segments, 2, doc_->length);
    for (int read = 0; read < 3; ++read) {
      std::uint32_t from, n;
      testing::RandomStretch(rng_, doc_->length, 1500, &from, &n);
      const SampleCode code = sample_code::kAll[rng_() % 12];
      std::vector<std::uint8_t> got(std::size_t{n} * 2 * BytesPerSample(code) + 1, 0xA5);
      cursor.Seek(from);
      ASSERT_EQ(cursor.Read(n, got.data(), code), 0u);
      EXPECT_EQ(got.back(), 0xA5) << "wrote past the end";
      got.pop_back();
      ASSERT_EQ(got, Expect(from, n, code)) << "read [" << from << ", " << from + n << ") code " << std::hex << code;
    }
  }

  std::vector<testing::Stored> stored_;
  std::vector<SourceRef> sources_;
  testing::DocumentPtr doc_;
  std::vector<FrameOrigin> frames_;  // where each document frame comes from
  std::mt19937 rng_{1234};
};

TEST_F(SegmentModel, RandomEditsReadLikeTheModelAndUndoExactly) {
  const auto original_shape = testing::ShapeOf(doc_->segments);
  const auto original_markers = testing::MarkerNodes(doc_->markers);
  const auto original_envelope = testing::PointNodes(doc_->envelope);
  std::vector<EditRequest> inverses;
  for (int step = 0; step < 2500; ++step) {
    SCOPED_TRACE(step);
    std::vector<FrameOrigin> inserted;
    inverses.push_back(RandomRequest(&inserted));
    ApplyAndCheck(inverses.back(), inserted);
    CheckRandomReads();
    if (HasFatalFailure()) return;
  }
  while (!inverses.empty()) {
    ASSERT_EQ(ReplaceRange(*doc_, inverses.back()), 0u);
    inverses.pop_back();
  }
  const auto shape = testing::ShapeOf(doc_->segments);
  ASSERT_EQ(shape.size(), original_shape.size());
  for (std::size_t i = 0; i < shape.size(); ++i) {
    EXPECT_EQ(shape[i].source, original_shape[i].source);
    EXPECT_EQ(shape[i].position, original_shape[i].position);
    EXPECT_EQ(shape[i].length, original_shape[i].length);
    EXPECT_EQ(shape[i].source_offset, original_shape[i].source_offset);
    EXPECT_TRUE(GainBlocksEqual(shape[i].has_gain ? &shape[i].gain : nullptr,
                                original_shape[i].has_gain ? &original_shape[i].gain : nullptr));
  }
  EXPECT_EQ(doc_->length, kFrames);
  EXPECT_EQ(testing::MarkerNodes(doc_->markers), original_markers);
  EXPECT_EQ(testing::PointNodes(doc_->envelope), original_envelope);
}

}  // namespace
}  // namespace tidemark
