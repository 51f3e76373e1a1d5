// Opus in Ogg: reading through libopusfile, writing through libopusenc.
//
// Reading: the pre-skip is removed and the length is the one the last
// granule position gives (sample-exact): at 48 kHz that count, at another
// rate R floor(count x R / 48000), which is the original length of a file
// encoded from R (encoders count ceil(n x 48000 / R)) for R up to 48 kHz. Opus always decodes at 48 kHz;
// the document opens at the original rate the header records when the
// resampler (dsp/resample) reaches it exactly from 48 kHz (its reduced
// output rate needs no interpolation between kernel phases: 44100, 32000,
// 22050, 16000, 8000 ... Hz), else, and for a header without a rate, at
// 48 kHz. OpusFileRate tells which. Files of more than two channels are
// refused (15). Vorbis comments fill the tag set.
//
// Writing: the document's samples at its own rate (libopusenc converts to
// 48 kHz and records the rate in the header), the tags as Vorbis comments.
// Samples that are not finite are encoded as silence.
#pragma once

#include <string>

#include "codecs/codec_progress.h"
#include "codecs/opus_encode_block.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

class SegmentList;
struct SoundDocument;

// The rate a file whose header records `original_rate` opens at.
std::uint32_t OpusFileRate(std::uint32_t original_rate);

// Opens the Ogg Opus file at `path` into working files. Errors: 14 when it
// is not Ogg Opus (checked before the library is loaded) or its headers are
// broken; 8 when decoding fails partway; 15 (more than two channels) and 12;
// 37 without libopusfile; kCancelled; the working files'.
[[nodiscard]] Error ReadOpusFile(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                 SegmentList* segments);

// Writes `document` to `path`, under a hidden name renamed over `path` when
// complete; on failure nothing is left. Errors: 15 for more than two
// channels or settings out of range; 37 without libopusenc; 5; 9 or 26 when
// a write fails; kCancelled; the document's read errors.
[[nodiscard]] Error WriteOpusFile(const SoundDocument& document, const std::string& path,
                                  const OpusEncodeSettings& settings, const CodecProgress& progress = {});

}  // namespace tidemark
