// Reading a workspace back, and the working folder's house-keeping around it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/document/edit_request.h"
#include "core/sources/file_source.h"
#include "core/sources/silence_source.h"
#include "core/sources/source_list.h"
#include "core/sources/view_source.h"
#include "core/undo/undo_record.h"
#include "core/workspace/workspace_file.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"
#include "platform/posix_file.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

// A damaged file is reported as this internally and turned into 66.
struct Damaged {};

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool at_end() const { return pos_ == bytes_.size(); }
  std::size_t left() const { return bytes_.size() - pos_; }

  void Need(std::size_t n) const {
    if (n > left()) throw Damaged{};
  }
  bool Peek(const char* code) const { return left() >= 4 && std::memcmp(bytes_.data() + pos_, code, 4) == 0; }
  void Expect(const char* code) {
    if (!Peek(code)) throw Damaged{};
    pos_ += 4;
  }
  std::uint8_t U8() {
    Need(1);
    return bytes_[pos_++];
  }
  std::uint16_t U16() {
    Need(2);
    const std::uint16_t v = static_cast<std::uint16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  std::uint32_t U32() {
    const std::uint32_t lo = U16();
    return lo | (static_cast<std::uint32_t>(U16()) << 16);
  }
  float F32() { return std::bit_cast<float>(U32()); }
  void Bytes(void* out, std::size_t n) {
    Need(n);
    std::memcpy(out, bytes_.data() + pos_, n);
    pos_ += n;
  }
  void Skip(std::size_t n) {
    Need(n);
    pos_ += n;
  }

  // A text record of `units` characters ("wtxt" UTF-16 or "text" single
  // bytes padded to even); nothing is read for 0.
  std::string Text(std::uint32_t units) {
    if (units == 0) return {};
    if (Peek("text")) {
      pos_ += 4;
      Need(units + (units & 1u));
      std::string out;
      for (std::uint32_t i = 0; i < units; ++i) AppendUtf8(out, bytes_[pos_ + i]);
      pos_ += units + (units & 1u);
      return out;
    }
    Expect("wtxt");
    Need(std::size_t{units} * 2);
    std::u16string u(units, u'\0');
    for (char16_t& c : u) c = U16();
    return Utf16ToUtf8(u);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// What a file source's file holds, beside what its record says.
struct FileState {
  std::string name;              // as recorded (a working file by its name)
  std::uint32_t recorded = 0;    // frames in the record
  std::uint32_t present = 0;     // whole frames the file holds now
  Error error = err::kOk;        // why it could not be opened
  FileSource* source = nullptr;  // null when a stand-in takes its place
  bool work_file = false;        // owned file kept by its name (flag 4)
};

struct SourceArray {
  std::vector<SourceRef> all;
  std::vector<FileSource*> files;   // for clearing ownership on failure
  std::vector<std::uint32_t> root;  // the file source a view reads, else itself
  std::vector<FileState> states;    // one per file source

  SoundSource* At(std::uint32_t n) const {
    if (n >= all.size()) throw Damaged{};
    return all[n].get();
  }
  void DisownAll() {
    const std::lock_guard<std::mutex> lock(SourceMutex());
    for (FileSource* f : files) f->Disown();
  }
};

// The frames each file source is read to by one document, current segments
// and undo records alike.
using Reach = std::map<std::uint32_t, std::uint64_t>;

// Opens one recorded file source over what its file holds now: a missing or
// unreadable file, or one with no whole frame left, gets a silent stand-in
// of the recorded layout so that parsing goes on; a shorter file is opened
// with the frames it holds. Which documents survive is decided from their
// reach afterwards.
SourceRef OpenRecordedFile(const std::string& path, std::uint32_t frames, std::uint32_t rate, SampleCode code,
                           std::uint16_t channels, std::uint32_t offset, std::uint16_t flags, FileState* state) {
  if (!IsSupportedSampleCode(code) || channels == 0 || channels > kMaxSourceChannels) throw Damaged{};
  state->recorded = frames;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    state->error = err::kPathUnresolved;
  } else if (S_ISREG(st.st_mode)) {
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t frame_bytes = std::uint64_t{channels} * BytesPerSample(code);
    const std::uint64_t whole = size > offset ? (size - offset) / frame_bytes : 0;
    state->present = static_cast<std::uint32_t>(std::min<std::uint64_t>(whole, frames));
  }
  SourceRef source;
  if (state->present > 0) {
    const Error rc = OpenFileSource(path, offset, rate, code, channels, state->present, flags & 3u, nullptr, &source);
    if (rc == err::kOutOfMemory) throw std::bad_alloc();
    if (rc) {
      state->error = rc;
      state->present = 0;
      source = SourceRef();
    }
  }
  if (source) {
    state->source = AsFileSource(source.get());
    return source;
  }
  return MakeSilenceSource(rate, channels);
}

void ReadSources(Reader& in, const std::string& folder, SourceArray* out) {
  in.Expect("sfc ");
  const std::uint32_t files = in.U32(), with_silence = in.U32(), total = in.U32();
  if (files > with_silence || with_silence > total || total > in.left() / 10) throw Damaged{};
  for (std::uint32_t i = 0; i < total; ++i) {
    SourceRef source;
    if (i < files) {
      in.Expect("sf0 ");
      const std::uint32_t frames = in.U32(), rate = in.U32();
      const SampleCode code = in.U16();
      const std::uint16_t channels = in.U16();
      const std::uint32_t offset = in.U32();
      const std::uint16_t flags = in.U16(), length = in.U16();
      (void)in.U16();
      if (length == 0) throw Damaged{};
      FileState state;
      state.name = in.Text(length);
      state.work_file = (flags & 4) != 0;
      const std::string path = state.work_file ? folder + "/" + state.name : state.name;
      source = OpenRecordedFile(path, frames, rate, code, channels, offset, flags, &state);
      if (state.source) out->files.push_back(state.source);
      out->states.push_back(std::move(state));
      out->root.push_back(i);
    } else if (i < with_silence) {
      in.Expect("sf1 ");
      const std::uint32_t rate = in.U32();
      const std::uint16_t channels = in.U16();
      source = MakeSilenceSource(rate, channels);
      out->root.push_back(i);
    } else {
      in.Expect("sf2 ");
      const std::uint16_t view_channels = in.U16(), channel = in.U16();
      const std::uint32_t inner = in.U32();
      if (inner >= i) throw Damaged{};  // a view reads an earlier source
      SourceRef base = out->all[inner];
      out->root.push_back(out->root[inner]);  // a view's frames are its inner source's
      source = view_channels == 1 ? MakeMonoView(base, channel) : view_channels == 2 ? MakeStereoView(base, channel)
                                                                                   : SourceRef();
    }
    if (!source) throw Damaged{};
    out->all.push_back(std::move(source));
  }
}

void ReadSegment(Reader& in, const SourceArray& sources, SegmentList* list, Reach* reach) {
  in.Expect("sblk");
  auto s = std::make_unique<Segment>();
  s->length = in.U32();
  s->position = in.U32();
  s->source_offset = in.U32();
  const std::uint32_t number = in.U32();
  s->source = SourceRef::Share(sources.At(number));
  std::uint64_t& to = (*reach)[sources.root[number]];
  to = std::max(to, std::uint64_t{s->source_offset} + s->length);
  SegmentGain g;
  g.gain0 = in.F32();
  g.gain1 = in.F32();
  g.offset0 = in.F32();
  g.offset1 = in.F32();
  if (g.gain0 != 1.0f || g.gain1 != 1.0f || g.offset0 != 0.0f || g.offset1 != 0.0f)
    s->gain = std::make_unique<SegmentGain>(g);
  if (s->length == 0) throw Damaged{};
  list->PushBack(std::move(s));
}

// The node records of one document: each array entry holds one reference.
template <typename Node>
struct NodeArray {
  std::vector<Node*> nodes;
  std::size_t taken = 0;
  ~NodeArray() {
    for (Node* n : nodes) n->Release();
  }
  Node* Take() {
    if (taken >= nodes.size()) throw Damaged{};
    return nodes[taken++];
  }
  Node* ByNumber(std::uint32_t n) const {
    if (n >= nodes.size()) throw Damaged{};
    return nodes[n];
  }
  template <typename List>
  void LinkNext(std::uint32_t count, List* list) {
    Node* last = nullptr;
    for (std::uint32_t i = 0; i < count; ++i) {
      Node* n = Take();
      if (n->next || (last && n->position < last->position)) throw Damaged{};
      n->AddRef();
      list->InsertAfterAdopt(last, n);
      last = n;
    }
  }
};

template <typename Node>
std::unique_ptr<UndoRecord> ReadChange(Reader& in, NodeArray<Node>& array) {
  if (in.U8() != 0) throw Damaged{};
  const std::uint16_t word = in.U16();
  const std::uint32_t count = in.U32();
  const std::uint8_t op = static_cast<std::uint8_t>(word);
  if (count == 0 || count > array.nodes.size()) throw Damaged{};
  std::vector<Node*> nodes;
  if (op == change_op::kAdd) {
    for (std::uint32_t i = 0; i < count; ++i) nodes.push_back(array.Take());
  } else if (op == change_op::kDelete) {
    for (std::uint32_t i = 0; i < count; ++i) nodes.push_back(array.ByNumber(in.U32()));
  } else if (op == change_op::kReplace || op == change_op::kMove) {
    if (count != 2) throw Damaged{};
    nodes.push_back(array.ByNumber(in.U32()));
    nodes.push_back(array.Take());
  } else {
    throw Damaged{};
  }
  std::unique_ptr<UndoRecord> record;
  Error rc;
  if constexpr (std::is_same_v<Node, Marker>)
    rc = NewMarkerChangeRecord(word, nodes, &record);
  else
    rc = NewEnvelopeChangeRecord(word, nodes, &record);
  if (rc) throw Damaged{};
  return record;
}

std::unique_ptr<UndoRecord> ReadEdit(Reader& in, const SourceArray& sources, NodeArray<Marker>& markers,
                                     NodeArray<EnvelopePoint>& points, Reach* reach) {
  EditRequest request;
  const std::uint8_t both = in.U8();
  if (both > 1) throw Damaged{};
  request.markers_and_envelope = both == 1;
  request.start = in.U32();
  request.old_length = in.U32();
  request.new_length = in.U32();
  const std::uint32_t segments = in.U32(), marker_count = in.U32(), point_count = in.U32(), name_length = in.U32();
  if (segments > in.left() / 36) throw Damaged{};
  std::uint64_t end = 0;
  for (std::uint32_t i = 0; i < segments; ++i) {
    ReadSegment(in, sources, &request.segments, reach);
    const Segment* s = request.segments.last();
    if (s->position < end) throw Damaged{};
    end = std::uint64_t{s->position} + s->length;
  }
  if (end > request.new_length) throw Damaged{};
  markers.LinkNext(marker_count, &request.markers);
  points.LinkNext(point_count, &request.envelope);
  const std::string name = in.Text(name_length);
  std::unique_ptr<UndoRecord> record;
  if (NewEditRecord(request, name, &record)) throw Damaged{};
  return record;
}

struct DocumentRecord {
  std::uint32_t rate, length, segments, markers, marker_nodes, points, point_nodes, records, redo, path_length;
  std::uint16_t channels, code, kind, flags;
  DocumentViewState view;
  EditorViewState editor{};
  std::uint32_t from, to, modification;
  std::array<std::uint32_t, kInfoTextCount> text_lengths{};
};

// What a document reads that its files no longer hold, per file source.
void CheckReach(const SourceArray& sources, const Reach& reach, std::vector<MissingWorkspaceData>* missing) {
  for (const auto& [number, to] : reach) {
    if (number >= sources.states.size()) continue;  // silence
    const FileState& f = sources.states[number];
    if (f.source && to <= f.present) continue;
    missing->push_back({f.name, f.recorded, f.present, static_cast<std::uint32_t>(std::min<std::uint64_t>(to, UINT32_MAX)),
                        f.error});
  }
}

// Parses one document; null when it reads data its files no longer hold
// (`missing` then says what).
DocumentPtr ReadDocument(Reader& in, const SourceArray& sources, std::set<std::string>* paths, bool* active,
                         Reach* reach, std::vector<MissingWorkspaceData>* missing,
                         std::optional<std::string>* path_out) {
  in.Expect("edit");
  DocumentRecord r;
  r.rate = in.U32();
  r.channels = in.U16();
  r.code = in.U16();
  r.kind = in.U16();
  r.view.word1 = in.U16();
  r.view.word2 = in.U32();
  r.view.word3 = in.U32();
  r.view.word4 = in.U32();
  r.view.word5 = in.U16();
  r.flags = in.U16();
  r.from = in.U32();
  r.to = in.U32();
  in.Bytes(r.editor.data(), r.editor.size());
  r.modification = in.U32();
  (void)in.U32();
  r.length = in.U32();
  r.segments = in.U32();
  r.markers = in.U32();
  r.marker_nodes = in.U32();
  r.points = in.U32();
  r.point_nodes = in.U32();
  r.records = in.U32();
  r.redo = in.U32();
  r.path_length = in.U32();
  for (std::uint32_t& n : r.text_lengths) n = in.U32();
  if (r.markers > r.marker_nodes || r.points > r.point_nodes || r.redo > r.records ||
      r.kind >= kPcmFileKindCount)
    throw Damaged{};
  if (r.segments > in.left() / 36 || r.marker_nodes > in.left() / 16 || r.point_nodes > in.left() / 12 ||
      r.records > in.left() / 12)
    throw Damaged{};

  SegmentList segments;
  for (std::uint32_t i = 0; i < r.segments; ++i) ReadSegment(in, sources, &segments, reach);

  NodeArray<Marker> markers;
  for (std::uint32_t i = 0; i < r.marker_nodes; ++i) {
    in.Expect("cue ");
    const std::uint32_t position = in.U32(), name_length = in.U32(), comment_length = in.U32();
    const std::string name = in.Text(name_length);
    const std::string comment = in.Text(comment_length);
    Marker* m = NewMarker(name, comment, position);
    if (!m) throw std::bad_alloc();
    markers.nodes.push_back(m);
  }
  NodeArray<EnvelopePoint> points;
  for (std::uint32_t i = 0; i < r.point_nodes; ++i) {
    in.Expect("enve");
    const std::uint32_t position = in.U32();
    EnvelopePoint* p = NewEnvelopePoint(position, in.F32());
    if (!p) throw std::bad_alloc();
    points.nodes.push_back(p);
  }
  DocumentDescription description;
  markers.LinkNext(r.markers, &description.markers);
  points.LinkNext(r.points, &description.envelope);

  std::vector<std::unique_ptr<UndoRecord>> records;
  for (std::uint32_t i = 0; i < r.records; ++i) {
    in.Expect("hist");
    switch (in.U8()) {
      case 0: records.push_back(ReadEdit(in, sources, markers, points, reach)); break;
      case 1: records.push_back(ReadChange(in, markers)); break;
      case 2: records.push_back(ReadChange(in, points)); break;
      default: throw Damaged{};
    }
  }
  std::optional<std::string> path;
  if (r.path_length > 0) {
    path = in.Text(r.path_length);
    if (!paths->insert(*path).second) throw Damaged{};
  }
  DocumentMetadata metadata;
  for (std::size_t i = 0; i < kInfoTextCount; ++i)
    if (r.text_lengths[i] > 0) metadata.texts[i] = in.Text(r.text_lengths[i]);
  if (markers.taken != markers.nodes.size() || points.taken != points.nodes.size()) throw Damaged{};
  *path_out = path;
  CheckReach(sources, *reach, missing);
  if (!missing->empty()) return DocumentPtr();

  description.format.rate = r.rate;
  description.format.channels = r.channels;
  description.format.code = r.code;
  description.format.kind = static_cast<PcmFileKind>(r.kind);
  description.length = r.length;
  description.metadata = std::move(metadata);
  description.path_is_second = (r.flags & 0x100) != 0;
  description.view = r.view;
  description.editor_view = r.editor;
  description.selection_from = r.from;
  description.selection_to = r.to;
  SoundDocument* raw = nullptr;
  if (CreateDocument(path, std::move(segments), std::move(description), &raw)) throw Damaged{};
  DocumentPtr doc(raw);
  for (auto& record : records)
    if (doc->history.AppendOldest(std::move(record))) throw std::bad_alloc();
  if (doc->history.SetRedoCount(r.redo)) throw Damaged{};
  doc->modification_counter = r.modification;
  doc->own_flag = (r.flags & 1) != 0;
  doc->format_changed = (r.flags & 0x200) != 0;
  *active = (r.flags & 0x400) != 0;
  return doc;
}

// Each document comes back when every file it reads, through its segments
// and its undo records, is present and holds at least the frames they
// reach; else it is left out and reported with what is missing. The record
// keeps frames, rate, code and data offset but no identity of a file, so a
// file replaced by another is told only by being too short (or missing):
// one at least as long is read as recorded. Whatever a left-out document
// reads is disowned, so its working files outlive this run.
Error Restore(const std::string& folder, std::span<const std::uint8_t> bytes, RestoredWorkspace* out,
              std::vector<std::string>* work_files) {
  Reader in(bytes);
  SourceArray sources;
  Error failed = err::kWorkspaceDamaged;
  try {
    in.Expect("tide");
    const std::uint8_t major = in.U8(), minor = in.U8();
    if (major != 1 || minor > 1) return err::kWorkspaceVersion;
    in.Skip(6);
    ReadSources(in, folder, &sources);
    in.Expect("edc ");
    const std::uint32_t count = in.U32();
    if (count > in.left() / 184) throw Damaged{};
    std::set<std::string> paths;
    std::set<std::uint32_t> left_out_reads;  // file sources read by left-out documents
    for (std::uint32_t i = 0; i < count; ++i) {
      bool active = false;
      Reach reach;
      LeftOutDocument left{i, std::nullopt, {}};
      DocumentPtr doc = ReadDocument(in, sources, &paths, &active, &reach, &left.missing, &left.path);
      if (!doc) {
        for (const auto& entry : reach) left_out_reads.insert(entry.first);
        out->left_out.push_back(std::move(left));
        continue;
      }
      if (active) out->active = static_cast<int>(out->documents.size());
      out->documents.push_back(std::move(doc));
    }
    while (!in.at_end()) {
      if (in.Peek("mxdw")) {
        in.Skip(10);
      } else if (in.Peek("mxd2")) {
        in.Skip(16);
      } else {
        throw Damaged{};  // the CD track list is not kept by this program
      }
    }
    {
      const std::lock_guard<std::mutex> lock(SourceMutex());
      for (const std::uint32_t n : left_out_reads)
        if (n < sources.states.size() && sources.states[n].source) sources.states[n].source->Disown();
    }
    if (work_files)
      for (const FileState& f : sources.states)
        if (f.work_file) work_files->push_back(f.name);
    return err::kOk;
  } catch (const Damaged&) {
  } catch (const std::bad_alloc&) {
    failed = err::kOutOfMemory;
  }
  sources.DisownAll();
  for (DocumentPtr& doc : out->documents) {
    // Close without deleting: what the documents read may be named again.
    doc.reset();
  }
  out->documents.clear();
  out->left_out.clear();
  out->active = -1;
  return failed;
}

bool IsWorkFileName(const char* name) {
  const std::size_t n = std::strlen(name);
  // A workspace commit cut short by a crash leaves its hidden sibling.
  const std::string hidden = std::string(".") + kWorkspaceFileName + ".";
  if (n > hidden.size() + 4 && std::strncmp(name, hidden.c_str(), hidden.size()) == 0 &&
      std::strcmp(name + n - 4, ".tmp") == 0)
    return true;
  if (n < 9 || std::strcmp(name + n - 4, ".tmp") != 0) return false;
  for (std::size_t i = n - 8; i < n - 4; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(name[i])) || std::islower(static_cast<unsigned char>(name[i])))
      return false;
  for (std::size_t i = 0; i < n - 8; ++i)
    if (!std::isalpha(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

bool CopyWholeFile(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  bool ok = out >= 0;
  std::vector<char> buffer(1 << 16);
  while (ok) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0) break;
    if (n < 0) {
      ok = errno == EINTR;
      continue;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w > 0) done += w;
      else ok = w < 0 && errno == EINTR;
    }
  }
  if (out >= 0) ok = ::fsync(out) == 0 && ::close(out) == 0 && ok;
  ::close(in);
  return ok;
}

