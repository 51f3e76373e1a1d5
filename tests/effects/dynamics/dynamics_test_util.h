// Helpers of the dynamics tests: seeded music-like material, random block
// splits.
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

// Stretches of 30..300 ms, each at its own level (-50..0 dB) with three
// partials and some noise, 5 ms fades between: loud and quiet passages in
// random order, so compressors attack and release.
inline std::vector<float> MusicLike(std::uint32_t rate, std::uint16_t channels, double seconds, std::uint32_t seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  std::normal_distribution<double> noise(0.0, 1.0);
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<float> out(frames * channels);
  double level = 0.0;
  for (std::size_t at = 0; at < frames;) {
    const auto length = std::min(frames - at, static_cast<std::size_t>((0.03 + 0.27 * uni(gen)) * rate));
    const double next = std::pow(10.0, -2.5 * uni(gen)), noisy = 0.3 * uni(gen);
    double freq[3];
    for (double& f : freq) f = 2.0 * std::numbers::pi * (60.0 + 3000.0 * uni(gen) * uni(gen)) / rate;
    for (std::size_t i = 0; i < length; ++i, ++at) {
      const double a = level + (next - level) * std::min(1.0, static_cast<double>(i) / (0.005 * rate));
      for (std::uint16_t c = 0; c < channels; ++c) {
        double v = noisy * noise(gen);
        for (int k = 0; k < 3; ++k) v += std::sin(freq[k] * static_cast<double>(at) + c) / (k + 1);
        out[at * channels + c] = static_cast<float>(a * v * 0.5);
      }
    }
    level = next;
  }
  return out;
}

// `input` through `run` in seeded random blocks of 0..max frames (one block
// with seed 0).
inline std::vector<float> RunSplit(CEffRun& run, std::vector<float> input, std::uint16_t channels,
                                   std::uint32_t seed = 0, std::uint32_t max = 3000) {
  std::mt19937 gen(seed);
  const std::size_t frames = input.size() / channels;
  for (std::size_t at = 0; at < frames;) {
    const auto n = static_cast<std::uint32_t>(
        seed ? std::min<std::size_t>(frames - at, std::uniform_int_distribution<std::uint32_t>(0, max)(gen)) : frames);
    EXPECT_EQ(run.Process(input.data() + at * channels, n, channels, ~0u), 0u);
    at += n;
  }
  return input;
}

}  // namespace tidemark::testing
