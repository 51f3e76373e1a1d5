#include "tests/support/peer_tools.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tidemark::testing {

bool HaveProgram(const char* path) { return ::access(path, X_OK) == 0; }

bool PeersRequired() {
  const char* ci = std::getenv("CI");
  if (ci != nullptr && *ci != '\0' && std::strcmp(ci, "false") != 0 && std::strcmp(ci, "0") != 0) return true;
  const char* required = std::getenv("TIDEMARK_REQUIRE_PEERS");
  return required != nullptr && std::strcmp(required, "1") == 0;
}

}  // namespace tidemark::testing
