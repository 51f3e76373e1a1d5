// Writes a stream of frames into working files of just under 4 GiB each,
// starting a new file whenever the current one is full, and hands the
// finished files over as owned file sources.
//
// Each full cache window of the current file goes to disk behind the caller
// (buffered_open::kWriteBehind), so producing the next frames overlaps the
// disk. A failed write of such a window is reported, with the number an
// in-place write would give, by the next Write or by Finish.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/io/buffered_file.h"
#include "core/samples/sample_format.h"
#include "platform/error.h"

namespace tidemark {

class SegmentList;

class WorkFileWriter {
 public:
  struct File {
    std::string path;
    std::uint32_t data_bytes = 0;    // sample bytes written
    std::uint32_t preset_bytes = 0;  // sample bytes its header was first written for
  };

  WorkFileWriter() = default;
  WorkFileWriter(const WorkFileWriter&) = delete;
  WorkFileWriter& operator=(const WorkFileWriter&) = delete;
  // Deletes the files of an unfinished run.
  ~WorkFileWriter();

  // Starts a run (an unfinished earlier run is discarded) and its first
  // file. When `expected_frames` need more than one file, the free space of
  // the working volume is checked first (26 when short). Errors: 77 (layout),
  // 24 (volume), 2, 26, and those of NewWorkFileName, BufferedFile::Open and
  // WriteHeader.
  [[nodiscard]] Error Begin(PcmFileKind kind, std::uint32_t rate, SampleCode code,
                            std::uint16_t channels, std::uint32_t expected_frames);
  // Appends bytes of the writer's sample code. 25 outside a run.
  [[nodiscard]] Error Write(const void* data, std::size_t bytes);
  // Appends frames of `code`, converted to the writer's code.
  [[nodiscard]] Error WriteFrames(const void* frames, std::size_t count, SampleCode code);
  // Appends planar float stereo frames (77 unless the writer has 2 channels).
  [[nodiscard]] Error WriteStereoPlanar(const float* left, const float* right, std::size_t frames);
  // Corrects the last header, closes the last file and, with `segments`,
  // appends one segment per file (oldest first) over an owned file source;
  // a file without frames is deleted instead. Without `segments` the files
  // stay on disk for the caller (see files()). On failure nothing is
  // appended and every file is deleted.
  [[nodiscard]] Error Finish(SegmentList* segments);
  // Closes the current file and deletes every file of the run.
  void Discard();

  // Caps the sample bytes per file (rounded down to whole frames) from the
  // next Begin on; 0 restores the natural limit. For tests.
  void set_file_byte_limit(std::uint32_t bytes) { file_byte_limit_ = bytes; }

  const std::vector<File>& files() const { return files_; }
  std::uint32_t bytes_per_file() const { return bytes_per_file_; }
  std::uint32_t header_size() const { return header_size_; }
  // Frames still expected after Finish subtracted the files handed over.
  std::uint32_t expected_frames() const { return expected_frames_; }

 private:
  Error StartFile();
  Error CloseCurrent();
  Error WriteConverted(const void* data, std::size_t samples, SampleCode code);
  void DeleteFiles();

  PcmFileKind kind_ = PcmFileKind::Temp;
  std::uint32_t rate_ = 0;
  SampleCode code_ = 0;
  std::uint16_t channels_ = 0;
  std::uint32_t frame_bytes_ = 0;
  std::uint32_t expected_frames_ = 0;
  std::uint32_t bytes_per_file_ = 0;
  std::uint32_t header_size_ = 0;
  std::uint32_t file_byte_limit_ = 0;
  std::uint32_t free_bytes_ = 0;  // room left in the current file
  bool running_ = false;          // between Begin and Finish or Discard
  bool finished_ = false;         // Finish left the files to the caller
  std::vector<File> files_;       // oldest first
  BufferedFile current_;
  std::unique_ptr<std::byte[]> staging_;
  std::size_t staging_bytes_ = 0;
};

}  // namespace tidemark
