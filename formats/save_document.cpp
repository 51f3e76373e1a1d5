#include "formats/save_document.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "core/sources/file_source.h"
#include "core/io/pcm_header.h"
#include "core/document/sound_document.h"
#include "core/sources/source_detach.h"
#include "core/sources/source_list.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/container.h"
#include "formats/chunks/file_io.h"
#include "formats/file_kind.h"
#include "formats/file_kind_table.h"
#include "formats/chunks/internal/foreign_chunks.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/file_metadata.h"
#include "formats/tags/internal/id3_chunk.h"
#include "formats/tags/tags.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/page_buffer.h"
#include "platform/safe_replace.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

constexpr std::size_t kBlockBytes = 0x40000;

// Chunks kept from one file can go into another of the same container.
bool SameContainer(PcmFileKind a, PcmFileKind b) {
  const Container* container = DescribeFileKind(a).container;
  return container && container == DescribeFileKind(b).container;
}

// The file a save replaces: the target with symbolic links followed, in the
// listed form. Empty when the path is unusable.
std::string ResolveTarget(const std::string& path) {
  const std::string normal = NormaliseSourcePath(path);
  if (normal.empty() || normal.back() == '/') return {};
  char resolved[PATH_MAX];
  if (realpath(normal.c_str(), resolved)) return resolved;
  if (errno != ENOENT) return normal;
  // A new file: resolve the folder it goes into.
  if (realpath(FolderOf(normal).c_str(), resolved)) {
    const std::string folder = resolved;
    return (folder == "/" ? "" : folder) + "/" + NameOf(normal);
  }
  return normal;
}

bool IsUnmodified(const SoundDocument& d) {
  return d.modification_counter == 0 && d.marker_change_counter == 0 && !d.format_changed &&
         !d.metadata_changed;
}

// The markers of `markers` appended to the file at `path` of `kind`.
Error WriteMarkers(const std::string& path, PcmFileKind kind, const MarkerList& markers) {
  const MarkerWriteFunction write = DescribeFileKind(kind).write_markers;
  if (!write || !markers.first()) return err::kOk;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
  const Error rc = write(file, length, markers);
  if (rc != err::kOk) return rc == err::kMalformed ? err::kLayoutMismatch : rc;
  return file.Close();
}

// What a save does with each kind of metadata of the file it replaces (or
// rewrites in place).
struct MetadataPlan {
  // The metadata_chunk kinds taken over from the old file as they are.
  unsigned carried = metadata_chunk::kId3;
  bool write_markers = true;
  bool write_tags = true;
  // When not 0, the id of an ID3 chunk written anew from the document's
  // tags, as a tag of id3_version.
  std::uint32_t id3_id = 0;
  int id3_version = 3;
};

// The plan for a document read from `old_path` of `old_kind`:
// - markers or tags the file holds but that could not be read, and that the
//   user has not changed since, are carried as they are instead of written
//   from the document (which has none of them);
// - an ID3 chunk is carried while the tags are unchanged; once they changed
//   it is written anew from them (in its old spelling and version), so that
//   it does not go on showing the old texts.
// A file that is gone or is no well-formed container writes everything.
// 2 when memory runs out.
Error PlanMetadata(const SoundDocument& document, const std::string& old_path, PcmFileKind old_kind,
                   MetadataPlan* plan) {
  *plan = MetadataPlan{};
  const Container* container = DescribeFileKind(old_kind).container;
  if (!container) return err::kOk;
  {
    PosixFile file;
    std::uint64_t length = 0;
    if (OpenInputFile(old_path, &file, &length) != err::kOk || length >= 0xFFFFFFFFu) return err::kOk;
    FileInput input(file);
    ChunkTable table;
    if (const Error rc = ReadFileChunkTable(input, length, *container, &table))
      return rc == err::kOutOfMemory ? rc : err::kOk;
    const ChunkEntry* id3 = FindId3Chunk(table);
    if (id3 && document.metadata_changed) {
      TagSet old_tags;
      int version = 0;
      if (ReadId3Chunk(input, *id3, &old_tags, &version) == err::kOk && version == 4) plan->id3_version = 4;
      plan->carried &= ~metadata_chunk::kId3;
      plan->id3_id = id3->id;
    }
  }
  FileMetadata old;
  if (const Error rc = ReadFileMetadata(old_path, old_kind, document.length, &old)) return rc;
  if (Skipped(old.skipped, SkippedMetadata::Kind::kMarkers) && document.marker_change_counter == 0) {
    plan->carried |= metadata_chunk::kMarkers;
    plan->write_markers = false;
  }
  if (Skipped(old.skipped, SkippedMetadata::Kind::kTags) && !document.metadata_changed) {
    plan->carried |= metadata_chunk::kTexts;
    plan->write_tags = false;
  }
  return err::kOk;
}

