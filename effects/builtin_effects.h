// The entries of the effects this build has, gathered for the registry.
#pragma once

#include <vector>

namespace tidemark {

class CEffEntry;

// One static entry object per effect, in no particular order.
std::vector<CEffEntry*> BuiltInEffectEntries();

// Puts in force what the built-in effects lend the framework: the weighting
// curves of the statistics.
void InstallBuiltInHooks();

}  // namespace tidemark
