// Reading side of the program's INI engine.
//
// Line rules (after decoding and line-end normalisation): leading spaces and
// tabs are skipped; a line starting with ";" is a comment; "[name]" starts a
// section; "key = value" holds a setting, with spaces and tabs around "=" and
// at the end of the line removed. Section names and keys match without regard
// to ASCII case. Lines before the first section belong to no section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace tidemark {

struct IniEntry {
  std::string_view key;
  std::string_view value;
};

class IniReader {
 public:
  IniReader() = default;
  IniReader(const IniReader&) = delete;
  IniReader& operator=(const IniReader&) = delete;

  // Reads and decodes the file: a UTF-16 or UTF-8 byte-order mark decides,
  // anything else is read in `narrow_codeset`. Errors of ReadConfigFile; the
  // reader is then empty.
  [[nodiscard]] Error Open(const std::string& path, std::string_view narrow_codeset);
  // Decodes `bytes` as Open() does with a file's contents.
  void OpenBytes(std::string_view bytes, std::string_view narrow_codeset);
  // Takes text that is already UTF-8.
  void OpenText(std::string text);

  // Selects the first section of that name; false (and no section selected)
  // when the file has none.
  bool SelectSection(std::string_view name);
  bool has_section() const { return selected_ != kNone; }

  // The value of `key` in the selected section. The search starts after the
  // key found last and wraps around to the section start, so reading keys in
  // file order costs one step each.
  std::optional<std::string_view> Find(std::string_view key);

  // Each returns `fallback` when the key is missing or its value does not parse.
  std::int32_t ReadDecimal(std::string_view key, std::int32_t fallback);
  std::uint32_t ReadHex(std::string_view key, std::uint32_t fallback);
  // The value with one pair of enclosing double quotes removed, cut to at most
  // `max_bytes` bytes without splitting a character.
  std::string ReadText(std::string_view key, std::string_view fallback, std::size_t max_bytes);
  // Fills `out` when the key holds a valid blob of exactly out.size() bytes;
  // returns whether it did.
  bool ReadBlob(std::string_view key, std::span<std::byte> out);
  // Fills `values` when the key holds at least values.size() decimal items.
  bool ReadDecimalList(std::string_view key, std::span<std::int32_t> values);

  // Every setting line of the selected section, in file order.
  std::span<const IniEntry> Entries() const;

  // The values of the numbered keys "0", "1", ... of the selected section, up
  // to the first missing key and at most `max_items` (one pass over the
  // section, whatever the order of its lines).
  std::vector<std::string_view> ReadNumberedList(std::size_t max_items) const;

  std::size_t section_count() const { return sections_.size(); }

 private:
  struct Section {
    std::string_view name;
    std::size_t first = 0;  // index into entries_
    std::size_t count = 0;
  };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void Index();

  std::string text_;
  std::vector<Section> sections_;
  std::vector<IniEntry> entries_;
  std::size_t selected_ = kNone;
  std::size_t cursor_ = 0;  // within the selected section
};

// The longest prefix of `text` of at most `max_bytes` bytes that does not
// split a UTF-8 character.
std::string_view TruncateUtf8Bytes(std::string_view text, std::size_t max_bytes);

}  // namespace tidemark
