// The start-up decision of the narrow code page (narrow text files, language
// files and text imports without a byte-order mark). On a UTF-8 locale (the C
// and POSIX locales count as one) the registry value "DefaultCodePageAware"
// decides: 0 means UTF-8, anything else the legacy code page of the user's
// language; it is created with 0 when absent. Other locales use their own
// codeset and never touch the registry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/registry_store.h"

namespace tidemark {

inline constexpr std::string_view kDefaultCodePageAwareValue = "DefaultCodePageAware";

// The codeset of the user's locale (setlocale(LC_CTYPE, "") then nl_langinfo).
std::string LocaleCodeset();

// Applies the rule above with `store` (loaded here) and passes the value to
// SetDefaultCodePageAware(). Returns the value used (0 on other locales).
std::uint32_t DecideNarrowCodePage(RegistryStore& store, std::string_view locale_codeset);

// The start-up call: the user's registry stand-in and the user's locale.
std::uint32_t DecideProcessNarrowCodePage();

}  // namespace tidemark
