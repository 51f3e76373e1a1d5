#include "formats/wav/wav_probe.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "formats/chunks/byte_order.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "formats/wav/internal/wav_format.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;
// A 32-bit size field of an RF64 file whose value is in "ds64".
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFFu;
// RIFF size, data size and sample count (64 bits each), table length.
constexpr std::uint32_t kDs64FixedBytes = 28;
// Chunk id and 64-bit size.
constexpr std::uint32_t kDs64EntryBytes = 12;
// Writers list a chunk or two; a table claiming gigabytes is read no
// further than this, and chunks it would have sized keep their stored size.
constexpr std::uint32_t kMaxDs64Entries = 65536;

struct WaveChunks {
  bool have_format = false;
  wav::FormatBlock format;
  bool float_data = false;  // tag 3, or the extensible form with the float sub-format
  bool have_fact = false;
  std::uint32_t fact_frames = 0;
  const ChunkEntry* data = nullptr;
};

// A float format body is 16 bytes (libsndfile writes no extra-size field)
// or 18 and more with an extra-size field that the body holds; 17 bytes cut
// that field, and a larger field claims bytes the chunk does not have.
Error CheckFloatFormatSize(RandomAccessInput& input, const ChunkEntry& chunk) {
  if (chunk.size == wav::kPlainFormatBytes) return err::kOk;
  if (chunk.size < wav::kFloatFormatBytes) return err::kMalformed;
  std::uint8_t extra[2];
  if (const Error rc = input.ReadExact(extra, sizeof extra, std::uint64_t{chunk.offset} + 8 + wav::kPlainFormatBytes))
    return rc;
  return LoadLe16(extra) <= chunk.size - wav::kFloatFormatBytes ? err::kOk : err::kMalformed;
}

// Reads and checks the first "fmt " body; 33 for a foreign tag before
// anything else is looked at.
Error ReadFormat(RandomAccessInput& input, const ChunkEntry& chunk, WaveChunks* out) {
  if (chunk.size < wav::kPlainFormatBytes) return err::kMalformed;
  std::uint8_t body[wav::kPlainFormatBytes];
  if (const Error rc = input.ReadExact(body, sizeof body, std::uint64_t{chunk.offset} + 8)) return rc;
  out->format = wav::ParseFormatBlock(body);
  switch (out->format.tag) {
    case wav::kTagPcm:
      break;
    case wav::kTagFloat:
      if (const Error rc = CheckFloatFormatSize(input, chunk)) return rc;
      out->float_data = true;
      break;
    case wav::kTagExtensible: {
      if (chunk.size != wav::kExtensibleFormatBytes) return err::kMalformed;
      std::uint8_t guid[16];
      if (const Error rc =
              input.ReadExact(guid, sizeof guid, std::uint64_t{chunk.offset} + 8 + wav::kSubFormatOffset))
        return rc;
      if (wav::IsSubFormat(guid, wav::kFloatSubFormat))
        out->float_data = true;
      else if (!wav::IsSubFormat(guid, wav::kPcmSubFormat))
        return err::kMalformed;
      break;
    }
    default:
      return err::kForeignEncoding;
  }
  out->have_format = true;
  return err::kOk;
}

// The first "fmt ", "fact" and "data" of the RIFF/WAVE file on `input`;
// `found.data` points into `table`.
Error FindWaveChunks(RandomAccessInput& input, std::uint64_t length, ChunkTable* table, WaveChunks* found) {
  if (const Error rc = ReadFileChunkTable(input, length, kRiffContainer, table)) return rc;
  for (const ChunkEntry& chunk : *table) {
    if (chunk.id == FourCc("fmt ") && !found->have_format) {
      if (const Error rc = ReadFormat(input, chunk, found)) return rc;
    } else if (chunk.id == FourCc("fact") && !found->have_fact) {
      if (chunk.size < 4) return err::kMalformed;
      std::uint8_t count[4];
      if (const Error rc = input.ReadExact(count, sizeof count, std::uint64_t{chunk.offset} + 8)) return rc;
      found->fact_frames = LoadLe32(count);
      found->have_fact = true;
    } else if (chunk.id == FourCc("data") && !found->data) {
      found->data = &chunk;
    }
  }
  if (!found->have_format || !found->data) return err::kMalformed;
  return err::kOk;
}

