#include "config/settings.h"

#include "config/dialog_values.h"
#include "config/ini_values.h"

namespace tidemark {

bool Settings::Option(OptionBit bit) const {
  return (options[static_cast<std::size_t>(OptionWordIndex(bit))] & OptionMask(bit)) != 0;
}

void Settings::SetOption(OptionBit bit, bool on) {
  std::uint32_t& word = options[static_cast<std::size_t>(OptionWordIndex(bit))];
  word = on ? (word | OptionMask(bit)) : (word & ~OptionMask(bit));
}

bool Settings::DialogValues(std::string_view name, std::string_view types,
                            std::span<std::byte> data) const {
  for (const DialogEntry& d : dialogs)
    if (EqualsIgnoreAsciiCase(d.name, name)) return ParseDialogValues(types, d.values, data);
  return false;
}

void Settings::SetDialogValues(std::string_view name, std::string_view types,
                               std::span<const std::byte> data) {
  std::string text = FormatDialogValues(types, data);
  for (DialogEntry& d : dialogs) {
    if (EqualsIgnoreAsciiCase(d.name, name)) {
      d.values = std::move(text);
      return;
    }
  }
  dialogs.push_back({std::string(name), std::move(text)});
}

std::array<std::uint32_t, kColorCount> Settings::DefaultColors() {
  // 0x00BBGGRR: background, waveform, selected background, selected waveform,
  // centre line, grid, ruler text, markers, marker labels, envelope, playback
  // cursor, clipping indicator.
  return {0x00000000, 0x0000C000, 0x00603000, 0x0000FFFF, 0x00404040, 0x00303030,
          0x00C0C0C0, 0x000080FF, 0x00FFFFFF, 0x00FF8000, 0x00FFFFFF, 0x000000FF};
}

const NamedBox* FindNamedBox(const std::vector<NamedBox>& boxes, std::string_view name) {
  for (const NamedBox& b : boxes)
    if (EqualsIgnoreAsciiCase(b.name, name)) return &b;
  return nullptr;
}

}  // namespace tidemark
