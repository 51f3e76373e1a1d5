// Vector variants of the busiest conversion paths (16- and 24-bit integer
// to and from single float, integer narrowing and widening among 16, 24 and
// 32 bits, byte-order swaps). Each gives exactly the results of the scalar
// rules; the instruction set is picked at run time, never at compile time.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/samples/internal/sample_convert_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TIDEMARK_HAVE_X86_VECTORS 1
#endif

namespace tidemark::convert_detail {

#if TIDEMARK_HAVE_X86_VECTORS
namespace {

enum : int { kInt = 0, kFloat = 1, kDouble = 2 };
struct Fmt {
  int num;
  int bytes;
  bool be;
};
// Same order as sample_code::kAll.
constexpr Fmt kFmt[12] = {{kInt, 1, false},   {kInt, 1, false},   {kInt, 2, false},   {kInt, 3, false},
                          {kInt, 4, false},   {kInt, 2, true},    {kInt, 3, true},    {kInt, 4, true},
                          {kFloat, 4, false}, {kDouble, 8, false}, {kFloat, 4, true}, {kDouble, 8, true}};

// Byte-shuffle masks. A load mask places sample `lane` (of `bytes` bytes, at
// offset lane * bytes + base) left-justified in 32-bit lane `lane`, so an
// arithmetic shift right sign-extends it. A store mask packs right-justified
// 32-bit lanes back into consecutive samples.
constexpr char LoadMaskByte(int bytes, bool be, int base, int pos) {
  const int lane = pos / 4, k = pos % 4;
  if (k < 4 - bytes) return char(0x80);
  const int m = k - (4 - bytes);  // significance, 0 = least significant
  return char(base + lane * bytes + (be ? bytes - 1 - m : m));
}
constexpr char StoreMaskByte(int bytes, bool be, int pos) {
  const int sample = pos / bytes, t = pos % bytes;
  if (sample >= 4) return char(0x80);
  return char(sample * 4 + (be ? bytes - 1 - t : t));
}
// Reverses every `bytes`-byte word (bytes = 2, 4 or 8).
constexpr char SwapMaskByte(int bytes, int pos) { return char(pos - pos % bytes + (bytes - 1 - pos % bytes)); }

// 16-bit to 24-bit by bytes. The input byte that output byte `out` of a run
// of 24-bit samples comes from, or -1 for the least significant byte, which is
// zero.
constexpr int Widen16To24Source(bool be_in, bool be_out, int out) {
  const int sample = out / 3, t = out % 3;
  const int m = be_out ? 2 - t : t;  // significance, 0 = least significant
  if (m == 0) return -1;
  return 2 * sample + ((m == 1) == be_in ? 1 : 0);
}
// Output bytes [out_base, out_base + 16) from a 16-byte window of the input
// that starts at byte `in_base`.
constexpr char Widen16To24MaskByte(bool be_in, bool be_out, int out_base, int in_base, int pos) {
  const int src = Widen16To24Source(be_in, be_out, out_base + pos);
  return src < 0 ? char(0x80) : char(src - in_base);
}
// Whether that window holds every input byte those sixteen output bytes need.
constexpr bool Widen16To24WindowFits(int out_base, int in_base) {
  for (int order = 0; order < 4; ++order)
    for (int pos = 0; pos < 16; ++pos) {
      const int src = Widen16To24Source(order & 1, order & 2, out_base + pos);
      if (src >= 0 && (src < in_base || src >= in_base + 16)) return false;
    }
  return true;
}
// 24-bit byte-order reversal, five samples to 16 bytes: reverses each 3-byte
// word of the first fifteen bytes; byte 15 stays in place so that a 16-byte
// store rewrites it unchanged.
constexpr char Swap24FiveMaskByte(int /*bytes*/, int pos) {
  return char(pos == 15 ? 15 : pos - pos % 3 + (2 - pos % 3));
}
// 24-bit byte-order reversal by whole 16-byte runs: the input byte that output
// byte `out` comes from. Bytes 0 and 2 of each sample trade places, so sixteen
// output bytes draw on 18 input bytes, two more than one shuffle can reach.
// `lo` and `hi` are two 16-byte windows, at those offsets from input byte
// `base`; the masks build output bytes [base, base + 16) as the OR of one
// shuffle of each, taking each byte from the lower window where it can.
constexpr int Swap24Source(int out) { return out - out % 3 + (2 - out % 3); }
constexpr char Swap24MaskByte(bool from_hi, int base, int lo, int hi, int pos) {
  const int src = Swap24Source(base + pos) - base;
  const bool in_lo = src >= lo && src < lo + 16;
  if (in_lo == from_hi) return char(0x80);
  return char(src - (from_hi ? hi : lo));
}
// Whether the two windows hold every input byte those sixteen need.
constexpr bool Swap24WindowsFit(int base, int lo, int hi) {
  for (int pos = 0; pos < 16; ++pos) {
    const int src = Swap24Source(base + pos) - base;
    if (!(src >= lo && src < lo + 16) && !(src >= hi && src < hi + 16)) return false;
  }
  return true;
}

#define TM_MASK16(F, ...)                                                                             \
  _mm_setr_epi8(F(__VA_ARGS__, 0), F(__VA_ARGS__, 1), F(__VA_ARGS__, 2), F(__VA_ARGS__, 3),          \
                F(__VA_ARGS__, 4), F(__VA_ARGS__, 5), F(__VA_ARGS__, 6), F(__VA_ARGS__, 7),          \
                F(__VA_ARGS__, 8), F(__VA_ARGS__, 9), F(__VA_ARGS__, 10), F(__VA_ARGS__, 11),        \
                F(__VA_ARGS__, 12), F(__VA_ARGS__, 13), F(__VA_ARGS__, 14), F(__VA_ARGS__, 15))

constexpr float Pow2(int e) {
  float r = 1.0f;
  for (; e > 0; --e) r *= 2.0f;
  for (; e < 0; ++e) r *= 0.5f;
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// SSE4.1: four samples per step.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse4.1"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse4.1")
#endif
namespace sse41 {
namespace {

template <int B, bool BE>
inline __m128i LoadInt(const std::uint8_t* p) {
  __m128i raw;
  if constexpr (B == 2)
    raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  else
    raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  if constexpr (B == 4 && !BE) return raw;
  if constexpr (B == 2 && !BE) return _mm_cvtepi16_epi32(raw);
  __m128i v = _mm_shuffle_epi8(raw, TM_MASK16(LoadMaskByte, B, BE, 0));
  if constexpr (B < 4) v = _mm_srai_epi32(v, 32 - 8 * B);
  return v;
}

template <int B, bool BE>
inline void StoreInt(std::uint8_t* p, __m128i v) {
  if constexpr (!(B == 4 && !BE)) v = _mm_shuffle_epi8(v, TM_MASK16(StoreMaskByte, B, BE));
  if constexpr (B == 2) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
  } else if constexpr (B == 3) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
    const std::uint32_t tail = std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
    std::memcpy(p + 8, &tail, 4);
  } else {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  }
}

template <bool BE>
inline __m128 LoadFloat(const std::uint8_t* p) {
  __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  if constexpr (BE) raw = _mm_shuffle_epi8(raw, TM_MASK16(SwapMaskByte, 4));
  return _mm_castsi128_ps(raw);
}

template <bool BE>
inline void StoreFloat(std::uint8_t* p, __m128 x) {
  __m128i raw = _mm_castps_si128(x);
  if constexpr (BE) raw = _mm_shuffle_epi8(raw, TM_MASK16(SwapMaskByte, 4));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), raw);
}

template <int N>
inline __m128 IntToFloat(__m128i v) {
  return _mm_mul_ps(_mm_cvtepi32_ps(v), _mm_set1_ps(Pow2(1 - N)));
}

// The 32-bit rule in double precision: x * 2^31 + 2147483648.5 rounds to
// double (which decides some near-ties), then truncates. Subtracting 2^31
// again is exact, so floor of the difference equals truncation of the sum.
inline __m128i RoundBiased32(__m128d x) {
  const __m128d t = _mm_add_pd(_mm_mul_pd(x, _mm_set1_pd(2147483648.0)), _mm_set1_pd(2147483648.5));
  return _mm_cvttpd_epi32(_mm_floor_pd(_mm_sub_pd(t, _mm_set1_pd(2147483648.0))));
}

// Below 32 bits, round half up as floor(y) + (y - floor(y) >= 0.5): for
// |y| below 2^(N-1) both steps are exact in single precision, and the double
// sum of the rule is exact wherever it could change the result, so this
// equals the rule, including ties.
template <int N>
inline __m128i FloatToInt(__m128 x) {
  const __m128 threshold = _mm_set1_ps(N == 32 ? 1.0f : 1.0f - Pow2(1 - N));
  const __m128 hi = _mm_cmpge_ps(x, threshold);
  const __m128 lo = _mm_cmple_ps(x, _mm_set1_ps(-1.0f));
  const __m128 nan = _mm_cmpunord_ps(x, x);
  __m128i r;
  if constexpr (N == 32) {
    r = _mm_unpacklo_epi64(RoundBiased32(_mm_cvtps_pd(x)), RoundBiased32(_mm_cvtps_pd(_mm_movehl_ps(x, x))));
  } else {
    const __m128 y = _mm_mul_ps(x, _mm_set1_ps(Pow2(N - 1)));
    const __m128 fl = _mm_floor_ps(y);
    const __m128 up = _mm_cmpge_ps(_mm_sub_ps(y, fl), _mm_set1_ps(0.5f));
    r = _mm_sub_epi32(_mm_cvttps_epi32(fl), _mm_castps_si128(up));
  }
  const std::int32_t max = std::int32_t((std::int64_t(1) << (N - 1)) - 1);
  r = _mm_blendv_epi8(r, _mm_set1_epi32(max), _mm_castps_si128(hi));
  r = _mm_blendv_epi8(r, _mm_set1_epi32(-max - 1), _mm_castps_si128(lo));
  return _mm_andnot_si128(_mm_castps_si128(nan), r);
}

template <int From, int To>
inline __m128i IntToInt(__m128i v) {
  if constexpr (To >= From) {
    return _mm_slli_epi32(v, To - From);
  } else {
    constexpr int drop = From - To;
    constexpr std::int32_t half = std::int32_t(1) << (drop - 1);
    constexpr std::int32_t guard = std::int32_t((std::int64_t(1) << (From - 1)) - half);
    const __m128i below = _mm_cmplt_epi32(v, _mm_set1_epi32(guard));
    v = _mm_add_epi32(v, _mm_and_si128(below, _mm_set1_epi32(half)));
    return _mm_srai_epi32(v, drop);
  }
}

template <int S, int D>
std::size_t Kernel(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
  constexpr Fmt fs = kFmt[S], fd = kFmt[D];
  // A 24-bit load reads 16 bytes for 12, so keep two samples in reserve.
  constexpr std::size_t reserve = fs.bytes == 3 ? 2 : 0;
  std::size_t i = 0;
  for (; i + 4 + reserve <= n; i += 4) {
    const std::uint8_t* ps = s + i * fs.bytes;
    std::uint8_t* pd = d + i * fd.bytes;
    if constexpr (fs.num == kInt && fd.num == kInt)
      StoreInt<fd.bytes, fd.be>(pd, IntToInt<8 * fs.bytes, 8 * fd.bytes>(LoadInt<fs.bytes, fs.be>(ps)));
    else if constexpr (fs.num == kInt)
      StoreFloat<fd.be>(pd, IntToFloat<8 * fs.bytes>(LoadInt<fs.bytes, fs.be>(ps)));
    else if constexpr (fd.num == kInt)
      StoreInt<fd.bytes, fd.be>(pd, FloatToInt<8 * fd.bytes>(LoadFloat<fs.be>(ps)));
    else
      StoreFloat<fd.be>(pd, LoadFloat<fs.be>(ps));
  }
  return i;
}

// Same-width byte-order reversal of 2-, 4- or 8-byte words, 16 bytes a step.
template <int B>
std::size_t SwapKernel(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
  constexpr std::size_t per = 16 / B;
  std::size_t i = 0;
  for (; i + per <= n; i += per) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * B));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i * B), _mm_shuffle_epi8(v, TM_MASK16(SwapMaskByte, B)));
  }
  return i;
}

