#include "formats/file_metadata.h"

#include <algorithm>
#include <utility>

#include "formats/chunks/container.h"
#include "formats/file_kind_table.h"
#include "formats/file_markers.h"
#include "formats/tags/tags.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// The chunks that hold the markers of a kind, as a notice names them.
std::string MarkerStoreName(PcmFileKind kind) {
  const Container* container = DescribeFileKind(kind).container;
  return container && container->big_endian ? "MARK, COMT" : "cue, LIST adtl";
}

}  // namespace

Error ReadFileMetadata(const std::string& path, PcmFileKind kind, std::uint32_t length, FileMetadata* metadata) {
  *metadata = FileMetadata{};
  FileMetadata read;
  const Error rc = TryAlloc([&] {
    if (const Error markers_rc = ReadFileMarkers(path, kind, length, &read.markers))
      read.skipped.push_back({SkippedMetadata::Kind::kMarkers, MarkerStoreName(kind), markers_rc});
    std::vector<SkippedMetadata> tag_skips;
    if (const Error tags_rc = ReadTagsSkipping(path, kind, &read.tags, &tag_skips)) {
      if (tags_rc == err::kOutOfMemory) return tags_rc;
      tag_skips.push_back({SkippedMetadata::Kind::kTags, "file", tags_rc});
    }
    read.skipped.insert(read.skipped.end(), tag_skips.begin(), tag_skips.end());
    return err::kOk;
  });
  if (rc) return rc;
  *metadata = std::move(read);
  return err::kOk;
}

bool Skipped(const std::vector<SkippedMetadata>& skipped, SkippedMetadata::Kind kind) {
  return std::any_of(skipped.begin(), skipped.end(), [&](const SkippedMetadata& s) { return s.kind == kind; });
}

}  // namespace tidemark
