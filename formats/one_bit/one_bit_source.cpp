#include "formats/one_bit/one_bit_source.h"

#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/core_options.h"
#include "core/samples/sample_convert.h"
#include "formats/chunks/internal/input_file.h"
#include "dsp/one_bit/one_bit_input_bits.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

std::mutex& ListMutex() {
  static std::mutex mutex;
  return mutex;
}

// Every converting source alive; a source leaves it at its last release.
std::vector<OneBitSource*>& List() {
  static std::vector<OneBitSource*> list;
  return list;
}

const std::uint8_t* BitOrderFor(OneBitLayout layout) {
  return layout == OneBitLayout::kDsfLsbFirst ? ReversedBitOrder() : IdentityBitOrder();
}

// Silence is the alternating pattern 1, 0, 1, 0 in time order: 0xAA stored
// most significant bit first, 0x55 stored least significant bit first.
std::uint8_t SilenceFor(OneBitLayout layout) { return layout == OneBitLayout::kDsfLsbFirst ? 0x55 : 0xAA; }

constexpr std::size_t kZeroFrames = 1024;

// One past the last file byte a source reads (saturating): the end of the
// data when it is interleaved; with DSF blocks, the last byte of the last
// channel in the last block group, which may end before the group's padding.
std::uint64_t DataEnd(std::uint64_t offset, std::uint64_t size, std::uint16_t channels, bool dsf) {
  unsigned __int128 end = offset;
  const std::uint64_t per_channel = size / channels;
  if (!dsf) {
    end += size;
  } else if (per_channel != 0) {
    const std::uint64_t last_group = (per_channel - 1) / kDsfBlockBytes;
    end += static_cast<unsigned __int128>(last_group) * kDsfBlockBytes * channels +
           std::uint64_t{kDsfBlockBytes} * (channels - 1u) + (per_channel - last_group * kDsfBlockBytes);
  }
  return end > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(end);
}

}  // namespace

OneBitSource::OneBitSource(std::string path, std::uint64_t data_offset, std::uint64_t data_size,
                           std::uint32_t one_bit_rate, std::uint16_t channels, OneBitLayout layout,
                           const OneBitPlan& plan)
    : path_(std::move(path)),
      data_offset_(data_offset),
      data_size_(data_size),
      one_bit_rate_(one_bit_rate),
      channels_(channels),
      layout_(layout),
      order_(BitOrderFor(layout)),
      silence_(SilenceFor(layout)),
      plan_(plan),
      pcm_rate_(plan.pcm_rate),
      frames_(plan.frames) {}

OneBitSource::~OneBitSource() = default;

Error OneBitSource::Create(const std::string& path, std::uint64_t data_offset, std::uint64_t data_size,
                           std::uint32_t one_bit_rate, std::uint16_t channels, OneBitLayout layout,
                           bool max_48k, SourceRef* out) {
  if (channels == 0) return err::kUnsupportedFormat;
  data_size -= data_size % channels;
  OneBitPlan plan;
  if (const Error rc = MakeOneBitPlan(one_bit_rate, channels, layout == OneBitLayout::kByteInterleaved,
                                              max_48k, data_size / channels, &plan))
    return rc;
  {
    // A file that is gone or cut short shows now, with its own error, not at
    // some later read.
    PosixFile file;
    std::uint64_t length = 0;
    if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
    if (length < DataEnd(data_offset, data_size, channels, layout != OneBitLayout::kByteInterleaved))
      return err::kReadFailed;
  }
  SourceRef ref;
  const Error rc = TryAlloc([&] {
    ref = SourceRef::Adopt(new OneBitSource(path, data_offset, data_size, one_bit_rate, channels, layout, plan));
    const std::lock_guard<std::mutex> lock(ListMutex());
    List().push_back(static_cast<OneBitSource*>(ref.get()));
  });
  if (rc) return rc;  // `ref`, when made, is released unlisted
  *out = std::move(ref);
  return err::kOk;
}

Error OneBitSource::Create(const std::string& path, std::uint64_t data_offset, std::uint64_t data_size,
                           std::uint32_t one_bit_rate, std::uint16_t channels, OneBitLayout layout,
                           SourceRef* out) {
  return Create(path, data_offset, data_size, one_bit_rate, channels, layout, GetCoreOptions().one_bit_output_max_48k,
                out);
}

void OneBitSource::Retire() noexcept {
  const std::lock_guard<std::mutex> lock(ListMutex());
  auto& list = List();
  const auto it = std::find(list.begin(), list.end(), this);
  if (it != list.end()) list.erase(it);
}

Error OneBitSource::Serialize(ChunkWriter& writer) {
  (void)writer;
  return err::kSizeLimit;
}

OneBitPlan OneBitSource::plan() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return plan_;
}

bool OneBitSource::is_open() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return lpf_ != nullptr;
}

unsigned OneBitSource::threads() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return lpf_ ? lpf_->threads() : 0;
}

