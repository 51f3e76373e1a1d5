// Puts the codec layer's readers into the open dispatch. Call once at
// program start, after InstallFileKinds.
#pragma once

namespace tidemark {

void InstallCodecs();

}  // namespace tidemark
