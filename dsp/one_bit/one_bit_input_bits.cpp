#include "dsp/one_bit/one_bit_input_bits.h"

#include <array>
#include <cstring>

namespace tidemark::NS_1BIT {
namespace {

using ByteTable = std::array<std::uint8_t, 256>;

ByteTable MakeIdentity() {
  ByteTable t{};
  for (unsigned i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>(i);
  return t;
}

ByteTable MakeReversed() {
  ByteTable t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = 0;
    for (unsigned b = 0; b < 8; ++b)
      if (i & (1u << b)) r |= 0x80u >> b;
    t[i] = static_cast<std::uint8_t>(r);
  }
  return t;
}

const ByteTable kIdentity = MakeIdentity();
const ByteTable kReversed = MakeReversed();

// Four values per nibble, most significant bit first.
struct NibbleValues {
  float v[16][4];
};

NibbleValues MakeNibbles() {
  NibbleValues n{};
  for (unsigned i = 0; i < 16; ++i)
    for (unsigned b = 0; b < 4; ++b) n.v[i][b] = (i & (8u >> b)) ? 1.0f : -1.0f;
  return n;
}

const NibbleValues kNibbles = MakeNibbles();

}  // namespace

const std::uint8_t* IdentityBitOrder() { return kIdentity.data(); }
const std::uint8_t* ReversedBitOrder() { return kReversed.data(); }

COneBitLpf::CInputBits::CInputBits(const std::uint8_t* bit_order, std::size_t bytes_per_channel,
                                   std::uint16_t channels)
    : order_(bit_order),
      identity_(std::memcmp(bit_order, kIdentity.data(), 256) == 0),
      bytes_per_channel_(bytes_per_channel),
      channels_(channels) {}

void COneBitLpf::CInputBits::expand(float* dst, std::size_t count, std::uint64_t start_bit,
                                    std::uint16_t channel) const {
  constexpr std::size_t kChunk = 256;
  std::uint8_t bytes[kChunk];
  std::size_t byte = static_cast<std::size_t>(start_bit / 8);
  unsigned bit = static_cast<unsigned>(start_bit % 8);
  while (count > 0) {
    const std::size_t wanted = (bit + count + 7) / 8;
    const std::size_t n = wanted < kChunk ? wanted : kChunk;
    Bytes(bytes, n, byte, channel);
    for (std::size_t i = 0; i < n && count > 0; ++i) {
      const std::uint8_t b = bytes[i];
      if (bit == 0 && count >= 8) {
        std::memcpy(dst, kNibbles.v[b >> 4], sizeof(float) * 4);
        std::memcpy(dst + 4, kNibbles.v[b & 15], sizeof(float) * 4);
        dst += 8;
        count -= 8;
        continue;
      }
      for (; bit < 8 && count > 0; ++bit, --count) *dst++ = (b & (0x80u >> bit)) ? 1.0f : -1.0f;
      bit = 0;
    }
    byte += n;
  }
}

void CInputBitsStd::Bytes(std::uint8_t* dst, std::size_t count, std::size_t first, std::uint16_t channel) const {
  const std::size_t stride = channels();
  const std::uint8_t* src = data_ + first * stride + channel;
  if (stride == 1 && identity_) {
    std::memcpy(dst, src, count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) dst[i] = order_[src[i * stride]];
}

void CInputBitsDsf::Bytes(std::uint8_t* dst, std::size_t count, std::size_t first, std::uint16_t channel) const {
  const std::uint8_t* src = planes_[channel] + first;
  if (identity_) {
    std::memcpy(dst, src, count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) dst[i] = order_[src[i]];
}

}  // namespace tidemark::NS_1BIT
