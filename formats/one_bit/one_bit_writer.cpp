#include "formats/one_bit/one_bit_writer.h"

#include <algorithm>
#include <array>

#include "core/core_options.h"
#include "formats/one_bit/internal/dsdiff_writer.h"
#include "formats/one_bit/internal/dsf_writer.h"
#include "formats/one_bit/internal/wsd_writer.h"
#include "platform/alloc.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"

namespace tidemark::NS_1BIT {
namespace {

// Interleaved data goes to WriteRaw in slices of this many bytes.
constexpr std::uint32_t kInterleaveSlice = 4096;

// The ID3v2 settings, as the application put them into the options record.
Id3v2WriteOptions Id3v2OptionsFromCore() {
  const CoreOptions& core = GetCoreOptions();
  Id3v2WriteOptions options;
  options.version = core.id3v2_version4 ? 4 : 3;
  options.unicode = core.id3v2_unicode;
  options.unsynchronise = core.id3v2_unsynchronisation;
  return options;
}

}  // namespace

COneBitWriter::COneBitWriter(bool lsb_first) : lsb_first_(lsb_first) {}

COneBitWriter::~COneBitWriter() = default;

Error COneBitWriter::Open(const std::string& path) {
  if (stage_ != Stage::kClosed) return err::kSizeLimit;
  // The buffered file never shortens what it opens, so an old file is
  // emptied first.
  {
    PosixFile empty;
    FileOpenOptions options;
    options.access = FileAccess::kWrite;
    options.disposition = FileDisposition::kCreateAlways;
    if (const Error rc = empty.Open(path, options)) return rc;
    if (const Error rc = empty.Close()) return rc;
  }
  if (const Error rc = file_.Open(path, buffered_open::kWrite | buffered_open::kOpenAlways)) return rc;
  stage_ = Stage::kOpen;
  error_ = err::kOk;
  rate_ = 0;
  channels_ = 0;
  data_offset_ = data_capacity_ = data_written_ = 0;
  return err::kOk;
}

Error COneBitWriter::Close() {
  if (stage_ == Stage::kClosed) return err::kOk;
  const Error rc = file_.Close();
  const Error result = error_ != err::kOk ? error_ : rc;
  stage_ = Stage::kClosed;
  error_ = err::kOk;
  return result;
}

Error COneBitWriter::Check(Stage stage) const {
  if (error_ != err::kOk) return error_;
  return stage_ == stage ? err::kOk : err::kSizeLimit;
}

Error COneBitWriter::Note(Error rc) {
  if (rc != err::kOk && error_ == err::kOk) error_ = rc;
  return rc;
}

Error COneBitWriter::WriteAt(std::uint64_t offset, const void* bytes, std::size_t n) {
  if (n == 0) return err::kOk;
  if (offset > static_cast<std::uint64_t>(INT64_MAX) || file_.Seek(static_cast<std::int64_t>(offset), 0) < 0)
    return Note(err::kSeekFailed);
  return Note(file_.Write(bytes, n));
}

Error COneBitWriter::FillAt(std::uint64_t offset, std::uint8_t value, std::uint64_t n) {
  std::array<std::uint8_t, 4096> piece;
  piece.fill(value);
  while (n > 0) {
    const auto k = static_cast<std::size_t>(std::min<std::uint64_t>(n, piece.size()));
    if (const Error rc = WriteAt(offset, piece.data(), k)) return rc;
    offset += k;
    n -= k;
  }
  return err::kOk;
}

Error COneBitWriter::SizeFile(std::uint64_t size) {
  if (size == 0) return err::kOk;
  if (const Error rc = Note(file_.SetLogicalEnd(static_cast<std::int64_t>(size)))) return rc;
  const std::uint8_t zero = 0;
  if (const Error rc = WriteAt(size - 1, &zero, 1)) return rc;
  return Note(file_.Flush());
}

void COneBitWriter::StartData(std::uint32_t rate, std::uint16_t channels, std::uint64_t offset,
                              std::uint64_t capacity) {
  rate_ = rate;
  channels_ = channels;
  data_offset_ = offset;
  data_capacity_ = capacity;
  data_written_ = 0;
  stage_ = Stage::kBegun;
}

Error COneBitWriter::AppendData(const void* bytes, std::size_t n) {
  if (const Error rc = Check(Stage::kBegun)) return rc;
  if (n > data_left()) return err::kSizeLimit;
  if (n > 0 && bytes == nullptr) return err::kSizeLimit;
  if (const Error rc = WriteAt(data_offset_ + data_written_, bytes, n)) return rc;
  data_written_ += n;
  return err::kOk;
}

Error COneBitWriter::FillRestOfData(std::uint8_t pattern) {
  if (const Error rc = FillAt(data_offset_ + data_written_, pattern, data_left())) return rc;
  data_written_ = data_capacity_;
  return err::kOk;
}

Error COneBitWriter::CheckPlanar(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                                 std::uint16_t channels) const {
  if (const Error rc = Check(Stage::kBegun)) return rc;
  if (channels != channels_) return err::kSizeLimit;
  if (bytes_per_channel == 0) return err::kOk;
  if (channel_bytes == nullptr) return err::kSizeLimit;
  for (std::uint16_t c = 0; c < channels; ++c)
    if (channel_bytes[c] == nullptr) return err::kSizeLimit;
  return err::kOk;
}

Error COneBitWriter::WriteInterleaved(const std::uint8_t* const* channel_bytes,
                                      std::uint32_t bytes_per_channel, std::uint16_t channels) {
  if (std::uint64_t{bytes_per_channel} * channels > data_left()) return err::kSizeLimit;
  const std::uint32_t slice = kInterleaveSlice / channels;
  std::array<std::uint8_t, kInterleaveSlice> mixed;
  for (std::uint32_t at = 0; at < bytes_per_channel;) {
    const std::uint32_t k = std::min(slice, bytes_per_channel - at);
    for (std::uint16_t c = 0; c < channels; ++c) {
      const std::uint8_t* from = channel_bytes[c] + at;
      for (std::uint32_t i = 0; i < k; ++i) mixed[std::size_t{i} * channels + c] = from[i];
    }
    if (const Error rc = WriteRaw(mixed.data(), k * channels)) return rc;
    at += k;
  }
  return err::kOk;
}

std::unique_ptr<COneBitWriter> MakeOneBitWriter(std::string_view extension) {
  std::unique_ptr<COneBitWriter> writer;  // stays empty when memory runs out
  if (EqualsIgnoreAsciiCase(extension, ".dff")) (void)MakeNew<CDsdIffWriter>(&writer);
  else if (EqualsIgnoreAsciiCase(extension, ".dsf")) (void)MakeNew<CDsfWriter>(&writer, Id3v2OptionsFromCore());
  else if (EqualsIgnoreAsciiCase(extension, ".wsd")) (void)MakeNew<CWsdWriter>(&writer);
  return writer;
}

}  // namespace tidemark::NS_1BIT
