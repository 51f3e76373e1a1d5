// Ogg Vorbis writing through libvorbisenc (with libvorbis and libogg, which
// it loads): quality-based VBR, or the managed mode when a bitrate or a
// bound is set; the tags as Vorbis comments. The last granule position is
// the exact length, so the file reads back at the document's length.
// Samples that are not finite are encoded as silence.
#pragma once

#include <string>

#include "codecs/codec_progress.h"
#include "codecs/vorbis_encode_block.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Writes `document` to `path`, under a hidden name renamed over `path` when
// complete; on failure nothing is left. Errors: 15 for more than two
// channels, settings out of range or a combination of rate and bitrate the
// encoder has no mode for; 37 without libvorbisenc; 5; 9 or 26 when a write
// fails; kCancelled; the document's read errors.
[[nodiscard]] Error WriteVorbisFile(const SoundDocument& document, const std::string& path,
                                    const VorbisEncodeSettings& settings, const CodecProgress& progress = {});

}  // namespace tidemark
