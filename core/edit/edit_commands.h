// The commands that change a document's samples. Each builds one
// EditRequest, applies it with ReplaceRange and records the inverse as an
// undo step named by a core text (core/document/core_text.h); every error leaves the
// document as it was.
//
// Results beyond the error numbers: kClipMismatch (-3) from the paste that
// needs an exact match. A clip of another sample rate is converted first
// (core/edit/format_change.h: resampled into working files, channels mapped,
// markers and envelope scaled); a clip of another channel count at the
// document's rate is mapped (mono into both channels, stereo into mono by its
// first channel) through channel views of its sources.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/document/edit_request.h"
#include "core/edit/sound_clip.h"
#include "platform/error_numbers.h"

namespace tidemark {

struct SoundDocument;
class RenderObserver;


// Per-channel values: [0] channel 0, [1] channel 1 (ignored for mono).
using ChannelValues = std::array<float, 2>;

// ReplaceRange, then the inverse becomes the newest undo record named
// `undo_name` and one modification is counted. With undo recording off (or
// no memory for the record) the history is cleared instead.
[[nodiscard]] Error ApplyEdit(SoundDocument& document, EditRequest& request, std::string_view undo_name);

// Multiplies gain and offset of [start, start + length) per channel. All
// factors 0 turns the stretch into a gap. The copied segments are compacted:
// silence without offsets, unity gain blocks and all-zero segments go. A
// length of 0 does nothing. 77 when the stretch passes the length or a
// factor is not finite.
[[nodiscard]] Error ApplyGain(SoundDocument& document, std::uint32_t start, std::uint32_t length,
                              ChannelValues factors, std::string_view undo_name);
// The channels of `mask` (bit c: channel c) get `factor`, the others 1.
[[nodiscard]] Error ApplyGainMasked(SoundDocument& document, std::uint32_t start, std::uint32_t length,
                                    std::uint32_t mask, float factor, std::string_view undo_name);
// Adds full-scale offsets per channel (compacted as ApplyGain).
[[nodiscard]] Error ApplyOffset(SoundDocument& document, std::uint32_t start, std::uint32_t length,
                                ChannelValues offsets, std::string_view undo_name);

// Replaces [from, to) by `silent_frames` frames of silence (markers inside
// go, later ones move). 77 for a negative count or a bad range, 12 when the
// result would pass kMaxFrames.
[[nodiscard]] Error DeleteWithSilence(SoundDocument& document, std::uint32_t from, std::uint32_t to,
                                      std::int64_t silent_frames);

// The editing commands of the editor window. Those acting on the selection
// read it from the editor window; afterwards the new material is selected.
// Nothing happens (0) for an empty selection or an empty clip.
[[nodiscard]] Error DeleteSelection(SoundDocument& document);
// The selected channels only when the channel mask is not all of them.
[[nodiscard]] Error SilenceSelection(SoundDocument& document);
// (rate x ms + 500) / 1000 frames at min(position, length); 12 past kMaxFrames.
[[nodiscard]] Error InsertSilence(SoundDocument& document, std::uint32_t position, std::uint32_t ms);

// Inserts the clip at min(position, length); 12 past kMaxFrames.
[[nodiscard]] Error Paste(SoundDocument& document, std::uint32_t position, const SoundClip& clip);
// Replaces the selection with the clip (nothing without a selection).
[[nodiscard]] Error PasteOverSelection(SoundDocument& document, const SoundClip& clip);
// Overwrites from min(position, length) for the clip's length.
[[nodiscard]] Error PasteOverwrite(SoundDocument& document, std::uint32_t position, const SoundClip& clip);
// Paste that refuses any conversion: kClipMismatch when `clip` is null,
// empty, or of another rate or channel count.
[[nodiscard]] Error PasteExact(SoundDocument& document, std::uint32_t position, const SoundClip* clip);
// Adds (or subtracts) the clip to the document from min(position, length);
// the document grows where the clip passes its end. Only the selected
// channels take the clip. The sum is rendered into working files (float)
// with `observer` seeing progress and cancel (-1, nothing changed).
[[nodiscard]] Error MixPaste(SoundDocument& document, std::uint32_t position, const SoundClip& clip,
                             bool subtract, RenderObserver* observer = nullptr);

// Replaces the channels of `mask` in [start, start + clip length) with the
// clip's, converted first when its rate or channel count differs (the
// observer sees that conversion too); the other channels keep the
// document's material.
// The document grows where the clip passes its end.
[[nodiscard]] Error ReplaceChannels(SoundDocument& document, std::uint32_t start, const SoundClip& clip,
                                    std::uint32_t mask, RenderObserver* observer = nullptr);

// The clip's segments, markers and envelope copied for `document`: channels
// mapped, positions from 0. 15 for another rate, 2 out of memory.
[[nodiscard]] Error ClipMaterialFor(const SoundDocument& document, const SoundClip& clip, EditRequest* material);

}  // namespace tidemark
