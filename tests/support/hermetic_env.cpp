#include "tests/support/hermetic_env.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace tidemark::testing {
namespace {

std::string CreateRoot() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tidemark-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create the test folder " + pattern);
  const std::string root = pattern;
  for (const char* sub : {"/home", "/home/.config", "/home/.cache", "/runtime", "/tmp"}) {
    std::string path = root + sub;
    if (mkdir(path.c_str(), 0700) != 0) throw std::runtime_error("cannot create " + path);
  }
  setenv("HOME", (root + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/home/.config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (root + "/home/.cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
  setenv("TMPDIR", (root + "/tmp").c_str(), 1);
  unsetenv("TEMP");
  unsetenv("TMP");
  return root;
}

}  // namespace

const std::string& HermeticRoot() {
  static const std::string root = CreateRoot();
  return root;
}

std::string MakeTempDir(const std::string& stem) {
  static std::atomic<unsigned> counter{0};
  std::string path = HermeticRoot() + "/tmp/" + stem + "-" + std::to_string(counter++);
  std::filesystem::create_directories(path);
  return path;
}

}  // namespace tidemark::testing
