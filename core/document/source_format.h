// What a source's samples were stored as: the sample code of the file behind
// a file source or a channel view of one.
#pragma once

#include "core/samples/sample_format.h"
#include "core/sources/sound_source.h"

namespace tidemark {

// The stored sample code behind `source`: a file source's own code, a
// view's inner source's code, 32-bit float for a 1-bit file's converting
// source (what it computes); 0 for silence, a null source or any other
// kind (no stored samples, nothing wider than they read).
SampleCode NativeSampleCode(const SoundSource* source);

// True when the stored samples carry more than 16 bits: 24- and 32-bit
// integers and float of either width.
bool IsWiderThan16Bits(SampleCode code);

}  // namespace tidemark
