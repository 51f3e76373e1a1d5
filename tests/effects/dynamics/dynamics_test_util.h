// Helpers of the dynamics tests: seeded music-like material and running a
// run over it in random block splits.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "effects/framework/effect_run.h"

namespace tidemark::testing {

// Stretches of 30..300 ms, each at its own level (-50..0 dB) holding a few
// partials and some noise, with short fades between: loud and quiet
// passages in a random order, so compressors attack and release.
inline std::vector<float> MusicLike(std::uint32_t rate, std::uint16_t channels, double seconds, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  std::normal_distribution<double> noise(0.0, 1.0);
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<float> out(frames * channels);
  std::size_t at = 0;
  double level = 0.0;
  while (at < frames) {
    const auto length = std::min(frames - at, static_cast<std::size_t>((0.03 + 0.27 * uni(gen)) * rate));
    const double next = std::pow(10.0, -2.5 * uni(gen));
    double freq[3];
    for (double& f : freq) f = 60.0 + 3000.0 * uni(gen) * uni(gen);
    const double noisy = 0.3 * uni(gen);
    for (std::size_t i = 0; i < length; ++i, ++at) {
      const double fade = std::min(1.0, static_cast<double>(i) / (0.005 * rate));
      const double a = level + (next - level) * fade;
      for (std::uint16_t c = 0; c < channels; ++c) {
        double v = noisy * noise(gen);
        for (int k = 0; k < 3; ++k) v += std::sin(2.0 * std::numbers::pi * freq[k] * static_cast<double>(at) / rate + c) / (k + 1);
        out[at * channels + c] = static_cast<float>(a * v * 0.5);
      }
    }
    level = next;
  }
  return out;
}

// Block sizes 0..max (empty blocks included) summing to `frames`.
inline std::vector<std::uint32_t> RandomSplit(std::uint32_t frames, std::uint32_t seed, std::uint32_t max = 3000) {
  std::mt19937 gen(seed);
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t left = frames; left > 0;) {
    const std::uint32_t n = std::min(left, std::uniform_int_distribution<std::uint32_t>(0, max)(gen));
    sizes.push_back(n);
    left -= n;
  }
  return sizes;
}

// `input` through `run` in blocks of `sizes` (all channels processed).
inline std::vector<float> RunSplit(CEffRun& run, std::vector<float> input, std::uint16_t channels,
                                   const std::vector<std::uint32_t>& sizes, std::uint32_t mask = ~0u) {
  std::size_t at = 0;
  for (std::uint32_t n : sizes) {
    EXPECT_EQ(run.Process(input.data() + at * channels, n, channels, mask), 0u);
    at += n;
  }
  return input;
}

inline std::vector<float> RunWhole(CEffRun& run, std::vector<float> input, std::uint16_t channels,
                                   std::uint32_t mask = ~0u) {
  const auto frames = static_cast<std::uint32_t>(input.size() / channels);
  return RunSplit(run, std::move(input), channels, {frames}, mask);
}

}  // namespace tidemark::testing
