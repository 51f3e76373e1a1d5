#include "formats/aiff_au/internal/aiff_au_kinds.h"

#include <ctime>

#include "core/io/pcm_header.h"
#include "formats/aiff_au/internal/au_probe.h"
#include "formats/aiff_au/internal/iff_header.h"
#include "formats/aiff_au/internal/iff_markers.h"
#include "formats/aiff_au/internal/iff_probe.h"
#include "formats/aiff_au/internal/iff_rate_patch.h"
#include "formats/chunks/byte_order.h"
#include "formats/chunks/container.h"
#include "formats/tags/internal/aiff_text.h"
#include "formats/tags/internal/au_annotation.h"

namespace tidemark {
namespace {

constexpr std::string_view kAiffExtensions[] = {"aif", "aiff"};
constexpr std::string_view kAifcExtensions[] = {"aifc"};
constexpr std::string_view kAuExtensions[] = {"au", "snd"};

// Every comment carries the time it was written.
Error AppendIffMarkersNow(PosixFile& file, std::uint64_t length, const MarkerList& markers) {
  return AppendIffMarkers(file, length, markers, IffTimestamp(std::time(nullptr)));
}

// The annotation holds Copyright alone.
bool LacksCopyright(const TagSet& tags) { return TagText(tags, InfoText::Copyright).empty(); }

constexpr std::uint32_t kFormMagics[] = {FourCc("FORM")};
constexpr std::uint32_t kAuMagics[] = {FourCc(".snd")};

constexpr FileKindDescription IffFile(PcmFileKind kind, std::span<const std::string_view> extensions,
                                      const PcmHeaderFormat* header) {
  FileKindDescription d;
  d.kind = kind;
  d.extensions = extensions;
  d.header = header;
  d.container = &kFormContainer;
  d.big_endian = true;
  d.magics = kFormMagics;
  d.probe = ProbeIff;  // either form type
  d.patch_rate = PatchIffRate;
  d.read_tags = ReadAiffTexts;
  d.write_tags = AppendAiffTexts;
  d.nothing_to_write = IsTagSetEmpty;
  d.read_markers = ReadIffMarkers;
  d.write_markers = AppendIffMarkersNow;
  return d;
}

constexpr FileKindDescription AuFile() {
  FileKindDescription d;
  d.kind = PcmFileKind::AU;
  d.extensions = kAuExtensions;
  d.header = &kAuHeaderFormat;
  d.big_endian = true;
  d.magics = kAuMagics;
  d.probe = ProbeAu;
  d.patch_rate = PatchAuRate;
  d.read_tags = ReadAuAnnotation;
  d.write_tags = WriteAuAnnotation;
  d.nothing_to_write = LacksCopyright;
  return d;
}

constexpr FileKindDescription RawFile() {
  FileKindDescription d;
  d.kind = PcmFileKind::Raw;
  d.header = &kHeaderlessFormat;
  return d;
}

}  // namespace

constinit const FileKindDescription kAiffFileKind = IffFile(PcmFileKind::AIFF, kAiffExtensions, &kAiffHeaderFormat);
constinit const FileKindDescription kAifcFileKind = IffFile(PcmFileKind::AIFC, kAifcExtensions, &kAifcHeaderFormat);
constinit const FileKindDescription kAuFileKind = AuFile();
constinit const FileKindDescription kRawFileKind = RawFile();

}  // namespace tidemark
