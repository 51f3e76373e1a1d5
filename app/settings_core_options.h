// Filling the sound data core's options record from the settings. The core
// owns CoreOptions (core/core_options.h, a header-only record) and never reads
// the settings itself; the application calls this at start-up, before any
// worker thread runs. It lives with the program because it is where the
// settings and the core meet; neither library knows the other.
#pragma once

#include "config/settings.h"
#include "core/core_options.h"

namespace tidemark {

// Sets every field of `options` that the settings hold: the extensible WAV
// header, cached reading, the large-detach confirmation, the ID3v2 tag
// version, text encoding and unsynchronisation, and the working folder
// ("TemporaryDirectory1", "TemporaryDirectory2") and the sample-rate
// converter's options ("Resample"). `host_work_folder`
// belongs to the host and the command line and is left as it is.
void FillCoreOptions(const Settings& settings, CoreOptions* options);

}  // namespace tidemark
