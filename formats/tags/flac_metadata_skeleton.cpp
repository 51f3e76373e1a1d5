#include "formats/tags/flac_metadata_skeleton.h"

#include <algorithm>
#include <cstring>

#include "core/markers/marker_list.h"
#include "core/io/pcm_header.h"
#include "formats/tags/internal/aiff_text.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/file_io.h"
#include "formats/aiff_au/internal/iff_markers.h"
#include "formats/wav/wav_cues.h"
#include "formats/tags/internal/wav_info.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::size_t kMinBlock = 12;
constexpr std::size_t kContainerHeader = 12;
constexpr std::size_t kChunkHeader = 8;
constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;

std::uint32_t LoadSize(const Container& container, const std::uint8_t* p) {
  return container.big_endian ? LoadBe32(p) : LoadLe32(p);
}

void StoreSize(const Container& container, std::uint8_t* p, std::uint32_t v) {
  container.big_endian ? StoreBe32(p, v) : StoreLe32(p, v);
}

// Back into file order, then as a document takes them.
MarkerList DocumentOrder(MarkerList reversed, std::uint32_t frames) {
  MarkerList in_order;
  while (Marker* m = reversed.UnlinkAfter(nullptr)) in_order.PushFrontAdopt(m);
  return MergeSorted(std::move(in_order), frames);
}

}  // namespace

Error FlacMetadataSkeleton::Fail() {
  error_ = err::kNoWorkFile;
  return error_;
}

Error FlacMetadataSkeleton::Write(const void* data, std::size_t n) {
  if (WriteExact(file_, data, n, end_) != err::kOk) return Fail();
  end_ += n;
  return err::kOk;
}

Error FlacMetadataSkeleton::AddApplicationBlock(std::span<const std::uint8_t> block) {
  if (error_) return error_;
  if (block.size() < kMinBlock) return err::kOk;
  const std::uint32_t id = LoadLe32(block.data());
  const std::span<const std::uint8_t> payload = block.subspan(4);
  if (!container_) {
    std::optional<Container> container;
    if (id == FourCc("riff") && LoadLe32(payload.data()) == FourCc("RIFF")) container = kRiffContainer;
    if (id == FourCc("aiff") && LoadLe32(payload.data()) == FourCc("FORM")) container = kFormContainer;
    if (!container) return err::kOk;
    if (OpenScratchFile(&file_) != err::kOk) return Fail();
    container_ = container;
    return Write(payload.data(), kContainerHeader);
  }
  if (id != (container_->big_endian ? FourCc("aiff") : FourCc("riff"))) return err::kOk;
  if (body_left_ > 0) return TakeBody(payload);
  return StartChunk(payload);
}

Error FlacMetadataSkeleton::StartChunk(std::span<const std::uint8_t> payload) {
  const std::uint32_t chunk_id = LoadLe32(payload.data());
  const std::uint32_t size = LoadSize(*container_, payload.data() + 4);
  std::uint8_t header[kChunkHeader];
  std::memcpy(header, payload.data(), 4);
  if (chunk_id == FourCc("data") || chunk_id == FourCc("SSND")) {
    // The samples are the FLAC stream itself; an empty chunk stands for them.
    if (end_ + kChunkHeader > kLargestFile) return err::kOk;
    StoreSize(*container_, header + 4, 0);
    return Write(header, sizeof header);
  }
  chunk_start_ = end_;
  chunk_odd_ = PaddedSize(size) != size;
  chunk_kept_ = size <= kMaxSkeletonChunkBody && end_ + kChunkHeader + PaddedSize(size) <= kLargestFile;
  body_left_ = size;
  if (chunk_kept_) {
    StoreSize(*container_, header + 4, size);
    if (const Error rc = Write(header, sizeof header)) return rc;
  }
  if (body_left_ == 0) return err::kOk;
  return TakeBody(payload.subspan(kChunkHeader));
}

Error FlacMetadataSkeleton::TakeBody(std::span<const std::uint8_t> bytes) {
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(body_left_, bytes.size()));
  body_left_ -= n;
  if (!chunk_kept_) return err::kOk;
  if (n > 0)
    if (const Error rc = Write(bytes.data(), n)) return rc;
  if (body_left_ == 0 && chunk_odd_) {
    const std::uint8_t pad = 0;
    return Write(&pad, 1);
  }
  return err::kOk;
}