// A new ID3 chunk for `tags` appended to the file at `path` of `kind`.
Error WriteId3Chunk(const std::string& path, PcmFileKind kind, const TagSet& tags, const MetadataPlan& plan) {
  const Container* container = DescribeFileKind(kind).container;
  if (!container || !plan.id3_id) return err::kOk;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
  const Error rc = AppendId3Chunk(file, length, *container, plan.id3_id, tags, plan.id3_version);
  if (rc != err::kOk) return rc == err::kMalformed ? err::kLayoutMismatch : rc;
  return file.Close();
}

// Markers, tags and the document's own ID3 chunk as the plan says, then the
// kept chunks, on the completed file at `path`.
Error WriteMetadata(const std::string& path, PcmFileKind kind, const SoundDocument& document,
                    const MetadataPlan& plan, PosixFile* kept) {
  if (plan.write_markers)
    if (const Error rc = WriteMarkers(path, kind, document.markers)) return rc;
  if (plan.write_tags)
    if (const Error rc = WriteTags(path, kind, document.metadata)) return rc;
  if (const Error rc = WriteId3Chunk(path, kind, document.metadata, plan)) return rc;
  if (kept && kept->is_open())
    if (const Error rc = AppendHarvestedChunks(path, kind, *kept)) return rc;
  return err::kOk;
}

Error SyncPath(const std::string& path) {
  PosixFile file;
  FileOpenOptions options;
  options.access = FileAccess::kRead;
  if (const Error rc = file.Open(path, options)) return rc;
  if (const Error rc = file.Sync()) return rc;
  return file.Close();
}

// Writes header and samples of the document into the open, empty `file`.
Error WriteSamples(PosixFile& file, const SoundDocument& document, PcmFileKind kind, SampleCode stored,
                   const SaveOptions& options) {
  std::byte header[kMaxPcmHeaderBytes];
  std::uint32_t header_bytes = 0;
  if (const Error rc =
          BuildHeader(kind, header, document.rate, stored, document.channels, document.length, &header_bytes))
    return rc;
  if (const Error rc =
          PrepareSoundFile(file, kind, document.rate, stored, document.channels, document.length))
    return rc;
  const std::uint32_t frame_bytes = BytesPerSample(stored) * document.channels;
  const std::uint64_t total = std::uint64_t{frame_bytes} * document.length;
  PageBuffer buffer;
  if (buffer.Allocate(kBlockBytes) != err::kOk) return err::kOutOfMemory;
  const std::uint32_t per_block = static_cast<std::uint32_t>(kBlockBytes / frame_bytes);
  DitherHook* dither = options.dither_16bit && BytesPerSample(stored) == 2 ? options.dither : nullptr;
  SegmentCursor cursor(document.segments, document.channels, document.length);
  cursor.Seek(0);
  for (std::uint32_t done = 0; done < document.length;) {
    const std::uint32_t n = std::min(per_block, document.length - done);
    if (const Error rc = cursor.Read(n, buffer.data(), stored, dither)) return rc;
    const std::uint64_t at = header_bytes + std::uint64_t{frame_bytes} * done;
    if (const Error rc = WriteExact(file, buffer.data(), std::size_t{n} * frame_bytes, at))
      return rc == err::kWriteFailed && file.last_errno() == ENOSPC ? err::kDiskFull : rc;
    done += n;
    if (options.progress && !options.progress(std::uint64_t{done} * frame_bytes, total)) return err::kCancelled;
  }
  return err::kOk;
}

