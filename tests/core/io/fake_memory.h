// Stands in for the machine's physical memory while a scope lives, so the
// cache sizes that depend on it are the tests' to choose.
#pragma once

#include <cstdint>

#include "core/io/buffered_file.h"

namespace tidemark::testing {

class FakeMemoryScope {
 public:
  explicit FakeMemoryScope(std::uint64_t bytes) {
    bytes_ = bytes;
    SetPhysicalMemoryQueryForTesting([]() { return bytes_; });
  }
  ~FakeMemoryScope() { SetPhysicalMemoryQueryForTesting(nullptr); }
  FakeMemoryScope(const FakeMemoryScope&) = delete;
  FakeMemoryScope& operator=(const FakeMemoryScope&) = delete;

 private:
  static inline std::uint64_t bytes_ = 0;
};

}  // namespace tidemark::testing
