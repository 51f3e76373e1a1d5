// The console's record forms with a "file:" input: the take's length, its
// frames, the document it opens as, and the refusals that change nothing.
#include <filesystem>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/console_test_util.h"

namespace tidemark::testing {
namespace {

std::string Dir() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr ? dir : "/tmp";
}

// A 16-bit mono WAV of seeded noise at 8000 Hz; its samples.
std::vector<std::int16_t> WriteInput(const std::string& path, std::uint32_t frames) {
  std::mt19937 rng(3);
  std::vector<std::int16_t> samples(frames);
  for (auto& v : samples) v = static_cast<std::int16_t>(static_cast<int>(rng() % 65536) - 32768);
  std::string h = "RIFF";
  auto put = [&h](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) h.push_back(static_cast<char>(v >> (8 * i)));
  };
  put(36 + frames * 2, 4);
  h += "WAVEfmt ";
  for (const auto& [v, n] : {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {8000u, 4}, {16000u, 4}, {2u, 2}, {16u, 2}}) put(v, n);
  h += "data";
  put(frames * 2, 4);
  std::ofstream out(path, std::ios::binary);
  out << h;
  out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(frames * 2));
  return samples;
}

// Where the document's samples start in the input (-1: nowhere).
long FoundAt(const std::vector<std::int16_t>& input, const std::vector<float>& doc) {
  for (std::size_t start = 0; start + doc.size() <= input.size(); start += 800) {
    bool same = true;
    for (std::size_t i = 0; i < doc.size() && same; ++i) same = doc[i] == input[start + i] / 32768.0f;
    if (same) return static_cast<long>(start);
  }
  return -1;
}

TEST(ConsoleRecord, FormsRecordTheirFramesAndOpenTheTake) {
  const std::string in = Dir() + "/rec_input.wav";
  const std::vector<std::int16_t> input = WriteInput(in, 24000);
  const struct {
    const char* what;
    const char* script;  // after "device in"; %s is the target
    long frames;         // -1: to the end of the input
  } cases[] = {
      {"SECONDS cut exactly", "record %s 0.50006", 4000},  // 4000.48 rounds down
      {"SECONDS rounding up", "record %s 0.2001", 1601},   // 1600.8 rounds up
      {"until the input ends, then stop", "record %s\nstop", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = Dir() + "/take.wav";
    std::filesystem::remove(out);
    std::string body = c.script;
    body.replace(body.find("%s"), 2, out);
    ConsoleRun run;
    if (c.frames < 0) {
      ASSERT_EQ(run.Script("device in file:" + in + "?fast\n" + body.substr(0, body.find('\n'))), 0) << run.err.str();
      // The take runs until the input ends; stop then opens it.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      ASSERT_EQ(run.Script("stop"), 0) << run.err.str();
    } else {
      ASSERT_EQ(run.Script("device in file:" + in + "?fast\n" + body), 0) << run.err.str();
    }
    const SoundDocument* doc = run.session.active();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->rate, 8000u);
    const std::vector<float> got = FloatSamples(*doc);
    const long at = FoundAt(input, got);
    ASSERT_GE(at, 0) << "the take is a stretch of the input";
    if (c.frames >= 0) EXPECT_EQ(static_cast<long>(doc->length), c.frames);
    else EXPECT_EQ(static_cast<long>(doc->length) + at, 24000) << "a file input's end ends the take";
  }
}

TEST(ConsoleRecord, RefusalsChangeNothing) {
  const std::string in = Dir() + "/rec_input2.wav";
  WriteInput(in, 8000);
  const std::string existing = Dir() + "/existing.wav";
  std::ofstream(existing) << "keep";
  const struct {
    const char* what;
    std::string line;
    const char* message;  // part of the error
  } cases[] = {
      {"existing target", "record " + existing + " 0.1", "record!"},
      {"unknown field", "record " + Dir() + "/t.wav 1 colour=red", "usage: record"},
      {"bad number", "record " + Dir() + "/t.wav rate=fast", "fast"},
      {"zero channels", "record " + Dir() + "/t.wav channels=0", "\"0\""},
      {"two lengths", "record " + Dir() + "/t.wav 1 2", "\"2\""},
      {"absurd rate", "record " + Dir() + "/t.wav 1 rate=50", "not supported"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRun run;
    EXPECT_NE(run.Script("device in null\n" + c.line), 0);
    EXPECT_NE(run.err.str().find(c.message), std::string::npos) << run.err.str();
    EXPECT_EQ(run.session.active(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(Dir() + "/t.wav"));
  }
  std::ifstream kept(existing);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
  ConsoleRun run;
  ASSERT_EQ(run.Script("device in file:" + in + "?fast\nrecord! " + existing + " 0.1"), 0) << run.err.str();
  ASSERT_NE(run.session.active(), nullptr);
  EXPECT_EQ(run.session.active()->length, 800u);
}

TEST(ConsoleRecord, DeviceFailuresCarryTheDevicesOwnWords) {
  const std::string doc = Dir() + "/rec_words.wav";
  WriteInput(doc, 800);
  const struct {
    const char* what;
    std::string script;
    const char* words;
  } cases[] = {
      {"ALSA output", "open " + doc + "\ndevice out no-such-pcm-here\nplay", "ALSA device \"no-such-pcm-here\": cannot open: "},
      {"file output", "open " + doc + "\ndevice out file:" + Dir() + "/no/such/folder.wav\nplay", "cannot create"},
      {"ALSA input", "device in no-such-pcm-here\nrecord " + Dir() + "/t2.wav 1",
       "ALSA capture device \"no-such-pcm-here\": cannot open: "},
      {"file input", "device in file:" + Dir() + "/missing.wav\nrecord " + Dir() + "/t2.wav 1", "cannot open the input file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRun run;
    EXPECT_NE(run.Script(c.script), 0);
    const std::string err = run.err.str();
    const std::size_t at = err.find(c.words);
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_NE(err[at + std::strlen(c.words)], '\n') << "the device's own text follows";
  }
}

}  // namespace
}  // namespace tidemark::testing
