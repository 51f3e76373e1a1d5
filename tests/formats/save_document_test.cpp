#include "formats/save_document.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/core_options.h"
#include "core/io/work_folder.h"
#include "core/sources/file_source.h"
#include "core/sources/source_detach.h"
#include "core/sources/source_list.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/pcm_probe.h"
#include "formats/tags/tag_set.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/headless_main_frame.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/open_save_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::DocumentPtr;
using testing::FolderEntries;
using testing::MakeTempDir;
using testing::ReadWholeFile;
using testing::WriteWholeFile;

void AddMarker(SoundDocument& doc, const char* name, std::uint32_t position) {
  ASSERT_TRUE(InsertMarker(doc.markers, NewMarker(name, "", position)));
  ++doc.marker_change_counter;
}

// What the probe finds in a saved file: kind, rate and frames.
std::tuple<PcmFileKind, std::uint32_t, std::uint32_t> Probed(const std::string& path) {
  SoundFileInfo info;
  EXPECT_EQ(ProbePcmFile(path, &info), 0u) << path;
  return {info.kind, info.rate, info.frames};
}
using Shape = std::tuple<PcmFileKind, std::uint32_t, std::uint32_t>;

// Opens `name` in `dir` after writing `bytes` there.
DocumentPtr OpenNew(const std::string& dir, const char* name, const std::vector<std::uint8_t>& bytes) {
  WriteWholeFile(dir + "/" + name, bytes);
  return testing::OpenDocument(dir + "/" + name);
}

