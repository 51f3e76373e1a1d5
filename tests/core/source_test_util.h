// Helpers shared by the core tests: files of known bytes and reads into
// guarded buffers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/file_test_util.h"

namespace tidemark::testing {

inline std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

inline void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  const std::string s = FileExists(path) ? ReadWholeFile(path) : std::string();
  return std::vector<std::uint8_t>(s.begin(), s.end());
}

// Reads `bytes` through `read` into a buffer with guard bytes behind it,
// checks that nothing was written past them and hands back what was read.
template <typename Read>
auto ReadGuarded(std::size_t bytes, std::vector<std::uint8_t>* out, Read&& read) {
  std::vector<std::uint8_t> buf(bytes + 64, 0xCD);
  const auto rc = read(buf.data());
  EXPECT_TRUE(std::all_of(buf.begin() + static_cast<std::ptrdiff_t>(bytes), buf.end(),
                          [](std::uint8_t b) { return b == 0xCD; }))
      << "read wrote past its frames";
  buf.resize(bytes);
  *out = std::move(buf);
  return rc;
}

}  // namespace tidemark::testing
