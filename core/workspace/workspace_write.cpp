// Building the workspace image and committing it to disk.
#include <bit>
#include <cerrno>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/io/chunk_writer.h"
#include "core/sources/file_source.h"
#include "core/sources/source_list.h"
#include "core/workspace/workspace_file.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/posix_file.h"
#include "platform/safe_replace.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

// Collects the image and numbers sources and the current document's nodes.
class ImageWriter final : public ChunkWriter {
 public:
  ImageWriter(const SourceNumbering& sources, const std::string& folder, std::vector<std::uint8_t>& out)
      : sources_(sources), folder_(folder), out_(out) {}

  Error Write(const void* data, std::size_t size) override {
    return TryAlloc([&] {
      const auto* p = static_cast<const std::uint8_t*>(data);
      out_.insert(out_.end(), p, p + size);
    });
  }
  bool SourceNumber(const SoundSource& s, std::uint32_t* n) const override { return sources_.NumberOf(s, n); }
  const std::string& WorkFolder() const override { return folder_; }
  bool MarkerNumber(const Marker& m, std::uint32_t* n) const override { return Find(markers_, &m, n); }
  bool EnvelopePointNumber(const EnvelopePoint& p, std::uint32_t* n) const override {
    return Find(points_, &p, n);
  }

  // The node array numbers; a node listed twice keeps its first number.
  std::unordered_map<const Marker*, std::uint32_t> markers_;
  std::unordered_map<const EnvelopePoint*, std::uint32_t> points_;

 private:
  template <typename Map, typename Key>
  static bool Find(const Map& map, Key key, std::uint32_t* n) {
    const auto it = map.find(key);
    if (it == map.end()) return false;
    *n = it->second;
    return true;
  }
  const SourceNumbering& sources_;
  const std::string& folder_;
  std::vector<std::uint8_t>& out_;
};

// Accepts every record and numbers every source: tells whether each
// source of a document can write its record at all.
class ProbeWriter final : public ChunkWriter {
 public:
  Error Write(const void*, std::size_t) override { return err::kOk; }
  bool SourceNumber(const SoundSource&, std::uint32_t* n) const override {
    *n = 0;
    return true;
  }
  const std::string& WorkFolder() const override { return folder_; }

 private:
  std::string folder_;
};

// The records of the history a workspace keeps, [first, end) counted from
// the newest. A format change has no stored form: the workspace keeps the
// document as it is and drops that step with every step beyond it (older
// ones on the undo side, newer ones on the redo side), which could no
// longer be reached.
struct StoredRange {
  std::size_t first = 0, end = 0;
};
StoredRange StoredHistory(const UndoHistory& history) {
  StoredRange range{0, history.size()};
  for (std::size_t i = 0; i < history.size(); ++i) {
    if (history.at(i).kind() != UndoKind::kFormatChange) continue;
    if (i < history.redo_count()) {
      range.first = i + 1;
    } else {
      range.end = i;
      break;
    }
  }
  return range;
}

template <typename Fn>
void ForEachSource(SoundDocument& doc, Fn&& fn) {
  for (const Segment* s = doc.segments.first(); s; s = s->next) fn(s->source.get());
  const StoredRange stored = StoredHistory(doc.history);
  for (std::size_t i = stored.first; i < stored.end; ++i)
    if (SegmentList* list = doc.history.at(i).edit_segments())
      for (const Segment* s = list->first(); s; s = s->next) fn(s->source.get());
}

// Whether every source of `doc` can write its record; each source is asked
// once per workspace (`known` remembers the answers).
bool Writable(SoundDocument& doc, std::unordered_map<const SoundSource*, bool>* known) {
  ProbeWriter probe;
  bool ok = true;
  ForEachSource(doc, [&](SoundSource* s) {
    if (!ok) return;
    if (!s) {
      ok = false;
      return;
    }
    const auto [it, added] = known->emplace(s, true);
    if (added) it->second = !s->Serialize(probe);
    ok = it->second;
  });
  return ok;
}

void AppendText(RecordBytes& out, const std::u16string& text) {
  if (text.empty()) return;
  out.Append("wtxt", 4);
  for (const char16_t c : text) out.U16(c);
}

void AppendSegment(RecordBytes& out, const Segment& s, std::uint32_t number) {
  const SegmentGain gain = s.gain ? *s.gain : SegmentGain{};
  out.Append("sblk", 4);
  out.U32(s.length);
  out.U32(s.position);
  out.U32(s.source_offset);
  out.U32(number);
  for (const float f : {gain.gain0, gain.gain1, gain.offset0, gain.offset1}) out.U32(std::bit_cast<std::uint32_t>(f));
}

