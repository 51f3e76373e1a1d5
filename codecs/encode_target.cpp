#include "codecs/internal/encode_target.h"

#include <unistd.h>

#include <utility>

#include "platform/error_numbers.h"
#include "platform/file_ops.h"

namespace tidemark::codec_detail {
namespace {

std::string HiddenName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + "." + std::to_string(::getpid()) + ".part";
}

}  // namespace

EncodeTarget::EncodeTarget(std::string path) : path_(std::move(path)), hidden_(HiddenName(path_)) {}

EncodeTarget::~EncodeTarget() {
  if (committed_ || !created_) return;
  (void)file_.Close();
  ::unlink(hidden_.c_str());
}

Error EncodeTarget::Open() {
  FileOpenOptions options;
  options.access = FileAccess::kWrite;
  options.disposition = FileDisposition::kCreateAlways;
  if (const Error rc = file_.Open(hidden_, options)) return rc == err::kCannotOpen ? err::kCreateFailed : rc;
  created_ = true;
  return err::kOk;
}

Error EncodeTarget::Append(std::span<const std::uint8_t> bytes) {
  if (const Error rc = WriteAt(bytes, size_)) return rc;
  size_ += bytes.size();
  return err::kOk;
}

Error EncodeTarget::WriteAt(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
  if (bytes.empty()) return err::kOk;
  std::size_t done = 0;
  return file_.WriteAt(bytes.data(), bytes.size(), offset, &done);
}

Error EncodeTarget::Commit() {
  if (const Error rc = file_.Close()) return rc;
  if (const Error rc = RenameFile(hidden_, path_, false)) return rc;
  committed_ = true;
  return err::kOk;
}

}  // namespace tidemark::codec_detail
