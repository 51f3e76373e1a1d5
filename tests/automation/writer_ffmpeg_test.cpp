// The writers through FFmpeg (MP3 of the system codec, AAC, WMA) driven
// through IDispatch as a script calls them: their format lists against the
// rules, the CodecFormat choice, the MP3 flags, files read back by ffprobe,
// and a hidden FFmpeg naming its package.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "codecs/codec_install.h"
#include "codecs/codec_library.h"
#include "tests/automation/model_test_support.h"
#include "tests/support/peer_tools.h"

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

std::string Capture(const std::string& command) {
  std::string out;
  if (std::FILE* p = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  return out;
}

class AvWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LiveObjectCount(), 0);
    InstallCodecs();
    dir_ = fs::temp_directory_path() / ("av_writers_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    app_ = CApp::Create(host_);
    ASSERT_TRUE(app_);
  }
  void TearDown() override {
    held_.clear();
    app_ = {};
    EXPECT_EQ(LiveObjectCount(), 0) << "an automation object leaked";
    host_.docs_.clear();
    ::unsetenv("TIDEMARK_CODEC_PATH");
    detail::ResetCodecLibraries();
    fs::remove_all(dir_);
  }
  IDispatch* app() { return static_cast<IApplication*>(app_.get()); }
  std::string File(const std::string& name) { return (dir_ / name).string(); }
  IDispatch* Keep(Result r) {
    EXPECT_EQ(r.hr, S_OK);
    IDispatch* d = r.object();
    if (d) held_.push_back(ComRef<IDispatch>::Share(d));
    return d;
  }
  IDispatch* Writer(const char* type) { return Keep(Method(app(), "CreateFileWriter", {V(type)})); }
  IDispatch* Info(IDispatch* writer) { return Keep(Get(Keep(Get(writer, "CodecFormat")), "Parent")); }
  // A stereo 16-bit 8000 Hz clip of 0.5 s with a title.
  IDispatch* Clip() {
    const std::string path = File("source.wav");
    WriteWav(path, 8000, 2, 4000, [](std::uint32_t i, std::uint16_t c) { return c ? 0.25 : (i % 8 < 4 ? 0.5 : -0.5); });
    IDispatch* clip = Keep(Method(app(), "CreateSoundClip", {V(path.c_str())}));
    EXPECT_EQ(Call(Keep(Get(clip, "Text")), "Item", DISPATCH_PROPERTYPUT, {V("Name"), V("Writer Test")}).hr, S_OK);
    return clip;
  }
  // The formats a codec lists, each kept alive.
  std::vector<IDispatch*> Formats(IDispatch* info, LONG rate, LONG channels) {
    std::vector<IDispatch*> out;
    Collect(info, rate, channels, &out);
    return out;
  }
  void Collect(IDispatch* info, LONG rate, LONG channels, std::vector<IDispatch*>* list) {
    std::vector<IDispatch*>& out = *list;
    Result r = Method(info, "GetCodecFormats", {V(rate), V(channels)});
    EXPECT_EQ(r.hr, S_OK) << rate;
    ASSERT_EQ(r.value.vt, VT_ARRAY | VT_VARIANT);
    LONG hi = -1;
    (void)SafeArrayGetUBound(r.value.parray, 1, &hi);
    for (LONG i = 0; i <= hi; ++i) {
      Variant v;
      (void)SafeArrayGetElement(r.value.parray, &i, &v);
      ASSERT_EQ(v.vt, VT_DISPATCH);
      held_.push_back(ComRef<IDispatch>::Share(v.pdispVal));
      out.push_back(v.pdispVal);
    }
  }

  TestHost host_;
  ComRef<CApp> app_;
  std::vector<ComRef<IDispatch>> held_;
  fs::path dir_;
};

