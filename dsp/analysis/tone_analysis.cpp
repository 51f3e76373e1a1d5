#include "dsp/analysis/tone_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <numbers>

#include "dsp/fft/real_fft.h"

namespace tidemark::dsp {
namespace {

constexpr double kBlackmanHarris7[] = {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                                       0.01081174209837, 0.00077658482522, 0.00001388721735};
constexpr double kSignalBins = 8.0;  // the window's main lobe is 7 bins wide on either side
constexpr std::size_t kMinCount = 64;

}  // namespace

double MeasureSinadDb(const float* samples, std::size_t count, double rate, double tone_hz, double band_lo,
                      double band_hi) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (!samples || count < kMinCount || !(rate > 0.0) || !(band_lo >= 0.0) || !(band_hi > band_lo) ||
      !(tone_hz >= band_lo) || !(tone_hz <= band_hi))
    return nan;
  std::size_t n = 1;
  while (n * 2 <= count && n * 2 <= RealFft<double>::kMaxSize) n *= 2;
  const float* src = samples + (count - n) / 2;

  RealFft<double> fft;
  if (!fft.Init(n).ok()) return nan;
  std::unique_ptr<double[]> data(new (std::nothrow) double[n]);
  std::unique_ptr<double[]> work(new (std::nothrow) double[fft.work_size()]);
  if (!data || !work) return nan;
  double mean = 0.0;
  for (std::size_t i = 0; i < n; ++i) mean += src[i];
  mean /= static_cast<double>(n);
  const double step = 2.0 * std::numbers::pi / static_cast<double>(n);
  for (std::size_t i = 0; i < n; ++i) {
    // cos(k t) by the recurrence cos(k t) = 2 cos(t) cos((k - 1) t) - cos((k - 2) t).
    const double c1 = std::cos(step * static_cast<double>(i));
    double prev = 1.0, cur = c1, w = kBlackmanHarris7[0] - kBlackmanHarris7[1] * c1, sign = 1.0;
    for (int k = 2; k < 7; ++k) {
      const double next = 2.0 * c1 * cur - prev;
      prev = cur;
      cur = next;
      w += sign * kBlackmanHarris7[k] * cur;
      sign = -sign;
    }
    data[i] = (src[i] - mean) * w;
  }
  fft.Forward(data.get(), data.get(), work.get());

  const double bin_hz = rate / static_cast<double>(n);
  const double tone_bin = tone_hz / bin_hz;
  const std::size_t first = static_cast<std::size_t>(std::ceil(band_lo / bin_hz));
  const std::size_t last = std::min<std::size_t>(n / 2, static_cast<std::size_t>(std::floor(band_hi / bin_hz)));
  double signal = 0.0, noise = 0.0;
  for (std::size_t k = first; k <= last; ++k) {
    double p;
    if (k == 0)
      p = data[0] * data[0];
    else if (k == n / 2)
      p = data[1] * data[1];
    else
      p = data[2 * k] * data[2 * k] + data[2 * k + 1] * data[2 * k + 1];
    (std::fabs(static_cast<double>(k) - tone_bin) <= kSignalBins ? signal : noise) += p;
  }
  if (!(signal > 0.0)) return nan;
  if (noise == 0.0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(signal / noise);
}

}  // namespace tidemark::dsp
