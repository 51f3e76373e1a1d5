#include "formats/file_markers.h"

#include <utility>

#include "core/markers/marker_list.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/file_kind_table.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error ReadFileMarkers(const std::string& path, PcmFileKind kind, std::uint32_t length,
                              MarkerList* markers) {
  markers->Clear();
  const MarkerReadFunction read = DescribeFileKind(kind).read_markers;
  if (!read) return err::kOk;
  MarkerList reversed;
  const Error rc = ReadInputFile(path, [&](RandomAccessInput& input, std::uint64_t file_length) {
    return read(input, file_length, &reversed);
  });
  if (rc != err::kOk) return rc == err::kMalformed ? err::kLayoutMismatch : rc;
  *markers = MergeSortedReversed(std::move(reversed), length);
  return err::kOk;
}

}  // namespace tidemark
