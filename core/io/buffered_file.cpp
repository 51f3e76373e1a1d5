#include "core/io/buffered_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/core_options.h"
#include "core/io/pcm_header.h"
#include "core/io/internal/read_ahead.h"
#include "core/samples/sample_convert.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/system_info.h"

namespace tidemark {
namespace {

constexpr std::uint32_t kSmallCapacity = 0x40000;
constexpr std::uint32_t kMinReadGranularity = 65536;
constexpr std::uint64_t kMaxTotalBytes = 0xFFFFFFFEu;
constexpr std::size_t kStagingBytes = 4096;

std::uint64_t (*g_memory_query)() = nullptr;

std::uint64_t PhysicalMemory() { return g_memory_query ? g_memory_query() : PhysicalMemoryBytes(); }

bool IsPowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// The error number of an open that failed with PosixFile's `rc`.
Error OpenError(Error rc, int os_errno, bool open_always) {
  if (rc == err::kOutOfMemory) return err::kOutOfMemory;
  if (os_errno == ENAMETOOLONG) return err::kCannotOpen;
  return open_always ? err::kCreateFailed : err::kCannotOpen;
}

bool IsPlaneCode(SampleCode code) { return code == sample_code::kFloat || code == sample_code::kDouble; }

}  // namespace

std::uint32_t BufferedFileCacheCapacity(std::uint32_t flags, std::uint64_t memory_bytes) {
  const bool big = (flags & buffered_open::kWrite) && !(flags & buffered_open::kSmallCache);
  if (!big) return kSmallCapacity;
  if (memory_bytes <= 0x10000000u) return 0x200000;
  if (memory_bytes >= 0x40000000u) return 0x800000;
  std::uint32_t capacity = 0x800000;
  while (capacity > 0x200000 && memory_bytes < std::uint64_t{capacity} * 128) capacity /= 2;
  return capacity;
}

void SetPhysicalMemoryQueryForTesting(std::uint64_t (*query)()) { g_memory_query = query; }

BufferedFile::BufferedFile() = default;

BufferedFile::~BufferedFile() { (void)Close(); }

void BufferedFile::Reset() {
  transfer_.reset();
  write_behind_ = false;
  behind_offset_ = 0;
  behind_valid_ = 0;
  behind_error_ = err::kOk;
  windows_behind_ = 0;
  file_ = PosixFile();
  path_.clear();
  flags_ = 0;
  sector_mask_ = read_mask_ = 0;
  physical_size_ = disk_size_ = logical_end_ = position_ = 0;
  cache_.Release();
  spare_.Release();
  scratch_.Release();
  capacity_ = 0;
  window_offset_ = 0;
  window_valid_ = 0;
  dirty_ = size_changed_ = disk_full_ = false;
}

Error BufferedFile::Open(const std::string& path, std::uint32_t flags) {
  if (is_open()) (void)Close();
  Reset();
  const bool reading = flags & buffered_open::kRead;
  const bool writing = flags & buffered_open::kWrite;
  const bool open_always = flags & buffered_open::kOpenAlways;
  if ((!reading && !writing) || path.empty() || path.size() >= PATH_MAX) return err::kCannotOpen;

  FileOpenOptions options;
  // Writing needs reads too: partial sectors are merged with what is on disk.
  options.access = writing ? FileAccess::kReadWrite : FileAccess::kRead;
  options.disposition = open_always ? FileDisposition::kOpenAlways : FileDisposition::kOpenExisting;
  options.delete_on_close = flags & buffered_open::kDeleteOnClose;
  options.try_direct = true;
  if (const Error rc = file_.Open(path, options))
    return OpenError(rc, file_.last_errno(), open_always);

  struct stat st {};
  std::uint64_t size = 0;
  if (fstat(file_.fd(), &st) != 0 || !S_ISREG(st.st_mode) || file_.Size(&size) != err::kOk) {
    file_ = PosixFile();
    return open_always ? err::kCreateFailed : err::kCannotOpen;
  }

  const std::uint32_t capacity = BufferedFileCacheCapacity(flags, PhysicalMemory());
  VolumeInfo volume;
  if (file_.QueryVolume(&volume) != err::kOk || !IsPowerOfTwo(volume.sector_size) ||
      volume.sector_size > capacity) {
    file_ = PosixFile();
    return err::kSectorSize;
  }
  if (cache_.Allocate(capacity) != err::kOk || scratch_.Allocate(volume.sector_size) != err::kOk) {
    Reset();
    return err::kOutOfMemory;
  }
  if ((flags & buffered_open::kReadAhead) && reading && !writing) {
    if (TryAlloc([&] { transfer_ = std::make_unique<BackgroundTransfer>(); }) != err::kOk ||
        spare_.Allocate(capacity) != err::kOk || transfer_->Start() != err::kOk) {
      Reset();
      return err::kOutOfMemory;
    }
  }
  // The helper and the spare block come with the first full window.
  write_behind_ = (flags & buffered_open::kWriteBehind) && writing;
  path_ = path;
  flags_ = flags;
  capacity_ = capacity;
  sector_mask_ = volume.sector_size - 1;
  read_mask_ = std::max(volume.sector_size, kMinReadGranularity) - 1;
  physical_size_ = disk_size_ = static_cast<std::int64_t>(size);
  return err::kOk;
}

Error BufferedFile::FlushWindow() {
  if (const Error rc = FinishWriteBehind()) return rc;
  if (!dirty_) return err::kOk;
  const std::uint32_t valid = window_valid_;
  const auto rounded = static_cast<std::uint32_t>(RoundUpToSector(valid));
  const std::int64_t end = window_offset_ + rounded;
  // After a disk-full failure nothing that needs new space is tried again.
  if (disk_full_ && end > disk_size_) return err::kDiskFull;

  std::byte* data = cache_.data();
  if (rounded > valid) {
    const std::uint32_t tail = valid & ~sector_mask_;  // start of the last, partial sector
    std::size_t got = 0;
    if (window_offset_ + tail < disk_size_) {
      if (file_.ReadAt(scratch_.data(), sector_mask_ + 1, window_offset_ + tail, &got) != err::kOk)
        return err::kReadFailed;
    }
    const std::uint32_t from_disk = std::max<std::uint32_t>(static_cast<std::uint32_t>(got), valid - tail);
    std::memcpy(data + valid, scratch_.data() + (valid - tail), from_disk - (valid - tail));
    std::memset(data + tail + from_disk, 0, rounded - tail - from_disk);
  }

  std::size_t done = 0;
  const Error rc = file_.WriteAt(data, rounded, window_offset_, &done);
  if (done > 0 && window_offset_ + static_cast<std::int64_t>(done) > disk_size_) {
    disk_size_ = window_offset_ + static_cast<std::int64_t>(done);
    size_changed_ = true;
  }
  if (rc != err::kOk) {
    if (rc == err::kDiskFull) disk_full_ = true;
    return rc == err::kDiskFull || rc == err::kOutOfMemory ? rc : err::kWriteFailed;
  }
  physical_size_ = std::max(physical_size_, window_offset_ + valid);
  dirty_ = false;
  return err::kOk;
}

// Waits for the window written behind and books it as FlushWindow does;
// a failure stays with the file.
Error BufferedFile::FinishWriteBehind() {
  if (behind_error_) return behind_error_;
  if (!write_behind_ || !transfer_ || !transfer_->in_flight()) return err::kOk;
  std::size_t done = 0;
  const Error rc = transfer_->Wait(&done);
  if (done > 0 && behind_offset_ + static_cast<std::int64_t>(done) > disk_size_) {
    disk_size_ = behind_offset_ + static_cast<std::int64_t>(done);
    size_changed_ = true;
  }
  if (rc != err::kOk) {
    if (rc == err::kDiskFull) disk_full_ = true;
    behind_error_ = rc == err::kDiskFull || rc == err::kOutOfMemory ? rc : err::kWriteFailed;
    return behind_error_;
  }
  physical_size_ = std::max(physical_size_, behind_offset_ + behind_valid_);
  return err::kOk;
}

// Hands the full, dirty window (whole sectors) to the helper after the one
// before it is done, and goes on in the spare block; without a helper or a
// spare block the window is written in place.
Error BufferedFile::WriteWindowBehind() {
  if (const Error rc = FinishWriteBehind()) return rc;
  if (!transfer_) {
    if (TryAlloc([&] { transfer_ = std::make_unique<BackgroundTransfer>(); }) != err::kOk ||
        spare_.Allocate(capacity_) != err::kOk || transfer_->Start() != err::kOk) {
      transfer_.reset();
      spare_.Release();
      write_behind_ = false;
      return FlushWindow();
    }
  }
  // Where a full window must be reserved, FlushWindow refuses it.
  if (disk_full_ && window_offset_ + capacity_ > disk_size_) return err::kDiskFull;
  transfer_->RequestWrite(&file_, cache_.data(), capacity_, static_cast<std::uint64_t>(window_offset_));
  behind_offset_ = window_offset_;
  behind_valid_ = window_valid_;
  ++windows_behind_;
  std::swap(cache_, spare_);
  dirty_ = false;
  window_valid_ = 0;
  return err::kOk;
}

// Moves the window to the position for writing: a new window starts at the
// sector holding the position, its bytes before the position taken from disk.
Error BufferedFile::StartWriteWindow() {
  // Sequential writing past a full window: that window goes to disk behind.
  const bool sequential = write_behind_ && dirty_ && window_valid_ == capacity_ && position_ == CachedEnd();
  if (const Error rc = sequential ? WriteWindowBehind() : FlushWindow()) return rc;
  const std::int64_t start = position_ & ~static_cast<std::int64_t>(sector_mask_);
  const auto gap = static_cast<std::uint32_t>(position_ - start);
  window_offset_ = start;
  window_valid_ = 0;
  if (gap > 0) {
    std::size_t got = 0;
    if (start < disk_size_ &&
        file_.ReadAt(cache_.data(), sector_mask_ + 1, static_cast<std::uint64_t>(start), &got) != err::kOk)
      return err::kReadFailed;
    if (got < gap) std::memset(cache_.data() + got, 0, gap - got);
    window_valid_ = gap;
  }
  return err::kOk;
}

Error BufferedFile::Write(const void* buffer, std::size_t n) {
  if (!is_open() || !(flags_ & buffered_open::kWrite)) return err::kCannotOpen;
  const auto* src = static_cast<const std::byte*>(buffer);
  while (n > 0) {
    const std::int64_t in_window = position_ - window_offset_;
    if (in_window < 0 || in_window > window_valid_ || in_window >= capacity_) {
      if (const Error rc = StartWriteWindow()) return rc;
      continue;
    }
    const auto at = static_cast<std::uint32_t>(in_window);
    const std::size_t k = std::min<std::size_t>(n, capacity_ - at);
    std::memcpy(cache_.data() + at, src, k);
    window_valid_ = std::max<std::uint32_t>(window_valid_, at + static_cast<std::uint32_t>(k));
    dirty_ = true;
    src += k;
    n -= k;
    position_ += static_cast<std::int64_t>(k);
  }
  return err::kOk;
}

// Loads the window for reading at the position, `wanted` bytes being asked for.
Error BufferedFile::FillWindow(std::size_t wanted) {
  if (transfer_ && !write_behind_) return FillWindowReadAhead();
  if (const Error rc = FlushWindow()) return rc;
  std::uint32_t keep = 0;  // bytes of the window that stay
  if (position_ == CachedEnd() && window_valid_ < capacity_) {
    keep = window_valid_ & ~sector_mask_;  // transfers start on a sector
  } else {
    window_offset_ = position_ & ~static_cast<std::int64_t>(read_mask_);
    window_valid_ = 0;
  }
  const std::uint64_t request_end = static_cast<std::uint64_t>(position_ - window_offset_) + wanted;
  std::uint64_t end = (request_end + read_mask_) & ~std::uint64_t{read_mask_};
  end = std::min<std::uint64_t>(end, capacity_);
  end = std::min<std::uint64_t>(end, RoundUpToSector(static_cast<std::uint64_t>(physical_size_ - window_offset_)));
  if (end <= keep) return err::kReadFailed;
  std::size_t got = 0;
  const Error rc = file_.ReadAt(cache_.data() + keep, end - keep, window_offset_ + keep, &got);
  if (rc != err::kOk) {
    window_valid_ = 0;  // the bytes may be half overwritten
    return rc == err::kOutOfMemory ? rc : err::kReadFailed;
  }
  const std::int64_t data_in_window = physical_size_ - window_offset_;
  const auto valid = static_cast<std::uint32_t>(std::min<std::int64_t>(keep + got, data_in_window));
  window_valid_ = std::max(window_valid_, valid);
  return position_ < CachedEnd() ? err::kOk : err::kReadFailed;
}

Error BufferedFile::WaitReadAhead(std::size_t* done) {
  *done = 0;
  if (!transfer_ || !transfer_->in_flight()) return err::kReadFailed;
  return transfer_->Wait(done);
}

void BufferedFile::RequestNextBlock() {
  const std::int64_t next = CachedEnd();
  if (window_valid_ != capacity_ || next >= physical_size_) return;
  const std::uint64_t length =
      std::min<std::uint64_t>(capacity_, RoundUpToSector(static_cast<std::uint64_t>(physical_size_ - next)));
  transfer_->Request(&file_, spare_.data(), length, static_cast<std::uint64_t>(next));
}

Error BufferedFile::FillWindowReadAhead() {
  // A read-ahead reader never writes, so the window is never dirty.
  const bool had_request = transfer_->in_flight();
  const std::int64_t spare_offset = static_cast<std::int64_t>(transfer_->offset());
  std::size_t got = 0;
  const Error spare_rc = WaitReadAhead(&got);
  if (had_request && spare_rc == err::kOk && position_ >= spare_offset &&
      position_ < spare_offset + static_cast<std::int64_t>(got) && position_ < physical_size_) {
    std::swap(cache_, spare_);
    window_offset_ = spare_offset;
    window_valid_ = static_cast<std::uint32_t>(std::min<std::int64_t>(got, physical_size_ - spare_offset));
  } else {
    window_offset_ = position_ & ~static_cast<std::int64_t>(read_mask_);
    window_valid_ = 0;
    const std::uint64_t length = std::min<std::uint64_t>(
        capacity_, RoundUpToSector(static_cast<std::uint64_t>(physical_size_ - window_offset_)));
    got = 0;
    const Error rc =
        file_.ReadAt(cache_.data(), length, static_cast<std::uint64_t>(window_offset_), &got);
    if (rc != err::kOk) return rc == err::kOutOfMemory ? rc : err::kReadFailed;
    window_valid_ = static_cast<std::uint32_t>(std::min<std::int64_t>(got, physical_size_ - window_offset_));
  }
  RequestNextBlock();
  return position_ < CachedEnd() ? err::kOk : err::kReadFailed;
}

Error BufferedFile::Read(void* buffer, std::size_t n) {
  if (!is_open() || !(flags_ & buffered_open::kRead)) return err::kCannotOpen;
  if (const Error rc = FinishWriteBehind()) return rc;
  const std::int64_t end = std::max(physical_size_, CachedEnd());
  if (position_ > end || n > static_cast<std::uint64_t>(end - position_)) return err::kReadFailed;
  const std::int64_t start = position_;
  auto* dst = static_cast<std::byte*>(buffer);
  while (n > 0) {
    const std::int64_t in_window = position_ - window_offset_;
    if (in_window < 0 || in_window >= window_valid_) {
      if (const Error rc = FillWindow(n)) {
        position_ = start;
        return rc;
      }
      continue;
    }
    const std::size_t k = std::min<std::size_t>(n, window_valid_ - static_cast<std::uint32_t>(in_window));
    std::memcpy(dst, cache_.data() + in_window, k);
    dst += k;
    n -= k;
    position_ += static_cast<std::int64_t>(k);
  }
  return err::kOk;
}

std::int64_t BufferedFile::Seek(std::int64_t offset, int origin) {
  // The end counts the window in flight; a failure waits for the next call.
  if (origin == 2) (void)FinishWriteBehind();
  std::int64_t base = 0;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = position_; break;
    case 2: base = std::max(physical_size_, CachedEnd()); break;
    default: return -1;
  }
  if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset)) return -1;
  position_ = base + offset;
  return position_;
}

