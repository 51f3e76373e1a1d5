#include "app/console_instance.h"

#include <unistd.h>

#include <gtest/gtest.h>

namespace tidemark::console {
namespace {

std::string UniqueName(const char* stem) {
  return std::string("tidemark-test-") + stem + "-" + std::to_string(::getpid());
}

// The first listener holds the name; a second start learns that and hands
// its paths over, which the first receives whole and in order.
TEST(ConsoleInstance, SecondStartHandsItsPathsToTheFirst) {
  const std::string name = UniqueName("handover");
  InstanceServer first;
  bool held = true;
  ASSERT_EQ(first.Listen(name, &held), 0u);
  EXPECT_FALSE(held);
  ASSERT_TRUE(first.listening());

  InstanceServer second;
  ASSERT_EQ(second.Listen(name, &held), 0u);
  EXPECT_TRUE(held);
  EXPECT_FALSE(second.listening());

  std::vector<std::string> paths;
  ASSERT_EQ(first.Receive(&paths), 0u);  // nothing waiting yet
  EXPECT_TRUE(paths.empty());

  const std::vector<std::string> sent = {"/tmp/a b.wav", "/tmp/\"quoted\".aiff", std::string(5000, 'x')};
  ASSERT_EQ(SendToInstance(name, sent), 0u);
  ASSERT_EQ(first.Receive(&paths), 0u);
  EXPECT_EQ(paths, sent);

  // Once the first instance is gone the name is free again.
  first = InstanceServer();
  InstanceServer third;
  ASSERT_EQ(third.Listen(name, &held), 0u);
  EXPECT_FALSE(held);
  EXPECT_TRUE(third.listening());
}

TEST(ConsoleInstance, NobodyListeningAndTheNameFromTheEnvironment) {
  EXPECT_NE(SendToInstance(UniqueName("nobody"), {"/x.wav"}), 0u);
  ::setenv("TIDEMARK_INSTANCE", "tidemark-test-env", 1);
  EXPECT_EQ(InstanceSocketName(), "tidemark-test-env");
  ::unsetenv("TIDEMARK_INSTANCE");
  EXPECT_EQ(InstanceSocketName(), "tidemark-instance-" + std::to_string(::getuid()));
}

}  // namespace
}  // namespace tidemark::console
