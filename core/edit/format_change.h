// Changing the format of sound material: a new rate through the sample-rate
// converter, a new channel count, a new sample code, in any combination.
//
// A new rate gives floor(n x new / old + 0.5) frames with the converter's
// latency removed; markers and envelope points move to
// floor(p x new / old + 0.5), kept inside the new length. Stereo becomes
// mono as (L + R) x 0.5 or as one of its channels; mono becomes stereo by
// copying. The converted material is rendered as float into new working
// files. Non-finite samples (NaN, infinity) are read as 0 by the
// conversion, so that none reaches the result.
#pragma once

#include <cstdint>

#include "core/document/envelope.h"
#include "core/document/segment.h"
#include "core/edit/sound_clip.h"
#include "core/markers/marker.h"
#include "core/samples/sample_format.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;
class RenderObserver;

// How stereo becomes mono.
enum class MonoFrom : std::uint8_t { kMix, kLeft, kRight };

// The material to convert: [0, length) of `list`.
struct ConvertSource {
  const SegmentList* list = nullptr;
  std::uint32_t length = 0;
  std::uint32_t rate = 44100;
  std::uint16_t channels = 2;
};

// Renders the source at `rate` with `channels` (1 or 2) into new working
// files (float), appending their segments (positions from 0) to `out` and
// the frame count to `*frames`. The observer sees input frames read and may
// cancel (-1). 77 when the result would pass kMaxFrames or an argument is
// out of range (rates 1..0x7FFFFFFF), 2, and the read and write errors; on
// error the working files are deleted and `out` is unchanged.
[[nodiscard]] Error RenderConverted(const ConvertSource& source, std::uint32_t rate, std::uint16_t channels,
                                    MonoFrom mono, RenderObserver* observer, SegmentList* out,
                                    std::uint32_t* frames);

// Positions scaled from `old_rate` to `new_rate`, at most `max_position`.
std::uint32_t ScalePosition(std::uint32_t position, std::uint32_t old_rate, std::uint32_t new_rate,
                            std::uint32_t max_position);
// Copies of the lists with their positions scaled. 2 out of memory.
[[nodiscard]] Error ScaleMarkers(const MarkerList& list, std::uint32_t old_rate, std::uint32_t new_rate,
                                 std::uint32_t max_position, MarkerList* out);
[[nodiscard]] Error ScaleEnvelope(const EnvelopeList& list, std::uint32_t old_rate, std::uint32_t new_rate,
                                  std::uint32_t max_position, EnvelopeList* out);

// A new clip holding `clip` converted to `rate` and `channels` (mono from
// stereo by its first channel, as pastes map channels), markers and
// envelope scaled. Errors as RenderConverted.
[[nodiscard]] Error ConvertClip(const SoundClip& clip, std::uint32_t rate, std::uint16_t channels,
                                RenderObserver* observer, ClipRef* out);

// What a document becomes; 0 keeps the rate, channel count or sample code.
struct FormatChange {
  std::uint32_t rate = 0;      // 4000..384000
  std::uint16_t channels = 0;  // 1 or 2
  SampleCode code = 0;
  MonoFrom mono = MonoFrom::kMix;
};

// Changes the document's format as one undo step ("Change Format") that
// restores rate, channels, code, samples, markers and envelope together.
// Nothing to do (0) when nothing differs. 77 for a rate outside
// 4000..384000, a channel count other than 1 or 2, or a result longer than
// kMaxFrames (the document unchanged); 15 for an unknown sample code; -1 when
// the observer cancels; errors of RenderConverted. The selection becomes
// the whole document. The step has no stored form (its Serialize gives
// 77): a workspace keeps the document as it is and ends its history there.
[[nodiscard]] Error ChangeFormat(SoundDocument& document, const FormatChange& change,
                                 RenderObserver* observer = nullptr);

}  // namespace tidemark
