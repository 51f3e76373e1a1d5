#include "formats/chunks/internal/random_access_input.h"

#include <algorithm>
#include <cstring>

#include "platform/error_numbers.h"

namespace tidemark {

Error RandomAccessInput::ReadExact(void* buffer, std::size_t n, std::uint64_t offset) {
  std::size_t done = 0;
  if (ReadAt(buffer, n, offset, &done) != err::kOk || done != n) return err::kReadFailed;
  return err::kOk;
}

Error FileInput::ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) {
  return file_.ReadAt(buffer, n, offset, done) == err::kOk ? err::kOk : err::kReadFailed;
}

Error MemoryInput::ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) {
  *done = 0;
  if (offset >= bytes_.size()) return err::kOk;
  const std::size_t count = std::min<std::uint64_t>(n, bytes_.size() - offset);
  if (count) std::memcpy(buffer, bytes_.data() + offset, count);
  *done = count;
  return err::kOk;
}

Error WindowedReader::ReadExact(void* out, std::size_t n, std::uint64_t offset) {
  if (n > kWindowBytes) return input_.ReadExact(out, n, offset);
  if (offset < window_at_ || offset + n > window_at_ + window_bytes_) {
    const std::uint64_t left = end_ > offset ? end_ - offset : 0;
    const std::size_t wanted =
        static_cast<std::size_t>(std::max<std::uint64_t>(n, std::min<std::uint64_t>(kWindowBytes, left)));
    // Only as large as the bytes left: a walk over a tiny "LIST" costs
    // a few bytes, not a whole window.
    if (window_.size() < wanted) window_.resize(wanted);
    window_at_ = offset;
    window_bytes_ = 0;
    std::size_t done = 0;
    if (input_.ReadAt(window_.data(), wanted, offset, &done) != err::kOk) return err::kReadFailed;
    window_bytes_ = done;
    if (done < n) return err::kReadFailed;
  }
  if (n) std::memcpy(out, window_.data() + (offset - window_at_), n);
  return err::kOk;
}

Error PatchedInput::ReadAt(void* buffer, std::size_t n, std::uint64_t offset, std::size_t* done) {
  *done = 0;
  if (offset >= length_) return err::kOk;
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(n, length_ - offset));
  if (const Error rc = inner_.ReadAt(buffer, wanted, offset, done)) return rc;
  const std::uint64_t end = offset + *done;
  auto* out = static_cast<std::uint8_t*>(buffer);
  // The first patch that ends after `offset`, then every one that starts before `end`.
  auto p = std::partition_point(patches_.begin(), patches_.end(),
                                [&](const Patch& patch) { return patch.offset + sizeof patch.bytes <= offset; });
  for (; p != patches_.end() && p->offset < end; ++p)
    for (std::size_t i = 0; i < sizeof p->bytes; ++i)
      if (p->offset + i >= offset && p->offset + i < end) out[p->offset + i - offset] = p->bytes[i];
  return err::kOk;
}

}  // namespace tidemark
