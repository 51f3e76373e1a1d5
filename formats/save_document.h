// Saving a document to a sound file, and updating only the metadata of the
// file a document was saved to.
//
// A full save never writes into the user's file: the new file is written
// without a name in the target's folder, made durable, given the old file's
// permissions, named with a hidden temporary name once header and samples
// are in, completed with markers, tags and the kept chunks, and only then
// renamed over the target. A crash or failure at any moment leaves the old
// file whole (at worst a hidden temporary name beside it after a crash in
// the last steps). Where the target's folder cannot be written but the
// target itself can, the file is rewritten in place after the sources
// reading it were detached; a failure then leaves it as the failing step did.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/samples/sample_format.h"
#include "core/document/segment_cursor.h"
#include "core/sources/source_detach.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// Told the bytes written so far and the total; false cancels the save.
using SaveProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

struct SaveOptions {
  // The setting that lets a Wave save move a working file into place.
  bool move_work_file = true;
  // 16-bit targets are dithered only with this setting on and a hook given.
  bool dither_16bit = false;
  DitherHook* dither = nullptr;
  SaveProgress progress;
  // Asked before a large file that other documents read is copied aside
  // (with the confirmation option on); none: the copy is made.
  DetachConfirm confirm_detach;
};

// Saves `document` to `path` as `kind` with samples of `code` (stored as
// the kind holds them, StoredSampleFormat). Into a file of the same
// container as the document's own, the chunks of that file go with it: the
// foreign ones, an ID3 chunk while the tags are unchanged (once they
// changed it is written anew from them), and markers or tags that could not
// be read when it was opened, while the user has not changed that kind. Nothing is done (0) when `path`
// is the document's own file, kind and code are unchanged and nothing is
// modified. A symbolic link as target is followed: the file it names is
// replaced. On success the document takes the path, kind and stored code,
// its counters and changed flags are cleared and the frame is told 208.
// On failure the document and the target are unchanged.
//
// Errors: 34 when another open document uses the path; 19 when the frames
// do not fit the kind; 30 when the target exists and may not be written;
// kCancelled for a cancel; 35 for an unusable path; 5 when the new file
// cannot be created; the errors of detaching, reading the samples and of
// the header, marker, tag and chunk writers (9, 26, 8, 20 ...); 28 when a
// working file could not be moved into place (err::kWorkFileMoveFailed).
[[nodiscard]] Error SaveAs(SoundDocument& document, const std::string& path, PcmFileKind kind,
                           SampleCode code, const SaveOptions& options = {});

// Rewrites only the metadata of the document's file: its markers and tag
// chunks are neutralised, the document's markers and tags written, and
// when the format changed (the rate alone can) the rate patched. What
// SaveAs would carry over stays in place untouched (an ID3 chunk of
// unchanged tags, markers or tags that could not be read and were not
// changed); an ID3 chunk of changed tags is replaced. Sample
// bytes are never touched; a failure at any step leaves a valid file with
// the same samples. Needs a document whose samples equal its file (modified
// counter 0): 78 otherwise, 25 without a file; errors of the writers. On
// success the marker counter and the changed flags are cleared.
[[nodiscard]] Error UpdateMetadata(SoundDocument& document);

}  // namespace tidemark
