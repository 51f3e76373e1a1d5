#include "core/sources/view_source.h"

#include <algorithm>
#include <cstring>

#include "core/io/chunk_writer.h"
#include "platform/alloc.h"

namespace tidemark {
namespace {
constexpr std::size_t kStagingBytes = 4096;
}  // namespace

Error ViewSource::Serialize(ChunkWriter& writer) {
  std::uint32_t number = 0;
  if (!writer.SourceNumber(*inner_.get(), &number)) return err::kPathUnresolved;
  RecordBytes record("sf2 ");
  record.U16(channels());
  record.U16(channel_);
  record.U32(number);
  return record.WriteTo(writer);
}

Error StereoViewSource::Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) {
  if (!IsSupportedSampleCode(dst_code)) return err::kSizeLimit;
  if (const Error rc = inner_->Read(first, count, dst, dst_code)) return rc;
  const std::size_t b = BytesPerSample(dst_code);
  auto* p = static_cast<std::byte*>(dst);
  if (inner_->channels() == 1) {
    // Spread in place from the end, so no sample is overwritten before it is read.
    for (std::size_t i = count; i-- > 0;) {
      std::byte sample[8];
      std::memcpy(sample, p + i * b, b);
      std::memcpy(p + 2 * i * b, sample, b);
      std::memcpy(p + (2 * i + 1) * b, sample, b);
    }
    return err::kOk;
  }
  const std::size_t keep = channel_, other = 1 - channel_;
  for (std::size_t i = 0; i < count; ++i) std::memcpy(p + (2 * i + other) * b, p + (2 * i + keep) * b, b);
  return err::kOk;
}

Error MonoViewSource::Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) {
  if (!IsSupportedSampleCode(dst_code)) return err::kSizeLimit;
  const std::size_t b = BytesPerSample(dst_code);
  const std::size_t per_piece = kStagingBytes / (2 * b);
  alignas(16) std::byte staging[kStagingBytes];
  auto* out = static_cast<std::byte*>(dst);
  while (count > 0) {
    const auto frames = static_cast<std::uint32_t>(std::min<std::size_t>(count, per_piece));
    if (const Error rc = inner_->Read(first, frames, staging, dst_code)) return rc;
    for (std::size_t i = 0; i < frames; ++i) std::memcpy(out + i * b, staging + (2 * i + channel_) * b, b);
    out += frames * b;
    first += frames;
    count -= frames;
  }
  return err::kOk;
}

SourceRef MakeStereoView(SourceRef inner, std::uint16_t channel) {
  if (!inner || channel > 1 || inner->channels() < 1 || inner->channels() > 2) return {};
  SourceRef view;  // empty when memory runs out
  (void)MakeNew<StereoViewSource>(&view, std::move(inner), channel);
  return view;
}

SourceRef MakeMonoView(SourceRef inner, std::uint16_t channel) {
  if (!inner || channel > 1 || inner->channels() != 2) return {};
  SourceRef view;  // empty when memory runs out
  (void)MakeNew<MonoViewSource>(&view, std::move(inner), channel);
  return view;
}

const ViewSource* AsViewSource(const SoundSource* source) {
  if (!source) return nullptr;
  const SourceKind k = source->kind();
  return k == SourceKind::StereoView || k == SourceKind::MonoView ? static_cast<const ViewSource*>(source) : nullptr;
}

}  // namespace tidemark
