// The file writers given bad input through IDispatch: values of the wrong
// type for every property, sources that are detached or not the program's,
// file names that cannot be written (no folder, no current folder, too long,
// no permission, a full disk) and encoder libraries missing at run time.
// After every failure no output file, whole or partial, is left.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "codecs/codec_library.h"
#include "config/error_messages.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "codecs/codec_install.h"
#include "tests/automation/model_test_support.h"

namespace tidemark::NS_SCRIPT {
namespace {

using namespace testing;

const char* const kTypes[] = {"pcm", "flac", "lame", "opus", "oggvorbis", "1bit"};

std::string Extension(const std::string& type) {
  if (type == "1bit") return ".dsf";
  if (type == "lame") return ".mp3";
  if (type == "pcm") return ".wav";
  return "." + type;
}

class WriterBadInput : public AppTest {
 protected:
  void SetUp() override {
    InstallCodecs();
    AppTest::SetUp();
    source_ = File("source.wav");
    WriteWav(source_, 8000, 2, 2000, [](std::uint32_t i, std::uint16_t c) { return c ? 0.25 : (i % 8 < 4 ? 0.5 : -0.5); });
  }
  void TearDown() override {
    fault::RemoveAllFaults();
    AppTest::TearDown();
  }
  IDispatch* Clip() { return Keep(Method(app(), "CreateSoundClip", {V(source_.c_str())})); }
  HRESULT Process(IDispatch* writer, IDispatch* source, const std::string& path) {
    return Method(writer, "Process", {VDisp(source), V(path.c_str())}).hr;
  }
  // The folder holds nothing but the source.
  void ExpectOnlySource(const std::string& context) {
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
      EXPECT_EQ(entry.path().filename(), "source.wav") << context << ": left behind";
  }

