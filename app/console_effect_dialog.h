// What stands in for an effect's settings dialog on the console: the
// command's arguments edit the settings block ("block=HEX" byte for byte,
// then FIELD=VALUE pairs in the units a dialog shows), and the dialog hands
// the result to the effect's setup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "effects/framework/settings_block.h"
#include "effects/framework/settings_dialog.h"

namespace tidemark::console {

// The bytes of a block written as pairs of hexadecimal digits (either
// case); nothing for an odd count or a character that is not a digit. An
// empty text is the empty block.
std::optional<SettingsBlock> ParseBlockHex(std::string_view text);
// Upper-case digits, two per byte.
std::string BlockHex(const SettingsBlock& block);

// Why a command's settings were refused: the offending argument, the error
// whose message says so, and the field it names with its range (every
// field's range when it names none).
struct SettingsRefusal {
  std::string argument;
  Error error;
  std::string ranges;
};

// A text for one line of output: line breaks as "\n", carriage returns dropped.
std::string EscapeText(std::string_view text);

// The largest text file `file=PATH` reads into a block's text.
inline constexpr std::size_t kMaxTextFileBytes = 1 << 20;

// "gain lies in -13.00 ... 13.00 dB": a field's name and range at `rate`.
std::string FieldRangeText(const SettingsField& field, std::uint32_t rate);

// The block an effect command runs with: `base` loaded as a stored preset
// is (defaults when empty, clamped for `rate`), then each "FIELD=VALUE" of
// `pairs` in order (a word without "=" is a field without a value). The
// first bad pair refuses them all: an unknown field, or a value that is
// malformed or outside the field's range. A layout with a text also takes
// "NAME=TEXT" for it (its name; "\n" is a line break) and "file=PATH" (the
// text from a file, refused with err::kCannotOpen when it cannot be read or
// is over kMaxTextFileBytes). `layout` null: the effect has no
// settings, so any pair is refused.
// The messages' errors: an effect setting out of range, or settings that
// are not valid for an effect without settings.
inline constexpr Error kSettingOutOfRange{0x30009};
inline constexpr Error kSettingsNotValid{53};
[[nodiscard]] std::optional<SettingsBlock> CommandBlock(const SettingsLayout* layout, const SettingsBlock& base,
                                                        std::uint32_t rate, const std::vector<std::string>& pairs,
                                                        SettingsRefusal* refusal);

// Hands a block made beforehand to the setup that asks for the dialog.
class ConsoleSettingsDialog final : public SettingsDialog {
 public:
  explicit ConsoleSettingsDialog(SettingsBlock block) : block_(std::move(block)) {}
  [[nodiscard]] Error Edit(CEffEntry& entry, const CEffEntry::SetupParams& params, SettingsBlock& block) override;
  void ShowProblem(CEffEntry& entry, std::string_view message) override;
  // What the effect last found wrong with the settings (empty: nothing).
  const std::string& problem() const { return problem_; }

 private:
  SettingsBlock block_;
  std::string problem_;
};

}  // namespace tidemark::console
