// The user's interface language, as a language tag ("ja", "zh-Hans", "en").
#pragma once

#include <string>
#include <string_view>

namespace tidemark {

// The parts of a POSIX locale name, language[_territory][.codeset][@modifier],
// each folded to lower case; the codeset is dropped.
struct LocaleNameParts {
  std::string language;
  std::string territory;
  std::string modifier;
};
LocaleNameParts SplitLocaleName(std::string_view locale_name);

// Maps a POSIX locale name ("ja_JP.UTF-8", "zh_TW", "sr_RS@latin", "C") to a
// language tag: the language part in lower case, with a script where the
// language is written in more than one (zh-Hans / zh-Hant, sr-Cyrl / sr-Latn,
// bs-Latn / bs-Cyrl, uz-Cyrl, az-Cyrl). "C", "POSIX" and an empty name give "en".
std::string LanguageTagFromLocaleName(std::string_view locale_name);

// The tag of the first non-empty of LANGUAGE (its first entry), LC_ALL,
// LC_MESSAGES and LANG; "en" when none is set.
std::string UserLanguageTag();

}  // namespace tidemark