TEST_F(AvWriters, MadeByNameAndMemberWithTheirDefaults) {
  const struct {
    const char* type;
    const char* member;
    const char* name;
  } rows[] = {{"MP3", "CreateFileWriter_MP3", "MPEG Audio Layer 3 (ACM)"},
              {"aac", "CreateFileWriter_AAC", "Advanced Audio Coding (AAC-LC)"},
              {"Wma", "CreateFileWriter_WMA", "Windows Media Audio 2"}};
  for (const auto& r : rows) {
    IDispatch* by_name = Writer(r.type);
    IDispatch* by_member = Keep(Method(app(), r.member));
    ASSERT_TRUE(by_name && by_member) << r.type;
    EXPECT_EQ(Get(by_member, "Parent").object(), app());
    IDispatch* format = Keep(Get(by_name, "CodecFormat"));
    EXPECT_EQ(Get(format, "Desc").text(), "128 kbps, 44 kHz, stereo, CBR") << r.type;
    EXPECT_EQ(Get(Info(by_name), "Name").text(), r.name);
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
      {"mp3", false, false, 32000, 2, 10, "320 kbps, 32 kHz, stereo, CBR", " 64 kbps, 32 kHz, stereo, CBR"},
      {"mp3", false, false, 44100, 2, 10, "320 kbps, 44 kHz, stereo, CBR", " 64 kbps, 44 kHz, stereo, CBR"},
      {"mp3", false, false, 48000, 1, 10, "160 kbps, 48 kHz, mono, CBR", " 32 kbps, 48 kHz, mono, CBR"},
      {"mp3", false, false, 16000, 2, 11, "160 kbps, 16 kHz, stereo, CBR", " 32 kbps, 16 kHz, stereo, CBR"},
      {"mp3", false, false, 22050, 1, 6, " 80 kbps, 22 kHz, mono, CBR", " 32 kbps, 22 kHz, mono, CBR"},
      {"mp3", false, false, 24000, 2, 11, "160 kbps, 24 kHz, stereo, CBR", " 32 kbps, 24 kHz, stereo, CBR"},
      {"mp3", false, false, 11025, 2, 0, "", ""},
      {"mp3", true, false, 44100, 2, 0, "", ""},
      {"aac", false, false, 44100, 2, 4, "192 kbps, 44 kHz, stereo, CBR", " 96 kbps, 44 kHz, stereo, CBR"},
      {"aac", true, false, 48000, 1, 4, "192 kbps, 48 kHz, mono, VBR", " 96 kbps, 48 kHz, mono, VBR"},
      {"aac", false, false, 32000, 2, 0, "", ""},
      {"aac", false, true, 44100, 2, 0, "", ""},
      {"wma", false, false, 44100, 2, 11, "320 kbps, 44 kHz, stereo, CBR", " 32 kbps, 44 kHz, stereo, CBR"},
      {"wma", false, false, 48000, 1, 9, "160 kbps, 48 kHz, mono, CBR", " 24 kbps, 48 kHz, mono, CBR"},
      {"wma", false, false, 8000, 1, 8, "128 kbps,  8 kHz, mono, CBR", " 24 kbps,  8 kHz, mono, CBR"},
      {"wma", false, false, 8000, 2, 10, "256 kbps,  8 kHz, stereo, CBR", " 32 kbps,  8 kHz, stereo, CBR"},
      {"wma", false, false, 96000, 2, 0, "", ""},
      {"wma", true, false, 44100, 2, 0, "", ""},
  };
  for (const auto& r : rows) {
    IDispatch* info = Info(Writer(r.writer));
    ASSERT_EQ(Put(info, "IsVBR", VBool(r.vbr)).hr, S_OK);
    ASSERT_EQ(Put(info, "IsTwoPass", VBool(r.two_pass)).hr, S_OK);
    const std::vector<IDispatch*> got = Formats(info, r.rate, r.channels);
    ASSERT_EQ(got.size(), r.count) << r.writer << " " << r.rate << " Hz, " << r.channels << " vbr " << r.vbr;
    if (!r.count) continue;
    EXPECT_EQ(Get(got.front(), "Desc").text(), r.first);
    EXPECT_EQ(Get(got.back(), "Desc").text(), r.last);
    for (IDispatch* f : got) {
      EXPECT_EQ(Get(f, "SampleRate").number(), r.rate);
      EXPECT_EQ(Get(f, "Channels").number(), r.channels);
      EXPECT_EQ(Get(f, "IsVBR").number() != 0, r.vbr);
      EXPECT_EQ(Get(f, "Parent").object(), info);
    }
    for (const auto& bad : {std::pair<LONG, LONG>{44100, 3}, {44100, 0}, {3999, 1}, {384001, 2}})
      EXPECT_EQ(Method(info, "GetCodecFormats", {V(bad.first), V(bad.second)}).hr, E_INVALIDARG) << r.writer;
  }
}

