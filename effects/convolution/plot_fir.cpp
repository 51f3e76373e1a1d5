#include "effects/convolution/plot_fir.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>

#include "core/document/sound_document.h"
#include "dsp/fft/real_fft.h"
#include "effects/convolution/part_conv.h"
#include "effects/framework/settings_dialog.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT_FIRPLOT {

namespace {

constexpr std::uint32_t kFallbackRate = 44100;
constexpr std::string_view kInterpWords[] = {"linear", "log"};
constexpr std::array<SettingsField, 2> kFields{{
    {.name = "interp", .type = FieldType::kU8, .offset = 0, .min = 0, .max = 1, .def = 1, .words = kInterpWords},
    {.name = "wide", .type = FieldType::kU8, .offset = 1, .min = 0, .max = 1, .def = 1, .flag = true},
}};
constexpr SettingsText kText{.name = "points", .wide_flag_offset = 1};
constexpr SettingsLayout kLayout{kBlockSize, kFields, &kText};

constexpr std::size_t kMinTransform = 256;
constexpr std::size_t kMaxTransform = std::size_t{1} << 18;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool Number(std::string_view s, double* v) {
  s = Trim(s);
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *v);
  return ec == std::errc() && end == s.data() + s.size() && std::isfinite(*v);
}

}  // namespace

bool ParsePoints(std::string_view text, std::uint32_t rate, std::vector<Point>* points, std::string* why) {
  points->clear();
  if (Trim(text).empty()) return true;  // no points: flat
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string_view item = Trim(text.substr(at, comma - at));
    at = comma + 1;
    if (item.empty() && comma == text.size() && !points->empty()) break;  // a trailing comma
    const std::size_t colon = item.find(':');
    Point p;
    if (colon == std::string_view::npos || !Number(item.substr(0, colon), &p.hz) ||
        !Number(item.substr(colon + 1), &p.db)) {
      *why = "malformed point \"" + std::string(item) + "\" (FREQUENCY:DB)";
      return false;
    }
    if (!(p.hz > 0) || p.hz > rate / 2.0) {
      *why = "frequency " + std::string(item.substr(0, colon)) + " outside 0.." + std::to_string(rate / 2) + " Hz";
      return false;
    }
    if (p.db < -120 || p.db > 24) {
      *why = "gain " + std::string(item.substr(colon + 1)) + " outside -120..24 dB";
      return false;
    }
    points->push_back(p);
  }
  std::sort(points->begin(), points->end(), [](const Point& a, const Point& b) { return a.hz < b.hz; });
  for (std::size_t i = 1; i < points->size(); ++i) {
    if ((*points)[i].hz == (*points)[i - 1].hz) {
      *why = "frequency " + std::to_string((*points)[i].hz) + " given twice";
      return false;
    }
  }
  return true;
}

Error DesignDrawnFir(const std::vector<Point>& points, bool logarithmic, std::uint32_t rate,
                     std::vector<float>* taps) {
  if (rate == 0) return kPointsUnusable;
  if (points.empty()) return TryAlloc([&] { taps->assign(1, 1.0f); });
  std::size_t m = kMinTransform;
  while (m < kMaxTransform && static_cast<double>(m) < 4.0 * rate / points.front().hz) m *= 2;
  const auto gain_db = [&](double f) {
    if (f <= points.front().hz) return points.front().db;
    if (f >= points.back().hz) return points.back().db;
    const auto hi = std::upper_bound(points.begin(), points.end(), f,
                                     [](double v, const Point& p) { return v < p.hz; });
    const Point& b = *hi;
    const Point& a = *(hi - 1);
    const double t = logarithmic ? std::log(f / a.hz) / std::log(b.hz / a.hz) : (f - a.hz) / (b.hz - a.hz);
    return a.db + t * (b.db - a.db);
  };
  return TryAlloc([&]() -> Error {
    dsp::RealFft<double> fft;
    if (const Error rc = fft.Init(m)) return rc;
    std::vector<double> spectrum(m), h(m), work(fft.work_size());
    const auto amp = [&](std::size_t k) { return std::pow(10.0, gain_db(static_cast<double>(k) * rate / static_cast<double>(m)) / 20.0); };
    spectrum[0] = amp(0);
    spectrum[1] = amp(m / 2);
    for (std::size_t k = 1; k < m / 2; ++k) {
      spectrum[2 * k] = amp(k);  // zero phase: real spectrum
      spectrum[2 * k + 1] = 0.0;
    }
    fft.Inverse(spectrum.data(), h.data(), work.data());
    // Centre the zero-phase response at m / 2 - 1 of m - 1 taps.
    const std::size_t n = m - 1;
    taps->assign(n, 0.0f);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t src = (i + m - (n - 1) / 2) % m;
      const double x = 2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1);
      const double w = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x);
      (*taps)[i] = static_cast<float>(h[src] / static_cast<double>(m) * w);
    }
    return err::kOk;
  });
}

CMyEffEntry::CMyEffEntry() : CEffEntry(311) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  mine.rate = mine.target ? mine.target->rate : kFallbackRate;
  std::vector<Point> points;
  std::string why;
  if (!ParsePoints(GetBlockText(kLayout, block), mine.rate, &points, &why)) {
    if (SettingsDialog* dialog = CurrentSettingsDialog()) dialog->ShowProblem(*this, "The points cannot be used: " + why);
    return kPointsUnusable;
  }
  return DesignDrawnFir(points, GetField(kFields[0], block.bytes) != 0, mine.rate, &mine.taps);
}

Error CMyEffEntry::CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) {
  const auto& p = static_cast<const MySetupParams&>(params);
  if (p.taps.empty()) return kPointsUnusable;
  const float* taps = p.taps.data();
  const auto n = static_cast<std::uint32_t>(p.taps.size());
  return NS_EFFECT::MakeConvolutionRun(&taps, n, 1, p.input_channels, p.rate, false, (n - 1) / 2, false, run, scope);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_FIRPLOT
