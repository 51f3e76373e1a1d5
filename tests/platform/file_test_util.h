// File helpers for the platform tests that do not use the code under test.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tidemark::testing {

inline bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace tidemark::testing
