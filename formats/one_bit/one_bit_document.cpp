#include "formats/one_bit/one_bit_document.h"

#include <memory>
#include <utility>

#include "core/document/segment.h"
#include "core/markers/marker_list.h"
#include "formats/one_bit/one_bit_audio.h"
#include "formats/one_bit/one_bit_source.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

std::string_view Extension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return std::string_view(path).substr(dot);
}

}  // namespace

Error OpenOneBitFile(const std::string& path, bool take_metadata, bool max_48k, SegmentList* segments,
                     SoundFileInfo* info, SourceRef* source) {
  std::unique_ptr<COneBitAudio> reader = MakeOneBitReader(Extension(path));
  if (!reader) return err::kUnsupportedFormat;
  if (const Error rc = reader->Open(path)) return rc;
  if (const Error rc = reader->CheckLimits(kLowestOneBitRate, kHighestOneBitRate, 1, 2)) return rc;

  SourceRef converter;
  if (const Error rc = OneBitSource::Create(path, reader->DataOffset(), reader->DataSize(), reader->SampleRate(),
                                            reader->Channels(), reader->layout(), max_48k, &converter))
    return rc;
  const auto* one_bit = AsOneBitSource(converter.get());

  SoundFileInfo opened;
  opened.kind = PcmFileKind::Wave;
  opened.code = sample_code::kFloat;
  opened.rate = one_bit->rate();
  opened.channels = one_bit->channels();
  opened.frames = one_bit->frames();
  opened.data_offset = 0;
  opened.open_flags = open_flag::kFromOneBit;
  if (take_metadata) {
    MarkerList markers;
    if (const Error rc = reader->ReadMarkers(markers, opened.rate)) return rc;
    // As a PCM file's markers reach its document: in position order, none
    // past the end, exact repeats dropped. Files store marks in any order.
    opened.markers = MergeSorted(std::move(markers), opened.frames);
    if (const Error rc = reader->ReadTags(opened.tags)) return rc;
  }
  reader->Close();

  SegmentList list;
  if (opened.frames != 0) {
    std::unique_ptr<Segment> segment;
    if (const Error rc = MakeNew(&segment)) return rc;
    segment->source = converter;
    segment->length = opened.frames;
    list.PushBack(std::move(segment));
  }
  *segments = std::move(list);
  *info = std::move(opened);
  if (source) *source = std::move(converter);
  return err::kOk;
}

}  // namespace tidemark::NS_1BIT
