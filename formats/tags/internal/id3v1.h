// The 128-byte ID3v1 tag at the end of an MP3 file (with the ID3v1.1 track
// byte).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/tags/internal/id3_fields.h"
#include "platform/error.h"

namespace tidemark {

inline constexpr std::size_t kId3v1Size = 128;

// "TAG", title (30 bytes at 3), artist (30 at 33), album (30 at 63), year
// as four digits (4 at 93; left zero when there is none, modulo 10000),
// comment (30 at 97, or 28 with a zero at 125 and the track at 126 when the
// track is 1 to 255), genre index at 127 (255 when none). Texts are in the
// narrow code page, zero-filled and cut to their field without splitting a
// character. 2 when memory runs out.
[[nodiscard]] Error BuildId3v1Tag(const Id3Fields& fields, std::array<std::uint8_t, kId3v1Size>* tag);


}  // namespace tidemark
