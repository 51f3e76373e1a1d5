#include "platform/page_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <utility>

#include "platform/error_numbers.h"
#include "platform/system_info.h"

namespace tidemark {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

PageBuffer::~PageBuffer() { Release(); }

Error PageBuffer::Allocate(std::size_t bytes) {
  Release();
  if (bytes == 0) return err::kOk;
  const std::size_t page = PageSize();
  if (bytes > SIZE_MAX - (page - 1)) return err::kOutOfMemory;
  const std::size_t rounded = (bytes + page - 1) / page * page;
  // Anonymous mappings are page-aligned and arrive zero-filled. A block of
  // whole huge pages starts on a huge-page boundary, so that the kernel can
  // back it with huge pages: one fault each instead of 512.
  const std::size_t slack = rounded >= kHugePage && rounded % kHugePage == 0 ? kHugePage : 0;
  if (rounded > SIZE_MAX - slack) return err::kOutOfMemory;
  void* p = mmap(nullptr, rounded + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return err::kOutOfMemory;
  auto* base = static_cast<std::byte*>(p);
  if (slack != 0) {
    const std::size_t head = (kHugePage - reinterpret_cast<std::uintptr_t>(base) % kHugePage) % kHugePage;
    if (head != 0) munmap(base, head);
    if (slack - head != 0) munmap(base + head + rounded, slack - head);
    base += head;
    madvise(base, rounded, MADV_HUGEPAGE);
  }
  data_ = base;
  size_ = rounded;
  return err::kOk;
}

void PageBuffer::Release() {
  if (data_) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace tidemark
