// A deliberately plain, sample-at-a-time model of the sample conversion rules,
// used as the oracle for the converter tests. It favours obviousness over
// speed: every sample is brought to a canonical little-endian signed form,
// converted by the rule for its pair of representations, and encoded again.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/samples/sample_format.h"

namespace tidemark::reftest {

// Floor division by a power of two, written without relying on shifts of
// negative numbers.
inline std::int64_t FloorDivPow2(std::int64_t v, int shift) {
  const std::int64_t d = std::int64_t{1} << shift;
  std::int64_t q = v / d;
  if ((v % d) != 0 && v < 0) --q;
  return q;
}

inline std::int64_t SignExtendLe(const std::uint8_t* le, unsigned bytes) {
  std::uint64_t u = 0;
  for (unsigned i = 0; i < bytes; ++i) u |= std::uint64_t{le[i]} << (8 * i);
  const unsigned bits = bytes * 8;
  const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
  std::int64_t v = static_cast<std::int64_t>(u & (sign - 1));
  if (u & sign) v -= static_cast<std::int64_t>(sign);
  return v;
}

inline void StoreIntLe(std::int64_t v, unsigned bytes, std::uint8_t* le) {
  const std::uint64_t u = static_cast<std::uint64_t>(v);
  for (unsigned i = 0; i < bytes; ++i) le[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// Integer to integer of another width: widening multiplies by the width ratio,
// narrowing adds half a dropped unit below the guard and floors.
inline std::int64_t IntToInt(std::int64_t v, int from_bits, int to_bits) {
  if (to_bits >= from_bits) return v * (std::int64_t{1} << (to_bits - from_bits));
  const int drop = from_bits - to_bits;
  const std::int64_t half = std::int64_t{1} << (drop - 1);
  const std::int64_t guard = (std::int64_t{1} << (from_bits - 1)) - half;
  if (v < guard) v += half;
  return FloorDivPow2(v, drop);
}

// The volatile stores pin each intermediate to an IEEE double (or single), so
// the model computes exactly the two roundings the rule names and nothing can
// be fused or kept wider.
inline std::int64_t DoubleToInt(double x, int bits) {
  const std::int64_t full = std::int64_t{1} << (bits - 1);
  if (std::isnan(x)) return 0;
  if (x >= 1.0 - std::ldexp(1.0, -(bits - 1))) return full - 1;
  if (x <= -1.0) return -full;
  volatile double scaled = x * static_cast<double>(full);
  volatile double biased = scaled + (static_cast<double>(full) + 0.5);
  return static_cast<std::int64_t>(std::trunc(biased)) - full;
}

inline std::int64_t SingleToInt(float x, int bits) {
  const std::int64_t full = std::int64_t{1} << (bits - 1);
  if (std::isnan(x)) return 0;
  if (bits == 32) {
    if (x > 0.99999994f) return full - 1;
  } else if (static_cast<double>(x) >= 1.0 - std::ldexp(1.0, -(bits - 1))) {
    return full - 1;
  }
  if (x <= -1.0f) return -full;
  double biased;
  if (bits <= 16) {
    volatile float scaled = x * static_cast<float>(full);
    biased = static_cast<double>(scaled) + (static_cast<double>(full) + 0.5);
  } else {
    volatile double scaled = static_cast<double>(x) * static_cast<double>(full);
    biased = scaled + (static_cast<double>(full) + 0.5);
  }
  volatile double pinned = biased;
  return static_cast<std::int64_t>(std::trunc(pinned)) - full;
}

// One sample from `in` (code s) to `out` (code d).
inline void ReferenceSample(const std::uint8_t* in, SampleCode s, std::uint8_t* out, SampleCode d) {
  const unsigned sn = BytesPerSample(s);
  const unsigned dn = BytesPerSample(d);
  if (s == d) {
    std::memcpy(out, in, sn);
    return;
  }
  std::uint8_t le[8] = {};
  for (unsigned i = 0; i < sn; ++i) le[i] = IsBigEndianCode(s) ? in[sn - 1 - i] : in[i];
  if (IsUnsignedCode(s)) le[0] ^= 0x80;

  std::uint8_t res[8] = {};
  const bool sf = IsFloatCode(s);
  const bool df = IsFloatCode(d);
  if (sf == df && sn == dn) {
    std::memcpy(res, le, sn);  // only byte order or offset differ
  } else if (!sf && !df) {
    StoreIntLe(IntToInt(SignExtendLe(le, sn), static_cast<int>(sn * 8), static_cast<int>(dn * 8)), dn, res);
  } else if (!sf) {
    const double x = std::ldexp(static_cast<double>(SignExtendLe(le, sn)), -static_cast<int>(sn * 8 - 1));
    if (dn == 4) {
      const float f = static_cast<float>(x);
      std::memcpy(res, &f, 4);
    } else {
      std::memcpy(res, &x, 8);
    }
  } else if (!df) {
    std::int64_t r;
    if (sn == 4) {
      float f;
      std::memcpy(&f, le, 4);
      r = SingleToInt(f, static_cast<int>(dn * 8));
    } else {
      double x;
      std::memcpy(&x, le, 8);
      r = DoubleToInt(x, static_cast<int>(dn * 8));
    }
    StoreIntLe(r, dn, res);
  } else if (sn == 4) {
    float f;
    std::memcpy(&f, le, 4);
    const double x = static_cast<double>(f);
    std::memcpy(res, &x, 8);
  } else {
    double x;
    std::memcpy(&x, le, 8);
    const float f = static_cast<float>(x);
    std::memcpy(res, &f, 4);
  }

  if (IsUnsignedCode(d)) res[0] ^= 0x80;
  for (unsigned i = 0; i < dn; ++i) out[i] = IsBigEndianCode(d) ? res[dn - 1 - i] : res[i];
}

// Non-overlapping buffers only.
inline void ReferenceConvert(const std::uint8_t* src, std::uint8_t* dst, std::size_t count, SampleCode s,
                             SampleCode d) {
  const unsigned sn = BytesPerSample(s);
  const unsigned dn = BytesPerSample(d);
  for (std::size_t i = 0; i < count; ++i) ReferenceSample(src + i * sn, s, dst + i * dn, d);
}

}  // namespace tidemark::reftest
