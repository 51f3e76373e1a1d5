#include "formats/chunks/internal/input_file.h"

#include <sys/stat.h>

#include "platform/error_numbers.h"

namespace tidemark {

Error OpenInputFile(const std::string& path, PosixFile* file, std::uint64_t* length) {
  FileOpenOptions options;
  options.access = FileAccess::kRead;
  options.disposition = FileDisposition::kOpenExisting;
  if (file->Open(path, options) != err::kOk) return err::kCannotOpen;
  // A folder opens read-only too, but holds no sound.
  struct stat st {};
  if (::fstat(file->fd(), &st) != 0 || !S_ISREG(st.st_mode)) return err::kCannotOpen;
  if (file->Size(length) != err::kOk) return err::kReadFailed;
  return err::kOk;
}

}  // namespace tidemark
