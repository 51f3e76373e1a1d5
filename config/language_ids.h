// The table of language identifiers (16-bit locale identifiers: primary
// language in the low 10 bits, sublanguage above) with the language tag each
// one's files are named after, searched by bisection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tidemark {

struct LanguageIdRow {
  std::uint16_t id;
  std::string_view locale;  // the identifier's locale name ("en-US", "sr-Latn-RS", "ja")
  std::string_view tag;     // its parent locale name ("en", "sr-Latn", "ja")
};

inline constexpr std::size_t kLanguageIdCount = 160;
inline constexpr std::uint16_t kLanguageJapanese = 0x0411;

constexpr std::uint16_t PrimaryLanguageId(std::uint16_t id) {
  return static_cast<std::uint16_t>(id & 0x3FF);
}

// The rows, sorted by identifier.
std::span<const LanguageIdRow> LanguageIdTable();

// The tag for `id`: its own row, else the row of its primary language; empty
// when neither is in the table.
std::string_view LanguageTagForId(std::uint16_t id);

// The identifier of a POSIX locale name ("ja_JP.UTF-8", "sr_RS@latin",
// "zh_TW"): the row of the language with script and territory when listed,
// else of the language alone; "C", "POSIX" and "" count as English. 0 when
// the language is not in the table.
std::uint16_t LanguageIdForLocaleName(std::string_view name);

}  // namespace tidemark
