// Random ReplaceRange operations against a plain model: every document frame
// is described by where it comes from (a source frame with its gain, or
// silence). After each step cursor reads of random stretches in random
// sample codes must equal the model converted by the same rules; at the end
// the inverses, applied newest first, must give back the original segment
// list, markers and envelope exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/samples/sample_convert.h"
#include "core/document/segment_cursor.h"
#include "core/document/internal/segment_edit.h"
#include "core/sources/silence_source.h"
#include "core/sources/source_list.h"
#include "core/sources/view_source.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::NewSegment;

// Where one document frame comes from.
struct ModelFrame {
  int source = -1;  // index into the model's sources; -1 reads as silence
  std::uint32_t frame = 0;
  bool has_gain = false;
  SegmentGain gain;
};

struct ModelNode {
  const void* node;
  std::uint32_t position;
  bool operator==(const ModelNode&) const = default;
};

class Model {
 public:
  std::vector<SourceRef> sources;
  // Each source's frames as stereo float and as every sample code.
  std::vector<std::vector<float>> as_float;
  std::vector<std::vector<std::vector<std::uint8_t>>> as_code;

  void AddSource(SourceRef s, std::uint32_t frames) {
    std::vector<float> f(std::size_t{frames} * 2);
    EXPECT_EQ(s->Read(0, frames, f.data(), sample_code::kFloat), 0u);
    std::vector<std::vector<std::uint8_t>> codes;
    for (SampleCode c : sample_code::kAll) {
      std::vector<std::uint8_t> bytes(std::size_t{frames} * 2 * BytesPerSample(c));
      EXPECT_EQ(s->Read(0, frames, bytes.data(), c), 0u);
      codes.push_back(std::move(bytes));
    }
    sources.push_back(std::move(s));
    as_float.push_back(std::move(f));
    as_code.push_back(std::move(codes));
  }

  // The expected bytes of document frames [from, from + n) in `code`.
  std::vector<std::uint8_t> Expect(const std::vector<ModelFrame>& frames, std::uint32_t from, std::uint32_t n,
                                   SampleCode code) const {
    const unsigned bps = BytesPerSample(code);
    std::vector<std::uint8_t> out(std::size_t{n} * 2 * bps);
    const int ci = SampleCodeIndex(code);
    for (std::uint32_t i = 0; i < n; ++i) {
      const ModelFrame& m = frames[from + i];
      std::uint8_t* dst = out.data() + std::size_t{i} * 2 * bps;
      if (m.source < 0) {
        std::memset(dst, code == sample_code::kU8 ? 0x80 : 0, 2 * bps);
      } else if (!m.has_gain) {
        std::memcpy(dst, as_code[m.source][ci].data() + std::size_t{m.frame} * 2 * bps, 2 * bps);
      } else {
        float v[2];
        const float g[2] = {m.gain.gain0, m.gain.gain1}, o[2] = {m.gain.offset0, m.gain.offset1};
        for (int c = 0; c < 2; ++c) {
          const float x = as_float[m.source][std::size_t{m.frame} * 2 + c];
          v[c] = g[c] == 1.0f ? (o[c] == 0.0f ? x : x + o[c]) : (o[c] == 0.0f ? x * g[c] : x * g[c] + o[c]);
        }
        Convert(v, dst, 2, sample_code::kFloat, code);
      }
    }
    return out;
  }
};

template <typename List>
std::vector<ModelNode> NodesOf(const List& list) {
  std::vector<ModelNode> v;
  for (auto* n = list.first(); n; n = n->next) v.push_back({n, n->position});
  return v;
}

