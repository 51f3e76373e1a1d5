// FLAC and Ogg FLAC through libFLAC: decoding into working files on open,
// encoding a document to a FLAC file on save.
//
// A file opens with the sample code of its width: up to 16 bits as 16-bit
// (8-bit files included, shifted up), up to 24 bits as 24-bit, wider as
// 32-bit. Its Vorbis comments fill the tag set; the WAV or AIFF chunks of
// its "riff"/"aiff" APPLICATION blocks give the markers and fill the slots
// the comments leave empty; without them, its CUESHEET gives the markers.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/codec_progress.h"
#include "codecs/flac_encode_block.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

class SegmentList;
struct SoundDocument;

// Opens the FLAC (or, with `ogg`, Ogg FLAC) file at `path` into working
// files: `segments` gets their segments, `info` the format and frame count.
// libFLAC reads the metadata; FFmpeg's decoder, when present, gives the
// samples of a native 8-, 16- or 24-bit file of known length whose frames
// are about as large as its raw samples (verbatim, where it is faster),
// else libFLAC does: either way the same samples, length, sample code and
// answer.
// The open progress hook (CodecOpenProgress) sees the frames decoded.
// Errors: 14 when the file is not FLAC (checked before the library is
// loaded) or its stream is broken before any frame; 8 when it ends before
// the frames its STREAMINFO counts (a truncated file); 15 and 12 (open
// limits); 37 without libFLAC; kCancelled; the working files' (26, 9 ...).
[[nodiscard]] Error ReadFlacFile(const std::string& path, bool ogg, bool take_metadata, SoundFileInfo* info,
                                 SegmentList* segments);

// Writes `document` to `path` as FLAC with `settings`: the document's tags
// as Vorbis comments (with ReplayGain ones when asked), its markers as a
// CUESHEET and, unless left out, markers and tags as "riff" blocks. The file is written under a hidden name in the
// target's folder and renamed over `path` only when complete; on failure
// nothing is left. Errors: 15 for a width other than 8, 16 or 24 bits or a
// level above 8; 37 without libFLAC; 5 when the file cannot be created; 9
// when encoding or writing fails; kCancelled; the document's read errors.
[[nodiscard]] Error WriteFlacFile(const SoundDocument& document, const std::string& path,
                                  const FlacEncodeSettings& settings, const CodecProgress& progress = {});

namespace detail {
// How many opens FFmpeg's decoder gave the samples of. For tests.
std::uint64_t FlacOpensDecodedByFfmpeg();
}  // namespace detail

}  // namespace tidemark
