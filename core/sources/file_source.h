// A sound source over a region of a PCM file, read through the shared block
// cache (cached) or by positioned reads of the exact range (direct).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/sources/internal/block_cache.h"
#include "core/sources/sound_source.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark {

// A file opened for use by a file source: the handle, and whether it can be
// read through the block cache.
struct SourceFile {
  PosixFile file;
  bool cached = false;
};

// Opens `normal_path` for reading as a source file; it is read through the
// cache when CoreOptions::cached_reading_disabled is off, the volume is a
// local disk file system and the file is not sparse. Errors: 25 (missing, a
// folder or not a regular file, no access), 24 (the volume's sector size is
// 0 or above 0x40000), 2, or the volume query's OsError.
[[nodiscard]] Error OpenSourceFile(const std::string& normal_path, SourceFile* out);

class FileSource final : public SoundSource, private BlockFiller {
 public:
  // A source not yet listed; see OpenFileSource.
  FileSource(std::string normal_path, SourceFile file, std::uint32_t data_offset, std::uint32_t rate,
             SampleCode code, std::uint16_t channels, std::uint32_t frames, std::uint32_t flags);

  Error Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) override;
  Error Serialize(ChunkWriter& writer) override;
  SourceKind kind() const override { return kind_.load(std::memory_order_relaxed); }
  std::uint32_t rate() const override { return rate_; }
  std::uint16_t channels() const override { return channels_; }

  std::uint32_t frames() const { return frames_; }

  // The rest needs SourceMutex() held.
  const std::string& path() const { return path_; }
  std::uint32_t data_offset() const { return data_offset_; }
  SampleCode code() const { return code_; }
  bool owns_file() const { return owns_; }
  bool second_flag() const { return second_; }
  std::uint64_t data_bytes() const { return data_end_ - data_offset_; }
  bool SameLayout(std::uint32_t data_offset, std::uint32_t rate, SampleCode code, std::uint16_t channels,
                  std::uint32_t frames) const;
  // Lists the source and, when cached, attaches it to the block cache (a
  // cache that cannot be created makes it read directly). False when the
  // path is already listed.
  [[nodiscard]] bool Publish();
  // Makes the source read another file holding the same frames: the old
  // file is closed, its cache blocks go back, and the list key follows the
  // new path. Cannot fail.
  void Redirect(std::string normal_path, SourceFile file, std::uint32_t data_offset, SampleCode code, bool owns);
  // The file was renamed to `normal_path` (same contents); a new handle may
  // replace the old one. Clears ownership.
  void Renamed(std::string normal_path, PosixFile* new_handle);
  // The handle, for copying the file as a whole.
  PosixFile& file() { return file_.file; }
  // Whether the file is an owned working file that the program wrote itself
  // in the Temp layout (a standard header, the samples, nothing after them),
  // so that it may be moved into place as a Wave file. A working file that
  // merely names a user's file (a hard link) keeps its own layout and is not
  // marked. Redirect and Renamed clear the mark.
  bool temp_layout() const { return temp_layout_; }
  void MarkTempLayout() { temp_layout_ = owns_; }
  // Gives up ownership: the file outlives the source (a workspace names it).
  void Disown() {
    owns_ = false;
    temp_layout_ = false;
  }
  // Takes the file back after a move of it was undone: owned again, with the
  // Temp-layout mark as given.
  void Reclaim(bool temp_layout) {
    owns_ = true;
    temp_layout_ = temp_layout;
  }

 private:
  void Retire() noexcept override;
  Error FillBlock(std::uint64_t offset, std::byte* dst, std::uint32_t bytes) override;
  Error ReadLocked(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code);
  Error ReadCached(std::uint64_t offset, std::uint32_t count, std::byte* dst, SampleCode dst_code);
  Error ReadDirect(std::uint64_t offset, std::uint32_t count, std::byte* dst, SampleCode dst_code);
  void Attach();
  void Detach();

  std::string path_;
  SourceFile file_;
  std::uint32_t data_offset_;
  std::uint32_t rate_;
  SampleCode code_;
  std::uint16_t channels_;
  std::uint32_t frames_;
  std::uint64_t data_end_;  // data_offset_ + frame bytes x frames_
  std::uint64_t next_fill_ = 0;     // where a sequential fill would continue
  std::uint64_t prefetched_to_ = 0;  // how far the system has been asked to read ahead
  std::uint64_t last_fill_ = 0;       // where the last fill started
  std::uint64_t dropped_to_ = 0;      // an owned file's pages below this were given back
  // The same for a pass backwards: [prefetched_from_, prefetched_top_).
  std::uint64_t prefetched_from_ = 0;
  std::uint64_t prefetched_top_ = 0;
  bool owns_;
  bool second_;
  bool temp_layout_ = false;
  bool published_ = false;  // listed; only a published source deletes its file
  bool attached_ = false;   // counted by the block cache
  std::atomic<SourceKind> kind_;
};

// The file source behind `source`, or null for other kinds.
const FileSource* AsFileSource(const SoundSource* source);
FileSource* AsFileSource(SoundSource* source);

// The most channels a source may have, and the most bytes a frame may take.
inline constexpr std::uint16_t kMaxSourceChannels = 8;

}  // namespace tidemark
