#include "core/sources/source_detach.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "core/core_options.h"
#include "core/sources/file_source.h"
#include "core/samples/sample_type_text.h"
#include "core/sources/source_list.h"
#include "core/io/work_file_writer.h"
#include "core/io/work_folder.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/page_buffer.h"

namespace tidemark {
namespace {

constexpr std::size_t kCopyBytes = 0x100000;

// What DetachFromOriginal needs to know of the source, read under the lock.
struct Layout {
  std::string path;
  std::uint32_t rate = 0;
  SampleCode code = 0;
  std::uint16_t channels = 0;
  std::uint32_t frames = 0;
};

void DeleteAll(const WorkFileWriter& writer) {
  for (const WorkFileWriter::File& f : writer.files()) (void)UnlinkFile(f.path);
}

}  // namespace

namespace {

// A name in the working folder that nothing has yet, for a hard link.
std::string LinkName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  char name[48];
  std::snprintf(name, sizeof name, "/lnk%X_%04X.tmp", static_cast<unsigned>(getpid()), counter.fetch_add(1) & 0xFFFF);
  return folder + name;
}

// Redirects `source` to a hard link of its file in the working folder.
// False when no link could be made (the caller copies instead).
bool DetachByLink(FileSource* source, const std::string& original) {
  // link() would link a symbolic link itself; the file it names is wanted.
  char resolved[PATH_MAX];
  if (!realpath(original.c_str(), resolved)) return false;
  std::string folder;
  if (EnsureWorkFolder(&folder) != err::kOk) return false;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  std::string link;
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    link = LinkName(folder);
    if (LinkFile(resolved, link) == err::kOk) break;
    if (LastFileErrno() != EEXIST) return false;  // EXDEV, EPERM and the rest: copy
    link.clear();
  }
  if (link.empty()) return false;
  link = NormaliseSourcePath(link);
  SourceFile file;
  if (OpenSourceFile(link, &file) != err::kOk) {
    (void)UnlinkFile(link);
    return false;
  }
  const std::lock_guard<std::mutex> lock(SourceMutex());
  if (source->path() == original) {
    // Same bytes, same layout: only the name the source reads by changes.
    source->Redirect(link, std::move(file), source->data_offset(), source->code(), true);
    return true;
  }
  (void)file.file.Close();
  (void)UnlinkFile(link);
  return true;  // detached meanwhile by another thread
}

}  // namespace

Error DetachFromOriginal(const std::string& path, const DetachProgress& progress,
                         const DetachConfirm& confirm, bool allow_link) {
  const std::string normal = NormaliseSourcePath(path);
  if (normal.empty()) return err::kInvalidPath;
  const SourceRef ref = FindFileSource(normal);
  if (!ref) return err::kOk;
  FileSource* source = AsFileSource(ref.get());
  Layout layout;
  {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    layout = {source->path(), source->rate(), source->code(), source->channels(), source->frames()};
  }
  if (allow_link && DetachByLink(source, layout.path)) return err::kOk;
  const SampleCode code = NormaliseForKind(PcmFileKind::Temp, layout.code).code;
  const std::uint32_t frame_bytes = layout.channels * BytesPerSample(code);
  const std::uint64_t total = std::uint64_t{frame_bytes} * layout.frames;
  if (GetCoreOptions().confirm_large_detach && total > kDetachConfirmBytes && confirm && !confirm(total))
    return err::kCancelled;

  PageBuffer buffer;
  if (buffer.Allocate(kCopyBytes) != err::kOk) return err::kOutOfMemory;
  const std::uint32_t frames_per_piece = static_cast<std::uint32_t>(kCopyBytes / frame_bytes);

  // The destructor of an unfinished writer deletes what it wrote.
  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, layout.rate, code, layout.channels, layout.frames))
    return rc;
  for (std::uint32_t first = 0; first < layout.frames;) {
    const std::uint32_t n = std::min(frames_per_piece, layout.frames - first);
    if (const Error rc = ref->Read(first, n, buffer.data(), code)) return rc;
    if (const Error rc = writer.Write(buffer.data(), std::size_t{n} * frame_bytes)) return rc;
    first += n;
    if (progress && !progress(std::uint64_t{first} * frame_bytes, total)) return err::kCancelled;
  }
  if (const Error rc = writer.Finish(nullptr)) return rc;

  // From here on the finished files are ours to delete on failure.
  if (writer.files().size() != 1 || writer.files()[0].data_bytes != total) {
    DeleteAll(writer);
    return err::kSizeLimit;
  }
  const std::string copy = NormaliseSourcePath(writer.files()[0].path);
  SourceFile file;
  if (const Error rc = OpenSourceFile(copy, &file)) {
    DeleteAll(writer);
    return rc;
  }
  {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    if (source->path() == layout.path) {
      source->Redirect(copy, std::move(file), writer.header_size(), code, true);
      source->MarkTempLayout();
      return err::kOk;
    }
  }
  // Another thread detached the source meanwhile; this copy is not needed.
  (void)file.file.Close();
  DeleteAll(writer);
  return err::kOk;
}

