// The ID3 record: what the ID3v2 and ID3v1 builders write, taken from a
// document's tag set.
#pragma once

#include <cstdint>
#include <string>

#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark {

struct Id3Fields {
  // UTF-8 texts; empty means absent.
  std::string title;
  std::string artist;
  std::string album;
  std::string comment;
  std::string copyright;
  std::uint16_t year = 0;   // 0: none
  std::int16_t genre = -1;  // index into the ID3v1 genre list; -1: none
  std::uint16_t track = 0;  // 0: none
  std::string isrc;         // written only when it has exactly 12 characters
  std::string web_url;
};

// The record of a tag set: title from Name, artist from Artist, copyright
// from Copyright, comment from Comments; the year is the number that
// CreationDate starts with ("2024-05-01" gives 2024; 0 when it does not
// start with a digit or passes 65535); the genre is the index of Genre in
// the genre list, ASCII case ignored; track (the number its TNO value
// starts with, as the year), ISRC, album and web address come from the
// AppPrivate entries TNO, ISRC, ALBUM and WEBURL. 2 when memory runs out
// (`*fields` is then the empty record).
[[nodiscard]] Error Id3FieldsFromTags(const TagSet& tags, Id3Fields* fields);

}  // namespace tidemark
