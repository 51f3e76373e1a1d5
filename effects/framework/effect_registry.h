// The effect registry: the 28 built-in effects in command order, one row
// each, and the entry objects that fill the rows when the program starts.
// Command numbers are 300 + row; plug-in entries would use 328-427 (VST3)
// and 428-527 (DirectX), which hold nothing on this platform.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tidemark {

class CEffEntry;
struct SoundDocument;

struct EffectDescription {
  std::uint32_t command;
  std::string_view name_space;  // the entry's namespace, NS_EFFECT_...
  std::string_view key_name;    // the stable identifier of settings, lists and chains
  std::string_view text_key;    // the catalogue section of its name and help
  std::uint32_t channel_support;
  bool has_dialog;
  bool chainable;
};

inline constexpr std::uint32_t kFirstEffectCommand = 300;
inline constexpr std::size_t kBuiltInEffectCount = 28;
inline constexpr std::uint32_t kFirstVst3Command = 328;
inline constexpr std::uint32_t kFirstDirectXCommand = 428;
inline constexpr std::uint32_t kLastEffectCommand = 527;

// The rows, index = command - 300.
std::span<const EffectDescription, kBuiltInEffectCount> EffectDescriptions();
// The row of `command`; null outside 300-327.
const EffectDescription* DescribeEffect(std::uint32_t command);

class EffectRegistry {
 public:
  // Fills the rows with the built-in entries (idempotent). Called once when
  // the program or a test starts.
  static void Install();
  // The entry of `command`; null for a number that names no effect or an
  // effect this build does not have.
  static CEffEntry* Find(std::uint32_t command);
  // By key name (ASCII case ignored), or by the command number written in
  // decimal.
  static CEffEntry* FindByName(std::string_view name_or_number);
  // The entry of kind 0 with `key_name` (exact), as lists and chains store it.
  static CEffEntry* FindByKey(std::string_view key_name);
  // All rows' entries in command order (null where this build has none).
  static std::span<CEffEntry* const, kBuiltInEffectCount> Entries();
};

// Whether `entry` is offered for `document`: a non-empty selection and a
// mono document with support for a mono selection (bits 0 or 1), or a
// stereo document with bit 2. Other channel counts get no effect.
bool EffectOffered(const CEffEntry& entry, const SoundDocument& document);
// The same rule on the numbers.
bool ChannelsSupported(std::uint32_t channel_support, std::uint16_t channels);

// Prefix + display name, "..." appended for an entry with a settings dialog.
std::string MenuLabel(const CEffEntry& entry);

}  // namespace tidemark