namespace {

std::uint32_t Result(std::uint32_t result, Error reason, Error* error) {
  if (error) *error = reason;
  return result;
}

// A name for the copy beside `target`: a hidden name in the same folder, so
// the final rename stays on that file system.
std::string CopyName(const std::string& target, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = target.rfind('/');
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%04X%04X.tmp", static_cast<unsigned>(getpid()) & 0xFFFF,
                (counter.fetch_add(1) + attempt) & 0xFFFF);
  return target.substr(0, slash + 1) + "." + target.substr(slash + 1) + suffix;
}

// Copies `from` to a new file `to` and makes it durable. Deletes `to` on failure.
Error CopyFile(const std::string& from, const std::string& to) {
  PosixFile in, out;
  FileOpenOptions read_options;
  if (const Error rc = in.Open(from, read_options)) return rc;
  FileOpenOptions write_options;
  write_options.access = FileAccess::kWrite;
  write_options.disposition = FileDisposition::kCreateNew;
  if (const Error rc = out.Open(to, write_options)) return rc;
  PageBuffer buffer;
  Error rc = buffer.Allocate(kCopyBytes);
  for (std::uint64_t at = 0; rc == err::kOk;) {
    std::size_t got = 0, put = 0;
    rc = in.ReadAt(buffer.data(), kCopyBytes, at, &got);
    if (rc != err::kOk || got == 0) break;
    rc = out.WriteAt(buffer.data(), got, at, &put);
    at += got;
  }
  if (rc == err::kOk) rc = out.Sync();
  const Error close_rc = out.Close();
  if (rc == err::kOk) rc = close_rc;
  if (rc != err::kOk) (void)UnlinkFile(to);
  return rc;
}

std::uint32_t MoveAcrossFileSystems(FileSource* source, const std::string& from, const std::string& target,
                                    Error* error) {
  // Saves a pointless copy; the atomic rename below still decides.
  if (access(target.c_str(), F_OK) == 0) return Result(kRenameTargetExists, err::kOk, error);
  std::string copy;
  Error rc = err::kCreateFailed;
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    copy = CopyName(target, attempt);
    rc = CopyFile(from, copy);
    if (rc != err::kCreateFailed || access(copy.c_str(), F_OK) != 0) break;  // retry only a name clash
  }
  if (rc != err::kOk) return Result(kRenameNotDone, rc, error);
  rc = RenameFile(copy, target, true);
  if (rc != err::kOk) {
    const int e = LastFileErrno();
    (void)UnlinkFile(copy);
    if (e == EEXIST) return Result(kRenameTargetExists, err::kOk, error);
    return Result(kRenameNotDone, rc, error);
  }
  PosixFile handle;
  FileOpenOptions read_options;
  (void)handle.Open(target, read_options);  // without it the old handle still reads the same bytes
  {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    source->Renamed(target, &handle);
  }
  // The copy is in place and durable: only now does the original go.
  (void)UnlinkFile(from);
  return Result(kRenameDone, err::kOk, error);
}

}  // namespace

std::uint32_t RenameOwnedFile(SoundSource* source, const std::string& new_path, Error* error) {
  FileSource* file = AsFileSource(source);
  if (!file) return Result(kRenameNotDone, err::kOk, error);
  const std::string target = NormaliseSourcePath(new_path);
  if (target.empty()) return Result(kRenameNotDone, err::kInvalidPath, error);
  std::string from;
  {
    // The rename itself runs under the lock, so no other thread sees the
    // source with a path that no longer names its file.
    const std::lock_guard<std::mutex> lock(SourceMutex());
    if (!file->owns_file()) return Result(kRenameNotDone, err::kOk, error);
    from = file->path();
    if (target == from || detail::FindListedSource(target)) return Result(kRenameTargetExists, err::kOk, error);
    const Error rc = RenameFile(from, target, true);
    if (rc == err::kOk) {
      file->Renamed(target, nullptr);
      return Result(kRenameDone, err::kOk, error);
    }
    const int e = LastFileErrno();
    if (e == EEXIST) return Result(kRenameTargetExists, err::kOk, error);
    if (e != EXDEV) return Result(kRenameNotDone, rc, error);
  }
  return MoveAcrossFileSystems(file, from, target, error);
}

}  // namespace tidemark
