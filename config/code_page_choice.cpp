#include "config/code_page_choice.h"

#include <langinfo.h>

#include <clocale>

#include "platform/narrow_codeset.h"

namespace tidemark {

std::string LocaleCodeset() {
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  return codeset ? codeset : "";
}

std::uint32_t DecideNarrowCodePage(RegistryStore& store, std::string_view locale_codeset) {
  if (!IsUtf8Codeset(locale_codeset) && !IsCLocaleCodeset(locale_codeset)) return 0;
  store.Load();
  std::uint32_t value = 0;
  if (const auto stored = store.GetDword(kDefaultCodePageAwareValue)) {
    value = *stored;
  } else if (!store.Has(kDefaultCodePageAwareValue)) {
    store.SetDword(kDefaultCodePageAwareValue, 0);
    (void)store.Save();  // not being able to remember the choice changes nothing now
  }
  SetDefaultCodePageAware(value);
  return value;
}

std::uint32_t DecideProcessNarrowCodePage() {
  RegistryStore store = RegistryStore::ForUser();
  return DecideNarrowCodePage(store, LocaleCodeset());
}

}  // namespace tidemark
