// The writers through FFmpeg (MP3 of the system codec, AAC, WMA) driven
// through IDispatch as a script calls them: format lists against their
// rules, the CodecFormat choice, the MP3 frame flags, and a hidden FFmpeg
// naming its package (files and tags: script_writers_test.py).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "codecs/codec_install.h"
#include "codecs/codec_library.h"
#include "tests/automation/model_test_support.h"

namespace tidemark::NS_SCRIPT {
namespace {

using namespace testing;
namespace fs = std::filesystem;

// The description of the error info the last failed call left.
std::string LastError() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return {};
  Bstr description;
  (void)info->GetDescription(description.out());
  info->Release();
  return description.utf8();
}

class AvWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LiveObjectCount(), 0);
    InstallCodecs();
    dir_ = fs::temp_directory_path() / ("av_writers_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    app_ = CApp::Create(host_);
  }
  void TearDown() override {
    held_.clear();
    app_ = {};
    EXPECT_EQ(LiveObjectCount(), 0) << "an automation object leaked";
    ::unsetenv("TIDEMARK_CODEC_PATH");
    detail::ResetCodecLibraries();
    fs::remove_all(dir_);
  }
  IDispatch* app() { return static_cast<IApplication*>(app_.get()); }
  std::string File(const std::string& name) { return (dir_ / name).string(); }
  IDispatch* Keep(Result r) {
    EXPECT_EQ(r.hr, S_OK);
    if (IDispatch* d = r.object()) held_.push_back(ComRef<IDispatch>::Share(d));
    return r.object();
  }
  IDispatch* Writer(const char* type) { return Keep(Method(app(), "CreateFileWriter", {V(type)})); }
  IDispatch* Info(IDispatch* writer) { return Keep(Get(Keep(Get(writer, "CodecFormat")), "Parent")); }
  IDispatch* WmaInfo(IDispatch* writer, LONG item) {
    return Keep(Get(Keep(Get(Info(writer), "Parent")), "Item", {V(item)}));
  }
  // A stereo 8000 Hz clip of 0.5 s.
  IDispatch* Clip() {
    const std::string path = File("source.wav");
    WriteWav(path, 8000, 2, 4000, [](std::uint32_t i, std::uint16_t c) { return c ? 0.25 : (i % 8 < 4 ? 0.5 : -0.5); });
    return Keep(Method(app(), "CreateSoundClip", {V(path.c_str())}));
  }
  std::vector<IDispatch*> Formats(IDispatch* info, LONG rate, LONG channels) {
    std::vector<IDispatch*> out;
    Result r = Method(info, "GetCodecFormats", {V(rate), V(channels)});
    LONG hi = -1;
    if (r.hr == S_OK) (void)SafeArrayGetUBound(r.value.parray, 1, &hi);
    for (LONG i = 0; i <= hi; ++i) {
      Variant v;
      (void)SafeArrayGetElement(r.value.parray, &i, &v);
      if (v.vt == VT_DISPATCH) held_.push_back(ComRef<IDispatch>::Share(v.pdispVal));
      out.push_back(v.vt == VT_DISPATCH ? v.pdispVal : nullptr);
    }
    return out;
  }

  TestHost host_;
  ComRef<CApp> app_;
  std::vector<ComRef<IDispatch>> held_;
  fs::path dir_;
};

