// The block cache on its own, with fillers that serve bytes from memory.
#include "core/sources/internal/block_cache.h"

#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// Byte i of owner k's "file" is (i * 7 + k) mod 251.
class MemoryFiller final : public BlockFiller {
 public:
  explicit MemoryFiller(int key) : key_(key) {}
  Error FillBlock(std::uint64_t offset, std::byte* dst, std::uint32_t bytes) override {
    ++fills;
    if (fail_next) {
      fail_next = false;
      std::memset(dst, 0xEE, bytes / 2);  // a partial read before the failure
      return err::kReadFailed;
    }
    for (std::uint32_t i = 0; i < bytes; ++i) dst[i] = static_cast<std::byte>(((offset + i) * 7 + key_) % 251);
    return err::kOk;
  }
  std::uint8_t Expected(std::uint64_t offset) const { return static_cast<std::uint8_t>((offset * 7 + key_) % 251); }

  int fills = 0;
  bool fail_next = false;

 private:
  int key_;
};

constexpr std::uint64_t kB = BlockCache::kBlockBytes;

TEST(BlockCacheTest, KeepsMostRecentlyUsedBlocksAndFreesFailedFills) {
  BlockCache cache;
  ASSERT_EQ(cache.Reset(8), 0u);
  MemoryFiller a(1);
  const std::uint64_t end = 20 * kB + 100;
  const BlockCache::Block* b = nullptr;
  for (std::uint64_t i = 0; i < 8; ++i) ASSERT_EQ(cache.Get(a, i * kB + 5, end, &b), 0u);
  EXPECT_EQ(a.fills, 8);
  EXPECT_EQ(cache.used_count(), 8u);
  // Touch block 0, then bring in a ninth: block 1 (least recent) goes, block 0 stays.
  ASSERT_EQ(cache.Get(a, 17, end, &b), 0u);
  ASSERT_EQ(cache.Get(a, 8 * kB, end, &b), 0u);
  EXPECT_EQ(a.fills, 9);
  ASSERT_EQ(cache.Get(a, kB - 1, end, &b), 0u);
  EXPECT_EQ(a.fills, 9) << "block 0 was evicted although recently used";
  EXPECT_EQ(static_cast<std::uint8_t>(b->data[kB - 1]), a.Expected(kB - 1));
  ASSERT_EQ(cache.Get(a, kB, end, &b), 0u);
  EXPECT_EQ(a.fills, 10) << "block 1 should have been evicted";

  // The last block is short: it holds only the bytes up to the data end.
  ASSERT_EQ(cache.Get(a, 20 * kB + 99, end, &b), 0u);
  EXPECT_EQ(b->valid, 100u);
  EXPECT_EQ(b->offset, 20 * kB);
  EXPECT_NE(cache.Get(a, end, end, &b), 0u);

  // A failed fill leaves its block free at the back; the next fill reuses it.
  a.fail_next = true;
  EXPECT_EQ(cache.Get(a, 12 * kB, end, &b), err::kReadFailed);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(cache.used_count(), 7u);
  std::string why;
  EXPECT_TRUE(cache.Check(nullptr, &why)) << why;
  ASSERT_EQ(cache.Get(a, 12 * kB, end, &b), 0u);
  EXPECT_EQ(static_cast<std::uint8_t>(b->data[0]), a.Expected(12 * kB));
  EXPECT_EQ(cache.used_count(), 8u);

  // Dropping an owner frees its blocks; resetting empties and resizes.
  cache.Drop(&a);
  EXPECT_EQ(cache.used_count(), 0u);
  ASSERT_EQ(cache.Reset(32), 0u);
  EXPECT_EQ(cache.block_count(), 32u);
  EXPECT_TRUE(cache.Check(nullptr, &why)) << why;
}

// Random traffic from several owners: every block read holds its owner's
// bytes, and the invariants hold after every step.
TEST(BlockCacheTest, NeverHandsOneBlockToTwoOwners) {
  BlockCache cache;
  ASSERT_EQ(cache.Reset(8), 0u);
  std::vector<MemoryFiller> owners{MemoryFiller(1), MemoryFiller(2), MemoryFiller(3), MemoryFiller(4)};
  std::vector<const BlockFiller*> listed;
  for (auto& o : owners) listed.push_back(&o);
  std::mt19937 rng(1);
  const std::uint64_t end = 12 * kB + 333;
  std::string why;
  for (int step = 0; step < 3000; ++step) {
    MemoryFiller& o = owners[rng() % owners.size()];
    if (rng() % 50 == 0) {
      cache.Drop(&o);
    } else {
      o.fail_next = rng() % 40 == 0;
      const std::uint64_t at = rng() % end;
      const BlockCache::Block* b = nullptr;
      const Error rc = cache.Get(o, at, end, &b);
      if (rc == 0) {
        ASSERT_EQ(b->owner, &o);
        ASSERT_EQ(static_cast<std::uint8_t>(b->data[at - b->offset]), o.Expected(at));
      }
      o.fail_next = false;
    }
    ASSERT_TRUE(cache.Check(&listed, &why)) << "step " << step << ": " << why;
  }
  // The check notices an owner that is not open.
  listed.pop_back();
  const BlockCache::Block* b = nullptr;
  ASSERT_EQ(cache.Get(owners.back(), 0, end, &b), 0u);
  EXPECT_FALSE(cache.Check(&listed, &why));
}

}  // namespace
}  // namespace tidemark
