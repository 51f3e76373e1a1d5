// The workspace file: a random session written and restored state for state
// (undo and redo walking the same way afterwards), damaged and cut-short
// files refused without losing a working file, a fault at every system call
// of the commit, and kill -9 while committing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <tuple>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/document/segment_cursor.h"
#include "core/core_options.h"
#include "core/edit/edit_commands.h"
#include "core/edit/format_change.h"
#include "core/io/work_folder.h"
#include "core/undo/envelope_commands.h"
#include "core/undo/marker_commands.h"
#include "core/workspace/workspace_file.h"
#include "platform/fault_injection.h"
#include "tests/core/document_test_util.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::MakeRandomSource;
using testing::NewSegment;

// Everything a restore must give back, as plain values.
struct State {
  std::uint32_t length, rate, from, to, modification;
  std::uint16_t channels;
  std::vector<float> samples;
  std::vector<std::tuple<std::uint32_t, std::string, std::string>> markers;
  std::vector<std::pair<std::uint32_t, float>> points;
  std::vector<std::string> history;
  std::size_t redo;
  std::optional<std::string> path;
  DocumentMetadata tags;
  bool operator==(const State&) const = default;
};

State Capture(const SoundDocument& d) {
  State s{d.length, d.rate, 0, 0, d.modification_counter, d.channels, {}, {}, {}, {}, d.history.redo_count(),
          d.path, d.metadata};
  GetSelection(d, &s.from, &s.to);
  SegmentCursor cursor(d.segments, d.channels, d.length);
  s.samples.resize(std::size_t{d.length} * d.channels);
  EXPECT_EQ(cursor.ReadFloat(d.length, s.samples.data(), d.channels), 0u);
  for (const Marker* m = d.markers.first(); m; m = m->next)
    s.markers.emplace_back(m->position, m->name, m->comment ? *m->comment : "");
  for (const EnvelopePoint* p = d.envelope.first(); p; p = p->next) s.points.emplace_back(p->position, p->level);
  for (std::size_t i = 0; i < d.history.size(); ++i) {
    std::string name;
    EXPECT_EQ(d.history.at(i).GetName(&name), 0u);
    s.history.push_back(name);
  }
  return s;
}

// The first field in which two states differ, for the failure message.
std::string Differs(const State& a, const State& b) {
  if (a.length != b.length || a.rate != b.rate || a.channels != b.channels) return "format";
  if (a.from != b.from || a.to != b.to) return "selection";
  if (a.modification != b.modification) return "modification counter";
  if (a.samples != b.samples) return "samples";
  if (a.markers != b.markers) return "markers";
  if (a.points != b.points) return "envelope";
  if (a.history != b.history || a.redo != b.redo) return "history";
  if (a.path != b.path) return "path";
  if (!(a.tags == b.tags)) return "tags";
  return "";
}

std::string Differs(const std::vector<State>& a, const std::vector<State>& b) {
  if (a.size() != b.size()) return "walk length";
  for (std::size_t i = 0; i < a.size(); ++i)
    if (const std::string d = Differs(a[i], b[i]); !d.empty()) return d + " at step " + std::to_string(i);
  return "";
}

// The states met undoing to the oldest and redoing to the newest, then the
// document is put back where it was.
std::vector<State> Walk(SoundDocument& d) {
  std::vector<State> states{Capture(d)};
  const std::size_t redo = d.history.redo_count();
  while (CanUndo(d)) {
    EXPECT_EQ(Undo(d), 0u);
    states.push_back(Capture(d));
  }
  while (CanRedo(d)) {
    EXPECT_EQ(Redo(d), 0u);
    states.push_back(Capture(d));
  }
  for (std::size_t i = 0; i < redo; ++i) EXPECT_EQ(Undo(d), 0u);
  return states;
}

class WorkspaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("workspace");
    MutableCoreOptions().host_work_folder = dir_;
    ASSERT_EQ(EnsureWorkFolder(&folder_), 0u);
  }
  void TearDown() override { MutableCoreOptions().host_work_folder.clear(); }

  // Three documents over user files and an owned working file, with random
  // edits, markers, envelope points and tags, and part of each history undone.
  std::vector<DocumentPtr> RandomSession(std::uint32_t seed) {
    std::mt19937 rng32(seed);
    std::vector<DocumentPtr> docs;
    for (int k = 0; k < 3; ++k) {
      const std::uint16_t channels = k == 1 ? 1 : 2;
      const std::uint32_t frames = 3000;
      const std::string path = k == 2 ? folder_ + "/wav00" + std::to_string(10 + k) + ".tmp"
                                      : dir_ + "/user" + std::to_string(k) + ".raw";
      testing::WriteWholeFile(path, testing::RandomBytes(std::size_t{frames} * channels * 2, seed + k));
      SourceRef src;
      EXPECT_EQ(OpenFileSource(path, 0, 44100, sample_code::kS16, channels, frames, k == 2 ? kSourceOwnsFile : 0,
                               nullptr, &src),
                0u);
      SegmentList list;
      list.PushBack(NewSegment(src, 0, frames, 0));
      DocumentPtr doc(testing::MakeDocument(std::move(list), frames, channels));
      if (k == 0) doc->path = path;
      SetDocumentTag(*doc, InfoText::Artist, "artist " + std::to_string(k));
      for (int step = 0; step < 25; ++step) {
        const std::uint32_t a = static_cast<std::uint32_t>(rng32()) % doc->length, b = a + static_cast<std::uint32_t>(rng32()) % std::max<std::uint32_t>(1, doc->length - a);
        switch (static_cast<std::uint32_t>(rng32()) % 7) {
          case 0: EXPECT_EQ(ApplyGain(*doc, a, b - a, {0.5f, 2.0f}, "Gain"), 0u); break;
          case 1: EXPECT_EQ(DeleteWithSilence(*doc, a, b, static_cast<std::uint32_t>(rng32()) % 200), 0u); break;
          case 2: EXPECT_EQ(InsertSilence(*doc, a, 1 + static_cast<std::uint32_t>(rng32()) % 5), 0u); break;
          case 3: {
            MarkerList m;
            std::string name = std::to_string(step);
            name.insert(0, 1, 'm');
            m.PushFrontAdopt(NewMarker(name, step % 2 ? "note" : "", a));
            EXPECT_EQ(AddMarkers(*doc, std::move(m)), 0u);
            break;
          }
          case 4:
            if (Marker* m = doc->markers.first()) {
              EXPECT_EQ(step % 2 ? ChangeMarker(*doc, m, b, "moved", "") : DeleteMarkers(*doc, {&m, 1}), 0u);
            }
            break;
          case 5: EXPECT_EQ(AddEnvelopePoint(*doc, a), 0u); break;
          case 6:
            if (EnvelopePoint* p = doc->envelope.first()) {
              EXPECT_EQ(MoveEnvelopePoint(*doc, p, b, 0.25f), 0u);
            }
            break;
        }
      }
      for (std::uint32_t u = static_cast<std::uint32_t>(rng32()) % 8; u > 0 && CanUndo(*doc); --u) EXPECT_EQ(Undo(*doc), 0u);
      SetSelection(*doc, 10, 20 + k);
      docs.push_back(std::move(doc));
    }
    return docs;
  }

  static std::vector<SoundDocument*> Raw(const std::vector<DocumentPtr>& docs) {
    std::vector<SoundDocument*> raw;
    for (const DocumentPtr& d : docs) raw.push_back(d.get());
    return raw;
  }

  std::string dir_, folder_;
};

