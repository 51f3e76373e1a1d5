// The kinds of the big-endian formats, AIFF, AIFC and AU, and Raw, the
// headerless file.
#pragma once

#include "formats/file_kind_table.h"

namespace tidemark {

extern const FileKindDescription kAiffFileKind;
extern const FileKindDescription kAifcFileKind;
extern const FileKindDescription kAuFileKind;
extern const FileKindDescription kRawFileKind;

}  // namespace tidemark
