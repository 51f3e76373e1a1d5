// The private folder a test process runs in.
#pragma once

#include <string>

namespace tidemark::testing {

// Root of this process's private folder (HOME and the XDG folders lie below it).
const std::string& HermeticRoot();

// A new empty folder below the private root.
std::string MakeTempDir(const std::string& stem);

}  // namespace tidemark::testing
