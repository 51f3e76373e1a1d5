// The impulse-response loader the convolution effects use: any sound file
// the program opens, read to float through the formats layer.
#pragma once

#include <string>

#include "effects/convolution/impulse_response.h"
#include "effects/framework/effect_entry.h"

namespace tidemark {

[[nodiscard]] Error LoadResponseFile(const std::string& path, NS_EFFECT::ImpulseResponse* out);

// Writes `ir` to `path` as a WAV file of 64-bit float samples whose text
// annotations name it a synthetic room response for the FIR filter, with
// "DELAY=%d" carrying ir.delay, so that LoadResponseFile gives it back
// sample for sample. An existing file is replaced; on failure nothing is
// left at `path`. Errors: 5 cannot create, 9 or 10 writing, 19 over 4 GiB,
// 2.
[[nodiscard]] Error SaveResponseFile(const std::string& path, const NS_EFFECT::ImpulseResponse& ir);

// The response `entry` synthesises from `block` at `rate` (the reverb's
// room), saved by SaveResponseFile; `*frames` its length. Error 80 for an
// effect that synthesises none; the errors of the synthesis and the save.
[[nodiscard]] Error SaveSynthesisedResponse(const CEffEntry& entry, const SettingsBlock& block, std::uint32_t rate,
                                            const std::string& path, std::uint32_t* frames);

// Installs LoadResponseFile as the effects' loader.
void InstallResponseLoader();

}  // namespace tidemark
