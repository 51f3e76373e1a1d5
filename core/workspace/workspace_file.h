// The workspace file "tide.reconst": every open document with its segments,
// markers, envelope, tags, selection, view words and whole undo history,
// over the sources they read, so that a later run can put them back. The
// working files themselves stay where they are.
//
// Writing builds the file in memory and commits it under a temporary name,
// fsynced and renamed into place: a crash at any moment leaves either the
// previous workspace or the new one whole.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/document/sound_document.h"
#include "core/sources/source_numbering.h"
#include "platform/error.h"

namespace tidemark {

inline constexpr char kWorkspaceFileName[] = "tide.reconst";

namespace err {
inline constexpr Error kWorkspaceVersion{65};  // a version this reader does not take
inline constexpr Error kWorkspaceDamaged{66};  // inconsistent or cut short
inline constexpr Error kWorkspaceFailed{67};   // any other failure of a restore
inline constexpr Error kWorkspaceNotWritten{68};
// kWorkspaceAccess (0xFE0000) is in config; core spells the number.
inline constexpr Error kWorkspaceFolderAccess{0xFE0000u};
}  // namespace err

// The bytes of one workspace and the sources it names (each held once).
struct WorkspaceImage {
  std::vector<std::uint8_t> bytes;
  SourceNumbering sources;
  // Documents that read a source without a record (a 1-bit file's
  // converter): they are left out of the image.
  std::vector<const SoundDocument*> left_out;
};

// Builds the workspace of `documents` (oldest first); `active` gets flag
// 0x400. 2 when memory runs out, 77 when a record cannot be built.
[[nodiscard]] Error BuildWorkspace(std::span<SoundDocument* const> documents, const SoundDocument* active,
                                   const std::string& work_folder, WorkspaceImage* image);

// Puts `bytes` in place as `folder`/tide.reconst: a hidden sibling written,
// fsynced, renamed over the old file, and with `sync_folder` the folder
// synced (the autosave leaves that to the system: a crash of the process
// cannot lose a rename, and a power loss before the folder is written back
// leaves the old file whole under its name). On failure the old file is
// untouched and the sibling removed. 5 (cannot create), 9 (write failed),
// 26 (disk full), 0xFE0000 (access denied).
[[nodiscard]] Error CommitWorkspaceFile(const std::string& folder, std::span<const std::uint8_t> bytes,
                                        bool sync_folder = true);

// Clears the owns-file flag of every file source the image names, so that
// closing the documents keeps their working files for the next run.
void DisownWorkspaceFiles(const WorkspaceImage& image);

// 0 when a file with the right magic exists, 21 when none, 66 wrong magic.
[[nodiscard]] Error WorkspaceFileState(const std::string& folder);
// Removes the workspace file (none is fine); 0xFE0000 when access is denied.
[[nodiscard]] Error DeleteWorkspaceFile(const std::string& folder);

// A file a left-out document reads beyond what the file holds now.
struct MissingWorkspaceData {
  std::string file;                 // as the workspace names it
  std::uint32_t recorded_frames;    // what the workspace says it held
  std::uint32_t present_frames;     // whole frames it holds now (0: missing)
  std::uint32_t needed_frames;      // how far the document reads it
  Error error;                      // why it could not be opened, or 0
};

// A document of the workspace that did not come back, and why.
struct LeftOutDocument {
  std::uint32_t index;              // its place among the workspace's documents
  std::optional<std::string> path;  // its file, if it had one
  std::vector<MissingWorkspaceData> missing;
};

// What a restore gives back.
struct RestoredWorkspace {
  std::vector<DocumentPtr> documents;  // oldest first
  int active = -1;                     // index of the document flagged active
  std::string set_aside;               // where a damaged folder was moved
  std::vector<LeftOutDocument> left_out;
  // With documents left out: the folder beside the working folder holding
  // the workspace as it was and the working files it names (linked or
  // copied); false when some of that could not be made.
  std::string kept_copy;
  bool kept_copy_whole = true;
};

// Reads `folder`/tide.reconst and creates its documents. 0 with no file or
// on success; 65 for a newer version; 66 for a damaged file; 67 or the
// failing step's error otherwise. On any failure nothing restored stays
// open, no working file is deleted, and (except when memory ran out or the
// file cannot be opened) the folder is set aside as folder.000 ... .999
// when `may_set_aside` (no other process uses it).
//
// Missing data is not damage: a document is restored when every file it
// reads (segments and undo records) is present with at least the frames it
// reaches, else it is left out and listed in `left_out`, and the file as
// read is kept with its working files in `kept_copy`.
[[nodiscard]] Error ReadWorkspace(const std::string& folder, RestoredWorkspace* out, bool may_set_aside = true);

// Parses and restores without setting anything aside (for tests and the
// fuzz target): `bytes` as the file's contents.
[[nodiscard]] Error RestoreWorkspaceBytes(const std::string& folder, std::span<const std::uint8_t> bytes,
                                          RestoredWorkspace* out);

// Moves `folder` to the first free of folder.000 ... folder.999; nothing in
// it is deleted. 0xFE0000 when no name is free or the move fails.
[[nodiscard]] Error SetWorkFolderAside(const std::string& folder, std::string* moved_to);

// Removes the working files in `folder` (names like "wav12AB.tmp") that no
// open file source reads: what a crash left of an edit in progress, and the
// hidden siblings of workspace commits cut short. Only call
// while holding the folder exclusively (WorkFolderLock). The number removed.
std::size_t RemoveUnnamedWorkFiles(const std::string& folder);

// A lock on the working folder per running process: every process that may
// make working files holds it shared; clearing out or moving the folder
// needs it exclusively, which succeeds only when no other process runs.
class WorkFolderLock {
 public:
  WorkFolderLock() = default;
  WorkFolderLock(const WorkFolderLock&) = delete;
  WorkFolderLock& operator=(const WorkFolderLock&) = delete;
  ~WorkFolderLock();
  // Takes the shared lock on `folder`/tide.lock (created when missing).
  [[nodiscard]] Error Share(const std::string& folder);
  // Tries to make the held lock exclusive without waiting; false when
  // another process holds it too.
  bool TryExclusive();
  // Goes back to shared.
  void Unexclusive();
  void Unlock();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Keeps the workspace file current while a session runs: writes it only
// when its bytes changed, and holds the sources the last committed file
// names, so that no working file it names is deleted before a workspace
// that no longer names it is in place.
class WorkspaceKeeper {
 public:
  explicit WorkspaceKeeper(std::string folder) : folder_(std::move(folder)) {}
  const std::string& folder() const { return folder_; }
  void set_folder(std::string folder);

  // Builds and, when different from the last commit, writes. `exit_write`
  // clears the owns-file flags after a successful write. Documents left out
  // are reported through `left_out` (may be null).
  [[nodiscard]] Error Save(std::span<SoundDocument* const> documents, const SoundDocument* active, bool exit_write,
                           std::vector<const SoundDocument*>* left_out);
  // Forgets the last commit (the file was deleted or restored).
  void Reset();
  // How many times the file was actually written.
  std::size_t commits() const { return commits_; }

 private:
  std::string folder_;
  std::vector<std::uint8_t> last_;
  SourceNumbering pinned_;
  bool have_last_ = false;
  std::size_t commits_ = 0;
};

}  // namespace tidemark
