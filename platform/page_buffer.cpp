#include "platform/page_buffer.h"

#include <sys/mman.h>

#include <utility>

#include "platform/error_numbers.h"
#include "platform/system_info.h"

namespace tidemark {

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
  // Anonymous mappings are page-aligned and arrive zero-filled.
  void* p = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return err::kOutOfMemory;
  data_ = static_cast<std::byte*>(p);
  size_ = rounded;
  return err::kOk;
}

void PageBuffer::Release() {
  if (data_) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace tidemark
