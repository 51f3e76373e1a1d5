// Markers as a FLAC CUESHEET block. Writing: a cue sheet that is not CD-DA
// (lead-in 0), one track per marker in position order (numbers 1, 2, ...,
// at most 254 tracks; later markers are left to the "riff" blocks) with one
// index point, number 1, at the track's start, and the lead-out track 255
// at the end of the stream. Reading: a marker at every index point of every
// track but the lead-out, named "Track NN" for index 1 and "Track NN.MM"
// for the others; positions past the stream end are lowered to it.
#pragma once

#include <FLAC/format.h>
#include <FLAC/metadata.h>

#include <cstdint>

#include "core/markers/marker_list.h"
#include "platform/error.h"

namespace tidemark {

struct FlacCueApi {
  decltype(&FLAC__metadata_object_cuesheet_insert_blank_track) insert_track;
  decltype(&FLAC__metadata_object_cuesheet_track_insert_blank_index) insert_index;
};

inline constexpr std::size_t kMaxCueSheetTracks = 254;

// Fills the empty CUESHEET `object` for `markers` in a stream of `frames`
// frames. 2.
[[nodiscard]] Error FillCueSheet(const FlacCueApi& api, const MarkerList& markers, std::uint64_t frames,
                                 FLAC__StreamMetadata* object);

// The markers of `sheet`, in position order. 2.
[[nodiscard]] Error MarkersFromCueSheet(const FLAC__StreamMetadata_CueSheet& sheet, std::uint32_t frames,
                                        MarkerList* markers);

}  // namespace tidemark