// The description of the chunks found, with the whole size of the first
// "data" chunk, whether a chunk follows it, and the "fact" count to believe.
Error Describe(const WaveChunks& found, std::uint64_t data_size, bool chunk_after_data, std::uint64_t fact_frames,
               SoundFileInfo* info) {
  const wav::FormatBlock& f = found.format;
  if (f.channels == 0 || f.block_align == 0 || f.block_align % f.channels != 0) return err::kMalformed;
  const unsigned width = f.block_align / f.channels;
  // The low nibble of the sample code holds the width.
  if (width > sample_code::kSizeMask) return err::kUnsupportedFormat;

  const std::uint64_t data_frames = data_size / f.block_align;
  SampleCode code = static_cast<SampleCode>(width);
  std::uint64_t frames = data_frames;
  if (found.float_data) {
    code |= sample_code::kFloatBit;
  } else if (f.bits <= 8) {
    code |= sample_code::kUnsignedBit;
  }
  if (f.tag != wav::kTagPcm && found.have_fact) {
    // A count beyond the data chunk is believed when nothing follows the
    // data (a writer that never fixed the data size; reading past the end
    // of the file then fails), but not when another chunk would be read as
    // samples.
    frames = fact_frames;
    if (frames > data_frames && chunk_after_data) frames = data_frames;
  }

  info->kind = PcmFileKind::Wave;
  info->rate = f.rate;
  info->channels = f.channels;
  info->code = code;
  // More frames than 32 bits count are more than any document holds.
  info->frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, 0xFFFFFFFFu));
  info->data_offset = found.data->offset + 8;
  return err::kOk;
}

Error ProbeRiff(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  if (length > kLargestFile) return err::kMalformed;
  ChunkTable table;
  WaveChunks found;
  if (const Error rc = FindWaveChunks(input, length, &table, &found)) return rc;
  return Describe(found, found.data->size, ChunkFollows(table, *found.data), found.fact_frames, info);
}

Error ProbeRf64(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  RiffView view;
  if (const Error rc = ViewRf64AsRiff(input, length, &view)) return rc;
  PatchedInput riff(input, view.length, std::move(view.patches));
  ChunkTable table;
  WaveChunks found;
  if (const Error rc = FindWaveChunks(riff, view.length, &table, &found)) return rc;
  // The view shows the first "data" chunk of the file: its header lies
  // below every chunk that the view leaves out.
  const std::uint64_t fact = found.fact_frames == kSizeInDs64 ? view.sample_count : found.fact_frames;
  return Describe(found, view.data_size, view.chunk_after_data, fact, info);
}

PatchedInput::Patch PatchAt(std::uint64_t offset, std::uint32_t value) {
  PatchedInput::Patch patch;
  patch.offset = offset;
  StoreLe32(patch.bytes, value);
  return patch;
}

// The 64-bit sizes of "ds64": its fixed fields and its table, sorted by id
// with the entries of one id in file order.
struct Ds64 {
  std::uint64_t riff = 0;
  std::uint64_t data = 0;
  std::uint64_t samples = 0;
  std::vector<std::pair<std::uint32_t, std::uint64_t>> table;
  std::vector<std::uint32_t> taken;  // at the first entry of each id: how many are used

