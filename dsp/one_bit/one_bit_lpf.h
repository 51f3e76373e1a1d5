// The decimating low-pass filter of the 1-bit converter: the input
// expanders that present a block of 1-bit data channel by channel, and the
// two-stage filter that turns one block into interleaved float frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/error.h"

namespace tidemark::NS_1BIT {

class CDownSample;

class COneBitLpf {
 public:
  // One block of 1-bit input: bytes_per_channel() bytes of each channel,
  // stored in the file's bit order and mapped through a 256-byte bit-order
  // table so that the first sample of a byte is its most significant bit.
  class CInputBits {
   public:
    CInputBits(const CInputBits&) = delete;
    CInputBits& operator=(const CInputBits&) = delete;
    virtual ~CInputBits() = default;

    // `count` bytes of `channel` from byte `first`, in time order with the
    // first sample in the most significant bit. The range lies inside the block.
    virtual void Bytes(std::uint8_t* dst, std::size_t count, std::size_t first, std::uint16_t channel) const = 0;
    // One float per 1-bit sample from sample `start_bit` of `channel`: +1.0
    // for a 1, -1.0 for a 0.
    void expand(float* dst, std::size_t count, std::uint64_t start_bit, std::uint16_t channel) const;

    std::size_t bytes_per_channel() const { return bytes_per_channel_; }
    std::uint16_t channels() const { return channels_; }

   protected:
    // `bit_order` (256 bytes) must outlive the expander.
    CInputBits(const std::uint8_t* bit_order, std::size_t bytes_per_channel, std::uint16_t channels);
    const std::uint8_t* order_;
    bool identity_;  // the table maps every byte to itself

   private:
    std::size_t bytes_per_channel_;
    std::uint16_t channels_;
  };

  COneBitLpf(const COneBitLpf&) = delete;
  COneBitLpf& operator=(const COneBitLpf&) = delete;
  virtual ~COneBitLpf();

  // Makes the software filter for blocks of `block_length` 1-bit samples per
  // channel: a first stage of `first_length` taps decimating by
  // `first_ratio` (stop band `first_attenuation_db`), then, with two stages,
  // the half-band stage of `second_length` taps (`second_attenuation_db`),
  // scaled by `gain`. `threads` workers at most (also at most 4 and the
  // processor count). There is no graphics-processor variant, so
  // `gpu_off` changes nothing. 77 for lengths, ratios or counts the filter
  // cannot work with; 2.
  [[nodiscard]] static Error Create(std::uint32_t first_length, std::uint32_t first_ratio,
                                    double first_attenuation_db, std::uint32_t second_length,
                                    std::uint32_t stages, double second_attenuation_db, float gain,
                                    std::uint32_t block_length, std::uint16_t channels,
                                    unsigned threads, bool gpu_off, std::unique_ptr<COneBitLpf>* out);

  // Converts one block: `in` holds input_bytes() bytes per channel (the
  // block with its history margins), `out` receives output_frames() frames
  // of channels() interleaved floats. 77 when `in` does not fit the filter.
  [[nodiscard]] virtual Error Process(const CInputBits& in, float* out) = 0;

  // Input bytes per channel of a block: block_length / 8 plus the history of
  // both stages on either side.
  std::size_t input_bytes() const { return input_bytes_; }
  std::size_t output_frames() const { return output_frames_; }
  std::uint16_t channels() const { return channels_; }
  unsigned threads() const { return threads_; }

 protected:
  COneBitLpf() = default;

  std::size_t input_bytes_ = 0;
  std::size_t output_frames_ = 0;
  std::uint16_t channels_ = 0;
  unsigned threads_ = 1;
};

// The processor implementation, with the first stage in `T` precision.
template <typename T>
class COneBitLpf_Std final : public COneBitLpf {
 public:
  COneBitLpf_Std();
  ~COneBitLpf_Std() override;
  [[nodiscard]] Error Init(std::uint32_t first_length, std::uint32_t first_ratio,
                           double first_attenuation_db, std::uint32_t second_length, std::uint32_t stages,
                           double second_attenuation_db, float gain, std::uint32_t block_length,
                           std::uint16_t channels, unsigned threads);
  Error Process(const CInputBits& in, float* out) override;

 private:
  std::uint32_t first_ratio_ = 0;
  std::size_t table_count_ = 0;    // kernel bytes: first_length / 8
  std::size_t stage1_count_ = 0;   // first-stage outputs per channel and block
  std::vector<T> tables_;          // the first stage's byte tables
  bool wide_ = false;              // tables_ serve four outputs per look-up
  std::vector<std::uint8_t> planes_;  // input bytes per channel, time order
  std::vector<T> stage1_;             // first-stage outputs per channel
  std::vector<const T*> rows_;        // where each channel's outputs start
  std::unique_ptr<CDownSample> second_;
};

extern template class COneBitLpf_Std<float>;

// The number of worker threads for a request of `wanted`: at most 4 and the
// processor count, at least 1.
unsigned OneBitFilterThreads(unsigned wanted);

}  // namespace tidemark::NS_1BIT
