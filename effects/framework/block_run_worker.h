// Running a block run over a document's selection: the worker streams the
// selection through the run in blocks of 0x40000 bytes of float frames into
// working files, compensating the run's latency and restoring the channels
// it must not touch; the result replaces the selection as one undo step.
#pragma once

#include <cstdint>

#include "core/samples/sample_format.h"
#include "effects/framework/effect_entry.h"
#include "platform/error.h"

namespace tidemark {

class ProgressScope;

// The editor messages of an effect run (counted from WM_APP).
namespace effect_msg {
// The channels of the mask in wparam were processed (stereo documents only).
inline constexpr std::uint32_t kChannelsProcessed = 0x8005;
}  // namespace effect_msg

// The frames per block for `channels` float channels (0x40000 bytes).
constexpr std::uint32_t EffectBlockFrames(std::uint16_t channels) { return 0x40000u / (4u * channels); }

// The sample code of the working files effects write (the settings'
// temporary sample bits; float by default), never the document's own code.
void SetEffectWorkingCode(SampleCode code);
SampleCode EffectWorkingCode();

// Processes [params.start, params.start + params.length) of params.target
// through `run` on a worker thread under `scope`: tells a stereo document's
// editor the processed channels; makes a mono document stereo when the
// output has two channels (the views are made before the worker starts and
// put in place with the output, or not at all); replaces the selection by
// the output in the working format (the settings' temporary sample bits),
// one undo step named by the run. Errors: 2, 39, 77 (the result would pass
// the length limit), 0xFFFFFFFF cancelled, the run's and the working files'
// errors; on any error the document and its history are as they were and
// no working file is left.
[[nodiscard]] Error ProcessBlockRun(ProgressScope& scope, const CEffEntry::SetupParams& params, CEffRun& run);

// The same for a pull run: replaces [source start, source start + source
// length) by the run's output.
[[nodiscard]] Error ProcessPullRun(ProgressScope& scope, const CEffEntry::SetupParams& params,
                                   CResampleEffRun& run);

}  // namespace tidemark
