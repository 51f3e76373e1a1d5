#include "core/sources/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "core/io/chunk_writer.h"
#include "core/core_options.h"
#include "core/samples/sample_convert.h"
#include "core/document/segment.h"
#include "core/sources/source_list.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

constexpr std::size_t kStagingBytes = 4096;

bool EndsWithTmp(const std::string& path) {
  if (path.size() < 4) return false;
  const char* e = path.c_str() + path.size() - 4;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
  return e[0] == '.' && lower(e[1]) == 't' && lower(e[2]) == 'm' && lower(e[3]) == 'p';
}

// Direct sources are read at random; the system's read-ahead would only
// fetch bytes nobody asked for.
void HintRandomAccess(const PosixFile& file) {
  if (file.is_open()) (void)posix_fadvise(file.fd(), 0, 0, POSIX_FADV_RANDOM);
}

// Cached sources fill whole 256 KiB blocks, mostly in long passes (effects,
// saving, playback): a wider system read-ahead keeps those passes at disk
// speed, and a random fill still reads only its block.
void HintSequentialAccess(const PosixFile& file) {
  if (file.is_open()) (void)posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

}  // namespace

Error OpenSourceFile(const std::string& normal_path, SourceFile* out) {
  FileOpenOptions options;
  options.access = FileAccess::kRead;
  options.disposition = FileDisposition::kOpenExisting;
  if (const Error rc = out->file.Open(normal_path, options)) return rc;
  struct stat st {};
  if (fstat(out->file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) {
    (void)out->file.Close();
    return err::kCannotOpen;
  }
  VolumeInfo volume;
  if (const Error rc = out->file.QueryVolume(&volume)) {
    (void)out->file.Close();
    return rc;
  }
  if (volume.sector_size == 0 || volume.sector_size > kMaxSectorSize) {
    (void)out->file.Close();
    return err::kSectorSize;
  }
  // A sparse (or compressed) file has fewer bytes on disk than its size:
  // the page cache serves it no better than a direct read.
  std::uint64_t size = 0, allocated = 0;
  const bool dense = out->file.Size(&size) == err::kOk && out->file.AllocatedBytes(&allocated) == err::kOk &&
                     allocated >= size;
  out->cached = !GetCoreOptions().cached_reading_disabled && volume.local_disk && dense;
  if (out->cached)
    HintSequentialAccess(out->file);
  else
    HintRandomAccess(out->file);
  return err::kOk;
}

FileSource::FileSource(std::string normal_path, SourceFile file, std::uint32_t data_offset, std::uint32_t rate,
                       SampleCode code, std::uint16_t channels, std::uint32_t frames, std::uint32_t flags)
    : path_(std::move(normal_path)),
      file_(std::move(file)),
      data_offset_(data_offset),
      rate_(rate),
      code_(code),
      channels_(channels),
      frames_(frames),
      data_end_(data_offset + std::uint64_t{channels} * BytesPerSample(code) * frames),
      owns_((flags & kSourceOwnsFile) != 0),
      second_((flags & kSourceSecondFlag) != 0),
      kind_(SourceKind::FileDirect) {}

bool FileSource::SameLayout(std::uint32_t data_offset, std::uint32_t rate, SampleCode code, std::uint16_t channels,
                            std::uint32_t frames) const {
  return data_offset == data_offset_ && rate == rate_ && code == code_ && channels == channels_ && frames == frames_;
}

void FileSource::Attach() {
  if (file_.cached && detail::AttachCachedSource(this) == err::kOk) {
    attached_ = true;
    kind_.store(SourceKind::FileCached, std::memory_order_relaxed);
    return;
  }
  // No cache to be had: read directly instead.
  file_.cached = false;
  HintRandomAccess(file_.file);
  kind_.store(SourceKind::FileDirect, std::memory_order_relaxed);
}

void FileSource::Detach() {
  if (attached_) detail::DetachCachedSource(this);
  attached_ = false;
}

bool FileSource::Publish() {
  if (!detail::ListSource(this)) return false;
  published_ = true;
  Attach();
  return true;
}

void FileSource::Retire() noexcept {
  if (!published_) return;  // a source that lost an opening race; another one owns the file
  detail::UnlistSource(this);
  Detach();
  (void)file_.file.Close();
  if (owns_ && EndsWithTmp(path_)) (void)UnlinkFile(path_);
}

void FileSource::Redirect(std::string normal_path, SourceFile file, std::uint32_t data_offset, SampleCode code,
                          bool owns) {
  Detach();
  detail::UnlistSource(this);
  const std::string old_path = std::exchange(path_, std::move(normal_path));
  const bool old_owned = owns_;
  (void)file_.file.Close();
  file_ = std::move(file);
  data_offset_ = data_offset;
  code_ = code;
  data_end_ = data_offset + std::uint64_t{channels_} * BytesPerSample(code) * frames_;
  owns_ = owns;
  temp_layout_ = false;
  // A fresh working file cannot be listed already; should it be, the source
  // still reads correctly, it just cannot be found by path.
  (void)detail::ListSource(this);
  Attach();
  // The old file was this source's to delete.
  if (old_owned && EndsWithTmp(old_path)) (void)UnlinkFile(old_path);
}

void FileSource::Renamed(std::string normal_path, PosixFile* new_handle) {
  detail::UnlistSource(this);
  path_ = std::move(normal_path);
  owns_ = false;
  temp_layout_ = false;
  (void)detail::ListSource(this);
  // Same bytes at the same offsets: the cache blocks stay valid.
  if (new_handle && new_handle->is_open()) {
    (void)file_.file.Close();
    file_.file = std::move(*new_handle);
    if (attached_)
      HintSequentialAccess(file_.file);
    else
      HintRandomAccess(file_.file);
  }
}

Error FileSource::FillBlock(std::uint64_t offset, std::byte* dst, std::uint32_t bytes) {
  // A pass through the file (saving, effects, playback) fills block after
  // block: ask the system to fetch well ahead of it, so the disk works while
  // the blocks already read are converted. The system's own read-ahead
  // window is too small to keep a fast disk busy with 256 KiB requests.
  constexpr std::uint64_t kPrefetchBytes = 8u << 20;
  if (offset == next_fill_ && offset + bytes < data_end_ && prefetched_to_ < offset + kPrefetchBytes / 2) {
    const std::uint64_t from = std::max(prefetched_to_, offset + bytes);
    const std::uint64_t to = std::min(data_end_, offset + kPrefetchBytes);
    if (to > from)
      (void)posix_fadvise(file_.file.fd(), static_cast<off_t>(from), static_cast<off_t>(to - from),
                          POSIX_FADV_WILLNEED);
    prefetched_to_ = to;
  }
  // A working file (owned, written past the system cache) is read once in
  // a pass, mostly by a save: give back the pages the pass has copied, so
  // they neither crowd the system cache nor all wait for the deletion.
  constexpr std::uint64_t kDropBytes = 4u << 20;
  if (offset != next_fill_) dropped_to_ = offset;  // a new pass
  if (owns_ && offset >= dropped_to_ + kDropBytes) {
    (void)posix_fadvise(file_.file.fd(), static_cast<off_t>(dropped_to_), static_cast<off_t>(offset - dropped_to_),
                        POSIX_FADV_DONTNEED);
    dropped_to_ = offset;
  }
  // A pass backwards (time reverse) fills each block just before the last
  // one: the system's read-ahead never looks there, so ask for the bytes
  // before it the same way.
  if (offset + bytes == last_fill_ && offset > 0) {
    const bool inside = prefetched_from_ <= offset && offset < prefetched_top_;
    if (!inside || offset - prefetched_from_ < kPrefetchBytes / 2) {
      const std::uint64_t to = inside ? prefetched_from_ : offset;
      const std::uint64_t from = offset > kPrefetchBytes ? offset - kPrefetchBytes : 0;
      if (to > from)
        (void)posix_fadvise(file_.file.fd(), static_cast<off_t>(from), static_cast<off_t>(to - from),
                            POSIX_FADV_WILLNEED);
      if (!inside) prefetched_top_ = offset;
      prefetched_from_ = from;
    }
  }
  last_fill_ = offset;
  next_fill_ = offset + bytes;
  std::size_t done = 0;
  if (file_.file.ReadAt(dst, bytes, offset, &done) != err::kOk || done != bytes) return err::kReadFailed;
  return err::kOk;
}

Error FileSource::Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) {
  if (!IsSupportedSampleCode(dst_code)) return err::kSizeLimit;
  if (std::uint64_t{first} + count > frames_) return err::kReadFailed;
  if (count == 0) return err::kOk;
  const std::lock_guard<std::mutex> lock(SourceMutex());
  return ReadLocked(first, count, dst, dst_code);
}

