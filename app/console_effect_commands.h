// How the console editor's effect commands (declared with the other
// handlers in console_commands.h) find their entries: through the registry,
// where tests may put entries of their own in place.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/console_commands.h"
#include "effects/framework/effect_entry.h"
#include "effects/framework/effect_registry.h"

namespace tidemark::console {

// The row that `name` names: a key name (ASCII case ignored) or a command
// number 300-327 in decimal. Null for anything else (the plug-in numbers
// name nothing on this platform).
const EffectDescription* EffectRowNamed(std::string_view name);
// The entry the console runs for `row`: the one put in place for it, else
// the registry's; null when this build has none.
CEffEntry* ConsoleEffectEntry(const EffectDescription& row);

// Puts `entry` in place of the registry's entry of its command number while
// it lives (tests run entries of their own through the console this way).
class ScopedConsoleEffect {
 public:
  explicit ScopedConsoleEffect(CEffEntry& entry);
  ~ScopedConsoleEffect();
  ScopedConsoleEffect(const ScopedConsoleEffect&) = delete;
  ScopedConsoleEffect& operator=(const ScopedConsoleEffect&) = delete;

 private:
  std::uint32_t command_;
  CEffEntry* previous_;
};

}  // namespace tidemark::console
