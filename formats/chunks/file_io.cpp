#include "formats/chunks/file_io.h"

#include <string>

#include "core/io/work_folder.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"

namespace tidemark {

Error WriteExact(PosixFile& file, const void* data, std::size_t n, std::uint64_t offset) {
  std::size_t done = 0;
  if (file.WriteAt(data, n, offset, &done) != err::kOk || done != n) return err::kWriteFailed;
  return err::kOk;
}

Error OpenScratchFile(PosixFile* file) {
  std::string path;
  if (NewWorkFileName(kWorkFilePrefix, &path) != err::kOk) return err::kNoWorkFile;
  FileOpenOptions options;
  options.access = FileAccess::kReadWrite;
  options.disposition = FileDisposition::kOpenExisting;
  options.delete_on_close = true;
  if (file->Open(path, options) != err::kOk) {
    (void)UnlinkFile(path);  // a failed delete-on-close open leaves the name behind
    return err::kNoWorkFile;
  }
  return err::kOk;
}

}  // namespace tidemark
