#include "formats/tags/internal/au_annotation.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/chunks/byte_order.h"
#include "formats/tags/internal/chunk_text.h"
#include "formats/chunks/file_io.h"
#include "formats/tags/internal/narrow_cut.h"
#include "platform/alloc.h"
#include "platform/ascii_case.h"
#include "platform/code_page.h"
#include "platform/error_numbers.h"
#include "platform/narrow_codeset.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

constexpr std::size_t kHeadBytes = 1023;
constexpr std::size_t kAnnotationStart = 24;
constexpr std::size_t kWrittenHeader = 128;
constexpr std::size_t kMaxLines = 128;
constexpr std::string_view kCopyrightKey = "COPYRIGHT=";
constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;

bool IsAuMagic(const std::uint8_t* p) { return std::memcmp(p, ".snd", 4) == 0; }

// The Copyright line's rest, or empty when the annotation gives none.
std::string_view CopyrightOf(std::string_view annotation) {
  std::string_view found;
  bool have = false;
  std::size_t at = 0;
  for (std::size_t line_no = 0; line_no < kMaxLines && at <= annotation.size(); ++line_no) {
    std::size_t end = annotation.find('\n', at);
    if (end == std::string_view::npos) end = annotation.size();
    const std::string_view line = annotation.substr(at, end - at);
    for (const char c : line)
      if (static_cast<unsigned char>(c) < 32) return {};
    if (!have && line.size() > kCopyrightKey.size() &&
        EqualsIgnoreAsciiCase(line.substr(0, kCopyrightKey.size()), kCopyrightKey)) {
      found = line.substr(kCopyrightKey.size());
      have = true;
    }
    at = end + 1;
  }
  return found;
}

}  // namespace

Error ReadAuAnnotation(RandomAccessInput& input, std::uint64_t length, TagSet* tags) {
  *tags = TagSet{};
  if (length < kAnnotationStart || length > kLargestFile) return err::kMalformed;
  return TryAlloc([&] {
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(length, kHeadBytes)));
    if (const Error rc = input.ReadExact(head.data(), head.size(), 0)) return rc;
    if (!IsAuMagic(head.data())) return err::kMalformed;
    const std::size_t end = std::min<std::size_t>(LoadBe32(&head[4]), head.size());
    if (end <= kAnnotationStart) return err::kOk;
    std::string_view annotation(reinterpret_cast<const char*>(&head[kAnnotationStart]), end - kAnnotationStart);
    annotation = annotation.substr(0, annotation.find('\0'));  // the annotation is a zero-terminated text
    const std::string_view copyright = CopyrightOf(annotation);
    if (!copyright.empty()) SetTagText(*tags, InfoText::Copyright, NarrowToUtf8(copyright));
    return err::kOk;
  }, [&] { *tags = TagSet{}; });
}

Error WriteAuAnnotation(PosixFile& file, std::uint64_t length, const TagSet& tags) {
  const std::string_view copyright = TagText(tags, InfoText::Copyright);
  if (copyright.empty()) return err::kOk;
  if (length < kWrittenHeader || length > kLargestFile) return err::kMalformed;
  return TryAlloc([&] {
    std::uint8_t head[kWrittenHeader];
    FileInput input(file);
    if (const Error rc = input.ReadExact(head, sizeof head, 0)) return rc;
    if (!IsAuMagic(head) || LoadBe32(head + 4) < kWrittenHeader) return err::kMalformed;
    const std::string text =
        NarrowPrefix(copyright.substr(0, copyright.find('\0')), kAuCopyrightBytes, NarrowCodeset());
    std::memset(head + kAnnotationStart, 0, kWrittenHeader - kAnnotationStart);
    std::memcpy(head + kAnnotationStart, kCopyrightKey.data(), kCopyrightKey.size());
    std::memcpy(head + kAnnotationStart + kCopyrightKey.size(), text.data(), text.size());
    return WriteExact(file, head, sizeof head, 0);
  });
}

}  // namespace tidemark
