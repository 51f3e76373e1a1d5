// Arbitrary bytes as a Vorbis comment block: parsing either fails cleanly or
// gives comments that build back into the same block prefix, and mapping
// them to a tag set and back never fails.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "formats/tags/vorbis_comments.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  VorbisComments comments;
  const Error rc = ParseVorbisCommentBlock(std::span<const std::uint8_t>(data, size), &comments);
  if (rc != 0) {
    if (!comments.vendor.empty() || !comments.comments.empty()) std::abort();  // no partial result
    return 0;
  }
  // Bytes after the last comment are ignored, so the rebuilt block is a prefix of the input.
  std::vector<std::uint8_t> block;
  if (BuildVorbisCommentBlock(comments, &block) != 0 || block.size() > size ||
      (!block.empty() && std::memcmp(block.data(), data, block.size()) != 0))
    std::abort();
  TagSet tags;
  if (VorbisCommentsToTags(comments, &tags) != 0) std::abort();
  std::vector<std::string> out;
  if (TagsToVorbisComments(tags, ReplayGainValues{}, &out) != 0) std::abort();
  return 0;
}
