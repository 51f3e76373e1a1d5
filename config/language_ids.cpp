#include "config/language_ids.h"

#include <algorithm>

#include "platform/ascii_case.h"
#include "platform/user_language.h"

namespace tidemark {
namespace {

// Sorted by identifier. The tag is the parent locale name of the identifier's
// locale ("en" for en-US, "zh-Hant" for zh-TW, "sr-Latn" for sr-Latn-RS).
constexpr std::array<LanguageIdRow, kLanguageIdCount> kRows = {{
    {0x0001, "ar", "ar"},
    {0x0002, "bg", "bg"},
    {0x0003, "ca", "ca"},
    {0x0004, "zh-Hans", "zh-Hans"},
    {0x0005, "cs", "cs"},
    {0x0006, "da", "da"},
    {0x0007, "de", "de"},
    {0x0008, "el", "el"},
    {0x0009, "en", "en"},
    {0x000A, "es", "es"},
    {0x000B, "fi", "fi"},
    {0x000C, "fr", "fr"},
    {0x000D, "he", "he"},
    {0x000E, "hu", "hu"},
    {0x000F, "is", "is"},
    {0x0010, "it", "it"},
    {0x0011, "ja", "ja"},
    {0x0012, "ko", "ko"},
    {0x0013, "nl", "nl"},
    {0x0014, "no", "no"},
    {0x0015, "pl", "pl"},
    {0x0016, "pt", "pt"},
    {0x0017, "rm", "rm"},
    {0x0018, "ro", "ro"},
    {0x0019, "ru", "ru"},
    {0x001A, "hr", "hr"},
    {0x001B, "sk", "sk"},
    {0x001C, "sq", "sq"},
    {0x001D, "sv", "sv"},
    {0x001E, "th", "th"},
    {0x001F, "tr", "tr"},
    {0x0020, "ur", "ur"},
    {0x0021, "id", "id"},
    {0x0022, "uk", "uk"},
    {0x0023, "be", "be"},
    {0x0024, "sl", "sl"},
    {0x0025, "et", "et"},
    {0x0026, "lv", "lv"},
    {0x0027, "lt", "lt"},
    {0x0028, "tg", "tg"},
    {0x0029, "fa", "fa"},
    {0x002A, "vi", "vi"},
    {0x002B, "hy", "hy"},
    {0x002C, "az", "az"},
    {0x002D, "eu", "eu"},
    {0x002F, "mk", "mk"},
    {0x0036, "af", "af"},
    {0x0037, "ka", "ka"},
    {0x0038, "fo", "fo"},
    {0x0039, "hi", "hi"},
    {0x003A, "mt", "mt"},
    {0x003C, "ga", "ga"},
    {0x003E, "ms", "ms"},
    {0x003F, "kk", "kk"},
    {0x0040, "ky", "ky"},
    {0x0041, "sw", "sw"},
    {0x0043, "uz", "uz"},
    {0x0044, "tt", "tt"},
    {0x0045, "bn", "bn"},
    {0x0046, "pa", "pa"},
    {0x0047, "gu", "gu"},
    {0x0049, "ta", "ta"},
    {0x004A, "te", "te"},
    {0x004B, "kn", "kn"},
    {0x004C, "ml", "ml"},
    {0x004E, "mr", "mr"},
    {0x0050, "mn", "mn"},
    {0x0052, "cy", "cy"},
    {0x0056, "gl", "gl"},
    {0x0401, "ar-SA", "ar"},
    {0x0402, "bg-BG", "bg"},
    {0x0403, "ca-ES", "ca"},
    {0x0404, "zh-TW", "zh-Hant"},
    {0x0405, "cs-CZ", "cs"},
    {0x0406, "da-DK", "da"},
    {0x0407, "de-DE", "de"},
    {0x0408, "el-GR", "el"},
    {0x0409, "en-US", "en"},
    {0x040B, "fi-FI", "fi"},
    {0x040C, "fr-FR", "fr"},
    {0x040D, "he-IL", "he"},
    {0x040E, "hu-HU", "hu"},
    {0x040F, "is-IS", "is"},
    {0x0410, "it-IT", "it"},
    {0x0411, "ja-JP", "ja"},
    {0x0412, "ko-KR", "ko"},
    {0x0413, "nl-NL", "nl"},
    {0x0414, "nb-NO", "nb"},
    {0x0415, "pl-PL", "pl"},
    {0x0416, "pt-BR", "pt"},
    {0x0418, "ro-RO", "ro"},
    {0x0419, "ru-RU", "ru"},
    {0x041A, "hr-HR", "hr"},
    {0x041B, "sk-SK", "sk"},
    {0x041C, "sq-AL", "sq"},
    {0x041D, "sv-SE", "sv"},
    {0x041E, "th-TH", "th"},
    {0x041F, "tr-TR", "tr"},
    {0x0420, "ur-PK", "ur"},
    {0x0421, "id-ID", "id"},
    {0x0422, "uk-UA", "uk"},
    {0x0423, "be-BY", "be"},
    {0x0424, "sl-SI", "sl"},
    {0x0425, "et-EE", "et"},
    {0x0426, "lv-LV", "lv"},
    {0x0427, "lt-LT", "lt"},
    {0x0429, "fa-IR", "fa"},
    {0x042A, "vi-VN", "vi"},
    {0x042B, "hy-AM", "hy"},
    {0x042C, "az-Latn-AZ", "az-Latn"},
    {0x042D, "eu-ES", "eu"},
    {0x042F, "mk-MK", "mk"},
    {0x0436, "af-ZA", "af"},
    {0x0437, "ka-GE", "ka"},
    {0x0439, "hi-IN", "hi"},
    {0x043E, "ms-MY", "ms"},
    {0x043F, "kk-KZ", "kk"},
    {0x0441, "sw-KE", "sw"},
    {0x0443, "uz-Latn-UZ", "uz-Latn"},
    {0x0445, "bn-IN", "bn"},
    {0x0449, "ta-IN", "ta"},
    {0x0456, "gl-ES", "gl"},
    {0x0801, "ar-IQ", "ar"},
    {0x0804, "zh-CN", "zh-Hans"},
    {0x0807, "de-CH", "de"},
    {0x0809, "en-GB", "en"},
    {0x080A, "es-MX", "es"},
    {0x080C, "fr-BE", "fr"},
    {0x0810, "it-CH", "it"},
    {0x0813, "nl-BE", "nl"},
    {0x0814, "nn-NO", "nn"},
    {0x0816, "pt-PT", "pt"},
    {0x081A, "sr-Latn-CS", "sr-Latn"},
    {0x081D, "sv-FI", "sv"},
    {0x082C, "az-Cyrl-AZ", "az-Cyrl"},
    {0x0843, "uz-Cyrl-UZ", "uz-Cyrl"},
    {0x0C01, "ar-EG", "ar"},
    {0x0C04, "zh-HK", "zh-Hant"},
    {0x0C07, "de-AT", "de"},
    {0x0C09, "en-AU", "en"},
    {0x0C0A, "es-ES", "es"},
    {0x0C0C, "fr-CA", "fr"},
    {0x0C1A, "sr-Cyrl-CS", "sr-Cyrl"},
    {0x1004, "zh-SG", "zh-Hans"},
    {0x1007, "de-LU", "de"},
    {0x1009, "en-CA", "en"},
    {0x100C, "fr-CH", "fr"},
    {0x101A, "hr-BA", "hr"},
    {0x1404, "zh-MO", "zh-Hant"},
    {0x1409, "en-NZ", "en"},
    {0x141A, "bs-Latn-BA", "bs-Latn"},
    {0x1809, "en-IE", "en"},
    {0x181A, "sr-Latn-BA", "sr-Latn"},
    {0x1C09, "en-ZA", "en"},
    {0x1C1A, "sr-Cyrl-BA", "sr-Cyrl"},
    {0x201A, "bs-Cyrl-BA", "bs-Cyrl"},
    {0x241A, "sr-Latn-RS", "sr-Latn"},
    {0x281A, "sr-Cyrl-RS", "sr-Cyrl"},
    {0x2C0A, "es-AR", "es"},
    {0x4009, "en-IN", "en"},
}};

const LanguageIdRow* FindById(std::uint16_t id) {
  const auto it = std::lower_bound(kRows.begin(), kRows.end(), id,
                                   [](const LanguageIdRow& row, std::uint16_t v) { return row.id < v; });
  return it != kRows.end() && it->id == id ? &*it : nullptr;
}

std::uint16_t FindByName(std::string_view name) {
  for (const LanguageIdRow& row : kRows)
    if (EqualsIgnoreAsciiCase(row.locale, name)) return row.id;
  return 0;
}

// The script subtag of a language tag ("zh-Hant" -> "Hant"), or empty.
std::string_view ScriptOfTag(std::string_view tag) {
  const auto dash = tag.find('-');
  if (dash == std::string_view::npos || tag.size() - dash - 1 != 4) return {};
  return tag.substr(dash + 1);
}

}  // namespace

std::span<const LanguageIdRow> LanguageIdTable() { return kRows; }

std::string_view LanguageTagForId(std::uint16_t id) {
  if (const LanguageIdRow* row = FindById(id)) return row->tag;
  if (const LanguageIdRow* row = FindById(PrimaryLanguageId(id))) return row->tag;
  return {};
}

std::uint16_t LanguageIdForLocaleName(std::string_view name) {
  const LocaleNameParts parts = SplitLocaleName(name);
  const std::string& lang = parts.language;
  if (lang.empty() || lang == "c" || lang == "posix") return FindByName("en");
  // The script comes from the modifier or, for languages written in several
  // scripts, from the language's usual one (sr_RS is Cyrillic, bs_BA Latin).
  const std::string& mod = parts.modifier;
  std::string script = mod == "latin" ? "Latn" : mod == "cyrillic" ? "Cyrl" : "";
  if (script.empty()) script = std::string(ScriptOfTag(LanguageTagFromLocaleName(name)));
  const std::string& reg = parts.territory;
  if (!script.empty() && !reg.empty())
    if (const std::uint16_t id = FindByName(lang + "-" + script + "-" + reg)) return id;
  if (!reg.empty())
    if (const std::uint16_t id = FindByName(lang + "-" + reg)) return id;
  if (!script.empty())
    if (const std::uint16_t id = FindByName(lang + "-" + script)) return id;
  return FindByName(lang);
}

}  // namespace tidemark
