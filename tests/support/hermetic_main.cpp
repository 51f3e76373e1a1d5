// Test entry point: sets up the private folder before any test runs and
// removes it afterwards.
#include <filesystem>
#include <system_error>

#include <gtest/gtest.h>

#include "tests/support/hermetic_env.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const std::string root = tidemark::testing::HermeticRoot();
  const int rc = RUN_ALL_TESTS();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return rc;
}
