#include "effects/framework/effect_registry.h"

#include <charconv>

#include "core/document/sound_document.h"
#include "effects/builtin_effects.h"
#include "effects/framework/effect_entry.h"
#include "platform/ascii_case.h"

namespace tidemark {

namespace {

using namespace channel_support;
constexpr std::uint32_t k4 = kStereo;
constexpr std::uint32_t k5 = kMono | kStereo;
constexpr std::uint32_t k6 = kMonoToStereo | kStereo;
constexpr std::uint32_t k7 = kMono | kMonoToStereo | kStereo;

constexpr std::array<EffectDescription, kBuiltInEffectCount> kRows{{
    {300, "NS_EFFECT_MAXIMIZE", "Normalize", "effect/normalize", k5, true, false},
    {301, "NS_EFFECT_VOLUME", "Volume", "effect/volume", k5, true, true},
    {302, "NS_EFFECT_LIMITER", "Limiter", "effect/limiter", k5, true, true},
    {303, "NS_EFFECT_COMPRESS", "Compress", "effect/compress", k5, true, true},
    {304, "NS_EFFECT_FADE", "Fade", "effect/fade", k7, true, true},
    {305, "NS_EFFECT_GEQ", "GraphicEQ", "effect/graphiceq", k5, true, true},
    {306, "NS_EFFECT_PEQ", "ParametricEQ", "effect/parametriceq", k5, true, true},
    {307, "NS_EFFECT_HLPLPF", "LowpassHighpass", "effect/lowpasshighpass", k5, true, true},
    {308, "NS_EFFECT_USERIIR", "IIRFilter", "effect/iirfilter", k5, true, true},
    {309, "NS_EFFECT_REVERB", "Reverb", "effect/reverb", k6, true, true},
    {310, "NS_EFFECT_FIRFILE", "FIRFilter", "effect/firfile", k7, true, true},
    {311, "NS_EFFECT_FIRPLOT", "PlotFIR", "effect/plotfir", k5, true, true},
    {312, "NS_EFFECT_DELAY", "Delay", "effect/delay", k5, true, true},
    {313, "NS_EFFECT_PAN", "Pan", "effect/pan", k6, true, true},
    {314, "NS_EFFECT_DOPPLER", "Doppler", "effect/doppler", k6, true, false},
    {315, "NS_EFFECT_VOPITCH", "VoicePitch", "effect/voicepitch", k5, true, false},
    {316, "NS_EFFECT_HISS", "HissReduction", "effect/hissreduction", k5, true, true},
    {317, "NS_EFFECT_DECLICK", "ClickRemoval", "effect/clickremoval", k5, true, true},
    {318, "NS_EFFECT_PITCHCHG", "PitchChange", "effect/pitchchange", k5, true, false},
    {319, "NS_EFFECT_SILENCE", "Silence", "effect/silence", k5, false, false},
    {320, "NS_EFFECT_OFFSET", "Offset", "effect/offset", k5, true, false},
    {321, "NS_EFFECT_SIGNREV", "SignReverse", "effect/signreverse", k5, false, false},
    {322, "NS_EFFECT_TIMEREV", "TimeReverse", "effect/timereverse", k5, false, false},
    {323, "NS_EFFECT_CHXCHG", "ChannelExchange", "effect/channelexchange", k4, false, true},
    {324, "NS_EFFECT_MIDSIDE", "MidSide", "effect/midside", k4, false, true},
    {325, "NS_EFFECT_GENSINE", "SineGenerator", "effect/sinegenerator", k5, true, true},
    {326, "NS_EFFECT_GENNOISE", "NoiseGenerator", "effect/noisegenerator", k5, true, true},
    {327, "NS_EFFECT_MONO", "MonoOutput", "effect/monooutput", k4, true, true},
}};

std::array<CEffEntry*, kBuiltInEffectCount> g_entries{};

}  // namespace

std::span<const EffectDescription, kBuiltInEffectCount> EffectDescriptions() { return kRows; }

const EffectDescription* DescribeEffect(std::uint32_t command) {
  if (command < kFirstEffectCommand || command >= kFirstEffectCommand + kBuiltInEffectCount) return nullptr;
  return &kRows[command - kFirstEffectCommand];
}

void EffectRegistry::Install() {
  for (CEffEntry* entry : BuiltInEffectEntries()) g_entries[entry->GetCommandId() - kFirstEffectCommand] = entry;
  InstallBuiltInHooks();
}

CEffEntry* EffectRegistry::Find(std::uint32_t command) {
  if (!DescribeEffect(command)) return nullptr;
  return g_entries[command - kFirstEffectCommand];
}

CEffEntry* EffectRegistry::FindByName(std::string_view name) {
  std::uint32_t number = 0;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (ec == std::errc() && end == name.data() + name.size()) return Find(number);
  for (const EffectDescription& row : kRows)
    if (EqualsIgnoreAsciiCase(row.key_name, name)) return Find(row.command);
  return nullptr;
}

CEffEntry* EffectRegistry::FindByKey(std::string_view key_name) {
  for (const EffectDescription& row : kRows)
    if (row.key_name == key_name) return Find(row.command);
  return nullptr;
}

std::span<CEffEntry* const, kBuiltInEffectCount> EffectRegistry::Entries() { return g_entries; }

bool ChannelsSupported(std::uint32_t channel_support, std::uint16_t channels) {
  if (channels == 1) return (channel_support & (kMono | kMonoToStereo)) != 0;
  if (channels == 2) return (channel_support & kStereo) != 0;
  return false;
}

bool EffectOffered(const CEffEntry& entry, const SoundDocument& document) {
  std::uint32_t from = 0, to = 0;
  GetSelection(document, &from, &to);
  return to > from && ChannelsSupported(entry.GetChannelSupport(), document.channels);
}

std::string MenuLabel(const CEffEntry& entry) {
  std::string label = entry.GetMenuPrefix() + entry.GetDisplayName();
  if (entry.HasSetupDialog()) label += "...";
  return label;
}

}  // namespace tidemark
