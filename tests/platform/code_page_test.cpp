#include "platform/code_page.h"

#include <langinfo.h>

#include <gtest/gtest.h>

#include "platform/narrow_codeset.h"
#include "platform/user_language.h"
#include "tests/platform/env_override.h"

namespace tidemark {
namespace {

using testing::EnvOverride;

const char kReplacement[] = "\xEF\xBF\xBD";

TEST(CodePage, Cp1252RoundTripAndReplacement) {
  EXPECT_EQ(Utf8ToNarrow("\xE2\x82\xAC caf\xC3\xA9", "CP1252"), "\x80 caf\xE9");
  EXPECT_EQ(NarrowToUtf8("\x80 caf\xE9", "CP1252"), "\xE2\x82\xAC caf\xC3\xA9");
  int undefined = 0;
  for (int b = 0; b < 256; ++b) {  // every defined byte survives the round trip
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = NarrowToUtf8(byte, "CP1252");
    if (utf8 == kReplacement) {
      ++undefined;
    } else {
      EXPECT_EQ(Utf8ToNarrow(utf8, "CP1252"), byte) << b;
    }
  }
  EXPECT_EQ(undefined, 5);  // 0x81, 0x8D, 0x8F, 0x90, 0x9D
  // 0x81 is undefined in CP1252; an unrepresentable character becomes '?'.
  EXPECT_EQ(NarrowToUtf8("a\x81" "b", "CP1252"), std::string("a") + kReplacement + "b");
  EXPECT_EQ(Utf8ToNarrow("x\xE6\x97\xA5y\xF0\x9F\x98\x80z", "CP1252"), "x?y?z");
  // Invalid UTF-8 input: one '?' per invalid subpart.
  EXPECT_EQ(Utf8ToNarrow("a\xC0\xAF" "b\xE2\x82", "CP1252"), "a??b?");
  EXPECT_EQ(NarrowToUtf8("", "CP1252"), "");
  EXPECT_EQ(Utf8ToNarrow("", "CP1252"), "");
}

TEST(CodePage, Cp932RoundTripAndInvalidBytes) {
  const std::string nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
  const std::string sjis = "\x93\xFA\x96\x7B\x8C\xEA";
  EXPECT_EQ(Utf8ToNarrow(nihongo, "CP932"), sjis);
  EXPECT_EQ(NarrowToUtf8(sjis, "CP932"), nihongo);
  // Half-width katakana are single bytes.
  EXPECT_EQ(Utf8ToNarrow("\xEF\xBD\xB1\xEF\xBE\x9D", "CP932"), "\xB1\xDD");  // ｱﾝ
  EXPECT_EQ(NarrowToUtf8("\xB1\xDD", "CP932"), "\xEF\xBD\xB1\xEF\xBE\x9D");
  // A lead byte without a valid trail, and one cut off at the end.
  EXPECT_EQ(NarrowToUtf8("\x81 a", "CP932"), std::string(kReplacement) + " a");
  EXPECT_EQ(NarrowToUtf8("a\x93", "CP932"), std::string("a") + kReplacement);
  EXPECT_EQ(Utf8ToNarrow("\xF0\x9F\x98\x80\xE6\x97\xA5", "CP932"), "?\x93\xFA");
  // A long text goes through several output-buffer growths.
  std::string long_utf8, long_sjis;
  for (int i = 0; i < 5000; ++i) {
    long_utf8 += nihongo + "\xEF\xBD\xB1";
    long_sjis += sjis + "\xB1";
  }
  EXPECT_EQ(Utf8ToNarrow(long_utf8, "CP932"), long_sjis);
  EXPECT_EQ(NarrowToUtf8(long_sjis, "CP932"), long_utf8);
}

TEST(CodePage, Utf8StatefulAndUnknownCodesets) {
  EXPECT_EQ(NarrowToUtf8("ok\xE2\x82\xAC\xFF", "utf8"), std::string("ok\xE2\x82\xAC") + kReplacement);
  EXPECT_EQ(Utf8ToNarrow("\xED\xA0\x80", "UTF-8"), std::string(kReplacement) + kReplacement + kReplacement);
  // The '?' of an unrepresentable character is written in the stateful
  // encoding's ASCII state, so the text decodes back cleanly.
  const std::string jis = Utf8ToNarrow("\xE6\x97\xA5\xF0\x9F\x98\x80\xE6\x9C\xAC", "ISO-2022-JP");
  EXPECT_EQ(NarrowToUtf8(jis, "ISO-2022-JP"), "\xE6\x97\xA5?\xE6\x9C\xAC");
  EXPECT_EQ(jis.substr(jis.size() - 3), "\x1B(B");  // shift state flushed at the end
  // An unknown codeset keeps ASCII and replaces the rest.
  EXPECT_FALSE(IsCodesetSupported("NO-SUCH-CODESET"));
  EXPECT_TRUE(IsCodesetSupported("CP1258"));
  EXPECT_EQ(NarrowToUtf8("ab\xE9", "NO-SUCH-CODESET"), std::string("ab") + kReplacement);
  EXPECT_EQ(Utf8ToNarrow("ab\xC3\xA9", "NO-SUCH-CODESET"), "ab?");
}

TEST(CodePage, EveryLegacyCodePageIsKnownToIconv) {
  for (const char* cp : {"CP874", "CP932", "CP936", "CP949", "CP950", "CP1250", "CP1251", "CP1252",
                         "CP1253", "CP1254", "CP1255", "CP1256", "CP1257", "CP1258"}) {
    EXPECT_TRUE(IsCodesetSupported(cp)) << cp;
  }
  EXPECT_EQ(Utf8ToNarrow("\xD0\x96", "CP1251"), "\xC6");      // Ж
  EXPECT_EQ(NarrowToUtf8("\xB0\xA1", "CP949"), "\xEA\xB0\x80");  // 가
}

TEST(CodePage, CurrentCodesetOverloads) {
  SetNarrowCodesetForTesting("CP1252");
  EXPECT_EQ(NarrowCodeset(), "CP1252");
  EXPECT_EQ(Utf8ToNarrow("\xC3\xA9"), "\xE9");
  EXPECT_EQ(NarrowToUtf8("\xE9"), "\xC3\xA9");
  SetNarrowCodesetForTesting("");
  EXPECT_NE(NarrowCodeset(), "");
}

TEST(CodePage, DoubleByteLeadRanges) {
  const auto expect_leads = [](const char* cp, std::initializer_list<std::pair<int, int>> ranges) {
    for (int b = 0; b < 256; ++b) {
      bool lead = false;
      for (const auto& [lo, hi] : ranges) lead = lead || (b >= lo && b <= hi);
      EXPECT_EQ(IsDoubleByteLead(cp, static_cast<unsigned char>(b)), lead) << cp << " " << b;
    }
  };
  for (const char* cp : {"CP932", "cp932", "WINDOWS-31J", "Shift_JIS"})
    expect_leads(cp, {{0x81, 0x9F}, {0xE0, 0xFC}});
  for (const char* cp : {"CP936", "CP949", "CP950", "GBK", "BIG5", "UHC"}) expect_leads(cp, {{0x81, 0xFE}});
  for (const char* cp : {"CP1252", "UTF-8", "EUC-JP", ""}) expect_leads(cp, {});
}

TEST(NarrowCodeset, DecisionRule) {
  // The C locale and every spelling of UTF-8 count as a UTF-8 system.
  for (const char* utf8_like : {"UTF-8", "utf8", "UTF8", "ANSI_X3.4-1968", "ASCII", ""}) {
    EXPECT_EQ(ResolveNarrowCodeset(utf8_like, "ja", 0), "UTF-8") << utf8_like;
    EXPECT_EQ(ResolveNarrowCodeset(utf8_like, "ja", 1), "CP932") << utf8_like;
    EXPECT_EQ(ResolveNarrowCodeset(utf8_like, "ja", 0xFFFFFFFF), "CP932") << utf8_like;
  }
  // Any other locale codeset is used as it is, whatever the setting.
  EXPECT_EQ(ResolveNarrowCodeset("ISO-8859-15", "ja", 1), "ISO-8859-15");
  EXPECT_EQ(ResolveNarrowCodeset("EUC-JP", "en", 0), "EUC-JP");

  const std::pair<const char*, const char*> table[] = {
      {"ja-JP", "CP932"},   {"zh-Hans", "CP936"}, {"zh", "CP936"},      {"zh-Hant", "CP950"},
      {"zh-TW", "CP950"},   {"zh_HK", "CP950"},   {"zh-Hant-HK", "CP950"}, {"ko", "CP949"},
      {"ru", "CP1251"},     {"uk", "CP1251"},     {"kk", "CP1251"},     {"sah", "CP1251"},
      {"sr", "CP1251"},     {"sr-Latn", "CP1250"}, {"sr_RS@latin", "CP1250"}, {"el", "CP1253"},
      {"tr", "CP1254"},     {"he", "CP1255"},     {"ar", "CP1256"},     {"lt", "CP1257"},
      {"vi", "CP1258"},     {"th", "CP874"},      {"cs", "CP1250"},     {"ro", "CP1250"},
      {"en", "CP1252"},     {"de-DE", "CP1252"},  {"JA", "CP932"},      {"", "CP1252"},
  };
  for (const auto& [tag, cp] : table) EXPECT_EQ(ResolveNarrowCodeset("UTF-8", tag, 1), cp) << tag;
}

TEST(NarrowCodeset, LanguageTagsFromLocaleNames) {
  const std::pair<const char*, const char*> table[] = {
      {"ja_JP.UTF-8", "ja"}, {"zh_CN.GB18030", "zh-Hans"}, {"zh_SG", "zh-Hans"},
      {"zh_TW", "zh-Hant"},  {"zh_HK.UTF-8", "zh-Hant"},   {"sr_RS@latin", "sr-Latn"},
      {"sr_RS", "sr-Cyrl"},  {"bs_BA", "bs-Latn"},         {"pt_BR", "pt"},
      {"de_DE@euro", "de"},  {"C", "en"},                  {"POSIX", "en"},
      {"C.UTF-8", "en"},     {"", "en"},                   {"ru", "ru"},
  };
  for (const auto& [name, tag] : table) EXPECT_EQ(LanguageTagFromLocaleName(name), tag) << name;
}

TEST(NarrowCodeset, UserLanguagePriority) {
  EnvOverride language("LANGUAGE", nullptr), all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr),
      lang("LANG", nullptr);
  EXPECT_EQ(UserLanguageTag(), "en");
  setenv("LANG", "ko_KR.UTF-8", 1);
  EXPECT_EQ(UserLanguageTag(), "ko");
  setenv("LC_MESSAGES", "zh_TW", 1);
  EXPECT_EQ(UserLanguageTag(), "zh-Hant");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(UserLanguageTag(), "en");
  setenv("LANGUAGE", ":ja:de", 1);  // first non-empty entry
  EXPECT_EQ(UserLanguageTag(), "ja");
  setenv("LANGUAGE", "", 1);
  EXPECT_EQ(UserLanguageTag(), "en");  // empty LANGUAGE falls through to LC_ALL
}

TEST(NarrowCodeset, SettingIsAppliedToTheProcessCodeset) {
  (void)NarrowCodeset();  // probes the locale
  const std::string locale_codeset = nl_langinfo(CODESET);
  const std::string language = UserLanguageTag();
  SetDefaultCodePageAware(1);
  EXPECT_EQ(NarrowCodeset(), ResolveNarrowCodeset(locale_codeset, language, 1));
  SetDefaultCodePageAware(0);
  EXPECT_EQ(NarrowCodeset(), ResolveNarrowCodeset(locale_codeset, language, 0));
}

}  // namespace
}  // namespace tidemark
