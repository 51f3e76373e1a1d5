// The sample converter against a plain sample-at-a-time model of its rules,
// for every supported code pair and every instruction-set variant.
#include "core/samples/sample_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/core/samples/reference_convert.h"

namespace tidemark {
namespace {

namespace sc = sample_code;
using Bytes = std::vector<std::uint8_t>;

constexpr ConvertIsa kIsas[] = {ConvertIsa::Scalar, ConvertIsa::Sse41, ConvertIsa::Avx2};

const char* IsaName(ConvertIsa isa) {
  switch (isa) {
    case ConvertIsa::Scalar: return "isa Scalar";
    case ConvertIsa::Sse41: return "isa Sse41";
    case ConvertIsa::Avx2: return "isa Avx2";
  }
  return "isa ?";
}

std::string CodeName(SampleCode c) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%04X", static_cast<unsigned>(c));
  return b;
}

std::string PairName(SampleCode s, SampleCode d) { return CodeName(s) + " -> " + CodeName(d); }

// Puts the converter's variant choice back however a test leaves it.
class IsaRestorer {
 public:
  IsaRestorer() : saved_(ActiveConvertIsa()) {}
  ~IsaRestorer() { ForceConvertIsa(saved_); }
  IsaRestorer(const IsaRestorer&) = delete;
  IsaRestorer& operator=(const IsaRestorer&) = delete;

 private:
  ConvertIsa saved_;
};

template <class Body>
void ForEachIsa(Body&& body) {
  IsaRestorer restore;
  for (ConvertIsa isa : kIsas) {
    if (!ConvertIsaSupported(isa)) continue;
    ASSERT_TRUE(ForceConvertIsa(isa)) << IsaName(isa);
    SCOPED_TRACE(IsaName(isa));
    body(isa);
  }
}

std::uint8_t Canary(std::size_t i) { return static_cast<std::uint8_t>(0xA5 ^ (i * 131u) ^ (i >> 7)); }

// A byte region with canary-filled guard zones on both sides; `misalign`
// shifts the body off every vector alignment.
class GuardedBuffer {
 public:
  static constexpr std::size_t kGuard = 64;
  GuardedBuffer(std::size_t size, std::size_t misalign)
      : size_(size), lead_(kGuard + misalign), storage_(lead_ + size + kGuard) {
    for (std::size_t i = 0; i < storage_.size(); ++i) storage_[i] = Canary(i);
  }
  std::uint8_t* data() { return storage_.data() + lead_; }
  std::size_t size() const { return size_; }
  bool GuardsIntact() const {
    for (std::size_t i = 0; i < lead_; ++i)
      if (storage_[i] != Canary(i)) return false;
    for (std::size_t i = lead_ + size_; i < storage_.size(); ++i)
      if (storage_[i] != Canary(i)) return false;
    return true;
  }
  bool AllCanary() const {
    for (std::size_t i = 0; i < storage_.size(); ++i)
      if (storage_[i] != Canary(i)) return false;
    return true;
  }

 private:
  std::size_t size_;
  std::size_t lead_;
  std::vector<std::uint8_t> storage_;
};

std::string Hex(const std::uint8_t* p, unsigned n) {
  std::string s;
  char b[4];
  for (unsigned i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X", p[i]);
    s += b;
  }
  return s;
}

// Compares converted samples, naming the first few wrong ones with their input.
::testing::AssertionResult SamplesMatch(const std::uint8_t* src, SampleCode s, SampleCode d,
                                        const std::uint8_t* expected, const std::uint8_t* got,
                                        std::size_t count) {
  const unsigned sn = BytesPerSample(s);
  const unsigned dn = BytesPerSample(d);
  if (std::memcmp(expected, got, count * dn) == 0) return ::testing::AssertionSuccess();
  ::testing::AssertionResult r = ::testing::AssertionFailure();
  r << PairName(s, d) << ":";
  std::size_t wrong = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (std::memcmp(expected + i * dn, got + i * dn, dn) == 0) continue;
    if (++wrong <= 4)
      r << "\n  sample " << i << " input " << Hex(src + i * sn, sn) << " expected " << Hex(expected + i * dn, dn)
        << " got " << Hex(got + i * dn, dn);
  }
  return r << "\n  " << wrong << " of " << count << " samples differ";
}