bool Contains(const std::vector<std::uint8_t>& bytes, std::string_view text) {
  return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

// Saving into every kind and reopening gives the same samples, markers and
// tags; the document then names the new file, unmodified, and the frame
// hears 208.
TEST(SaveDocument, SavesEveryKindAndTakesTheNewName) {
  const std::string dir = MakeTempDir("save_kinds");
  HeadlessMainFrame frame;
  SetMainFrame(&frame);
  const DocumentPtr doc = OpenNew(dir, "in.wav", testing::Pcm16Wave(2, 44100, 3000, 11));
  ASSERT_TRUE(doc);
  const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
  struct Case {
    const char* name;
    PcmFileKind kind;
    SampleCode code;
    SampleCode stored;
  };
  for (const Case& c : {Case{"out.aiff", PcmFileKind::AIFF, sample_code::kS16, sample_code::kS16BE},
                        Case{"out.aifc", PcmFileKind::AIFC, sample_code::kS24BE, sample_code::kS24BE},
                        Case{"out.au", PcmFileKind::AU, sample_code::kS16, sample_code::kS16BE},
                        Case{"out.wav", PcmFileKind::Wave, sample_code::kFloat, sample_code::kFloat},
                        Case{"out32.wav", PcmFileKind::Wave, sample_code::kS32, sample_code::kS32}}) {
    SCOPED_TRACE(c.name);
    AddMarker(*doc, c.name, 1234);
    SetTagText(doc->metadata, InfoText::Artist, "me");
    doc->metadata_changed = true;
    frame.ClearNotices();
    const std::string path = dir + "/" + c.name;
    ASSERT_EQ(SaveAs(*doc, path, c.kind, c.code), 0u);
    EXPECT_EQ(frame.last_flags(), 208u);
    EXPECT_EQ(std::tuple(doc->path.value_or(""), doc->kind, doc->code, doc->marker_change_counter, doc->metadata_changed),
              std::tuple(path, c.kind, c.stored, 0u, false));
    // The path is open in `doc`; a second document over it reads the same file.
    const DocumentPtr back = testing::OpenDocument(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(testing::DocumentSamples(*back), samples);
    const std::vector<testing::MarkerEntry> markers = testing::MarkerEntries(back->markers);
    EXPECT_EQ(std::count(markers.begin(), markers.end(), testing::MarkerEntry{1234, c.name, ""}),
              c.kind == PcmFileKind::AU ? 0 : 1);
  }
  SetMainFrame(nullptr);
}

// An unmodified save to the document's own file with the same kind and code
// writes nothing at all; a target that another document has open is refused.
TEST(SaveDocument, UnmodifiedSaveAndOpenElsewhere) {
  const std::string dir = MakeTempDir("save_noop");
  const DocumentPtr a = OpenNew(dir, "a.wav", testing::Pcm16Wave(1, 8000, 500, 12));
  const DocumentPtr b = OpenNew(dir, "b.wav", testing::Pcm16Wave(1, 8000, 400, 13));
  ASSERT_TRUE(a && b);
  const struct stat before = testing::StatOf(dir + "/a.wav");
  ::usleep(20000);
  ASSERT_EQ(SaveAs(*a, dir + "/a.wav", PcmFileKind::Wave, sample_code::kS16), 0u);
  const struct stat after = testing::StatOf(dir + "/a.wav");
  EXPECT_EQ(std::tuple(after.st_ino, after.st_mtim.tv_sec, after.st_mtim.tv_nsec),
            std::tuple(before.st_ino, before.st_mtim.tv_sec, before.st_mtim.tv_nsec));
  // Another code is a change even without edits.
  const std::vector<std::uint8_t> b_bytes = ReadWholeFile(dir + "/b.wav");
  EXPECT_EQ(SaveAs(*a, dir + "/b.wav", PcmFileKind::Wave, sample_code::kS16), err::kOpenElsewhere);
  EXPECT_EQ(SaveAs(*a, dir + "/./b.wav", PcmFileKind::AIFF, sample_code::kS16), err::kOpenElsewhere);
  EXPECT_EQ(ReadWholeFile(dir + "/b.wav"), b_bytes);
  EXPECT_EQ(*a->path, dir + "/a.wav");
}

// Saving over the file the document reads: the document keeps reading the
// old samples exactly (from a link to them), the file is replaced by a new
// one holding the new marker, and its unknown chunk survives.
TEST(SaveDocument, OverItsOwnFileKeepsSamplesAndUnknownChunks) {
  const std::string dir = MakeTempDir("save_self");
  const std::string path = dir + "/song.wav";
  const DocumentPtr doc = OpenNew(dir, "song.wav", testing::Pcm16Wave(2, 44100, 70000, 14, true));
  ASSERT_TRUE(doc);
  const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
  const ino_t old_inode = testing::StatOf(path).st_ino;
  AddMarker(*doc, "changed", 777);
  ASSERT_EQ(SaveAs(*doc, path, PcmFileKind::Wave, sample_code::kS16), 0u);
  EXPECT_NE(testing::StatOf(path).st_ino, old_inode);
  // The old samples were kept by a link in the working folder, not copied.
  const std::string kept = FilePath(doc->segments.first()->source.get());
  EXPECT_NE(kept, path);
  EXPECT_EQ(testing::StatOf(kept).st_ino, old_inode);
  EXPECT_EQ(testing::DocumentSamples(*doc), samples);
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  EXPECT_TRUE(Contains(bytes, "abcd")) << "the unknown chunk was dropped";
  EXPECT_TRUE(Contains(bytes, "kept!"));
  EXPECT_TRUE(Contains(bytes, "changed"));
  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"song.wav"}));
  // Saving once more over the file now read through a link, as AIFF.
  AddMarker(*doc, "again", 10);
  ASSERT_EQ(SaveAs(*doc, path, PcmFileKind::AIFF, sample_code::kS16), 0u);
  EXPECT_EQ(testing::DocumentSamples(*doc), samples);
  EXPECT_EQ(doc->kind, PcmFileKind::AIFF);
  EXPECT_EQ(Probed(path), Shape(PcmFileKind::AIFF, 44100, 70000));
}

