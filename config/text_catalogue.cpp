#include "config/text_catalogue.h"

#include "config/config_file_io.h"
#include "config/language_choice.h"
#include "config/language_override.h"
#include "config/text_decode.h"
#include "platform/alloc.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::string_view kEmptyText = "";

// Appends `raw` to `out` with the escapes resolved.
void AppendUnescaped(std::string_view raw, std::string& out) {
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c != '\\' || i + 1 == raw.size()) {
      out.push_back(c);
      continue;
    }
    const char next = raw[i + 1];
    if (next == 'n') {
      out.push_back('\n');
      ++i;
    } else if (next == 'r') {
      out.push_back('\r');
      ++i;
    } else if (next == '\\') {
      out.push_back('\\');
      ++i;
    } else {
      out.push_back(c);  // kept together with the character that follows
    }
  }
}

std::string_view SkipBlanks(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  return line;
}

std::string_view TrimTrailingBlanks(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

// The section that a section line ("[" ... "]", trailing blanks removed)
// names, or null (unknown, too long).
const TextSection* SectionOfLine(std::string_view line) {
  const std::string_view inner = line.substr(1, line.size() - 2);
  if (inner.size() > kMaxTextSectionPath) return nullptr;
  std::string lower(inner);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return FindTextSection(lower);
}

}  // namespace

TextCatalogue::TextCatalogue() { slots_.fill(kEmptyText); }

void TextCatalogue::ClearSlots() { slots_.fill(kEmptyText); }

std::size_t TextCatalogue::Parse(std::string_view text) { return ParseOwned(std::string(text)); }

std::size_t TextCatalogue::ParseOwned(std::string text) {
  std::size_t count = 0;
  // Nothing is filled when memory runs out: slots change only after every
  // allocation has succeeded.
  (void)TryAlloc([&] { count = ParseInto(std::move(text)); });
  return count;
}

std::size_t TextCatalogue::ParseInto(std::string text) {
  NormalizeLineEnds(text);
  // One pass does the work of both: each line is classified (section line,
  // text line, anything else) and, when it is a text line of a known section,
  // becomes the pending raw text of its slot. Only the last text per slot is
  // kept, so memory stays within the size of the input however the file
  // repeats its sections.
  std::array<std::string_view, kTextSlotCount> pending{};
  const std::string_view all(text);
  const TextSection* section = nullptr;
  std::size_t index = 0;
  std::size_t pos = 0;
  while (pos < all.size()) {
    const std::size_t eol = all.find('\n', pos);  // the text ends with '\n'
    const std::string_view line = SkipBlanks(all.substr(pos, eol - pos));
    pos = eol + 1;
    if (line.empty()) continue;
    if (line.front() == '[') {
      const std::string_view trimmed = TrimTrailingBlanks(line);
      if (trimmed.size() < 2 || trimmed.back() != ']') continue;  // not a section line
      section = SectionOfLine(trimmed);
      index = 0;
      continue;
    }
    if (line.front() != '=' || section == nullptr) continue;
    const std::size_t k = index++;
    if (k >= section->count) continue;
    const std::string_view raw = line.substr(1);
    if (raw.empty()) continue;  // keeps the slot, still counts as a position
    pending[section->first_slot + k] = raw;
  }

  std::size_t count = 0;
  std::size_t bytes = 0;
  for (const std::string_view raw : pending) {
    if (raw.empty()) continue;
    ++count;
    bytes += raw.size();
  }
  if (count == 0) return 0;

  // Escapes only ever shorten a text, so `bytes` is enough for all of them.
  std::string buffer;
  buffer.reserve(bytes);
  std::array<std::size_t, kTextSlotCount + 1> offsets{};
  for (std::size_t slot = 0; slot < kTextSlotCount; ++slot) {
    offsets[slot] = buffer.size();
    if (!pending[slot].empty()) AppendUnescaped(pending[slot], buffer);
  }
  offsets[kTextSlotCount] = buffer.size();

  buffers_.push_back(std::make_unique<const std::string>(std::move(buffer)));
  const std::string_view stored(*buffers_.back());
  for (std::size_t slot = 0; slot < kTextSlotCount; ++slot) {
    if (pending[slot].empty()) continue;
    slots_[slot] = stored.substr(offsets[slot], offsets[slot + 1] - offsets[slot]);
  }
  return count;
}

Error TextCatalogue::LoadFile(const std::string& path, std::string_view narrow_codeset, std::size_t* filled) {
  if (filled) *filled = 0;
  std::string bytes;
  if (const Error rc = ReadConfigFile(path, &bytes); rc != err::kOk) return rc;
  // Slots are only changed once everything is in place.
  return TryAlloc([&] {
    std::string text = DecodeTextFile(bytes, narrow_codeset);
    bytes.clear();
    bytes.shrink_to_fit();
    const std::size_t n = ParseOwned(std::move(text));
    if (filled) *filled = n;
  });
}

TextCatalogue& ProcessTextCatalogue() {
  static TextCatalogue catalogue;
  return catalogue;
}

std::size_t LoadTextCatalogue(TextCatalogue& catalogue, const LanguageChoiceInput& input,
                              std::string_view narrow_codeset) {
  const std::string path = ChooseLanguageFile(input);
  if (path.empty()) return 0;
  std::size_t filled = 0;
  (void)catalogue.LoadFile(path, narrow_codeset, &filled);  // every failure is silent
  return filled;
}

std::size_t LoadProcessTextCatalogue() {
  LanguageChoiceInput input;
  input.folders = LanguageFolders();
  input.override_name = ProcessLanguageOverride().Name();
  input.locale_name = UserLocaleName();
  return LoadTextCatalogue(ProcessTextCatalogue(), input, NarrowCodeset());
}

}  // namespace tidemark
