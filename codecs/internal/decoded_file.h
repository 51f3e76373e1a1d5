// The end of a decode into a working file: on error the file goes, else the
// document's segments and the file's description are handed over together.
#pragma once

#include <cstdint>
#include <utility>

#include "core/document/segment.h"
#include "core/io/work_file_writer.h"
#include "formats/open_sound_file.h"
#include "platform/error.h"

namespace tidemark {

[[nodiscard]] inline Error FinishDecoded(Error rc, WorkFileWriter& writer, SoundFileInfo opened, std::uint64_t frames,
                                         SoundFileInfo* info, SegmentList* segments) {
  if (rc) {
    writer.Discard();
    return rc;
  }
  SegmentList list;
  if ((rc = writer.Finish(&list))) return rc;
  opened.frames = static_cast<std::uint32_t>(frames);
  *info = std::move(opened);
  *segments = std::move(list);
  return err::kOk;
}

}  // namespace tidemark
