// Click removal against its quality goals on a music-like signal: clicks
// found, each repair close to the clean signal, and the clean signal left
// nearly alone.
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "tests/effects/restoration/declick_test_util.h"

namespace tidemark::testing {
namespace {

constexpr std::uint32_t kRate = 44100;

double Db(double ratio) { return 10.0 * std::log10(ratio); }

class DeclickQualitySeeds : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(DeclickQualitySeeds, FindsAndRepairsClicks) {
  constexpr std::uint32_t kFrames = kRate * 20;
  const std::vector<float> clean = MusicLike(kFrames, kRate, 1, GetParam());
  std::vector<float> clicked = clean;
  const std::vector<Click> clicks = AddClicks(clicked, 1, 50, GetParam() + 100);
  auto run = MakeDeclick(kRate, 1, kFrames);
  const std::vector<float> out = RunAligned(*run, clicked, 1, 1);

  std::uint32_t found = 0;
  double worst_margin = 1e9;
  for (const Click& click : clicks) {
    // The repaired stretch: the click's frames and every changed frame near it.
    std::uint32_t lo = click.at, hi = click.at + click.length;
    bool changed = false;
    for (std::uint32_t f = click.at - 100; f < click.at + click.length + 100; ++f) {
      if (out[f] == clicked[f]) continue;
      changed = true;
      lo = std::min(lo, f);
      hi = std::max(hi, f + 1);
    }
    if (!changed) continue;
    ++found;
    double click_energy = 0, error = 0;
    for (std::uint32_t f = click.at; f < click.at + click.length; ++f)
      click_energy += (double{clicked[f]} - clean[f]) * (double{clicked[f]} - clean[f]);
    for (std::uint32_t f = lo; f < hi; ++f) error += (double{out[f]} - clean[f]) * (double{out[f]} - clean[f]);
    const double margin = Db(click_energy / std::max(error, 1e-30));
    worst_margin = std::min(worst_margin, margin);
    EXPECT_GE(margin, 20.0) << "click at " << click.at << ", " << click.length << " frames";
  }
  std::printf("found %u of %zu clicks, worst repair %.1f dB below the click\n", found, clicks.size(), worst_margin);
  EXPECT_GE(found, 48u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, DeclickQualitySeeds, ::testing::Values(5u, 11u, 12u, 13u, 14u, 15u, 16u, 17u));

TEST(DeclickQuality, CleanSignalIsNearlyUntouched) {
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
  std::printf("clean minute: %llu detections, change %.1f dB\n",
              static_cast<unsigned long long>(run->repaired()), change_db);
  EXPECT_LE(run->repaired(), 2u);
  EXPECT_LT(change_db, -60.0);
}

}  // namespace
}  // namespace tidemark::testing