// Where a request leaves the nodes of a document list, its own included.
template <typename List>
std::vector<ModelNode> PredictNodes(const List& doc_list, const List& req_list, const EditRequest& r) {
  std::vector<ModelNode> want;
  bool placed = false;
  auto place_new = [&] {
    for (auto* n = req_list.first(); n; n = n->next) want.push_back({n, n->position + r.start});
    placed = true;
  };
  for (auto* n = doc_list.first(); n; n = n->next) {
    if (!r.markers_and_envelope || n->position < r.start) {
      want.push_back({n, n->position});
    } else if (n->position < std::uint64_t{r.start} + r.old_length) {
      if (!placed) place_new();
    } else {
      if (!placed) place_new();
      want.push_back({n, n->position - r.old_length + r.new_length});
    }
  }
  if (r.markers_and_envelope && !placed) place_new();
  return want;
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
  Model model;
  constexpr std::uint32_t kFrames = 6000;
  for (int i = 0; i < 3; ++i)
    model.AddSource(testing::MakeRandomSource(dir + "/s" + std::to_string(i) + ".raw",
                                              i == 2 ? sample_code::kS24 : sample_code::kS16, 2, kFrames, 10 + i),
                    kFrames);
  SourceRef mono = testing::MakeRandomSource(dir + "/mono.raw", sample_code::kS16, 1, kFrames, 20);
  model.AddSource(MakeStereoView(mono, 0), kFrames);
  model.AddSource(MakeSilenceSource(44100, 2), kFrames);
  const int kSilence = 4;
  mono.reset();

  SegmentList initial;
  initial.PushBack(NewSegment(model.sources[0], 0, kFrames, 0));
  testing::DocumentPtr doc(testing::MakeDocument(std::move(initial), kFrames));
  ASSERT_TRUE(doc);
  std::vector<ModelFrame> frames(kFrames);
  for (std::uint32_t i = 0; i < kFrames; ++i) frames[i] = {0, i, false, {}};
  for (std::uint32_t pos : {0u, 700u, 700u, 3000u}) {
    Marker* m = NewMarker("m", "", pos);
    Marker* last = doc->markers.last();
    doc->markers.InsertAfterAdopt(last, m);
  }
  doc->envelope.PushFrontAdopt(NewEnvelopePoint(1500, 0.5f));
  const auto original_shape = testing::ShapeOf(doc->segments);
  const auto original_markers = NodesOf(doc->markers);
  const auto original_envelope = NodesOf(doc->envelope);

  std::mt19937 rng(1234);
  auto below = [&](std::uint32_t n) { return n == 0 ? 0u : static_cast<std::uint32_t>(rng() % n); };
  // An explicit {1, 0, 1, 0} block reads like an absent one (the two merge,
  // so they must read alike).
  const SegmentGain gains[] = {{1, 0, 1, 0}, {0.5f, 0, 0.25f, 0}, {1, 0.125f, 1, -0.25f}, {2, 0.1f, -1, 0.5f}};
  std::vector<EditRequest> inverses;

  for (int step = 0; step < 2500; ++step) {
    EditRequest r;
    const std::uint32_t L = doc->length;
    r.start = below(L + 1);
    r.old_length = below(std::min<std::uint32_t>(L - r.start, 800) + 1);
    r.markers_and_envelope = rng() % 2 == 0;
    std::vector<ModelFrame> inserted;
    const int kind = static_cast<int>(rng() % 5);
    if (kind == 0) {
      // Delete (or, with old length 0, nothing).
    } else if (kind == 1) {
      // A copy of another stretch of the document itself.
      const std::uint32_t from = below(L + 1);
      const std::uint32_t n = below(std::min<std::uint32_t>(L - from, 600) + 1);
      ASSERT_EQ(CopyRange(doc->segments, from, n, &r.segments), 0u);
      inserted.assign(frames.begin() + from, frames.begin() + from + n);
    } else {
      // Pieces of sources with gaps between them, with or without gain.
      std::uint32_t at = 0;
      for (int piece = 0, pieces = 1 + below(3); piece < pieces; ++piece) {
        const std::uint32_t gap = rng() % 3 == 0 ? below(40) : 0;
        inserted.resize(inserted.size() + gap);
        at += gap;
        const int src = static_cast<int>(below(5));
        const std::uint32_t n = 1 + below(300);
        const std::uint32_t off = below(kFrames - n);
        const int g = static_cast<int>(below(6));  // 4, 5: no gain block
        r.segments.PushBack(NewSegment(model.sources[src], at, n, off, g < 4 ? &gains[g] : nullptr));
        const bool transformed = g >= 1 && g < 4;
        for (std::uint32_t i = 0; i < n; ++i)
          inserted.push_back(src == kSilence && !transformed
                                 ? ModelFrame{}
                                 : ModelFrame{src, off + i, transformed, transformed ? gains[g] : SegmentGain{}});
        at += n;
      }
      if (kind == 4) {
        inserted.resize(inserted.size() + below(30));  // trailing silence
      }
    }
    r.new_length = static_cast<std::uint32_t>(inserted.size());
    if (doc->length - r.old_length + r.new_length > 60000) r.new_length = 0, r.segments.Clear(), inserted.clear();
    if (r.markers_and_envelope && r.new_length > 0 && rng() % 3 == 0) {
      r.markers.PushFrontAdopt(NewMarker("n", "", below(r.new_length + 1)));
      r.envelope.PushFrontAdopt(NewEnvelopePoint(below(r.new_length), 0.75f));
    }

    const std::vector<ModelNode> want_markers = PredictNodes(doc->markers, r.markers, r);
    const std::vector<ModelNode> want_envelope = PredictNodes(doc->envelope, r.envelope, r);
    ASSERT_EQ(ReplaceRange(*doc, r), 0u) << "step " << step;
    frames.erase(frames.begin() + r.start, frames.begin() + r.start + r.new_length);  // r is the inverse now
    frames.insert(frames.begin() + r.start, inserted.begin(), inserted.end());
    ASSERT_EQ(doc->length, frames.size()) << "step " << step;
    ASSERT_TRUE(Canonical(*doc)) << "step " << step;
    ASSERT_EQ(NodesOf(doc->markers), want_markers) << "step " << step;
    ASSERT_EQ(NodesOf(doc->envelope), want_envelope) << "step " << step;
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
      ASSERT_EQ(got, model.Expect(frames, from, n, code))
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
  EXPECT_EQ(NodesOf(doc->markers), original_markers);
  EXPECT_EQ(NodesOf(doc->envelope), original_envelope);
  doc.reset();
  model.sources.clear();
  EXPECT_EQ(OpenFileSourceCount(), 0u);
}

}  // namespace
}  // namespace tidemark
