// Helpers shared by the document tests: raw sources of random samples,
// documents over them, and a structural view of segment lists.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/sources/sound_source.h"
#include "platform/headless_editor_window.h"
#include "platform/headless_main_frame.h"
#include "tests/core/source_test_util.h"

namespace tidemark::testing {

// A source over a headerless file of random samples.
inline SourceRef MakeRandomSource(const std::string& path, SampleCode code, std::uint16_t channels,
                                  std::uint32_t frames, std::uint32_t seed, std::uint32_t rate = 44100) {
  WriteWholeFile(path, RandomBytes(std::size_t{frames} * channels * BytesPerSample(code), seed));
  SourceRef source;
  EXPECT_EQ(OpenFileSource(path, 0, rate, code, channels, frames, 0, nullptr, &source), 0u) << path;
  return source;
}

inline std::unique_ptr<Segment> NewSegment(SourceRef source, std::uint32_t position, std::uint32_t length,
                                           std::uint32_t source_offset,
                                           const SegmentGain* gain = nullptr) {
  auto s = std::make_unique<Segment>();
  s->source = std::move(source);
  s->position = position;
  s->length = length;
  s->source_offset = source_offset;
  if (gain) s->gain = std::make_unique<SegmentGain>(*gain);
  return s;
}

// A document of `length` frames; `segments` may be empty (all silence).
inline SoundDocument* MakeDocument(SegmentList segments, std::uint32_t length, std::uint16_t channels = 2,
                                   std::uint32_t rate = 44100) {
  DocumentDescription d;
  d.format.rate = rate;
  d.format.channels = channels;
  d.length = length;
  SoundDocument* doc = nullptr;
  EXPECT_EQ(CreateDocument(std::nullopt, std::move(segments), std::move(d), &doc), 0u);
  return doc;
}

// Every sample of a document as interleaved floats.
inline std::vector<float> ReadFloats(const SoundDocument& d) {
  std::vector<float> v(std::size_t{d.length} * d.channels);
  SegmentCursor cursor(d.segments, d.channels, d.length);
  EXPECT_EQ(cursor.ReadFloat(d.length, v.data(), d.channels), 0u);
  return v;
}

// The plain files in a folder (none when it does not exist).
inline std::size_t RegularFileCount(const std::string& folder) {
  std::size_t n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

using ::tidemark::DocumentPtr;  // the tests name it testing::DocumentPtr

// A silent document of `Frames` frames whose notices go to a headless main
// frame, for the command tests.
template <std::uint32_t Frames>
class DocumentWithFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_.reset(MakeDocument(SegmentList(), Frames));
    ASSERT_TRUE(doc_);
    SetMainFrame(&frame_);
  }
  void TearDown() override { SetMainFrame(nullptr); }

  HeadlessEditorWindow& editor() { return *static_cast<HeadlessEditorWindow*>(doc_->editor.get()); }

  DocumentPtr doc_;
  HeadlessMainFrame frame_;
};

// One segment as plain values, gain block included (absent as nullopt).
struct SegmentShape {
  const SoundSource* source;
  std::uint32_t position, length, source_offset;
  bool has_gain;
  SegmentGain gain;
};

inline std::vector<SegmentShape> ShapeOf(const SegmentList& list) {
  std::vector<SegmentShape> out;
  for (const Segment* s = list.first(); s; s = s->next)
    out.push_back({s->source.get(), s->position, s->length, s->source_offset, s->gain != nullptr,
                   s->gain ? *s->gain : SegmentGain{}});
  return out;
}

// Field by field, gain blocks bit for bit.
inline bool SameShapes(const std::vector<SegmentShape>& a, const std::vector<SegmentShape>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].source != b[i].source || a[i].position != b[i].position || a[i].length != b[i].length ||
        a[i].source_offset != b[i].source_offset || a[i].has_gain != b[i].has_gain ||
        std::memcmp(&a[i].gain, &b[i].gain, sizeof(SegmentGain)) != 0)
      return false;
  return true;
}

// An envelope point with its place and level, the node itself included.
struct PointNode {
  const EnvelopePoint* node;
  std::uint32_t position;
  float level;
  bool operator==(const PointNode&) const = default;
};

inline std::vector<PointNode> PointNodes(const EnvelopeList& list) {
  std::vector<PointNode> v;
  for (const EnvelopePoint* p = list.first(); p; p = p->next) v.push_back({p, p->position, p->level});
  return v;
}

// The links of a list agree with each other and with its size.
inline ::testing::AssertionResult ListLinksAreSound(const SegmentList& list) {
  std::size_t n = 0;
  const Segment* prev = nullptr;
  for (const Segment* s = list.first(); s; prev = s, s = s->next, ++n)
    if (s->prev != prev) return ::testing::AssertionFailure() << "bad prev link at segment " << n;
  if (prev != list.last()) return ::testing::AssertionFailure() << "last() is not the last segment";
  if (n != list.size()) return ::testing::AssertionFailure() << "size " << list.size() << " but " << n << " linked";
  return ::testing::AssertionSuccess();
}

}  // namespace tidemark::testing
