// The pictures drawn in memory: refused sizes and settings, the selection
// and markers, the spectrogram's level calibration, the terminal overview.
// tests/views/picture_test.py checks the PNG files the console writes.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/markers/marker.h"
#include "platform/error_numbers.h"
#include "tests/views/view_test_util.h"
#include "views/internal/picture_frame.h"
#include "views/spectrogram_picture.h"
#include "views/terminal_overview.h"
#include "views/waveform_picture.h"

namespace tidemark::testing {
namespace {

std::vector<float> Sine(std::uint32_t frames, double hz, double amplitude, std::uint32_t rate) {
  std::vector<float> x(frames);
  for (std::uint32_t i = 0; i < frames; ++i)
    x[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate));
  return x;
}

int Brightness(views::Rgb c) { return c.r + c.g + c.b; }

TEST(Pictures, RefuseBadSizesRangesAndSettings) {
  const DocumentPtr doc = FloatDocument(std::vector<float>(4000, 0.1f), 1, 8000);
  struct Case {
    int width, height;
    std::uint32_t from, to, fft;
    double overlap;
    Error want;
  };
  const Case cases[] = {{0, 100, 0, 4000, 1024, 0.5, err::kSizeLimit},      {100, -4, 0, 4000, 1024, 0.5, err::kSizeLimit},
                        {16385, 100, 0, 4000, 1024, 0.5, err::kSizeLimit},  {100, 100, 10, 10, 1024, 0.5, err::kSizeLimit},
                        {100, 100, 0, 4001, 1024, 0.5, err::kSizeLimit},    {100, 100, 0, 4000, 1000, 0.5, err::kSizeLimit},
                        {100, 100, 0, 4000, 32768, 0.5, err::kSizeLimit},   {100, 100, 0, 4000, 1024, 0.96, err::kSizeLimit},
                        {16384, 50, 7, 8, 16384, 0.95, err::kOk},           {20, 16384, 0, 1, 256, 0, err::kOk}};
  for (const Case& c : cases) {
    views::Raster picture;
    const views::SpectrogramOptions s{c.width, c.height, c.fft, views::SpectrumWindow::kHann, c.overlap, -120, false};
    EXPECT_EQ(views::RenderSpectrogram(*doc, c.from, c.to, s, nullptr, &picture), c.want) << c.width << "x" << c.height;
    if (c.want != err::kOk && (c.fft != 1024 || c.overlap != 0.5)) continue;  // refused for the FFT alone
    const views::WaveformOptions w{c.width, c.height, false, -60};
    EXPECT_EQ(views::RenderWaveform(*doc, c.from, c.to, w, nullptr, &picture), c.want) << c.width << "x" << c.height;
  }
}

TEST(Pictures, WaveformShadesTheSelectionAndDrawsMarkers) {
  constexpr std::uint32_t kFrames = 8000;
  DocumentPtr doc = FloatDocument(std::vector<float>(kFrames, 0.0f), 1, 8000);
  SetSelection(*doc, 2000, 4000);
  doc->markers.PushFrontAdopt(NewMarker("Chorus", "", 6000));
  views::WaveformOptions o;
  o.width = 430;  // 400 plot columns: 20 frames each
  o.height = 100;
  views::Raster p;
  ASSERT_EQ(views::RenderWaveform(*doc, 0, kFrames, o, nullptr, &p), 0u);
  const views::internal::PictureLayout l = views::internal::LayoutPicture(o.width, o.height, 1);
  ASSERT_EQ(l.plot_width, 400);
  const int y = l.plot_height / 4;  // away from the centre line and the labels
  for (int x = 0; x < l.plot_width; ++x) {
    const views::Rgb want = x == 300 ? views::internal::kMarkerColour
                            : (x >= 100 && x < 200) ? views::kSelectionBackground
                                                    : views::kPaneBackground;
    ASSERT_EQ(p.Get(l.plot_x + x, y), want) << "column " << x;
  }
  // The label sits right of the line, in the marker's colour.
  int labelled = 0;
  for (int x = l.plot_x + 301; x < l.plot_x + 330; ++x)
    for (int row = 0; row < 8; ++row) labelled += p.Get(x, row) == views::internal::kMarkerColour;
  EXPECT_GT(labelled, 20);
}

TEST(Pictures, SpectrogramColoursRiseWithLevelAndFullScaleSineReadsZeroDb) {
  for (double db = -119; db <= 0; db += 1)
    ASSERT_GE(Brightness(views::SpectrogramColour(db, -120)), Brightness(views::SpectrogramColour(db - 1, -120)));
  EXPECT_EQ(views::SpectrogramColour(-500, -120), views::SpectrogramColour(-120, -120));
  // 1000 Hz at 8192 Hz with 2048 points lies on bin 250: no scalloping loss.
  for (const views::SpectrumWindow window : {views::SpectrumWindow::kHann, views::SpectrumWindow::kBlackmanHarris}) {
    const DocumentPtr doc = FloatDocument(Sine(16384, 1000, 1.0, 8192), 1, 8192);
    views::SpectrogramOptions o;
    o.width = 100;
    o.height = 400;
    o.window = window;
    views::Raster p;
    ASSERT_EQ(views::RenderSpectrogram(*doc, 0, doc->length, o, nullptr, &p), 0u);
    const views::internal::PictureLayout l = views::internal::LayoutPicture(o.width, o.height, 1);
    int brightest = 0;
    for (int y = 0; y < l.plot_height; ++y) brightest = std::max(brightest, Brightness(p.Get(l.plot_x + 50, y)));
    EXPECT_LE(brightest, Brightness(views::SpectrogramColour(0.05, -120)));
    EXPECT_GE(brightest, Brightness(views::SpectrogramColour(-0.5, -120)));
  }
}

// Code points of one UTF-8 line.
std::size_t Characters(const std::string& line) {
  std::size_t n = 0;
  for (const char c : line) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

TEST(TerminalOverview, DrawsLevelsSelectionAndMarkersInTheGivenWidth) {
  constexpr std::uint32_t kFrames = 4000;
  std::vector<float> x(std::size_t{kFrames} * 2);
  for (std::uint32_t i = 0; i < kFrames; ++i) {
    x[2 * i] = (i % 2) ? 1.0f : -1.0f;  // full scale: every dot of every cell
    x[2 * i + 1] = 0;                    // silence: the middle dot row only
  }
  DocumentPtr doc = FloatDocument(x, 2, 8000);
  SetSelection(*doc, 1000, 2000);
  doc->markers.PushFrontAdopt(NewMarker("", "", 3000));
  std::string text;
  ASSERT_EQ(views::RenderTerminalOverview(*doc, 42, 2, nullptr, &text), 0u);  // 40 cells, 100 frames each
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(text.substr(at, end - at));
  ASSERT_EQ(lines.size(), 7u);  // 2 x 2 braille rows, marks, numbers, times
  for (const std::string& line : lines) EXPECT_EQ(Characters(line), 42u) << line;
  auto row = [](const char* label, const char* cell) {
    std::string line = label;
    for (int i = 0; i < 40; ++i) line += cell;
    return line;
  };
  // Silence: 8 dot rows put level 0 at row round(3.5) = 4, the lower cell's top dots.
  EXPECT_EQ(lines[0], row("L ", "\u28FF"));
  EXPECT_EQ(lines[1], row("L ", "\u28FF"));
  EXPECT_EQ(lines[2], row("R ", "\u2800"));
  EXPECT_EQ(lines[3], row("R ", "\u2809"));
  EXPECT_EQ(lines[4], "  " + std::string(10, ' ') + std::string(10, '=') + std::string(10, ' ') + "^" +
                          std::string(9, ' '));
  EXPECT_EQ(lines[5], "  " + std::string(30, ' ') + "1" + std::string(9, ' '));
  EXPECT_EQ(lines[6].substr(0, 5), "  0 s");
  EXPECT_EQ(lines[6].substr(lines[6].size() - 7), "0.500 s");

  for (const int width : {0, 11, 1001})
    EXPECT_EQ(views::RenderTerminalOverview(*doc, width, 2, nullptr, &text), err::kSizeLimit) << width;
  const DocumentPtr empty = FloatDocument({}, 1);
  EXPECT_EQ(views::RenderTerminalOverview(*empty, 80, 2, nullptr, &text), err::kSizeLimit);
}

}  // namespace
}  // namespace tidemark::testing