Error OneBitSource::Replan(bool max_48k) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (lpf_) return err::kSizeLimit;
  OneBitPlan plan;
  if (const Error rc = MakeOneBitPlan(one_bit_rate_, channels_, layout_ == OneBitLayout::kByteInterleaved,
                                              max_48k, bytes_per_channel(), &plan))
    return rc;
  plan_ = plan;
  pcm_rate_.store(plan.pcm_rate, std::memory_order_relaxed);
  frames_.store(plan.frames, std::memory_order_relaxed);
  return err::kOk;
}

void OneBitSource::Close() {
  const std::lock_guard<std::mutex> lock(mutex_);
  CloseLocked();
}

void OneBitSource::CloseLocked() {
  (void)file_.Close();
  lpf_.reset();
  std::vector<std::uint8_t>().swap(input_);
  std::vector<float>().swap(block_);
  std::vector<std::uint8_t>().swap(group_);
  held_block_ = kNone;
  held_group_ = kNone;
}

std::size_t OneBitSource::buffer_bytes() const { return plan_.block_length / 8 + 2 * std::size_t{plan_.history}; }

Error OneBitSource::OpenLocked() {
  std::uint64_t length = 0;
  if (const Error rc = OpenInputFile(path_, &file_, &length)) return rc;
  const OneBitPlan& p = plan_;
  std::unique_ptr<COneBitLpf> lpf;
  const int max_threads = omp_get_max_threads();
  if (const Error rc = COneBitLpf::Create(
          p.first_length, p.first_ratio, kFirstStageAttenuationDb, p.second_length, p.stages,
          kSecondStageAttenuationDb, kOneBitOutputGain, p.block_length, channels_,
          static_cast<unsigned>(max_threads > 0 ? max_threads : 1), true, &lpf)) {
    CloseLocked();
    return rc;
  }
  if (lpf->input_bytes() > buffer_bytes() || lpf->output_frames() != p.block_frames) {
    CloseLocked();
    return err::kSizeLimit;
  }
  const Error rc = TryAlloc([&] {
    input_.assign(buffer_bytes() * channels_, silence_);
    block_.assign(std::size_t{p.block_frames} * channels_, 0.0f);
    if (dsf()) group_.assign(std::size_t{kDsfBlockBytes} * channels_, silence_);
  });
  if (rc) {
    CloseLocked();
    return rc;
  }
  lpf_ = std::move(lpf);
  return err::kOk;
}

Error OneBitSource::LoadGroup(std::uint64_t group) {
  if (group == held_group_) return err::kOk;
  held_group_ = kNone;
  const std::size_t bytes = group_.size();
  std::size_t done = 0;
  if (const Error rc = file_.ReadAt(group_.data(), bytes, data_offset_ + group * bytes, &done)) return rc;
  // The last group may end early in the file; only the bytes of the data
  // matter, and the last channel's must all be there.
  const std::uint64_t in_group = std::min<std::uint64_t>(kDsfBlockBytes, bytes_per_channel() - group * kDsfBlockBytes);
  if (done < std::size_t{kDsfBlockBytes} * (channels_ - 1u) + in_group) return err::kReadFailed;
  held_group_ = group;
  return err::kOk;
}

Error OneBitSource::FillDsf(std::int64_t start, std::size_t from) {
  const std::size_t size = buffer_bytes();
  for (std::uint16_t c = 0; c < channels_; ++c)
    std::memset(input_.data() + c * size + from, silence_, size - from);
  const std::int64_t d = static_cast<std::int64_t>(bytes_per_channel());
  const std::int64_t lo = std::max<std::int64_t>(start + static_cast<std::int64_t>(from), 0);
  const std::int64_t hi = std::min<std::int64_t>(start + static_cast<std::int64_t>(size), d);
  if (lo >= hi) return err::kOk;
  if (static_cast<std::uint64_t>(hi) > kDsfReachLimit) return err::kReadFailed;
  const std::uint64_t g0 = static_cast<std::uint64_t>(lo) / kDsfBlockBytes;
  const std::uint64_t g1 = static_cast<std::uint64_t>(hi - 1) / kDsfBlockBytes;
  for (std::uint64_t g = g0; g <= g1; ++g) {
    if (const Error rc = LoadGroup(g)) return rc;
    const std::int64_t base = static_cast<std::int64_t>(g * kDsfBlockBytes);
    const std::int64_t a = std::max(lo, base);
    const std::int64_t b = std::min<std::int64_t>(hi, base + kDsfBlockBytes);
    for (std::uint16_t c = 0; c < channels_; ++c)
      std::memcpy(input_.data() + c * size + static_cast<std::size_t>(a - start),
                  group_.data() + std::size_t{c} * kDsfBlockBytes + static_cast<std::size_t>(a - base),
                  static_cast<std::size_t>(b - a));
  }
  return err::kOk;
}

