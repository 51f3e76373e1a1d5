#include "core/sources/silence_source.h"

#include <cstring>

#include "core/io/chunk_writer.h"
#include "core/sources/file_source.h"
#include "platform/alloc.h"

namespace tidemark {

Error SilenceSource::Read(std::uint32_t, std::uint32_t count, void* dst, SampleCode dst_code) {
  if (!IsSupportedSampleCode(dst_code)) return err::kSizeLimit;
  const int fill = dst_code == sample_code::kU8 ? 0x80 : 0;
  std::memset(dst, fill, std::size_t{count} * channels_ * BytesPerSample(dst_code));
  return err::kOk;
}

Error SilenceSource::Serialize(ChunkWriter& writer) {
  RecordBytes record("sf1 ");
  record.U32(rate_);
  record.U16(channels_);
  return record.WriteTo(writer);
}

SourceRef MakeSilenceSource(std::uint32_t rate, std::uint16_t channels) {
  if (channels == 0 || channels > kMaxSourceChannels) return {};
  SourceRef silence;  // empty when memory runs out
  (void)MakeNew<SilenceSource>(&silence, rate, channels);
  return silence;
}

}  // namespace tidemark
