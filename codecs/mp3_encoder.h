// MP3 writing through LAME (libmp3lame): an ID3v2 tag with the document's
// tags and markers (as chapters) in front, the frames, the LAME/Xing info
// frame finished at the end (so readers get the exact length back: encoder
// delay and padding are recorded there), and an ID3v1 tag at the end unless
// the settings leave it out.
//
// The document's rate must be one MP3 holds (8000, 11025, 12000, 16000,
// 22050, 24000, 32000, 44100 or 48000 Hz): nothing is resampled here.
// Samples that are not finite are encoded as silence, and float samples
// beyond 12 dB over full scale are cut there.
#pragma once

#include <string>

#include "codecs/codec_progress.h"
#include "codecs/lame_encode_block.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// True for the rates above.
bool IsMp3Rate(std::uint32_t rate);

// Writes `document` to `path` with `settings`, under a hidden name renamed
// over `path` when complete; on failure nothing is left. Errors: 15 for a
// rate MP3 does not hold, more than two channels or settings out of range;
// 37 without libmp3lame; 5 when the file cannot be created; 9 or 26 when a
// write fails; kCancelled; the document's read errors.
[[nodiscard]] Error WriteMp3File(const SoundDocument& document, const std::string& path,
                                 const LameEncodeSettings& settings, const CodecProgress& progress = {});

}  // namespace tidemark
