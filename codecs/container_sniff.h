// Telling compressed containers apart from their first bytes, before any
// codec library is loaded: the rows of the dispatch ask it whether a file
// is theirs, so that a file of another format answers 14 without the
// library (and a missing library is reported only for files it would read).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tidemark {

enum class Container {
  kUnknown,
  kFlac,        // "fLaC" (after any ID3v2 tags)
  kOggFlac,     // Ogg, first packet "\x7FFLAC"
  kOggVorbis,   // Ogg, first packet "\x01vorbis"
  kOggOpus,     // Ogg, first packet "OpusHead"
  kOggOther,
  kMp3,         // ID3v2 tags, or an MPEG audio frame sync at the start
};

// The size of the ID3v2 tags at the start of `bytes` (header, body and any
// footer), 0 when none start there. The size is what the header states; it
// may pass the end of `bytes`.
std::uint64_t Id3v2TagSize(std::span<const std::uint8_t> bytes);

// The container of a file starting with `bytes` (a few hundred bytes are
// enough; fewer give kUnknown rather than a guess).
Container SniffContainer(std::span<const std::uint8_t> bytes);

// The number of bytes SniffContainer wants from the start of a file.
inline constexpr std::size_t kSniffBytes = 512;

}  // namespace tidemark
