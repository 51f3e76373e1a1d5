#include "formats/tags/internal/app_private.h"

#include "platform/utf.h"

namespace tidemark {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool IsKeyName(std::string_view key) {
  if (key.empty()) return false;
  for (const char c : key)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// Reads a value at `*pos`: quoted up to the closing quotation mark (or the
// end), unquoted up to white space; \" and \\ are unescaped in both.
std::string ReadValue(std::string_view text, std::size_t* pos) {
  std::string value;
  std::size_t i = *pos;
  const bool quoted = i < text.size() && text[i] == '"';
  if (quoted) ++i;
  while (i < text.size()) {
    const char c = text[i];
    if (quoted ? c == '"' : IsBlank(c)) break;
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
      value += text[i + 1];
      i += 2;
      continue;
    }
    value += c;
    ++i;
  }
  if (quoted && i < text.size()) ++i;  // the closing quotation mark
  *pos = i;
  return value;
}

bool NeedsQuotes(std::string_view value) {
  for (const char c : value)
    if (IsBlank(c) || c == '"' || c == '\\') return true;
  return false;
}

bool Accepted(std::string_view key, std::string_view value) {
  const bool digit_first = !value.empty() && value[0] >= '0' && value[0] <= '9';
  if (key == app_private_key::kTrack || key == app_private_key::kLyricsType) return digit_first;
  if (key == app_private_key::kIsrc) return Utf16Length(value) == 12;
  return true;
}

}  // namespace

std::vector<AppPrivateEntry> ParseAppPrivate(std::string_view text) {
  std::vector<AppPrivateEntry> entries;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) break;
    const std::size_t start = i;
    while (i < text.size() && text[i] != '=' && !IsBlank(text[i])) ++i;
    AppPrivateEntry entry;
    if (i >= text.size() || text[i] != '=') {
      entry.value = std::string(text.substr(start, i - start));
      entries.push_back(std::move(entry));
      continue;
    }
    entry.key = std::string(text.substr(start, i - start));
    ++i;  // '='
    if ((i >= text.size() || IsBlank(text[i])) && IsKeyName(entry.key)) {
      // "KEY=" alone: the next entry is the value.
      while (i < text.size() && IsBlank(text[i])) ++i;
    }
    if (i < text.size() && !IsBlank(text[i])) entry.value = ReadValue(text, &i);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::optional<std::string> AppPrivateValue(const std::vector<AppPrivateEntry>& entries, std::string_view key) {
  for (const AppPrivateEntry& e : entries) {
    if (e.key.empty() || e.key != key) continue;
    if (!Accepted(key, e.value)) return std::nullopt;
    return e.value;
  }
  return std::nullopt;
}

std::optional<std::string> AppPrivateValue(std::string_view text, std::string_view key) {
  return AppPrivateValue(ParseAppPrivate(text), key);
}

std::string BuildAppPrivate(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::string out;
  for (const auto& [key, value] : pairs) {
    if (key.empty() || value.empty()) continue;
    if (!out.empty()) out += ' ';
    out += key;
    out += '=';
    if (!NeedsQuotes(value)) {
      out += value;
      continue;
    }
    out += '"';
    for (const char c : value) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  return out;
}

}  // namespace tidemark
