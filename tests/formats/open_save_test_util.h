// Shared pieces of the opening and saving tests: WAV files with a known
// content, and reading a document's samples back.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "tests/core/document_test_util.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark::testing {

// A 16-bit WAV file of `frames` random frames, with an unknown "abcd" chunk
// after the data when `foreign` is set.
inline std::vector<std::uint8_t> Pcm16Wave(std::uint16_t channels, std::uint32_t rate, std::uint32_t frames,
                                           std::uint32_t seed, bool foreign = false) {
  RiffBuilder riff;
  riff.Chunk("fmt ", FormatBody(1, channels, rate, static_cast<std::uint16_t>(2 * channels), 16).bytes());
  riff.Chunk("data", RandomBytes(std::size_t{frames} * channels * 2, seed));
  if (foreign) riff.Chunk("abcd", {'k', 'e', 'p', 't', '!'});
  return riff.Bytes();
}

// All frames of the document as 16-bit samples.
inline std::vector<std::int16_t> DocumentSamples(const SoundDocument& doc) {
  std::vector<std::int16_t> out(std::size_t{doc.length} * doc.channels);
  SegmentCursor cursor(doc.segments, doc.channels, doc.length);
  cursor.Seek(0);
  EXPECT_EQ(cursor.Read(doc.length, out.data(), sample_code::kS16), 0u);
  return out;
}

inline DocumentPtr OpenDocument(const std::string& path, Error* rc = nullptr) {
  SoundDocument* doc = nullptr;
  const Error result = OpenSoundDocument(path, OpenOptions(), &doc);
  if (rc) *rc = result;
  else EXPECT_EQ(result, 0u) << path;
  return DocumentPtr(result == 0 ? doc : nullptr);
}

inline struct stat StatOf(const std::string& path) {
  struct stat st{};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

}  // namespace tidemark::testing
