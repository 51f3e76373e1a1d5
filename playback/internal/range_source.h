// The source protocol as every source that plays a document range answers
// it. `S` holds `document` and `start`, and gives Restart() → the frames the
// range plays (a failed restart is reported by the next fill) and
// Fill(frames, buffer, code) → Error. The source frees itself after the stop.
#pragma once

#include <cstdint>

#include "core/document/sound_document.h"
#include "platform/error.h"
#include "playback/play_engine.h"

namespace tidemark::playback {

template <typename S>
std::uint64_t RangeSourceProc(void* context, PlaybackSource& r) {
  auto* self = static_cast<S*>(context);
  switch (r.kind) {
    case kSourceRewind:
      return self->Restart();
    case kSourceFill:
      if (const Error rc = self->Fill(static_cast<std::uint32_t>(r.count), r.buffer, r.code)) return rc.code();
      return 0;
    case kSourceRangeChanged:
    case kSourceRestarted:
      return r.count;
    case kSourceFailed:
      PostEndNotice(static_cast<std::uint32_t>(r.count), r.pair[0]);
      return 0;
    case kSourceDocument:
      *static_cast<SoundDocument**>(r.buffer) = self->document;
      r.pair[0] = self->start;
      return 0;
    case kSourceAfterStop:
      delete self;
      return 0;
    default:
      return 0;
  }
}

}  // namespace tidemark::playback