Error FileSource::ReadLocked(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) {
  const std::uint64_t offset = data_offset_ + std::uint64_t{first} * channels_ * BytesPerSample(code_);
  auto* out = static_cast<std::byte*>(dst);
  return attached_ ? ReadCached(offset, count, out, dst_code) : ReadDirect(offset, count, out, dst_code);
}

Error FileSource::ReadCached(std::uint64_t offset, std::uint32_t count, std::byte* dst, SampleCode dst_code) {
  BlockCache& cache = detail::SharedBlockCache();
  const std::uint32_t frame_bytes = channels_ * BytesPerSample(code_);
  const std::size_t dst_frame_bytes = std::size_t{channels_} * BytesPerSample(dst_code);
  std::uint64_t pos = offset;
  while (count > 0) {
    const BlockCache::Block* block = nullptr;
    if (const Error rc = cache.Get(*this, pos, data_end_, &block)) return rc;
    const std::uint64_t in_block = pos - block->offset;
    const std::uint64_t avail = block->valid - in_block;
    const auto whole = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, avail / frame_bytes));
    if (whole > 0) {
      Convert(block->data + in_block, dst, std::size_t{whole} * channels_, code_, dst_code);
      dst += whole * dst_frame_bytes;
      pos += std::uint64_t{whole} * frame_bytes;
      count -= whole;
      continue;
    }
    // The frame starts in this block and ends in the next one: assemble it.
    std::byte frame[kMaxSourceChannels * 8];
    const auto head = static_cast<std::size_t>(avail);
    std::memcpy(frame, block->data + in_block, head);
    const BlockCache::Block* next = nullptr;
    if (const Error rc = cache.Get(*this, pos + head, data_end_, &next)) return rc;
    std::memcpy(frame + head, next->data, frame_bytes - head);
    Convert(frame, dst, channels_, code_, dst_code);
    dst += dst_frame_bytes;
    pos += frame_bytes;
    --count;
  }
  return err::kOk;
}