// "FOLDER.000" ... "FOLDER.999": the names a folder is set aside under.
std::string AsideName(const std::string& folder, int i) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%03d", i);
  return folder + suffix;
}

// Puts a copy of the workspace as read, and a link to (or else a copy of)
// every working file it names that is present, into a fresh folder beside
// the working folder: the documents left out stay restorable from there
// whatever later runs remove. False when the copy is not whole.
bool KeepWorkspaceCopy(const std::string& folder, std::span<const std::uint8_t> bytes,
                       const std::vector<std::string>& work_files, std::string* kept) {
  std::string target;
  for (int i = 0; i < 1000 && target.empty(); ++i) {
    const std::string name = AsideName(folder, i);
    if (::mkdir(name.c_str(), 0700) == 0) target = name;
    else if (errno != EEXIST) return false;
  }
  if (target.empty()) return false;
  *kept = target;
  bool whole = CommitWorkspaceFile(target, bytes).ok();
  for (const std::string& name : work_files) {
    if (name.find('/') != std::string::npos) continue;  // never written so
    const std::string from = folder + "/" + name, to = target + "/" + name;
    if (::access(from.c_str(), F_OK) != 0) continue;
    if (::link(from.c_str(), to.c_str()) == 0) continue;
    whole = whole && CopyWholeFile(from, to);
  }
  return whole;
}

}  // namespace

