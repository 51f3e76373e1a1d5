#include "formats/file_kind_table.h"

#include <array>

#include "core/io/pcm_header.h"
#include "formats/aiff_au/internal/aiff_au_kinds.h"
#include "formats/file_kind.h"
#include "formats/wav/internal/wav_kinds.h"

namespace tidemark {
namespace {

constexpr std::array<const FileKindDescription*, kPcmFileKindCount> kTable = {
    &kTempFileKind, &kWaveFileKind, &kAiffFileKind, &kAifcFileKind, &kAuFileKind, &kRawFileKind,
};

}  // namespace

std::span<const FileKindDescription* const, kPcmFileKindCount> FileKindTable() { return kTable; }

const FileKindDescription& DescribeFileKind(PcmFileKind kind) {
  return *kTable[static_cast<std::uint16_t>(NormalisedKind(kind))];
}

void InstallFileKinds() {
  PcmHeaderTable headers{};
  for (std::size_t i = 0; i < kTable.size(); ++i) headers[i] = kTable[i]->header;
  InstallPcmHeaderFormats(headers);
}

}  // namespace tidemark
