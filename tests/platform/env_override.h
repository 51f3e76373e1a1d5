// Sets or unsets an environment variable for one scope of a test.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace tidemark::testing {

class EnvOverride {
 public:
  EnvOverride(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(name_, value);
  }
  EnvOverride(const EnvOverride&) = delete;
  EnvOverride& operator=(const EnvOverride&) = delete;
  ~EnvOverride() { Set(name_, old_ ? old_->c_str() : nullptr); }

 private:
  static void Set(const char* name, const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace tidemark::testing
