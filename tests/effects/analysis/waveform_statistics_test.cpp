// Every key of the waveform information against numpy (/usr/bin/python3),
// computed there from the definitions: a selection inside a longer sound,
// one-frame selections, a full-scale square wave and selections shorter
// than the one-second window; and what the measurement refuses.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_codes.h"
#include "effects/analysis/waveform_statistics.h"
#include "tests/effects/level/level_fixture.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

class StatisticsTest : public testing::LevelEffectTest {};

constexpr const char* kPython = "/usr/bin/python3";

// "KEY" or "KEY" + channel digit → value.
using Keys = std::map<std::string, double>;

// What each key means, written once more from the definitions in numpy:
// the selection counts as preceded by silence for the one-second windows,
// and a window's position is its last frame (the first such on a tie).
constexpr const char* kScript = R"(
import sys
import numpy as np
path, ch, start, length, w = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
x = np.fromfile(path, dtype='<f4').astype(np.float64).reshape(-1, ch)[start:start + length]
n = x.shape[0]
a = np.abs(x).max(axis=1)
print('InstantPeak', repr(float(a.max())))
print('InstantPeakPos', int(np.argmax(a)) + start)
N = n * ch
print('Rms', repr(float(np.sqrt((x ** 2).sum() / (N - 1 if N > 1 else N)))))
p = (x ** 2).sum(axis=1)
cs = np.concatenate(([0.0], np.cumsum(p)))
ends = np.arange(1, n + 1)
ws = cs[ends] - cs[np.maximum(ends - w, 0)]
k = int(np.argmax(ws))
print('ShortRmsPeak', repr(float(np.sqrt(ws[k] / (w * ch)))))
print('ShortRmsPeakPos', k + start)
d = n - 1 if n > 1 else n
for c in range(ch):
    v = x[:, c]
    mean = v.sum() / n
    sq = (v ** 2).sum()
    print(f'InstantMax{c}', repr(float(v.max())))
    print(f'InstantMin{c}', repr(float(v.min())))
    print(f'Offset{c}', repr(float(mean)))
    print(f'MeanSquare{c}', repr(float(sq / d)))
    print(f'Variance{c}', repr(float((sq - n * mean * mean) / d)))
)";

bool HaveNumpy() { return std::system((std::string(kPython) + " -c 'import numpy' 2>/dev/null").c_str()) == 0; }

Keys NumpyKeys(const std::vector<float>& samples, std::uint16_t channels, std::uint32_t start, std::uint32_t length,
               std::uint32_t window) {
  const std::string dir = testing::MakeTempDir("stats");
  std::ofstream(dir + "/x.f32", std::ios::binary)
      .write(reinterpret_cast<const char*>(samples.data()), std::streamsize(samples.size() * sizeof(float)));
  std::ofstream(dir + "/stats.py") << kScript;
  const std::string command = std::string(kPython) + " " + dir + "/stats.py " + dir + "/x.f32 " +
                              std::to_string(channels) + " " + std::to_string(start) + " " +
                              std::to_string(length) + " " + std::to_string(window) + " > " + dir + "/out.txt";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  Keys keys;
  std::ifstream in(dir + "/out.txt");
  std::string key;
  for (double value; in >> key >> value;) keys[key] = value;
  return keys;
}

Keys OurKeys(const WaveformStatistics& s) {
  Keys keys{{"InstantPeak", s.instant_peak},
            {"InstantPeakPos", s.instant_peak_pos},
            {"Rms", s.rms},
            {"ShortRmsPeak", s.short_rms_peak},
            {"ShortRmsPeakPos", s.short_rms_peak_pos}};
  for (std::uint16_t c = 0; c < s.channels; ++c) {
    const std::string ch = std::to_string(c);
    keys["InstantMax" + ch] = s.channel[c].instant_max;
    keys["InstantMin" + ch] = s.channel[c].instant_min;
    keys["Offset" + ch] = s.channel[c].offset;
    keys["MeanSquare" + ch] = s.channel[c].mean_square;
    keys["Variance" + ch] = s.channel[c].variance;
  }
  return keys;
}

struct StatsCase {
  const char* what;
  std::uint16_t channels;
  std::uint32_t rate;  // the window
  std::vector<float> samples;
  std::uint32_t from, to;
};

std::vector<float> Busy(std::uint16_t channels, std::uint32_t frames, std::uint32_t seed) {
  std::vector<float> x = testing::RandomSamples(std::size_t{frames} * channels, seed, 0.4f);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const float envelope = (i / 3000) % 3 == 1 ? 2.0f : 1.0f;
    for (std::uint16_t c = 0; c < channels; ++c) {
      float& v = x[std::size_t{i} * channels + c];
      v = v * envelope + 0.05f * float(c + 1);
    }
  }
  return x;
}