// Converts src[first, first + len) into a separate canary-filled destination at
// the given misalignments and checks samples, guard bytes and the source.
::testing::AssertionResult ConvertSliceMatches(const Bytes& src, const Bytes& expected, std::size_t first,
                                               std::size_t len, SampleCode s, SampleCode d,
                                               std::size_t src_misalign, std::size_t dst_misalign) {
  const unsigned sn = BytesPerSample(s);
  const unsigned dn = BytesPerSample(d);
  GuardedBuffer in(len * sn, src_misalign);
  std::memcpy(in.data(), src.data() + first * sn, len * sn);
  GuardedBuffer out(len * dn, dst_misalign);
  Convert(in.data(), out.data(), len, s, d);
  ::testing::AssertionResult r =
      SamplesMatch(src.data() + first * sn, s, d, expected.data() + first * dn, out.data(), len);
  if (!r)
    return r << " (samples " << first << "+" << len << ", misalign " << src_misalign << "/" << dst_misalign
             << ")";
  if (!out.GuardsIntact())
    return ::testing::AssertionFailure() << PairName(s, d) << ": bytes outside the destination written, "
                                         << len << " samples";
  if (!in.GuardsIntact() || std::memcmp(in.data(), src.data() + first * sn, len * sn) != 0)
    return ::testing::AssertionFailure() << PairName(s, d) << ": source modified, " << len << " samples";
  return ::testing::AssertionSuccess();
}

constexpr std::size_t kSliceLengths[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,   10,  11,  12,  13,  14,   15,   16,
                                         17, 18, 19, 23, 24, 25, 31, 32, 33,  39,  47,  63,  64,  65,   95,   127,
                                         128, 129, 255, 257, 511, 1000, 1023, 1025, 4097};

// Every supported variant converts the whole run (odd alignments) and many
// slices of it (so vector bodies, tails and unaligned heads all run), each
// matching the model; vector variants must also equal the scalar one.
void ExpectConvertsLikeReference(const Bytes& src, SampleCode s, SampleCode d) {
  const unsigned sn = BytesPerSample(s);
  const unsigned dn = BytesPerSample(d);
  const std::size_t count = src.size() / sn;
  Bytes expected(count * dn);
  reftest::ReferenceConvert(src.data(), expected.data(), count, s, d);
  Bytes scalar_out;
  ForEachIsa([&](ConvertIsa isa) {
    EXPECT_TRUE(ConvertSliceMatches(src, expected, 0, count, s, d, 1, 3));
    Bytes aligned(count * dn);
    Convert(src.data(), aligned.data(), count, s, d);
    if (isa == ConvertIsa::Scalar) {
      scalar_out = aligned;
    } else if (!scalar_out.empty()) {
      EXPECT_TRUE(SamplesMatch(src.data(), s, d, scalar_out.data(), aligned.data(), count))
          << "vector variant differs from the scalar one";
    }
    std::size_t n = 0;
    for (std::size_t len : kSliceLengths) {
      if (len > count) continue;
      const std::size_t first = (len * 7919 + n * 104729) % (count - len + 1);
      auto r = ConvertSliceMatches(src, expected, first, len, s, d, n % 5, (n * 3) % 7);
      ++n;
      if (!r) {
        ADD_FAILURE() << r;
        break;
      }
    }
  });
}

// Applies the code's offset and byte order to canonical little-endian signed samples.
Bytes EncodeAs(const Bytes& le, SampleCode code) {
  const unsigned n = BytesPerSample(code);
  Bytes out(le.size());
  for (std::size_t i = 0; i < le.size(); i += n)
    for (unsigned j = 0; j < n; ++j) {
      std::uint8_t b = le[i + j];
      if (IsUnsignedCode(code) && j == 0) b ^= 0x80;
      out[i + (IsBigEndianCode(code) ? n - 1 - j : j)] = b;
    }
  return out;
}

Bytes LeInts(const std::vector<std::int64_t>& values, unsigned bytes) {
  Bytes out(values.size() * bytes);
  for (std::size_t i = 0; i < values.size(); ++i) reftest::StoreIntLe(values[i], bytes, &out[i * bytes]);
  return out;
}

template <class Word>
Bytes LeWords(const std::vector<Word>& words) {
  Bytes out(words.size() * sizeof(Word));
  if (!words.empty()) std::memcpy(out.data(), words.data(), out.size());
  return out;
}

std::vector<std::int64_t> IntInterestingValues(int bits) {
  const std::int64_t full = std::int64_t{1} << (bits - 1);
  std::vector<std::int64_t> v = {0, 1, -1, 2, -2, full - 1, full - 2, -full, -full + 1, -full + 2};
  for (int drop : {8, 16, 24}) {
    if (drop >= bits) continue;
    const std::int64_t half = std::int64_t{1} << (drop - 1);
    const std::int64_t guard = full - half;  // 0x7F80, 0x7FFF80, 0x7F8000, 0x7FFF8000, ...
    for (std::int64_t g : {guard, -guard})
      for (int e = -2; e <= 2; ++e) v.push_back(g + e);
    const std::int64_t units = full >> drop;
    for (std::int64_t k : {-units, -units + 1, std::int64_t{-3}, std::int64_t{-2}, std::int64_t{-1}, std::int64_t{0},
                           std::int64_t{1}, std::int64_t{2}, std::int64_t{3}, units - 2, units - 1}) {
      const std::int64_t base = k * (std::int64_t{1} << drop);
      for (std::int64_t e : {std::int64_t{-1}, std::int64_t{0}, std::int64_t{1}, half - 1, half, half + 1})
        v.push_back(base + e);
    }
  }
  if (bits == 32) {
    // Integers whose single-precision image is rounded, ties included.
    for (std::int64_t m : {0x01000001, 0x01000002, 0x01000003, 0x7FFFFFC0, 0x7FFFFFBF, 0x7FFFFFC1, 0x7FFFFF40,
                           0x40000040, 0x400000C0, 0x00FFFFFF})
      v.insert(v.end(), {m, -m});
  }
  std::erase_if(v, [&](std::int64_t x) { return x < -full || x >= full; });
  return v;
}

