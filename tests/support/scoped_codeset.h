// Sets the narrow code page for the life of the object, so a test of
// code-page behaviour does not depend on the locale it runs in.
#pragma once

#include <string_view>

#include "platform/narrow_codeset.h"

namespace tidemark::testing {

class ScopedCodeset {
 public:
  explicit ScopedCodeset(std::string_view codeset) { SetNarrowCodesetForTesting(codeset); }
  ~ScopedCodeset() { SetNarrowCodesetForTesting(""); }
  ScopedCodeset(const ScopedCodeset&) = delete;
  ScopedCodeset& operator=(const ScopedCodeset&) = delete;
};

}  // namespace tidemark::testing
