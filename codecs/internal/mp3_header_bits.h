// Setting the copyright, original and private bits of an MP3 file's frame
// headers after the encoder wrote it (FFmpeg's MP3 encoder offers none of
// them).
#pragma once

#include <string>

#include "codecs/av_encode_blocks.h"
#include "platform/error.h"

namespace tidemark::codec_detail {

// Rewrites the three bits of every MPEG audio frame header of the file at
// `path`, after its ID3v2 tag. A leading Xing/Info frame keeps its header
// (its tag's CRC covers it), as do frames protected by a CRC. The walk ends
// at the first bytes that are not a Layer III frame header (an ID3v1 tag,
// the end). 5 when the file cannot be opened, 9 when a write fails.
[[nodiscard]] Error SetMp3HeaderBits(const std::string& path, const Mp3HeaderBits& bits);

}  // namespace tidemark::codec_detail
