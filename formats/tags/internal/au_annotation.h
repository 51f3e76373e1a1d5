// The tag set in AU files: the annotation between the 24-byte header and
// the sample data, lines of text of which "COPYRIGHT=..." gives Copyright.
// The other slots have no place in these files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// The longest text after "COPYRIGHT=" that fits the 128-byte header
// together with the terminating zero.
inline constexpr std::size_t kAuCopyrightBytes = 93;

// Reads Copyright from the AU input of `length` bytes. The annotation is
// what lies between offset 24 and the data offset within the first 1023
// bytes, up to its first zero byte; it is split at line feeds and its first
// 128 lines are examined. When one of them holds a byte below 32 the
// annotation is not text and gives nothing; otherwise the first line longer
// than 10 bytes that starts with "COPYRIGHT=" (ASCII case ignored) gives
// the rest of the line, converted from the narrow code page. 14 when the
// input is shorter than 24 bytes or does not start with ".snd", 8.
[[nodiscard]] Error ReadAuAnnotation(RandomAccessInput& input, std::uint64_t length, TagSet* tags);

// Writes "COPYRIGHT=" + Copyright (in the narrow code page, cut to
// kAuCopyrightBytes without splitting a character) + a zero byte at offset
// 24 of the open AU file of `length` bytes, clears the rest of its first
// 128 bytes so no older, longer annotation survives after the terminator,
// and writes those 128 bytes back in place. An empty Copyright writes
// nothing. 14 when the file is shorter than 128 bytes, does not start with
// ".snd" or its data offset is below 128; 8, 9.
[[nodiscard]] Error WriteAuAnnotation(PosixFile& file, std::uint64_t length, const TagSet& tags);


}  // namespace tidemark
