// File helpers shared by the settings and registry tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "config/config_file_io.h"
#include "platform/error_numbers.h"

namespace tidemark::testing {

inline void WriteFile(const std::string& path, std::string_view bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::string bytes;
  return ReadConfigFile(path, &bytes) == err::kOk ? bytes : std::string("<missing>");
}

}  // namespace tidemark::testing