Error BufferedFile::WriteHeader(PcmFileKind kind, std::uint32_t rate, SampleCode code,
                                std::uint16_t channels, std::uint32_t frames,
                                std::uint32_t* header_size) {
  *header_size = 0;
  if (!is_open() || !(flags_ & buffered_open::kWrite)) return err::kCannotOpen;
  if (const Error rc = FinishWriteBehind()) return rc;
  if (dirty_ && disk_full_) {
    // Keep only what can be written without new space.
    const std::int64_t room = std::max<std::int64_t>(0, disk_size_ - window_offset_);
    window_valid_ = static_cast<std::uint32_t>(std::min<std::int64_t>(window_valid_, room));
    if (window_valid_ == 0) dirty_ = false;
  }
  if (const Error rc = FlushWindow()) return rc;

  PcmHeaderRequest request;
  request.kind = kind;
  request.rate = rate;
  request.code = code;
  request.channels = channels;
  request.frames = frames;
  request.extensible = GetCoreOptions().extensible_wav_header;
  std::uint32_t bytes = 0;
  if (const Error rc = PcmHeaderSize(request, &bytes)) return rc;
  const std::uint64_t total = bytes + std::uint64_t{BytesPerSample(code)} * channels * frames;
  if (total > kMaxTotalBytes) return err::kSizeLimit;

  if (static_cast<std::uint64_t>(disk_size_) < total) {
    const std::uint64_t reserved = RoundUpToSector(total);
    const Error rc = file_.Allocate(reserved);
    if (rc != err::kOk) {
      if (rc == err::kDiskFull) disk_full_ = true;
      std::uint64_t now = 0;
      if (file_.Size(&now) == err::kOk) disk_size_ = static_cast<std::int64_t>(now);
      return rc == err::kDiskFull ? err::kDiskFull : err::kSeekFailed;
    }
    disk_size_ = static_cast<std::int64_t>(reserved);
    size_changed_ = true;
  }

  // The clean window gives way to the header at offset 0.
  window_offset_ = 0;
  window_valid_ = 0;
  if (const Error rc = BuildPcmHeader(request, cache_.data(), &bytes)) return rc;
  window_valid_ = bytes;
  dirty_ = bytes > 0;
  logical_end_ = static_cast<std::int64_t>(PcmFileEnd(kind, total));
  position_ = bytes;
  *header_size = bytes;
  return err::kOk;
}

