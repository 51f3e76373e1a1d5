// Which narrow code page the program's "multibyte" texts use (text chunks of
// sound files, narrow text files, language files without a byte-order mark).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tidemark {

// True for every spelling of UTF-8 ("UTF-8", "utf8", "UTF_8").
bool IsUtf8Codeset(std::string_view codeset);

// True for the codeset of the C and POSIX locales ("ANSI_X3.4-1968", "ASCII",
// empty), which the program treats as a UTF-8 system.
bool IsCLocaleCodeset(std::string_view codeset);

// The legacy Windows code page of a language tag ("ja" -> "CP932",
// "zh-Hant" -> "CP950", "ru" -> "CP1251", anything unlisted -> "CP1252").
// POSIX spellings ("pt_BR", "sr_RS@latin") are accepted too.
std::string LegacyCodePageForLanguage(std::string_view language_tag);

// The decision rule. A UTF-8 locale (or the C locale) gives "UTF-8" when
// `default_code_page_aware` is 0, else the legacy code page of `ui_language`;
// any other locale codeset is returned unchanged.
std::string ResolveNarrowCodeset(std::string_view locale_codeset, std::string_view ui_language,
                                 std::uint32_t default_code_page_aware);

// The process-wide narrow codeset (an iconv name). Decided on first use from
// setlocale(LC_CTYPE, "") and nl_langinfo(CODESET) with the user's language;
// the locale and language are read only once. Thread-safe.
std::string NarrowCodeset();

// Sets the "DefaultCodePageAware" value (0 when never called) and decides
// the narrow codeset again.
void SetDefaultCodePageAware(std::uint32_t value);

// Forces NarrowCodeset() to return `codeset`; an empty string goes back to the
// decided one.
void SetNarrowCodesetForTesting(std::string_view codeset);

}  // namespace tidemark