// Where the old file cannot be linked into the working folder (another file
// system), its samples are copied, and the copy then moved into place; a
// cancelled save leaves nothing behind.
TEST(SaveDocument, CopyWhenLinkingFailsAndCancel) {
  const std::string dir = MakeTempDir("save_exdev");
  const std::string path = dir + "/song.wav";
  const std::vector<std::uint8_t> bytes = testing::Pcm16Wave(2, 44100, 90000, 26);
  const DocumentPtr doc = OpenNew(dir, "song.wav", bytes);
  ASSERT_TRUE(doc);
  const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
  const ino_t old_inode = testing::StatOf(path).st_ino;

  SaveOptions cancel;
  int calls = 0;
  cancel.progress = [&](std::uint64_t done, std::uint64_t total) {
    EXPECT_LE(done, total);
    return ++calls < 2;
  };
  AddMarker(*doc, "x", 1);
  EXPECT_EQ(SaveAs(*doc, dir + "/other.wav", PcmFileKind::Wave, sample_code::kS16, cancel), err::kCancelled);
  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"song.wav"}));
  EXPECT_EQ(doc->marker_change_counter, 1u);

  {
    const fault::ScopedFault exdev(fault::FaultRule::FailNth(fault::kLink, 1, EXDEV));
    ASSERT_EQ(SaveAs(*doc, path, PcmFileKind::Wave, sample_code::kS16), 0u);
    EXPECT_TRUE(exdev.fired());
  }
  // The copy is the program's own working file, so it was moved into place
  // itself: the document reads the new file, which holds the old samples.
  EXPECT_NE(testing::StatOf(path).st_ino, old_inode);
  EXPECT_EQ(FilePath(doc->segments.first()->source.get()), path);
  EXPECT_FALSE(OwnsFile(doc->segments.first()->source.get()));
  EXPECT_EQ(testing::DocumentSamples(*doc), samples);
  const std::vector<std::uint8_t> now = ReadWholeFile(path);
  ASSERT_GE(now.size(), bytes.size());
  EXPECT_TRUE(std::equal(bytes.begin() + 44, bytes.end(), now.begin() + 44));
  EXPECT_TRUE(Contains(now, "x"));
}

// A document that is one whole working file of the program's own layout is
// moved into place: the target is that very file (same inode), its rate
// patched; when the last rename fails, the file goes back as it was.
TEST(SaveDocument, FastPathMovesTheWorkingFile) {
  const std::string dir = MakeTempDir("save_fast");
  const DocumentPtr doc = OpenNew(dir, "a.wav", testing::Pcm16Wave(2, 44100, 20000, 15));
  ASSERT_TRUE(doc);
  const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
  // A copy into a working file, the program's own layout.
  ASSERT_EQ(DetachFromOriginal(dir + "/a.wav", nullptr, nullptr, false), 0u);
  const std::string work = FilePath(doc->segments.first()->source.get());
  ASSERT_NE(work, dir + "/a.wav");
  const std::vector<std::uint8_t> work_bytes = ReadWholeFile(work);
  const ino_t work_inode = testing::StatOf(work).st_ino;
  doc->rate = 48000;
  doc->format_changed = true;
  AddMarker(*doc, "fast", 5);

  {
    const fault::ScopedFault fail(fault::FaultRule::FailNth(fault::kRename, 2, EIO));
    EXPECT_EQ(SaveAs(*doc, dir + "/fast.wav", PcmFileKind::Wave, sample_code::kS16), err::kWorkFileMoveFailed);
    EXPECT_TRUE(fail.fired());
  }
  EXPECT_EQ(ReadWholeFile(work), work_bytes);
  EXPECT_EQ(testing::StatOf(work).st_ino, work_inode);
  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"a.wav"}));
  EXPECT_EQ(FilePath(doc->segments.first()->source.get()), work);
  EXPECT_TRUE(OwnsFile(doc->segments.first()->source.get()));
  EXPECT_EQ(testing::DocumentSamples(*doc), samples);

  ASSERT_EQ(SaveAs(*doc, dir + "/fast.wav", PcmFileKind::Wave, sample_code::kS16), 0u);
  EXPECT_EQ(testing::StatOf(dir + "/fast.wav").st_ino, work_inode);
  EXPECT_NE(::access(work.c_str(), F_OK), 0);
  EXPECT_FALSE(OwnsFile(doc->segments.first()->source.get()));
  EXPECT_EQ(Probed(dir + "/fast.wav"), Shape(PcmFileKind::Wave, 48000, 20000));
  EXPECT_TRUE(Contains(ReadWholeFile(dir + "/fast.wav"), "fast"));
  EXPECT_EQ(testing::DocumentSamples(*doc), samples);
  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"a.wav", "fast.wav"}));
}

