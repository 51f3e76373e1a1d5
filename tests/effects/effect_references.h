// References written here from the effects' definitions, in double
// precision, for the tests that compare an effect against them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace tidemark::testing {

// Where Pan's far microphone hears the source: the source at `angle` on a
// half circle of `distance` around two microphones `spacing` apart (both in
// 0.01 m).
struct MicrophoneModel {
  std::uint32_t delay;
  std::uint16_t far;
  double gain;
};

inline MicrophoneModel Microphones(int angle, int distance, int spacing, std::uint32_t rate) {
  const double position = angle / 90.0, r = distance / 100.0, s = spacing / 100.0;
  const double theta = (position + 1) * std::numbers::pi / 2;
  const double x = r * std::cos(theta), y = r * std::sin(theta);
  const double d1 = std::hypot(x - s / 2, y), d2 = std::hypot(x + s / 2, y);
  const double widest = std::floor(rate * 0.28 / 340.0 + 0.5);
  const double delay = std::floor(std::fabs(d2 - d1) * rate / 340.0 + 0.5);
  return {static_cast<std::uint32_t>(std::min(widest, delay)), std::uint16_t(position >= 0 ? 1 : 0),
          position >= 0 ? d2 / d1 : d1 / d2};
}

// The whole pan, stereo in and out: the widening against 10 ms of mid
// history, then the far channel delayed and scaled.
inline std::vector<double> ReferencePan(const std::vector<double>& in, const MicrophoneModel& m, bool widen,
                                        std::uint32_t rate) {
  const std::size_t frames = in.size() / 2, hn = rate / 100;
  const double w = widen ? 0.4 : 0.0;
  std::vector<double> out(in), h(hn, 0.0), line(m.delay, 0.0);
  std::size_t k = 0, q = 0;
  for (std::size_t f = 0; f < frames; ++f) {
    double* frame = &out[2 * f];
    if (w > 0) {
      const double mid = (frame[0] + frame[1]) * 0.5;
      frame[0] = mid + w * h[k];
      frame[1] = mid - w * h[k];
      h[k] = mid;
      k = (k + 1) % hn;
    }
    if (m.delay > 0) {
      const double now = frame[m.far];
      frame[m.far] = line[q] * m.gain;
      line[q] = now;
      q = (q + 1) % m.delay;
    }
  }
  return out;
}

// The delay line, one channel: feedback (the output fed back) or feed-forward.
inline std::vector<double> ReferenceDelay(const std::vector<double>& x, std::size_t d, double g, double a,
                                          bool forward) {
  std::vector<double> line(d, 0.0), y(x.size());
  std::size_t p = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (forward) {
      y[i] = a * (x[i] + g * line[p]);
      line[p] = x[i];
    } else {
      const double w = x[i] + g * line[p];
      line[p] = w;
      y[i] = a * w;
    }
    p = (p + 1) % d;
  }
  return y;
}

// A x sin(2 pi phi), phi advancing by f / rate and keeping its fraction.
inline std::vector<double> ReferenceSine(double f, double a, std::uint32_t rate, std::size_t frames) {
  std::vector<double> out(frames);
  double phi = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    out[i] = a * std::sin(2 * std::numbers::pi * phi);
    phi += f / rate;
    phi -= std::floor(phi);
  }
  return out;
}

}  // namespace tidemark::testing
