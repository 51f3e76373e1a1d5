// The last step of the block-run worker and the pull executor, on the
// owner thread after the worker: a mono document becomes stereo when the
// output has two channels, and the output replaces the processed range as
// one undo step. Private to the effects library.
#pragma once

#include <string_view>

#include "core/document/edit_request.h"
#include "core/edit/channel_conversion.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Commits `stereo` (prepared before the worker ran), then ApplyEdit; when
// the edit fails the conversion is reverted, so the document is exactly as
// it was. On success the windows hear of the new channel count.
[[nodiscard]] Error PutEffectResult(SoundDocument& document, StereoConversion& stereo, EditRequest& request,
                                    std::string_view undo_name);

}  // namespace tidemark