template <typename Node, typename List>
void BuildNodeArray(const List& list, const UndoHistory& history, std::size_t (UndoRecord::*lister)(Node**) const,
                    std::vector<Node*>* nodes) {
  for (Node* p = list.first(); p; p = p->next) nodes->push_back(p);
  const StoredRange stored = StoredHistory(history);
  for (std::size_t i = stored.first; i < stored.end; ++i) {
    const UndoRecord& r = history.at(i);
    const std::size_t n = (r.*lister)(nullptr);
    const std::size_t at = nodes->size();
    nodes->resize(at + n);
    (r.*lister)(nodes->data() + at);
  }
}

Error WriteDocument(SoundDocument& doc, bool active, ImageWriter& writer, const SourceNumbering& sources) {
  std::vector<Marker*> markers;
  std::vector<EnvelopePoint*> points;
  std::u16string path;
  std::array<std::u16string, kInfoTextCount> texts;
  if (const Error rc = TryAlloc([&] {
        BuildNodeArray(doc.markers, doc.history, &UndoRecord::ListMarkers, &markers);
        BuildNodeArray(doc.envelope, doc.history, &UndoRecord::ListEnvelopePoints, &points);
        writer.markers_.clear();
        writer.points_.clear();
        for (std::uint32_t i = 0; i < markers.size(); ++i) writer.markers_.emplace(markers[i], i);
        for (std::uint32_t i = 0; i < points.size(); ++i) writer.points_.emplace(points[i], i);
        if (doc.path) path = Utf8ToUtf16(*doc.path);
        else if (doc.second_path) path = Utf8ToUtf16(*doc.second_path);
        for (std::size_t i = 0; i < kInfoTextCount; ++i)
          if (doc.metadata.texts[i]) texts[i] = Utf8ToUtf16(*doc.metadata.texts[i]);
      }))
    return rc;

  std::uint32_t from = 0, to = 0;
  GetSelection(doc, &from, &to);
  const EditorViewState view = GetEditorViewState(doc);
  std::uint16_t flags = doc.own_flag ? 1 : 0;
  if (!doc.path && doc.second_path) flags |= 0x100;
  if (doc.format_changed) flags |= 0x200;
  if (active) flags |= 0x400;

  return TryAlloc([&]() -> Error {
    RecordBytes rec("edit");
    rec.U32(doc.rate);
    rec.U16(doc.channels);
    rec.U16(doc.code);
    rec.U16(static_cast<std::uint16_t>(doc.kind));
    rec.U16(doc.view.word1);
    rec.U32(doc.view.word2);
    rec.U32(doc.view.word3);
    rec.U32(doc.view.word4);
    rec.U16(doc.view.word5);
    rec.U16(flags);
    rec.U32(from);
    rec.U32(to);
    rec.Append(view.data(), view.size());
    rec.U32(doc.modification_counter);
    rec.U32(0);
    rec.U32(doc.length);
    rec.U32(static_cast<std::uint32_t>(doc.segments.size()));
    rec.U32(static_cast<std::uint32_t>(doc.markers.size()));
    rec.U32(static_cast<std::uint32_t>(markers.size()));
    rec.U32(static_cast<std::uint32_t>(doc.envelope.size()));
    rec.U32(static_cast<std::uint32_t>(points.size()));
    const StoredRange stored = StoredHistory(doc.history);
    rec.U32(static_cast<std::uint32_t>(stored.end - stored.first));
    rec.U32(static_cast<std::uint32_t>(doc.history.redo_count() - stored.first));
    rec.U32(static_cast<std::uint32_t>(path.size()));
    for (const std::u16string& t : texts) rec.U32(static_cast<std::uint32_t>(t.size()));
    for (const Segment* s = doc.segments.first(); s; s = s->next) {
      std::uint32_t number = 0;
      if (!s->source || !sources.NumberOf(*s->source.get(), &number)) return err::kSizeLimit;
      AppendSegment(rec, *s, number);
    }
    for (const Marker* m : markers) {
      const std::u16string name = Utf8ToUtf16(m->name);
      const std::u16string comment = m->comment ? Utf8ToUtf16(*m->comment) : std::u16string();
      rec.Append("cue ", 4);
      rec.U32(m->position);
      rec.U32(static_cast<std::uint32_t>(name.size()));
      rec.U32(static_cast<std::uint32_t>(comment.size()));
      AppendText(rec, name);
      AppendText(rec, comment);
    }
    for (const EnvelopePoint* p : points) {
      rec.Append("enve", 4);
      rec.U32(p->position);
      rec.U32(std::bit_cast<std::uint32_t>(p->level));
    }
    if (const Error rc = rec.WriteTo(writer)) return rc;
    for (std::size_t i = stored.first; i < stored.end; ++i)
      if (const Error rc = doc.history.at(i).Serialize(writer)) return rc;
    // The path and the tags, each its own text record.
    std::vector<const std::u16string*> all;
    if (!path.empty()) all.push_back(&path);
    for (const std::u16string& t : texts)
      if (!t.empty()) all.push_back(&t);
    for (const std::u16string* t : all) {
      RecordBytes one("wtxt");
      for (const char16_t c : *t) one.U16(c);
      if (const Error rc = one.WriteTo(writer)) return rc;
    }
    return err::kOk;
  });
}

}  // namespace