// The working file the document consists of, when it may be moved to a Wave
// target as it is: one segment over all of an owned Temp-layout working file
// from frame 0, unity gain, the stored code, the standard header, and the
// target's folder on the same file system.
FileSource* MovableWorkFile(const SoundDocument& document, SampleCode stored, const std::string& target) {
  const Segment* s = document.segments.first();
  if (!s || s->next || s->position != 0 || s->source_offset != 0 || s->length != document.length) return nullptr;
  if (s->gain && (s->gain->gain0 != 1.0f || s->gain->offset0 != 0.0f || s->gain->gain1 != 1.0f ||
                  s->gain->offset1 != 0.0f))
    return nullptr;
  FileSource* source = AsFileSource(const_cast<SoundSource*>(s->source.get()));
  if (!source || source->frames() != document.length || source->channels() != document.channels) return nullptr;
  std::uint32_t header = 0;
  if (HeaderSize(PcmFileKind::Wave, stored, &header) != err::kOk) return nullptr;
  std::string path;
  {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    if (!source->owns_file() || !source->temp_layout() || source->code() != stored ||
        source->data_offset() != header)
      return nullptr;
    path = source->path();
  }
  struct stat work{}, folder{};
  if (stat(path.c_str(), &work) != 0 || stat(FolderOf(target).c_str(), &folder) != 0) return nullptr;
  if (work.st_dev != folder.st_dev) return nullptr;
  return source;
}

// Moves the working file of `source` over `target` through a hidden name
// beside it, completing it there; on failure the file goes back to its
// place, as it was, and the source reads it again.
Error MoveWorkFileIntoPlace(SoundDocument& document, FileSource* source, const std::string& target,
                            const MetadataPlan& plan, PosixFile* kept) {
  const std::string temp = HiddenSiblingName(target);
  std::string work;
  std::uint32_t header_bytes = 0;
  {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    work = source->path();
    header_bytes = source->data_offset();
  }
  // What is restored should the move be undone.
  std::uint64_t length = 0;
  std::vector<std::uint8_t> header(header_bytes);
  {
    PosixFile file;
    if (const Error rc = OpenForMetadataEdit(work, &file, &length)) return rc;
    std::size_t got = 0;
    if (file.ReadAt(header.data(), header.size(), 0, &got) != err::kOk || got != header.size())
      return err::kReadFailed;
  }
  {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    if (RenameFile(work, temp, true) != err::kOk) return err::kWorkFileMoveFailed;
    source->Renamed(temp, nullptr);
  }
  Error rc = err::kOk;
  std::uint32_t old_rate = 0;
  if (header.size() >= 28) old_rate = header[24] | header[25] << 8 | header[26] << 16 | std::uint32_t{header[27]} << 24;
  if (old_rate != document.rate) rc = PatchSampleRate(temp, PcmFileKind::Wave, document.rate);
  if (rc == err::kOk) rc = WriteMetadata(temp, PcmFileKind::Wave, document, plan, kept);
  if (rc == err::kOk) rc = SyncPath(temp);
  if (rc == err::kOk) {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    rc = RenameFile(temp, target, false) == err::kOk ? err::kOk : err::kWorkFileMoveFailed;
    if (rc == err::kOk) source->Renamed(target, nullptr);
  }
  if (rc == err::kOk) {
    (void)SyncFolder(FolderOf(target));
    return err::kOk;
  }
  // Undo: the file's old end and header, its old name, owned again.
  {
    PosixFile file;
    std::uint64_t now = 0;
    if (OpenForMetadataEdit(temp, &file, &now) == err::kOk) {
      (void)file.Truncate(length);
      (void)WriteExact(file, header.data(), header.size(), 0);
    }
  }
  const std::lock_guard<std::mutex> lock(SourceMutex());
  if (RenameFile(temp, work, true) == err::kOk) {
    source->Renamed(work, nullptr);
    source->Reclaim(true);
  }
  return rc;
}

