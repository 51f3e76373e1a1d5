// The block cache shared by every cached file source: a fixed set of
// 256 KiB blocks, each holding one aligned stretch of one source's file, kept
// in most-recently-used order.
//
// The cache holds no lock of its own: every use happens under SourceMutex()
// (core/sources/source_list.h), together with the source reads it serves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/page_buffer.h"

namespace tidemark {

// What fills a block: a cached file source reads its own file.
class BlockFiller {
 public:
  // Reads exactly `bytes` bytes at file offset `offset` into `dst`; a short
  // read or any failure returns an error (8).
  [[nodiscard]] virtual Error FillBlock(std::uint64_t offset, std::byte* dst, std::uint32_t bytes) = 0;

 protected:
  ~BlockFiller() = default;
};

class BlockCache {
 public:
  static constexpr std::uint32_t kBlockBytes = 0x40000;
  static constexpr std::uint64_t kBlockMask = kBlockBytes - 1;

  struct Block {
    const BlockFiller* owner = nullptr;  // null: free
    std::uint64_t offset = 0;            // file offset, a multiple of kBlockBytes
    std::uint32_t valid = 0;             // bytes read, 0 when free
    std::byte* data = nullptr;
  };

  BlockCache() = default;
  BlockCache(const BlockCache&) = delete;
  BlockCache& operator=(const BlockCache&) = delete;

  // Replaces the blocks by `count` free ones (0 releases the memory). On
  // failure (2) the cache is left empty with no blocks.
  [[nodiscard]] Error Reset(std::uint32_t count);
  std::uint32_t block_count() const { return static_cast<std::uint32_t>(blocks_.size()); }
  // Blocks that hold data.
  std::uint32_t used_count() const;

  // The block of `owner` that holds file byte `offset`, moved to the front.
  // When there is none, the least recently used block is given to `owner`
  // at `offset` rounded down to kBlockBytes and filled with
  // min(data_end - block offset, kBlockBytes) bytes; a failed fill returns
  // its error and leaves that block free at the back. `offset` must lie
  // below `data_end`.
  [[nodiscard]] Error Get(BlockFiller& owner, std::uint64_t offset, std::uint64_t data_end, const Block** out);

  // Frees every block of `owner` and moves them to the back.
  void Drop(const BlockFiller* owner);

  // Checks the invariants: every block appears once in the order, a free
  // block holds nothing, an owned block is aligned, non-empty and no larger
  // than a block, and no two blocks hold the same stretch of one owner.
  // With `owners`, every owner must be one of them. False with a reason.
  bool Check(const std::vector<const BlockFiller*>* owners, std::string* why) const;

 private:
  void MoveToFront(std::size_t order_index);

  PageBuffer memory_;
  std::vector<Block> blocks_;
  std::vector<std::uint16_t> order_;  // block indices, most recently used first
};

// The process-wide cache. Each of these takes SourceMutex().

// Switches between the normal cache (8 blocks) and the mixdown cache (32
// blocks). Each switch empties the cache; when no cached source is open, the
// choice applies to the cache the next one creates. 2 when the memory for
// the new size cannot be had (the cache then keeps its old size, emptied).
[[nodiscard]] Error SetMixdownCache(bool on);

struct BlockCacheStats {
  std::uint32_t blocks = 0;  // 0 while no cached source is open
  std::uint32_t used = 0;
  std::uint32_t cached_sources = 0;
};
BlockCacheStats SharedBlockCacheStats();

// Checks the shared cache's invariants, including that every block belongs
// to an open cached source. False with a reason.
bool CheckSharedBlockCache(std::string* why);

namespace detail {
// With SourceMutex() held.
// Counts a new cached source; the first one creates the cache (2 on failure).
[[nodiscard]] Error AttachCachedSource(const BlockFiller* source);
// Gives back the source's blocks; the last one releases the cache.
void DetachCachedSource(const BlockFiller* source);
// The shared cache; only valid while a cached source is attached.
BlockCache& SharedBlockCache();
}  // namespace detail

}  // namespace tidemark