std::vector<float> Square(std::uint16_t channels, std::uint32_t frames, std::uint32_t half_period) {
  std::vector<float> x(std::size_t{frames} * channels);
  for (std::uint32_t i = 0; i < frames; ++i)
    for (std::uint16_t c = 0; c < channels; ++c)
      x[std::size_t{i} * channels + c] = (i / half_period) % 2 ? -1.0f : 1.0f;
  return x;
}

class WaveformStatisticsVsNumpy : public testing::LevelEffectTest,
                                  public ::testing::WithParamInterface<StatsCase> {};

TEST_P(WaveformStatisticsVsNumpy, EveryKey) {
  TIDEMARK_REQUIRE_PEER_IF(HaveNumpy(), "/usr/bin/python3 with numpy");
  const StatsCase& p = GetParam();
  Open(p.samples, p.channels, p.rate);
  // Selected channels do not matter: the statistics measure all of them.
  SetChannelMask(*doc_, 1);
  ProgressScope scope;
  WaveformStatistics s;
  ASSERT_EQ(MeasureWaveform(scope, *doc_, p.from, p.to - p.from, "0", &s), err::kOk);
  const Keys want = NumpyKeys(p.samples, p.channels, p.from, p.to - p.from, p.rate);
  const Keys got = OurKeys(s);
  ASSERT_EQ(want.size(), got.size());
  for (const auto& [key, value] : want) {
    ASSERT_TRUE(got.count(key)) << key;
    const double ours = got.at(key);
    if (key.ends_with("Pos")) {
      EXPECT_EQ(ours, value) << key;
    } else {
      // The window's powers are kept as floats: their sum is good to a few
      // parts in 1e8; everything else is summed in double.
      const double relative = key.starts_with("ShortRms") ? 1e-6 : 1e-9;
      EXPECT_NEAR(ours, value, relative * std::max(1.0, std::fabs(value))) << key;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WaveformStatisticsVsNumpy,
    ::testing::Values(StatsCase{"stereo_inside", 2, 8000, Busy(2, 30000, 1), 1234, 25000},
                      StatsCase{"mono_whole", 1, 8000, Busy(1, 20000, 2), 0, 20000},
                      StatsCase{"stereo_one_frame", 2, 8000, Busy(2, 1000, 3), 500, 501},
                      StatsCase{"mono_one_frame", 1, 44100, Busy(1, 1000, 4), 999, 1000},
                      StatsCase{"stereo_square", 2, 8000, Square(2, 20000, 40), 0, 20000},
                      StatsCase{"stereo_shorter_than_window", 2, 8000, Busy(2, 5000, 5), 100, 3100},
                      StatsCase{"mono_shorter_than_window", 1, 44100, Busy(1, 50000, 6), 7000, 50000}),
    [](const auto& param_info) { return std::string(param_info.param.what); });

struct RefusalCase {
  const char* what;
  std::uint32_t start, length;
  const char* weighting;
  Error expected;
};

class WaveformStatisticsRefuses : public testing::LevelEffectTest,
                                  public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(WaveformStatisticsRefuses, BeforeAnythingRuns) {
  Open(Busy(2, 1000, 7), 2, 8000);
  testing::TestDisplay display(-1);
  SetProgressDisplay(&display);
  ProgressScope scope;
  WaveformStatistics s;
  s.rms = 123;
  EXPECT_EQ(MeasureWaveform(scope, *doc_, GetParam().start, GetParam().length, GetParam().weighting, &s),
            GetParam().expected);
  EXPECT_EQ(display.asked.load(), 0) << "no scan ran";
  EXPECT_EQ(s.rms, 123) << "the result is left alone";
}

INSTANTIATE_TEST_SUITE_P(Cases, WaveformStatisticsRefuses,
                         ::testing::Values(RefusalCase{"empty", 10, 0, "0", err::kNoSelection},
                                           RefusalCase{"past_the_end", 900, 101, "0", err::kSizeLimit},
                                           RefusalCase{"start_past_the_end", 1001, 1, "0", err::kSizeLimit},
                                           RefusalCase{"weighting_z", 0, 1000, "z", err::kSizeLimit}),
                         [](const auto& param_info) { return std::string(param_info.param.what); });

TEST_F(StatisticsTest, CancelDuringTheStatisticsScan) {
  Open(Busy(2, 100000, 8), 2, 8000);
  testing::TestDisplay display(2);
  SetProgressDisplay(&display);
  ProgressScope scope;
  WaveformStatistics s;
  EXPECT_EQ(MeasureWaveform(scope, *doc_, 0, 100000, "0", &s), err::kCancelled);
  EXPECT_EQ(display.asked.load(), 3);
}

}  // namespace
}  // namespace tidemark
