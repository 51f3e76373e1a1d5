// The conversion rules between the twelve sample codes, one sample at a time.
// This file is the reference every vector variant must match bit for bit.
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#include "core/samples/internal/sample_convert_kernels.h"

static_assert(std::endian::native == std::endian::little, "the converter assumes a little-endian host");

namespace tidemark::convert_detail::TIDEMARK_SCALAR_NAMESPACE {
namespace {

// How a code is stored; `bits` of an integer code, or 32/64 for float/double.
enum class Num { Int, Float, Double };
struct Layout {
  Num num;
  int bits;
  bool big_endian;
  bool offset_binary;
};

constexpr Layout kLayouts[12] = {
    {Num::Int, 8, false, false},  {Num::Int, 8, false, true},  {Num::Int, 16, false, false},
    {Num::Int, 24, false, false}, {Num::Int, 32, false, false}, {Num::Int, 16, true, false},
    {Num::Int, 24, true, false},  {Num::Int, 32, true, false},  {Num::Float, 32, false, false},
    {Num::Double, 64, false, false}, {Num::Float, 32, true, false}, {Num::Double, 64, true, false},
};

template <int kBytes>
inline std::uint64_t LoadBytes(const std::uint8_t* p, bool big_endian) {
  std::uint64_t v = 0;
  for (int i = 0; i < kBytes; ++i) v |= std::uint64_t(p[big_endian ? kBytes - 1 - i : i]) << (8 * i);
  return v;
}

template <int kBytes>
inline void StoreBytes(std::uint8_t* p, std::uint64_t v, bool big_endian) {
  for (int i = 0; i < kBytes; ++i) p[big_endian ? kBytes - 1 - i : i] = std::uint8_t(v >> (8 * i));
}

// Signed integer value of an N-bit sample, sign-extended.
template <Layout L>
inline std::int32_t LoadInt(const std::uint8_t* p) {
  constexpr int bytes = L.bits / 8;
  const std::uint32_t raw = std::uint32_t(LoadBytes<bytes>(p, L.big_endian));
  if constexpr (L.offset_binary) return std::int32_t(raw) - 128;
  // Left-justify, then shift back arithmetically to sign-extend.
  return std::int32_t(raw << (32 - L.bits)) >> (32 - L.bits);
}

template <Layout L>
inline void StoreInt(std::uint8_t* p, std::int32_t v) {
  constexpr int bytes = L.bits / 8;
  std::uint32_t raw = std::uint32_t(v);
  if constexpr (L.offset_binary) raw = std::uint32_t(v + 128);
  StoreBytes<bytes>(p, raw, L.big_endian);
}

template <Layout L>
inline auto LoadReal(const std::uint8_t* p) {
  if constexpr (L.num == Num::Float)
    return std::bit_cast<float>(std::uint32_t(LoadBytes<4>(p, L.big_endian)));
  else
    return std::bit_cast<double>(LoadBytes<8>(p, L.big_endian));
}

template <Layout L, typename T>
inline void StoreReal(std::uint8_t* p, T x) {
  if constexpr (L.num == Num::Float)
    StoreBytes<4>(p, std::bit_cast<std::uint32_t>(float(x)), L.big_endian);
  else
    StoreBytes<8>(p, std::bit_cast<std::uint64_t>(double(x)), L.big_endian);
}

// Integer to integer: widening shifts left; narrowing rounds half up unless the
// value already lies within half a unit of positive full scale.
template <int kFrom, int kTo>
inline std::int32_t IntToInt(std::int32_t v) {
  if constexpr (kTo >= kFrom) {
    return std::int32_t(std::uint32_t(v) << (kTo - kFrom));
  } else {
    constexpr int drop = kFrom - kTo;
    constexpr std::int64_t half = std::int64_t(1) << (drop - 1);
    constexpr std::int64_t guard = (std::int64_t(1) << (kFrom - 1)) - half;
    if (v < guard) v = std::int32_t(v + half);
    return v >> drop;
  }
}

// Integer to real: value x 2^-(N-1) in double precision.
template <int kFrom>
inline double IntToReal(std::int32_t v) {
  return double(v) * (1.0 / double(std::int64_t(1) << (kFrom - 1)));
}

// Real to N-bit integer: saturate, else round half up through a positive bias.
template <int kTo, typename T>
inline std::int32_t RealToInt(T x) {
  constexpr double full = double(std::int64_t(1) << (kTo - 1));
  constexpr std::int32_t max = std::int32_t((std::int64_t(1) << (kTo - 1)) - 1);
  constexpr std::int32_t min = std::int32_t(-(std::int64_t(1) << (kTo - 1)));
  if (std::isnan(x)) return 0;
  if constexpr (kTo == 32 && sizeof(T) == 4) {
    if (x > 0.99999994f) return max;  // only x >= 1.0 saturates
  } else {
    if (double(x) >= 1.0 - 1.0 / full) return max;
  }
  if (x <= T(-1)) return min;
  double product;
  if constexpr (kTo <= 16 && sizeof(T) == 4)
    product = double(x * float(full));
  else
    product = double(x) * full;
  const double biased = product + (full + 0.5);
  return std::int32_t(std::int64_t(biased) - std::int64_t(full));
}

template <Layout S, Layout D>
inline void ConvertOne(const std::uint8_t* s, std::uint8_t* d) {
  if constexpr (S.num == Num::Int && D.num == Num::Int) {
    StoreInt<D>(d, IntToInt<S.bits, D.bits>(LoadInt<S>(s)));
  } else if constexpr (S.num == Num::Int) {
    StoreReal<D>(d, IntToReal<S.bits>(LoadInt<S>(s)));
  } else if constexpr (D.num == Num::Int) {
    StoreInt<D>(d, RealToInt<D.bits>(LoadReal<S>(s)));
  } else {
    StoreReal<D>(d, LoadReal<S>(s));
  }
}

template <int kS, int kD>
void Forward(const std::uint8_t* src, std::uint8_t* dst, std::size_t n) {
  constexpr Layout S = kLayouts[kS], D = kLayouts[kD];
  constexpr std::size_t sw = S.bits / 8, dw = D.bits / 8;
  for (std::size_t i = 0; i < n; ++i) ConvertOne<S, D>(src + i * sw, dst + i * dw);
}

template <int kS, int kD>
void Backward(const std::uint8_t* src, std::uint8_t* dst, std::size_t n) {
  constexpr Layout S = kLayouts[kS], D = kLayouts[kD];
  constexpr std::size_t sw = S.bits / 8, dw = D.bits / 8;
  for (std::size_t i = n; i-- > 0;) ConvertOne<S, D>(src + i * sw, dst + i * dw);
}

template <std::size_t... I>
constexpr auto MakeTable(bool backward, std::index_sequence<I...>) {
  std::array<KernelFn, 144> table{};
  ((table[I] = backward ? &Backward<int(I / 12), int(I % 12)> : &Forward<int(I / 12), int(I % 12)>), ...);
  return table;
}

const auto kForward = MakeTable(false, std::make_index_sequence<144>{});
const auto kBackward = MakeTable(true, std::make_index_sequence<144>{});

}  // namespace

KernelFn ForwardKernel(int src_index, int dst_index) { return kForward[src_index * 12 + dst_index]; }
KernelFn BackwardKernel(int src_index, int dst_index) { return kBackward[src_index * 12 + dst_index]; }

}  // namespace tidemark::convert_detail::TIDEMARK_SCALAR_NAMESPACE
