#include "codecs/flac_cue_sheet.h"

#include <algorithm>
#include <cstdio>

#include "platform/error_numbers.h"

namespace tidemark {

Error FillCueSheet(const FlacCueApi& api, const MarkerList& markers, std::uint64_t frames,
                   FLAC__StreamMetadata* object) {
  FLAC__StreamMetadata_CueSheet& sheet = object->data.cue_sheet;
  sheet.is_cd = false;
  sheet.lead_in = 0;
  unsigned track = 0;
  for (const Marker* m = markers.first(); m && track < kMaxCueSheetTracks; m = m->next, ++track) {
    if (!api.insert_track(object, track) || !api.insert_index(object, track, 0)) return err::kOutOfMemory;
    sheet.tracks[track].number = static_cast<FLAC__byte>(track + 1);
    sheet.tracks[track].offset = std::min<std::uint64_t>(m->position, frames);
    sheet.tracks[track].indices[0].number = 1;
    sheet.tracks[track].indices[0].offset = 0;
  }
  if (!api.insert_track(object, track)) return err::kOutOfMemory;
  sheet.tracks[track].number = 255;
  sheet.tracks[track].offset = frames;
  return Error{};
}

Error MarkersFromCueSheet(const FLAC__StreamMetadata_CueSheet& sheet, std::uint32_t frames, MarkerList* markers) {
  MarkerList list;
  for (FLAC__uint32 t = 0; t + 1 < sheet.num_tracks; ++t) {  // the last is the lead-out
    const FLAC__StreamMetadata_CueSheet_Track& track = sheet.tracks[t];
    for (FLAC__byte i = 0; i < track.num_indices; ++i) {
      const FLAC__StreamMetadata_CueSheet_Index& index = track.indices[i];
      char name[32];
      if (index.number == 1)
        std::snprintf(name, sizeof name, "Track %02u", static_cast<unsigned>(track.number));
      else
        std::snprintf(name, sizeof name, "Track %02u.%02u", static_cast<unsigned>(track.number),
                      static_cast<unsigned>(index.number));
      const std::uint64_t at = std::min<std::uint64_t>(track.offset + index.offset, frames);
      Marker* marker = NewMarker(name, "", static_cast<std::uint32_t>(at));
      if (!marker) return err::kOutOfMemory;
      InsertMarker(list, marker);
    }
  }
  *markers = std::move(list);
  return Error{};
}

}  // namespace tidemark
