#include "app/console_effect_dialog.h"

#include "platform/error_numbers.h"

namespace tidemark::console {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Every field's range, "; " between them.
std::string AllRanges(const SettingsLayout& layout, std::uint32_t rate) {
  std::string text;
  for (const SettingsField& field : layout.fields) {
    if (!text.empty()) text += "; ";
    text += FieldRangeText(field, rate);
  }
  return text;
}

}  // namespace

std::string FieldRangeText(const SettingsField& field, std::uint32_t rate) {
  // No field takes the empty text, and refusing it names the field and its
  // range in the one form the parser words it.
  double stored = 0;
  std::string why;
  (void)ParseFieldValue(field, {}, rate, &stored, &why);
  return why;
}

std::optional<SettingsBlock> ParseBlockHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  SettingsBlock block;
  block.bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    block.bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return block;
}

std::string BlockHex(const SettingsBlock& block) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(block.bytes.size() * 2);
  for (std::uint8_t b : block.bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

std::optional<SettingsBlock> CommandBlock(const SettingsLayout* layout, const SettingsBlock& base,
                                          std::uint32_t rate, const std::vector<std::string>& pairs,
                                          SettingsRefusal* refusal) {
  SettingsBlock block = layout ? LoadBlock(*layout, base, rate) : SettingsBlock{};
  for (const std::string& pair : pairs) {
    const std::size_t equals = pair.find('=');
    const std::string_view name = std::string_view(pair).substr(0, equals);
    const std::string_view value =
        equals == std::string::npos ? std::string_view() : std::string_view(pair).substr(equals + 1);
    refusal->argument = pair;
    if (!layout || layout->fields.empty()) {
      refusal->error = kSettingsNotValid;
      return std::nullopt;
    }
    const SettingsField* field = FindField(*layout, name);
    if (!field) {
      refusal->error = kSettingOutOfRange;
      refusal->ranges = AllRanges(*layout, rate);
      return std::nullopt;
    }
    double stored = 0;
    if (ParseFieldValue(*field, value, rate, &stored, &refusal->ranges)) {
      refusal->error = kSettingOutOfRange;
      return std::nullopt;
    }
    PutField(*field, stored, block.bytes);
  }
  return block;
}

Error ConsoleSettingsDialog::Edit(CEffEntry&, const CEffEntry::SetupParams&, SettingsBlock& block) {
  block = block_;
  return err::kOk;
}

}  // namespace tidemark::console
