// Internal to the 1-bit filter: the byte tables of the first stage and the
// kernels that sum them.
//
// The first stage computes out[k] = gain x sum over i of kernel[i] x
// value[k x ratio + i], with value = +1 or -1 per 1-bit sample. Eight
// consecutive samples are one byte, so the sum splits into one partial sum
// per kernel byte j: table[j][b] = gain x sum over q < 8 of kernel[8j + q] x
// (bit 7 - q of b ? +1 : -1). An output is then one table look-up per input
// byte instead of one multiply-add per bit; the result is the direct sum up
// to single-precision rounding.
//
// The wide form serves four neighbouring outputs per look-up: row r of its
// table holds, for each byte value, the four partial sums that input byte r
// (counted from the first output's first byte) adds to outputs 0 to 3, zero
// where the byte lies outside an output's kernel. Four outputs then take
// (3 x step + kernel bytes) vector additions instead of 4 x kernel bytes
// scalar ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tidemark::NS_1BIT::lpf_detail {

// The narrow tables of an even-length `kernel` (a multiple of 8 taps): 256
// floats per kernel byte, each computed in double and rounded once.
std::vector<float> BuildByteTables(const std::vector<float>& kernel, float gain);

// out[k] = sum over j < table_count of tables[j x 256 + bytes[k x step + j]]
// for k < count; table_count is a multiple of 4.
void FirstStageNarrow(const float* tables, std::size_t table_count, const std::uint8_t* bytes, std::size_t step,
                      float* out, std::size_t count);

inline constexpr std::size_t kWideOutputs = 4;

// Rows of the wide table for `table_count` kernel bytes and `step` bytes
// per output.
constexpr std::size_t WideRows(std::size_t table_count, std::size_t step) {
  return (kWideOutputs - 1) * step + table_count;
}
// The wide table made from the narrow one: WideRows x 256 x 4 floats.
std::vector<float> BuildWideTables(const std::vector<float>& narrow, std::size_t table_count, std::size_t step);

// The same sums as FirstStageNarrow from the wide table. Reads no input
// byte past (count - 1) x step + table_count.
void FirstStageWide(const float* wide, std::size_t table_count, const std::uint8_t* bytes, std::size_t step,
                    float* out, std::size_t count);

}  // namespace tidemark::NS_1BIT::lpf_detail
