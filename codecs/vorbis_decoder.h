// Ogg Vorbis through libvorbisfile: decoding into 32-bit float working
// files on open, at the exact length the last granule position records,
// with the Vorbis comments into the tag set. A chained file whose links
// differ in rate or channel count is refused (15); holes in the data are
// skipped. libvorbisfile reads the headers, length and comments; a file of
// one link is decoded by FFmpeg's faster Vorbis decoder when FFmpeg is
// there (cut at that length), and by libvorbisfile otherwise, or when
// FFmpeg refuses or reads the stream as damaged, so both give the same
// length, tags and answer.
#pragma once

#include <string>

#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

class SegmentList;

// Opens the Ogg Vorbis file at `path` into working files; the open progress
// hook sees the frames decoded. Errors: 14 when the first Ogg packet is not
// Vorbis (checked before the library is loaded) or the headers are broken;
// 8 when decoding fails partway; 15 and 12 (open limits); 37 without
// libvorbisfile; kCancelled; the working files'.
[[nodiscard]] Error ReadVorbisFile(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                   SegmentList* segments);

}  // namespace tidemark
