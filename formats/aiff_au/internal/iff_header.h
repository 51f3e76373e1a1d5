// The headers in front of the samples of AIFF, AIFC and AU files. The
// builders describe the sample code exactly as given, which is the code the
// file stores (StoredSampleFormat); they do not convert anything.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/io/pcm_header.h"
#include "core/samples/sample_format.h"

namespace tidemark {

inline constexpr std::uint32_t kAiffHeaderBytes = 54;
inline constexpr std::uint32_t kAifcIntegerHeaderBytes = 86;
inline constexpr std::uint32_t kAifcFloatHeaderBytes = 92;
inline constexpr std::uint32_t kAuHeaderBytes = 128;

// The AIFC version 1 timestamp every "FVER" chunk holds.
inline constexpr std::uint32_t kAifcVersion1 = 0xA2805140u;

// Whether `code` needs the AIFC layout: little-endian integers of 2 bytes or
// more ("sowt") and floats ("fl32", "fl64"). 8-bit and big-endian integer
// data fit plain AIFF.
bool NeedsAifc(SampleCode code);

// The header size for `code`: 54 for plain AIFF (unless `force_aifc`), 86
// for AIFC integers, 92 for AIFC floats.
std::uint32_t IffHeaderSize(SampleCode code, bool force_aifc);

// Writes the FORM header of a file of `frames` frames: "FORM", "COMM" (and
// "FVER" for AIFC) and the "SSND" header with offset and block size 0, so
// the samples follow directly. `out` holds IffHeaderSize bytes or more;
// returns that size. The caller makes sure header + samples fit 32 bits.
std::uint32_t BuildIffHeader(std::uint8_t* out, std::uint32_t rate, SampleCode code, std::uint16_t channels,
                             std::uint32_t frames, bool force_aifc);

// Writes the 128-byte AU header: data offset 128, data size, encoding (width
// + 1 for integers, 6 for float, 7 for double), rate, channels and a
// zero-filled annotation. Returns 128.
std::uint32_t BuildAuHeader(std::uint8_t* out, std::uint32_t rate, SampleCode code, std::uint16_t channels,
                            std::uint32_t frames);

// The three as core writes them: AIFF (with the AIFC layout for codes plain
// AIFF cannot hold), AIFC (always that layout) and AU.
extern const PcmHeaderFormat kAiffHeaderFormat;
extern const PcmHeaderFormat kAifcHeaderFormat;
extern const PcmHeaderFormat kAuHeaderFormat;

}  // namespace tidemark
