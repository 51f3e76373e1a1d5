// The two kinds stored as WAV files: Temp, the program's working files,
// and Wave. They differ only in that files are saved and recognised as Wave.
#pragma once

#include "formats/file_kind_table.h"

namespace tidemark {

extern const FileKindDescription kTempFileKind;
extern const FileKindDescription kWaveFileKind;

}  // namespace tidemark
