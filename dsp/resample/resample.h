// Sample-rate conversion by polyphase windowed sinc.
//
// A conversion from input rate I to output rate O is reduced by their
// greatest common divisor g to I' = I / g and O' = O / g. Output frame k
// (counted from the first output) is the band-limited input at position
// (k - GetOutputLatency()) x I' / O', so dropping the first
// GetOutputLatency() frames lines the output up with the input exactly.
//
// Two implementations sit behind CResample:
//   CResampleStd    a Kaiser-windowed sinc cut at the input's Nyquist
//                   frequency, stored as min(O', 2046) phases (output
//                   positions between stored phases interpolate linearly
//                   between the two neighbouring phases); when the output
//                   rate is the lower one, a separate windowed-sinc
//                   pre-filter on the input cuts at the output's Nyquist
//                   frequency first.
//   CResampleDecim  for O' < 9: one windowed sinc cut at the lower Nyquist
//                   frequency, evaluated only at the O' output phases.
//
// Kernel length: taps = (A - 7.95) / (14.36 x delta) rounded to the
// nearest integer, delta = min(transition_hz / I, 0.5); raised to the
// length the quality asks for when that is longer, then rounded up to a
// multiple of 8 (the vector loops have no tail). A is the stopband option
// plus a design margin of 10 dB (a Kaiser design only just reaches its
// attenuation at the edge of the stop band).
//
// Quality (the pass band, as a fraction of the lower Nyquist frequency,
// that stays flat within 0.05 dB; the kernel is lengthened until its
// transition band starts there):
//   0 fast      the transition width alone (about 0.86 at 44.1 kHz)
//   1 standard  0.87   (the default)
//   2 best      0.95, the attenuation raised to at least 160 dB and the
//               inner loop in double precision
// Defaults (the settings' "Resample" value "1,120,6000"): standard
// quality, 120 dB stop band, 6000 Hz transition width, single precision.
//
// Non-finite input samples (NaN, infinity) are read as 0, so that they
// never reach the histories and later output.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/error.h"

namespace tidemark::dsp {

struct ResampleOptions {
  std::uint16_t quality = 1;        // 0 fast, 1 standard, 2 best
  std::uint16_t stopband_db = 120;  // 40..200
  std::uint8_t precision = 0;       // 1: double-precision inner loop
  std::uint8_t flags = 0;           // kResampleNoVector
  std::uint32_t transition_hz = 6000;
};

// Option flag: the portable inner loops only, never the AVX2 variants.
inline constexpr std::uint8_t kResampleNoVector = 1;

// The options from the settings' "Resample" value (quality, stopband dB,
// transition Hz); values out of range fall back to the defaults.
ResampleOptions ResampleOptionsFrom(std::int32_t quality, std::int32_t stopband_db,
                                    std::int32_t transition_hz);

// The pass band the quality keeps flat, as a fraction of the lower Nyquist
// frequency (0 for the fast quality: the transition width alone decides).
double ResampleBandwidth(std::uint16_t quality);

class CResample {
 public:
  virtual ~CResample() = default;
  // Designs the kernel and allocates the histories: 2 out of memory, 77 for
  // rates outside 1..0x7FFFFFFF, 0 or more than 2 channels, or a block of 0 ms.
  [[nodiscard]] virtual Error Init(std::uint32_t output_rate, std::uint32_t input_rate, std::uint16_t channels,
                                   std::uint32_t block_ms, const ResampleOptions& options) = 0;
  virtual ResampleOptions GetOptions() const = 0;
  // Half the kernel length plus half the pre-filter length, in input frames.
  virtual std::uint32_t GetLatency() const = 0;
  // Input frames per block: block ms x I / 1000 rounded to the nearest
  // multiple of I' (at least I').
  virtual std::uint32_t GetInputBlock() const = 0;
  virtual std::uint16_t GetChannels() const = 0;
  // Output frames of a full block: input block x O' / I'.
  virtual std::uint32_t GetOutputBlock() const = 0;
  // Where the caller writes the next input block, one float array per
  // channel (planar), GetInputBlock() frames each. Valid until Reset or the
  // converter goes.
  virtual float* const* GetInputPointers() = 0;
  // The same for two channels (the second is null for one channel).
  virtual void GetInputPointersPair(float** first, float** second) = 0;
  // The output frames that come before the one at input position 0.
  virtual std::uint32_t GetOutputLatency() const = 0;
  // Clears the histories and the position: the next block starts afresh.
  virtual void Reset() = 0;
  // Converts the `input_frames` (at most GetInputBlock()) written to the
  // input pointers and writes the output frames that are now complete,
  // interleaved, to `output` (room for GetOutputBlock() frames). A full
  // block always gives GetOutputBlock() frames. Returns the frames written.
  virtual std::uint32_t Process(float* output, std::uint32_t input_frames) = 0;
};

// The factory: reduces the rates by their greatest common divisor; no
// converter (an empty pointer and 0) when the rates are equal; a
// CResampleDecim when O' < 9, otherwise a CResampleStd; then Init with the
// arguments. Errors of Init; `out` stays empty then.
[[nodiscard]] Error MakeResampler(std::uint32_t output_rate, std::uint32_t input_rate, std::uint16_t channels,
                                  std::uint32_t block_ms, const ResampleOptions& options,
                                  std::unique_ptr<CResample>* out);

// What a converter made for these rates is, for reports and tests.
enum class ResamplerKind { kNone, kStd, kDecim };
ResamplerKind ResamplerKindFor(std::uint32_t output_rate, std::uint32_t input_rate);

// What Init chose, for tests and the benchmark.
struct ResampleDesign {
  std::uint32_t reduced_input = 0;   // I'
  std::uint32_t reduced_output = 0;  // O'
  std::uint32_t taps = 0;            // kernel length
  std::uint32_t phases = 0;          // stored phases
  bool interpolated = false;         // positions between stored phases interpolate
  std::uint32_t prefilter_taps = 0;  // 0 without a pre-filter
  bool vector_loop = false;          // the AVX2 inner loop
  bool double_precision = false;
};
// The design of a converter made by MakeResampler (every one is a
// polyphase converter of this library).
ResampleDesign DesignOf(const CResample& converter);

// The output length of a whole conversion: floor(n x O / I + 0.5).
std::uint64_t ConvertedLength(std::uint64_t n, std::uint32_t output_rate, std::uint32_t input_rate);

}  // namespace tidemark::dsp
