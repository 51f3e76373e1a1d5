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

// The expected bytes of document frames [from, from + n) in `code`.
std::vector<std::uint8_t> Expect(const std::vector<testing::Stored>& sources, const std::vector<FrameOrigin>& frames,
                                 std::uint32_t from, std::uint32_t n, SampleCode code) {
  const unsigned bps = BytesPerSample(code);
  std::vector<std::uint8_t> out(std::size_t{n} * 2 * bps);
  for (std::uint32_t i = 0; i < n; ++i) {
    const FrameOrigin& m = frames[from + i];
    for (std::uint16_t c = 0; c < 2; ++c)
      testing::ExpectSample(m.source < 0 ? nullptr : &sources[static_cast<std::size_t>(m.source)], m.frame, c, 2,
                            m.gain < 0 ? nullptr : &kGains[m.gain], code, &out[(std::size_t{i} * 2 + c) * bps]);
  }
  return out;
}

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

TEST(SegmentModel, RandomEditsReadLikeTheModelAndUndoExactly) {
  const std::string dir = testing::MakeTempDir("model");
  constexpr std::uint32_t kFrames = 6000;
  std::vector<testing::Stored> stored;
  for (std::uint32_t i = 0; i < 3; ++i)
    stored.push_back(testing::StoredFile(dir, i == 2 ? sample_code::kS24 : sample_code::kS16, 2, kFrames, 10 + i));
  stored.push_back(testing::StoredView(testing::StoredFile(dir, sample_code::kS16, 1, kFrames, 20), 2, 0));
  stored.push_back(testing::StoredSilence(2, kFrames));
  std::vector<SourceRef> sources;
  for (const testing::Stored& s : stored) sources.push_back(s.source);

  SegmentList initial;
  initial.PushBack(NewSegment(sources[0], 0, kFrames, 0));
  testing::DocumentPtr doc(testing::MakeDocument(std::move(initial), kFrames));
  ASSERT_TRUE(doc);
  std::vector<FrameOrigin> frames(kFrames);
  for (std::uint32_t i = 0; i < kFrames; ++i) frames[i] = {0, i, -1};
  for (std::uint32_t pos : {0u, 700u, 700u, 3000u})
    doc->markers.InsertAfterAdopt(doc->markers.last(), NewMarker("m", "", pos));
  doc->envelope.PushFrontAdopt(NewEnvelopePoint(1500, 0.5f));
  const auto original_shape = testing::ShapeOf(doc->segments);
  const auto original_markers = testing::MarkerNodes(doc->markers);
  const auto original_envelope = testing::PointNodes(doc->envelope);

  std::mt19937 rng(1234);
  auto below = [&](std::uint32_t n) { return testing::Below(rng, n); };
  std::vector<EditRequest> inverses;

  for (int step = 0; step < 2500; ++step) {
    EditRequest r;
    const std::uint32_t L = doc->length;
    testing::RandomStretch(rng, L, 800, &r.start, &r.old_length);
    r.markers_and_envelope = rng() % 2 == 0;
    std::vector<FrameOrigin> inserted;
    const int kind = static_cast<int>(rng() % 5);
    if (kind == 1) {  // a copy of another stretch of the document itself
      std::uint32_t from, n;
      testing::RandomStretch(rng, L, 600, &from, &n);
      ASSERT_EQ(CopyRange(doc->segments, from, n, &r.segments), 0u);
      inserted.assign(frames.begin() + from, frames.begin() + from + n);
    } else if (kind > 1) {  // 0 deletes (or, with old length 0, does nothing)
      testing::AddRandomPieces(rng, sources, kFrames, kGains, 300, 40, &r, &inserted);
      if (kind == 4) inserted.resize(inserted.size() + below(30));  // trailing silence
    }
    r.new_length = static_cast<std::uint32_t>(inserted.size());
    if (doc->length - r.old_length + r.new_length > 60000) r.new_length = 0, r.segments.Clear(), inserted.clear();
    if (r.markers_and_envelope && r.new_length > 0 && rng() % 3 == 0) {
      r.markers.PushFrontAdopt(NewMarker("n", "", below(r.new_length + 1)));
      r.envelope.PushFrontAdopt(NewEnvelopePoint(below(r.new_length), 0.75f));
    }

    auto shifted = [&](auto nodes) {
      for (auto& e : nodes) e.position += r.start;
      return nodes;
    };
    const auto want_markers = testing::SpliceEntries(testing::MarkerNodes(doc->markers),
                                                     shifted(testing::MarkerNodes(r.markers)), r);
    const auto want_envelope = testing::SpliceEntries(testing::PointNodes(doc->envelope),
                                                      shifted(testing::PointNodes(r.envelope)), r);
    ASSERT_EQ(ReplaceRange(*doc, r), 0u) << "step " << step;
    frames.erase(frames.begin() + r.start, frames.begin() + r.start + r.new_length);  // r is the inverse now
    frames.insert(frames.begin() + r.start, inserted.begin(), inserted.end());
    ASSERT_EQ(doc->length, frames.size()) << "step " << step;
    ASSERT_TRUE(Canonical(*doc)) << "step " << step;
    ASSERT_EQ(testing::MarkerNodes(doc->markers), want_markers) << "step " << step;
    ASSERT_EQ(testing::PointNodes(doc->envelope), want_envelope) << "step " << step;
    inverses.push_back(std::move(r));

    SegmentCursor cursor(doc->segments, 2, doc->length);
    for (int read = 0; read < 3; ++read) {
      const std::uint32_t from = below(doc->length + 1);
      const std::uint32_t n = below(std::min<std::uint32_t>(doc->length - from, 1500) + 1);
      const SampleCode code = sample_code::kAll[rng() % 12];
      std::vector<std::uint8_t> got(std::size_t{n} * 2 * BytesPerSample(code) + 1, 0xA5);
      cursor.Seek(from);
      ASSERT_EQ(cursor.Read(n, got.data(), code), 0u) << "step " << step;
      EXPECT_EQ(got.back(), 0xA5) << "wrote past the end";
      got.pop_back();
      ASSERT_EQ(got, Expect(stored, frames, from, n, code))
          << "step " << step << " read [" << from << ", " << from + n << ") code " << std::hex << code;
    }
  }

  while (!inverses.empty()) {
    ASSERT_EQ(ReplaceRange(*doc, inverses.back()), 0u);
    inverses.pop_back();
  }
  const auto shape = testing::ShapeOf(doc->segments);
  ASSERT_EQ(shape.size(), original_shape.size());
  for (std::size_t i = 0; i < shape.size(); ++i) {
    EXPECT_EQ(shape[i].source, original_shape[i].source);
    EXPECT_EQ(shape[i].position, original_shape[i].position);
    EXPECT_EQ(shape[i].length, original_shape[i].length);
    EXPECT_EQ(shape[i].source_offset, original_shape[i].source_offset);
    EXPECT_TRUE(GainBlocksEqual(shape[i].has_gain ? &shape[i].gain : nullptr,
                                original_shape[i].has_gain ? &original_shape[i].gain : nullptr));
  }
  EXPECT_EQ(doc->length, kFrames);
  EXPECT_EQ(testing::MarkerNodes(doc->markers), original_markers);
  EXPECT_EQ(testing::PointNodes(doc->envelope), original_envelope);
  doc.reset();
  stored.clear();
  sources.clear();
  EXPECT_EQ(OpenFileSourceCount(), 0u);
}

}  // namespace
}  // namespace tidemark