// For every I/O operation of a save in turn, a failure there leaves the
// target byte for byte as it was, no file behind, the document as it was and
// the error reported; both for a new target and for the document's own file.
TEST(SaveDocument, FaultAtEveryStepLeavesTheTargetUntouched) {
  const std::string dir = MakeTempDir("save_faults");
  const std::vector<std::uint8_t> a_bytes = testing::Pcm16Wave(2, 44100, 70000, 16, true);
  const std::vector<std::uint8_t> b_bytes = testing::Pcm16Wave(1, 22050, 1000, 17, true);
  WriteWholeFile(dir + "/a.wav", a_bytes);
  WriteWholeFile(dir + "/b.wav", b_bytes);
  const std::set<std::string> names = FolderEntries(dir);
  for (const char* target_name : {"b.wav", "a.wav"}) {
    SCOPED_TRACE(target_name);
    const std::string target = dir + "/" + target_name;
    const std::vector<std::uint8_t> old = ReadWholeFile(target);
    std::uint64_t failures = 0;
    for (std::uint64_t n = 1;; ++n) {
      SCOPED_TRACE(n);
      DocumentPtr doc = testing::OpenDocument(dir + "/a.wav");
      ASSERT_TRUE(doc);
      const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
      AddMarker(*doc, "m", 100);
      SetTagText(doc->metadata, InfoText::Name, "faulty");
      doc->metadata_changed = true;
      Error rc;
      bool fired = false;
      {
        const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kAllOps, n, EIO));
        rc = SaveAs(*doc, target, PcmFileKind::Wave, sample_code::kS16);
        fired = fault.fired();
      }
      if (!fired) {
        ASSERT_EQ(rc, 0u);
        EXPECT_EQ(FolderEntries(dir), names);
        EXPECT_TRUE(Contains(ReadWholeFile(target), "faulty"));
        EXPECT_TRUE(Contains(ReadWholeFile(target), "kept!"));
        break;
      }
      if (rc != 0) {
        ++failures;
        EXPECT_EQ(ReadWholeFile(target), old);
        EXPECT_EQ(FolderEntries(dir), names);
        EXPECT_EQ(*doc->path, dir + "/a.wav");
        EXPECT_EQ(doc->marker_change_counter, 1u);
        EXPECT_TRUE(doc->metadata_changed);
        EXPECT_EQ(testing::DocumentSamples(*doc), samples);
      } else {
        // A failure the save could go around: the new file is whole.
        EXPECT_EQ(Probed(target), Shape(PcmFileKind::Wave, 44100, 70000));
      }
      doc.reset();
      WriteWholeFile(target, old);
      ASSERT_LT(n, 2000u);
    }
    EXPECT_GT(failures, 20u);
  }
  // Every working file and link went with the documents.
  std::string work;
  ASSERT_EQ(WorkFolder(&work), 0u);
  EXPECT_TRUE(FolderEntries(work).empty()) << *FolderEntries(work).begin();
}

// Where the file system cannot make unnamed files, the new file starts
// under a hidden name beside the target; a failure at any step removes it.
TEST(SaveDocument, HiddenNameWithoutUnnamedFiles) {
  const std::string dir = MakeTempDir("save_hidden");
  const DocumentPtr doc(testing::MakeDocument(SegmentList(), 100000, 2, 8000));
  ASSERT_TRUE(doc);
  const std::string target = dir + "/quiet.wav";
  for (std::uint64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    Error rc;
    bool fired = false;
    {
      const fault::ScopedFault no_tmpfile(fault::FaultRule::FailNth(fault::kOpen, 1, EOPNOTSUPP));
      const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kAllOps, n + 1, EIO));
      rc = SaveAs(*doc, target, PcmFileKind::Wave, sample_code::kS16);
      fired = fault.fired();
      EXPECT_TRUE(no_tmpfile.fired());
    }
    if (!fired) {
      ASSERT_EQ(rc, 0u);
      break;
    }
    if (rc != 0) {
      EXPECT_TRUE(FolderEntries(dir).empty());
      EXPECT_FALSE(doc->path);
    } else {
      ::unlink(target.c_str());
      doc->path.reset();
    }
    ASSERT_LT(n, 500u);
  }
  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"quiet.wav"}));
  EXPECT_EQ(Probed(target), Shape(PcmFileKind::Wave, 8000, 100000));
  EXPECT_EQ(testing::DocumentSamples(*doc), std::vector<std::int16_t>(200000, 0));
}

