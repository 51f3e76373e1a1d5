// Writing through FFmpeg: AAC-LC in MP4/M4A (libfdk-aac when this FFmpeg
// has it and the settings prefer it, else FFmpeg's own encoder), WMA
// version 2 in ASF, MP3 through FFmpeg's MP3 encoder, and WAV files in the
// ADPCM, A-law and µ-law encodings. The document's tags go into the
// container's metadata (title, artist, album, date, genre, comment, track,
// copyright). Samples that are not finite are written as 0.
#pragma once

#include <string>

#include "codecs/av_encode_blocks.h"
#include "codecs/codec_progress.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Writes `document` to `path` with `settings`, under a hidden name beside
// the target renamed over it only when complete; on failure nothing is
// left. Errors: 15 for settings out of range or a rate or layout the
// encoder refuses; 37 naming the package of a missing library; 5 when the
// file cannot be created; 9 when encoding or writing fails; kCancelled;
// the document's read errors.
[[nodiscard]] Error WriteThroughFfmpeg(const SoundDocument& document, const std::string& path,
                                       const AvEncodeSettings& settings, const CodecProgress& progress = {});

// The package of an FFmpeg build with every encoder the writers use.
inline constexpr const char* kFullFfmpegPackage = "libavcodec-extra59";

// Whether the libraries load and this FFmpeg has the writer's encoder (for
// AAC, FFmpeg's own: libfdk-aac is only preferred). 0; or 37 with *package
// the package to install: the missing library's, or kFullFfmpegPackage when
// the libraries load but lack the encoder.
[[nodiscard]] Error FindFfmpegEncoder(const AvEncodeSettings& settings, std::string* package);

}  // namespace tidemark