// 16-bit to 24-bit without going through 32-bit lanes: sixteen samples (48
// output bytes) a step, each 16-byte store shuffled from its own window of the
// input, so no byte is stored twice.
template <bool BEin, bool BEout>
std::size_t Widen16To24(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
  static_assert(Widen16To24WindowFits(0, 0) && Widen16To24WindowFits(16, 10) && Widen16To24WindowFits(32, 16));
  const __m128i m0 = TM_MASK16(Widen16To24MaskByte, BEin, BEout, 0, 0);
  const __m128i m1 = TM_MASK16(Widen16To24MaskByte, BEin, BEout, 16, 10);
  const __m128i m2 = TM_MASK16(Widen16To24MaskByte, BEin, BEout, 32, 16);
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const std::uint8_t* p = s + 2 * i;
    std::uint8_t* q = d + 3 * i;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 10));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_shuffle_epi8(a, m0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16), _mm_shuffle_epi8(b, m1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 32), _mm_shuffle_epi8(c, m2));
  }
  return i;
}

// 24-bit byte-order reversal, five samples (15 bytes) to each 16-byte load,
// shuffle and store, four of them a step. Byte 15 of each store is the input
// byte in that place, unchanged, and the next store rewrites it, so in place
// (or with the destination before the source) nothing is overwritten before
// it is read. The last load reads one byte past the step: one sample stays in
// reserve.
std::size_t Swap24(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
  const __m128i mask = TM_MASK16(Swap24FiveMaskByte, 3);
  std::size_t i = 0;
  for (; i + 21 <= n; i += 20) {
    const std::uint8_t* p = s + 3 * i;
    std::uint8_t* q = d + 3 * i;
    for (int k = 0; k < 4; ++k)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 15 * k),
                       _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 15 * k)), mask));
  }
  for (; i + 6 <= n; i += 5)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i)), mask));
  return i;
}

}  // namespace
}  // namespace sse41
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// ---------------------------------------------------------------------------
// AVX2: eight samples per step; byte shuffles work within 128-bit halves.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2 {
namespace {

inline __m256i Both(__m128i mask) { return _mm256_broadcastsi128_si256(mask); }
inline __m256i Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

template <int B, bool BE>
inline __m256i LoadInt(const std::uint8_t* p) {
  if constexpr (B == 4) {
    const __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    if constexpr (!BE) return raw;
    return _mm256_shuffle_epi8(raw, Both(TM_MASK16(SwapMaskByte, 4)));
  } else if constexpr (B == 2) {
    if constexpr (!BE) return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    // Sixteen bytes hold all eight samples; the upper half shuffles from byte 8.
    const __m256i raw = Both(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    const __m256i mask = _mm256_set_m128i(TM_MASK16(LoadMaskByte, 2, BE, 8), TM_MASK16(LoadMaskByte, 2, BE, 0));
    return _mm256_srai_epi32(_mm256_shuffle_epi8(raw, mask), 16);
  } else {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    const __m256i raw = _mm256_set_m128i(hi, lo);
    return _mm256_srai_epi32(_mm256_shuffle_epi8(raw, Both(TM_MASK16(LoadMaskByte, 3, BE, 0))), 8);
  }
}

template <int B, bool BE>
inline void StoreInt(std::uint8_t* p, __m256i v) {
  if constexpr (B == 4) {
    if constexpr (BE) v = _mm256_shuffle_epi8(v, Both(TM_MASK16(SwapMaskByte, 4)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  } else if constexpr (B == 2) {
    v = _mm256_shuffle_epi8(v, Both(TM_MASK16(StoreMaskByte, 2, BE)));
    v = _mm256_permute4x64_epi64(v, 0x08);  // qwords 0 and 2 to the bottom
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
  } else {
    v = _mm256_shuffle_epi8(v, Both(TM_MASK16(StoreMaskByte, 3, BE)));
    v = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 16), _mm256_extracti128_si256(v, 1));
  }
}

template <bool BE>
inline __m256 LoadFloat(const std::uint8_t* p) {
  __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  if constexpr (BE) raw = _mm256_shuffle_epi8(raw, Both(TM_MASK16(SwapMaskByte, 4)));
  return _mm256_castsi256_ps(raw);
}

template <bool BE>
inline void StoreFloat(std::uint8_t* p, __m256 x) {
  __m256i raw = _mm256_castps_si256(x);
  if constexpr (BE) raw = _mm256_shuffle_epi8(raw, Both(TM_MASK16(SwapMaskByte, 4)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), raw);
}

template <int N>
inline __m256 IntToFloat(__m256i v) {
  return _mm256_mul_ps(_mm256_cvtepi32_ps(v), _mm256_set1_ps(Pow2(1 - N)));
}

inline __m128i RoundBiased32(__m256d x) {
  const __m256d t = _mm256_add_pd(_mm256_mul_pd(x, _mm256_set1_pd(2147483648.0)), _mm256_set1_pd(2147483648.5));
  return _mm256_cvttpd_epi32(_mm256_floor_pd(_mm256_sub_pd(t, _mm256_set1_pd(2147483648.0))));
}

// Same rounding as the SSE4.1 variant.
template <int N>
inline __m256i FloatToInt(__m256 x) {
  const __m256 threshold = _mm256_set1_ps(N == 32 ? 1.0f : 1.0f - Pow2(1 - N));
  const __m256 hi = _mm256_cmp_ps(x, threshold, _CMP_GE_OQ);
  const __m256 lo = _mm256_cmp_ps(x, _mm256_set1_ps(-1.0f), _CMP_LE_OQ);
  const __m256 nan = _mm256_cmp_ps(x, x, _CMP_UNORD_Q);
  __m256i r;
  if constexpr (N == 32) {
    r = _mm256_set_m128i(RoundBiased32(_mm256_cvtps_pd(_mm256_extractf128_ps(x, 1))),
                         RoundBiased32(_mm256_cvtps_pd(_mm256_castps256_ps128(x))));
  } else {
    const __m256 y = _mm256_mul_ps(x, _mm256_set1_ps(Pow2(N - 1)));
    const __m256 fl = _mm256_floor_ps(y);
    const __m256 up = _mm256_cmp_ps(_mm256_sub_ps(y, fl), _mm256_set1_ps(0.5f), _CMP_GE_OQ);
    r = _mm256_sub_epi32(_mm256_cvttps_epi32(fl), _mm256_castps_si256(up));
  }
  const std::int32_t max = std::int32_t((std::int64_t(1) << (N - 1)) - 1);
  r = _mm256_blendv_epi8(r, _mm256_set1_epi32(max), _mm256_castps_si256(hi));
  r = _mm256_blendv_epi8(r, _mm256_set1_epi32(-max - 1), _mm256_castps_si256(lo));
  return _mm256_andnot_si256(_mm256_castps_si256(nan), r);
}

template <int From, int To>
inline __m256i IntToInt(__m256i v) {
  if constexpr (To >= From) {
    return _mm256_slli_epi32(v, To - From);
  } else {
    constexpr int drop = From - To;
    constexpr std::int32_t half = std::int32_t(1) << (drop - 1);
    constexpr std::int32_t guard = std::int32_t((std::int64_t(1) << (From - 1)) - half);
    const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(guard), v);
    v = _mm256_add_epi32(v, _mm256_and_si256(below, _mm256_set1_epi32(half)));
    return _mm256_srai_epi32(v, drop);
  }
}

template <int S, int D>
std::size_t Kernel(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
  constexpr Fmt fs = kFmt[S], fd = kFmt[D];
  constexpr std::size_t reserve = fs.bytes == 3 ? 2 : 0;
  std::size_t i = 0;
  for (; i + 8 + reserve <= n; i += 8) {
    const std::uint8_t* ps = s + i * fs.bytes;
    std::uint8_t* pd = d + i * fd.bytes;
    if constexpr (fs.num == kInt && fd.num == kInt)
      StoreInt<fd.bytes, fd.be>(pd, IntToInt<8 * fs.bytes, 8 * fd.bytes>(LoadInt<fs.bytes, fs.be>(ps)));
    else if constexpr (fs.num == kInt)
      StoreFloat<fd.be>(pd, IntToFloat<8 * fs.bytes>(LoadInt<fs.bytes, fs.be>(ps)));
    else if constexpr (fd.num == kInt)
      StoreInt<fd.bytes, fd.be>(pd, FloatToInt<8 * fd.bytes>(LoadFloat<fs.be>(ps)));
    else
      StoreFloat<fd.be>(pd, LoadFloat<fs.be>(ps));
  }
  return i;
}

// Four registers a step: with one register a step the loop overhead, not the
// shuffles, limits the shortest words.
template <int B>
std::size_t SwapKernel(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
  constexpr std::size_t per = 32 / B;
  const __m256i mask = Both(TM_MASK16(SwapMaskByte, B));
  std::size_t i = 0;
  for (; i + 4 * per <= n; i += 4 * per) {
    const std::uint8_t* p = s + i * B;
    std::uint8_t* q = d + i * B;
    const __m256i v0 = Load(p), v1 = Load(p + 32), v2 = Load(p + 64), v3 = Load(p + 96);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), _mm256_shuffle_epi8(v0, mask));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 32), _mm256_shuffle_epi8(v1, mask));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 64), _mm256_shuffle_epi8(v2, mask));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 96), _mm256_shuffle_epi8(v3, mask));
  }
  for (; i + per <= n; i += per)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i * B), _mm256_shuffle_epi8(Load(s + i * B), mask));
  return i;
}