std::vector<std::int64_t> IntRandomValues(int bits, std::size_t n, std::mt19937& rng) {
  const std::int64_t full = std::int64_t{1} << (bits - 1);
  std::uniform_int_distribution<std::int64_t> any(-full, full - 1);
  std::uniform_int_distribution<std::int64_t> small(-4096, 4096);
  std::vector<std::int64_t> v;
  v.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::int64_t x;
    switch (i % 3) {
      case 0: x = any(rng); break;
      case 1: x = small(rng); break;
      default: {
        // Next to a rounding boundary of some narrower width.
        const int drop = 8 * (1 + static_cast<int>(rng() % 3));
        if (drop >= bits) {
          x = any(rng);
          break;
        }
        x = (any(rng) >> drop) * (std::int64_t{1} << drop) + (std::int64_t{1} << (drop - 1)) +
            static_cast<std::int64_t>(rng() % 3) - 1;
        x = std::clamp(x, -full, full - 1);
      }
    }
    v.push_back(x);
  }
  return v;
}

constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <class T>
using Word = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;

// Bit patterns of T: each special value and its negation with their
// neighbours; k / 2^(N-1) for the integer widths N, with ties and points
// within one, a half and a quarter ulp of a tie once the value has been
// biased, where rounding the biased sum decides the result; then `patterns`
// (NaNs with payloads, infinities, denormals, -0).
template <class T>
std::vector<Word<T>> InterestingBits(std::initializer_list<T> specials, std::initializer_list<Word<T>> patterns) {
  std::vector<Word<T>> out;
  auto around = [&](T x) {
    for (T y : {x, std::nextafter(x, T(kInf)), std::nextafter(x, -T(kInf))}) out.push_back(std::bit_cast<Word<T>>(y));
  };
  for (T x : specials) around(x), around(-x);
  for (int bits : {8, 16, 24, 32}) {
    const long double full = std::ldexp(1.0L, bits - 1);
    for (long double k : {0.0L, 1.0L, 2.0L, 3.0L, 7.0L, 100.0L, full / 2 - 1, full / 2, full - 2, full - 1, -1.0L,
                          -2.0L, -3.0L, -4.0L, -100.0L, -full / 2, -full + 1, -full}) {
      around(static_cast<T>(k / full));
      for (int e : {0, bits - 53, bits - 54, bits - 55})
        for (long double sign : {1.0L, -1.0L}) {
          const long double t = (k + 0.5L + (e == 0 ? 0.0L : sign * std::ldexp(1.0L, e))) / full;
          if (static_cast<long double>(static_cast<T>(t)) == t) around(static_cast<T>(t));
        }
    }
  }
  out.insert(out.end(), patterns);
  return out;
}

// Random T in [-1.1, 1.1], raw random bit patterns, and values next to a
// tie of a random integer width.
template <class T>
std::vector<Word<T>> RandomBits(std::size_t n, std::mt19937& rng) {
  std::uniform_real_distribution<double> uni(-1.1, 1.1);
  std::vector<Word<T>> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    T x;
    if (i % 4 < 2) {
      x = static_cast<T>(uni(rng));
    } else if (i % 4 == 2) {
      out[i] = static_cast<Word<T>>((std::uint64_t{rng()} << 32) | rng());
      continue;
    } else {
      const std::int64_t full = std::int64_t{1} << (8 * (1 + rng() % 4) - 1);
      const std::int64_t k = std::uniform_int_distribution<std::int64_t>(-full, full - 1)(rng);
      x = static_cast<T>((static_cast<long double>(k) + 0.5L) / static_cast<long double>(full));
      if (const auto step = rng() % 3) x = std::nextafter(x, step == 1 ? T(kInf) : -T(kInf));
    }
    out[i] = std::bit_cast<Word<T>>(x);
  }
  return out;
}