Error RestoreWorkspaceBytes(const std::string& folder, std::span<const std::uint8_t> bytes, RestoredWorkspace* out) {
  out->documents.clear();
  out->left_out.clear();
  out->active = -1;
  return Restore(folder, bytes, out, nullptr);
}

Error ReadWorkspace(const std::string& folder, RestoredWorkspace* out, bool may_set_aside) {
  out->documents.clear();
  out->left_out.clear();
  out->active = -1;
  out->set_aside.clear();
  out->kept_copy.clear();
  out->kept_copy_whole = true;
  PosixFile file;
  if (file.Open(folder + "/" + kWorkspaceFileName, FileOpenOptions{})) {
    return file.last_errno() == ENOENT || file.last_errno() == ENOTDIR ? err::kOk : err::kWorkspaceFailed;
  }
  std::uint64_t size = 0;
  if (file.Size(&size) || size > (std::uint64_t{1} << 31)) return err::kWorkspaceFailed;
  std::vector<std::uint8_t> bytes;
  if (const Error rc = TryAlloc([&] { bytes.resize(static_cast<std::size_t>(size)); })) return rc;
  std::size_t done = 0;
  if (file.ReadAt(bytes.data(), bytes.size(), 0, &done) || done != bytes.size()) return err::kWorkspaceFailed;
  (void)file.Close();
  std::vector<std::string> work_files;
  const Error rc = Restore(folder, bytes, out, &work_files);
  if (!rc && !out->left_out.empty())
    out->kept_copy_whole = KeepWorkspaceCopy(folder, bytes, work_files, &out->kept_copy);
  if (rc && may_set_aside && rc != err::kOutOfMemory)
    (void)SetWorkFolderAside(folder, &out->set_aside);
  return rc;
}