TEST_F(AvWriters, CodecObjectsAndTheCodecFormatChoice) {
  const struct {
    const char *type, *member, *name;
  } rows[] = {{"MP3", "CreateFileWriter_MP3", "MPEG Audio Layer 3 (ACM)"},
              {"aac", "CreateFileWriter_AAC", "Advanced Audio Coding (AAC-LC)"},
              {"Wma", "CreateFileWriter_WMA", "Windows Media Audio 2"}};
  for (const auto& r : rows) {
    IDispatch* w = Keep(Method(app(), r.member));
    EXPECT_EQ(Get(Writer(r.type), "Parent").object(), app());
    EXPECT_EQ(Get(Keep(Get(w, "CodecFormat")), "Desc").text(), "128 kbps, 44 kHz, stereo, CBR") << r.type;
    EXPECT_EQ(Get(Info(w), "Name").text(), r.name);
  }
  IDispatch* mp3 = Writer("mp3");
  IDispatch* aac = Writer("aac");
  IDispatch* wma = Writer("wma");
  IDispatch* list = Keep(Get(Info(wma), "Parent"));
  EXPECT_EQ(Get(list, "Parent").object(), app());
  EXPECT_EQ(Get(list, "Count").number(), 2);
  EXPECT_EQ(Get(WmaInfo(wma, 0), "Name").text(), "Windows Media Audio 1");
  EXPECT_EQ(Get(list, "Item", {V(LONG{2})}).hr, E_INVALIDARG);
  // Only the writer's own codec's formats (either WMA version); anything
  // else, null included, leaves the choice.
  IDispatch* wma1_format = Formats(WmaInfo(wma, 0), 22050, 1).front();
  IDispatch* aac_format = Formats(Info(aac), 48000, 1).back();
  IDispatch* lame_format = Keep(Get(Writer("lame"), "CodecFormat"));
  VARIANT null_object;
  VariantSetDispatch(&null_object, nullptr);
  const struct {
    IDispatch *writer, *format;
    bool taken;
  } puts[] = {{wma, wma1_format, true}, {aac, aac_format, true},  {mp3, lame_format, false},
              {mp3, aac_format, false}, {aac, wma1_format, false}, {wma, mp3, false}};
  for (const auto& p : puts) {
    IDispatch* before = Keep(Get(p.writer, "CodecFormat"));
    EXPECT_EQ(Put(p.writer, "CodecFormat", VDisp(p.format)).hr, p.taken ? S_OK : E_INVALIDARG);
    EXPECT_EQ(Put(p.writer, "CodecFormat", null_object).hr, E_INVALIDARG);
    EXPECT_EQ(Keep(Get(p.writer, "CodecFormat")), p.taken ? p.format : before);
  }
}

// Each list against its rule: count, first and last description.
TEST_F(AvWriters, FormatLists) {
  const struct {
    const char* writer;
    bool vbr, two_pass;
    LONG rate, channels;
    std::size_t count;
    const char *first, *last;
  } rows[] = {
      {"mp3", false, false, 44100, 2, 10, "320 kbps, 44 kHz, stereo, CBR", " 64 kbps, 44 kHz, stereo, CBR"},
      {"mp3", false, false, 48000, 1, 10, "160 kbps, 48 kHz, mono, CBR", " 32 kbps, 48 kHz, mono, CBR"},
      {"mp3", false, false, 22050, 1, 6, " 80 kbps, 22 kHz, mono, CBR", " 32 kbps, 22 kHz, mono, CBR"},
      {"mp3", false, false, 11025, 2, 0, "", ""},
      {"mp3", true, false, 44100, 2, 0, "", ""},
      {"aac", false, false, 44100, 2, 4, "192 kbps, 44 kHz, stereo, CBR", " 96 kbps, 44 kHz, stereo, CBR"},
      {"aac", true, false, 48000, 1, 4, "192 kbps, 48 kHz, mono, VBR", " 96 kbps, 48 kHz, mono, VBR"},
      {"aac", false, false, 32000, 2, 0, "", ""},
      {"aac", false, true, 44100, 2, 0, "", ""},
      {"wma", false, false, 44100, 2, 11, "320 kbps, 44 kHz, stereo, CBR", " 32 kbps, 44 kHz, stereo, CBR"},
      {"wma", false, false, 48000, 1, 9, "160 kbps, 48 kHz, mono, CBR", " 24 kbps, 48 kHz, mono, CBR"},
      {"wma", false, false, 8000, 1, 8, "128 kbps,  8 kHz, mono, CBR", " 24 kbps,  8 kHz, mono, CBR"},
      {"wma", true, false, 44100, 2, 0, "", ""},
  };
  for (const auto& r : rows) {
    IDispatch* info = Info(Writer(r.writer));
    ASSERT_EQ(Put(info, "IsVBR", VBool(r.vbr)).hr, S_OK);
    ASSERT_EQ(Put(info, "IsTwoPass", VBool(r.two_pass)).hr, S_OK);
    const std::vector<IDispatch*> got = Formats(info, r.rate, r.channels);
    ASSERT_EQ(got.size(), r.count) << r.writer << " " << r.rate << " Hz, " << r.channels << " vbr " << r.vbr;
    if (r.count) {
      EXPECT_EQ(Get(got.front(), "Desc").text(), r.first);
      EXPECT_EQ(Get(got.back(), "Desc").text(), r.last);
      EXPECT_EQ(Get(got.back(), "IsVBR").number() != 0, r.vbr);
      EXPECT_EQ(Get(got.back(), "Parent").object(), info);
    }
    for (const auto& bad : {std::pair<LONG, LONG>{44100, 3}, {44100, 0}, {3999, 1}, {384001, 2}})
      EXPECT_EQ(Method(info, "GetCodecFormats", {V(bad.first), V(bad.second)}).hr, E_INVALIDARG) << r.writer;
  }
}

