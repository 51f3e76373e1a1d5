// The file writers through IDispatch as a script calls them: every
// property's accepted values and refusals, Process's argument checks, and
// files written from a clip read back by ffprobe with the settings applied.
// Every test ends with no automation object alive.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "codecs/codec_install.h"
#include "tests/automation/model_test_support.h"
#include "tests/support/peer_tools.h"

namespace tidemark::NS_SCRIPT {
namespace {

using namespace testing;

std::string Capture(const std::string& command) {
  std::string out;
  if (std::FILE* p = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  return out;
}

class Writers : public AppTest {
 protected:
  void SetUp() override {
    InstallCodecs();
    AppTest::SetUp();
  }
  // A stereo 16-bit 4000 Hz clip of 0.5 s with a title.
  IDispatch* Clip() {
    const std::string path = File("source.wav");
    WriteWav(path, 4000, 2, 2000, [](std::uint32_t i, std::uint16_t c) { return c ? 0.25 : (i % 8 < 4 ? 0.5 : -0.5); });
    IDispatch* clip = Keep(Method(app(), "CreateSoundClip", {V(path.c_str())}));
    IDispatch* text = Keep(Get(clip, "Text"));
    EXPECT_EQ(Call(text, "Item", DISPATCH_PROPERTYPUT, {V("Name"), V("Writer Test")}).hr, S_OK);
    return clip;
  }
  std::string Probe(const std::string& path) {
    return Capture("/usr/bin/ffprobe -v error -show_entries stream=sample_rate,channels,bits_per_raw_sample,"
                   "bits_per_sample,codec_name:format_tags=title,TITLE -of default=nw=1 '" + path + "'");
  }
};

TEST_F(Writers, CreateByNameAndByMember) {
  struct Row {
    const char* name;
    HRESULT hr;
  } rows[] = {{"pcm", S_OK},       {"FLAC", S_OK},       {"Pcm", S_OK},    {"Lame", S_OK},
              {"Opus", S_OK}, {"1BIT", S_OK}, {"wav", E_INVALIDARG}, {"", E_INVALIDARG}};
  for (const Row& r : rows) {
    Result made = Method(app(), "CreateFileWriter", {V(r.name)});
    EXPECT_EQ(made.hr, r.hr) << r.name;
    EXPECT_EQ(made.object() != nullptr, r.hr == S_OK) << r.name;
  }
  IDispatch* flac = Keep(Method(app(), "CreateFileWriter_FLAC"));
  IDispatch* pcm = Keep(Method(app(), "CreateFileWriter_PCM"));
  ASSERT_TRUE(flac && pcm);
  EXPECT_TRUE(QueryAs<IFileWriter_FLAC>(flac));
  EXPECT_TRUE(QueryAs<IFileWriter_PCM>(pcm));
  EXPECT_EQ(Get(flac, "Parent").object(), app());
}

// Every put: accepted values read back, refused ones leave the old value.
TEST_F(Writers, PropertyRanges) {
  struct Row {
    const char* writer;
    const char* property;
    LONG value;
    bool accepted;
  } rows[] = {
      {"flac", "BitsPerSample", 0, true},    {"flac", "BitsPerSample", 8, true},
      {"flac", "BitsPerSample", 16, true},   {"flac", "BitsPerSample", 24, true},
      {"flac", "BitsPerSample", 12, false},  {"flac", "BitsPerSample", 32, false},
      {"flac", "BitsPerSample", -8, false},  {"flac", "CompressLevel", 0, true},
      {"flac", "CompressLevel", 8, true},    {"flac", "CompressLevel", 9, false},
      {"flac", "CompressLevel", -1, false},  {"flac", "Channels", 0, true},
      {"flac", "Channels", 2, true},         {"flac", "Channels", 3, false},
      {"flac", "SampleRate", 4000, true},    {"flac", "SampleRate", 384000, true},
      {"flac", "SampleRate", 3999, false},   {"flac", "SampleRate", 384001, false},
      {"pcm", "Channels", 1, true},          {"pcm", "Channels", -1, false},
      {"pcm", "SampleRate", 0, true},        {"pcm", "SampleRate", 96000, true},
      {"pcm", "SampleRate", 1000, false},
      {"lame", "Quality", -1, true},         {"lame", "Quality", 9, true},
      {"lame", "Quality", 10, false},        {"lame", "Quality", -2, false},
      {"lame", "ChannelMode", 2, true},      {"lame", "ChannelMode", 3, false},
      {"lame", "MaxBitrate", 320000, true},  {"lame", "MaxBitrate", -1, false},
      {"oggvorbis", "MinBitrate", 64000, true}, {"oggvorbis", "MaxBitrate", -1, false},
      {"1bit", "SampleRate", 2822400, true}, {"1bit", "SampleRate", 12288000, true},
      {"1bit", "SampleRate", 44100, false},  {"1bit", "SampleRate", 0, false},
      {"1bit", "Channels", 1, true},         {"1bit", "Channels", 0, false},
      {"opus", "SignalType", 2, true},       {"opus", "SignalType", 3, false},
      {"opus", "SampleRate", 44100, true},   {"opus", "SampleRate", 100, false},
      {"opus", "Channels", 1, true},         {"opus", "Channels", 5, false},
  };
  for (const Row& r : rows) {
    IDispatch* w = Writer(r.writer);
    ASSERT_TRUE(w);
    const double before = Get(w, r.property).number();
    EXPECT_EQ(Put(w, r.property, V(r.value)).hr, r.accepted ? S_OK : E_INVALIDARG) << r.writer << "." << r.property
                                                                                    << "=" << r.value;
    EXPECT_EQ(Get(w, r.property).number(), r.accepted ? r.value : before) << r.writer << "." << r.property;
  }
  IDispatch* flac = Writer("flac");
  EXPECT_EQ(Get(flac, "CompressLevel").number(), 5);
  // A value of the wrong type is refused before the member runs.
  EXPECT_NE(Put(flac, "CompressLevel", V("many")).hr, S_OK);
  EXPECT_EQ(Get(flac, "CompressLevel").number(), 5);
  for (const char* flag : {"Verify", "ReplayGain"}) {
    EXPECT_EQ(Put(flac, flag, V(LONG{7})).hr, S_OK);
    EXPECT_NE(Get(flac, flag).number(), 0) << flag;
    EXPECT_EQ(Put(flac, flag, VBool(false)).hr, S_OK);
    EXPECT_EQ(Get(flac, flag).number(), 0) << flag;
  }
  IDispatch* pcm = Writer("pcm");
  EXPECT_EQ(Put(pcm, "PcmFileSample", V("Wave 24")).hr, S_OK);
  EXPECT_EQ(Put(pcm, "PcmFileSample", V("Raw16")).hr, E_INVALIDARG);
  EXPECT_EQ(Get(pcm, "PcmFileSample").text(), "Wave 24");
  EXPECT_EQ(Put(pcm, "PcmFileSample", V("")).hr, S_OK);
  EXPECT_EQ(Get(pcm, "PcmFileSample").text(), "");
}

// A writer kept past the application answers E_ACCESSDENIED.
TEST_F(Writers, DetachedWriter) {
  IDispatch* clip = Clip();
  IDispatch* flac = Writer("flac");
  app_ = {};
  EXPECT_EQ(Method(flac, "Process", {VDisp(clip), V(File("late.flac").c_str())}).hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(flac, "Parent").hr, E_ACCESSDENIED);
  EXPECT_FALSE(std::filesystem::exists(File("late.flac")));
}

TEST_F(Writers, OpusBitrateClamps) {
  const struct {
    LONG put, read;
  } rows[] = {{1000, 6000}, {1000000, 512000}, {0, 0}, {64000, 64000}, {-5, 6000}};
  IDispatch* opus = Writer("opus");
  for (const auto& r : rows) {
    EXPECT_EQ(Put(opus, "Bitrate", V(r.put)).hr, S_OK);
    EXPECT_EQ(Get(opus, "Bitrate").number(), r.read) << r.put;
  }
}

// The LAME menus against their rules, for every MPEG rate and both channel
// counts: CBR from the rate group's bitrates (stereo from twice the smallest
// up, mono up to half the largest), VBR ten qualities at a snapped rate.
TEST_F(Writers, LameFormatLists) {
  IDispatch* lame = Writer("lame");
  IDispatch* format = Keep(Get(lame, "CodecFormat"));
  ASSERT_TRUE(format);
  EXPECT_EQ(Get(format, "Desc").text(), "128 kbps, 44 kHz, stereo, CBR");
  IDispatch* info = Keep(Get(format, "Parent"));
  EXPECT_EQ(Get(info, "Name").text(), "MPEG Audio Layer 3 (Lame)");
  const std::vector<LONG> high = {320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32};
  const std::vector<LONG> low = {160, 144, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8};
  auto list = [&](LONG rate, LONG channels) {
    std::vector<std::string> out;
    Result r = Method(info, "GetCodecFormats", {V(rate), V(channels)});
    EXPECT_EQ(r.hr, S_OK) << rate;
    if (r.value.vt != (VT_ARRAY | VT_VARIANT)) return out;
    LONG lo = 0, hi = -1;
    (void)SafeArrayGetLBound(r.value.parray, 1, &lo);
    (void)SafeArrayGetUBound(r.value.parray, 1, &hi);
    for (LONG i = lo; i <= hi; ++i) {
      Variant v;
      (void)SafeArrayGetElement(r.value.parray, &i, &v);
      out.push_back(v.vt == VT_DISPATCH ? Get(v.pdispVal, "Desc").text() : "?");
    }
    return out;
  };
  for (const LONG rate : {32000, 44100, 48000, 16000, 22050, 24000}) {
    const std::vector<LONG>& kbps = rate >= 32000 ? high : low;
    for (const LONG channels : {1, 2}) {
      std::vector<std::string> expected;
      for (const LONG k : kbps) {
        if (channels == 2 ? k < 2 * kbps.back() : k > kbps.front() / 2) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%3ld kbps, %2ld kHz, %s, CBR", static_cast<long>(k),
                      static_cast<long>((rate + 500) / 1000), channels == 2 ? "stereo" : "mono");
        expected.push_back(text);
      }
      EXPECT_EQ(list(rate, channels), expected) << rate << " Hz, " << channels;
    }
  }
  EXPECT_TRUE(list(11025, 2).empty());
  EXPECT_EQ(Put(info, "IsVBR", VBool(true)).hr, S_OK);
  const std::vector<std::string> vbr = list(48000, 2);
  ASSERT_EQ(vbr.size(), 10u);
  EXPECT_EQ(vbr.front(), "Quality 100, 48 kHz, stereo, VBR");
  EXPECT_EQ(vbr.back(), "Quality  10, 48 kHz, stereo, VBR");
  EXPECT_TRUE(list(23000, 2).empty());
  EXPECT_EQ(Put(info, "IsTwoPass", VBool(true)).hr, S_OK);
  EXPECT_TRUE(list(44100, 2).empty());
  for (const auto& bad : {std::pair<LONG, LONG>{44100, 3}, {44100, 0}, {3999, 1}, {384001, 2}})
    EXPECT_EQ(Method(info, "GetCodecFormats", {V(bad.first), V(bad.second)}).hr, E_INVALIDARG) << bad.first;
}

TEST_F(Writers, LameCodecFormatPut) {
  IDispatch* lame = Writer("lame");
  IDispatch* info = Keep(Get(Keep(Get(lame, "CodecFormat")), "Parent"));
  Result formats = Method(info, "GetCodecFormats", {V(LONG{22050}), V(LONG{1})});
  ASSERT_EQ(formats.value.vt, VT_ARRAY | VT_VARIANT);
  LONG index = 0;
  Variant first;
  ASSERT_EQ(SafeArrayGetElement(formats.value.parray, &index, &first), S_OK);
  EXPECT_EQ(Put(lame, "CodecFormat", VDisp(first.pdispVal)).hr, S_OK);
  EXPECT_EQ(Keep(Get(lame, "CodecFormat")), first.pdispVal);
  VARIANT null_object;
  VariantSetDispatch(&null_object, nullptr);
  EXPECT_EQ(Put(lame, "CodecFormat", null_object).hr, E_INVALIDARG);
  EXPECT_EQ(Put(lame, "CodecFormat", VDisp(Writer("pcm"))).hr, E_INVALIDARG);
  EXPECT_EQ(Keep(Get(lame, "CodecFormat")), first.pdispVal);
}

TEST_F(Writers, ProcessArguments) {
  IDispatch* clip = Clip();
  for (const char* type : {"pcm", "flac", "lame", "opus", "oggvorbis", "1bit"}) {
    IDispatch* w = Writer(type);
    EXPECT_EQ(Method(w, "Process", {VDisp(clip), V("")}).hr, E_INVALIDARG) << type;
    EXPECT_EQ(Method(w, "Process", {V(LONG{1}), V(File("x").c_str())}).hr, E_INVALIDARG) << type;
    EXPECT_EQ(Method(w, "Process", {VDisp(w), V(File("x").c_str())}).hr, E_INVALIDARG) << type;
    // A folder that does not exist: an application error, and no file.
    const std::string missing = File(std::string("no/such/folder/out.") + (std::string(type) == "1bit" ? "dsf" : "bin"));
    EXPECT_EQ(Method(w, "Process", {VDisp(clip), V(missing.c_str())}).hr, E_FAIL) << type;
    EXPECT_FALSE(std::filesystem::exists(missing));
  }
}

TEST_F(Writers, WrittenFilesCarryTheSettings) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  IDispatch* clip = Clip();
  struct Row {
    const char* type;
    const char* file;
    LONG rate, channels, bits;  // 0: left at the source's
    const char* pcm_sample;
    const char* expected;
  } rows[] = {
      {"flac", "same.flac", 0, 0, 0, nullptr,
       "codec_name=flac\nsample_rate=4000\nchannels=2\nbits_per_sample=0\nbits_per_raw_sample=16\n"
       "TAG:TITLE=Writer Test\n"},
      {"flac", "down.flac", 8000, 1, 24, nullptr,
       "codec_name=flac\nsample_rate=8000\nchannels=1\nbits_per_sample=0\nbits_per_raw_sample=24\n"
       "TAG:TITLE=Writer Test\n"},
      {"pcm", "same.wav", 0, 0, 0, nullptr,
       "codec_name=pcm_s16le\nsample_rate=4000\nchannels=2\nbits_per_sample=16\nbits_per_raw_sample=N/A\n"
       "TAG:title=Writer Test\n"},
      {"pcm", "float.wav", 11025, 1, 0, "WaveFloat",
       "codec_name=pcm_f32le\nsample_rate=11025\nchannels=1\nbits_per_sample=32\nbits_per_raw_sample=N/A\n"
       "TAG:title=Writer Test\n"},
  };
  for (const Row& r : rows) {
    IDispatch* w = Writer(r.type);
    ASSERT_EQ(Put(w, "SampleRate", V(r.rate)).hr, S_OK);
    ASSERT_EQ(Put(w, "Channels", V(r.channels)).hr, S_OK);
    if (r.bits) {
      ASSERT_EQ(Put(w, "BitsPerSample", V(r.bits)).hr, S_OK);
    }
    if (r.pcm_sample) {
      ASSERT_EQ(Put(w, "PcmFileSample", V(r.pcm_sample)).hr, S_OK);
    }
    const std::string path = File(r.file);
    ASSERT_EQ(Method(w, "Process", {VDisp(clip), V(path.c_str())}).hr, S_OK) << r.file;
    EXPECT_EQ(Probe(path), r.expected) << r.file;
    // The settings left at 0 still read 0: the source fills them per file.
    EXPECT_EQ(Get(w, "SampleRate").number(), r.rate);
  }
}

TEST_F(Writers, LameFileHasTheChosenFormat) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  IDispatch* clip = Clip();
  IDispatch* lame = Writer("lame");
  IDispatch* info = Keep(Get(Keep(Get(lame, "CodecFormat")), "Parent"));
  Result formats = Method(info, "GetCodecFormats", {V(LONG{22050}), V(LONG{1})});
  ASSERT_EQ(formats.value.vt, VT_ARRAY | VT_VARIANT);
  LONG index = 3;  // 80, 64, 56, 48 kbit/s
  Variant chosen;
  ASSERT_EQ(SafeArrayGetElement(formats.value.parray, &index, &chosen), S_OK);
  ASSERT_EQ(Get(chosen.pdispVal, "Bitrate").number(), 48000);
  ASSERT_EQ(Put(lame, "CodecFormat", VDisp(chosen.pdispVal)).hr, S_OK);
  const std::string path = File("out.mp3");
  ASSERT_EQ(Method(lame, "Process", {VDisp(clip), V(path.c_str())}).hr, S_OK);
  EXPECT_EQ(Capture("/usr/bin/ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,bit_rate"
                    ":format_tags=title -of default=nw=1 '" + path + "'"),
            "codec_name=mp3\nsample_rate=22050\nchannels=1\nbit_rate=48000\nTAG:title=Writer Test\n");
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT

namespace tidemark::NS_SCRIPT {
namespace {

TEST_F(Writers, OpusFileRecordsTheRateAndChannels) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  IDispatch* clip = Clip();
  IDispatch* opus = Writer("opus");
  ASSERT_EQ(Put(opus, "SampleRate", V(LONG{16000})).hr, S_OK);
  ASSERT_EQ(Put(opus, "Channels", V(LONG{1})).hr, S_OK);
  ASSERT_EQ(Put(opus, "Bitrate", V(LONG{24000})).hr, S_OK);
  const std::string path = File("out.opus");
  ASSERT_EQ(Method(opus, "Process", {VDisp(clip), V(path.c_str())}).hr, S_OK);
  // Opus streams run at 48 kHz; the original rate sits in the header.
  EXPECT_EQ(Capture("/usr/bin/ffprobe -v error -show_entries stream=codec_name,sample_rate,channels"
                    ":stream_tags=title,TITLE -of default=nw=1 '" + path + "'"),
            "codec_name=opus\nsample_rate=48000\nchannels=1\nTAG:TITLE=Writer Test\n");
  const std::string head = Capture("/usr/bin/python3 -c \"import sys; d=open(sys.argv[1],'rb').read(); "
                                   "i=d.find(b'OpusHead'); print(int.from_bytes(d[i+12:i+16],'little'))\" '" +
                                   path + "'");
  EXPECT_EQ(head, "16000\n");
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT

namespace tidemark::NS_SCRIPT {
namespace {

// The descriptions of a codec's list, in order.
std::vector<std::string> Descs(IDispatch* info, LONG rate, LONG channels) {
  std::vector<std::string> out;
  Result r = Method(info, "GetCodecFormats", {V(rate), V(channels)});
  EXPECT_EQ(r.hr, S_OK);
  if (r.value.vt != (VT_ARRAY | VT_VARIANT)) return out;
  LONG hi = -1;
  (void)SafeArrayGetUBound(r.value.parray, 1, &hi);
  for (LONG i = 0; i <= hi; ++i) {
    Variant v;
    (void)SafeArrayGetElement(r.value.parray, &i, &v);
    out.push_back(Get(v.pdispVal, "Desc").text());
  }
  return out;
}

TEST_F(Writers, VorbisListAndFormatsOfAnotherCodec) {
  IDispatch* ov = Writer("oggvorbis");
  IDispatch* format = Keep(Get(ov, "CodecFormat"));
  EXPECT_EQ(Get(format, "Desc").text(), "Quality  50, 44 kHz, stereo, VBR");
  IDispatch* info = Keep(Get(format, "Parent"));
  EXPECT_EQ(Get(info, "Name").text(), "Ogg Vorbis");
  const struct {
    bool vbr;
    LONG rate, channels;
    std::size_t count;
    const char *first, *last;
  } rows[] = {
      {false, 44100, 2, 8, "320 kbps, 44 kHz, stereo, ABR", " 96 kbps, 44 kHz, stereo, ABR"},
      {false, 48000, 1, 6, "160 kbps, 48 kHz, mono, ABR", " 64 kbps, 48 kHz, mono, ABR"},
      {false, 22050, 2, 0, "", ""},
      {true, 8000, 1, 11, "Quality 100,  8 kHz, mono, VBR", "Quality   0,  8 kHz, mono, VBR"},
      {true, 4000, 1, 0, "", ""},
  };
  for (const auto& r : rows) {
    ASSERT_EQ(Put(info, "IsVBR", VBool(r.vbr)).hr, S_OK);
    const std::vector<std::string> got = Descs(info, r.rate, r.channels);
    ASSERT_EQ(got.size(), r.count) << r.rate;
    if (r.count) {
      EXPECT_EQ(got.front(), r.first);
      EXPECT_EQ(got.back(), r.last);
    }
  }
  EXPECT_EQ(Method(info, "GetCodecFormats", {V(LONG{44100}), V(LONG{3})}).hr, E_INVALIDARG);
  // A LAME format put on the Vorbis writer and the other way round.
  IDispatch* lame = Writer("lame");
  IDispatch* lame_format = Keep(Get(lame, "CodecFormat"));
  EXPECT_EQ(Put(ov, "CodecFormat", VDisp(lame_format)).hr, E_INVALIDARG);
  EXPECT_EQ(Put(lame, "CodecFormat", VDisp(format)).hr, E_INVALIDARG);
  EXPECT_EQ(Keep(Get(ov, "CodecFormat")), format);
}

TEST_F(Writers, VorbisFileHasTheChosenFormat) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  IDispatch* clip = Clip();
  IDispatch* ov = Writer("oggvorbis");
  IDispatch* info = Keep(Get(Keep(Get(ov, "CodecFormat")), "Parent"));
  Result formats = Method(info, "GetCodecFormats", {V(LONG{48000}), V(LONG{1})});
  ASSERT_EQ(formats.value.vt, VT_ARRAY | VT_VARIANT);
  LONG index = 5;  // 64 kbit/s
  Variant chosen;
  ASSERT_EQ(SafeArrayGetElement(formats.value.parray, &index, &chosen), S_OK);
  ASSERT_EQ(Put(ov, "CodecFormat", VDisp(chosen.pdispVal)).hr, S_OK);
  const std::string path = File("out.ogg");
  ASSERT_EQ(Method(ov, "Process", {VDisp(clip), V(path.c_str())}).hr, S_OK);
  EXPECT_EQ(Capture("/usr/bin/ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,bit_rate"
                    ":stream_tags=title,TITLE -of default=nw=1 '" + path + "'"),
            "codec_name=vorbis\nsample_rate=48000\nchannels=1\nbit_rate=64000\nTAG:TITLE=Writer Test\n");
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT

namespace tidemark::NS_SCRIPT {
namespace {

TEST_F(Writers, OneBitFilesByExtension) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  IDispatch* clip = Clip();
  IDispatch* w = Writer("1bit");
  EXPECT_EQ(Method(w, "Process", {VDisp(clip), V(File("x.wav").c_str())}).hr, E_INVALIDARG);
  EXPECT_FALSE(std::filesystem::exists(File("x.wav")));
  ASSERT_EQ(Put(w, "Channels", V(LONG{1})).hr, S_OK);
  const struct {
    const char* file;
    const char* codec;
  } rows[] = {{"out.dsf", "dsd_lsbf_planar"}, {"out.dff", "dsd_msbf"}};
  for (const auto& r : rows) {
    const std::string path = File(r.file);
    ASSERT_EQ(Method(w, "Process", {VDisp(clip), V(path.c_str())}).hr, S_OK) << r.file;
    // ffprobe counts DSD in bytes per channel: 2822400 / 8.
    EXPECT_EQ(Capture("/usr/bin/ffprobe -v error -show_entries stream=codec_name,sample_rate,channels"
                      " -of default=nw=1 '" + path + "'"),
              std::string("codec_name=") + r.codec + "\nsample_rate=352800\nchannels=1\n")
        << r.file;
    // Our reader opens it at the clip's length (0.5 s).
    IDispatch* back = Keep(Method(app(), "CreateSoundClip", {V(path.c_str())}));
    ASSERT_TRUE(back);
    EXPECT_NEAR(Get(back, "Length").number(), 0.5, 1e-3) << r.file;
  }
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
