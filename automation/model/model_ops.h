// The work behind the object model's members, on the engine's own types:
// each takes documents and clips and answers an error number, so that the
// COM classes only check arguments, call one of these and turn a non-zero
// answer into an application error. Everything runs on the user-interface
// thread; long work runs under a progress scope (progress and Ctrl-C).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/model/model_rules.h"
#include "core/document/sound_document.h"
#include "core/edit/sound_clip.h"
#include "effects/analysis/waveform_statistics.h"
#include "formats/open_sound_file.h"
#include "formats/save_document.h"

namespace tidemark::NS_SCRIPT {

FrameRange SelectionOf(const SoundDocument& document);

// Gains of the selection (the right channel's used for two channels).
[[nodiscard]] Error AddGain(SoundDocument& document, double left, double right);
// Offsets of the selection; without `left` the selection's DC offsets are
// measured and removed.
[[nodiscard]] Error AddOffset(SoundDocument& document, std::optional<double> left, std::optional<double> right);
// Replaces the selection by `silent_secs` seconds of silence (12 past the
// length limit).
[[nodiscard]] Error DeleteWithSilenceSeconds(SoundDocument& document, double silent_secs);
// The chain stored under `name` on the selection; `detail` gets the failing
// member's label.
[[nodiscard]] Error RunChain(SoundDocument& document, std::u16string_view name, std::string* detail);
[[nodiscard]] Error Stretch(SoundDocument& document, double speed, bool smoothing);
[[nodiscard]] Error PitchAndSpeed(SoundDocument& document, double pitch, double speed, bool for_music);
// All statistics of the selection under weighting `letter`; an empty
// selection gives zeros.
[[nodiscard]] Error MeasureSelection(const SoundDocument& document, char letter, WaveformStatistics* stats);
// Replaces the selection with `clip` converted to the document's rate and
// channels: every channel (mask 0 or all bits) replaces the selection as a
// paste does; a part of the channels is overwritten from the selection
// start for the clip's length. 12 when the result would pass the limit.
[[nodiscard]] Error ReplaceSelection(SoundDocument& document, const SoundClip& clip, std::uint32_t mask);

// A clip of the document's selection.
[[nodiscard]] Error ClipOfSelection(const SoundDocument& document, ClipRef* clip);
// A clip of [from, to) of `clip` (both already clamped to its length).
[[nodiscard]] Error ClipOfRange(const SoundClip& clip, std::uint32_t from, std::uint32_t to, ClipRef* out);
// Opens a file as a clip without a window; `tags` gets its texts.
[[nodiscard]] Error OpenClip(const std::string& path, const OpenOptions& options, ClipRef* clip,
                             DocumentMetadata* tags);
// Whether a clip of `path` stays undecoded until its samples are needed:
// every file but those of a refused extension and the plain WAV, AIFF and
// AU files the probe knows (whose samples stay in the file anyway), which
// open at once. 25 (or 8) when the file cannot be read at all.
[[nodiscard]] Error ProbeClipSource(const std::string& path, bool* undecoded);
// OpenClip under a progress scope: the decoder reports its progress there
// and a cancel (Ctrl-C) stops it with kCancelled, leaving nothing behind.
[[nodiscard]] Error DecodeClip(const std::string& path, const OpenOptions& options, ClipRef* clip,
                               DocumentMetadata* tags);
// A new untitled 16-bit document; the caller hands it to the host.
[[nodiscard]] Error NewDocument(std::uint32_t rate, std::uint16_t channels, DocumentPtr* document);
// A new untitled document holding `clip` in its own format.
[[nodiscard]] Error NewDocumentFromClip(const SoundClip& clip, DocumentPtr* document);

// Writes the mixdown of `documents` to `path` as `type`. Every document
// starts at the mixdown's start; the result is as long as the longest, a
// shorter one adds nothing after its end. The rate and channel count are
// the first document's; the others are converted to them (mono into both
// channels, stereo into mono by its mean). The sum is kept in float and,
// when its peak passes full scale, scaled down by one gain so that the
// peak is full scale (the clip guard). Non-finite samples count as 0.
[[nodiscard]] Error MixDown(const std::vector<SoundDocument*>& documents, const std::string& path,
                            ParsedSampleType type, const SaveOptions& options);

}  // namespace tidemark::NS_SCRIPT