Error FlacMetadataSkeleton::ReadMetadata(std::uint32_t frames, MarkerList* markers, TagSet* tags) {
  markers->Clear();
  *tags = TagSet{};
  if (error_) return error_;
  if (!container_) return err::kOk;
  return TryAlloc([&] {
    if (body_left_ > 0) {
      // A chunk whose body never came in full would make the whole skeleton malformed.
      body_left_ = 0;
      if (chunk_kept_) {
        end_ = chunk_start_;
        if (file_.Truncate(end_) != err::kOk) return Fail();
      }
    }
    std::uint8_t size_bytes[4];
    FileInput input(file_);
    if (const Error rc = input.ReadExact(size_bytes, 4, 4)) return rc;
    if (std::uint64_t{LoadSize(*container_, size_bytes)} + 8 > end_) {
      StoreSize(*container_, size_bytes, static_cast<std::uint32_t>(end_ - 8));
      if (WriteExact(file_, size_bytes, 4, 4) != err::kOk) return Fail();
    }

    MarkerList reversed;
    TagSet read;
    if (!container_->big_endian) {
      if (const Error rc = ReadCueList(input, end_, &reversed)) return rc;
      if (const Error rc = ReadInfoList(input, end_, &read)) return rc;
    } else {
      if (const Error rc = ReadIffMarkers(input, end_, &reversed)) return rc;
      if (const Error rc = ReadAiffTexts(input, end_, &read)) return rc;
    }
    *markers = DocumentOrder(std::move(reversed), frames);
    *tags = std::move(read);
    return err::kOk;
  }, [&] { markers->Clear(); *tags = TagSet{}; });
}

namespace {

// 9 and 10 from the chunk writers mean the working file failed.
Error WorkFileError(Error rc) {
  return rc == err::kWriteFailed || rc == err::kSeekFailed ? err::kNoWorkFile : rc;
}

}  // namespace

Error WriteWavSkeleton(const SkeletonExport& range, const MarkerList& markers, const TagSet& tags, PosixFile* out) {
  (void)out->Close();
  if (range.format.code & sample_code::kFloatBit) return err::kUnsupportedFormat;
  return TryAlloc([&] {
    PcmHeaderRequest request;
    request.kind = PcmFileKind::Wave;
    request.rate = range.format.rate;
    request.code = range.format.code;
    request.channels = range.format.channels;
    request.frames = 0;
    request.extensible = false;
    std::byte header[kMaxPcmHeaderBytes];
    std::uint32_t header_bytes = 0;
    if (BuildPcmHeader(request, header, &header_bytes) != err::kOk) return err::kUnsupportedFormat;

    MarkerList inside;
    if (range.from <= range.to) {
      const std::uint32_t last = std::min(range.to, kMaxFrames);
      if (const Error rc = CopyMarkerRange(markers, range.from, last + 1, true, &inside)) return rc;
    }

    PosixFile file;
    if (const Error rc = OpenScratchFile(&file)) return rc;
    if (WriteExact(file, header, header_bytes, 0) != err::kOk) return err::kNoWorkFile;
    if (const Error rc = AppendCueList(file, header_bytes, inside)) return WorkFileError(rc);
    std::uint64_t length = 0;
    if (file.Size(&length) != err::kOk) return err::kNoWorkFile;
    if (const Error rc = AppendInfoList(file, length, tags)) return WorkFileError(rc);
    *out = std::move(file);
    return err::kOk;
  });
}

Error BuildWavSkeleton(const SkeletonExport& range, const MarkerList& markers, const TagSet& tags,
                       std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  PosixFile file;
  if (const Error rc = WriteWavSkeleton(range, markers, tags, &file)) return rc;
  return TryAlloc([&] {
    std::uint64_t length = 0;
    if (file.Size(&length) != err::kOk) return err::kNoWorkFile;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(length));
    FileInput input(file);
    if (input.ReadExact(out.data(), out.size(), 0) != err::kOk) return err::kNoWorkFile;
    *bytes = std::move(out);
    return err::kOk;
  });
}

}  // namespace tidemark