TEST_F(WorkspaceFileTest, RandomSessionsComeBackStateForState) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    std::vector<DocumentPtr> docs = RandomSession(seed);
    // Built before the walk: undo and redo move the selection.
    WorkspaceImage image;
    ASSERT_EQ(BuildWorkspace(Raw(docs), docs[1].get(), folder_, &image), 0u);
    std::vector<std::vector<State>> before;
    for (DocumentPtr& d : docs) before.push_back(Walk(*d));
    ASSERT_EQ(CommitWorkspaceFile(folder_, image.bytes), 0u);
    DisownWorkspaceFiles(image);
    image = WorkspaceImage();
    docs.clear();
    ASSERT_EQ(OpenDocumentCount(), 0u);
    ASSERT_TRUE(testing::FileExists(folder_ + "/wav0012.tmp"));  // the exit write keeps owned files

    RestoredWorkspace restored;
    ASSERT_EQ(ReadWorkspace(folder_, &restored), 0u) << seed;
    ASSERT_EQ(restored.documents.size(), 3u);
    EXPECT_EQ(restored.active, 1);
    // Written again, the restored session gives the same bytes.
    WorkspaceImage again;
    ASSERT_EQ(BuildWorkspace(Raw(restored.documents), restored.documents[1].get(), folder_, &again), 0u);
    EXPECT_EQ(again.bytes, testing::ReadWholeFile(folder_ + "/" + kWorkspaceFileName));
    again = WorkspaceImage();
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(Differs(Walk(*restored.documents[k]), before[k]), "") << seed << " " << k;
    // The owned file is owned again: closing deletes it.
    restored.documents.clear();
    EXPECT_FALSE(testing::FileExists(folder_ + "/wav0012.tmp"));
  }
}

// A format change has no stored form: the workspace keeps the document as it
// is, with the steps reachable without crossing a change.
TEST_F(WorkspaceFileTest, FormatChangeEndsTheStoredHistory) {
  std::vector<DocumentPtr> docs = RandomSession(5);
  SoundDocument& d = *docs[0];
  while (CanRedo(d)) ASSERT_EQ(Redo(d), 0u);
  FormatChange to48k;
  to48k.rate = 48000;
  ASSERT_EQ(ChangeFormat(d, to48k), 0u);
  ASSERT_EQ(ApplyGain(d, 0, 100, {0.5f, 0.5f}, "Gain"), 0u);
  ASSERT_EQ(InsertSilence(d, 10, 3), 0u);
  FormatChange mono;
  mono.channels = 1;
  ASSERT_EQ(ChangeFormat(d, mono), 0u);
  ASSERT_EQ(InsertSilence(d, 5, 2), 0u);
  ASSERT_EQ(Undo(d), 0u);
  ASSERT_EQ(Undo(d), 0u);
  const State now = Capture(d);
  WorkspaceImage image;
  ASSERT_EQ(BuildWorkspace(Raw(docs), docs[0].get(), folder_, &image), 0u);
  ASSERT_EQ(CommitWorkspaceFile(folder_, image.bytes), 0u);
  DisownWorkspaceFiles(image);
  image = WorkspaceImage();
  docs.clear();

  RestoredWorkspace restored;
  ASSERT_EQ(ReadWorkspace(folder_, &restored), 0u);
  ASSERT_EQ(restored.documents.size(), 3u);
  SoundDocument& r = *restored.documents[0];
  EXPECT_EQ(r.history.size(), 2u);
  EXPECT_EQ(r.history.redo_count(), 0u);
  const State back = Capture(r);
  EXPECT_EQ(back.rate, 48000u);
  EXPECT_EQ(back.channels, 2u);
  EXPECT_EQ(back.samples, now.samples);
  EXPECT_EQ(Undo(r), 0u);
  EXPECT_EQ(Undo(r), 0u);
  EXPECT_FALSE(CanUndo(r));
  EXPECT_EQ(r.rate, 48000u);
}