Error OneBitSource::FillInterleaved(std::int64_t start, std::size_t from) {
  const std::size_t size = buffer_bytes();
  const std::size_t ch = channels_;
  std::memset(input_.data() + from * ch, silence_, (size - from) * ch);
  const std::int64_t d = static_cast<std::int64_t>(bytes_per_channel());
  const std::int64_t lo = std::max<std::int64_t>(start + static_cast<std::int64_t>(from), 0);
  const std::int64_t hi = std::min<std::int64_t>(start + static_cast<std::int64_t>(size), d);
  if (lo >= hi) return err::kOk;
  const std::size_t bytes = static_cast<std::size_t>(hi - lo) * ch;
  std::size_t done = 0;
  if (const Error rc = file_.ReadAt(input_.data() + static_cast<std::size_t>(lo - start) * ch, bytes,
                                            data_offset_ + static_cast<std::uint64_t>(lo) * ch, &done))
    return rc;
  return done == bytes ? err::kOk : err::kReadFailed;
}

Error OneBitSource::ConvertBlock(std::uint64_t block) {
  if (block == held_block_) return err::kOk;
  const std::size_t size = buffer_bytes();
  const std::size_t overlap = 2 * std::size_t{plan_.history};
  std::size_t from = 0;
  // The next block in order starts 2 x H bytes before the end of this one:
  // those bytes are already here.
  if (held_block_ != kNone && block == held_block_ + 1) {
    if (dsf()) {
      for (std::uint16_t c = 0; c < channels_; ++c) {
        std::uint8_t* plane = input_.data() + c * size;
        std::memmove(plane, plane + size - overlap, overlap);
      }
    } else {
      std::memmove(input_.data(), input_.data() + (size - overlap) * channels_, overlap * channels_);
    }
    from = overlap;
  }
  held_block_ = kNone;
  const std::int64_t start =
      static_cast<std::int64_t>(block * (plan_.block_length / 8)) - static_cast<std::int64_t>(plan_.history);
  if (const Error rc = dsf() ? FillDsf(start, from) : FillInterleaved(start, from)) return rc;
  Error rc = err::kOk;
  if (dsf()) {
    const std::uint8_t* planes[kMaxOneBitChannels];
    for (std::uint16_t c = 0; c < channels_; ++c) planes[c] = input_.data() + c * size;
    const CInputBitsDsf in(planes, size, channels_, order_);
    rc = lpf_->Process(in, block_.data());
  } else {
    const CInputBitsStd in(input_.data(), size, channels_, order_);
    rc = lpf_->Process(in, block_.data());
  }
  if (rc) return rc;
  held_block_ = block;
  return err::kOk;
}

Error OneBitSource::Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) {
  if (!IsSupportedSampleCode(dst_code)) return err::kSizeLimit;
  if (count == 0) return err::kOk;
  const std::lock_guard<std::mutex> lock(mutex_);
  const std::size_t frame_bytes = std::size_t{channels_} * BytesPerSample(dst_code);
  const std::uint64_t fpb = plan_.block_frames;
  const std::uint64_t frames = plan_.frames;
  const std::uint64_t end = std::uint64_t{first} + count;
  auto* out = static_cast<std::uint8_t*>(dst);
  std::uint64_t f = first;
  while (f < end && f < frames) {
    const std::uint64_t block = f / fpb;
    const std::uint64_t in_block = f % fpb;
    const std::uint64_t n = std::min({fpb - in_block, end - f, frames - f});
    if (dsf() && block != held_block_) {
      // The block's last data byte of a channel must lie within reach.
      const std::uint64_t reach = std::min<std::uint64_t>((block + 1) * (plan_.block_length / 8) + plan_.history,
                                                          bytes_per_channel());
      if (reach > kDsfReachLimit) return err::kReadFailed;
    }
    if (!lpf_)
      if (const Error rc = OpenLocked()) return rc;
    if (const Error rc = ConvertBlock(block)) return rc;
    Convert(block_.data() + in_block * channels_, out, static_cast<std::size_t>(n) * channels_, sample_code::kFloat,
            dst_code);
    out += n * frame_bytes;
    f += n;
  }
  if (f < end) {
    static const float kZeros[kZeroFrames * kMaxOneBitChannels] = {};
    while (f < end) {
      const std::uint64_t n = std::min<std::uint64_t>(end - f, kZeroFrames);
      Convert(kZeros, out, static_cast<std::size_t>(n) * channels_, sample_code::kFloat, dst_code);
      out += n * frame_bytes;
      f += n;
    }
  }
  return err::kOk;
}

OneBitSource* AsOneBitSource(SoundSource* source) {
  return source && source->kind() == SourceKind::OneBit ? static_cast<OneBitSource*>(source) : nullptr;
}

const OneBitSource* AsOneBitSource(const SoundSource* source) {
  return source && source->kind() == SourceKind::OneBit ? static_cast<const OneBitSource*>(source) : nullptr;
}

std::size_t OneBitSourceCount() {
  const std::lock_guard<std::mutex> lock(ListMutex());
  return List().size();
}

}  // namespace tidemark::NS_1BIT
