// The converting source of a document opened from a 1-bit file: it reads
// 32-bit float frames computed on demand, block by block, from the file's
// 1-bit data through the decimating low-pass filter.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/sources/sound_source.h"
#include "formats/one_bit/internal/one_bit_layout.h"
#include "dsp/one_bit/one_bit_lpf.h"
#include "dsp/one_bit/one_bit_plan.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark::NS_1BIT {

// The farthest a DSF read may reach, in bytes of one channel.
inline constexpr std::uint64_t kDsfReachLimit = 0x80000000000ull;

class OneBitSource final : public SoundSource {
 public:
  // Makes a closed source over `data_size` bytes (all channels; rounded down
  // to a multiple of the channel count) of 1-bit data at `data_offset` of
  // `path`, with the plan for `one_bit_rate` computed, and lists it. The
  // file is opened only to check that it holds every byte the source will
  // read; it stays closed until the first read. `max_48k` limits the output
  // rate to 48 kHz (the second form takes the process-wide option). 15 for a
  // rate or channel count no plan exists for; 25 when the file cannot be
  // opened; 8 when it ends before the data does (or its length cannot be
  // read); 2.
  [[nodiscard]] static Error Create(const std::string& path, std::uint64_t data_offset,
                                    std::uint64_t data_size, std::uint32_t one_bit_rate,
                                    std::uint16_t channels, OneBitLayout layout, bool max_48k,
                                    SourceRef* out);
  [[nodiscard]] static Error Create(const std::string& path, std::uint64_t data_offset,
                                    std::uint64_t data_size, std::uint32_t one_bit_rate,
                                    std::uint16_t channels, OneBitLayout layout, SourceRef* out);

  // Frames from `first` converted to `dst_code`; frames at or past frames()
  // read as silence. 77 for an unsupported code; the file's errors (25, 8);
  // 8 for a DSF block reaching past kDsfReachLimit; 2. The first read opens
  // the file and makes the filter and buffers.
  Error Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) override;
  // A workspace has no record for a converting source: 77.
  Error Serialize(ChunkWriter& writer) override;
  SourceKind kind() const override { return SourceKind::OneBit; }
  std::uint32_t rate() const override { return pcm_rate_.load(std::memory_order_relaxed); }
  std::uint16_t channels() const override { return channels_; }

  std::uint32_t frames() const { return frames_.load(std::memory_order_relaxed); }
  OneBitPlan plan() const;
  // Recomputes the plan for `max_48k`: 0, 15, or 77 while open (after a
  // read and before Close).
  [[nodiscard]] Error Replan(bool max_48k);
  // Closes the file and frees the filter and buffers; the next read opens
  // them again.
  void Close();
  bool is_open() const;
  // The filter's worker threads while open, else 0.
  unsigned threads() const;

  const std::string& path() const { return path_; }
  std::uint64_t data_offset() const { return data_offset_; }
  std::uint64_t data_size() const { return data_size_; }
  std::uint32_t one_bit_rate() const { return one_bit_rate_; }
  OneBitLayout layout() const { return layout_; }
  // The byte that stands for silence in the stored data.
  std::uint8_t silence_byte() const { return silence_; }

 private:
  OneBitSource(std::string path, std::uint64_t data_offset, std::uint64_t data_size, std::uint32_t one_bit_rate,
               std::uint16_t channels, OneBitLayout layout, const OneBitPlan& plan);
  ~OneBitSource() override;
  void Retire() noexcept override;

  bool dsf() const { return layout_ != OneBitLayout::kByteInterleaved; }
  std::uint64_t bytes_per_channel() const { return data_size_ / channels_; }
  std::size_t buffer_bytes() const;  // input bytes per channel of a block
  Error OpenLocked();
  void CloseLocked();
  Error ConvertBlock(std::uint64_t block);
  Error FillInterleaved(std::int64_t start, std::size_t from);
  Error FillDsf(std::int64_t start, std::size_t from);
  Error LoadGroup(std::uint64_t group);

  const std::string path_;
  const std::uint64_t data_offset_;
  const std::uint64_t data_size_;
  const std::uint32_t one_bit_rate_;
  const std::uint16_t channels_;
  const OneBitLayout layout_;
  const std::uint8_t* const order_;  // the 256-byte bit-order table
  const std::uint8_t silence_;

  mutable std::mutex mutex_;  // one reader at a time; the plan
  OneBitPlan plan_;
  // Copies of the plan's figures for readers that do not take the lock.
  std::atomic<std::uint32_t> pcm_rate_;
  std::atomic<std::uint32_t> frames_;
  PosixFile file_;
  std::unique_ptr<COneBitLpf> lpf_;  // set while open
  std::vector<std::uint8_t> input_;  // the block's bytes with margins
  std::vector<float> block_;         // the converted block, interleaved
  std::vector<std::uint8_t> group_;  // DSF: one block group of all channels
  static constexpr std::uint64_t kNone = ~std::uint64_t{0};
  std::uint64_t held_block_ = kNone;  // the block in input_ and block_
  std::uint64_t held_group_ = kNone;
};

// The converting source behind `source`, or null for other kinds.
OneBitSource* AsOneBitSource(SoundSource* source);
const OneBitSource* AsOneBitSource(const SoundSource* source);

// Number of converting sources alive in the process.
std::size_t OneBitSourceCount();

}  // namespace tidemark::NS_1BIT