// Two 16-byte loads, one per half. The insert reads memory directly, which
// keeps it off the port the byte shuffles need.
inline __m256i LoadHalves(const std::uint8_t* lo, const std::uint8_t* hi) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
}

// 16-bit to 24-bit shuffle masks: each half of each of the three 32-byte
// stores of a 32-sample step is shuffled from its own 16-byte window of the
// input (the offsets below), so no byte is stored twice and no load reaches
// past the step's 64 input bytes. Only the middle store's two windows lie 16
// bytes apart, so that one plain load serves both.
template <bool BEin, bool BEout>
struct Widen16To24Masks {
  static_assert(Widen16To24WindowFits(0, 0) && Widen16To24WindowFits(16, 10) && Widen16To24WindowFits(32, 16) &&
                Widen16To24WindowFits(48, 32) && Widen16To24WindowFits(64, 42) && Widen16To24WindowFits(80, 48));
  __m256i m0, m1, m2;
  Widen16To24Masks()
      : m0(_mm256_set_m128i(TM_MASK16(Widen16To24MaskByte, BEin, BEout, 16, 10),
                            TM_MASK16(Widen16To24MaskByte, BEin, BEout, 0, 0))),
        m1(_mm256_set_m128i(TM_MASK16(Widen16To24MaskByte, BEin, BEout, 48, 32),
                            TM_MASK16(Widen16To24MaskByte, BEin, BEout, 32, 16))),
        m2(_mm256_set_m128i(TM_MASK16(Widen16To24MaskByte, BEin, BEout, 80, 48),
                            TM_MASK16(Widen16To24MaskByte, BEin, BEout, 64, 42))) {}
};

