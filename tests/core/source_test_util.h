// Helpers shared by the core tests: files of known bytes and reads into
// guarded buffers; file existence and folder listings come from the platform
// tests' helpers.
#pragma once

#include <fcntl.h>
#include <unistd.h>

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
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << path;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0);
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

inline std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::vector<std::uint8_t> out;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  std::uint8_t buf[65536];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) out.insert(out.end(), buf, buf + n);
  ::close(fd);
  return out;
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
