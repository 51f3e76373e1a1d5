// A sector-aligned, cached file for sequential writing and reading of large
// sound files, with an optional read-ahead double buffer, the header writer
// and typed sample helpers.
//
// The file holds one cache window at a time, always clean or dirty. Writes
// collect in the window and reach the disk as whole sectors (the volume's
// block size); Close cuts the file to its exact final size. Transfers bypass
// the system cache where the file system allows it. One thread at a time
// (a read-ahead or write-behind helper works only on the spare block).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/samples/sample_format.h"
#include "platform/error.h"
#include "platform/page_buffer.h"
#include "platform/posix_file.h"

namespace tidemark {

class BackgroundTransfer;

// Open flags (a bit set).
namespace buffered_open {
inline constexpr std::uint32_t kRead = 0x1;
inline constexpr std::uint32_t kWrite = 0x2;
inline constexpr std::uint32_t kOpenAlways = 0x4;     // create the file when missing
inline constexpr std::uint32_t kEffectOutput = 0x100;  // marks effect output; no effect here
inline constexpr std::uint32_t kDeleteOnClose = 0x200;
inline constexpr std::uint32_t kSmallCache = 0x400;
inline constexpr std::uint32_t kReadAhead = 0x800;  // only for read-only opens
// Only for writing opens: a window filled by sequential writes goes to disk
// on a helper thread while writing goes on in the spare block (one write in
// flight). Its failure is the file's from then on: the next call that waits
// for it and every later one report it. Without a thread or the spare
// block, windows are written in place as usual.
inline constexpr std::uint32_t kWriteBehind = 0x1000;

inline constexpr std::uint32_t kWorkFile = kWrite | kOpenAlways;              // 6
inline constexpr std::uint32_t kRecorderFile = kWorkFile | kSmallCache;       // 0x406
inline constexpr std::uint32_t kEffectOutputFile = kRecorderFile | kEffectOutput;  // 0x506
inline constexpr std::uint32_t kReadAheadReader = kRead | kReadAhead;          // 0x801
}  // namespace buffered_open

// The cache capacity for an open with `flags` on a machine with
// `memory_bytes` of physical memory: 0x40000 unless written without the
// small-cache flag, else 2, 4 or 8 MiB by memory size.
std::uint32_t BufferedFileCacheCapacity(std::uint32_t flags, std::uint64_t memory_bytes);

// Replaces the physical-memory query that Open uses (nullptr: the real
// PhysicalMemoryBytes). For tests; not thread-safe against Open.
void SetPhysicalMemoryQueryForTesting(std::uint64_t (*query)());

class BufferedFile {
 public:
  BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;
  ~BufferedFile();  // closes, ignoring errors

  // Opens `path` (an open file is closed first). Errors: 2, 5 (an open-always
  // open failed), 25 (any other open failure: missing, a folder, path too
  // long, no read or write flag), 24 (the volume's sector size is 0, larger
  // than the cache or not a power of two).
  [[nodiscard]] Error Open(const std::string& path, std::uint32_t flags);

  // Reads `n` bytes at the position, which moves behind them. 25 without the
  // read flag; 8 when position + n passes the end (the larger of the physical
  // size and the cached end) or the read fails; on failure the position
  // stays where it was.
  [[nodiscard]] Error Read(void* buffer, std::size_t n);
  // Writes `n` bytes at the position, which moves behind them. 25 without the
  // write flag; 8, 9 or 26 from the transfers it needs.
  [[nodiscard]] Error Write(const void* buffer, std::size_t n);
  // Moves the position: origin 0 absolute, 1 from the position, 2 from the
  // end. Returns the new position, or -1 (position unchanged) when it would
  // be negative or the origin is unknown. The position may pass the end.
  std::int64_t Seek(std::int64_t offset, int origin);

  // Writes the header of `kind` for `frames` frames at offset 0 (kept dirty in
  // the cache), reserves the sector-rounded total on disk and puts the
  // position behind the header. Errors: 25 (not writable), 77 (layout not
  // supported, or header + data above 0xFFFFFFFE), 26 / 10 (reserving the
  // space), and those of flushing the window first.
  [[nodiscard]] Error WriteHeader(PcmFileKind kind, std::uint32_t rate, SampleCode code,
                                  std::uint16_t channels, std::uint32_t frames,
                                  std::uint32_t* header_size);
  // The file is at least `end` bytes long when closed. 10 for a negative end.
  [[nodiscard]] Error SetLogicalEnd(std::int64_t end);
  // Writes a dirty window to disk; gives the physical size.
  [[nodiscard]] Error Flush(std::int64_t* physical_size = nullptr);
  // Flushes and gives back disk space beyond the sector-rounded data written.
  [[nodiscard]] Error Truncate();
  // A cache above 0x40000 bytes is flushed and replaced by one of
  // max(sector size, 0x40000) bytes that keeps the cached bytes that fit.
  [[nodiscard]] Error ShrinkCache();
  // Flushes, cuts the file to max(logical end, physical size) and closes.
  // The first failure is reported; the file is closed in every case.
  [[nodiscard]] Error Close(std::int64_t* final_size = nullptr);

