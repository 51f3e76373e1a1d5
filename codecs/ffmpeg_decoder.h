// Reading through FFmpeg: AAC/M4A/MP4, WMA/WMV/ASF, the audio of AVI and
// other video containers, WAV files in encodings other than PCM or float
// (ADPCM, µ-law, A-law, GSM ...), and the platform media import.
//
// The first audio stream is decoded into working files: 16-bit when the
// decoder gives 8- or 16-bit integers (the WAV encodings, so that µ-law or
// ADPCM opens exactly as decoded), else 32-bit float (the lossy codecs).
// The length is sample-exact where the container records it: the AAC
// priming and end padding that an MP4 edit list or iTunSMPB-style skip
// records are dropped by the decoder. More than two channels are refused
// (15) rather than mixed down. A file whose packets stop short of the
// length its container states by more than a quarter second is damaged
// (8); frames the decoder rejects are skipped as the peer tools do. The
// container's metadata fills the tag set (title, artist, album, date,
// genre, comment, track, copyright; the encoder name as Software).
#pragma once

#include <string>

#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {

class SegmentList;

// Each answers 14 when the file's first bytes are not its container (before
// any library is loaded), when libavformat cannot read it or it holds no
// audio stream; 15 for an audio codec this FFmpeg cannot decode or a layout
// outside the open limits; 12; 8 for damage partway; 37 naming the package
// of a missing library; kCancelled (the open progress hook); the working
// files' errors.
//   ReadMp4File: ISO media ("ftyp", "moov", "mdat", "free", "wide" box first)
//   ReadWindowsMediaFile: ASF (its header object's GUID)
//   ReadVideoFile: AVI ("RIFF" ... "AVI "), Matroska/WebM, MPEG-PS/TS, FLV, ISO media, ASF
//   ReadCompressedWaveFile: "RIFF"/"RF64"/"BW64" ... "WAVE"
//   ReadMediaImport: anything libavformat recognises
[[nodiscard]] Error ReadMp4File(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                SegmentList* segments);
[[nodiscard]] Error ReadWindowsMediaFile(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                         SegmentList* segments);
[[nodiscard]] Error ReadVideoFile(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                  SegmentList* segments);
[[nodiscard]] Error ReadCompressedWaveFile(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                           SegmentList* segments);
[[nodiscard]] Error ReadMediaImport(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                    SegmentList* segments);

}  // namespace tidemark