TEST_F(AvWriters, WmaCodecList) {
  IDispatch* v2 = Info(Writer("wma"));
  IDispatch* list = Keep(Get(v2, "Parent"));
  ASSERT_TRUE(list);
  EXPECT_EQ(Get(list, "Parent").object(), app());
  EXPECT_EQ(Get(list, "Count").number(), 2);
  EXPECT_EQ(Get(Keep(Get(list, "Item", {V(LONG{0})})), "Name").text(), "Windows Media Audio 1");
  EXPECT_EQ(Get(Keep(Get(list, "Item", {V(LONG{1})})), "Name").text(), "Windows Media Audio 2");
  EXPECT_EQ(Get(list, "Item", {V(LONG{2})}).hr, E_INVALIDARG);
  EXPECT_EQ(Get(list, "Item", {V(LONG{-1})}).hr, E_INVALIDARG);
}

// CodecFormat takes only its own codec's formats (either WMA version for
// WMA); anything else leaves the choice.
TEST_F(AvWriters, CodecFormatTakesOnlyItsOwnCodec) {
  IDispatch* mp3 = Writer("mp3");
  IDispatch* aac = Writer("aac");
  IDispatch* wma = Writer("wma");
  IDispatch* lame = Writer("lame");
  IDispatch* wma1 = Keep(Get(Keep(Get(Info(wma), "Parent")), "Item", {V(LONG{0})}));
  IDispatch* wma1_format = Formats(wma1, 22050, 1).front();
  IDispatch* aac_format = Formats(Info(aac), 48000, 1).back();
  IDispatch* lame_format = Keep(Get(lame, "CodecFormat"));
  VARIANT null_object;
  VariantSetDispatch(&null_object, nullptr);
  const struct {
    IDispatch* writer;
    IDispatch* format;
    bool taken;
  } rows[] = {
      {wma, wma1_format, true}, {aac, aac_format, true}, {mp3, lame_format, false},
      {mp3, aac_format, false}, {aac, wma1_format, false}, {wma, mp3, false},
      {lame, aac_format, false},
  };
  for (const auto& r : rows) {
    IDispatch* before = Keep(Get(r.writer, "CodecFormat"));
    EXPECT_EQ(Put(r.writer, "CodecFormat", VDisp(r.format)).hr, r.taken ? S_OK : E_INVALIDARG);
    EXPECT_EQ(Keep(Get(r.writer, "CodecFormat")), r.taken ? r.format : before);
    EXPECT_EQ(Put(r.writer, "CodecFormat", null_object).hr, E_INVALIDARG);
  }
}

TEST_F(AvWriters, Mp3Flags) {
  IDispatch* mp3 = Writer("mp3");
  const struct {
    const char* flag;
    bool initial;
  } rows[] = {{"Copyright", false}, {"Original", true}, {"Private", false}, {"Unicode", true}};
  for (const auto& r : rows) {
    EXPECT_EQ(Get(mp3, r.flag).number() != 0, r.initial) << r.flag;
    EXPECT_EQ(Put(mp3, r.flag, V(LONG{7})).hr, S_OK);
    EXPECT_NE(Get(mp3, r.flag).number(), 0) << r.flag;
    EXPECT_EQ(Put(mp3, r.flag, VBool(false)).hr, S_OK);
    EXPECT_EQ(Get(mp3, r.flag).number(), 0) << r.flag;
    EXPECT_NE(Put(mp3, r.flag, V("yes please")).hr, S_OK) << r.flag;
  }
}

TEST_F(AvWriters, ProcessArguments) {
  IDispatch* clip = Clip();
  for (const char* type : {"mp3", "aac", "wma"}) {
    IDispatch* w = Writer(type);
    EXPECT_EQ(Method(w, "Process", {VDisp(clip), V("")}).hr, E_INVALIDARG) << type;
    EXPECT_EQ(Method(w, "Process", {VDisp(w), V(File("x").c_str())}).hr, E_INVALIDARG) << type;
    const std::string missing = File("no/such/folder/out.bin");
    EXPECT_EQ(Method(w, "Process", {VDisp(clip), V(missing.c_str())}).hr, E_FAIL) << type;
    EXPECT_FALSE(fs::exists(missing));
  }
}

