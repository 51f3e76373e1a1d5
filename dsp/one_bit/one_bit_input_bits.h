// The input expanders of the 1-bit converter for the two data layouts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/one_bit/one_bit_lpf.h"

namespace tidemark::NS_1BIT {

// Byte-interleaved data (DSDIFF, WSD): byte i of channel c at i x channels + c.
class CInputBitsStd final : public COneBitLpf::CInputBits {
 public:
  CInputBitsStd(const std::uint8_t* data, std::size_t bytes_per_channel, std::uint16_t channels,
                const std::uint8_t* bit_order)
      : CInputBits(bit_order, bytes_per_channel, channels), data_(data) {}
  void Bytes(std::uint8_t* dst, std::size_t count, std::size_t first, std::uint16_t channel) const override;

 private:
  const std::uint8_t* data_;
};

// De-interleaved DSF data: each channel's bytes contiguous in its own plane.
class CInputBitsDsf final : public COneBitLpf::CInputBits {
 public:
  CInputBitsDsf(const std::uint8_t* const* planes, std::size_t bytes_per_channel, std::uint16_t channels,
                const std::uint8_t* bit_order)
      : CInputBits(bit_order, bytes_per_channel, channels), planes_(planes) {}
  void Bytes(std::uint8_t* dst, std::size_t count, std::size_t first, std::uint16_t channel) const override;

 private:
  const std::uint8_t* const* planes_;
};

// The 256-byte bit-order tables: every byte to itself, and every byte to its
// bit reversal (for data stored least significant bit first).
const std::uint8_t* IdentityBitOrder();
const std::uint8_t* ReversedBitOrder();

}  // namespace tidemark::NS_1BIT