template <bool BEin, bool BEout>
inline void Widen16To24Step(const Widen16To24Masks<BEin, BEout>& m, const std::uint8_t* p, std::uint8_t* q) {
  const __m256i a = LoadHalves(p, p + 10), b = Load(p + 16), c = LoadHalves(p + 42, p + 48);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), _mm256_shuffle_epi8(a, m.m0));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 32), _mm256_shuffle_epi8(b, m.m1));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 64), _mm256_shuffle_epi8(c, m.m2));
}

// 16-bit to 24-bit, 64 samples a step while they last, then 32.
template <bool BEin, bool BEout>
std::size_t Widen16To24(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
  const Widen16To24Masks<BEin, BEout> m;
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    Widen16To24Step(m, s + 2 * i, d + 3 * i);
    Widen16To24Step(m, s + 2 * i + 64, d + 3 * i + 96);
  }
  for (; i + 32 <= n; i += 32) Widen16To24Step(m, s + 2 * i, d + 3 * i);
  return i;
}

// 24-bit byte-order reversal masks for a 32-sample step (96 bytes, three
// vectors): each half ORs a shuffle of the window two bytes below it with one
// of the window two bytes above. Two shuffles per vector cost less here than
// the five-sample form's 16-byte stores. The first step of a run may not read
// below its start, so its first half uses the window at the start itself.
template <bool first>
struct Swap24Masks {
  static constexpr int lo0 = first ? 0 : -2;
  static_assert(Swap24WindowsFit(0, lo0, 2) && Swap24WindowsFit(16, -2, 2) && Swap24WindowsFit(32, -2, 2) &&
                Swap24WindowsFit(48, -2, 2) && Swap24WindowsFit(64, -2, 2) && Swap24WindowsFit(80, -2, 2));
  __m256i lo[3], hi[3];
  Swap24Masks()
      : lo{_mm256_set_m128i(TM_MASK16(Swap24MaskByte, false, 16, -2, 2), TM_MASK16(Swap24MaskByte, false, 0, lo0, 2)),
           _mm256_set_m128i(TM_MASK16(Swap24MaskByte, false, 48, -2, 2), TM_MASK16(Swap24MaskByte, false, 32, -2, 2)),
           _mm256_set_m128i(TM_MASK16(Swap24MaskByte, false, 80, -2, 2), TM_MASK16(Swap24MaskByte, false, 64, -2, 2))},
        hi{_mm256_set_m128i(TM_MASK16(Swap24MaskByte, true, 16, -2, 2), TM_MASK16(Swap24MaskByte, true, 0, lo0, 2)),
           _mm256_set_m128i(TM_MASK16(Swap24MaskByte, true, 48, -2, 2), TM_MASK16(Swap24MaskByte, true, 32, -2, 2)),
           _mm256_set_m128i(TM_MASK16(Swap24MaskByte, true, 80, -2, 2), TM_MASK16(Swap24MaskByte, true, 64, -2, 2))} {}
};

