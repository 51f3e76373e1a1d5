// Puts the file kinds in force before the first test of a binary that uses
// the formats layer, as the programs do at start-up. Linked in as an object
// file, so the registration below is never dropped by the linker.
#include <gtest/gtest.h>

#include "formats/file_kind_table.h"

namespace {

class FileKindsEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override { tidemark::InstallFileKinds(); }
};

::testing::Environment* const kFileKinds = ::testing::AddGlobalTestEnvironment(new FileKindsEnvironment);

}  // namespace