Error BufferedFile::SetLogicalEnd(std::int64_t end) {
  if (end < 0) return err::kSeekFailed;
  logical_end_ = end;
  return err::kOk;
}

Error BufferedFile::Flush(std::int64_t* physical_size) {
  const Error rc = is_open() ? FlushWindow() : err::kOk;
  if (physical_size) *physical_size = physical_size_;
  return rc;
}

Error BufferedFile::Truncate() {
  if (!is_open() || !(flags_ & buffered_open::kWrite)) return err::kCannotOpen;
  if (const Error rc = FlushWindow()) return rc;
  const auto keep = static_cast<std::int64_t>(RoundUpToSector(static_cast<std::uint64_t>(physical_size_)));
  if (disk_size_ <= keep) return err::kOk;
  if (file_.Truncate(static_cast<std::uint64_t>(keep)) != err::kOk) return err::kSeekFailed;
  disk_size_ = keep;
  size_changed_ = true;
  return err::kOk;
}

Error BufferedFile::ShrinkCache() {
  if (!is_open() || capacity_ <= kSmallCapacity) return err::kOk;
  if (const Error rc = FlushWindow()) return rc;
  const std::uint32_t capacity = std::max(sector_mask_ + 1, kSmallCapacity);
  PageBuffer smaller;
  if (smaller.Allocate(capacity) != err::kOk) return err::kOutOfMemory;
  window_valid_ = std::min(window_valid_, capacity);
  std::memcpy(smaller.data(), cache_.data(), window_valid_);
  cache_ = std::move(smaller);
  capacity_ = capacity;
  return err::kOk;
}

