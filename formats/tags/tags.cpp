#include "formats/tags/tags.h"

#include "core/core_options.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/file_kind_table.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;

Error Public(Error rc) { return rc == err::kMalformed ? err::kLayoutMismatch : rc; }

}  // namespace

TagSet StampedTags(const TagSet& tags) {
  TagSet out = tags;
  if (GetCoreOptions().software_name_stamp) SetTagText(out, InfoText::Software, kSoftwareStamp);
  return out;
}

Error ReadTags(const std::string& path, PcmFileKind kind, TagSet* tags) {
  *tags = TagSet{};
  const FileKindDescription& d = DescribeFileKind(kind);
  if (!d.read_tags) return err::kOk;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
  if (length > kLargestFile) return err::kLayoutMismatch;
  FileInput input(file);
  return Public(d.read_tags(input, length, tags));
}

Error WriteTags(const std::string& path, PcmFileKind kind, const TagSet& tags) {
  const FileKindDescription& d = DescribeFileKind(kind);
  if (!d.write_tags) return err::kOk;
  return TryAlloc([&] {
    const TagSet stamped = StampedTags(tags);
    if (d.nothing_to_write(stamped)) return err::kOk;
    PosixFile file;
    std::uint64_t length = 0;
    if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
    const Error rc = d.write_tags(file, length, stamped);
    const Error close_rc = file.Close();
    return rc ? Public(rc) : (close_rc ? err::kWriteFailed : err::kOk);
  });
}

Error ReplaceTags(const std::string& path, PcmFileKind kind, const TagSet& tags) {
  if (const Error rc = StripMetadata(path, kind)) return rc;
  return WriteTags(path, kind, tags);
}

}  // namespace tidemark