// Every audio frame after the Info frame: private in header byte 2,
// copyright and original in byte 3; a Boolean put stores non-zero.
TEST_F(AvWriters, Mp3FrameHeadersCarryTheFlags) {
  IDispatch* clip = Clip();
  IDispatch* mp3 = Writer("mp3");
  EXPECT_NE(Get(mp3, "Original").number(), 0);
  ASSERT_EQ(Put(mp3, "CodecFormat", VDisp(Formats(Info(mp3), 22050, 1)[3])).hr, S_OK);  // 48 kbit/s
  for (const bool on : {true, false}) {
    ASSERT_EQ(Put(mp3, "Copyright", V(LONG{on ? 7 : 0})).hr, S_OK);
    ASSERT_EQ(Put(mp3, "Private", VBool(on)).hr, S_OK);
    ASSERT_EQ(Put(mp3, "Original", VBool(!on)).hr, S_OK);
    const std::string path = File("flags.mp3");
    ASSERT_EQ(Method(mp3, "Process", {VDisp(clip), V(path.c_str())}).hr, S_OK);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t at = bytes.find("\xFF\xF3", bytes.find("Info"));  // MPEG-2 Layer III without CRC
    int frames = 0;
    for (; at + 4 <= bytes.size() && bytes.compare(at, 2, "\xFF\xF3") == 0; ++frames) {
      const auto b2 = static_cast<unsigned char>(bytes[at + 2]);
      const auto b3 = static_cast<unsigned char>(bytes[at + 3]);
      EXPECT_EQ((b2 & 1) != 0, on) << "frame " << frames;
      EXPECT_EQ((b3 & 12), on ? 8 : 4) << "frame " << frames;
      at += 156 + ((b2 >> 1) & 1);  // 72000 * 48 / 22050 bytes, and the padding byte
    }
    EXPECT_GT(frames, 20) << "0.5 s at 22050 Hz is 21 frames and the encoder's delay";
    EXPECT_GE(at, bytes.size() - 128) << "the walk stopped inside the file";
  }
}

// Bad arguments, a folder that does not exist, and FFmpeg hidden (the
// application error naming the package): each an error and no file.
TEST_F(AvWriters, ProcessFailures) {
  IDispatch* clip = Clip();
  const fs::path hidden = dir_ / "hidden";
  fs::create_directories(hidden);
  for (const char* type : {"mp3", "aac", "wma"}) {
    IDispatch* w = Writer(type);
    EXPECT_EQ(Method(w, "Process", {VDisp(clip), V("")}).hr, E_INVALIDARG) << type;
    EXPECT_EQ(Method(w, "Process", {VDisp(w), V(File("x").c_str())}).hr, E_INVALIDARG) << type;
    const std::string missing = File("no/such/folder/out.bin");
    EXPECT_EQ(Method(w, "Process", {VDisp(clip), V(missing.c_str())}).hr, E_FAIL) << type;
    EXPECT_FALSE(fs::exists(missing));
    ::setenv("TIDEMARK_CODEC_PATH", hidden.c_str(), 1);
    detail::ResetCodecLibraries();
    EXPECT_EQ(Method(w, "Process", {VDisp(clip), V(File("out").c_str())}).hr, E_FAIL) << type;
    EXPECT_NE(LastError().find("install the Debian package libavcodec59"), std::string::npos) << type;
    EXPECT_FALSE(fs::exists(File("out")));
    ::unsetenv("TIDEMARK_CODEC_PATH");
    detail::ResetCodecLibraries();
  }
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
