// Tag sets as Vorbis comments (FLAC and Ogg files): a vendor text and
// "KEY=value" texts in UTF-8, and the binary comment block that holds them
// as FLAC's VORBIS_COMMENT metadata block does: 32-bit little-endian
// lengths, vendor length, vendor, comment count, each comment's length and
// bytes, no framing bit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark {

struct VorbisComments {
  std::string vendor;
  std::vector<std::string> comments;  // "KEY=value"
};

// The loudness figures an encoder measured; one file is one album, so the
// album values repeat the track values.
struct ReplayGainValues {
  double reference_loudness = 89.0;  // dB
  double track_gain = 0.0;           // dB
  double track_peak = 0.0;           // linear, 1.0 = full scale
};

// Parses a comment block. Every length is checked against what is left of
// `block`; bytes after the last comment are ignored. 14 when a length
// passes the end of the block (a count too large for the bytes left
// included), 2.
[[nodiscard]] Error ParseVorbisCommentBlock(std::span<const std::uint8_t> block, VorbisComments* out);

// The comment block of `comments`. 20 when a length or the count does not
// fit 32 bits, 2.
[[nodiscard]] Error BuildVorbisCommentBlock(const VorbisComments& comments, std::vector<std::uint8_t>* block);

// Fills the empty slots of `tags` from `comments`: keys compared ignoring
// ASCII case, the first non-empty value of a slot wins. TITLE → Name,
// ARTIST → Artist, COPYRIGHT → Copyright, DESCRIPTION or COMMENT →
// Comments, DATE → CreationDate, GENRE → Genre; the first ALBUM,
// TRACKNUMBER, CONTACT and ISRC become the AppPrivate entries ALBUM, TNO,
// WEBURL and ISRC, only when AppPrivate is still empty; the vendor fills
// Software when it is empty. Text that is not valid UTF-8 has each bad
// part replaced by U+FFFD. 2 (`tags` is then unchanged).
[[nodiscard]] Error VorbisCommentsToTags(const VorbisComments& comments, TagSet* tags);

// The comments for `tags`, in this order, each only when present: TITLE,
// ARTIST, COPYRIGHT, DESCRIPTION, DATE, GENRE from their slots, ALBUM,
// TRACKNUMBER, CONTACT and ISRC from the AppPrivate entries (as their
// lookups accept them); then, when `gain` is given,
// REPLAYGAIN_REFERENCE_LOUDNESS ("%.1f dB"), REPLAYGAIN_TRACK_GAIN
// ("%+.2f dB"), REPLAYGAIN_TRACK_PEAK ("%.6f"), REPLAYGAIN_ALBUM_GAIN and
// REPLAYGAIN_ALBUM_PEAK, numbers always with a '.' whatever the locale.
// 2 (`comments` is then empty).
[[nodiscard]] Error TagsToVorbisComments(const TagSet& tags, const std::optional<ReplayGainValues>& gain,
                                         std::vector<std::string>* comments);

}  // namespace tidemark