Error WorkspaceFileState(const std::string& folder) {
  PosixFile file;
  if (file.Open(folder + "/" + kWorkspaceFileName, FileOpenOptions{})) return err::kPathUnresolved;
  char magic[4] = {};
  std::size_t done = 0;
  if (file.ReadAt(magic, 4, 0, &done) || done != 4 || std::memcmp(magic, "tide", 4) != 0)
    return err::kWorkspaceDamaged;
  return err::kOk;
}

Error DeleteWorkspaceFile(const std::string& folder) {
  if (UnlinkFile(folder + "/" + kWorkspaceFileName) && LastFileErrno() != ENOENT) return err::kWorkspaceFolderAccess;
  return err::kOk;
}

Error SetWorkFolderAside(const std::string& folder, std::string* moved_to) {
  for (int i = 0; i < 1000; ++i) {
    const std::string target = AsideName(folder, i);
    if (!RenameFile(folder, target, true)) {
      *moved_to = target;
      return err::kOk;
    }
    if (LastFileErrno() != EEXIST && LastFileErrno() != ENOTEMPTY) break;
  }
  return err::kWorkspaceFolderAccess;
}

std::size_t RemoveUnnamedWorkFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir))
    if (IsWorkFileName(e->d_name)) names.emplace_back(e->d_name);
  ::closedir(dir);
  std::size_t removed = 0;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    if (FindFileSource(path)) continue;  // a source reads it
    if (!UnlinkFile(path)) ++removed;
  }
  return removed;
}

WorkFolderLock::~WorkFolderLock() { Unlock(); }

Error WorkFolderLock::Share(const std::string& folder) {
  Unlock();
  const std::string path = folder + "/tide.lock";
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) return err::kWorkspaceFolderAccess;
  while (::flock(fd_, LOCK_SH) != 0) {
    if (errno != EINTR) {
      Unlock();
      return err::kWorkspaceFolderAccess;
    }
  }
  return err::kOk;
}

bool WorkFolderLock::TryExclusive() {
  if (fd_ < 0) return false;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
  // A refused conversion may have dropped the shared lock: take it again.
  Unexclusive();
  return false;
}

void WorkFolderLock::Unexclusive() {
  if (fd_ >= 0) (void)::flock(fd_, LOCK_SH);
}

void WorkFolderLock::Unlock() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace tidemark
