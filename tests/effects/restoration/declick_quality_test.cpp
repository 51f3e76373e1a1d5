// Click removal against its quality goals on a music-like signal, mono and
// linked stereo: clicks found, each repair close to the clean signal in
// both channels, and the clean signal left nearly alone.
#include <cmath>
#include <cstdio>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/effects/restoration/declick_test_util.h"

namespace tidemark::testing {
namespace {

constexpr std::uint32_t kRate = 44100;

double Db(double ratio) { return 10.0 * std::log10(ratio); }

class DeclickQuality : public ::testing::TestWithParam<std::tuple<std::uint16_t, std::uint32_t>> {};

TEST_P(DeclickQuality, FindsAndRepairsClicks) {
  const auto [channels, seed] = GetParam();
  constexpr std::uint32_t kFrames = kRate * 20;
  const std::vector<float> clean = MusicLike(kFrames, kRate, channels, seed);
  std::vector<float> clicked = clean;
  const std::vector<Click> clicks = AddClicks(clicked, channels, 50, seed + 100);
  auto run = MakeDeclick(kRate, channels, kFrames);
  const std::vector<float> out = RunAligned(*run, clicked, channels, channels == 2 ? 3 : 1);
  const auto at = [&](std::uint32_t f, std::uint16_t c) { return std::size_t{f} * channels + c; };

  std::uint32_t found = 0;
  double worst = 1e9;
  for (const Click& click : clicks) {
    // The repaired stretch: the click's frames and every frame changed near
    // it; the error counts in both channels.
    std::uint32_t lo = click.at, hi = click.at + click.length;
    for (std::uint32_t f = click.at - 100; f < click.at + click.length + 100; ++f) {
      for (std::uint16_t c = 0; c < channels; ++c) {
        if (out[at(f, c)] == clicked[at(f, c)]) continue;
        lo = std::min(lo, f);
        hi = std::max(hi, f + 1);
      }
    }
    if (out[at(click.at, click.channel)] == clicked[at(click.at, click.channel)]) continue;
    ++found;
    double click_energy = 0, error = 0;
    for (std::uint32_t f = click.at; f < click.at + click.length; ++f) {
      const double d = double{clicked[at(f, click.channel)]} - clean[at(f, click.channel)];
      click_energy += d * d;
    }
    for (std::uint32_t f = lo; f < hi; ++f) {
      for (std::uint16_t c = 0; c < channels; ++c) {
        const double d = double{out[at(f, c)]} - clean[at(f, c)];
        error += d * d;
      }
    }
    const double margin = Db(click_energy / std::max(error, 1e-30));
    worst = std::min(worst, margin);
    EXPECT_GE(margin, 20.0) << "click at " << click.at << ", " << click.length << " frames";
  }
  std::printf("%u channel(s): found %u of %zu clicks, worst repair %.1f dB below the click\n", channels, found,
              clicks.size(), worst);
  EXPECT_GE(found, 48u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, DeclickQuality,
                         ::testing::Combine(::testing::Values(std::uint16_t{1}, std::uint16_t{2}),
                                            ::testing::Values(5u, 11u, 13u, 15u)));

TEST(DeclickQualityClean, CleanSignalIsNearlyUntouched) {
  constexpr std::uint32_t kFrames = kRate * 60;
  const std::vector<float> clean = MusicLike(kFrames, kRate, 1, 7);
  auto run = MakeDeclick(kRate, 1, kFrames);
  const std::vector<float> out = RunAligned(*run, clean, 1, 1);
  double change = 0, power = 0;
  for (std::size_t f = 0; f < clean.size(); ++f) {
    change += (double{out[f]} - clean[f]) * (double{out[f]} - clean[f]);
    power += double{clean[f]} * clean[f];
  }
  const double change_db = Db(std::max(change, 1e-30) / power);
  std::printf("clean minute: %llu detections, change %.1f dB\n", static_cast<unsigned long long>(run->repaired()),
              change_db);
  EXPECT_LE(run->repaired(), 2u);
  EXPECT_LT(change_db, -60.0);
}

}  // namespace
}  // namespace tidemark::testing