Error FileSource::ReadDirect(std::uint64_t offset, std::uint32_t count, std::byte* dst, SampleCode dst_code) {
  const std::size_t frame_bytes = std::size_t{channels_} * BytesPerSample(code_);
  const std::size_t dst_frame_bytes = std::size_t{channels_} * BytesPerSample(dst_code);
  std::size_t done = 0;
  if (dst_frame_bytes >= frame_bytes) {
    // The stored bytes fit in the destination: read them there and widen in place.
    const std::size_t bytes = std::size_t{count} * frame_bytes;
    if (file_.file.ReadAt(dst, bytes, offset, &done) != err::kOk || done != bytes) return err::kReadFailed;
    Convert(dst, dst, std::size_t{count} * channels_, code_, dst_code);
    return err::kOk;
  }
  // Narrowing: the stored bytes would overrun the destination, so they pass
  // through a staging buffer.
  alignas(16) std::byte staging[kStagingBytes];
  const std::size_t per_piece = kStagingBytes / frame_bytes;
  while (count > 0) {
    const std::size_t frames = std::min<std::size_t>(count, per_piece);
    const std::size_t bytes = frames * frame_bytes;
    if (file_.file.ReadAt(staging, bytes, offset, &done) != err::kOk || done != bytes) return err::kReadFailed;
    Convert(staging, dst, frames * channels_, code_, dst_code);
    offset += bytes;
    dst += frames * dst_frame_bytes;
    count -= static_cast<std::uint32_t>(frames);
  }
  return err::kOk;
}

