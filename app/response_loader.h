// The impulse-response loader the convolution effects use: any sound file
// the program opens, read to float through the formats layer.
#pragma once

#include <string>

#include "effects/convolution/impulse_response.h"

namespace tidemark {

[[nodiscard]] Error LoadResponseFile(const std::string& path, NS_EFFECT::ImpulseResponse* out);

// Installs LoadResponseFile as the effects' loader.
void InstallResponseLoader();

}  // namespace tidemark