// Cut at every length, or with a field made wrong: refused (65 or 66), no
// document stays open and no working file is deleted.
TEST_F(WorkspaceFileTest, DamagedFilesAreRefusedWithoutLosingAWorkingFile) {
  std::vector<DocumentPtr> docs = RandomSession(7);
  WorkspaceImage image;
  ASSERT_EQ(BuildWorkspace(Raw(docs), nullptr, folder_, &image), 0u);
  DisownWorkspaceFiles(image);
  image.sources = SourceNumbering();
  docs.clear();
  const std::vector<std::uint8_t> good = image.bytes;
  const auto find = [&](const char* code, int nth = 0) {
    for (std::size_t i = 0; i + 4 <= good.size(); ++i)
      if (std::memcmp(good.data() + i, code, 4) == 0 && nth-- == 0) return i;
    ADD_FAILURE() << code;
    return std::size_t{0};
  };
  const auto put32 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    Error expected;
  };
  const std::size_t edit = find("edit"), sfc = find("sfc "), hist = find("hist");
  const std::vector<Case> cases = {
      {"newer version", [](auto& b) { b[5] = 2; }, err::kWorkspaceVersion},
      {"wrong magic", [](auto& b) { b[0] = 'T'; }, err::kWorkspaceDamaged},
      {"file count above total", [&](auto& b) { put32(b, sfc + 4, 99); }, err::kWorkspaceDamaged},
      {"wrong record code", [&](auto& b) { b[edit] = 'E'; }, err::kWorkspaceDamaged},
      {"segment source beyond the array", [&](auto& b) { put32(b, find("sblk") + 16, 1000); },
       err::kWorkspaceDamaged},
      {"redo part beyond the history", [&](auto& b) { put32(b, edit + 100, 1000); }, err::kWorkspaceDamaged},
      {"unconsumed nodes", [&](auto& b) { put32(b, edit + 84, 0); }, err::kWorkspaceDamaged},
      {"history kind above 2", [&](auto& b) { b[hist + 4] = 3; }, err::kWorkspaceDamaged},
      {"trailing junk", [](auto& b) { b.insert(b.end(), {'j', 'u', 'n', 'k'}); }, err::kWorkspaceDamaged},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = good;
    c.damage(bytes);
    RestoredWorkspace out;
    EXPECT_EQ(RestoreWorkspaceBytes(folder_, bytes, &out), c.expected) << c.what;
    EXPECT_TRUE(out.documents.empty()) << c.what;
    EXPECT_EQ(OpenDocumentCount(), 0u) << c.what;
  }
  for (std::size_t n = 0; n < good.size(); ++n) {
    RestoredWorkspace out;
    ASSERT_EQ(RestoreWorkspaceBytes(folder_, std::span(good.data(), n), &out), err::kWorkspaceDamaged) << n;
    ASSERT_EQ(OpenDocumentCount(), 0u) << n;
  }
  EXPECT_TRUE(testing::FileExists(folder_ + "/wav0012.tmp"));
  RestoredWorkspace out;
  ASSERT_EQ(RestoreWorkspaceBytes(folder_, good, &out), 0u);
  EXPECT_EQ(out.documents.size(), 3u);
}

TEST_F(WorkspaceFileTest, TwoDocumentsWithOnePathAreDamagedAndTheFolderIsSetAside) {
  std::vector<DocumentPtr> docs = RandomSession(3);
  docs[1]->path = docs[0]->path;
  WorkspaceImage image;
  ASSERT_EQ(BuildWorkspace(Raw(docs), nullptr, folder_, &image), 0u);
  ASSERT_EQ(CommitWorkspaceFile(folder_, image.bytes), 0u);
  DisownWorkspaceFiles(image);
  image = WorkspaceImage();
  docs.clear();
  RestoredWorkspace out;
  EXPECT_EQ(ReadWorkspace(folder_, &out), err::kWorkspaceDamaged);
  EXPECT_EQ(out.set_aside, folder_ + ".000");
  EXPECT_TRUE(testing::FileExists(folder_ + ".000/wav0012.tmp"));
  EXPECT_TRUE(testing::FileExists(folder_ + ".000/" + kWorkspaceFileName));
}