// Each writer's file at a chosen format, read back by ffprobe.
TEST_F(AvWriters, FilesHaveTheChosenFormat) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  IDispatch* clip = Clip();
  const struct {
    const char* writer;
    LONG item;  // the WMA codec list's entry, -1 for the others
    LONG rate, channels, index;
    const char* file;
    const char* expected;
  } rows[] = {
      {"mp3", -1, 22050, 1, 3, "out.mp3",
       "codec_name=mp3\nsample_rate=22050\nchannels=1\nbit_rate=48000\nTAG:title=Writer Test\n"},
      {"aac", -1, 48000, 1, 3, "out.m4a", "codec_name=aac\nsample_rate=48000\nchannels=1\nTAG:title=Writer Test\n"},
      {"wma", 0, 32000, 2, 7, "v1.wma",
       "codec_name=wmav1\nsample_rate=32000\nchannels=2\nbit_rate=64000\nTAG:title=Writer Test\n"},
      {"wma", 1, 44100, 1, 2, "v2.wma",
       "codec_name=wmav2\nsample_rate=44100\nchannels=1\nbit_rate=96000\nTAG:title=Writer Test\n"},
  };
  for (const auto& r : rows) {
    IDispatch* w = Writer(r.writer);
    IDispatch* info = Info(w);
    if (r.item >= 0) info = Keep(Get(Keep(Get(info, "Parent")), "Item", {V(r.item)}));
    const std::vector<IDispatch*> formats = Formats(info, r.rate, r.channels);
    ASSERT_GT(formats.size(), static_cast<std::size_t>(r.index));
    ASSERT_EQ(Put(w, "CodecFormat", VDisp(formats[static_cast<std::size_t>(r.index)])).hr, S_OK);
    const std::string path = File(r.file);
    ASSERT_EQ(Method(w, "Process", {VDisp(clip), V(path.c_str())}).hr, S_OK) << r.file;
    const std::string bitrate = std::string(r.writer) == "aac" ? "" : ",bit_rate";
    EXPECT_EQ(Capture("/usr/bin/ffprobe -v error -show_entries stream=codec_name,sample_rate,channels" + bitrate +
                      ":format_tags=title -of default=nw=1 '" + path + "'"),
              r.expected)
        << r.file;
  }
}

// The header bits of every audio frame after the Info frame: private in
// byte 2, copyright and original in byte 3.
TEST_F(AvWriters, Mp3FrameHeadersCarryTheFlags) {
  IDispatch* clip = Clip();
  IDispatch* mp3 = Writer("mp3");
  ASSERT_EQ(Put(mp3, "CodecFormat", VDisp(Formats(Info(mp3), 22050, 1)[3])).hr, S_OK);  // 48 kbit/s
  for (const bool on : {true, false}) {
    ASSERT_EQ(Put(mp3, "Copyright", VBool(on)).hr, S_OK);
    ASSERT_EQ(Put(mp3, "Private", VBool(on)).hr, S_OK);
    ASSERT_EQ(Put(mp3, "Original", VBool(!on)).hr, S_OK);
    const std::string path = File("flags.mp3");
    ASSERT_EQ(Method(mp3, "Process", {VDisp(clip), V(path.c_str())}).hr, S_OK);
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t at = bytes.find("Info");
    ASSERT_NE(at, std::string::npos);
    at = bytes.find("\xFF\xF3", at);  // MPEG-2 Layer III without CRC
    int frames = 0;
    while (at + 4 <= bytes.size() && bytes.compare(at, 2, "\xFF\xF3") == 0) {
      const auto b2 = static_cast<unsigned char>(bytes[at + 2]);
      const auto b3 = static_cast<unsigned char>(bytes[at + 3]);
      EXPECT_EQ((b2 & 1) != 0, on) << "frame " << frames;
      EXPECT_EQ((b3 & 8) != 0, on) << "frame " << frames;
      EXPECT_EQ((b3 & 4) != 0, !on) << "frame " << frames;
      at += 156 + ((b2 >> 1) & 1);  // 72000 * 48 / 22050 bytes, and the padding byte
      ++frames;
    }
    EXPECT_GT(frames, 20) << "0.5 s at 22050 Hz is 21 frames and the encoder's delay";
    EXPECT_GE(at, bytes.size() - 128) << "the walk stopped inside the file";
  }
}

// FFmpeg hidden: Process fails with the application error naming the
// package, and leaves no file.
TEST_F(AvWriters, MissingFfmpegNamesThePackage) {
  IDispatch* clip = Clip();
  const fs::path folder = dir_ / "hidden";
  fs::create_directories(folder);
  ::setenv("TIDEMARK_CODEC_PATH", folder.c_str(), 1);
  detail::ResetCodecLibraries();
  for (const char* type : {"mp3", "aac", "wma"}) {
    IDispatch* w = Writer(type);
    const std::string path = File(std::string("hidden.") + type);
    EXPECT_EQ(Method(w, "Process", {VDisp(clip), V(path.c_str())}).hr, E_FAIL) << type;
    EXPECT_NE(LastError().find("libavcodec59"), std::string::npos) << type;
    EXPECT_FALSE(fs::exists(path));
  }
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