  // The size of the next chunk `id` in file order whose size field holds
  // `stored`. The n-th chunk of an id that needs the table takes the n-th
  // entry of that id; without one the stored value stands.
  std::uint64_t SizeOf(std::uint32_t id, std::uint32_t stored) {
    if (stored != kSizeInDs64) return stored;
    if (id == FourCc("data")) return data;
    const auto first = std::lower_bound(table.begin(), table.end(), std::pair<std::uint32_t, std::uint64_t>{id, 0},
                                        [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto group = static_cast<std::size_t>(first - table.begin());
    if (group == table.size() || first->first != id) return stored;
    const std::size_t next = group + taken[group];
    if (next == table.size() || table[next].first != id) return stored;
    ++taken[group];
    return table[next].second;
  }
};

Error ReadDs64Table(RandomAccessInput& input, std::uint32_t body_size, std::uint32_t entries, Ds64* ds64) {
  entries = std::min({entries, (body_size - kDs64FixedBytes) / kDs64EntryBytes, kMaxDs64Entries});
  std::vector<std::uint8_t> bytes(std::size_t{entries} * kDs64EntryBytes);
  if (!bytes.empty())
    if (const Error rc = input.ReadExact(bytes.data(), bytes.size(), 12 + 8 + kDs64FixedBytes)) return rc;
  ds64->table.reserve(entries);
  for (std::size_t i = 0; i < entries; ++i)
    ds64->table.emplace_back(LoadLe32(&bytes[i * kDs64EntryBytes]), LoadLe64(&bytes[i * kDs64EntryBytes + 4]));
  // A stable sort keeps the entries of an id in file order.
  std::stable_sort(ds64->table.begin(), ds64->table.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  ds64->taken.assign(ds64->table.size(), 0);
  return err::kOk;
}

}  // namespace

bool IsRf64Magic(std::uint32_t magic) { return magic == FourCc("RF64") || magic == FourCc("BW64"); }

Error ViewRf64AsRiff(RandomAccessInput& input, std::uint64_t length, RiffView* view) {
  *view = RiffView();
  constexpr std::uint32_t kHeadBytes = 12 + 8 + kDs64FixedBytes;
  if (length < kHeadBytes) return err::kMalformed;
  std::uint8_t head[kHeadBytes];
  if (const Error rc = input.ReadExact(head, sizeof head, 0)) return rc;
  if (!IsRf64Magic(LoadLe32(head)) || LoadLe32(head + 8) != FourCc("WAVE")) return err::kMalformed;
  if (LoadLe32(head + 12) != FourCc("ds64")) return err::kMalformed;
  const std::uint32_t ds64_size = LoadLe32(head + 16);
  if (ds64_size < kDs64FixedBytes) return err::kMalformed;

  return TryAlloc([&] {
    Ds64 ds64;
    ds64.riff = LoadLe64(head + 20);
    ds64.data = LoadLe64(head + 28);
    ds64.samples = LoadLe64(head + 36);
    const std::uint32_t stored_riff = LoadLe32(head + 4);
    const std::uint64_t riff = stored_riff == kSizeInDs64 ? ds64.riff : stored_riff;
    // As for RIFF: a container that claims more than the file holds is refused.
    if (riff < 4 || riff > length - 8) return err::kMalformed;
    const std::uint64_t end = 8 + riff;
    if (12 + 8 + std::uint64_t{ds64_size} > end) return err::kMalformed;
    if (const Error rc = ReadDs64Table(input, ds64_size, LoadLe32(head + 44), &ds64)) return rc;

    RiffView out;
    out.sample_count = ds64.samples;
    out.patches.push_back(PatchAt(0, FourCc("RIFF")));
    out.patches.push_back(PatchAt(4, 0));  // the view's size, known at the end
    std::uint64_t view_end = std::min(end, kLargestFile);
    bool cut = false, have_data = false;
    WindowedReader headers(input, end);
    for (std::uint64_t at = 12; at + 8 <= end;) {
      std::uint8_t header[8];
      if (const Error rc = headers.ReadExact(header, sizeof header, at)) return rc;
      const std::uint32_t id = LoadLe32(header), stored = LoadLe32(header + 4);
      const std::uint64_t size = ds64.SizeOf(id, stored);
      if (size > end - at - 8) return err::kMalformed;
      if (have_data) out.chunk_after_data = true;
      if (id == FourCc("data") && !have_data) {
        have_data = true;
        out.data_size = size;
      }
      if (!cut) {
        if (at + 8 + size <= kLargestFile) {
          if (size != stored) out.patches.push_back(PatchAt(at + 4, static_cast<std::uint32_t>(size)));
        } else if (id == FourCc("data") && at + 8 <= kLargestFile) {
          // The samples past 4 GiB are read through the data offset, not the view.
          out.patches.push_back(PatchAt(at + 4, static_cast<std::uint32_t>(kLargestFile - at - 8)));
          cut = true;
        } else {
          view_end = at;
          cut = true;
        }
      }
      at += 8 + PaddedSize(size);
    }
    out.length = view_end;
    StoreLe32(out.patches[1].bytes, static_cast<std::uint32_t>(view_end - 8));
    *view = std::move(out);
    return err::kOk;
  });
}

Error ProbeWave(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  if (length < 4) return err::kMalformed;
  std::uint8_t magic[4];
  if (const Error rc = input.ReadExact(magic, sizeof magic, 0)) return rc;
  return TryAlloc([&] {
    return IsRf64Magic(LoadLe32(magic)) ? ProbeRf64(input, length, info) : ProbeRiff(input, length, info);
  });
}

}  // namespace tidemark
