// How each file kind stores its samples: the kind a file name's extension
// asks for, the sample code a kind really holds, the header in front of the
// samples, and sizing a new file for header and samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/samples/sample_format.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// The largest size of a sound file: header plus samples, pad byte included.
inline constexpr std::uint32_t kMaxSoundFileBytes = 0xFFFFFFFEu;

// ".aif" and ".aiff" give AIFF, ".aifc" AIFC, ".au" and ".snd" AU, ".wav"
// Wave, anything else (or no extension) `fallback`. The extension is what
// follows the last '.' of the last path component; ASCII case is ignored.
PcmFileKind FileTypeFromExtension(std::string_view name, PcmFileKind fallback);

// Any kind value of Raw (5) or above stands for Raw.
constexpr PcmFileKind NormalisedKind(PcmFileKind kind) {
  return static_cast<std::uint16_t>(kind) >= static_cast<std::uint16_t>(PcmFileKind::Raw) ? PcmFileKind::Raw
                                                                                         : kind;
}

// The sample code a file of `kind` holds when a document of `code` is saved
// to it. `*converted` is set only when the numbers themselves change kind
// (float saved as AIFF becomes 32-bit big-endian integer); changes of byte
// order or signedness are not reported. The rule is core's NormaliseForKind,
// which the sample-type texts need without the formats layer.
SampleCode StoredSampleFormat(PcmFileKind kind, SampleCode code, bool* converted);

// The sample code of a headerless or decoded stream of `width` bytes per
// sample read for `kind`: 8-bit Wave is unsigned, AIFF, AIFC and AU integers
// and floats of 2 bytes or more are big-endian.
SampleCode SampleFormatOnReading(PcmFileKind kind, unsigned width, bool is_float);

// The header bytes of `kind` for `code` (0 for Raw), with the extensible
// WAV layout when the core options ask for it. 77 for an unsupported code
// or a kind whose header is not in force (InstallFileKinds).
[[nodiscard]] Error HeaderSize(PcmFileKind kind, SampleCode code, std::uint32_t* bytes);

// Builds the header of `kind` into `buffer` (kMaxPcmHeaderBytes or more);
// `*length` gets its size, 0 for Raw. AIFF may choose the AIFC layout for
// codes plain AIFF cannot hold; AIFC always gets it. 77 as HeaderSize, or
// when header and samples would pass kMaxSoundFileBytes.
[[nodiscard]] Error BuildHeader(PcmFileKind kind, std::byte* buffer, std::uint32_t rate, SampleCode code,
                                std::uint16_t channels, std::uint32_t frames, std::uint32_t* length);

// The check a save makes before writing anything: 19 when `frames` frames
// of `channels` x width bytes do not fit after the header in
// kMaxSoundFileBytes; 77 as HeaderSize.
[[nodiscard]] Error CheckFramesFitTarget(PcmFileKind kind, SampleCode code, std::uint16_t channels,
                                         std::uint32_t frames);

// Sizes the open `file` for header and samples and writes the header at
// offset 0; the samples go directly after the header. The file ends at
// header + samples, rounded up to even for the RIFF and IFF kinds (Temp,
// Wave, AIFF, AIFC), whose pad byte is written as zero; AU and Raw are not
// padded. Errors: 77 when header + samples pass kMaxSoundFileBytes or the
// layout is not supported; 26 when the disk is full and 10 for any other
// failure to size the file; 9 when a write fails (26 when it fails
// for want of space).
[[nodiscard]] Error PrepareSoundFile(PosixFile& file, PcmFileKind kind, std::uint32_t rate,
                                     SampleCode code, std::uint16_t channels, std::uint32_t frames);

// Rewrites the sample rate stored in the header of the file at `path` of
// `kind` in place when it differs from `rate`; nothing else changes. Raw
// stores no rate and succeeds without opening the file. The errors of
// OpenForMetadataEdit, 78 for a malformed file, 8, 9.
[[nodiscard]] Error PatchSampleRate(const std::string& path, PcmFileKind kind, std::uint32_t rate);

}  // namespace tidemark
