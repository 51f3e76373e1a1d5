// MP3 through libmpg123: decoding into 32-bit float working files on open.
// The length is sample-exact: libmpg123's gapless mode drops the encoder
// delay and padding that a LAME/Xing header records, and the file is
// scanned first so that the frame count is known before decoding. A Xing
// header whose frame count is not the file's would put that cut inside the
// audio: such a file opens untrimmed, with a notice (Xing/LAME, 78). Garbage
// before the first frame is skipped by the decoder's resync. With the
// metadata wanted, the ID3v2 and ID3v1 tags fill the tag set and the ID3v2
// chapters become markers (formats/tags/id3_tags.h); tags that cannot be
// read are left out with a notice and the samples still open.
#pragma once

#include <string>

#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

class SegmentList;

// Opens the MP3 file at `path` into working files. The open progress hook
// sees the frames decoded. Errors: 14 for an empty file, one that starts as
// another container (FLAC, Ogg, RIFF, FORM: checked before the library is
// loaded) or one without a decodable frame; 8 when decoding fails partway; 15 and 12
// (open limits); 37 without libmpg123; kCancelled; the working files'.
[[nodiscard]] Error ReadMp3File(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                SegmentList* segments);

}  // namespace tidemark