Error BuildWorkspace(std::span<SoundDocument* const> documents, const SoundDocument* active,
                     const std::string& work_folder, WorkspaceImage* image) {
  image->bytes.clear();
  image->sources = SourceNumbering();
  image->left_out.clear();
  std::vector<SoundDocument*> kept;
  std::unordered_map<const SoundSource*, bool> known;
  if (const Error rc = TryAlloc([&] {
        for (SoundDocument* doc : documents) {
          if (Writable(*doc, &known)) {
            kept.push_back(doc);
            ForEachSource(*doc, [&](SoundSource* s) { image->sources.Add(s); });
          } else {
            image->left_out.push_back(doc);
          }
        }
      }))
    return rc;
  ImageWriter writer(image->sources, work_folder, image->bytes);
  RecordBytes head("tide");
  const std::uint8_t version[8] = {1, 1, 0, 0, 1, 8, 5, 2};
  head.Append(version, sizeof version);
  head.Append("sfc ", 4);
  head.U32(image->sources.file_count());
  head.U32(image->sources.file_and_silence_count());
  head.U32(image->sources.total());
  if (const Error rc = head.WriteTo(writer)) return rc;
  if (const Error rc = image->sources.SerializeAll(writer)) return rc;
  RecordBytes count("edc ");
  count.U32(static_cast<std::uint32_t>(kept.size()));
  if (const Error rc = count.WriteTo(writer)) return rc;
  for (SoundDocument* doc : kept)
    if (const Error rc = WriteDocument(*doc, doc == active, writer, image->sources)) return rc;
  return err::kOk;
}

Error CommitWorkspaceFile(const std::string& folder, std::span<const std::uint8_t> bytes, bool sync_folder) {
  const std::string target = folder + "/" + kWorkspaceFileName;
  std::string hidden;
  if (const Error rc = TryAlloc([&] { hidden = HiddenSiblingName(target); })) return rc;
  PosixFile file;
  FileOpenOptions options;
  options.access = FileAccess::kWrite;
  options.disposition = FileDisposition::kCreateNew;
  options.mode = 0600;
  if (const Error rc = file.Open(hidden, options)) {
    return file.last_errno() == EACCES || file.last_errno() == EPERM || file.last_errno() == EROFS
               ? err::kWorkspaceFolderAccess
               : (rc == err::kDiskFull ? rc : err::kCreateFailed);
  }
  std::size_t done = 0;
  Error rc = file.WriteAt(bytes.data(), bytes.size(), 0, &done);
  if (!rc) rc = file.Sync();
  if (const Error close_rc = file.Close(); !rc) rc = close_rc;
  if (!rc && RenameFile(hidden, target, false)) rc = err::kWriteFailed;
  if (rc) {
    (void)UnlinkFile(hidden);
    return rc == err::kDiskFull ? rc : err::kWriteFailed;
  }
  // The rename is in place; a folder that cannot be synced still holds it
  // once the system writes its entries back. Until then the old name still
  // maps to the old, whole file.
  if (sync_folder) (void)SyncFolder(folder);
  return err::kOk;
}

void DisownWorkspaceFiles(const WorkspaceImage& image) {
  const std::lock_guard<std::mutex> lock(SourceMutex());
  for (std::uint32_t i = 0; i < image.sources.file_count(); ++i)
    if (FileSource* f = AsFileSource(image.sources.At(i))) f->Disown();
}

void WorkspaceKeeper::set_folder(std::string folder) {
  folder_ = std::move(folder);
  Reset();
}

void WorkspaceKeeper::Reset() {
  last_.clear();
  have_last_ = false;
  pinned_ = SourceNumbering();
}

Error WorkspaceKeeper::Save(std::span<SoundDocument* const> documents, const SoundDocument* active, bool exit_write,
                            std::vector<const SoundDocument*>* left_out) {
  WorkspaceImage image;
  if (const Error rc = BuildWorkspace(documents, active, folder_, &image)) return rc;
  if (left_out) *left_out = image.left_out;
  if (!have_last_ || image.bytes != last_) {
    if (const Error rc = CommitWorkspaceFile(folder_, image.bytes, exit_write)) return rc;
    ++commits_;
  }
  if (exit_write) DisownWorkspaceFiles(image);
  // The old pins go only now: the file that named them has been replaced.
  last_ = std::move(image.bytes);
  pinned_ = std::move(image.sources);
  have_last_ = true;
  return err::kOk;
}

}  // namespace tidemark
