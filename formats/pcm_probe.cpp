#include "formats/pcm_probe.h"

#include <algorithm>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/file_kind_table.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

bool HasMagic(const FileKindDescription& kind, std::uint32_t id) {
  return std::find(kind.magics.begin(), kind.magics.end(), id) != kind.magics.end();
}

}  // namespace

Error ProbePcm(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  if (length < 4) return err::kMalformed;
  std::uint8_t magic[4];
  if (const Error rc = input.ReadExact(magic, sizeof magic, 0)) return rc;
  const std::uint32_t id = LoadLe32(magic);
  for (const FileKindDescription* kind : FileKindTable())
    if (kind->probe && HasMagic(*kind, id)) return kind->probe(input, length, info);
  return err::kMalformed;
}

Error ProbePcmFile(const std::string& path, SoundFileInfo* info) {
  return ReadInputFile(path, [info](RandomAccessInput& input, std::uint64_t length) {
    return ProbePcm(input, length, info);
  });
}

}  // namespace tidemark
