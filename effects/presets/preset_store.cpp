#include "effects/presets/preset_store.h"

#include <array>

#include "config/settings_folder.h"
#include "effects/framework/effect_entry.h"
#include "effects/framework/effect_registry.h"
#include "platform/error_numbers.h"

namespace tidemark {

namespace {

struct EncoderRegistration {
  std::string_view identifier;
  std::uint32_t block_size;
};

// The encoder and new-format registrations in registration order; their
// block contents belong to the encoder settings.
constexpr std::array<EncoderRegistration, 9> kEncoderRegistrations{{
    {"SoundFormatSelect", 8},
    {"LAMEEncode", 12},
    {"OpusEncode", 12},
    {"OggVorbisEncode", 16},
    {"AACEncode", 8},
    {"ACMEncode", 16},
    {"MP3Encode", 8},
    {"WMAEncode", 12},
    {"FLACEncode", 16},
}};

constexpr std::uint32_t kProgramSlots = 1u << 0 | 1u << 3;

// The effects' current defaults (empty for rows whose entry is not
// installed yet).
void FillEffectDefaults(PresetRegistry& registry) {
  for (const EffectDescription& row : EffectDescriptions()) {
    PresetEntry& entry = registry.slots[0][row.command - kFirstEffectCommand];
    if (const CEffEntry* effect = EffectRegistry::Find(row.command))
      if (const SettingsLayout* layout = effect->GetSettingsLayout()) entry.defaults = DefaultBlock(*layout);
  }
}

}  // namespace

PresetRegistry BuildProgramRegistry() {
  PresetRegistry registry;
  for (const EffectDescription& row : EffectDescriptions()) {
    PresetEntry entry;
    entry.identifier = std::string(row.key_name);
    registry.slots[0].push_back(std::move(entry));
  }
  FillEffectDefaults(registry);
  for (const EncoderRegistration& reg : kEncoderRegistrations) {
    PresetEntry entry;
    entry.identifier = std::string(reg.identifier);
    entry.defaults.bytes.assign(reg.block_size, 0);
    registry.slots[3].push_back(std::move(entry));
  }
  return registry;
}

PresetRegistry& ProgramPresets() {
  static PresetRegistry registry = BuildProgramRegistry();
  return registry;
}

Error LoadProgramPresets(std::uint32_t* missing) {
  PresetRegistry& registry = ProgramPresets();
  // Short blocks are completed from these: the registry may have been built
  // before the effects were installed.
  FillEffectDefaults(registry);
  for (auto& slot : registry.slots)
    for (PresetEntry& entry : slot) entry.presets.clear();
  *missing = 0;
  const std::string path = ConfigReadPath(kPresetFileName);
  if (path.empty()) return err::kOk;
  return ReadPresetFile(path, registry, missing);
}

Error SaveProgramPresets() {
  const std::string path = ConfigWritePath(kPresetFileName);
  if (path.empty()) return err::kCreateFailed;
  return WritePresetFile(path, ProgramPresets(), kProgramSlots);
}

std::vector<Preset>* PresetsOf(const CEffEntry& entry) {
  const std::uint32_t command = entry.GetCommandId();
  if (command < kFirstEffectCommand || command >= kFirstEffectCommand + kBuiltInEffectCount) return nullptr;
  return &ProgramPresets().slots[0][command - kFirstEffectCommand].presets;
}

std::string ChainReadPath() {
  const std::string path = ConfigReadPath(kChainFileName);
  return path.empty() ? ConfigWritePath(kChainFileName) : path;
}

std::string ChainWritePath() { return ConfigWritePath(kChainFileName); }

}  // namespace tidemark
