// Running the peer programs the format tests compare against: ffprobe's
// fields, mutagen scripts, and their output as lines.
#pragma once

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark::testing {

inline constexpr const char* kPython = "/usr/bin/python3";

inline bool HaveMutagen() {
  return HaveProgram(kPython) && Run(std::string(kPython) + " -c 'import mutagen'", nullptr, true) == 0;
}

// Writes a script file `name` into `dir` and gives its path.
inline std::string WriteScript(const std::string& dir, const char* name, const char* text) {
  const std::string path = dir + "/" + name;
  std::ofstream(path) << text;
  return path;
}

inline std::multiset<std::string> Lines(const std::string& text) {
  std::multiset<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.insert(line);
  return out;
}

// ffprobe's "key=value" lines for `entries` of `path`; a failed run fails the test.
inline std::string FfprobeOutput(const std::string& path, const std::string& entries) {
  std::string out;
  EXPECT_EQ(Run("/usr/bin/ffprobe -v error -show_entries " + entries + " -of default=nw=1 '" + path + "'", &out, true),
            0)
      << path;
  return out;
}

// The same as a map, values without trailing blanks (ffprobe keeps the
// padding of fixed-width fields); a key given twice fails the test.
inline std::map<std::string, std::string> FfprobeFields(const std::string& path, const std::string& entries) {
  std::map<std::string, std::string> fields;
  std::istringstream in(FfprobeOutput(path, entries));
  for (std::string line; std::getline(in, line);) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value = line.substr(eq + 1);
    value.erase(value.find_last_not_of(' ') + 1);
    EXPECT_TRUE(fields.emplace(line.substr(0, eq), value).second) << "ffprobe repeats " << line;
  }
  return fields;
}

}  // namespace tidemark::testing