std::vector<std::uint32_t> SingleInterestingBits() {
  return InterestingBits<float>(
      {0.0f, 1.0f, 0.5f, 2.0f, 1.5f, 0.9921875f, 0.999969482421875f, 0.99999988079071044921875f, 0.99999994f,
       FLT_MIN, FLT_MAX, 65536.0f, 2147483648.0f, 4294967296.0f, 3e9f, 1e10f, 1e30f, 0.1f, 1.0f / 3.0f},
      {0x7FC00000u, 0xFFC00000u, 0x7F800001u, 0xFF800001u, 0x7FA00000u, 0x7FC12345u, 0xFFD00F00u, 0x7FBFFFFFu,
       0x7FFFFFFFu, 0xFFFFFFFFu, 0x7F800000u, 0xFF800000u, 0x00000001u, 0x80000001u, 0x007FFFFFu, 0x807FFFFFu,
       0x00400000u, 0x80400000u, 0x80000000u});
}

std::vector<std::uint64_t> DoubleInterestingBits() {
  return InterestingBits<double>(
      {0.0, 1.0, 0.5, 2.0, 1.5, 1 - std::ldexp(1.0, -7), 1 - std::ldexp(1.0, -15), 1 - std::ldexp(1.0, -23),
       1 - std::ldexp(1.0, -24), 1 - std::ldexp(1.0, -31), DBL_MIN, DBL_MAX, static_cast<double>(FLT_MAX),
       static_cast<double>(FLT_MAX) * (1 + std::ldexp(1.0, -24)), 1e39, 1e-40, 1e-46, 1e-300, 1e300, 65536.0,
       2147483648.0, 4294967296.0, 3e9, 0.1, 1 + std::ldexp(1.0, -24), 1 + 3 * std::ldexp(1.0, -24),
       std::ldexp(1.0, -149), std::ldexp(1.0, -150), std::ldexp(3.0, -151), static_cast<double>(FLT_MIN)},
      {0x7FF8000000000000u, 0xFFF8000000000000u, 0x7FF0000000000001u, 0xFFF0000000000001u, 0x7FF4000000000000u,
       0x7FF8DEADBEEF1234u, 0x7FF7FFFFFFFFFFFFu, 0x7FFFFFFFFFFFFFFFu, 0xFFFFFFFFFFFFFFFFu, 0x7FF0000000000000u,
       0xFFF0000000000000u, 0x0000000000000001u, 0x8000000000000001u, 0x000FFFFFFFFFFFFFu, 0x800FFFFFFFFFFFFFu,
       0x0008000000000000u, 0x8000000000000000u});
}

