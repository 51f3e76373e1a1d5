// The document properties the automation layer exposes: format, length,
// saved state, selection (in seconds) and the selected channels. Times in
// seconds become frames as floor(seconds x rate + 0.5), clamped to the
// document.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// (code & 15) x 8: 8, 16, 24, 32 or 64.
std::uint32_t BitsPerSample(const SoundDocument& document);
std::uint16_t Channels(const SoundDocument& document);
// frames / rate.
double LengthSeconds(const SoundDocument& document);

// Relabels the rate without resampling: only the rate field changes, the
// format counts as changed and the frame hears 128 (with 64 when the
// document was saved). 15 outside 4000 ... 384000 Hz; the same rate changes
// nothing.
[[nodiscard]] Error SetSampleRate(SoundDocument& document, std::uint32_t rate);

// Both change counters 0, the format and the tags unchanged.
bool IsSaved(const SoundDocument& document);

// The selection ends in seconds (frame / rate).
double SelectionFromSeconds(const SoundDocument& document);
double SelectionToSeconds(const SoundDocument& document);
// Set one end, clamped to [0, length]; the other end moves along when the
// selection would turn over. A negative end selects [0, 0]; a start below 0
// is 0. 77 for NaN.
[[nodiscard]] Error SetSelectionFromSeconds(SoundDocument& document, double seconds);
[[nodiscard]] Error SetSelectionToSeconds(SoundDocument& document, double seconds);
// The same with frames, for callers that already have them.
void SetSelectionFromFrame(SoundDocument& document, std::int64_t frame);
void SetSelectionToFrame(SoundDocument& document, std::int64_t frame);
// floor(seconds x rate + 0.5) limited to [0, length] (NaN: 0).
std::uint32_t SecondsToFrame(const SoundDocument& document, double seconds);

// The selected-channel mask (bit c: channel c). Setting clips the mask to
// the document's channels and is ignored for mono documents and for a mask
// with no channel left.
std::uint32_t ChannelSelection(const SoundDocument& document);
void SetChannelSelection(SoundDocument& document, std::uint32_t mask);

// The text form of the file kind and sample code Save writes ("Wave16").
std::string PcmFileSample(const SoundDocument& document);
// Sets both from their text form, the code normalised for the kind. 77 when
// the text does not parse, 15 when the kind cannot store the code.
[[nodiscard]] Error SetPcmFileSample(SoundDocument& document, std::string_view text);

}  // namespace tidemark
