// Sound clips of codec files: created without decoding, decoded once by
// Decode or by the first member that needs samples, and failing (or being
// cancelled) at that point rather than at creation.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "codecs/flac_codec.h"
#include "config/error_messages.h"
#include "config/text_catalogue.h"
#include "core/io/work_folder.h"
#include "effects/framework/progress_scope.h"
#include "formats/open_sound_file.h"
#include "tests/automation/model_test_support.h"

namespace tidemark::NS_SCRIPT {
namespace {

using namespace testing;
namespace fs = std::filesystem;

// The FLAC row counts the files it decodes.
int g_decodes = 0;
Error CountingFlac(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  ++g_decodes;
  return ReadFlacFile(path, false, take_metadata, info, segments);
}

std::string ErrorDescription() {
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) != S_OK || !raw) return {};
  const ComRef<IErrorInfo> info = ComRef<IErrorInfo>::Adopt(raw);
  Bstr text;
  info->GetDescription(text.out());
  return text.utf8();
}

std::size_t WorkFileCount() {
  std::string folder;
  if (EnsureWorkFolder(&folder)) return 0;
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class CancelEverything final : public ProgressDisplay {
 public:
  void Show(std::string_view) override {}
  void SetPercent(std::uint32_t) override {}
  void Hide() override {}
  bool CancelRequested() override { return true; }
};

class ClipDecode : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* root = std::getenv("TIDEMARK_SOURCE_DIR");
    ASSERT_TRUE(root);
    std::ifstream in(std::string(root) + "/UIText/en.txt", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(ProcessTextCatalogue().Parse(text), 0u);
  }
  void SetUp() override {
    ASSERT_EQ(LiveObjectCount(), 0);
    dir_ = fs::temp_directory_path() / ("clip_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    CodecReaders readers;
    readers.flac = CountingFlac;
    InstallCodecReaders(readers);
    // Two seconds of stereo 44.1 kHz, as FLAC.
    wav_ = (dir_ / "source.wav").string();
    WriteWav(wav_, 44100, 2, 88200, [](std::uint32_t i, std::uint16_t c) { return ((i * (c + 3u)) % 200) / 400.0; });
    SoundDocument* raw = nullptr;
    ASSERT_EQ(OpenSoundDocument(wav_, {}, &raw), err::kOk);
    const DocumentPtr document(raw);
    flac_ = (dir_ / "source.flac").string();
    ASSERT_EQ(WriteFlacFile(*document, flac_, {}), err::kOk);
    g_decodes = 0;
    app_ = CApp::Create(host_);
    ASSERT_TRUE(app_);
  }
  void TearDown() override {
    held_.clear();
    app_ = {};
    EXPECT_EQ(LiveObjectCount(), 0) << "an automation object leaked";
    InstallCodecReaders({});
    SetProgressDisplay(nullptr);
    fs::remove_all(dir_);
  }
  IDispatch* app() { return static_cast<IApplication*>(app_.get()); }
  IDispatch* Keep(Result r) {
    EXPECT_EQ(r.hr, S_OK) << ErrorDescription();
    IDispatch* d = r.object();
    if (d) held_.push_back(ComRef<IDispatch>::Share(d));
    return d;
  }
  IDispatch* Clip(const std::string& path) { return Keep(Method(app(), "CreateSoundClip", {V(path.c_str())})); }
  static CSndClip* Own(IDispatch* d) { return dynamic_cast<CSndClip*>(static_cast<ISoundClip*>(d)); }

  TestHost host_;
  ComRef<CApp> app_;
  std::vector<ComRef<IDispatch>> held_;
  fs::path dir_;
  std::string wav_, flac_;
};

TEST_F(ClipDecode, CreationLeavesACodecFileUndecodedAndDecodeRunsOnce) {
  const std::size_t work_files = WorkFileCount();
  IDispatch* clip = Clip(flac_);
  ASSERT_TRUE(clip);
  EXPECT_EQ(g_decodes, 0);
  EXPECT_FALSE(Own(clip)->decoded());
  EXPECT_EQ(WorkFileCount(), work_files) << "creation made a working file";
  ASSERT_EQ(Method(clip, "Decode").hr, S_OK);
  EXPECT_EQ(g_decodes, 1);
  ASSERT_EQ(Method(clip, "Decode").hr, S_OK);
  EXPECT_DOUBLE_EQ(Get(clip, "Length").number(), 2.0);
  EXPECT_EQ(Get(clip, "Channels").number(), 2);
  EXPECT_EQ(g_decodes, 1);
  // A plain WAV file opens at once: its samples stay in the file.
  EXPECT_TRUE(Own(Clip(wav_))->decoded());
  EXPECT_EQ(g_decodes, 1);
}

// Every member that needs samples, labels or texts decodes a fresh clip
// exactly once; the source-object paths do too.
TEST_F(ClipDecode, FirstUseDecodes) {
  struct Use {
    const char* name;
    std::function<HRESULT(IDispatch*)> call;
  };
  const Use uses[] = {
      {"Length", [](IDispatch* c) { return Get(c, "Length").hr; }},
      {"Channels", [](IDispatch* c) { return Get(c, "Channels").hr; }},
      {"BitsPerSample", [](IDispatch* c) { return Get(c, "BitsPerSample").hr; }},
      {"SampleRate get", [](IDispatch* c) { return Get(c, "SampleRate").hr; }},
      {"SampleRate put", [](IDispatch* c) { return Put(c, "SampleRate", V(LONG{8000})).hr; }},
      {"PcmFileSample", [](IDispatch* c) { return Get(c, "PcmFileSample").hr; }},
      {"Labels", [this](IDispatch* c) { return Keep(Get(c, "Labels")) ? S_OK : E_FAIL; }},
      {"Text", [this](IDispatch* c) { return Keep(Get(c, "Text")) ? S_OK : E_FAIL; }},
      {"CreateSoundClip", [this](IDispatch* c) {
         return Keep(Method(c, "CreateSoundClip", {V(0.5), V(1.0)})) ? S_OK : E_FAIL;
       }},
      {"AddSoundClip", [this](IDispatch* c) {
         IDispatch* docs = Keep(Get(app(), "Documents"));
         return Keep(Method(docs, "AddSoundClip", {VDisp(c)})) ? S_OK : E_FAIL;
       }},
      {"Clipboard put", [this](IDispatch* c) { return Put(app(), "Clipboard", VDisp(c)).hr; }},
  };
  for (const Use& use : uses) {
    SCOPED_TRACE(use.name);
    IDispatch* clip = Clip(flac_);
    const int before = g_decodes;
    EXPECT_EQ(use.call(clip), S_OK) << ErrorDescription();
    EXPECT_EQ(g_decodes, before + 1);
    EXPECT_EQ(Get(clip, "Length").hr, S_OK);
    EXPECT_EQ(g_decodes, before + 1);
  }
  (void)SetCurrentClip(ClipRef());
}

TEST_F(ClipDecode, FailuresComeAtDecodeAsApplicationErrors) {
  const std::string bad = (dir_ / "bad.flac").string();
  std::ofstream(bad, std::ios::binary) << std::string(4096, 'x');
  SoundFileInfo info;
  SegmentList segments;
  const Error expected = ReadFlacFile(bad, false, true, &info, &segments);
  ASSERT_NE(expected, err::kOk);
  IDispatch* clip = Clip(bad);  // the content is not looked at yet
  ASSERT_TRUE(clip);
  for (const char* member : {"Decode", "Length"}) {
    SCOPED_TRACE(member);
    (void)SetErrorInfo(0, nullptr);
    EXPECT_EQ(Get(clip, member).hr, E_FAIL);
    EXPECT_EQ(ErrorDescription(), DescribeError(expected));
    EXPECT_FALSE(Own(clip)->decoded());
  }
  // A file that cannot be read at all fails at creation.
  (void)SetErrorInfo(0, nullptr);
  EXPECT_EQ(Method(app(), "CreateSoundClip", {V((dir_ / "none.flac").string().c_str())}).hr, E_FAIL);
  EXPECT_EQ(ErrorDescription(), DescribeError(err::kCannotOpen));
}

TEST_F(ClipDecode, CancelledDecodeLeavesTheClipUndecodedAndNothingBehind) {
  IDispatch* clip = Clip(flac_);
  const std::size_t work_files = WorkFileCount();
  CancelEverything cancel;
  SetProgressDisplay(&cancel);
  (void)SetErrorInfo(0, nullptr);
  EXPECT_EQ(Method(clip, "Decode").hr, E_FAIL);
  EXPECT_EQ(ErrorDescription(), DescribeError(err::kCancelled));
  EXPECT_FALSE(Own(clip)->decoded());
  EXPECT_EQ(WorkFileCount(), work_files);
  SetProgressDisplay(nullptr);
  EXPECT_EQ(Method(clip, "Decode").hr, S_OK);
  EXPECT_DOUBLE_EQ(Get(clip, "Length").number(), 2.0);
}

TEST_F(ClipDecode, DetachedUndecodedClipIsAccessDenied) {
  IDispatch* clip = Clip(flac_);
  ASSERT_EQ(Put(app(), "Project", V(dir_.string().c_str())).hr, S_OK);
  EXPECT_EQ(Method(clip, "Decode").hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(clip, "Length").hr, E_ACCESSDENIED);
  EXPECT_EQ(g_decodes, 0);
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