// The full save into a new file beside the target, renamed over it at the end.
Error SaveReplacing(SoundDocument& document, const std::string& target, PcmFileKind kind, SampleCode stored,
                    const SaveOptions& options, const MetadataPlan& plan, PosixFile* kept, const struct stat* old) {
  const std::string folder = FolderOf(target);
  PosixFile file;
  std::string named;  // the hidden name, once the file has one
  const mode_t mode = old ? (old->st_mode & 07777) : 0666;
  Error rc = OpenUnnamedFile(folder, mode, &file);
  if (rc != err::kOk && rc != err::kDiskFull && rc != err::kOutOfMemory) {
    // No unnamed files here: a hidden name from the start.
    named = HiddenSiblingName(target);
    FileOpenOptions create;
    create.access = FileAccess::kReadWrite;
    create.disposition = FileDisposition::kCreateNew;
    create.mode = mode;
    rc = file.Open(named, create);
    if (rc != err::kOk) named.clear();
  }
  if (rc == err::kOk) rc = WriteSamples(file, document, kind, stored, options);
  if (rc == err::kOk && old) rc = CopyFilePermissions(file, *old);
  if (rc == err::kOk) rc = file.Sync();
  if (rc == err::kOk && named.empty()) {
    const std::string name = HiddenSiblingName(target);
    rc = LinkUnnamedFile(file, name);
    if (rc == err::kOk) named = name;
  }
  if (rc == err::kOk) rc = file.Close();
  if (rc == err::kOk) rc = WriteMetadata(named, kind, document, plan, kept);
  if (rc == err::kOk) rc = SyncPath(named);
  if (rc == err::kOk) rc = RenameFile(named, target, false);
  if (rc == err::kOk) {
    // The new file is in place and the document must name it; a folder that
    // cannot be synced only leaves the rename's durability to the system.
    named.clear();
    (void)SyncFolder(folder);
  }
  if (!named.empty()) (void)UnlinkFile(named);
  return rc;
}

// A writable file in a folder that is not writable cannot be replaced: it is
// rewritten where it is, after the sources reading it were given copies.
Error SaveInPlace(SoundDocument& document, const std::string& target, PcmFileKind kind, SampleCode stored,
                  const SaveOptions& options, const MetadataPlan& plan, PosixFile* kept) {
  PosixFile file;
  FileOpenOptions open;
  open.access = FileAccess::kReadWrite;
  open.disposition = FileDisposition::kOpenExisting;
  Error rc = file.Open(target, open);
  if (rc != err::kOk) return file.last_errno() == EACCES || file.last_errno() == EROFS ? err::kReadOnly : rc;
  rc = WriteSamples(file, document, kind, stored, options);
  if (rc == err::kOk) rc = file.Close();
  if (rc == err::kOk) rc = WriteMetadata(target, kind, document, plan, kept);
  if (rc == err::kOk) rc = SyncPath(target);
  return rc;
}

bool WritableByUs(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

}  // namespace

