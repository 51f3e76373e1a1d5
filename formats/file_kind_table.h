// Everything that differs between the kinds of PCM file, one description
// per kind, gathered in one table. Each description is defined in its
// format's folder (wav/ for Temp and Wave, aiff_au/ for AIFF, AIFC, AU and
// Raw); the code that works on files of any kind looks its kind up here
// instead of switching on it. An empty entry means the kind has no such
// thing (Raw has no tags, AU no markers).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/markers/marker.h"
#include "platform/error.h"
#include "core/samples/sample_format.h"
#include "formats/tags/tag_set.h"

namespace tidemark {

class PosixFile;
class RandomAccessInput;
struct Container;
struct PcmHeaderFormat;
struct SoundFileInfo;

// The readers work on an input of `length` bytes and answer 14 for a file
// that is not of their kind or is malformed; the writers work in place on a
// file opened for editing.
using ProbeFunction = Error (*)(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info);
using RatePatchFunction = Error (*)(PosixFile& file, std::uint64_t length, std::uint32_t rate);
using TagReadFunction = Error (*)(RandomAccessInput& input, std::uint64_t length, TagSet* tags);
using TagWriteFunction = Error (*)(PosixFile& file, std::uint64_t length, const TagSet& tags);
using MarkerReadFunction = Error (*)(RandomAccessInput& input, std::uint64_t length, MarkerList* markers);
using MarkerWriteFunction = Error (*)(PosixFile& file, std::uint64_t length, const MarkerList& markers);

struct FileKindDescription {
  PcmFileKind kind = PcmFileKind::Raw;
  // File name extensions (lower case, without the dot) that ask for this
  // kind when a file is saved.
  std::span<const std::string_view> extensions;
  // The header in front of the samples, as core writes it.
  const PcmHeaderFormat* header = nullptr;
  // The chunk container the file is; null for a file without chunks.
  const Container* container = nullptr;
  // How samples of the kind are stored where no header tells: 8-bit samples
  // unsigned, wider ones (floats too) big-endian.
  bool unsigned_bytes = false;
  bool big_endian = false;
  // The probe for files whose first four bytes are one of `magics` (as FourCc).
  std::span<const std::uint32_t> magics;
  ProbeFunction probe = nullptr;
  // Rewrites the stored sample rate.
  RatePatchFunction patch_rate = nullptr;
  // The tag store: reading it, adding to it, and whether a (stamped) set
  // gives it nothing to hold, so that the file is not even opened.
  TagReadFunction read_tags = nullptr;
  TagWriteFunction write_tags = nullptr;
  bool (*nothing_to_write)(const TagSet& tags) = nullptr;
  // Markers: read in reverse file order, appended after the last chunk.
  MarkerReadFunction read_markers = nullptr;
  MarkerWriteFunction write_markers = nullptr;
};

// The descriptions, indexed by PcmFileKind.
std::span<const FileKindDescription* const, kPcmFileKindCount> FileKindTable();

// The description of `kind`; any kind value of Raw or above is Raw.
const FileKindDescription& DescribeFileKind(PcmFileKind kind);

// Puts the header formats of the table in force in core
// (InstallPcmHeaderFormats). Call once at program start, before any file
// is written; until then core writes Temp, Wave and Raw files only.
void InstallFileKinds();

}  // namespace tidemark
