// The console's playback commands through the file device: what each form
// plays is compared with the document's samples under 50 ms fades.
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/samples/sample_convert.h"
#include "dsp/stretch/time_stretcher.h"
#include "platform/error_numbers.h"
#include "playback/play_engine.h"
#include "tests/app/console_test_util.h"

namespace tidemark::testing {
namespace {

std::string Dir() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr ? dir : "/tmp";
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A 16-bit stereo WAV of seeded noise; its samples.
std::vector<std::int16_t> WriteNoise(const std::string& path, std::uint32_t rate, std::uint32_t frames) {
  std::mt19937 rng(77);
  std::vector<std::int16_t> samples(frames * 2);
  for (auto& v : samples) v = static_cast<std::int16_t>(static_cast<int>(rng() % 65536) - 32768);
  auto put32 = [](std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  };
  auto put16 = [](std::string& s, std::uint32_t v) {
    for (int i = 0; i < 2; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  };
  std::string h = "RIFF";
  put32(h, 36 + frames * 4);
  h += "WAVEfmt ";
  put32(h, 16);
  put16(h, 1);
  put16(h, 2);
  put32(h, rate);
  put32(h, rate * 4);
  put16(h, 4);
  put16(h, 16);
  h += "data";
  put32(h, frames * 4);
  std::ofstream out(path, std::ios::binary);
  out << h;
  out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
  return samples;
}

TEST(ConsolePlay, FormsPlayTheirRangeWithFades) {
  const std::uint32_t rate = 8000, frames = 6000;
  const std::string in = Dir() + "/noise.wav";
  const std::vector<std::int16_t> doc = WriteNoise(in, rate, frames);
  const struct {
    const char* what;
    const char* select;  // "" for no selection
    const char* form;
    std::uint32_t from, length;
  } cases[] = {
      {"selection", "select 1000f 4000f", "play", 1000, 3000},
      {"no selection plays all", "", "play", 0, frames},
      {"all despite a selection", "select 1000f 4000f", "play all", 0, frames},
      {"cursor to the end", "select 5900f 5950f", "play cursor", 5900, 100},  // shorter than the fade
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = Dir() + "/played.wav";
    ConsoleRun run;
    std::string script = "open " + in + "\ndevice out file:" + out + "?fast\n";
    if (*c.select) script += std::string(c.select) + "\n";
    script += std::string(c.form) + "\n";
    ASSERT_EQ(run.Script(script), 0) << run.err.str();
    EXPECT_EQ(run.err.str(), "") << "a play from a pipe prints nothing but errors";
    const std::string file = ReadBytes(out);
    ASSERT_EQ(file.size(), 44u + c.length * 4);
    const std::int64_t f = std::min<std::int64_t>(rate / 20, c.length);
    for (std::uint32_t i = 0; i < c.length; ++i)
      for (std::uint32_t ch = 0; ch < 2; ++ch) {
        std::int64_t want = doc[(c.from + i) * 2 + ch];
        if (i < f) want = want * i / f;
        if (i + f >= c.length) want = want * (c.length - i) / f;
        std::int16_t got;
        std::memcpy(&got, file.data() + 44 + (i * 2 + ch) * 2, 2);
        ASSERT_EQ(got, want) << "frame " << i << " channel " << ch;
      }
  }
}

TEST(ConsolePlay, BadFormsChangeNothingAndSayWhy) {
  const std::string in = Dir() + "/short.wav";
  WriteNoise(in, 8000, 800);
  const struct {
    const char* what;
    const char* line;
    bool done;
    const char* message;  // in the error or output text
  } cases[] = {
      {"stop with nothing playing", "stop", true, "Stopped"},
      {"pause with nothing playing", "pause", true, "Stopped"},
      {"volume beyond 100", "volume 150", false, "150"},
      {"volume not a number", "volume loud", false, "loud"},
      {"unknown play form", "play sideways", false, "play [all|cursor|loop]"},
      {"device neither out nor in", "device sideways null", false, "device out|in"},
      {"unknown output device", "device out tidemark_no_such_pcm\nplay", false, "playback device could not be opened"},
      {"unwritable folder", "device out file:/nonexistent-folder/x.wav\nplay", false, "could not be opened"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRun run;
    ASSERT_TRUE(AllDone(run.session, "open " + in));
    EXPECT_EQ(AllDone(run.session, c.line), c.done);
    EXPECT_NE((run.err.str() + run.out.str()).find(c.message), std::string::npos) << run.err.str() << run.out.str();
    EXPECT_FALSE(run.session.active()->modification_counter != 0) << "the document changed";
  }
}

TEST(ConsolePlay, LoopRunsUntilStopAndPlayTogglesPause) {
  const std::string in = Dir() + "/loop.wav";
  WriteNoise(in, 8000, 800);
  ConsoleRun run;
  ASSERT_TRUE(AllDone(run.session, "open " + in + "\ndevice out null\nplay loop"));
  // A second play while playing pauses rather than starting another.
  ASSERT_TRUE(AllDone(run.session, "play"));
  EXPECT_TRUE(playback::PlaybackPaused());
  ASSERT_TRUE(AllDone(run.session, "play"));
  EXPECT_FALSE(playback::PlaybackPaused());
  ASSERT_TRUE(AllDone(run.session, "volume 40"));
  ASSERT_TRUE(AllDone(run.session, "stop"));
  EXPECT_EQ(run.err.str(), "");
  // Any other command stops a playback first: nothing reads a document being changed.
  ASSERT_TRUE(AllDone(run.session, "play loop"));
  ASSERT_TRUE(AllDone(run.session, "select all\ndelete"));
  EXPECT_FALSE(playback::PlaybackExists());
  // Nothing plays any more: stop says so.
  ASSERT_TRUE(AllDone(run.session, "stop"));
  EXPECT_NE((run.err.str() + run.out.str()).find("Stopped"), std::string::npos);
  EXPECT_FALSE(playback::PlaybackExists());
}

TEST(ConsolePlay, DevicesListsTheHeadlessOnesAndMarksTheChoice) {
  ConsoleRun run;
  ASSERT_TRUE(AllDone(run.session, "device out null\ndevices"));
  const std::string out = run.out.str();
  EXPECT_NE(out.find("out * null"), std::string::npos) << out;
  EXPECT_NE(out.find("out   file:PATH"), std::string::npos) << out;
  EXPECT_NE(out.find("in    null"), std::string::npos) << out;
}

// 16-bit frames as the engine writes them: the stretched range converted,
// then the integer fades over `fade` frames.
std::vector<std::int16_t> ScaledReference(const std::vector<float>& doc, std::uint16_t channels, std::uint32_t rate,
                                          double speed, dsp::StretchMethod method, std::uint32_t fade) {
  dsp::TimeStretcher stretcher;
  dsp::StretchOptions options;
  options.method = method;
  options.speed = speed;
  EXPECT_EQ(stretcher.Init(channels, rate, options), err::kOk);
  const std::size_t in_frames = doc.size() / channels;
  const auto total = static_cast<std::size_t>(std::ceil(static_cast<double>(in_frames) / speed));
  std::vector<float> out(total * channels);
  std::size_t pushed = 0, pulled = 0;
  while (pulled < total) {
    pulled += stretcher.Pull(out.data() + pulled * channels, total - pulled);
    if (pushed < in_frames) pushed += stretcher.Push(doc.data() + pushed * channels, in_frames - pushed);
    else stretcher.Finish();
  }
  std::vector<std::int16_t> pcm(out.size());
  Convert(out.data(), pcm.data(), out.size(), sample_code::kFloat, sample_code::kS16);
  const std::int64_t f = std::min<std::int64_t>(fade, static_cast<std::int64_t>(total));
  for (std::size_t i = 0; i < total; ++i)
    for (std::uint16_t c = 0; c < channels; ++c) {
      std::int64_t v = pcm[i * channels + c];
      const auto k = static_cast<std::int64_t>(i), t = static_cast<std::int64_t>(total);
      if (k < f) v = v * k / f;
      if (k + f >= t) v = v * (t - k) / f;
      pcm[i * channels + c] = static_cast<std::int16_t>(v);
    }
  return pcm;
}

TEST(ConsolePlay, SpeedPlaysThroughTheTimeStretchAndNotInsideTheDeadBand) {
  const std::uint32_t rate = 8000, frames = 6000;
  const std::string in = Dir() + "/speed_in.wav", out = Dir() + "/speed_out.wav";
  WriteNoise(in, rate, frames);
  auto play = [&](const std::string& speed) {
    ConsoleRun run;
    // The session's playback settings outlive a session: the volume too.
    EXPECT_EQ(run.Script("open " + in + "\ndevice out file:" + out + "?fast\nvolume 100\n" + speed + "\nplay all\n"), 0)
        << run.err.str();
    const std::string file = ReadBytes(out);
    std::vector<std::int16_t> pcm((file.size() - 44) / 2);
    std::memcpy(pcm.data(), file.data() + 44, pcm.size() * 2);
    return pcm;
  };
  const std::vector<std::int16_t> plain = play("speed off");
  EXPECT_EQ(plain.size(), frames * 2u);
  EXPECT_EQ(play("speed 1.02"), plain) << "inside the dead band the range plays unchanged";
  EXPECT_EQ(play("speed 0.971"), plain);
  const DocumentPtr doc = OpenDocument(in);
  ASSERT_TRUE(doc);
  const std::vector<std::int16_t> fast = play("speed 2");
  EXPECT_EQ(fast.size(), frames);
  EXPECT_EQ(fast, ScaledReference(FloatSamples(*doc), 2, rate, 2.0, dsp::StretchMethod::kWsola, rate / 20));
  const std::vector<std::int16_t> slow = play("speed 0.5");
  EXPECT_EQ(slow.size(), frames * 4u);
  ConsoleRun bad;
  EXPECT_NE(bad.Script("speed 11"), 0);
  EXPECT_NE(bad.err.str().find("11"), std::string::npos);
}

TEST(ConsolePlay, TheScalerMethodChoosesTheSourceAndOtherValuesRefuse) {
  const std::uint32_t rate = 8000, frames = 4000;
  const std::string in = Dir() + "/method_in.wav", out = Dir() + "/method_out.wav";
  WriteNoise(in, rate, frames);
  const DocumentPtr doc = OpenDocument(in);
  ASSERT_TRUE(doc);
  const std::vector<float> samples = FloatSamples(*doc);
  for (const std::uint32_t method : {0u, 1u, 2u}) {
    SCOPED_TRACE(method);
    playback::PlaySettings settings;
    settings.device = "file:" + out + "?fast";
    settings.scaler_speed = 3 * 65536 / 2;
    settings.scaler_method = method;
    playback::ClearNotices();
    const Error rc = playback::PlayDocumentRange(*doc, 0, frames, false, settings);
    if (method > 1) {
      EXPECT_EQ(rc, err::kUnsupportedFormat);
      EXPECT_FALSE(playback::PlaybackExists());
      continue;
    }
    ASSERT_EQ(rc, err::kOk);
    playback::PlayNotice n;
    while (playback::TakeNotice(&n, 10000) && n.kind != playback::PlayNotice::kEnd) {
    }
    playback::StopPlayback();
    const std::string file = ReadBytes(out);
    std::vector<std::int16_t> pcm((file.size() - 44) / 2);
    std::memcpy(pcm.data(), file.data() + 44, pcm.size() * 2);
    EXPECT_EQ(pcm, ScaledReference(samples, 2, rate, 1.5,
                                   method == 0 ? dsp::StretchMethod::kWsola : dsp::StretchMethod::kPhaseVocoder,
                                   rate / 20));
  }
}

}  // namespace
}  // namespace tidemark::testing