// A fault at each system call of a commit leaves the previous file whole
// and no hidden sibling behind.
TEST_F(WorkspaceFileTest, FaultAtEveryStepKeepsThePreviousWorkspace) {
  const std::vector<std::uint8_t> old_bytes = testing::RandomBytes(300, 1), new_bytes = testing::RandomBytes(500, 2);
  const std::string file = folder_ + "/" + kWorkspaceFileName;
  std::uint64_t failed_runs = 0;
  for (const int error : {EIO, ENOSPC}) {
    failed_runs += fault::ForEachFaultPoint(fault::kAllOps, error, [&](const fault::ScopedFault& fault) {
      testing::WriteWholeFile(file, old_bytes);
      const Error rc = CommitWorkspaceFile(folder_, new_bytes);
      const std::vector<std::uint8_t> now = testing::ReadWholeFile(file);
      if (rc) {
        EXPECT_EQ(now, old_bytes) << fault.rule().nth;
      } else {
        EXPECT_TRUE(now == new_bytes || (fault.fired() && now == old_bytes)) << fault.rule().nth;
      }
      EXPECT_EQ(testing::FolderNames(folder_).size(), 1u) << fault.rule().nth;
    });
  }
  EXPECT_GT(failed_runs, 4u);
}

// kill -9 at random moments while a child commits two images in turn: the
// file is always one of them, whole.
TEST_F(WorkspaceFileTest, KillDuringCommitLeavesOneWholeWorkspace) {
  const std::vector<std::uint8_t> a = testing::RandomBytes(40000, 3), b = testing::RandomBytes(70000, 4);
  ASSERT_EQ(CommitWorkspaceFile(folder_, a), 0u);
  std::mt19937 rng32(5);
  for (int round = 0; round < 12; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) (void)CommitWorkspaceFile(folder_, i % 2 ? a : b);
    }
    ::usleep(1000 + static_cast<std::uint32_t>(rng32()) % 20000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::vector<std::uint8_t> now = testing::ReadWholeFile(folder_ + "/" + kWorkspaceFileName);
    ASSERT_TRUE(now == a || now == b) << round << " " << now.size();
  }
}

