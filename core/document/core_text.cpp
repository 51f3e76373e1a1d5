#include "core/document/core_text.h"

namespace tidemark {
namespace {
CoreTextLookup& Lookup() {
  static CoreTextLookup lookup = nullptr;
  return lookup;
}
}  // namespace

void SetCoreTextLookup(CoreTextLookup lookup) { Lookup() = lookup; }

std::string GetCoreText(CoreText id) { return Lookup() ? Lookup()(id) : std::string(); }

}  // namespace tidemark
