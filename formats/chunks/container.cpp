#include "formats/chunks/container.h"

#include "formats/chunks/byte_order.h"
#include "formats/chunks/file_io.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error ReadFileChunkTable(RandomAccessInput& input, std::uint64_t length, const Container& container,
                                 ChunkTable* table) {
  table->clear();
  if (length >= 0xFFFFFFFFu) return err::kMalformed;
  const auto limit = static_cast<std::uint32_t>(length);
  if (!container.big_endian) return ReadChunkTable(input, 0, limit, container.id, FourCc("WAVE"), false, table);
  // Either form type: read with none, then check it.
  if (const Error rc = ReadChunkTable(input, 0, limit, container.id, 0, true, table)) return rc;
  std::uint8_t form[4];
  if (const Error rc = input.ReadExact(form, sizeof form, 8)) return rc;
  const std::uint32_t type = LoadLe32(form);
  if (type != FourCc("AIFF") && type != FourCc("AIFC")) {
    table->clear();
    return err::kMalformed;
  }
  return err::kOk;
}

Error WriteContainerSize(PosixFile& file, const Container& container, std::uint32_t size) {
  std::uint8_t bytes[4];
  if (container.big_endian)
    StoreBe32(bytes, size);
  else
    StoreLe32(bytes, size);
  return WriteExact(file, bytes, sizeof bytes, 4);
}

}  // namespace tidemark
