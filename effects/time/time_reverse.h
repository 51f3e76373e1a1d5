// Time reverse: the selection's frames in reverse order, every channel of a
// frame moving together whatever the channel mask. Its own worker reads the
// selection backwards in blocks (the last block first), reverses each block
// and appends it to a working file; the result replaces the selection as
// one undo step. No settings and no dialog.
#pragma once

#include <cstdint>

#include "core/document/segment.h"
#include "effects/framework/effect_entry.h"
#include "platform/error.h"

namespace tidemark {

class ProgressScope;

namespace NS_EFFECT_TIMEREV {

// Renders [start, start + length) of `document` reversed into new working
// files (the effects' working sample code) on a worker thread under
// `scope`, appending their segments (positions from 0) to `*out`. Blocks
// of EffectBlockFrames(channels) frames, counted back from the end;
// progress and cancel after each. 0xFFFFFFFF when cancelled, 77 for a
// stretch outside the document, 2, 39, the reading and writing errors; on
// any error no working file is left and `*out` is unchanged.
[[nodiscard]] Error RenderReversed(ProgressScope& scope, const SoundDocument& document, std::uint32_t start,
                                   std::uint32_t length, SegmentList* out);

class CMyEffEntry : public CEffEntry {
 public:
  CMyEffEntry();
  // 0xFFFFFFFB without a selection, 0xFFFFFFFF when cancelled (the document
  // and its history unchanged), or RenderReversed's and ReplaceRange's
  // errors.
  [[nodiscard]] Error Execute(SoundDocument* target) override;
};

CEffEntry& Entry();

}  // namespace NS_EFFECT_TIMEREV
}  // namespace tidemark
