#include "formats/tags/tags.h"

#include <new>

#include "core/core_options.h"
#include "formats/tags/internal/aiff_text.h"
#include "formats/tags/internal/au_annotation.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/tags/internal/wav_info.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;

enum class TagStore { kNone, kInfoList, kTextChunks, kAnnotation };

TagStore StoreFor(PcmFileKind kind) {
  switch (kind) {
    case PcmFileKind::Temp:
    case PcmFileKind::Wave:
      return TagStore::kInfoList;
    case PcmFileKind::AIFF:
    case PcmFileKind::AIFC:
      return TagStore::kTextChunks;
    case PcmFileKind::AU:
      return TagStore::kAnnotation;
    default:
      return TagStore::kNone;
  }
}

Error Public(Error rc) { return rc == err::kMalformed ? err::kLayoutMismatch : rc; }

// Whether the stamped set gives the file of `store` anything to hold.
bool HasAnythingToWrite(TagStore store, const TagSet& stamped) {
  if (store == TagStore::kAnnotation) return !TagText(stamped, InfoText::Copyright).empty();
  return !IsTagSetEmpty(stamped);
}

}  // namespace

TagSet StampedTags(const TagSet& tags) {
  TagSet out = tags;
  if (GetCoreOptions().software_name_stamp) SetTagText(out, InfoText::Software, kSoftwareStamp);
  return out;
}

Error ReadTags(const std::string& path, PcmFileKind kind, TagSet* tags) {
  *tags = TagSet{};
  const TagStore store = StoreFor(kind);
  if (store == TagStore::kNone) return err::kOk;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
  if (length > kLargestFile) return err::kLayoutMismatch;
  FileInput input(file);
  switch (store) {
    case TagStore::kInfoList:
      return Public(ReadInfoList(input, length, tags));
    case TagStore::kTextChunks:
      return Public(ReadAiffTexts(input, length, tags));
    default:
      return Public(ReadAuAnnotation(input, length, tags));
  }
}

Error WriteTags(const std::string& path, PcmFileKind kind, const TagSet& tags) {
  const TagStore store = StoreFor(kind);
  if (store == TagStore::kNone) return err::kOk;
  try {
    const TagSet stamped = StampedTags(tags);
    if (!HasAnythingToWrite(store, stamped)) return err::kOk;
    PosixFile file;
    std::uint64_t length = 0;
    if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
    Error rc = err::kOk;
    switch (store) {
      case TagStore::kInfoList:
        rc = AppendInfoList(file, length, stamped);
        break;
      case TagStore::kTextChunks:
        rc = AppendAiffTexts(file, length, stamped);
        break;
      default:
        rc = WriteAuAnnotation(file, length, stamped);
        break;
    }
    const Error close_rc = file.Close();
    return rc ? Public(rc) : (close_rc ? err::kWriteFailed : err::kOk);
  } catch (const std::bad_alloc&) {
    return err::kOutOfMemory;
  }
}

Error ReplaceTags(const std::string& path, PcmFileKind kind, const TagSet& tags) {
  if (const Error rc = StripMetadata(path, kind)) return rc;
  return WriteTags(path, kind, tags);
}

}  // namespace tidemark