  // Reads `samples` samples stored as `file_code` and converts them to
  // `wanted_code` into `buffer` (sized for the wider of the two).
  [[nodiscard]] Error ReadSamples(void* buffer, std::size_t samples, SampleCode file_code, SampleCode wanted_code);
  // Converts `samples` samples of `buffer_code` to `file_code` and writes
  // them. When the file code is not wider, the conversion runs in place: the
  // caller's buffer holds the stored form afterwards.
  [[nodiscard]] Error WriteSamples(void* buffer, std::size_t samples, SampleCode buffer_code, SampleCode file_code);
  // Planar channel buffers (1 or 2, of kFloat or kDouble; else 77) against
  // interleaved stored frames.
  [[nodiscard]] Error ReadPlanar(void* const* planes, std::uint16_t channels,
                                 std::size_t frames, SampleCode file_code,
                                 SampleCode plane_code);
  [[nodiscard]] Error WritePlanar(const void* const* planes, std::uint16_t channels,
                                  std::size_t frames, SampleCode plane_code,
                                  SampleCode file_code);

  bool is_open() const { return file_.is_open(); }
  std::uint32_t flags() const { return flags_; }
  const std::string& path() const { return path_; }
  std::int64_t position() const { return position_; }
  // Bytes of data the file holds on disk (excluding sector padding and
  // reserved space); a window written behind counts once a call waited for it.
  std::int64_t physical_size() const { return physical_size_; }
  std::int64_t logical_end() const { return logical_end_; }
  std::uint32_t sector_size() const { return sector_mask_ + 1; }
  std::uint32_t read_granularity() const { return read_mask_ + 1; }
  std::uint32_t cache_capacity() const { return capacity_; }
  bool disk_full_seen() const { return disk_full_; }
  bool dirty() const { return dirty_; }
  bool read_ahead() const { return transfer_ && !write_behind_; }
  bool write_behind() const { return write_behind_; }
  // Windows handed to the write-behind helper so far.
  std::uint64_t windows_written_behind() const { return windows_behind_; }
  // Transfers bypass the system cache (O_DIRECT accepted).
  bool direct() const { return file_.direct(); }

 private:
  std::int64_t CachedEnd() const { return window_offset_ + window_valid_; }
  std::uint64_t RoundUpToSector(std::uint64_t n) const {
    return (n + sector_mask_) & ~std::uint64_t{sector_mask_};
  }
  Error FlushWindow();
  Error StartWriteWindow();
  Error FillWindow(std::size_t wanted);
  Error FillWindowReadAhead();
  void RequestNextBlock();
  Error WaitReadAhead(std::size_t* done);
  Error WriteWindowBehind();
  Error FinishWriteBehind();
  void Reset();

  PosixFile file_;
  std::string path_;
  std::uint32_t flags_ = 0;
  std::uint32_t sector_mask_ = 0;
  std::uint32_t read_mask_ = 0;
  std::int64_t physical_size_ = 0;  // data bytes on disk
  std::int64_t disk_size_ = 0;      // the file's size on disk (padding, reservation)
  std::int64_t logical_end_ = 0;
  std::int64_t position_ = 0;

  PageBuffer cache_;
  std::uint32_t capacity_ = 0;
  std::int64_t window_offset_ = 0;
  std::uint32_t window_valid_ = 0;
  bool dirty_ = false;
  bool size_changed_ = false;
  bool disk_full_ = false;
  PageBuffer scratch_;  // one sector, for padding merged from disk

  // Read-ahead or write-behind: the spare block and the helper that fills
  // or writes it.
  std::unique_ptr<BackgroundTransfer> transfer_;
  PageBuffer spare_;
  bool write_behind_ = false;
  std::int64_t behind_offset_ = 0;  // the window in flight
  std::uint32_t behind_valid_ = 0;
  Error behind_error_;  // a failed write behind, kept
  std::uint64_t windows_behind_ = 0;
};

}  // namespace tidemark
