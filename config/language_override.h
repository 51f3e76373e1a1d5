// The language override: the registry value "UIText" names the language file
// to load (without ".txt") instead of the one chosen by the user's language.
// Setting it writes "en", which forces English; clearing deletes the value.
// Either takes effect at the next start. The value is read once and cached.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "config/registry_store.h"
#include "platform/error.h"

namespace tidemark {

inline constexpr std::string_view kLanguageOverrideValue = "UIText";

enum class LanguageOverrideState { kNotRead, kAbsent, kPresent };

class LanguageOverride {
 public:
  explicit LanguageOverride(RegistryStore store) : store_(std::move(store)) {}

  LanguageOverrideState state() const { return state_; }

  // The override's file name, reading the registry on the first call only;
  // nullopt when the value is absent, not a string or empty.
  std::optional<std::string> Name();

  // Writes "UIText" = "en". Errors of RegistryStore::Save.
  [[nodiscard]] Error Set();
  // Deletes "UIText" (and the key, when nothing else is left in it).
  [[nodiscard]] Error Clear();

 private:
  void ReadOnce();

  RegistryStore store_;
  LanguageOverrideState state_ = LanguageOverrideState::kNotRead;
  std::string name_;
};

// The override of this process, in the user's registry stand-in.
LanguageOverride& ProcessLanguageOverride();

}  // namespace tidemark
