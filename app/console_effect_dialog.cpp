#include "app/console_effect_dialog.h"

#include <fstream>
#include <iterator>

#include "platform/ascii_case.h"
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

// The console writes a line break inside a text as the two characters "\n".
std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A text file's bytes; nothing when it cannot be read or is over kMaxTextFileBytes.
std::optional<std::string> ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxTextFileBytes) return std::nullopt;
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace

std::string EscapeText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c != '\r') out += c;
  }
  return out;
}

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
  // The text is put back after the fields, in the form they leave chosen.
  std::optional<std::string> text;
  if (layout && layout->text) text = GetBlockText(*layout, block);
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
    if (text && EqualsIgnoreAsciiCase(name, layout->text->name)) {
      text = Unescape(value);
      continue;
    }
    if (text && EqualsIgnoreAsciiCase(name, "file")) {
      text = ReadTextFile(std::string(value));
      if (!text) {
        refusal->error = err::kCannotOpen;
        return std::nullopt;
      }
      continue;
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
  if (text) PutBlockText(*layout, *text, block);
  return block;
}

Error ConsoleSettingsDialog::Edit(CEffEntry&, const CEffEntry::SetupParams&, SettingsBlock& block) {
  block = block_;
  return err::kOk;
}

void ConsoleSettingsDialog::ShowProblem(CEffEntry&, std::string_view message) { problem_ = message; }

}  // namespace tidemark::console
