#include "views/terminal_overview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/error_numbers.h"

namespace tidemark::views {
namespace {

// The bit of the braille dot in cell column `x` (0, 1) and row `y` (0 to 3).
constexpr unsigned kDotBit[2][4] = {{0x01, 0x02, 0x04, 0x40}, {0x08, 0x10, 0x20, 0x80}};

void AppendBraille(std::string* out, unsigned bits) {
  const unsigned code = 0x2800 + bits;  // three UTF-8 bytes: E2 A0..A3 80..BF
  out->push_back(static_cast<char>(0xE0 | (code >> 12)));
  out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
  out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
}

std::string ChannelLabel(int channel, int channels) {
  if (channels == 2) return channel == 0 ? "L " : "R ";
  if (channels == 1) return "  ";
  std::string label = std::to_string(channel + 1);
  label.resize(2, ' ');
  return label;
}

// The dot row (0 the top) of level v in [-1, 1] among `dots` rows.
int DotRow(double v, int dots) { return static_cast<int>(std::lround((1.0 - v) * (dots - 1) / 2.0)); }

}  // namespace

Error RenderTerminalOverview(const SoundDocument& document, int width, int rows, const ViewProgress& progress,
                             std::string* text) {
  if (width < kMinOverviewWidth || width > kMaxOverviewWidth || rows < 1 || rows > kMaxOverviewRows ||
      document.length == 0)
    return err::kSizeLimit;
  const int cells = width - 2;
  const int dot_columns = cells * 2;
  ColumnPeaks peaks;
  if (const Error rc = ScanColumnPeaks(document, 0, document.length, dot_columns, progress, &peaks)) return rc;
  std::string& out = *text;
  out.clear();
  const int dots = rows * 4;
  std::vector<unsigned> grid(static_cast<std::size_t>(cells) * rows);
  for (int c = 0; c < document.channels; ++c) {
    std::fill(grid.begin(), grid.end(), 0u);
    for (int x = 0; x < dot_columns; ++x) {
      const std::size_t at = std::size_t(c) * peaks.buckets + peaks.BucketOfColumn(x, dot_columns);
      const int high = DotRow(peaks.max[at], dots), low = DotRow(peaks.min[at], dots);
      for (int y = high; y <= low; ++y)
        grid[static_cast<std::size_t>(y / 4) * cells + x / 2] |= kDotBit[x % 2][y % 4];
    }
    for (int r = 0; r < rows; ++r) {
      out += ChannelLabel(c, document.channels);
      for (int x = 0; x < cells; ++x) AppendBraille(&out, grid[static_cast<std::size_t>(r) * cells + x]);
      out += '\n';
    }
  }

  // The cell of absolute frame f.
  auto cell_of = [&](std::uint32_t f) {
    return std::min(cells - 1, static_cast<int>(std::uint64_t(f) * std::uint64_t(cells) / document.length));
  };
  std::string marks(static_cast<std::size_t>(cells), ' ');
  std::string numbers(static_cast<std::size_t>(cells), ' ');
  std::uint32_t sel_from = 0, sel_to = 0;
  GetSelection(document, &sel_from, &sel_to);
  if (sel_from < sel_to) {
    const int last = std::min(cells - 1, static_cast<int>((std::uint64_t(sel_to) * cells - 1) / document.length));
    for (int x = cell_of(sel_from); x <= last; ++x) marks[static_cast<std::size_t>(x)] = '=';
  }
  int number = 0;
  int free_from = 0;  // the first cell of the number line not yet written
  for (const Marker* m = document.markers.first(); m; m = m->next) {
    ++number;
    if (m->position > document.length) continue;
    const int x = cell_of(m->position);
    marks[static_cast<std::size_t>(x)] = '^';
    const std::string label = std::to_string(number);
    if (x >= free_from && x + static_cast<int>(label.size()) <= cells) {
      numbers.replace(static_cast<std::size_t>(x), label.size(), label);
      free_from = x + static_cast<int>(label.size()) + 1;
    }
  }
  out += "  " + marks + '\n';
  if (number > 0) out += "  " + numbers + '\n';
  char end[32];
  std::snprintf(end, sizeof end, "%.3f s", double(document.length) / document.rate);
  std::string times = "0 s";
  const std::size_t end_length = std::char_traits<char>::length(end);
  times.resize(std::max<std::size_t>(times.size() + 1, static_cast<std::size_t>(cells) - std::min<std::size_t>(end_length, cells)), ' ');
  out += "  " + times + end + '\n';
  return err::kOk;
}

}  // namespace tidemark::views
