// Helpers shared by the tag tests: sound files of every kind with the
// program's own headers, tag sets in one line, hand-made ID3 frames and
// tags, and a scoped narrow codeset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/io/pcm_header.h"
#include "formats/file_kind.h"
#include "formats/tags/internal/id3v2_reader.h"
#include "formats/tags/internal/id3v2_tag_set.h"
#include "formats/tags/tag_set.h"
#include "platform/narrow_codeset.h"
#include "tests/support/scoped_codeset.h"

namespace tidemark::testing {

using Bytes = std::vector<std::uint8_t>;

// A file of `kind` with the program's header and `frames` frames of
// 16-bit stereo samples counting up from 1, padded as the kind requires.
inline std::vector<std::uint8_t> SoundFileBytes(PcmFileKind kind, std::uint32_t frames) {
  std::vector<std::uint8_t> out(kMaxPcmHeaderBytes);
  std::uint32_t header = 0;
  EXPECT_EQ(BuildHeader(kind, reinterpret_cast<std::byte*>(out.data()), 44100, sample_code::kS16, 2, frames, &header),
            0u);
  out.resize(header);
  for (std::uint32_t i = 0; i < frames * 4; ++i) out.push_back(static_cast<std::uint8_t>(i + 1));
  if (kind != PcmFileKind::AU && (out.size() & 1)) out.push_back(0);
  return out;
}

// A tag set holding `texts`.
inline TagSet MakeTags(std::initializer_list<std::pair<InfoText, std::string>> texts) {
  TagSet tags;
  for (const auto& [slot, text] : texts) SetTagText(tags, slot, text);
  return tags;
}

inline void PutSyncSafe(Bytes& out, std::uint32_t v) {
  for (int shift = 21; shift >= 0; shift -= 7) out.push_back(static_cast<std::uint8_t>(v >> shift & 0x7F));
}

inline Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A frame with `body`; `size` overrides the size field (stored sync-safe in
// version 4, big-endian in version 3).
inline Bytes Frame(int version, std::string_view id, const Bytes& body, std::uint8_t format_flags = 0,
                   long long size = -1) {
  Bytes out = B(id);
  const auto n = static_cast<std::uint32_t>(size >= 0 ? size : static_cast<long long>(body.size()));
  if (version == 4) {
    PutSyncSafe(out, n);
  } else {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
  }
  out.push_back(0);
  out.push_back(format_flags);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A text frame of encoding 0 (or `encoding`) holding the bytes of `text`.
inline Bytes TextFrame(int version, std::string_view id, std::string_view text, std::uint8_t encoding = 0) {
  return Frame(version, id, Cat({Bytes{encoding}, B(text)}));
}

// A tag header and `body`; `size` overrides the size field.
inline Bytes Tag(int version, std::uint8_t flags, const Bytes& body, long long size = -1) {
  Bytes out = {'I', 'D', '3', static_cast<std::uint8_t>(version), 0, flags};
  PutSyncSafe(out, static_cast<std::uint32_t>(size >= 0 ? size : static_cast<long long>(body.size())));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A "SYLT" body of encoding 0 in English, times in milliseconds, lyrics,
// no descriptor, then `entries` of (text, milliseconds).
inline Bytes SyltBody(const std::vector<std::pair<std::string, std::uint32_t>>& entries) {
  Bytes out = {0, 'e', 'n', 'g', 2, 1, 0};
  for (const auto& [text, ms] : entries) {
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), {0, static_cast<std::uint8_t>(ms >> 24), static_cast<std::uint8_t>(ms >> 16),
                           static_cast<std::uint8_t>(ms >> 8), static_cast<std::uint8_t>(ms)});
  }
  return out;
}

// Parses `bytes` and maps them to a tag set.
inline TagSet TagsOf(const Bytes& bytes) {
  Id3v2Tag tag;
  TagSet set;
  EXPECT_EQ(ParseId3v2Tag(bytes, &tag), 0u);
  EXPECT_EQ(Id3v2TagToSet(tag, &set), 0u);
  return set;
}


}  // namespace tidemark::testing
