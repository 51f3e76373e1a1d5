// Measuring a selection: the worker's block loop (blocks of 0x40000 bytes of
// float frames, progress, cancel after every block) without writing
// anything back. The measuring runs (statistics, offset scan) see every
// frame of the selection once, in order.
#pragma once

#include <string>

#include "effects/framework/effect_entry.h"
#include "platform/error.h"

namespace tidemark {

class ProgressScope;

// Feeds [params.start, params.start + params.length) of params.target, in
// its own channel count, to `run` with params.channel_mask, on a worker
// thread under `scope` with `caption`. 0xFFFFFFFF when cancelled, 39, 2,
// the read errors, the run's errors.
[[nodiscard]] Error ScanSelection(ProgressScope& scope, const CEffEntry::SetupParams& params, CEffRun& run,
                                  std::string caption);

}  // namespace tidemark
