// Building ID3v2.3 and ID3v2.4 tags from the ID3 record (the MP3 encoder
// and the DSF writer put them in front of the audio and in the metadata
// block).
//
// Frames, each only when its field is present: TIT2, TPE1, TALB, TCON
// (version 3 "(index)", version 4 the genre name), TCOP, TRCK (track modulo
// 100), TSRC (an ISRC of exactly 12 characters), TYER (version 3) or TDRC
// (version 4) with the year modulo 10000 as four digits, WXXX (empty
// description), COMM (language "XXX", empty description), then the caller's
// extra frame. Pure 7-bit ASCII text is written with encoding 0; other text
// as UTF-16 little-endian with a byte-order mark (encoding 1) when `unicode`
// is on, else with encoding 0 in the narrow code page. URLs are always
// single-byte.
//
// Unsynchronisation (only with `unsynchronise` on and padding wanted) is
// applied where it is needed: a zero byte goes after every 0xFF that is
// followed by a zero or a byte of 0xE0 or more, and after a 0xFF at the end.
// Version 3 does this over the whole tag after the header and then sets
// header flag 0x80. Version 4 frame sizes count the stored bytes, so there
// each frame that needs it is unsynchronised by itself (format flag 0x02,
// its size that of the stored bytes), and header flag 0x80, which says that
// all frames are unsynchronised, is set only when every frame is.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "formats/tags/internal/id3_fields.h"
#include "platform/error.h"

namespace tidemark {

struct Id3v2WriteOptions {
  int version = 3;           // 4 writes version 4; any other value version 3
  bool unicode = false;      // UTF-16 for text that is not pure ASCII
  bool unsynchronise = false;
};

// One frame: id, size (version 3 big-endian, version 4 sync-safe), two zero
// flag bytes and `body`, appended to `out`. 20 when the body is too large
// for the size field; may throw std::bad_alloc.
[[nodiscard]] Error AppendId3v2Frame(int version, std::string_view id, std::span<const std::uint8_t> body,
                                     std::vector<std::uint8_t>* out);

// The whole tag for `fields` into `*tag`. `extra_frame`, when not empty, is
// one complete frame of the chosen version (header included) written after
// the others. 128 zero bytes of padding follow unless `no_padding`. 20 when
// the tag passes the 28-bit size field, 2 when memory runs out (`*tag` is
// then empty).
[[nodiscard]] Error BuildId3v2Tag(const Id3Fields& fields, const Id3v2WriteOptions& options,
                                  std::span<const std::uint8_t> extra_frame, bool no_padding,
                                  std::vector<std::uint8_t>* tag);

}  // namespace tidemark