// One step, every load before any store. With the destination at or before
// the source a step's stores then overwrite only input already read, besides
// the two bytes below the next step's start, which that step reads but never
// uses (it starts on a sample boundary).
template <bool first>
inline void Swap24Step(const Swap24Masks<first>& m, const std::uint8_t* p, std::uint8_t* q) {
  const __m256i below0 = first ? LoadHalves(p, p + 14) : Load(p - 2);
  const __m256i r0 = _mm256_or_si256(_mm256_shuffle_epi8(below0, m.lo[0]), _mm256_shuffle_epi8(Load(p + 2), m.hi[0]));
  const __m256i r1 =
      _mm256_or_si256(_mm256_shuffle_epi8(Load(p + 30), m.lo[1]), _mm256_shuffle_epi8(Load(p + 34), m.hi[1]));
  const __m256i r2 =
      _mm256_or_si256(_mm256_shuffle_epi8(Load(p + 62), m.lo[2]), _mm256_shuffle_epi8(Load(p + 66), m.hi[2]));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(q), r0);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 32), r1);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 64), r2);
}

// 24-bit byte-order reversal, 64 samples a step while they last, then 32;
// one sample stays in reserve for the windows above.
std::size_t Swap24(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
  if (n < 33) return 0;
  Swap24Step(Swap24Masks<true>{}, s, d);
  const Swap24Masks<false> m;
  std::size_t i = 32;
  for (; i + 65 <= n; i += 64) {
    Swap24Step(m, s + 3 * i, d + 3 * i);
    Swap24Step(m, s + 3 * i + 96, d + 3 * i + 96);
  }
  for (; i + 33 <= n; i += 32) Swap24Step(m, s + 3 * i, d + 3 * i);
  return i;
}

}  // namespace
}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace {

// Indices into sample_code::kAll.
enum : int { S16 = 2, S24 = 3, S32 = 4, S16BE = 5, S24BE = 6, S32BE = 7, F32 = 8, F64 = 9, F32BE = 10, F64BE = 11 };
constexpr int kVectorInts[] = {S16, S24, S32, S16BE, S24BE, S32BE};

#define TM_BUILD_TABLE(NS)                                                                  \
  template <int S, int D>                                                                   \
  void Put##NS(VectorKernelTable& t) {                                            \
    t.kernel[S][D] = &NS::Kernel<S, D>;                                                     \
  }                                                                                         \
  template <int S>                                                                          \
  void PutRow##NS(VectorKernelTable& t) {                                         \
    Put##NS<S, S16>(t), Put##NS<S, S24>(t), Put##NS<S, S32>(t), Put##NS<S, S16BE>(t);       \
    Put##NS<S, S24BE>(t), Put##NS<S, S32BE>(t), Put##NS<S, F32>(t), Put##NS<S, F32BE>(t);   \
  }                                                                                         \
  VectorKernelTable Make##NS() {                                                            \
    VectorKernelTable t{};                                                                  \
    PutRow##NS<S16>(t), PutRow##NS<S24>(t), PutRow##NS<S32>(t), PutRow##NS<S16BE>(t);       \
    PutRow##NS<S24BE>(t), PutRow##NS<S32BE>(t), PutRow##NS<F32>(t), PutRow##NS<F32BE>(t);   \
    for (int i : kVectorInts) t.kernel[i][i] = nullptr;                                     \
    t.kernel[F32][F32] = t.kernel[F32BE][F32BE] = nullptr;                                  \
    /* Pure byte-order changes: whole-register shuffles. */                                 \
    t.kernel[S16][S16BE] = t.kernel[S16BE][S16] = &NS::SwapKernel<2>;                       \
    t.kernel[S32][S32BE] = t.kernel[S32BE][S32] = &NS::SwapKernel<4>;                       \
    t.kernel[F32][F32BE] = t.kernel[F32BE][F32] = &NS::SwapKernel<4>;                       \
    t.kernel[F64][F64BE] = t.kernel[F64BE][F64] = &NS::SwapKernel<8>;                       \
    t.kernel[S24][S24BE] = t.kernel[S24BE][S24] = &NS::Swap24;                              \
    t.kernel[S16][S24] = &NS::Widen16To24<false, false>;                                    \
    t.kernel[S16][S24BE] = &NS::Widen16To24<false, true>;                                   \
    t.kernel[S16BE][S24] = &NS::Widen16To24<true, false>;                                   \
    t.kernel[S16BE][S24BE] = &NS::Widen16To24<true, true>;                                  \
    return t;                                                                               \
  }

TM_BUILD_TABLE(sse41)
TM_BUILD_TABLE(avx2)
#undef TM_BUILD_TABLE

}  // namespace

const VectorKernelTable* VectorKernels(ConvertIsa isa) {
  static const bool has_sse41 = __builtin_cpu_supports("sse4.1");
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  if (isa == ConvertIsa::Sse41 && has_sse41) {
    static const VectorKernelTable table = Makesse41();
    return &table;
  }
  if (isa == ConvertIsa::Avx2 && has_avx2) {
    static const VectorKernelTable table = Makeavx2();
    return &table;
  }
  return nullptr;
}

#else  // no vector variants on this processor family

const VectorKernelTable* VectorKernels(ConvertIsa) { return nullptr; }

#endif

}  // namespace tidemark::convert_detail
