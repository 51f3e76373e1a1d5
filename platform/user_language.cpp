#include "platform/user_language.h"

#include <cstdlib>

#include "platform/ascii_case.h"

namespace tidemark {
namespace {

std::string_view EnvValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string_view(v) : std::string_view();
}

}  // namespace

LocaleNameParts SplitLocaleName(std::string_view name) {
  std::string_view modifier;
  if (const auto at = name.find('@'); at != std::string_view::npos) {
    modifier = name.substr(at + 1);
    name = name.substr(0, at);
  }
  if (const auto dot = name.find('.'); dot != std::string_view::npos) name = name.substr(0, dot);
  std::string_view territory;
  if (const auto sep = name.find_first_of("_-"); sep != std::string_view::npos) {
    territory = name.substr(sep + 1);
    name = name.substr(0, sep);
  }
  return {AsciiLower(name), AsciiLower(territory), AsciiLower(modifier)};
}

std::string LanguageTagFromLocaleName(std::string_view name) {
  const LocaleNameParts parts = SplitLocaleName(name);
  const std::string& lang = parts.language;
  const std::string& mod = parts.modifier;
  const std::string& region = parts.territory;
  if (lang.empty() || lang == "c" || lang == "posix") return "en";
  if (lang == "zh") {
    return (region == "tw" || region == "hk" || region == "mo") ? "zh-Hant" : "zh-Hans";
  }
  if (lang == "sr") return mod == "latin" ? "sr-Latn" : "sr-Cyrl";
  if (lang == "bs") return mod == "cyrillic" ? "bs-Cyrl" : "bs-Latn";
  if ((lang == "uz" || lang == "az") && mod == "cyrillic") return lang + "-Cyrl";
  return lang;
}

std::string UserLanguageTag() {
  std::string_view language = EnvValue("LANGUAGE");
  // LANGUAGE is a colon-separated priority list; the first entry that names something counts.
  while (!language.empty()) {
    const auto colon = language.find(':');
    const std::string_view first = language.substr(0, colon);
    if (!first.empty()) return LanguageTagFromLocaleName(first);
    if (colon == std::string_view::npos) break;
    language = language.substr(colon + 1);
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::string_view v = EnvValue(name);
    if (!v.empty()) return LanguageTagFromLocaleName(v);
  }
  return "en";
}

}  // namespace tidemark
