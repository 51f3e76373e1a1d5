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

}  // namespace tidemark
