// Reading ID3v2.3 and ID3v2.4 tags (in front of MP3 data, in the metadata
// block of DSF files): the header, unsynchronisation, the extended header
// and the frame list, down to each frame's plain body.
//
// Unsynchronisation: version 3 unsynchronises the whole tag after its
// header, so it is undone over the whole tag before anything is parsed.
// Version 4 unsynchronises frame by frame, and its frame sizes count the
// stored bytes: the undo runs on each frame body that carries format flag
// 0x02, and on every frame body when the header carries flag 0x80 (which in
// version 4 says that all frames are unsynchronised) - never both on the
// same frame, and never over the whole tag.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/chunks/internal/random_access_input.h"
#include "platform/error.h"

namespace tidemark {

struct Id3v2Frame {
  std::array<char, 4> id{};
  // The frame's content: unsynchronisation undone, a version 4 data-length
  // indicator removed.
  std::vector<std::uint8_t> body;

  std::string_view Id() const { return {id.data(), id.size()}; }
};

struct Id3v2Tag {
  std::uint8_t version = 0;  // 3 or 4; 0 when no tag was found
  // Bytes the tag takes in the input: header, body and (version 4 flag 0x10)
  // footer.
  std::uint64_t size = 0;
  // In tag order. Compressed, encrypted and grouped frames are left out.
  std::vector<Id3v2Frame> frames;

  bool found() const { return version != 0; }
  // The first frame with `id`, or null.
  const Id3v2Frame* Find(std::string_view id) const;
};

// Undoes unsynchronisation: every zero byte that follows a 0xFF is dropped.
std::vector<std::uint8_t> RemoveUnsynchronisation(std::span<const std::uint8_t> bytes);

// Parses the tag at the start of `bytes`. No tag (`tag` left empty, 0) unless
// the bytes begin with "ID3", major version 3 or 4, revision 0, flags without
// the experimental bit 0x20, and a sync-safe size whose tag (size + 10)
// fits in `bytes`. The frame list ends at padding, at an id that is not four
// capital letters and digits, and at damage (a frame or an extended header
// that passes the end of the tag); the frames before that are kept. 2 when
// memory runs out (`tag` left empty).
[[nodiscard]] Error ParseId3v2Tag(std::span<const std::uint8_t> bytes, Id3v2Tag* tag);

// The same for the tag at `offset` of `input`, which holds `length` bytes.
// 8 when the input cannot be read, 2.
[[nodiscard]] Error ReadId3v2Tag(RandomAccessInput& input, std::uint64_t length, std::uint64_t offset, Id3v2Tag* tag);

// The same for the start of the file at `path`: 25 when it cannot be
// opened, 8, 2.
[[nodiscard]] Error ReadId3v2TagFile(const std::string& path, Id3v2Tag* tag);

}  // namespace tidemark
