// Sound clips of codec files (created without decoding, decoded once by
// Decode or by the first member that needs samples, failing or cancelled
// there rather than at creation), and the input a script gets wrong.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <utility>

#include "codecs/flac_codec.h"
#include "config/error_messages.h"
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

class ModelEdge : public AppTest {};

class ClipDecode : public ModelEdge {
 protected:
  void SetUp() override {
    ModelEdge::SetUp();
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
  }
  void TearDown() override {
    ModelEdge::TearDown();
    InstallCodecReaders({});
    SetProgressDisplay(nullptr);
  }
  IDispatch* Clip(const std::string& path) { return Keep(Method(app(), "CreateSoundClip", {V(path.c_str())})); }
  static CSndClip* Own(IDispatch* d) { return dynamic_cast<CSndClip*>(static_cast<ISoundClip*>(d)); }

  std::string wav_, flac_;
};

// Creation decodes nothing; Decode or the first member that needs samples
// (labels and texts come from the file too, source objects included)
// decodes once.
TEST_F(ClipDecode, DecodesOnceOnDecodeOrFirstUse) {
  const std::pair<const char*, std::function<HRESULT(IDispatch*)>> uses[] = {
      {"Decode", [](IDispatch* c) { return Method(c, "Decode").hr | Method(c, "Decode").hr; }},
      {"Length", [](IDispatch* c) { return Get(c, "Length").hr; }},
      {"SampleRate put", [](IDispatch* c) { return Put(c, "SampleRate", V(LONG{8000})).hr; }},
      {"Labels", [](IDispatch* c) { return Get(c, "Labels").hr; }},
      {"CreateSoundClip", [](IDispatch* c) { return Method(c, "CreateSoundClip", {V(0.5), V(1.0)}).hr; }},
      {"AddSoundClip", [this](IDispatch* c) {
         return Method(Keep(Get(app(), "Documents")), "AddSoundClip", {VDisp(c)}).hr;
       }},
  };
  for (const auto& [name, use] : uses) {
    SCOPED_TRACE(name);
    const std::size_t work_files = WorkFileCount();
    IDispatch* clip = Clip(flac_);
    EXPECT_EQ(g_decodes, 0);
    EXPECT_FALSE(Own(clip)->decoded());
    EXPECT_EQ(WorkFileCount(), work_files) << "creation made a working file";
    EXPECT_EQ(use(clip), S_OK) << ErrorDescription();
    EXPECT_EQ(Get(clip, "Channels").number(), 2);
    EXPECT_EQ(g_decodes, 1);
    g_decodes = 0;
  }
  // A plain WAV file opens at once: its samples stay in the file.
  EXPECT_TRUE(Own(Clip(wav_))->decoded());
  EXPECT_EQ(g_decodes, 0);
}

// A corrupt file fails at Decode with the decoder's error; a cancelled
// decode leaves nothing behind; the clip stays undecoded and can try again.
TEST_F(ClipDecode, FailuresAndCancelComeAtDecode) {
  const std::string bad = (dir_ / "bad.flac").string();
  std::ofstream(bad, std::ios::binary) << std::string(4096, 'x');
  SoundFileInfo info;
  SegmentList segments;
  const Error corrupt = ReadFlacFile(bad, false, true, &info, &segments);
  ASSERT_NE(corrupt, err::kOk);
  IDispatch* broken = Clip(bad);
  IDispatch* good = Clip(flac_);
  const std::size_t work_files = WorkFileCount();
  CancelEverything cancel;
  for (auto [clip, expected, display] : {std::tuple{broken, corrupt, (ProgressDisplay*)nullptr},
                                         std::tuple{good, err::kCancelled, (ProgressDisplay*)&cancel}}) {
    SetProgressDisplay(display);
    (void)SetErrorInfo(0, nullptr);
    EXPECT_EQ(Method(clip, "Decode").hr, E_FAIL);
    EXPECT_EQ(ErrorDescription(), DescribeError(expected));
    EXPECT_FALSE(Own(clip)->decoded());
  }
  EXPECT_EQ(WorkFileCount(), work_files);
  SetProgressDisplay(nullptr);
  EXPECT_DOUBLE_EQ(Get(good, "Length").number(), 2.0);
  // A file that cannot be read at all fails at creation.
  EXPECT_EQ(Method(app(), "CreateSoundClip", {V((dir_ / "none.flac").string().c_str())}).hr, E_FAIL);
  EXPECT_EQ(ErrorDescription(), DescribeError(err::kCannotOpen));
  // Detached by a project switch before it was decoded.
  ASSERT_EQ(Put(app(), "Project", V(dir_.string().c_str())).hr, S_OK);
  EXPECT_EQ(Get(broken, "Length").hr, E_ACCESSDENIED);
}

// What the COM layer's own tests do not reach: the model's source objects
// and arrays, and strings far longer than any field or path.
TEST_F(ModelEdge, BadInput) {
  IDispatch* doc = Keep(Method(Keep(Get(app(), "Documents")), "Add", {V(LONG{8000}), V(LONG{1})}));
  IDispatch* text = Keep(Get(doc, "Text"));
  const ComRef<ForeignClip> foreign = ComRef<ForeignClip>::Adopt(new ForeignClip);
  const std::string out = File("out.wav");
  const std::string huge(1u << 22, 'q');
  const std::pair<Result, HRESULT> cases[] = {
      {Method(Keep(Get(app(), "Documents")), "AddSoundClip", {VDisp(foreign->dispatch())}), E_UNEXPECTED},
      {Method(Keep(Get(Keep(Method(app(), "CreateCdWriter")), "Tracks")), "Add", {VDisp(foreign->dispatch())}),
       E_UNEXPECTED},
      {Method(Keep(Method(app(), "CreateFileWriter_PCM")), "Process", {VDisp(foreign->dispatch()), V(out.c_str())}),
       E_UNEXPECTED},
      {Method(text, "SetAppPrivate", {VArray(SafeArrayCreateVector(VT_BSTR, 0, 1))}), E_INVALIDARG},
      {Method(doc, "SaveAs", {VDisp(doc)}), DISP_E_TYPEMISMATCH},
      {Call(text, "Item", DISPATCH_PROPERTYPUT, {V("Comments"), V(huge.c_str())}), S_OK},
      {Method(app(), "CreateSoundClip", {V(huge.c_str())}), E_FAIL},
      {Method(doc, "SaveAs", {V(huge.c_str())}), E_FAIL},
  };
  for (const auto& [result, expected] : cases) EXPECT_EQ(HResultName(result.hr), HResultName(expected));
  EXPECT_EQ(Get(text, "Item", {V("comments")}).text(), huge);
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