Error BufferedFile::Close(std::int64_t* final_size) {
  if (final_size) *final_size = 0;
  if (!is_open()) return err::kOk;
  if (transfer_ && !write_behind_) {
    std::size_t ignored = 0;
    (void)transfer_->Wait(&ignored);
  }
  Error result = FlushWindow();
  const std::int64_t size = std::max(logical_end_, physical_size_);
  if (flags_ & buffered_open::kWrite) {
    // Whole-sector writes and reservations leave the file longer than its
    // data; the descriptor itself cuts it (a delete-on-close file has no name).
    std::uint64_t now = 0;
    const bool known = !size_changed_ && file_.Size(&now) == err::kOk;
    if (!known || static_cast<std::int64_t>(now) != size) {
      if (file_.Truncate(static_cast<std::uint64_t>(size)) != err::kOk && result == err::kOk)
        result = err::kSeekFailed;
    }
  }
  const Error close_rc = file_.Close();
  if (result == err::kOk) result = close_rc;
  if (final_size) *final_size = size;
  Reset();
  return result;
}

Error BufferedFile::ReadSamples(void* buffer, std::size_t samples, SampleCode file_code, SampleCode wanted_code) {
  if (!IsSupportedSampleCode(file_code) || !IsSupportedSampleCode(wanted_code)) return err::kSizeLimit;
  const std::size_t stored = BytesPerSample(file_code);
  const std::size_t wanted = BytesPerSample(wanted_code);
  auto* out = static_cast<std::byte*>(buffer);
  if (wanted <= stored) {
    if (const Error rc = Read(buffer, samples * stored)) return rc;
    if (file_code != wanted_code) Convert(buffer, buffer, samples, file_code, wanted_code);
    return err::kOk;
  }
  alignas(8) std::byte staging[kStagingBytes];
  const std::size_t per_block = kStagingBytes / stored;
  while (samples > 0) {
    const std::size_t k = std::min(samples, per_block);
    if (const Error rc = Read(staging, k * stored)) return rc;
    Convert(staging, out, k, file_code, wanted_code);
    out += k * wanted;
    samples -= k;
  }
  return err::kOk;
}