Error SaveAs(SoundDocument& document, const std::string& path, PcmFileKind kind, SampleCode code,
             const SaveOptions& options) {
  kind = NormalisedKind(kind);
  const std::string target = ResolveTarget(path);
  if (target.empty()) return err::kInvalidPath;
  bool converted = false;
  const SampleCode stored = StoredSampleFormat(kind, code, &converted);
  const std::string own = document.path ? ResolveTarget(*document.path) : std::string();
  if (own == target && kind == document.kind && stored == document.code && IsUnmodified(document)) return err::kOk;
  for (const SoundDocument* other = FirstDocument(); other; other = other->next)
    if (other != &document && other->path && ResolveTarget(*other->path) == target) return err::kOpenElsewhere;
  if (const Error rc = CheckFramesFitTarget(kind, stored, document.channels, document.length)) return rc;

  struct stat old{};
  const bool exists = lstat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return err::kCannotOpen;
  if (exists && !WritableByUs(target)) return err::kReadOnly;
  const bool in_place = exists && !WritableByUs(FolderOf(target));

  // The chunks of the document's file that the program does not know, and
  // the metadata chunks the plan carries as they are.
  PosixFile kept;
  MetadataPlan plan;
  if (document.path && SameContainer(document.kind, kind)) {
    if (const Error rc = PlanMetadata(document, *document.path, document.kind, &plan)) return rc;
    bool any = false;
    if (const Error rc = HarvestForeignChunks(*document.path, document.kind, &kept, &any, plan.carried)) return rc;
  }
  // Whatever still reads the target must read a copy before it is replaced.
  // A hard link keeps the old bytes for them at no cost when the target is
  // replaced by a new file; a rewrite in place needs a real copy. The path
  // as given is detached too: a source may have been opened through a link.
  if (exists) {
    const std::string given = NormaliseSourcePath(path);
    for (const std::string& name : {target, given})
      if (const Error rc = DetachFromOriginal(name, options.progress, options.confirm_detach, !in_place)) return rc;
  }

  Error rc = err::kOk;
  FileSource* movable = nullptr;
  if (!in_place && options.move_work_file && kind == PcmFileKind::Wave)
    movable = MovableWorkFile(document, stored, target);
  if (movable)
    rc = MoveWorkFileIntoPlace(document, movable, target, plan, &kept);
  else if (in_place)
    rc = SaveInPlace(document, target, kind, stored, options, plan, &kept);
  else
    rc = SaveReplacing(document, target, kind, stored, options, plan, &kept, exists ? &old : nullptr);
  if (rc != err::kOk) return rc;

  document.path = target;
  document.kind = kind;
  document.code = stored;
  document.modification_counter = 0;
  document.marker_change_counter = 0;
  document.format_changed = false;
  document.metadata_changed = false;
  NotifyDocumentChanged(document, doc_change::kSavedState | doc_change::kFormat | doc_change::kContent);
  return err::kOk;
}

Error UpdateMetadata(SoundDocument& document) {
  if (!document.path) return err::kCannotOpen;
  if (document.modification_counter != 0) return err::kLayoutMismatch;
  const std::string& path = *document.path;
  const PcmFileKind kind = NormalisedKind(document.kind);
  MetadataPlan plan;
  if (const Error rc = PlanMetadata(document, path, kind, &plan)) return rc;
  // What the plan carries stays where it is.
  if (const Error rc = StripMetadata(path, kind, metadata_chunk::kAll & ~plan.carried)) return rc;
  if (plan.write_markers)
    if (const Error rc = WriteMarkers(path, kind, document.markers)) return rc;
  if (plan.write_tags)
    if (const Error rc = WriteTags(path, kind, document.metadata)) return rc;
  if (const Error rc = WriteId3Chunk(path, kind, document.metadata, plan)) return rc;
  if (document.format_changed)
    if (const Error rc = PatchSampleRate(path, kind, document.rate)) return rc;
  if (const Error rc = SyncPath(path)) return rc;
  document.marker_change_counter = 0;
  document.format_changed = false;
  document.metadata_changed = false;
  NotifyDocumentChanged(document, doc_change::kSavedState | doc_change::kFormat | doc_change::kContent);
  return err::kOk;
}

}  // namespace tidemark
