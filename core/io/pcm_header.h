// The header placed in front of the samples of a PCM file of each kind.
//
// Temp and Wave headers (44-byte canonical, 58-byte float with "fact",
// 80-byte extensible) and the empty Raw header are built here. The AIFF,
// AIFC and AU builders live with their formats, which register them at
// start-up; a kind without a builder gives error 77.
#pragma once

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

// A registered header kind: the size of its header, and the builder that
// writes exactly that many bytes to `out` (at least kMaxPcmHeaderBytes long).
// Both return 0 or an error number.
struct PcmHeaderFormat {
  Error (*size)(const PcmHeaderRequest& request, std::uint32_t* bytes) = nullptr;
  Error (*build)(const PcmHeaderRequest& request, std::byte* out) = nullptr;
};

// Installs the builder of `kind` (AIFF, AIFC or AU), replacing any earlier
// one; a format with null members removes it. Temp, Wave and Raw are built
// in and cannot be replaced. Call at start-up, before any header is written.
void RegisterPcmHeaderFormat(PcmFileKind kind, const PcmHeaderFormat& format);

// The header size for the request (frames and rate do not matter). 77 for an
// unsupported sample code, no channels, a block of more than 65535 bytes or
// a kind without a builder.
[[nodiscard]] Error PcmHeaderSize(const PcmHeaderRequest& request, std::uint32_t* bytes);

// Builds the header into `out` (at least kMaxPcmHeaderBytes long) and gives
// its size. Errors as PcmHeaderSize.
[[nodiscard]] Error BuildPcmHeader(const PcmHeaderRequest& request, std::byte* out, std::uint32_t* bytes);

}  // namespace tidemark
