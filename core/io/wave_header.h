// The WAV header in front of the samples of Temp and Wave files: 44 bytes
// canonical, 58 for floats (with "fact"), 80 in the extensible layout; and
// the format-block values the WAV readers share with it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/io/pcm_header.h"

namespace tidemark {

namespace wav {

inline constexpr std::uint16_t kTagPcm = 1;
inline constexpr std::uint16_t kTagFloat = 3;
inline constexpr std::uint16_t kTagExtensible = 0xFFFE;

// Body sizes of the three format blocks the system accepts.
inline constexpr std::uint32_t kPlainFormatBytes = 16;
inline constexpr std::uint32_t kFloatFormatBytes = 18;
inline constexpr std::uint32_t kExtensibleFormatBytes = 40;
// Offset of the sub-format GUID inside an extensible format body.
inline constexpr std::uint32_t kSubFormatOffset = 24;

// KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT in their stored byte layout.
inline constexpr std::uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
inline constexpr std::uint8_t kFloatSubFormat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                     0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace wav

// The WAV header size for the request: 80 for the extensible layout
// (asked for, and wider than 2 bytes), else 58 for floats and 44 for integers.
Error WaveHeaderSize(const PcmHeaderRequest& request, std::uint32_t* bytes);

// Writes the WAV header of that size. The RIFF size counts the pad byte of
// odd data; the "data" size does not.
Error BuildWaveHeader(const PcmHeaderRequest& request, std::byte* out);

inline constexpr PcmHeaderFormat kWaveHeaderFormat{WaveHeaderSize, BuildWaveHeader, true};

}  // namespace tidemark