Error BufferedFile::WriteSamples(void* buffer, std::size_t samples, SampleCode buffer_code, SampleCode file_code) {
  if (!IsSupportedSampleCode(file_code) || !IsSupportedSampleCode(buffer_code)) return err::kSizeLimit;
  const std::size_t given = BytesPerSample(buffer_code);
  const std::size_t stored = BytesPerSample(file_code);
  if (stored <= given) {
    if (file_code != buffer_code) Convert(buffer, buffer, samples, buffer_code, file_code);
    return Write(buffer, samples * stored);
  }
  alignas(8) std::byte staging[kStagingBytes];
  const std::size_t per_block = kStagingBytes / stored;
  const auto* in = static_cast<const std::byte*>(buffer);
  while (samples > 0) {
    const std::size_t k = std::min(samples, per_block);
    Convert(in, staging, k, buffer_code, file_code);
    if (const Error rc = Write(staging, k * stored)) return rc;
    in += k * given;
    samples -= k;
  }
  return err::kOk;
}

Error BufferedFile::ReadPlanar(void* const* planes, std::uint16_t channels, std::size_t frames,
                               SampleCode file_code, SampleCode plane_code) {
  if ((channels != 1 && channels != 2) || !IsPlaneCode(plane_code)) return err::kSizeLimit;
  if (channels == 1) return ReadSamples(planes[0], frames, file_code, plane_code);
  const std::size_t width = BytesPerSample(plane_code);
  const std::size_t per_block = width == 4 ? 512 : 256;
  alignas(8) std::byte staging[kStagingBytes];
  auto* left = static_cast<std::byte*>(planes[0]);
  auto* right = static_cast<std::byte*>(planes[1]);
  while (frames > 0) {
    const std::size_t k = std::min(frames, per_block);
    if (const Error rc = ReadSamples(staging, k * 2, file_code, plane_code)) return rc;
    for (std::size_t i = 0; i < k; ++i) {
      std::memcpy(left + i * width, staging + 2 * i * width, width);
      std::memcpy(right + i * width, staging + (2 * i + 1) * width, width);
    }
    left += k * width;
    right += k * width;
    frames -= k;
  }
  return err::kOk;
}

Error BufferedFile::WritePlanar(const void* const* planes, std::uint16_t channels,
                                std::size_t frames, SampleCode plane_code, SampleCode file_code) {
  if ((channels != 1 && channels != 2) || !IsPlaneCode(plane_code)) return err::kSizeLimit;
  const std::size_t width = BytesPerSample(plane_code);
  const std::size_t per_block = (width == 4 ? 512 : 256) * 2 / channels;
  alignas(8) std::byte staging[kStagingBytes];
  const auto* left = static_cast<const std::byte*>(planes[0]);
  const auto* right = channels == 2 ? static_cast<const std::byte*>(planes[1]) : nullptr;
  while (frames > 0) {
    const std::size_t k = std::min(frames, per_block);
    if (right) {
      for (std::size_t i = 0; i < k; ++i) {
        std::memcpy(staging + 2 * i * width, left + i * width, width);
        std::memcpy(staging + (2 * i + 1) * width, right + i * width, width);
      }
      right += k * width;
    } else {
      std::memcpy(staging, left, k * width);
    }
    left += k * width;
    if (const Error rc = WriteSamples(staging, k * channels, plane_code, file_code)) return rc;
    frames -= k;
  }
  return err::kOk;
}

}  // namespace tidemark
