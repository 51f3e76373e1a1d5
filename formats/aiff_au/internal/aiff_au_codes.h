// What the AIFF, AIFC and AU headers store for a sample layout: the AIFC
// compression types and the AU encodings, shared by the header builders,
// the probes and the header sniff.
#pragma once

#include <cstdint>

#include "core/samples/sample_format.h"
#include "formats/chunks/byte_order.h"

namespace tidemark {

// AIFC compression types: big-endian integers ("NONE"), little-endian
// integers ("sowt"), big-endian floats of 32 and 64 bits.
inline constexpr std::uint32_t kAifcNone = FourCc("NONE");
inline constexpr std::uint32_t kAifcSowt = FourCc("sowt");
inline constexpr std::uint32_t kAifcFloat32 = FourCc("fl32");
inline constexpr std::uint32_t kAifcFloat64 = FourCc("fl64");
// libsndfile writes the float types in upper case. Only these two are read
// in either case; "NONE" and "sowt" are matched exactly.
inline constexpr std::uint32_t kAifcFloat32Upper = FourCc("FL32");
inline constexpr std::uint32_t kAifcFloat64Upper = FourCc("FL64");

// Whether `type` is one of the floating-point compression types.
constexpr bool IsAifcFloatType(std::uint32_t type) {
  return type == kAifcFloat32 || type == kAifcFloat64 || type == kAifcFloat32Upper || type == kAifcFloat64Upper;
}

// The AU encodings the program reads and writes, and the samples each holds.
struct AuEncoding {
  std::uint32_t number = 0;
  SampleCode code = 0;
};
inline constexpr AuEncoding kAuEncodings[] = {
    {2, sample_code::kS8},    {3, sample_code::kS16BE},   {4, sample_code::kS24BE},
    {5, sample_code::kS32BE}, {6, sample_code::kFloatBE}, {7, sample_code::kDoubleBE},
};

// The sample code of encoding `number`; 0 for an encoding not in the table.
constexpr SampleCode AuEncodingCode(std::uint32_t number) {
  for (const AuEncoding& e : kAuEncodings)
    if (e.number == number) return e.code;
  return 0;
}

// The encoding of samples as wide as `code` and of its number kind (the
// byte order is the file's business); 0 when there is none.
constexpr std::uint32_t AuEncodingFor(SampleCode code) {
  for (const AuEncoding& e : kAuEncodings)
    if (BytesPerSample(e.code) == BytesPerSample(code) && IsFloatCode(e.code) == IsFloatCode(code)) return e.number;
  return 0;
}

}  // namespace tidemark
