#include "formats/tags/internal/chunk_text.h"

#include <algorithm>
#include <cstring>

#include "platform/code_page.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::size_t kTextReadPiece = 4096;

}  // namespace

Error ReadChunkText(RandomAccessInput& input, const ChunkEntry& chunk, std::string* text) {
  text->clear();
  std::uint64_t at = std::uint64_t{chunk.offset} + 8;
  std::uint64_t left = chunk.size;
  char piece[kTextReadPiece];
  while (left > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof piece));
    if (const Error rc = input.ReadExact(piece, n, at)) return rc;
    if (const void* zero = std::memchr(piece, 0, n)) {
      text->append(piece, static_cast<std::size_t>(static_cast<const char*>(zero) - piece));
      break;
    }
    text->append(piece, n);
    at += n;
    left -= n;
  }
  return err::kOk;
}

std::string StoredNarrowText(std::string_view utf8) {
  std::string narrow = Utf8ToNarrow(utf8.substr(0, utf8.find('\0')));
  if (const std::size_t zero = narrow.find('\0'); zero != std::string::npos) narrow.resize(zero);
  return narrow;
}

}  // namespace tidemark
