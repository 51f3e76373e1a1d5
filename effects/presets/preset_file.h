// The preset and chain container: a 20-byte header and tagged records,
// read and written record by record (one system call each, never the whole
// file in memory). Entries are named in the file by identifier strings
// through per-kind maps, so files survive reordered, added or removed
// effects and grown settings blocks.
//
// Names are kept as UTF-16 code units exactly as stored: a lone surrogate
// round-trips unchanged, compares by its code unit and is shown as U+FFFD.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "effects/framework/settings_block.h"
#include "platform/error.h"

namespace tidemark {

// Slots of the four kinds: built-in effects, VST plug-ins, DirectX
// plug-ins, encoder-settings registrations (kind value 0x8000).
inline constexpr std::size_t kPresetSlotCount = 4;
inline constexpr std::uint16_t kEncoderPresetKind = 0x8000;
// The slot of a kind value; kPresetSlotCount or above for an unknown kind.
constexpr std::uint32_t PresetSlotOfKind(std::uint16_t kind) {
  return kind < 0x8000 ? kind : (kind & 0x7FFFu) + 3u;
}
constexpr std::uint16_t PresetKindOfSlot(std::uint32_t slot) {
  return static_cast<std::uint16_t>(slot < 3 ? slot : 0x8000u + (slot - 3));
}

struct Preset {
  std::u16string name;
  SettingsBlock block;
  bool removed = false;  // kept in memory, never written
};

// One registry entry as the preset files see it.
struct PresetEntry {
  std::string identifier;  // ASCII, stable between versions
  SettingsBlock defaults;  // the current block size and the tail for short blocks
  bool available = true;   // false: a plug-in that could not be loaded
  std::vector<Preset> presets;  // head first
};

struct PresetRegistry {
  std::array<std::vector<PresetEntry>, kPresetSlotCount> slots;
};

struct ChainMember {
  std::uint16_t kind = 0;
  std::uint16_t index = 0;  // position in the kind's registry
  SettingsBlock block;
};

struct EffectChainPreset {
  std::u16string name;
  std::uint32_t flag = 0;  // 1: a mono selection stays mono
  std::vector<ChainMember> members;
};

// Case-insensitive comparison of names (ASCII and Latin-1 letters fold).
bool SamePresetName(std::u16string_view a, std::u16string_view b);
// Inserts `preset` into `list`: replaces a preset of the same name in place,
// else adds it at the head.
void InsertPreset(std::vector<Preset>& list, Preset preset);

// The canonical form of a DirectX class identifier: braces, upper-case hex;
// the text unchanged when it is not one.
std::string CanonicalClassId(std::string_view text);

// The ".bak" name of `path`: "tide.preset" -> "tide.bak.preset".
std::string PresetBackupPath(const std::string& path);

// The file's kind code in the header.
enum class PresetFileKind : std::uint32_t { kPresets, kChains };

// Writes the presets of the slots in `slot_mask` (bit s: slot s) to `path`
// through a temporary file beside it, synced and renamed over it, so the old
// file stays whole on any failure. 5 when the temporary file cannot be
// created; 9 on a failed or short write.
[[nodiscard]] Error WritePresetFile(const std::string& path, const PresetRegistry& registry,
                                    std::uint32_t slot_mask);

// Reads `path` into the registry's preset lists. A missing file, a wrong
// magic or kind, or a file of a newer version load nothing and succeed.
// `*missing` gets bit s for each slot whose presets were dropped. 8 for a
// damaged file; what was read before the damage stays loaded. Every file
// that could not be read whole (foreign, newer, damaged) is first copied
// to its ".bak" name, so the next save loses none of it.
[[nodiscard]] Error ReadPresetFile(const std::string& path, PresetRegistry& registry, std::uint32_t* missing);

// Writes the chains (kinds 0, 1 and 2 mapped) the same safe way.
[[nodiscard]] Error WriteChainFile(const std::string& path, const PresetRegistry& registry,
                                   const std::vector<EffectChainPreset>& chains);

// Reads every chain in file order. Members of unknown or unavailable
// entries are dropped and set their slot's bit in `*missing`. 8 for a
// damaged file; the chains read whole before the damage are kept.
[[nodiscard]] Error ReadChainFile(const std::string& path, const PresetRegistry& registry,
                                  std::vector<EffectChainPreset>* chains, std::uint32_t* missing);

// Reads up to the first chain named `name` (case ignored). `*found` tells
// whether it was there.
[[nodiscard]] Error ReadOneChain(const std::string& path, const PresetRegistry& registry,
                                 std::u16string_view name, EffectChainPreset* chain, bool* found,
                                 std::uint32_t* missing);

}  // namespace tidemark
