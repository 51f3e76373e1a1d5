// Signals for the click removal tests: a music-like signal (tones with
// vibrato over pink noise), seeded clicks, and a run driven over a whole
// signal with its latency taken off.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "effects/restoration/declick_run.h"

namespace tidemark::testing {

// Three tones with 5-6 Hz vibrato (peak about 0.4) plus pink noise at
// -40 dB RMS (Kellet's filter on Gaussian noise), interleaved `channels`.
// Stereo channels hold the tones at different balances and their own noise.
inline std::vector<float> MusicLike(std::uint32_t frames, std::uint32_t rate, std::uint16_t channels,
                                    std::uint32_t seed) {
  std::vector<float> out(std::size_t{frames} * channels);
  std::mt19937 gen(seed);
  std::normal_distribution<double> white(0.0, 1.0);
  constexpr double kTones[3][4] = {{220.0, 0.16, 5.0, 0.006}, {330.0, 0.12, 5.7, 0.004}, {587.0, 0.08, 6.1, 0.005}};
  const double two_pi = 2.0 * std::numbers::pi;
  for (std::uint16_t c = 0; c < channels; ++c) {
    std::vector<double> pink(frames);
    double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0, power = 0;
    for (double& v : pink) {
      const double w = white(gen);
      b0 = 0.99886 * b0 + w * 0.0555179;
      b1 = 0.99332 * b1 + w * 0.0750759;
      b2 = 0.96900 * b2 + w * 0.1538520;
      b3 = 0.86650 * b3 + w * 0.3104856;
      b4 = 0.55000 * b4 + w * 0.5329522;
      b5 = -0.7616 * b5 - w * 0.0168980;
      v = b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362;
      b6 = w * 0.115926;
      power += v * v;
    }
    const double noise_gain = 0.01 / std::sqrt(power / frames);
    std::vector<double> phase(3, 0.0);
    for (std::uint32_t f = 0; f < frames; ++f) {
      double v = pink[f] * noise_gain;
      const double t = static_cast<double>(f) / rate;
      for (int k = 0; k < 3; ++k) {
        const double freq = kTones[k][0] * (1.0 + kTones[k][3] * std::sin(two_pi * kTones[k][2] * t));
        phase[k] += two_pi * freq / rate;
        v += kTones[k][1] * (c == 0 ? 1.0 : 0.6 + 0.3 * k) * std::sin(phase[k]);
      }
      out[std::size_t{f} * channels + c] = static_cast<float>(v);
    }
  }
  return out;
}

struct Click {
  std::uint32_t at = 0;      // first frame
  std::uint32_t length = 0;  // 1..40 frames
  std::uint16_t channel = 0;
};

// `count` clicks of 1..40 frames and peak 0.3..0.9 (random sign per frame,
// each frame 0.5..1 of the peak) added at seeded places at least 1500 frames
// apart, away from the signal's ends.
inline std::vector<Click> AddClicks(std::vector<float>& x, std::uint16_t channels, std::uint32_t count,
                                    std::uint32_t seed) {
  const auto frames = static_cast<std::uint32_t>(x.size() / channels);
  std::mt19937 gen(seed);
  const std::uint32_t slot = (frames - 8000) / count;
  std::vector<Click> clicks;
  for (std::uint32_t i = 0; i < count; ++i) {
    Click click;
    click.length = std::uniform_int_distribution<std::uint32_t>(1, 40)(gen);
    click.at = 4000 + i * slot + std::uniform_int_distribution<std::uint32_t>(0, slot - 1500)(gen);
    click.channel = static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, channels - 1)(gen));
    const double peak = std::uniform_real_distribution<double>(0.3, 0.9)(gen);
    for (std::uint32_t j = 0; j < click.length; ++j) {
      const double sign = std::bernoulli_distribution(0.5)(gen) ? 1.0 : -1.0;
      const double v = sign * peak * std::uniform_real_distribution<double>(0.5, 1.0)(gen);
      x[std::size_t{click.at + j} * channels + click.channel] += static_cast<float>(v);
    }
    clicks.push_back(click);
  }
  return clicks;
}

// Feeds `x` through `run` in blocks of `block` frames followed by the
// latency's worth of silence and returns the output aligned with `x`.
inline std::vector<float> RunAligned(CEffRun& run, const std::vector<float>& x, std::uint16_t channels,
                                     std::uint32_t mask, std::uint32_t block = 8192) {
  const std::size_t frames = x.size() / channels;
  const std::uint32_t latency = run.GetLatency();
  std::vector<float> buffer(x);
  buffer.resize((frames + latency) * channels, 0.0f);
  for (std::size_t at = 0; at < frames + latency;) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(block, frames + latency - at));
    EXPECT_EQ(run.Process(buffer.data() + at * channels, n, channels, mask), 0u);
    at += n;
  }
  return std::vector<float>(buffer.begin() + std::ptrdiff_t{latency} * channels, buffer.end());
}

inline std::unique_ptr<NS_EFFECT::CDeClick> MakeDeclick(std::uint32_t rate, std::uint16_t channels,
                                                        std::uint32_t length, bool link = true,
                                                        NS_EFFECT::DeclickSettings settings = {}) {
  std::unique_ptr<NS_EFFECT::CDeClick> run;
  EXPECT_EQ(NS_EFFECT::CDeClick::Create(rate, channels, length, settings, link, &run), 0u);
  return run;
}

}  // namespace tidemark::testing