// Working files deleted, cut short or replaced under a kept workspace: each
// document whose files still hold what it reads comes back as it was, the
// others are reported, and nothing they read is deleted.
TEST_F(WorkspaceFileTest, DamagedWorkingFilesLeaveOutOnlyTheirDocuments) {
  // Every document reads all 3000 frames of its own file (the oldest undo
  // record holds the opening segment): user0.raw (2 channels), user1.raw
  // (1 channel), the owned wav0012.tmp (2 channels).
  const std::vector<std::string> files = {dir_ + "/user0.raw", dir_ + "/user1.raw", folder_ + "/wav0012.tmp"};
  const std::vector<std::uint32_t> frame_bytes = {4, 2, 4};
  enum Kind { kDeleted, kEmpty, kHalf, kOneByteShort, kOtherFormat, kLonger };
  struct Case {
    const char* what;
    Kind kind;
    std::vector<std::size_t> damaged;
  };
  const std::vector<Case> cases = {
      {"deleted", kDeleted, {0}},
      {"deleted working file", kDeleted, {2}},
      {"truncated to 0", kEmpty, {1}},
      {"truncated to half", kHalf, {2}},
      {"truncated to half, two", kHalf, {0, 2}},
      {"one byte short", kOneByteShort, {0}},
      {"replaced by a shorter other-format file", kOtherFormat, {2}},
      {"replaced by a shorter other-format file, two", kOtherFormat, {0, 1}},
      // No identity is kept: a longer file is read as recorded.
      {"grown", kLonger, {1}},
  };
  for (const Case& c : cases) {
    std::vector<DocumentPtr> docs = RandomSession(21);
    WorkspaceImage image;
    ASSERT_EQ(BuildWorkspace(Raw(docs), docs[1].get(), folder_, &image), 0u);
    std::vector<std::vector<State>> before;
    for (DocumentPtr& d : docs) before.push_back(Walk(*d));
    ASSERT_EQ(CommitWorkspaceFile(folder_, image.bytes), 0u);
    DisownWorkspaceFiles(image);
    image = WorkspaceImage();
    docs.clear();
    for (const std::size_t k : c.damaged) {
      const std::size_t whole = std::size_t{3000} * frame_bytes[k];
      switch (c.kind) {
        case kDeleted: ASSERT_EQ(::unlink(files[k].c_str()), 0); break;
        case kEmpty: testing::WriteFileText(files[k], ""); break;
        case kHalf: ASSERT_EQ(::truncate(files[k].c_str(), static_cast<off_t>(whole / 2)), 0); break;
        case kOneByteShort: ASSERT_EQ(::truncate(files[k].c_str(), static_cast<off_t>(whole - 1)), 0); break;
        case kOtherFormat: testing::WriteFileText(files[k], std::string("fLaC\0\0\0\x22", 8) + std::string(600, 'z')); break;
        case kLonger: ASSERT_EQ(::truncate(files[k].c_str(), static_cast<off_t>(whole + 4000)), 0); break;
      }
    }
    const bool lost = c.kind != kLonger;
    RestoredWorkspace out;
    ASSERT_EQ(ReadWorkspace(folder_, &out), 0u) << c.what;
    EXPECT_TRUE(out.set_aside.empty()) << c.what;
    std::vector<std::size_t> back;
    for (std::size_t k = 0; k < 3; ++k)
      if (!lost || std::find(c.damaged.begin(), c.damaged.end(), k) == c.damaged.end()) back.push_back(k);
    ASSERT_EQ(out.documents.size(), back.size()) << c.what;
    for (std::size_t i = 0; i < back.size(); ++i)
      EXPECT_EQ(Differs(Walk(*out.documents[i]), before[back[i]]), "") << c.what << " " << back[i];
    // The active document is the second one, when it came back.
    const auto second = std::find(back.begin(), back.end(), std::size_t{1});
    EXPECT_EQ(out.active, second == back.end() ? -1 : static_cast<int>(second - back.begin())) << c.what;
    ASSERT_EQ(out.left_out.size(), lost ? c.damaged.size() : 0u) << c.what;
    for (std::size_t i = 0; i < out.left_out.size(); ++i) {
      const LeftOutDocument& left = out.left_out[i];
      const std::size_t k = c.damaged[i];
      EXPECT_EQ(left.index, k) << c.what;
      EXPECT_EQ(left.path.has_value(), k == 0) << c.what;
      ASSERT_EQ(left.missing.size(), 1u) << c.what;
      EXPECT_EQ(left.missing[0].file, k == 2 ? std::string("wav0012.tmp") : files[k]) << c.what;
      EXPECT_EQ(left.missing[0].needed_frames, 3000u) << c.what;
      const std::uint32_t present = c.kind == kHalf ? 1500 : c.kind == kOneByteShort ? 2999
                                    : c.kind == kOtherFormat ? 608 / frame_bytes[k] : 0;
      EXPECT_EQ(left.missing[0].present_frames, present) << c.what;
      EXPECT_EQ(left.missing[0].error, c.kind == kDeleted ? err::kPathUnresolved : err::kOk) << c.what;
    }
    // The workspace as it was is kept beside, with the working file linked.
    EXPECT_EQ(out.kept_copy.empty(), !lost) << c.what;
    if (lost) {
      EXPECT_TRUE(out.kept_copy_whole) << c.what;
      EXPECT_EQ(testing::ReadWholeFile(out.kept_copy + "/" + kWorkspaceFileName),
                testing::ReadWholeFile(folder_ + "/" + kWorkspaceFileName))
          << c.what;
      EXPECT_EQ(testing::FileExists(out.kept_copy + "/wav0012.tmp"), testing::FileExists(files[2])) << c.what;
    }
    // A left-out document's working file outlives the restored documents;
    // a restored one's is owned again.
    const bool work_file_left_out = lost && std::find(c.damaged.begin(), c.damaged.end(), 2u) != c.damaged.end();
    const bool present = testing::FileExists(files[2]);
    out = RestoredWorkspace();
    EXPECT_EQ(OpenDocumentCount(), 0u) << c.what;
    EXPECT_EQ(testing::FileExists(files[2]), present && work_file_left_out) << c.what;
  }
}

