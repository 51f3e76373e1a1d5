// Plugging the formats layer's header builders into the core's header
// registry, so that every writer of sound files (the save path, the core's
// buffered writer) can build AIFF, AIFC and AU headers.
#pragma once

namespace tidemark {

// Registers the AIFF, AIFC and AU header builders with the core. Safe to
// call any number of times from any thread; only the first call registers.
// The file-kind functions (HeaderSize, BuildHeader, PrepareSoundFile) call
// it themselves.
void RegisterFormatHeaderBuilders();

}  // namespace tidemark
