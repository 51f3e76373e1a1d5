#include "core/io/work_file_writer.h"

#include "core/sources/file_source.h"

#include <algorithm>

#include "core/core_options.h"
#include "core/sources/file_source.h"
#include "core/io/pcm_header.h"
#include "core/samples/sample_convert.h"
#include "core/document/segment.h"
#include "core/sources/sound_source.h"
#include "core/io/work_folder.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/volume_info.h"

namespace tidemark {
namespace {

constexpr std::size_t kConvertBlockBytes = 4096;  // of the narrower representation
constexpr std::size_t kPlanarBlockFrames = 512;

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

}  // namespace

WorkFileWriter::~WorkFileWriter() {
  if (!finished_) Discard();
}

void WorkFileWriter::DeleteFiles() {
  for (const File& f : files_) (void)UnlinkFile(f.path);
  files_.clear();
}

void WorkFileWriter::Discard() {
  (void)current_.Close();
  DeleteFiles();
  running_ = false;
  finished_ = false;
}

Error WorkFileWriter::Begin(PcmFileKind kind, std::uint32_t rate, SampleCode code,
                            std::uint16_t channels, std::uint32_t expected_frames) {
  if (running_) Discard();
  files_.clear();  // files an earlier Finish left to the caller stay on disk
  finished_ = false;
  PcmHeaderRequest request;
  request.kind = kind;
  request.code = code;
  request.channels = channels;
  request.extensible = GetCoreOptions().extensible_wav_header;
  std::uint32_t header = 0;
  if (const Error rc = PcmHeaderSize(request, &header)) return rc;

  std::string folder;
  if (const Error rc = EnsureWorkFolder(&folder)) return rc;
  VolumeInfo volume;
  if (QueryVolume(folder, &volume) != err::kOk || volume.sector_size == 0 ||
      volume.sector_size > kMaxSectorSize)
    return err::kSectorSize;

  const std::uint32_t frame_bytes = BytesPerSample(code) * channels;
  // 2^32 - sector - header, in 32-bit arithmetic, in whole frames.
  std::uint32_t limit = 0u - volume.sector_size - header;
  if (file_byte_limit_ != 0) limit = std::min(limit, file_byte_limit_);
  const std::uint32_t bytes_per_file = limit / frame_bytes * frame_bytes;
  if (bytes_per_file == 0) return err::kSizeLimit;
  const std::uint32_t frames_per_file = bytes_per_file / frame_bytes;

  if (expected_frames > frames_per_file) {
    const std::uint64_t cluster = volume.cluster_size ? volume.cluster_size : volume.sector_size;
    const std::uint64_t full_files = expected_frames / frames_per_file;
    const std::uint64_t rest = std::uint64_t{expected_frames % frames_per_file} * frame_bytes;
    const std::uint64_t needed =
        full_files * CeilDiv(std::uint64_t{bytes_per_file} + header, cluster) + CeilDiv(rest + header, cluster);
    if (needed > volume.free_bytes / cluster) return err::kDiskFull;
  }

  const std::size_t wider = std::max<std::size_t>(8, BytesPerSample(code));
  staging_bytes_ = std::max<std::size_t>(kConvertBlockBytes * wider, std::size_t{channels} * wider);
  if (const Error rc = MakeNew(&staging_, staging_bytes_)) return rc;

  kind_ = kind;
  rate_ = rate;
  code_ = code;
  channels_ = channels;
  frame_bytes_ = frame_bytes;
  expected_frames_ = expected_frames;
  bytes_per_file_ = bytes_per_file;
  header_size_ = header;
  running_ = true;
  if (const Error rc = StartFile()) {
    Discard();
    return rc;
  }
  return err::kOk;
}

Error WorkFileWriter::StartFile() {
  std::uint64_t written_frames = 0;
  for (const File& f : files_) written_frames += f.data_bytes / frame_bytes_;
  const std::uint64_t still_expected = expected_frames_ > written_frames ? expected_frames_ - written_frames : 0;
  const auto frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes_per_file_ / frame_bytes_, still_expected));

  std::string path;
  if (const Error rc = NewWorkFileName(kWorkFilePrefix, &path)) return rc;
  Error rc = current_.Open(path, buffered_open::kWorkFile | buffered_open::kWriteBehind);
  std::uint32_t header = 0;
  if (rc == err::kOk) rc = current_.WriteHeader(kind_, rate_, code_, channels_, frames, &header);
  if (rc == err::kOk && header != header_size_) rc = err::kSizeLimit;
  if (rc != err::kOk) {
    (void)current_.Close();
    (void)UnlinkFile(path);
    return rc;
  }
  files_.push_back({std::move(path), 0, frames * frame_bytes_});
  free_bytes_ = bytes_per_file_;
  return err::kOk;
}

