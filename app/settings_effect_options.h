// Where the settings meet the effects: the format of the working files
// effect output goes to, and the weighting statistics use by default. The
// effects never read the settings themselves; the programs call this at
// start-up, before any effect runs.
#pragma once

#include <cstdint>

#include "config/settings.h"
#include "core/samples/sample_format.h"

namespace tidemark {

// "TemporarySampleBits" as a sample code: 32 float, 24 and 16 those integer
// widths, any other value float.
SampleCode EffectWorkingCodeForBits(std::int32_t bits);

// "WeightingFilter" as the statistics take it: '0' or 'A' to 'D' (a lower-
// case letter counts as its capital); anything else is '0'.
char StatisticsWeighting(const Settings& settings);

// Puts the working format of the settings in force for the effects.
void ApplyEffectSettings(const Settings& settings);

}  // namespace tidemark