TEST_F(WorkspaceFileTest, FileStateAndDelete) {
  const std::string file = folder_ + "/" + kWorkspaceFileName;
  EXPECT_EQ(WorkspaceFileState(folder_), err::kPathUnresolved);
  testing::WriteFileText(file, "tid?");
  EXPECT_EQ(WorkspaceFileState(folder_), err::kWorkspaceDamaged);
  testing::WriteFileText(file, "tide\x01\x01");
  EXPECT_EQ(WorkspaceFileState(folder_), 0u);
  EXPECT_EQ(DeleteWorkspaceFile(folder_), 0u);
  EXPECT_FALSE(testing::FileExists(file));
  EXPECT_EQ(DeleteWorkspaceFile(folder_), 0u);
}

// The keeper writes only changed workspaces, and a working file the last
// committed workspace names lives until a workspace without it is in place.
TEST_F(WorkspaceFileTest, KeeperHoldsWorkingFilesUntilTheNextCommit) {
  std::vector<DocumentPtr> docs = RandomSession(9);
  WorkspaceKeeper keeper(folder_);
  ASSERT_EQ(keeper.Save(Raw(docs), nullptr, false, nullptr), 0u);
  ASSERT_EQ(keeper.Save(Raw(docs), nullptr, false, nullptr), 0u);
  EXPECT_EQ(keeper.commits(), 1u);
  docs.pop_back();  // the document over the owned working file
  EXPECT_TRUE(testing::FileExists(folder_ + "/wav0012.tmp"));
  ASSERT_EQ(keeper.Save(Raw(docs), nullptr, false, nullptr), 0u);
  EXPECT_EQ(keeper.commits(), 2u);
  EXPECT_FALSE(testing::FileExists(folder_ + "/wav0012.tmp"));
}

TEST_F(WorkspaceFileTest, UnnamedWorkingFilesAreRemovedOthersKept) {
  std::vector<DocumentPtr> docs = RandomSession(11);  // reads wav0012.tmp
  for (const char* name : {"wav0001.tmp", "mix00AB.tmp", "notes.txt", "wav00ab.tmp", ".tide.reconst.1F.0.tmp"})
    testing::WriteFileText(folder_ + "/" + name, "x");
  EXPECT_EQ(RemoveUnnamedWorkFiles(folder_), 3u);
  for (const char* name : {"wav0012.tmp", "notes.txt", "wav00ab.tmp"})
    EXPECT_TRUE(testing::FileExists(folder_ + "/" + name)) << name;
}

TEST_F(WorkspaceFileTest, ExclusiveLockOnlyWhenAlone) {
  WorkFolderLock mine, other;
  ASSERT_EQ(mine.Share(folder_), 0u);
  EXPECT_TRUE(mine.TryExclusive());
  mine.Unexclusive();
  ASSERT_EQ(other.Share(folder_), 0u);
  EXPECT_FALSE(mine.TryExclusive());
  EXPECT_TRUE(mine.held());
  other.Unlock();
  EXPECT_TRUE(mine.TryExclusive());
}

}  // namespace
}  // namespace tidemark
