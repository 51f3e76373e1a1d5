#include "codecs/internal/av_tags.h"

#include <optional>

#include "formats/tags/vorbis_comments.h"
#include "platform/ascii_case.h"

namespace tidemark::codec_detail {
namespace {

struct KeyPair {
  std::string_view av;
  std::string_view vorbis;
};
// Keys whose names differ; every other key maps to its upper-case self.
constexpr KeyPair kRenamed[] = {{"track", "TRACKNUMBER"}, {"comment", "DESCRIPTION"}};

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace

TagSet TagsFromAvEntries(const std::vector<std::pair<std::string, std::string>>& entries) {
  VorbisComments comments;
  comments.comments.reserve(entries.size());
  for (const auto& [key, value] : entries) {
    if (EqualsIgnoreAsciiCase(key, "encoder")) {
      comments.vendor = value;
      continue;
    }
    // One string per entry: files may hold very many.
    std::string text;
    for (const KeyPair& pair : kRenamed)
      if (EqualsIgnoreAsciiCase(key, pair.av)) text = pair.vorbis;
    if (text.empty()) text = Upper(key);
    text.reserve(text.size() + 1 + value.size());
    text += '=';
    text += value;
    comments.comments.push_back(std::move(text));
  }
  TagSet tags;
  // Tags that cannot be taken leave the samples openable.
  (void)VorbisCommentsToTags(comments, &tags);
  return tags;
}

Error AvEntriesFromTags(const TagSet& tags, std::vector<std::pair<std::string, std::string>>* entries) {
  std::vector<std::string> texts;
  if (const Error rc = TagsToVorbisComments(tags, std::nullopt, &texts)) return rc;
  entries->clear();
  for (const std::string& text : texts) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) continue;
    const std::string vorbis = Upper(std::string_view(text).substr(0, eq));
    std::string key = AsciiLower(vorbis);
    for (const KeyPair& pair : kRenamed)
      if (pair.vorbis == vorbis) key = std::string(pair.av);
    entries->emplace_back(std::move(key), text.substr(eq + 1));
  }
  return Error{};
}

}  // namespace tidemark::codec_detail
