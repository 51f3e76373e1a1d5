#include "platform/narrow_codeset.h"

#include <langinfo.h>

#include <clocale>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "platform/user_language.h"

namespace tidemark {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Lower case without '-' and '_', so "UTF-8", "utf8" and "UTF_8" compare equal.
std::string FoldCodesetName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out.push_back(LowerAscii(c));
  }
  return out;
}

struct LanguageParts {
  std::string language;  // lower case
  std::string script;    // lower case, 4 letters, or empty
  std::string region;    // lower case, or empty
  std::string modifier;  // POSIX "@latin" / "@cyrillic", lower case
};

LanguageParts SplitLanguageTag(std::string_view tag) {
  LanguageParts parts;
  if (const auto at = tag.find('@'); at != std::string_view::npos) {
    for (char c : tag.substr(at + 1)) parts.modifier.push_back(LowerAscii(c));
    tag = tag.substr(0, at);
  }
  if (const auto dot = tag.find('.'); dot != std::string_view::npos) tag = tag.substr(0, dot);
  std::vector<std::string> subtags(1);
  for (char c : tag) {
    if (c == '-' || c == '_') {
      subtags.emplace_back();
    } else {
      subtags.back().push_back(LowerAscii(c));
    }
  }
  parts.language = subtags[0];
  for (std::size_t i = 1; i < subtags.size(); ++i) {
    if (subtags[i].size() == 4 && parts.script.empty() && parts.region.empty()) {
      parts.script = subtags[i];
    } else if ((subtags[i].size() == 2 || subtags[i].size() == 3) && parts.region.empty()) {
      parts.region = subtags[i];
    }
  }
  if (parts.script.empty() && parts.modifier == "latin") parts.script = "latn";
  if (parts.script.empty() && parts.modifier == "cyrillic") parts.script = "cyrl";
  return parts;
}

bool OneOf(const std::string& value, std::initializer_list<const char*> list) {
  for (const char* item : list)
    if (value == item) return true;
  return false;
}

struct DecisionState {
  std::mutex mutex;
  bool probed = false;
  std::string locale_codeset;
  std::string language;
  std::uint32_t aware = 0;
  std::string decided;
  std::string forced;
};

DecisionState& State() {
  static DecisionState state;
  return state;
}

// Caller holds the mutex.
void ProbeLocale(DecisionState& s) {
  if (s.probed) return;
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  s.locale_codeset = codeset ? codeset : "";
  s.language = UserLanguageTag();
  s.probed = true;
  s.decided = ResolveNarrowCodeset(s.locale_codeset, s.language, s.aware);
}

}  // namespace

bool IsUtf8Codeset(std::string_view codeset) { return FoldCodesetName(codeset) == "utf8"; }

bool IsCLocaleCodeset(std::string_view codeset) {
  const std::string folded = FoldCodesetName(codeset);
  return folded.empty() || folded == "ansix3.41968" || folded == "ansix3.41986" ||
         folded == "ascii" || folded == "usascii";
}

std::string LegacyCodePageForLanguage(std::string_view language_tag) {
  const LanguageParts p = SplitLanguageTag(language_tag);
  const std::string& lang = p.language;
  if (lang == "ja") return "CP932";
  if (lang == "ko") return "CP949";
  if (lang == "zh") {
    if (p.script == "hant") return "CP950";
    if (p.script == "hans") return "CP936";
    return OneOf(p.region, {"tw", "hk", "mo"}) ? "CP950" : "CP936";
  }
  if (lang == "th") return "CP874";
  if (lang == "el") return "CP1253";
  if (lang == "he" || lang == "iw") return "CP1255";
  if (OneOf(lang, {"ar", "fa", "ur"})) return "CP1256";
  if (OneOf(lang, {"et", "lv", "lt"})) return "CP1257";
  if (lang == "vi") return "CP1258";
  // Languages written in Latin or Cyrillic letters choose by script.
  if (lang == "sr") return p.script == "latn" ? "CP1250" : "CP1251";
  if (lang == "bs") return p.script == "cyrl" ? "CP1251" : "CP1250";
  if (lang == "az" || lang == "uz") return p.script == "cyrl" ? "CP1251" : "CP1254";
  if (lang == "tr") return "CP1254";
  if (OneOf(lang, {"ru", "uk", "be", "bg", "mk", "kk", "ky", "tt", "mn", "ba", "sah", "tg"}))
    return "CP1251";
  if (OneOf(lang, {"cs", "pl", "hu", "sk", "sl", "hr", "ro", "sq"})) return "CP1250";
  return "CP1252";
}

std::string ResolveNarrowCodeset(std::string_view locale_codeset, std::string_view ui_language,
                                 std::uint32_t default_code_page_aware) {
  if (!IsUtf8Codeset(locale_codeset) && !IsCLocaleCodeset(locale_codeset))
    return std::string(locale_codeset);
  if (default_code_page_aware == 0) return "UTF-8";
  return LegacyCodePageForLanguage(ui_language);
}

std::string NarrowCodeset() {
  DecisionState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.forced.empty()) return s.forced;
  ProbeLocale(s);
  return s.decided;
}

void SetDefaultCodePageAware(std::uint32_t value) {
  DecisionState& s = State();
  std::lock_guard lock(s.mutex);
  s.aware = value;
  ProbeLocale(s);
  s.decided = ResolveNarrowCodeset(s.locale_codeset, s.language, s.aware);
}

void SetNarrowCodesetForTesting(std::string_view codeset) {
  DecisionState& s = State();
  std::lock_guard lock(s.mutex);
  s.forced = std::string(codeset);
}

}  // namespace tidemark
