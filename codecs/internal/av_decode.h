// Decoding through FFmpeg for readers that know more about a file than its
// container states (the exact length, the tags), and the length a
// container states.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/internal/ffmpeg_api.h"
#include "formats/sound_file_info.h"
#include "platform/error.h"

namespace tidemark {
class SegmentList;
}  // namespace tidemark

namespace tidemark::codec_detail {

// The frames `duration` in `time_base` units makes at `rate`, rounded; 0
// when unknown (a duration or time base not above 0) or absurd (1e12 or
// more).
std::uint64_t StatedFrames(std::int64_t duration, AVRational time_base, std::uint32_t rate);

// How DecodeKnownStream treats what does not fit the known length.
enum class KnownLength {
  kCut,    // frames past it are dropped (a lossy codec's last packet)
  kExact,  // frames past it, a packet the decoder rejects or one failing its
           // checksum are damage: a lossless stream gives all of its samples
           // exactly or none
};

// Decodes the first audio stream of `path` into working files described by
// `known`: its rate, channel count and sample code (16-bit integer, 24- or
// 32-bit integer from the decoder's left-justified 32-bit output, else
// float); its frame count is the exact length (any short of it is damage,
// 8; past it, see `length`). The tags and markers are left to the caller.
// 15 when the stream is not `codec_id` or its rate or channel count
// differ from `known`'s (nothing is written then), 37 without the FFmpeg
// libraries, and the errors of the FFmpeg readers.
[[nodiscard]] Error DecodeKnownStream(const std::string& path, AVCodecID codec_id, const SoundFileInfo& known,
                                      SoundFileInfo* info, SegmentList* segments,
                                      KnownLength length = KnownLength::kCut);

}  // namespace tidemark::codec_detail