  std::string source_;
};

// The property as text, or the object's address: to see that it is unchanged.
std::string Snapshot(IDispatch* writer, const char* property) {
  const Result r = Get(writer, property);
  if (r.object()) return std::to_string(reinterpret_cast<std::uintptr_t>(r.object()));
  return r.text();
}

TEST_F(WriterBadInput, ValuesOfTheWrongTypeAreRefusedAndChangeNothing) {
  const struct {
    const char* type;
    std::vector<const char*> properties;
  } rows[] = {
      {"pcm", {"Channels", "SampleRate"}},
      {"1bit", {"Channels", "SampleRate"}},
      {"flac", {"BitsPerSample", "Channels", "CompressLevel", "ReplayGain", "SampleRate", "Verify"}},
      {"lame",
       {"ChannelMode", "CodecFormat", "Copyright", "CRC", "EnableABR", "MaxBitrate", "Original", "Private", "Quality",
        "Unicode"}},
      {"oggvorbis", {"CodecFormat", "MaxBitrate", "MinBitrate"}},
      {"opus", {"Bitrate", "Channels", "EnableVBR", "SampleRate", "SignalType", "VBRConstraint"}},
  };
  for (const auto& row : rows) {
    IDispatch* w = Writer(row.type);
    ASSERT_TRUE(w) << row.type;
    for (const char* property : row.properties) {
      const std::string before = Snapshot(w, property);
      EXPECT_NE(Put(w, property, V("many")).hr, S_OK) << row.type << "." << property << " = a word";
      EXPECT_NE(Put(w, property, VDisp(Keep(Get(app(), "Documents")))).hr, S_OK)
          << row.type << "." << property << " = an object";
      EXPECT_EQ(Snapshot(w, property), before) << row.type << "." << property;
    }
  }
  // The one text property: an object is no format word either.
  IDispatch* pcm = Writer("pcm");
  ASSERT_EQ(Put(pcm, "PcmFileSample", V("Wave24")).hr, S_OK);
  EXPECT_NE(Put(pcm, "PcmFileSample", VDisp(pcm)).hr, S_OK);
  EXPECT_EQ(Put(pcm, "PcmFileSample", V(LONG{16})).hr, E_INVALIDARG);
  EXPECT_EQ(Get(pcm, "PcmFileSample").text(), "Wave24");
}

TEST_F(WriterBadInput, DetachedAndForeignSources) {
  // A clip cut from a document that was closed since keeps its samples; the
  // closed document itself is gone.
  IDispatch* doc = Keep(Method(Keep(Get(app(), "Documents")), "Open", {V(source_.c_str())}));
  ASSERT_TRUE(doc);
  IDispatch* cut = Keep(Method(doc, "CreateSoundClip"));
  ASSERT_EQ(Method(doc, "Close").hr, S_OK);
  IDispatch* old_clip = Clip();
  const ComRef<ForeignClip> foreign = ComRef<ForeignClip>::Adopt(new ForeignClip);
  for (const char* type : kTypes) {
    IDispatch* w = Writer(type);
    const std::string path = File(std::string("out") + Extension(type));
    EXPECT_EQ(Process(w, doc, path), E_ACCESSDENIED) << type;
    EXPECT_EQ(Process(w, foreign->dispatch(), path), E_UNEXPECTED) << type;
    EXPECT_FALSE(std::filesystem::exists(path)) << type;
    EXPECT_EQ(Process(w, cut, path), S_OK) << type << ": " << ErrorDescription();
    EXPECT_TRUE(std::filesystem::exists(path)) << type;
    std::filesystem::remove(path);
  }
  // A clip of an application that has ended is detached for the next one.
  app_ = {};
  app_ = CApp::Create(host_);
  ASSERT_TRUE(app_);
  for (const char* type : kTypes) {
    const std::string path = File(std::string("late") + Extension(type));
    EXPECT_EQ(Process(Writer(type), old_clip, path), E_ACCESSDENIED) << type;
  }
  ExpectOnlySource("detached sources");
}

TEST_F(WriterBadInput, NamesThatCannotBeWritten) {
  IDispatch* clip = Clip();
  const std::filesystem::path home = std::filesystem::current_path();
  const std::filesystem::path gone = dir_ / "gone";
  for (const char* type : kTypes) {
    IDispatch* w = Writer(type);
    const std::string ext = Extension(type);
    const struct {
      std::string name;
      std::string error;  // the description starts with it; "" any
    } rows[] = {
        {File("no/such/folder/out" + ext), ""},
        {File(std::string(270, 'n') + ext), DescribeError(model_err::kPathTooLong)},
        {"relative" + ext, DescribeError(err::kInvalidPath)},  // with no current folder
    };
    for (const auto& r : rows) {
      // The current folder is removed under us for the relative name.
      std::filesystem::create_directories(gone);
      std::filesystem::current_path(gone);
      std::filesystem::remove(gone);
      (void)SetErrorInfo(0, nullptr);
      EXPECT_EQ(Process(w, clip, r.name), E_FAIL) << type << " " << r.name;
      std::filesystem::current_path(home);
      const std::string text = ErrorDescription();
      EXPECT_FALSE(text.empty()) << type;
      EXPECT_EQ(text.substr(0, r.error.size()), r.error) << type << " " << r.name.size();
    }
    // A folder we may not write to (as root too: the seam refuses the open;
    // for FLAC the rename into place).
    {
      const fault::FaultOps op = std::string(type) == "flac" ? fault::kRename : fault::kOpen;
      const fault::ScopedFault denied(fault::FaultRule::FailNth(op, 1, EACCES).Sticky());
      EXPECT_EQ(Process(w, clip, File("denied" + ext)), E_FAIL) << type;
      EXPECT_TRUE(denied.fired()) << type << " opened its file past the seam";
    }
  }
  ExpectOnlySource("unwritable names");
}

// Every I/O operation of a Process fails in turn: the call either succeeds
// with a whole file or fails leaving no file at all. A disk full partway
// ends the same way.
TEST_F(WriterBadInput, FullDiskAndFaultLoopLeaveNoPartialFile) {
  IDispatch* clip = Clip();
  for (const char* type : kTypes) {
    IDispatch* w = Writer(type);
    const std::string path = File(std::string("out") + Extension(type));
    // libFLAC writes a hidden file with its own stdio, out of the seam's
    // reach; only its rename into place is seen.
    if (std::string(type) != "flac") {
      const fault::ScopedFault full(fault::FaultRule::DiskFullAt(600));
      EXPECT_EQ(Process(w, clip, path), E_FAIL) << type;
      EXPECT_TRUE(full.fired()) << type;
      ExpectOnlySource(std::string(type) + " with a full disk");
    }
    const std::uint64_t runs = fault::ForEachFaultPoint(fault::kAllOps, EIO, [&](const fault::ScopedFault& fault) {
      const HRESULT hr = Process(w, clip, path);
      if (!fault.fired()) {
        EXPECT_EQ(hr, S_OK) << type;
        return;
      }
      if (hr == S_OK) {
        EXPECT_TRUE(std::filesystem::exists(path)) << type << " at operation " << fault.rule().nth;
      } else {
        ExpectOnlySource(std::string(type) + " failing at operation " + std::to_string(fault.rule().nth));
      }
      std::filesystem::remove(path);
    }, 400);
    EXPECT_GT(runs, 0u) << type;
    EXPECT_LT(runs, 400u) << type;
    std::filesystem::remove(path);
  }
}

TEST_F(WriterBadInput, MissingEncoderNamesItsPackage) {
  IDispatch* clip = Clip();
  ::setenv("TIDEMARK_CODEC_PATH", "", 1);
  detail::ResetCodecLibraries();
  const struct {
    const char* type;
    const char* package;  // nullptr: needs no library
  } rows[] = {{"flac", "libflac12"},      {"lame", "libmp3lame0"}, {"opus", "libopusenc0"},
              {"oggvorbis", "libvorbisenc2"}, {"pcm", nullptr},     {"1bit", nullptr}};
  for (const auto& r : rows) {
    const std::string path = File(std::string("out") + Extension(r.type));
    const HRESULT hr = Process(Writer(r.type), clip, path);
    if (!r.package) {
      EXPECT_EQ(hr, S_OK) << r.type;
      std::filesystem::remove(path);
      continue;
    }
    EXPECT_EQ(hr, E_FAIL) << r.type;
    const std::string text = ErrorDescription();
    EXPECT_EQ(text.rfind(DescribeError(err::kCodecLibraryUnavailable), 0), 0u) << text;
    EXPECT_NE(text.find(r.package), std::string::npos) << r.type << ": " << text;
    EXPECT_FALSE(std::filesystem::exists(path)) << r.type;
  }
  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  ExpectOnlySource("missing encoders");
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
