#include "platform/system_info.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "platform/page_buffer.h"

namespace tidemark {
namespace {

TEST(SystemInfo, MachineFacts) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.front(), '/');
  struct stat st {};
  EXPECT_EQ(stat((folder + "/platform_tests").c_str(), &st), 0) << folder;

  const std::size_t page = PageSize();
  EXPECT_GE(page, 4096u);
  EXPECT_EQ(page & (page - 1), 0u);
  const std::uint64_t memory = PhysicalMemoryBytes();
  EXPECT_GT(memory, 64ull << 20);
  EXPECT_EQ(memory % page, 0u);

  const unsigned cpus = ProcessorCount();
  EXPECT_GE(cpus, 1u);
  EXPECT_LE(cpus, static_cast<unsigned>(sysconf(_SC_NPROCESSORS_CONF)));

  const std::uint64_t t0 = TickCountMs();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const std::uint64_t t1 = TickCountMs();
  EXPECT_GE(t1 - t0, 29u);  // a millisecond clock rounds down on both ends
  EXPECT_LT(t1 - t0, 10000u);
}

TEST(PageBuffer, AllocatesAlignedZeroedPages) {
  const std::size_t page = PageSize();
  PageBuffer buffer;
  EXPECT_TRUE(buffer.empty());
  ASSERT_EQ(buffer.Allocate(3 * page + 1), err::kOk);
  EXPECT_EQ(buffer.size(), 4 * page);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % page, 0u);
  for (std::size_t i = 0; i < buffer.size(); ++i) ASSERT_EQ(buffer.data()[i], std::byte{0});
  std::memset(buffer.data(), 0x5A, buffer.size());

  PageBuffer moved = std::move(buffer);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.data(), nullptr);
  ASSERT_EQ(moved.size(), 4 * page);
  EXPECT_EQ(moved.data()[4 * page - 1], std::byte{0x5A});

  // A new allocation starts zeroed again.
  ASSERT_EQ(moved.Allocate(1), err::kOk);
  EXPECT_EQ(moved.size(), page);
  EXPECT_EQ(moved.data()[0], std::byte{0});

  EXPECT_EQ(moved.Allocate(0), err::kOk);
  EXPECT_TRUE(moved.empty());
  EXPECT_EQ(moved.Allocate(SIZE_MAX), err::kOutOfMemory);  // rounding would overflow
  EXPECT_EQ(moved.Allocate(SIZE_MAX / 2), err::kOutOfMemory);
  EXPECT_TRUE(moved.empty());
}

}  // namespace
}  // namespace tidemark
