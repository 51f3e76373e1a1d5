#include "formats/one_bit/one_bit_audio.h"

#include "formats/one_bit/internal/dsdiff_reader.h"
#include "formats/one_bit/internal/dsf_reader.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/one_bit/internal/wsd_reader.h"
#include "platform/alloc.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {

COneBitAudio::~COneBitAudio() = default;

Error COneBitAudio::CheckLimits(std::uint32_t lowest_rate, std::uint32_t highest_rate,
                                std::uint16_t fewest_channels, std::uint16_t most_channels) {
  if (!is_open()) return err::kSizeLimit;
  const std::uint32_t rate = SampleRate();
  const std::uint16_t channels = Channels();
  if (rate < lowest_rate || rate > highest_rate) return err::kUnsupportedFormat;
  if (channels < fewest_channels || channels > most_channels) return err::kUnsupportedFormat;
  return err::kOk;
}

Error COneBitAudio::OpenFile(const std::string& path) {
  if (is_open()) return err::kSizeLimit;
  file_length_ = 0;
  const Error rc = OpenInputFile(path, &file_, &file_length_);
  if (rc != err::kOk) CloseFile();
  return rc;
}

void COneBitAudio::CloseFile() {
  (void)file_.Close();  // read-only: nothing the kernel could still refuse
  file_length_ = 0;
  layout_ = OneBitLayout::kByteInterleaved;
}

std::unique_ptr<COneBitAudio> MakeOneBitReader(std::string_view extension) {
  std::unique_ptr<COneBitAudio> reader;  // stays empty when memory runs out
  if (EqualsIgnoreAsciiCase(extension, ".dff")) (void)MakeNew<CDsdIff>(&reader);
  else if (EqualsIgnoreAsciiCase(extension, ".dsf")) (void)MakeNew<CDsf>(&reader);
  else if (EqualsIgnoreAsciiCase(extension, ".wsd")) (void)MakeNew<CWsd>(&reader);
  return reader;
}

void AppendMarkers(MarkerList& markers, MarkerList read) {
  Marker* after = markers.last();
  while (Marker* m = read.UnlinkAfter(nullptr)) {
    markers.InsertAfterAdopt(after, m);
    after = m;
  }
}

Error MergeTags(TagSet& tags, const TagSet& read) {
  return TryAlloc([&] {
    TagSet merged = tags;
    for (std::size_t i = 0; i < kInfoTextCount; ++i)
      if (read.texts[i] && !read.texts[i]->empty()) merged.texts[i] = read.texts[i];
    tags = std::move(merged);
    return err::kOk;
  });
}

}  // namespace tidemark::NS_1BIT
