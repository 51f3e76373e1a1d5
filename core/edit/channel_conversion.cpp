#include "core/edit/channel_conversion.h"

#include "core/document/sound_document.h"
#include "core/sources/view_source.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error ConvertToStereo(SoundDocument& document) {
  if (document.channels != 1) return err::kOk;
  // TODO(worker): the undo history's edit records must be converted too.
  for (Segment* s = document.segments.first(); s; s = s->next) {
    SourceRef view;
    if (MakeNew<StereoViewSource>(&view, s->source, std::uint16_t{0})) return err::kOutOfMemory;
    s->source = std::move(view);
    if (s->gain) {
      s->gain->gain1 = s->gain->gain0;
      s->gain->offset1 = s->gain->offset0;
    }
  }
  document.channels = 2;
  return err::kOk;
}

}  // namespace tidemark
