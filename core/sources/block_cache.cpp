#include "core/sources/internal/block_cache.h"

#include <algorithm>
#include <mutex>

#include "core/sources/source_list.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error BlockCache::Reset(std::uint32_t count) {
  blocks_.clear();
  order_.clear();
  memory_.Release();
  if (count == 0) return err::kOk;
  if (memory_.Allocate(std::size_t{count} * kBlockBytes) != err::kOk) return err::kOutOfMemory;
  blocks_.resize(count);
  order_.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    blocks_[i].data = memory_.data() + std::size_t{i} * kBlockBytes;
    order_[i] = static_cast<std::uint16_t>(i);
  }
  return err::kOk;
}

std::uint32_t BlockCache::used_count() const {
  return static_cast<std::uint32_t>(
      std::count_if(blocks_.begin(), blocks_.end(), [](const Block& b) { return b.owner != nullptr; }));
}

void BlockCache::MoveToFront(std::size_t order_index) {
  const std::uint16_t block = order_[order_index];
  std::copy_backward(order_.begin(), order_.begin() + static_cast<std::ptrdiff_t>(order_index),
                     order_.begin() + static_cast<std::ptrdiff_t>(order_index) + 1);
  order_[0] = block;
}

Error BlockCache::Get(BlockFiller& owner, std::uint64_t offset, std::uint64_t data_end, const Block** out) {
  *out = nullptr;
  if (blocks_.empty() || offset >= data_end) return err::kReadFailed;
  const std::uint64_t start = offset & ~kBlockMask;
  for (std::size_t i = 0; i < order_.size(); ++i) {
    const Block& b = blocks_[order_[i]];
    if (b.owner == &owner && b.offset == start) {
      MoveToFront(i);
      *out = &b;
      return err::kOk;
    }
  }
  // Take the least recently used block; it stays free until the fill succeeds.
  const std::size_t last = order_.size() - 1;
  Block& b = blocks_[order_[last]];
  b.owner = nullptr;
  b.offset = 0;
  b.valid = 0;
  const auto bytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(data_end - start, kBlockBytes));
  if (const Error rc = owner.FillBlock(start, b.data, bytes)) return rc;
  b.owner = &owner;
  b.offset = start;
  b.valid = bytes;
  MoveToFront(last);
  *out = &b;
  return err::kOk;
}

void BlockCache::Drop(const BlockFiller* owner) {
  // A stable partition keeps the relative order of the blocks that stay.
  std::stable_partition(order_.begin(), order_.end(),
                        [&](std::uint16_t i) { return blocks_[i].owner != owner; });
  for (Block& b : blocks_) {
    if (b.owner != owner) continue;
    b.owner = nullptr;
    b.offset = 0;
    b.valid = 0;
  }
}

bool BlockCache::Check(const std::vector<const BlockFiller*>* owners, std::string* why) const {
  auto fail = [&](const std::string& reason) {
    if (why) *why = reason;
    return false;
  };
  if (order_.size() != blocks_.size()) return fail("order and blocks differ in size");
  std::vector<bool> seen(blocks_.size(), false);
  for (const std::uint16_t i : order_) {
    if (i >= blocks_.size() || seen[i]) return fail("block " + std::to_string(i) + " listed twice or out of range");
    seen[i] = true;
  }
  for (std::size_t i = 0; i < blocks_.size(); ++i) {
    const Block& b = blocks_[i];
    const std::string name = "block " + std::to_string(i);
    if (b.data != memory_.data() + i * kBlockBytes) return fail(name + " lost its memory");
    if (!b.owner) {
      if (b.valid != 0 || b.offset != 0) return fail(name + " is free but holds data");
      continue;
    }
    if ((b.offset & kBlockMask) != 0) return fail(name + " is not aligned");
    if (b.valid == 0 || b.valid > kBlockBytes) return fail(name + " has a bad byte count");
    if (owners && std::find(owners->begin(), owners->end(), b.owner) == owners->end())
      return fail(name + " belongs to no open source");
    for (std::size_t j = i + 1; j < blocks_.size(); ++j)
      if (blocks_[j].owner == b.owner && blocks_[j].offset == b.offset)
        return fail(name + " and block " + std::to_string(j) + " hold the same stretch");
  }
  return true;
}

namespace {

constexpr std::uint32_t kNormalBlocks = 8;
constexpr std::uint32_t kMixdownBlocks = 32;

struct SharedCacheState {
  BlockCache cache;
  std::vector<const BlockFiller*> sources;  // the attached cached sources
  bool mixdown = false;
};

SharedCacheState& State() {
  static SharedCacheState state;
  return state;
}

std::uint32_t WantedBlocks() { return State().mixdown ? kMixdownBlocks : kNormalBlocks; }

}  // namespace

namespace detail {

Error AttachCachedSource(const BlockFiller* source) {
  SharedCacheState& s = State();
  if (s.sources.empty())
    if (const Error rc = s.cache.Reset(WantedBlocks())) return rc;
  s.sources.push_back(source);
  return err::kOk;
}

void DetachCachedSource(const BlockFiller* source) {
  SharedCacheState& s = State();
  const auto it = std::find(s.sources.begin(), s.sources.end(), source);
  if (it == s.sources.end()) return;
  s.cache.Drop(source);
  s.sources.erase(it);
  if (s.sources.empty()) (void)s.cache.Reset(0);
}

BlockCache& SharedBlockCache() { return State().cache; }

}  // namespace detail

Error SetMixdownCache(bool on) {
  const std::lock_guard<std::mutex> lock(SourceMutex());
  SharedCacheState& s = State();
  const bool was = s.mixdown;
  s.mixdown = on;
  if (s.sources.empty()) return err::kOk;
  if (s.cache.Reset(WantedBlocks()) == err::kOk) return err::kOk;
  // Keep the sources readable with the size that was there before.
  s.mixdown = was;
  if (s.cache.Reset(WantedBlocks()) == err::kOk) return err::kOutOfMemory;
  // Not even the old size: fall back to a single block so reads still work.
  (void)s.cache.Reset(1);
  return err::kOutOfMemory;
}

BlockCacheStats SharedBlockCacheStats() {
  const std::lock_guard<std::mutex> lock(SourceMutex());
  const SharedCacheState& s = State();
  return {s.cache.block_count(), s.cache.used_count(), static_cast<std::uint32_t>(s.sources.size())};
}

bool CheckSharedBlockCache(std::string* why) {
  const std::lock_guard<std::mutex> lock(SourceMutex());
  const SharedCacheState& s = State();
  if (s.sources.empty() != (s.cache.block_count() == 0)) {
    if (why) *why = "cache exists without cached sources, or the other way round";
    return false;
  }
  return s.cache.Check(&s.sources, why);
}

}  // namespace tidemark
