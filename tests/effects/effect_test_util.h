// Helpers of the effect tests: documents over float samples given in the
// test, reading a document back, and selecting.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/sources/file_source.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark::testing {

// A document over a headerless float file holding `samples` (interleaved).
inline DocumentPtr MakeFloatDocument(const std::vector<float>& samples, std::uint16_t channels,
                                     std::uint32_t rate = 44100) {
  static int counter = 0;
  const std::string path = MakeTempDir("effect") + "/samples" + std::to_string(counter++) + ".f32";
  std::vector<std::uint8_t> bytes(samples.size() * sizeof(float));
  if (!samples.empty()) std::memcpy(bytes.data(), samples.data(), bytes.size());
  WriteWholeFile(path, bytes);
  const auto frames = static_cast<std::uint32_t>(samples.size() / channels);
  SegmentList list;
  if (frames > 0) {
    SourceRef source;
    EXPECT_EQ(OpenFileSource(path, 0, rate, sample_code::kFloat, channels, frames, 0, nullptr, &source), 0u);
    list.PushBack(NewSegment(std::move(source), 0, frames, 0));
  }
  return DocumentPtr(MakeDocument(std::move(list), frames, channels, rate));
}

// Every sample of the document as float, interleaved.
inline std::vector<float> ReadAll(const SoundDocument& document) {
  std::vector<float> out(std::size_t{document.length} * document.channels);
  SegmentCursor cursor(document.segments, document.channels, document.length);
  cursor.Seek(0);
  EXPECT_EQ(cursor.ReadFloat(document.length, out.data(), document.channels), 0u);
  return out;
}

inline void Select(SoundDocument& document, std::uint32_t from, std::uint32_t to) {
  SetSelection(document, from, to);
}
inline void SelectAll(SoundDocument& document) { SetSelection(document, 0, document.length); }

}  // namespace tidemark::testing
