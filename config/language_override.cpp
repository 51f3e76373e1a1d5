#include "config/language_override.h"

#include "platform/error_numbers.h"

namespace tidemark {

void LanguageOverride::ReadOnce() {
  if (state_ != LanguageOverrideState::kNotRead) return;
  store_.Load();
  const std::optional<std::string> value = store_.GetString(kLanguageOverrideValue);
  if (value && !value->empty()) {
    name_ = *value;
    state_ = LanguageOverrideState::kPresent;
  } else {
    state_ = LanguageOverrideState::kAbsent;
  }
}

std::optional<std::string> LanguageOverride::Name() {
  ReadOnce();
  if (state_ == LanguageOverrideState::kPresent) return name_;
  return std::nullopt;
}

Error LanguageOverride::Set() {
  store_.Load();  // keep whatever else the key holds
  store_.SetString(kLanguageOverrideValue, "en");
  const Error rc = store_.Save();
  if (rc == err::kOk) {
    name_ = "en";
    state_ = LanguageOverrideState::kPresent;
  }
  return rc;
}

Error LanguageOverride::Clear() {
  store_.Load();
  store_.Delete(kLanguageOverrideValue);
  const Error rc = store_.Save();
  if (rc == err::kOk) {
    name_.clear();
    // A machine-wide value still applies once the user's own is gone.
    const std::optional<std::string> value = store_.GetString(kLanguageOverrideValue);
    state_ = value && !value->empty() ? LanguageOverrideState::kPresent
                                      : LanguageOverrideState::kAbsent;
    if (state_ == LanguageOverrideState::kPresent) name_ = *value;
  }
  return rc;
}

LanguageOverride& ProcessLanguageOverride() {
  static LanguageOverride instance(RegistryStore::ForUser());
  return instance;
}

}  // namespace tidemark
