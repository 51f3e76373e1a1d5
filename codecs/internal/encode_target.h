// The file an encoder writes: a hidden name beside the target, written in
// order through the file wrappers (so the fault seam reaches it), renamed
// over the target only when complete. Whatever fails, nothing is left.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark::codec_detail {

class EncodeTarget {
 public:
  explicit EncodeTarget(std::string path);
  EncodeTarget(const EncodeTarget&) = delete;
  EncodeTarget& operator=(const EncodeTarget&) = delete;
  ~EncodeTarget();  // removes the hidden file unless Commit succeeded

  [[nodiscard]] Error Open();
  // Appends at the end of what was written.
  [[nodiscard]] Error Append(std::span<const std::uint8_t> bytes);
  // Overwrites bytes already written (a header finished at the end).
  [[nodiscard]] Error WriteAt(std::span<const std::uint8_t> bytes, std::uint64_t offset);
  std::uint64_t size() const { return size_; }
  // Closes the file and renames it over the target.
  [[nodiscard]] Error Commit();

 private:
  std::string path_;
  std::string hidden_;
  PosixFile file_;
  std::uint64_t size_ = 0;
  bool created_ = false;
  bool committed_ = false;
};

}  // namespace tidemark::codec_detail