// A save killed at any moment leaves the old file or the new one, whole.
TEST(SaveDocument, KilledSaveLeavesOldOrNewFile) {
  const std::string dir = MakeTempDir("save_kill");
  const std::vector<std::uint8_t> old = testing::Pcm16Wave(2, 44100, 1000, 19);
  WriteWholeFile(dir + "/target.wav", old);
  const DocumentPtr doc = OpenNew(dir, "a.wav", testing::Pcm16Wave(2, 44100, 500000, 18));
  ASSERT_TRUE(doc);
  AddMarker(*doc, "k", 1);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(SaveAs(*doc, dir + "/reference.wav", PcmFileKind::Wave, sample_code::kS16), 0u);
  const long micros = std::max<long>(
      1000, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
  const std::vector<std::uint8_t> fresh = ReadWholeFile(dir + "/reference.wav");
  std::mt19937 random(20);
  for (int round = 0; round < 24; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(SaveAs(*doc, dir + "/target.wav", PcmFileKind::Wave, sample_code::kS16) == 0 ? 0 : 1);
    ::usleep(static_cast<useconds_t>(random() % (micros * 3 / 2)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::vector<std::uint8_t> now = ReadWholeFile(dir + "/target.wav");
    ASSERT_TRUE(now == old || now == fresh) << "round " << round << ": " << now.size() << " bytes";
    WriteWholeFile(dir + "/target.wav", old);
    for (const std::string& name : FolderEntries(dir))
      if (name.front() == '.') ::unlink((dir + "/" + name).c_str());
  }
}

// A symbolic link as target: the file it names is replaced, the link stays.
TEST(SaveDocument, SymbolicLinkTarget) {
  const std::string dir = MakeTempDir("save_link");
  WriteWholeFile(dir + "/real.wav", testing::Pcm16Wave(1, 16000, 10, 22));
  ASSERT_EQ(::symlink("real.wav", (dir + "/link.wav").c_str()), 0);
  const DocumentPtr doc = OpenNew(dir, "a.wav", testing::Pcm16Wave(1, 16000, 3000, 21));
  ASSERT_TRUE(doc);
  ASSERT_EQ(SaveAs(*doc, dir + "/link.wav", PcmFileKind::Wave, sample_code::kS16), 0u);
  struct stat st{};
  ASSERT_EQ(::lstat((dir + "/link.wav").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Probed(dir + "/real.wav"), Shape(PcmFileKind::Wave, 16000, 3000));
  EXPECT_EQ(FolderEntries(dir), (std::set<std::string>{"a.wav", "link.wav", "real.wav"}));
}

// Too many frames for the target kind are refused before anything is written.
TEST(SaveDocument, TooManyFramesForTheKind) {
  const std::string dir = MakeTempDir("save_big");
  const DocumentPtr doc(testing::MakeDocument(SegmentList(), kMaxFrames, 2));
  ASSERT_TRUE(doc);
  EXPECT_EQ(SaveAs(*doc, dir + "/big.wav", PcmFileKind::Wave, sample_code::kS16), err::kTooManyFramesForTarget);
  EXPECT_TRUE(FolderEntries(dir).empty());
}

// A target the user may not write is refused with 30; a writable file in a
// folder that is not writable is rewritten in place. Run as another user
// when the tests run as root.
TEST(SaveDocument, ReadOnlyTargetAndReadOnlyFolder) {
  const std::string dir = MakeTempDir("save_ro");
  WriteWholeFile(dir + "/a.wav", testing::Pcm16Wave(1, 8000, 2000, 23));
  const std::vector<std::uint8_t> old = testing::Pcm16Wave(1, 8000, 10, 24);
  const std::string folder = dir + "/locked";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  WriteWholeFile(folder + "/ro.wav", old);
  WriteWholeFile(dir + "/ro.wav", old);
  WriteWholeFile(folder + "/rw.wav", old);
  ASSERT_EQ(::chmod((folder + "/ro.wav").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((dir + "/ro.wav").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((folder + "/rw.wav").c_str(), 0666), 0);
  const ino_t rw_inode = testing::StatOf(folder + "/rw.wav").st_ino;
  const DocumentPtr doc = testing::OpenDocument(dir + "/a.wav");
  ASSERT_TRUE(doc);
  const auto attempt = [&]() -> int {
    int result = 0;
    if (SaveAs(*doc, folder + "/ro.wav", PcmFileKind::Wave, sample_code::kS16) != err::kReadOnly) result |= 1;
    if (SaveAs(*doc, dir + "/ro.wav", PcmFileKind::Wave, sample_code::kS16) != err::kReadOnly) result |= 2;
    if (SaveAs(*doc, folder + "/rw.wav", PcmFileKind::Wave, sample_code::kS16) != 0) result |= 4;
    return result;
  };
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(attempt(), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  } else {
    // The private folders must let the other user pass through.
    for (std::string p = folder; p.size() > testing::HermeticRoot().size(); p = p.substr(0, p.rfind('/')))
      ASSERT_EQ(::chmod(p.c_str(), 0755), 0) << p;
    ASSERT_EQ(::chmod(testing::HermeticRoot().c_str(), 0711), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(64);
      if (::access(folder.c_str(), X_OK) != 0 || ::access((dir + "/a.wav").c_str(), R_OK) != 0) _exit(65);
      _exit(attempt());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 64 || WEXITSTATUS(status) == 65) GTEST_SKIP() << "cannot act as another user here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  EXPECT_EQ(ReadWholeFile(folder + "/ro.wav"), old);
  EXPECT_EQ(ReadWholeFile(dir + "/ro.wav"), old);
  EXPECT_EQ(testing::StatOf(folder + "/rw.wav").st_ino, rw_inode);
  EXPECT_EQ(Probed(folder + "/rw.wav"), Shape(PcmFileKind::Wave, 8000, 2000));
  EXPECT_EQ(FolderEntries(folder), (std::set<std::string>{"ro.wav", "rw.wav"}));
}

// Updating the metadata alone keeps every sample byte; a changed rate is
// patched into the header.
TEST(SaveDocument, UpdateMetadataKeepsSamples) {
  const std::string dir = MakeTempDir("save_meta");
  const std::vector<std::uint8_t> bytes = testing::Pcm16Wave(2, 44100, 4000, 25, true);
  const DocumentPtr doc = OpenNew(dir, "a.wav", bytes);
  ASSERT_TRUE(doc);
  AddMarker(*doc, "meta", 50);
  SetTagText(doc->metadata, InfoText::Comments, "note");
  doc->metadata_changed = true;
  doc->rate = 32000;
  doc->format_changed = true;
  ASSERT_EQ(UpdateMetadata(*doc), 0u);
  const std::vector<std::uint8_t> now = ReadWholeFile(dir + "/a.wav");
  ASSERT_GE(now.size(), 44u + 16000u);
  EXPECT_TRUE(std::equal(bytes.begin() + 44, bytes.begin() + 44 + 16000, now.begin() + 44));
  EXPECT_TRUE(Contains(now, "meta"));
  EXPECT_TRUE(Contains(now, "note"));
  EXPECT_EQ(Probed(dir + "/a.wav"), Shape(PcmFileKind::Wave, 32000, 4000));
  EXPECT_EQ(doc->marker_change_counter, 0u);
  ++doc->modification_counter;
  EXPECT_EQ(UpdateMetadata(*doc), err::kLayoutMismatch);
}

}  // namespace
}  // namespace tidemark
