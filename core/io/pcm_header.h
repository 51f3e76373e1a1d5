// The header placed in front of the samples of a PCM file of each kind.
//
// Core writes the kinds of its own files without help: Temp and Wave (the
// WAV layout, core/io/wave_header.h) and Raw (no header). The formats layer
// installs the header formats of all kinds at start-up, one table for all;
// a kind without a format gives error 77.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/samples/sample_format.h"
#include "platform/error.h"

namespace tidemark {

// No header is larger than this.
inline constexpr std::uint32_t kMaxPcmHeaderBytes = 512;

struct PcmHeaderRequest {
  PcmFileKind kind = PcmFileKind::Temp;
  std::uint32_t rate = 44100;
  SampleCode code = sample_code::kS16;
  std::uint16_t channels = 2;
  std::uint32_t frames = 0;
  // The 80-byte WAV layout for widths above 2 bytes (CoreOptions::extensible_wav_header).
  bool extensible = false;
};

// The header of one file kind: the size of its header, and the builder that
// writes exactly that many bytes to `out` (at least kMaxPcmHeaderBytes long).
// Both return 0 or an error number.
struct PcmHeaderFormat {
  Error (*size)(const PcmHeaderRequest& request, std::uint32_t* bytes) = nullptr;
  Error (*build)(const PcmHeaderRequest& request, std::byte* out) = nullptr;
  // The samples are a chunk body: an odd count is followed by a pad byte (RIFF, IFF).
  bool padded = false;
};

// No header at all: Raw files.
extern const PcmHeaderFormat kHeaderlessFormat;

// The header format of every kind, indexed by PcmFileKind; null for a kind
// that cannot be written.
using PcmHeaderTable = std::array<const PcmHeaderFormat*, kPcmFileKindCount>;

// What core writes on its own, and what is in force until something else is
// installed: Temp and Wave as WAV, Raw without a header.
const PcmHeaderTable& CorePcmHeaderFormats();

// Puts `table` in force for every kind, replacing the table before it. Call
// at start-up, before any header is written; the formats are not copied and
// must outlive their use.
void InstallPcmHeaderFormats(const PcmHeaderTable& table);

// The format in force for `kind`; null for a kind without one or outside the table.
const PcmHeaderFormat* PcmHeaderFormatOf(PcmFileKind kind);

// The header size for the request (frames and rate do not matter). 77 for an
// unsupported sample code, no channels, a block of more than 65535 bytes or
// a kind without a format.
[[nodiscard]] Error PcmHeaderSize(const PcmHeaderRequest& request, std::uint32_t* bytes);

// Builds the header into `out` (at least kMaxPcmHeaderBytes long) and gives
// its size. Errors as PcmHeaderSize.
[[nodiscard]] Error BuildPcmHeader(const PcmHeaderRequest& request, std::byte* out, std::uint32_t* bytes);

// Where a file of `kind` holding `total` bytes of header and samples ends:
// `total`, rounded up to even for a padded kind.
std::uint64_t PcmFileEnd(PcmFileKind kind, std::uint64_t total);

}  // namespace tidemark
