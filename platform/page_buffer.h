// A zero-filled, page-aligned memory block (the program's large work buffers,
// allocated once per run).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/error.h"

namespace tidemark {

class PageBuffer {
 public:
  PageBuffer() = default;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  PageBuffer(PageBuffer&& other) noexcept;
  PageBuffer& operator=(PageBuffer&& other) noexcept;
  ~PageBuffer();

  // Replaces the block with a new zero-filled one of at least `bytes` bytes
  // (rounded up to whole pages). Returns err::kOutOfMemory when the memory is
  // not available, leaving the buffer empty. Zero bytes just releases.
  [[nodiscard]] Error Allocate(std::size_t bytes);
  void Release();

  std::byte* data() { return data_; }
  const std::byte* data() const { return data_; }
  // The usable size: the requested size rounded up to whole pages.
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  std::byte* data_ = nullptr;  // owned mapping of size_ bytes
  std::size_t size_ = 0;
};

}  // namespace tidemark
