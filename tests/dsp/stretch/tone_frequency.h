// Measurements of test tones shared by the stretch and pitch tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace tidemark::testing {

// The mean frequency of a tone over frames [from, to) of channel `c`:
// upward zero crossings, each placed by linear interpolation; 0 when fewer
// than two are found.
inline double ZeroCrossingHz(const std::vector<float>& x, std::size_t channels, std::size_t c, std::size_t from,
                             std::size_t to, double rate) {
  double first = -1, last = -1;
  std::size_t count = 0;
  for (std::size_t i = from + 1; i < to; ++i) {
    const double a = x[(i - 1) * channels + c], b = x[i * channels + c];
    if (a < 0 && b >= 0) {
      const double at = static_cast<double>(i - 1) + a / (a - b);
      if (count == 0) first = at;
      last = at;
      ++count;
    }
  }
  return count < 2 ? 0.0 : static_cast<double>(count - 1) / (last - first) * rate;
}

// The Hann-windowed DFT magnitude of channel 0 of frames [from, to) at `hz`.
inline double AmplitudeAt(const std::vector<float>& x, std::size_t channels, std::size_t from, std::size_t to,
                          double hz, double rate) {
  double re = 0, im = 0;
  const double n = static_cast<double>(to - from);
  for (std::size_t i = from; i < to; ++i) {
    const double k = static_cast<double>(i - from);
    const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * k / n);
    const double phase = 2 * std::numbers::pi * hz * k / rate;
    re += w * x[i * channels] * std::cos(phase);
    im -= w * x[i * channels] * std::sin(phase);
  }
  return std::hypot(re, im) * 4 / n;
}

inline std::vector<float> Tone(double hz, double rate, std::size_t frames, std::size_t channels, float amplitude = 0.5f) {
  std::vector<float> x(frames * channels);
  for (std::size_t i = 0; i < frames; ++i)
    for (std::size_t c = 0; c < channels; ++c)
      x[i * channels + c] = amplitude * static_cast<float>(std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate));
  return x;
}

}  // namespace tidemark::testing