Error WorkFileWriter::CloseCurrent() {
  if (!current_.is_open()) return err::kOk;
  File& file = files_.back();
  Error rc = err::kOk;
  if (file.data_bytes != file.preset_bytes) {
    std::uint32_t header = 0;
    rc = current_.WriteHeader(kind_, rate_, code_, channels_, file.data_bytes / frame_bytes_, &header);
  }
  const Error close_rc = current_.Close();
  return rc != err::kOk ? rc : close_rc;
}

Error WorkFileWriter::Write(const void* data, std::size_t bytes) {
  if (!running_) return err::kCannotOpen;
  const auto* p = static_cast<const std::byte*>(data);
  while (bytes > 0) {
    if (!current_.is_open() || free_bytes_ == 0) {
      if (const Error rc = CloseCurrent()) return rc;
      if (const Error rc = StartFile()) return rc;
    }
    const std::size_t k = std::min<std::size_t>(bytes, free_bytes_);
    if (const Error rc = current_.Write(p, k)) return rc;
    files_.back().data_bytes += static_cast<std::uint32_t>(k);
    free_bytes_ -= static_cast<std::uint32_t>(k);
    p += k;
    bytes -= k;
  }
  return err::kOk;
}

Error WorkFileWriter::WriteConverted(const void* data, std::size_t samples, SampleCode code) {
  if (code == code_) return Write(data, samples * BytesPerSample(code));
  if (!IsSupportedSampleCode(code)) return err::kSizeLimit;
  if (!running_) return err::kCannotOpen;
  const std::size_t from = BytesPerSample(code);
  const std::size_t to = BytesPerSample(code_);
  // Whole frames of at most 4096 bytes in the narrower of the two forms.
  const std::size_t block_frames = std::max<std::size_t>(1, kConvertBlockBytes / std::min(from, to) / channels_);
  const std::size_t block = block_frames * channels_;
  const auto* p = static_cast<const std::byte*>(data);
  while (samples > 0) {
    const std::size_t k = std::min(samples, block);
    Convert(p, staging_.get(), k, code, code_);
    if (const Error rc = Write(staging_.get(), k * to)) return rc;
    p += k * from;
    samples -= k;
  }
  return err::kOk;
}

Error WorkFileWriter::WriteFrames(const void* frames, std::size_t count, SampleCode code) {
  return WriteConverted(frames, count * channels_, code);
}

Error WorkFileWriter::WriteStereoPlanar(const float* left, const float* right, std::size_t frames) {
  if (!running_) return err::kCannotOpen;
  if (channels_ != 2) return err::kSizeLimit;
  float interleaved[2 * kPlanarBlockFrames];
  while (frames > 0) {
    const std::size_t k = std::min(frames, kPlanarBlockFrames);
    for (std::size_t i = 0; i < k; ++i) {
      interleaved[2 * i] = left[i];
      interleaved[2 * i + 1] = right[i];
    }
    if (const Error rc = WriteConverted(interleaved, 2 * k, sample_code::kFloat)) return rc;
    left += k;
    right += k;
    frames -= k;
  }
  return err::kOk;
}

Error WorkFileWriter::Finish(SegmentList* segments) {
  if (!running_) return err::kCannotOpen;
  if (const Error rc = CloseCurrent()) {
    Discard();
    return rc;
  }
  running_ = false;
  if (!segments) {
    finished_ = true;
    return err::kOk;
  }
  Segment* const before = segments->last();
  std::size_t handed = 0;
  Error rc = err::kOk;
  for (; handed < files_.size(); ++handed) {
    const File& f = files_[handed];
    const std::uint32_t frames = f.data_bytes / frame_bytes_;
    if (frames == 0) {
      (void)UnlinkFile(f.path);
      continue;
    }
    rc = OpenFileSource(f.path, header_size_, rate_, code_, channels_, frames, kSourceOwnsFile, segments, nullptr);
    if (rc != err::kOk) break;
    // The program wrote this file in the Temp layout, so a save may move it into place.
    if (FileSource* source = AsFileSource(segments->last()->source.get())) source->MarkTempLayout();
    expected_frames_ = expected_frames_ > frames ? expected_frames_ - frames : 0;
  }
  if (rc != err::kOk) {
    // The sources made so far delete their files when their segments go.
    while (segments->last() != before) segments->Remove(segments->last());
    files_.erase(files_.begin(), files_.begin() + static_cast<std::ptrdiff_t>(handed));
    DeleteFiles();
    return rc;
  }
  files_.clear();
  finished_ = true;
  return err::kOk;
}

}  // namespace tidemark
