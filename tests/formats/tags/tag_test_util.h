// Helpers shared by the tag mapping tests: sound files of every kind with
// the program's own headers, and a scoped narrow codeset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/io/pcm_header.h"
#include "formats/file_kind.h"
#include "formats/tags/tag_set.h"
#include "platform/narrow_codeset.h"
#include "tests/support/scoped_codeset.h"

namespace tidemark::testing {

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

}  // namespace tidemark::testing
