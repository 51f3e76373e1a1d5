// An RGB picture in memory, 8 bits a component, rows top to bottom.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/alloc.h"
#include "platform/error.h"

namespace tidemark::views {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};

class Raster {
 public:
  // Makes a `width` x `height` picture filled with `fill`; 2 when memory
  // runs out (the picture is then empty).
  [[nodiscard]] Error Allocate(int width, int height, Rgb fill) {
    const Error rc = TryAlloc([&] { pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0); });
    if (rc) return rc;
    width_ = width;
    height_ = height;
    FillRect(0, 0, width, height, fill);
    return err::kOk;
  }

  int width() const { return width_; }
  int height() const { return height_; }
  const std::uint8_t* row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 3; }
  std::uint8_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 3; }

  // Points outside the picture are ignored, so callers need not clip.
  void Set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 3;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }
  Rgb Get(int x, int y) const {
    const std::uint8_t* p = row(y) + static_cast<std::size_t>(x) * 3;
    return {p[0], p[1], p[2]};
  }
  void FillRect(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = y0 < 0 ? 0 : y0; y < y1 && y < height_; ++y)
      for (int x = x0 < 0 ? 0 : x0; x < x1 && x < width_; ++x) Set(x, y, c);
  }
  void VerticalLine(int x, int y0, int y1, Rgb c) { FillRect(x, y0, x + 1, y1, c); }
  void HorizontalLine(int x0, int x1, int y, Rgb c) { FillRect(x0, y, x1, y + 1, c); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace tidemark::views