Error FileSource::Serialize(ChunkWriter& writer) {
  std::string path;
  bool owns, second;
  std::uint32_t data_offset;
  SampleCode code;
  {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    path = path_;
    owns = owns_;
    second = second_;
    data_offset = data_offset_;
    code = code_;
  }
  std::uint16_t flags = (owns ? 1 : 0) | (second ? 2 : 0);
  std::string stored = path;
  if (owns && !writer.WorkFolder().empty()) {
    // Only a file directly inside the working folder can be found again by
    // its name; any other owned file keeps its full path.
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && path.compare(0, slash, NormaliseSourcePath(writer.WorkFolder())) == 0 &&
        (slash > 0 || writer.WorkFolder() == "/")) {
      stored = path.substr(slash + 1);
      flags |= 4;
    }
  }
  const std::u16string text = Utf8ToUtf16(stored);
  if (text.size() > 0xFFFF) return err::kSizeLimit;
  RecordBytes record("sf0 ");
  record.U32(frames_);
  record.U32(rate_);
  record.U16(code);
  record.U16(channels_);
  record.U32(data_offset);
  record.U16(flags);
  record.U16(static_cast<std::uint16_t>(text.size()));
  record.U16(0);
  if (const Error rc = record.WriteTo(writer)) return rc;
  RecordBytes chars("wtxt");
  for (const char16_t c : text) chars.U16(c);
  return chars.WriteTo(writer);
}

const FileSource* AsFileSource(const SoundSource* source) {
  if (!source) return nullptr;
  const SourceKind k = source->kind();
  return k == SourceKind::FileCached || k == SourceKind::FileDirect ? static_cast<const FileSource*>(source)
                                                                      : nullptr;
}

FileSource* AsFileSource(SoundSource* source) {
  return const_cast<FileSource*>(AsFileSource(static_cast<const SoundSource*>(source)));
}

namespace {

// Hands out the listed source `f` after checking the layout.
Error Reuse(FileSource* f, std::uint32_t data_offset, std::uint32_t rate, SampleCode code,
            std::uint16_t channels, std::uint32_t frames, std::unique_ptr<Segment>& segment,
            SegmentList* segments, SourceRef* source) {
  if (!f->SameLayout(data_offset, rate, code, channels, frames)) return err::kLayoutMismatch;
  if (segment) {
    segment->source = SourceRef::Share(f);
    segments->PushBack(std::move(segment));
  }
  if (source) *source = SourceRef::Share(f);
  return err::kOk;
}

}  // namespace

Error OpenFileSource(const std::string& path, std::uint32_t data_offset, std::uint32_t rate, SampleCode code,
                     std::uint16_t channels, std::uint32_t frames, std::uint32_t flags, SegmentList* segments,
                     SourceRef* source) {
  if (!IsSupportedSampleCode(code) || channels == 0 || channels > kMaxSourceChannels) return err::kSizeLimit;
  const std::string normal = NormaliseSourcePath(path);
  if (normal.empty()) return err::kInvalidPath;

  std::unique_ptr<Segment> segment;
  if (segments) {
    if (const Error rc = MakeNew(&segment)) return rc;
    segment->length = frames;
    segment->position = segments->last() ? segments->last()->position + segments->last()->length : 0;
  }
  {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    if (FileSource* f = detail::FindListedSource(normal))
      return Reuse(f, data_offset, rate, code, channels, frames, segment, segments, source);
  }

  SourceFile file;
  if (const Error rc = OpenSourceFile(normal, &file)) return rc;
  // `created` outlives the lock below, so a source that lost an opening race
  // is released after the lock is given back.
  SourceRef created;
  if (const Error rc =
          MakeNew<FileSource>(&created, normal, std::move(file), data_offset, rate, code, channels, frames, flags))
    return rc;
  auto* fresh = static_cast<FileSource*>(created.get());

  const std::lock_guard<std::mutex> lock(SourceMutex());
  if (FileSource* f = detail::FindListedSource(normal))
    return Reuse(f, data_offset, rate, code, channels, frames, segment, segments, source);
  if (!fresh->Publish()) return err::kOutOfMemory;  // unreachable: the path was free under the lock
  return Reuse(fresh, data_offset, rate, code, channels, frames, segment, segments, source);
}

}  // namespace tidemark
