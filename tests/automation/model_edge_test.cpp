// Sound clips of codec files (created without decoding, decoded once by
// Decode or by the first member that needs samples, failing or cancelled
// there rather than at creation), and the input a script gets wrong.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

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

class ModelEdge : public ModelFixture {};

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
      {"CD track", [this](IDispatch* c) {
         return Method(Keep(Get(Keep(Method(app(), "CreateCdWriter")), "Tracks")), "Add", {VDisp(c)}).hr;
       }},
      {"writer", [this](IDispatch* c) {
         const std::string out = (dir_ / "written.wav").string();
         return Method(Keep(Method(app(), "CreateFileWriter_PCM")), "Process", {VDisp(c), V(out.c_str())}).hr;
       }},
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


// Arguments a script gets wrong, for every kind of parameter, through the
// type library's dispatch; none of them changes the document.
TEST_F(ModelEdge, BadArgumentsAreRefusedByKind) {
  IDispatch* docs = Keep(Get(app(), "Documents"));
  IDispatch* doc = Keep(Method(docs, "Add", {V(LONG{8000}), V(LONG{2})}));
  IDispatch* clip = Keep(Method(doc, "CreateSoundClip"));
  IDispatch* text = Keep(Get(doc, "Text"));
  IDispatch* tracks = Keep(Get(Keep(Method(app(), "CreateCdWriter")), "Tracks"));
  IDispatch* writer = Keep(Method(app(), "CreateFileWriter_PCM"));
  const ComRef<ForeignClip> foreign = ComRef<ForeignClip>::Adopt(new ForeignClip);
  IDispatch* alien = foreign->dispatch();
  const auto two_dims = [] {
    SAFEARRAYBOUND b[2] = {{2, 0}, {2, 0}};
    return VArray(SafeArrayCreate(VT_VARIANT, 2, b));
  };
  const std::string out = (dir_ / "out.wav").string();
  struct Case {
    const char* what;
    std::function<HRESULT()> call;
    HRESULT expected;
  };
  const Case cases[] = {
      {"double from letters", [&] { return Method(doc, "AddGain", {V("loud")}).hr; }, DISP_E_TYPEMISMATCH},
      {"long from letters", [&] { return Method(docs, "Add", {V("fast"), V(LONG{1})}).hr; }, DISP_E_TYPEMISMATCH},
      {"int from letters", [&] { return Put(doc, "ChannelSelection", V("left")).hr; }, DISP_E_TYPEMISMATCH},
      {"bool from a word", [&] { return Method(doc, "Activate", {V("maybe")}).hr; }, DISP_E_TYPEMISMATCH},
      {"string from an object", [&] { return Method(doc, "SaveAs", {VDisp(clip)}).hr; }, DISP_E_TYPEMISMATCH},
      {"required string missing", [&] { return Method(docs, "Open", {VMissing()}).hr; }, DISP_E_PARAMNOTFOUND},
      {"source holding a number", [&] { return Method(doc, "Replace", {V(LONG{1})}).hr; }, E_INVALIDARG},
      {"source holding no object", [&] { return Method(doc, "Replace", {VDisp(nullptr)}).hr; }, E_INVALIDARG},
      {"array from a string", [&] { return Method(text, "SetAppPrivate", {V("a")}).hr; }, DISP_E_TYPEMISMATCH},
      {"array of two dimensions", [&] { return Method(text, "SetAppPrivate", {two_dims()}).hr; }, E_INVALIDARG},
      {"array of strings", [&] { return Method(text, "SetAppPrivate", {VArray(SafeArrayCreateVector(VT_BSTR, 0, 1))}).hr; },
       E_INVALIDARG},
      {"argument to a property get", [&] { return Get(doc, "Length", {V(LONG{1})}).hr; }, DISP_E_BADPARAMCOUNT},
      {"argument to Close", [&] { return Method(doc, "Close", {V(LONG{1})}).hr; }, DISP_E_BADPARAMCOUNT},
      {"too few for Add", [&] { return Method(docs, "Add", {V(LONG{8000})}).hr; }, DISP_E_BADPARAMCOUNT},
      {"unknown name", [&] { return Method(doc, "Normalize").hr; }, DISP_E_UNKNOWNNAME},
      {"put of a read-only property", [&] { return Put(doc, "Length", V(1.0)).hr; }, DISP_E_MEMBERNOTFOUND},
      {"foreign clip to AddSoundClip", [&] { return Method(docs, "AddSoundClip", {VDisp(alien)}).hr; }, E_UNEXPECTED},
      {"foreign clip to a track", [&] { return Method(tracks, "Add", {VDisp(alien)}).hr; }, E_UNEXPECTED},
      {"foreign clip to a writer", [&] { return Method(writer, "Process", {VDisp(alien), V(out.c_str())}).hr; },
       E_UNEXPECTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(HResultName(c.call()), HResultName(c.expected));
  }
  EXPECT_EQ(Get(doc, "Length").number(), 0.0);
  EXPECT_EQ(Get(doc, "Saved").number(), -1) << "a refused call changed the document";
  EXPECT_FALSE(fs::exists(out));
}

// Strings far longer than any field or path: kept whole where they are
// data, refused as application errors where they name files.
TEST_F(ModelEdge, HugeStrings) {
  const std::string huge(1u << 22, 'q');
  IDispatch* doc = Keep(Method(Keep(Get(app(), "Documents")), "Add", {V(LONG{8000}), V(LONG{1})}));
  IDispatch* text = Keep(Get(doc, "Text"));
  ASSERT_EQ(Call(text, "Item", DISPATCH_PROPERTYPUT, {V("Comments"), V(huge.c_str())}).hr, S_OK);
  EXPECT_EQ(Get(text, "Item", {V("comments")}).text().size(), huge.size());
  IDispatch* label = Keep(Method(Keep(Get(doc, "Labels")), "Add", {V(0.0), V(huge.c_str()), V(huge.c_str())}));
  EXPECT_EQ(Get(label, "Name").text().size(), huge.size());
  ASSERT_EQ(Put(app(), "StatusBar", V(huge.c_str())).hr, S_OK);
  for (const char* member : {"CreateSoundClip"}) {
    SCOPED_TRACE(member);
    EXPECT_EQ(Method(app(), member, {V(huge.c_str())}).hr, E_FAIL);
  }
  EXPECT_EQ(Method(doc, "SaveAs", {V(huge.c_str())}).hr, E_FAIL);
  EXPECT_EQ(Method(Keep(Get(app(), "System")), "CreateTemp", {V(dir_.string().c_str()), V(huge.c_str())}).hr, E_FAIL);
}

// Objects a script holds when their document is closed by the editor, or
// when the application goes: every member answers, none reaches the
// document that is gone.
TEST_F(ModelEdge, HeldObjectsOutliveTheirDocument) {
  const std::string path = (dir_ / "held.wav").string();
  WriteWav(path, 8000, 1, 800, [](std::uint32_t i, std::uint16_t) { return (i % 7) / 10.0; });
  IDispatch* docs = Keep(Get(app(), "Documents"));
  IDispatch* doc = Keep(Method(docs, "Open", {V(path.c_str())}));
  IDispatch* labels = Keep(Get(doc, "Labels"));
  IDispatch* label = Keep(Method(labels, "Add", {V(0.01), V("a"), V("")}));
  IDispatch* text = Keep(Get(doc, "Text"));
  IDispatch* info = Keep(Method(doc, "GetWaveformInfo"));
  IDispatch* clip = Keep(Method(doc, "CreateSoundClip"));
  host_.Close(host_.docs_[0].get());  // the user's close
  struct Case {
    IDispatch* object;
    const char* member;
    HRESULT expected;
  };
  const Case closed[] = {
      {doc, "Labels", E_ACCESSDENIED},     {labels, "Count", E_ACCESSDENIED}, {labels, "Parent", E_ACCESSDENIED},
      {label, "Remove", E_ACCESSDENIED},   {label, "Name", S_OK},             {text, "Keys", E_ACCESSDENIED},
      {info, "Parent", E_ACCESSDENIED},    {clip, "Length", S_OK},            {clip, "Parent", S_OK},
  };
  for (const Case& c : closed) {
    SCOPED_TRACE(c.member);
    EXPECT_EQ(HResultName(Get(c.object, c.member).hr), HResultName(c.expected));
  }
  EXPECT_EQ(Get(info, "Item", {V("Rms")}).hr, S_OK) << "the snapshot outlives its document";
  EXPECT_EQ(Get(docs, "Count").number(), 0);
  EXPECT_EQ(Method(doc, "Replace", {VDisp(clip)}).hr, E_ACCESSDENIED);
  // The same objects once the application is gone.
  app_ = {};
  for (IDispatch* d : {doc, labels, label, text, info, clip}) EXPECT_EQ(Get(d, "Application").hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(clip, "Length").hr, S_OK);
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
