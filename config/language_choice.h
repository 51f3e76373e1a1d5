// Which language file fills the UI text catalogue.
//
// 1. An override name (the registry value "UIText") picks "<name>.txt" and
//    nothing else is tried.
// 2. Else the user's language: its parent locale name (the platform's tag,
//    "en" for en_US, "zh-Hant" for zh_TW) + ".txt" when that file exists;
// 3. else the tag that the language-identifier table gives for the locale
//    (full identifier, then its primary language) + ".txt" when it exists;
// 4. else nothing for a Japanese user, "en.txt" for everyone else.
// Each name is looked up in every folder in turn.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidemark {

struct LanguageChoiceInput {
  std::vector<std::string> folders;          // searched in order
  std::optional<std::string> override_name;  // present and non-empty: the override
  std::string locale_name;                   // the user's POSIX locale name
};

// The path of the file to load, or empty when none is to be loaded. With an
// override or the final "en.txt" the path is returned even when the file is
// missing (loading it then fails silently); an override that is not a plain
// file name (holding "/" or a NUL, or "." or "..") loads nothing.
std::string ChooseLanguageFile(const LanguageChoiceInput& input);

// The folders holding language files: "UIText" beside the program, then
// "../share/tidemark/UIText" relative to it (the installed layout).
std::vector<std::string> LanguageFolders();

// The first non-empty of LANGUAGE (its first entry), LC_ALL, LC_MESSAGES and
// LANG; empty when none is set.
std::string UserLocaleName();

}  // namespace tidemark
