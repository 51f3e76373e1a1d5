// Sample codes, file kinds and the shared format record.
#pragma once

#include <cstdint>

namespace tidemark {

// A 16-bit sample code packs width, number kind and byte order:
//   0x000F bytes per sample (1, 2, 3, 4 or 8)
//   0x1000 unsigned offset-binary (1 byte only)
//   0x2000 big-endian (never with 1 byte)
//   0x4000 IEEE float (4 bytes single, 8 bytes double)
using SampleCode = std::uint16_t;

namespace sample_code {
inline constexpr SampleCode kS8 = 0x0001;
inline constexpr SampleCode kU8 = 0x1001;
inline constexpr SampleCode kS16 = 0x0002;
inline constexpr SampleCode kS24 = 0x0003;
inline constexpr SampleCode kS32 = 0x0004;
inline constexpr SampleCode kS16BE = 0x2002;
inline constexpr SampleCode kS24BE = 0x2003;
inline constexpr SampleCode kS32BE = 0x2004;
inline constexpr SampleCode kFloat = 0x4004;
inline constexpr SampleCode kDouble = 0x4008;
inline constexpr SampleCode kFloatBE = 0x6004;
inline constexpr SampleCode kDoubleBE = 0x6008;

inline constexpr SampleCode kSizeMask = 0x000F;
inline constexpr SampleCode kUnsignedBit = 0x1000;
inline constexpr SampleCode kBigEndianBit = 0x2000;
inline constexpr SampleCode kFloatBit = 0x4000;

// The twelve supported codes, in the order of the converter's tables.
inline constexpr SampleCode kAll[12] = {kS8,   kU8,   kS16,   kS24,  kS32,     kS16BE,
                                        kS24BE, kS32BE, kFloat, kDouble, kFloatBE, kDoubleBE};
}  // namespace sample_code

// Index of a code in sample_code::kAll, or -1 when the code is not supported.
constexpr int SampleCodeIndex(SampleCode code) {
  for (int i = 0; i < 12; ++i)
    if (sample_code::kAll[i] == code) return i;
  return -1;
}
constexpr bool IsSupportedSampleCode(SampleCode code) { return SampleCodeIndex(code) >= 0; }
constexpr unsigned BytesPerSample(SampleCode code) { return code & sample_code::kSizeMask; }
// What the outside sees as bits per sample: float reports 32, double 64.
constexpr unsigned BitsPerSample(SampleCode code) { return BytesPerSample(code) * 8; }
constexpr bool IsFloatCode(SampleCode code) { return (code & sample_code::kFloatBit) != 0; }
constexpr bool IsBigEndianCode(SampleCode code) { return (code & sample_code::kBigEndianBit) != 0; }
constexpr bool IsUnsignedCode(SampleCode code) { return (code & sample_code::kUnsignedBit) != 0; }

// Which file layout a run of samples belongs to.
enum class PcmFileKind : std::uint16_t {
  Temp = 0,  // the program's own working files, stored as Wave
  Wave = 1,
  AIFF = 2,
  AIFC = 3,
  AU = 4,
  Raw = 5,
};
inline constexpr std::uint16_t kPcmFileKindCount = 6;

inline constexpr std::uint32_t kMinSampleRate = 4000;
inline constexpr std::uint32_t kMaxSampleRate = 384000;
// A sound's length in frames never exceeds this.
inline constexpr std::uint32_t kMaxFrames = 0xFFFF0000u;

constexpr bool IsValidSampleRate(std::uint32_t rate) {
  return rate >= kMinSampleRate && rate <= kMaxSampleRate;
}

// The shared format record; a whole sound carries its length in frames beside it.
struct PcmFormat {
  PcmFileKind kind = PcmFileKind::Temp;
  std::uint32_t rate = 44100;
  std::uint16_t channels = 2;
  SampleCode code = sample_code::kS16;

  constexpr unsigned FrameBytes() const { return channels * BytesPerSample(code); }
  friend constexpr bool operator==(const PcmFormat&, const PcmFormat&) = default;
};

}  // namespace tidemark