template <class T>
std::vector<T> Joined(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Canonical little-endian samples of the code's representation: its
// interesting values, then `randoms` random ones.
Bytes InterestingThenRandom(SampleCode code, std::size_t randoms, std::mt19937& rng) {
  const unsigned n = BytesPerSample(code);
  if (IsFloatCode(code) && n == 4) return LeWords(Joined(SingleInterestingBits(), RandomBits<float>(randoms, rng)));
  if (IsFloatCode(code)) return LeWords(Joined(DoubleInterestingBits(), RandomBits<double>(randoms, rng)));
  const int bits = static_cast<int>(n * 8);
  return LeInts(Joined(IntInterestingValues(bits), IntRandomValues(bits, randoms, rng)), n);
}

// The same, shuffled, cut to `count` and stored in the code.
Bytes MixedSamples(SampleCode code, std::size_t count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  const unsigned n = BytesPerSample(code);
  const Bytes le = InterestingThenRandom(code, count, rng);
  std::vector<std::size_t> order(le.size() / n);
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  Bytes picked(count * n);
  for (std::size_t i = 0; i < count; ++i) std::memcpy(&picked[i * n], &le[order[i] * n], n);
  return EncodeAs(picked, code);
}

// A code in both byte orders (or both signs, at 8 bits) and how many random
// samples follow its interesting values.
struct Family {
  const char* name;
  SampleCode little, big;
  std::size_t randoms;
};

class EveryTarget : public ::testing::TestWithParam<Family> {};

// 8- and 16-bit codes take every value, in an order (odd multipliers) that
// puts unlike values side by side in a vector, and odd lengths; wider codes
// their boundaries, NaNs, infinities and random values.
TEST_P(EveryTarget, EverySourceValueMatchesTheModel) {
  const Family& f = GetParam();
  std::mt19937 rng(f.little);
  const unsigned n = BytesPerSample(f.little);
  Bytes le;
  if (n == 1) {
    for (std::size_t i = 0; i < 256 * 5 + 3; ++i) le.push_back(static_cast<std::uint8_t>(i * 167 + 5));
  } else if (n == 2) {
    for (std::size_t i = 0; i < 65536 + 11; ++i) {
      const std::uint32_t v = static_cast<std::uint32_t>(i * 40503 + 7) & 0xFFFF;
      le.insert(le.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
    }
  } else {
    le = InterestingThenRandom(f.little, f.randoms, rng);
  }
  if (f.little == sc::kS24) {  // and a sweep of the whole range
    std::vector<std::int64_t> sweep;
    for (std::int64_t x = -(1 << 23); x < (1 << 23); x += 509) sweep.push_back(x);
    le = Joined(le, LeInts(sweep, 3));
  }
  for (SampleCode s : {f.little, f.big}) {
    const Bytes src = n <= 2 ? le : EncodeAs(le, s);
    for (SampleCode d : sc::kAll) {
      SCOPED_TRACE(PairName(s, d));
      ExpectConvertsLikeReference(src, s, d);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(SampleConvert, EveryTarget,
                         ::testing::Values(Family{"S8U8", sc::kS8, sc::kU8, 0}, Family{"S16", sc::kS16, sc::kS16BE, 0},
                                           Family{"S24", sc::kS24, sc::kS24BE, 90000},
                                           Family{"S32", sc::kS32, sc::kS32BE, 100000},
                                           Family{"Float", sc::kFloat, sc::kFloatBE, 240000},
                                           Family{"Double", sc::kDouble, sc::kDoubleBE, 160000}),
                         [](const ::testing::TestParamInfo<Family>& family) { return std::string(family.param.name); });

// A worked sample: its value as an integer (a float's bit pattern), stored
// in the code's byte order.
struct WorkedCase {
  SampleCode s;
  std::uint64_t in;
  SampleCode d;
  std::uint64_t out;
};

Bytes Stored(std::uint64_t v, SampleCode code) {
  Bytes b(BytesPerSample(code));
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  if (IsBigEndianCode(code)) std::reverse(b.begin(), b.end());
  return b;
}
std::uint64_t F(float f) { return std::bit_cast<std::uint32_t>(f); }
std::uint64_t D(double x) { return std::bit_cast<std::uint64_t>(x); }

// Worked results of the rules, checked against the converter in every
// variant (the sample repeated so that vector code handles it) and against
// the model, which keeps the model itself honest.
TEST(SampleConvert, WorkedExamplesGiveTheExpectedSamples) {
  const double k2m31 = std::ldexp(1.0, -31);
  const float near_tie = static_cast<float>((2.5 - std::ldexp(1.0, -22)) * k2m31);
  const float neg_near_tie = static_cast<float>((-1.5 - std::ldexp(1.0, -23)) * k2m31);
  using namespace sample_code;
  const std::vector<WorkedCase> cases = {
      // Full scale and its saturation.
      {kFloat, F(1.0f), kS16, 0x7FFF}, {kFloat, F(1.0f), kS24, 0x7FFFFF}, {kFloat, F(1.0f), kS32, 0x7FFFFFFF},
      {kFloat, F(1.0f), kS16BE, 0x7FFF}, {kFloat, F(1.0f), kS8, 0x7F}, {kFloat, F(1.0f), kU8, 0xFF},
      {kFloat, F(-1.0f), kS16, 0x8000}, {kFloat, F(-1.0f), kS24, 0x800000}, {kFloat, F(-1.0f), kS32, 0x80000000},
      {kFloat, F(-1.0f), kU8, 0x00}, {kDouble, D(1.0), kS16, 0x7FFF}, {kDouble, D(1.0), kS24, 0x7FFFFF},
      {kDouble, D(1.0), kS32, 0x7FFFFFFF}, {kDouble, D(-1.0), kS16, 0x8000}, {kDouble, D(-1.0), kS24, 0x800000},
      {kDouble, D(-1.0), kS32BE, 0x80000000}, {kFloat, F(0.99999994f), kS32, 0x7FFFFF80},
      {kFloat, F(0.99999994f), kS24, 0x7FFFFF}, {kFloat, F(0.99999994f), kS16, 0x7FFF},
      {kDouble, D(0.99999994f), kS32, 0x7FFFFF80}, {kDouble, D(1 - k2m31), kS32, 0x7FFFFFFF},
      {kDouble, D(std::nextafter(1 - k2m31, 0.0)), kS32, 0x7FFFFFFF}, {kFloat, F(0.9921875f), kS8, 0x7F},
      {kFloat, F(0.98828125f), kS8, 0x7F},  // 126.5 rounds up
      // Narrowing with the guard below full scale.
      {kS16, 0x7F90, kS8, 0x7F}, {kS16, 0x7F70, kS8, 0x7F}, {kS16, 0x7F80, kS8, 0x7F},
      {kS16, 0xFF7F, kS8, 0xFF},  // -129
      {kS16, 0xFF80, kS8, 0x00},  // -128
      {kS16, 0x007F, kS8, 0x00}, {kS16, 0x0080, kS8, 0x01}, {kS16, 0x8000, kS8, 0x80}, {kS16, 0x7FFF, kU8, 0xFF},
      {kS16, 0x8000, kU8, 0x00}, {kS16BE, 0xFF7F, kU8, 0x7F}, {kS24, 0x7FFF80, kS16, 0x7FFF},
      {kS24, 0x7FFF7F, kS16, 0x7FFF}, {kS24, 0x000080, kS16, 0x0001}, {kS24, 0x00007F, kS16, 0x0000},
      {kS24, 0xFFFF80, kS16, 0x0000}, {kS24, 0xFFFF7F, kS16, 0xFFFF}, {kS24BE, 0x800000, kS16BE, 0x8000},
      {kS24, 0x7F8000, kS8, 0x7F}, {kS24, 0x7F7FFF, kS8, 0x7F}, {kS24, 0x008000, kS8, 0x01},
      {kS32, 0x7FFFFF80, kS24, 0x7FFFFF}, {kS32, 0x7FFFFF7F, kS24, 0x7FFFFF}, {kS32, 0x00000080, kS24, 0x000001},
      {kS32, 0x7FFF8000, kS16, 0x7FFF}, {kS32, 0x00008000, kS16, 0x0001}, {kS32, 0xFFFF8000, kS16, 0x0000},
      {kS32, 0x7F800000, kS8, 0x7F}, {kS32, 0x00800000, kS8, 0x01},
      // Widening and the unsigned offset.
      {kU8, 0x80, kS16, 0x0000}, {kU8, 0x80, kFloat, F(0.0f)}, {kU8, 0x80, kS8, 0x00}, {kU8, 0x00, kS16, 0x8000},
      {kU8, 0x00, kFloat, F(-1.0f)}, {kU8, 0xFF, kS24, 0x7F0000}, {kU8, 0xFF, kS32BE, 0x7F000000},
      {kU8, 0xFF, kDouble, D(0.9921875)}, {kS16, 0x0000, kU8, 0x80}, {kS8, 0x00, kU8, 0x80}, {kS8, 0x7F, kU8, 0xFF},
      {kS8, 0x81, kS32, 0x81000000}, {kS16, 0x1234, kS24, 0x123400}, {kS16, 0x1234, kS32, 0x12340000},
      {kS16BE, 0x1234, kS24BE, 0x123400}, {kS24, 0x876543, kS32, 0x87654300},
      // Integer to float in double precision, then stored.
      {kS16, 0x4000, kFloat, F(0.5f)}, {kS8, 0x80, kDouble, D(-1.0)},
      {kS24, 0x7FFFFF, kFloat, F(0.99999988079071044921875f)}, {kS32, 0x7FFFFFFF, kFloat, F(1.0f)},
      {kS32, 0x7FFFFFFF, kDouble, D(2147483647.0 * k2m31)}, {kS32, 0x7FFFFFC0, kFloat, F(1.0f)},  // tie to even, up
      {kS32, 0x7FFFFF40, kFloatBE, F(0.99999988079071044921875f)}, {kS32, 0x80000000, kDoubleBE, D(-1.0)},
      // Ties round upward, negative ones toward zero.
      {kFloat, F(std::ldexp(1.0f, -16)), kS16, 0x0001}, {kFloat, F(-std::ldexp(1.0f, -16)), kS16, 0x0000},
      {kFloat, F(-3 * std::ldexp(1.0f, -16)), kS16, 0xFFFF}, {kFloat, F(std::ldexp(1.0f, -8)), kS8, 0x01},
      {kFloat, F(-std::ldexp(1.0f, -8)), kS8, 0x00}, {kFloat, F(-3 * std::ldexp(1.0f, -8)), kU8, 0x7F},
      {kFloat, F(std::ldexp(1.0f, -24)), kS24, 0x000001}, {kFloat, F(-std::ldexp(1.0f, -24)), kS24, 0x000000},
      {kFloat, F(std::ldexp(1.0f, -32)), kS32, 0x00000001}, {kFloat, F(-std::ldexp(1.0f, -32)), kS32, 0x00000000},
      {kDouble, D(-5 * std::ldexp(1.0, -32)), kS32, 0xFFFFFFFE},
      // The biased sum is rounded to double before truncation: these lie
      // within half a double ulp of a tie and round with it.
      {kFloat, F(near_tie), kS32, 0x00000003}, {kDouble, D(static_cast<double>(near_tie)), kS32, 0x00000003},
      {kDouble, D((2.5 - std::ldexp(1.0, -21)) * k2m31), kS32, 0x00000002},
      {kFloat, F(neg_near_tie), kS32, 0xFFFFFFFF},
      {kDouble, D((2.5 - std::ldexp(1.0, -38)) * std::ldexp(1.0, -15)), kS16, 0x0003},
      // NaN gives zero, infinities and large values saturate.
      {kFloat, 0x7FC00000, kS16, 0x0000}, {kFloat, 0x7F800001, kS24, 0x000000},
      {kFloat, 0xFFC00000, kS32, 0x00000000}, {kFloat, 0x7FC12345, kU8, 0x80}, {kFloat, 0xFFFFFFFF, kS8, 0x00},
      {kFloatBE, 0x7FA00000, kS16BE, 0x0000}, {kDouble, 0x7FF8000000000000, kS16, 0x0000},
      {kDouble, 0xFFF0000000000001, kS32, 0x00000000}, {kDoubleBE, 0x7FF8DEADBEEF1234, kU8, 0x80},
      {kFloat, F(kInfF), kS16, 0x7FFF}, {kFloat, F(-kInfF), kS32, 0x80000000}, {kDouble, D(kInf), kS32, 0x7FFFFFFF},
      {kDouble, D(-kInf), kS8, 0x80}, {kFloat, F(1e30f), kS24, 0x7FFFFF}, {kFloat, F(-1e30f), kS16, 0x8000},
      {kDouble, D(1e300), kS32, 0x7FFFFFFF}, {kDouble, D(-3e9), kS32, 0x80000000}, {kFloat, 0x00000001, kS16, 0x0000},
      {kFloat, 0x80000001, kS32, 0x00000000}, {kFloat, 0x80000000, kS16, 0x0000},
      // Float and double convert plainly; byte order alone is a swap, NaN
      // payloads and signalling bits included.
      {kFloat, F(0.1f), kDouble, D(static_cast<double>(0.1f))}, {kDouble, D(0.1), kFloat, F(0.1f)},
      {kDouble, D(1e300), kFloat, F(kInfF)}, {kDouble, D(-1e-300), kFloat, F(-0.0f)},
      {kDouble, D(1 + std::ldexp(1.0, -24)), kFloat, F(1.0f)}, {kDouble, D(1.5), kFloatBE, F(1.5f)},
      {kFloat, F(2.0f), kDouble, D(2.0)}, {kFloat, 0x7FA00001, kFloatBE, 0x7FA00001},
      {kDoubleBE, 0x7FF0000000000001, kDouble, 0x7FF0000000000001}, {kS16, 0x1234, kS16BE, 0x1234},
      {kS24BE, 0x010203, kS24, 0x010203}, {kS32BE, 0x01020304, kS32, 0x01020304}, {kU8, 0x00, kS8, 0x80},
  };
  constexpr std::size_t kRepeat = 37;
  for (const WorkedCase& c : cases) {
    const Bytes in = Stored(c.in, c.s), out = Stored(c.out, c.d);
    SCOPED_TRACE(PairName(c.s, c.d) + " input " + Hex(in.data(), BytesPerSample(c.s)));
    Bytes model(out.size());
    reftest::ReferenceSample(in.data(), c.s, model.data(), c.d);
    EXPECT_EQ(model, out) << "model";
    Bytes src, expected;
    for (std::size_t i = 0; i < kRepeat; ++i) {
      src.insert(src.end(), in.begin(), in.end());
      expected.insert(expected.end(), out.begin(), out.end());
    }
    ForEachIsa([&](ConvertIsa) { EXPECT_TRUE(ConvertSliceMatches(src, expected, 0, kRepeat, c.s, c.d, 1, 2)); });
  }
}

// Source and destination overlap at byte offsets of every sign and size, in
// place (offset 0) included.
// Whether the converter walks in an order that makes the overlap safe or
// copies the source aside, the destination must hold the conversion of the
// original source and no other byte may change.
TEST(SampleConvert, OverlappingBuffersConvertTheOriginalSource) {
  constexpr std::size_t kCount = 301;
  for (SampleCode s : sc::kAll) {
    const Bytes src = MixedSamples(s, kCount, 9100u + s);
    for (SampleCode d : sc::kAll) {
      SCOPED_TRACE(PairName(s, d));
      const long sn = BytesPerSample(s);
      const long dn = BytesPerSample(d);
      const long span = static_cast<long>(kCount) * sn;
      Bytes converted(kCount * dn);
      reftest::ReferenceConvert(src.data(), converted.data(), kCount, s, d);
      std::set<long> deltas = {0,      1,       -1,      2,       -2,  3,   -3,   sn,   -sn,       dn,
                               -dn,    2 * dn + 1, -2 * dn - 1, 2 * sn + 1, -2 * sn - 1, 17, -17, 64, -64,
                               span / 2, -span / 2, span - 1, -span + 1, span + 3, -span - 3};
      for (long delta : deltas) {
        const long so = std::max(0L, -delta);
        const long dof = so + delta;
        const std::size_t total = static_cast<std::size_t>(std::max(so + span, dof + static_cast<long>(kCount) * dn));
        Bytes background(total);
        std::mt19937 rng(static_cast<std::uint32_t>(delta + 1000));
        for (auto& b : background) b = static_cast<std::uint8_t>(rng());
        std::memcpy(background.data() + so, src.data(), src.size());
        Bytes expected = background;
        std::memcpy(expected.data() + dof, converted.data(), converted.size());
        ForEachIsa([&](ConvertIsa) {
          GuardedBuffer buf(total, 3);
          std::memcpy(buf.data(), background.data(), total);
          Convert(buf.data() + so, buf.data() + dof, kCount, s, d);
          const bool same = std::memcmp(buf.data(), expected.data(), total) == 0;
          EXPECT_TRUE(same) << "destination offset " << delta << " bytes from the source";
          if (!same) {
            EXPECT_TRUE(SamplesMatch(src.data(), s, d, converted.data(), buf.data() + dof, kCount))
                << "destination offset " << delta;
          }
          EXPECT_TRUE(buf.GuardsIntact()) << "destination offset " << delta;
        });
      }
    }
  }
}

TEST(SampleConvert, UnsupportedCodesAndZeroCountLeaveTheDestinationUntouched) {
  const SampleCode bad[] = {0x0000, 0x0005, 0x0006, 0x0007, 0x0008, 0x0009, 0x000F, 0x1000, 0x1002, 0x1003,
                            0x1004, 0x2001, 0x3001, 0x3002, 0x2008, 0x4000, 0x4001, 0x4002, 0x4003, 0x5004,
                            0x6002, 0x8001, 0x8002, 0x8004, 0xC004, 0xFFFF};
  for (SampleCode b : bad) ASSERT_FALSE(IsSupportedSampleCode(b)) << CodeName(b);
  constexpr std::size_t kCount = 67;
  Bytes src(kCount * 16);
  for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 29 + 1);
  auto expect_untouched = [&](SampleCode s, SampleCode d, std::size_t count) {
    SCOPED_TRACE(PairName(s, d) + ", count " + std::to_string(count));
    GuardedBuffer in(src.size(), 1);
    std::memcpy(in.data(), src.data(), src.size());
    GuardedBuffer out(src.size(), 3);
    Convert(in.data(), out.data(), count, s, d);
    EXPECT_TRUE(out.AllCanary()) << "destination written";
    EXPECT_EQ(0, std::memcmp(in.data(), src.data(), src.size())) << "source written";
    EXPECT_TRUE(in.GuardsIntact());
    Convert(in.data(), in.data(), count, s, d);
    EXPECT_EQ(0, std::memcmp(in.data(), src.data(), src.size())) << "in-place buffer written";
    EXPECT_TRUE(in.GuardsIntact());
  };
  ForEachIsa([&](ConvertIsa) {
    for (SampleCode b : bad) {
      expect_untouched(b, b, kCount);
      for (SampleCode g : sc::kAll) {
        expect_untouched(b, g, kCount);
        expect_untouched(g, b, kCount);
      }
    }
    for (SampleCode s : sc::kAll)
      for (SampleCode d : sc::kAll) expect_untouched(s, d, 0);
  });
}

TEST(SampleConvert, ByteSwapReversesEveryWordOfOddLengthsAndAlignments) {
  std::mt19937 rng(16);
  for (unsigned width : {2u, 4u, 8u}) {
    for (std::size_t words : {0, 1, 2, 3, 5, 7, 9, 15, 17, 31, 33, 63, 65, 127, 1023}) {
      for (std::size_t misalign : {0, 1, 3, 5}) {
        SCOPED_TRACE("width " + std::to_string(width) + ", words " + std::to_string(words) + ", misalign " +
                     std::to_string(misalign));
        Bytes data(words * width);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        Bytes expected = data;
        for (std::size_t w = 0; w < words; ++w)
          std::reverse(expected.begin() + static_cast<long>(w * width),
                       expected.begin() + static_cast<long>((w + 1) * width));
        GuardedBuffer buf(data.size(), misalign);
        if (!data.empty()) std::memcpy(buf.data(), data.data(), data.size());
        if (width == 2) ByteSwap16(buf.data(), words);
        if (width == 4) ByteSwap32(buf.data(), words);
        if (width == 8) ByteSwap64(buf.data(), words);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buf.data()));
        EXPECT_TRUE(buf.GuardsIntact());
      }
    }
  }
}

TEST(SampleConvert, ForcingAVariantSelectsItOnlyWhenSupported) {
  IsaRestorer restore;
  EXPECT_TRUE(ConvertIsaSupported(ConvertIsa::Scalar));
  EXPECT_TRUE(ConvertIsaSupported(ActiveConvertIsa()));
  // AVX2 machines always have SSE4.1 as well.
  if (ConvertIsaSupported(ConvertIsa::Avx2)) {
    EXPECT_TRUE(ConvertIsaSupported(ConvertIsa::Sse41));
  }
  for (ConvertIsa isa : kIsas) {
    SCOPED_TRACE(IsaName(isa));
    const ConvertIsa before = ActiveConvertIsa();
    const bool forced = ForceConvertIsa(isa);
    EXPECT_EQ(forced, ConvertIsaSupported(isa));
    EXPECT_EQ(ActiveConvertIsa(), forced ? isa : before);
  }
}

}  // namespace
}  // namespace tidemark
