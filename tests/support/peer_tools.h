// The peer tools that tests compare against (sox, ffmpeg, sndfile-info,
// Python with numpy and mutagen). A test whose peer is missing must not pass
// with its assertions dropped: under CI, or with TIDEMARK_REQUIRE_PEERS=1, it
// fails; elsewhere it is skipped with a reason that starts "peer missing:".
#pragma once

#include <gtest/gtest.h>

namespace tidemark::testing {

bool HaveProgram(const char* path);

// True when a missing peer is a failure: CI is set (and not "false") or
// TIDEMARK_REQUIRE_PEERS is 1.
bool PeersRequired();

}  // namespace tidemark::testing

// Use at the top of a TEST body: `what` names the missing tool in the message.
#define TIDEMARK_REQUIRE_PEER_IF(available, what)                                      \
  switch (0)                                                                           \
  case 0:                                                                              \
  default:                                                                             \
    if (available) {                                                                   \
    } else if (::tidemark::testing::PeersRequired())                                   \
      FAIL() << "peer missing: " << (what) << " (required under CI or TIDEMARK_REQUIRE_PEERS=1)"; \
    else                                                                               \
      GTEST_SKIP() << "peer missing: " << (what)

#define TIDEMARK_REQUIRE_PEER(path) TIDEMARK_REQUIRE_PEER_IF(::tidemark::testing::HaveProgram(path), path)
