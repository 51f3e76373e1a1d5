#include "config/ini_reader.h"

#include <unordered_map>

#include "config/config_file_io.h"
#include "config/ini_blob.h"
#include "config/ini_values.h"
#include "config/text_decode.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error IniReader::Open(const std::string& path, std::string_view narrow_codeset) {
  std::string bytes;
  const Error rc = ReadConfigFile(path, &bytes);
  if (rc != err::kOk) {
    OpenText({});
    return rc;
  }
  OpenBytes(bytes, narrow_codeset);
  return err::kOk;
}

void IniReader::OpenBytes(std::string_view bytes, std::string_view narrow_codeset) {
  OpenText(DecodeTextFile(bytes, narrow_codeset));
}

void IniReader::OpenText(std::string text) {
  text_ = std::move(text);
  NormalizeLineEnds(text_);
  Index();
}

void IniReader::Index() {
  sections_.clear();
  entries_.clear();
  selected_ = kNone;
  cursor_ = 0;
  const std::string_view all(text_);
  std::size_t pos = 0;
  while (pos < all.size()) {
    const std::size_t eol = all.find('\n', pos);  // the text always ends with '\n'
    std::string_view line = all.substr(pos, eol - pos);
    pos = eol + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::string_view trimmed = TrimSpacesAndTabs(line);
      if (trimmed.size() >= 2 && trimmed.back() == ']') {
        sections_.push_back({trimmed.substr(1, trimmed.size() - 2), entries_.size(), 0});
        continue;
      }
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || sections_.empty()) continue;
    entries_.push_back({TrimSpacesAndTabs(line.substr(0, eq)), TrimSpacesAndTabs(line.substr(eq + 1))});
    ++sections_.back().count;
  }
}

bool IniReader::SelectSection(std::string_view name) {
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (EqualsIgnoreAsciiCase(sections_[i].name, name)) {
      selected_ = i;
      cursor_ = 0;
      return true;
    }
  }
  selected_ = kNone;
  return false;
}

std::span<const IniEntry> IniReader::Entries() const {
  if (selected_ == kNone) return {};
  const Section& s = sections_[selected_];
  return std::span<const IniEntry>(entries_).subspan(s.first, s.count);
}

std::optional<std::string_view> IniReader::Find(std::string_view key) {
  const std::span<const IniEntry> entries = Entries();
  for (std::size_t step = 0; step < entries.size(); ++step) {
    std::size_t i = cursor_ + step;
    if (i >= entries.size()) i -= entries.size();
    if (EqualsIgnoreAsciiCase(entries[i].key, key)) {
      cursor_ = i + 1 < entries.size() ? i + 1 : 0;
      return entries[i].value;
    }
  }
  return std::nullopt;
}

std::int32_t IniReader::ReadDecimal(std::string_view key, std::int32_t fallback) {
  const auto value = Find(key);
  std::int32_t v = fallback;
  if (value && ParseDecimal(*value, &v)) return v;
  return fallback;
}

std::uint32_t IniReader::ReadHex(std::string_view key, std::uint32_t fallback) {
  const auto value = Find(key);
  std::uint32_t v = fallback;
  if (value && ParseHex(*value, &v)) return v;
  return fallback;
}

std::string IniReader::ReadText(std::string_view key, std::string_view fallback,
                                std::size_t max_bytes) {
  auto value = Find(key);
  if (!value) return std::string(fallback);
  std::string_view v = *value;
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(TruncateUtf8Bytes(v, max_bytes));
}

bool IniReader::ReadBlob(std::string_view key, std::span<std::byte> out) {
  const auto value = Find(key);
  return value && UnpackBlob(*value, out);
}

bool IniReader::ReadDecimalList(std::string_view key, std::span<std::int32_t> values) {
  const auto value = Find(key);
  return value && ParseDecimalList(*value, values);
}

std::vector<std::string_view> IniReader::ReadNumberedList(std::size_t max_items) const {
  // Index the numbered keys once; the first line of each number counts.
  std::unordered_map<std::uint32_t, std::string_view> numbered;
  for (const IniEntry& e : Entries()) {
    std::int32_t n = 0;
    // Only the plain form counts ("7", not "07" or "+7"), as a key lookup would.
    if (!ParseDecimal(e.key, &n) || n < 0 || static_cast<std::size_t>(n) >= max_items) continue;
    if (std::to_string(n) != e.key) continue;
    numbered.emplace(static_cast<std::uint32_t>(n), e.value);
  }
  std::vector<std::string_view> items;
  for (std::uint32_t i = 0; i < max_items; ++i) {
    const auto it = numbered.find(i);
    if (it == numbered.end()) break;
    items.push_back(it->second);
  }
  return items;
}

std::string_view TruncateUtf8Bytes(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t n = max_bytes;
  // Step back over continuation bytes to the start of the cut character.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

}  // namespace tidemark
