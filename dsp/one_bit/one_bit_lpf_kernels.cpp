#include "dsp/one_bit/internal/one_bit_lpf_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tidemark::NS_1BIT::lpf_detail {

std::vector<float> BuildByteTables(const std::vector<float>& kernel, float gain) {
  const std::size_t count = kernel.size() / 8;
  std::vector<float> tables(count * 256);
  for (std::size_t j = 0; j < count; ++j) {
    const float* k = kernel.data() + 8 * j;
    for (unsigned b = 0; b < 256; ++b) {
      double sum = 0.0;
      for (unsigned q = 0; q < 8; ++q) {
        const double v = static_cast<double>(k[q]);
        sum += (b & (0x80u >> q)) ? v : -v;
      }
      tables[j * 256 + b] = static_cast<float>(sum * static_cast<double>(gain));
    }
  }
  return tables;
}

void FirstStageNarrow(const float* tables, std::size_t table_count, const std::uint8_t* bytes, std::size_t step,
                      float* out, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint8_t* p = bytes + k * step;
    const float* t = tables;
    // Four independent sums keep the table loads from waiting on each other.
    float a0 = 0.0f, a1 = 0.0f, a2 = 0.0f, a3 = 0.0f;
    for (std::size_t j = 0; j < table_count; j += 4, t += 1024) {
      a0 += t[p[j]];
      a1 += t[256 + p[j + 1]];
      a2 += t[512 + p[j + 2]];
      a3 += t[768 + p[j + 3]];
    }
    out[k] = (a0 + a1) + (a2 + a3);
  }
}

std::vector<float> BuildWideTables(const std::vector<float>& narrow, std::size_t table_count, std::size_t step) {
  const std::size_t rows = WideRows(table_count, step);
  std::vector<float> wide(rows * 256 * kWideOutputs, 0.0f);
  for (std::size_t r = 0; r < rows; ++r)
    for (std::size_t e = 0; e < kWideOutputs; ++e) {
      if (r < step * e || r - step * e >= table_count) continue;
      const float* src = narrow.data() + (r - step * e) * 256;
      for (std::size_t b = 0; b < 256; ++b) wide[(r * 256 + b) * kWideOutputs + e] = src[b];
    }
  return wide;
}

void FirstStageWide(const float* wide, std::size_t table_count, const std::uint8_t* bytes, std::size_t step,
                    float* out, std::size_t count) {
  const std::size_t rows = WideRows(table_count, step);
  std::size_t k = 0;
  for (; k + kWideOutputs <= count; k += kWideOutputs) {
    const std::uint8_t* p = bytes + k * step;
#if defined(__SSE2__)
    __m128 a0 = _mm_setzero_ps(), a1 = _mm_setzero_ps();
    std::size_t r = 0;
    for (; r + 1 < rows; r += 2) {
      a0 = _mm_add_ps(a0, _mm_loadu_ps(wide + (r * 256 + p[r]) * kWideOutputs));
      a1 = _mm_add_ps(a1, _mm_loadu_ps(wide + ((r + 1) * 256 + p[r + 1]) * kWideOutputs));
    }
    if (r < rows) a0 = _mm_add_ps(a0, _mm_loadu_ps(wide + (r * 256 + p[r]) * kWideOutputs));
    _mm_storeu_ps(out + k, _mm_add_ps(a0, a1));
#else
    float a[kWideOutputs] = {};
    for (std::size_t r = 0; r < rows; ++r) {
      const float* v = wide + (r * 256 + p[r]) * kWideOutputs;
      for (std::size_t e = 0; e < kWideOutputs; ++e) a[e] += v[e];
    }
    for (std::size_t e = 0; e < kWideOutputs; ++e) out[k + e] = a[e];
#endif
  }
  // The last outputs one at a time: lane 0 of the first table_count rows is
  // the narrow table, and reading further would pass the block.
  for (; k < count; ++k) {
    const std::uint8_t* p = bytes + k * step;
    float a = 0.0f;
    for (std::size_t r = 0; r < table_count; ++r) a += wide[(r * 256 + p[r]) * kWideOutputs];
    out[k] = a;
  }
}

}  // namespace tidemark::NS_1BIT::lpf_detail
