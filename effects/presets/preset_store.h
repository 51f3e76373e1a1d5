// The program's presets and chains in the settings folder: "tide.preset"
// holds the presets of the built-in effects and of the encoder-settings
// registrations, "chain.preset" the effect chains. The plug-in files
// ("vst.preset", "dxp.preset") are never read nor written: no plug-in is
// known on this platform, and writing them would empty files other
// installations keep.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "effects/presets/preset_file.h"
#include "platform/error.h"

namespace tidemark {

class CEffEntry;

inline constexpr std::string_view kPresetFileName = "tide.preset";
inline constexpr std::string_view kChainFileName = "chain.preset";

// The built-in effects in registry order and the encoder registrations with
// their block sizes, as the preset files map them.
PresetRegistry BuildProgramRegistry();

// The registry whose lists hold the loaded presets (built on first use).
PresetRegistry& ProgramPresets();

// Loads "tide.preset" from the settings folder into ProgramPresets(),
// dropping what was loaded before. The read errors of ReadPresetFile.
[[nodiscard]] Error LoadProgramPresets(std::uint32_t* missing);
// Writes ProgramPresets() to "tide.preset" in the settings folder (5 when
// no file can be created there, 9 when a write fails; the old file is then
// intact).
[[nodiscard]] Error SaveProgramPresets();

// The preset list of a built-in entry; null for an entry outside the registry.
std::vector<Preset>* PresetsOf(const CEffEntry& entry);

// The chain file to read and to write ("chain.preset").
std::string ChainReadPath();
std::string ChainWritePath();

}  // namespace tidemark
