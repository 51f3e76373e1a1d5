#include "dsp/one_bit/one_bit_lpf.h"

#include <omp.h>

#include <algorithm>

#include "dsp/one_bit/internal/one_bit_downsample.h"
#include "dsp/one_bit/one_bit_filter_design.h"
#include "dsp/one_bit/internal/one_bit_lpf_kernels.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::size_t kMaxWideTableBytes = std::size_t{4} << 20;
constexpr std::size_t kPieceOutputs = 4096;

}  // namespace

unsigned OneBitFilterThreads(unsigned wanted) {
  const int procs = omp_get_num_procs();
  unsigned n = std::min(wanted, 4u);
  if (procs > 0) n = std::min(n, static_cast<unsigned>(procs));
  return n == 0 ? 1 : n;
}

COneBitLpf::~COneBitLpf() = default;

Error COneBitLpf::Create(std::uint32_t first_length, std::uint32_t first_ratio, double first_attenuation_db,
                         std::uint32_t second_length, std::uint32_t stages, double second_attenuation_db,
                         float gain, std::uint32_t block_length, std::uint16_t channels, unsigned threads,
                         bool gpu_off, std::unique_ptr<COneBitLpf>* out) {
  (void)gpu_off;  // only the processor implementation exists
  std::unique_ptr<COneBitLpf_Std<float>> f;
  if (const Error rc = MakeNew(&f)) return rc;
  if (const Error rc = f->Init(first_length, first_ratio, first_attenuation_db, second_length, stages,
                                       second_attenuation_db, gain, block_length, channels, threads))
    return rc;
  *out = std::move(f);
  return err::kOk;
}

template <typename T>
COneBitLpf_Std<T>::COneBitLpf_Std() = default;
template <typename T>
COneBitLpf_Std<T>::~COneBitLpf_Std() = default;

template <typename T>
Error COneBitLpf_Std<T>::Init(std::uint32_t first_length, std::uint32_t first_ratio,
                                      double first_attenuation_db, std::uint32_t second_length,
                                      std::uint32_t stages, double second_attenuation_db, float gain,
                                      std::uint32_t block_length, std::uint16_t channels, unsigned threads) {
  // The first stage steps whole bytes per output and sums whole kernel
  // bytes, sixteen at a time.
  if (first_ratio == 0 || first_ratio % 8 != 0 || first_length < 16 || first_length % 128 != 0 ||
      (stages != 1 && stages != 2) || channels == 0 || block_length == 0)
    return err::kSizeLimit;
  const std::uint32_t ratio = first_ratio * stages;
  if (block_length % ratio != 0 || block_length % 8 != 0) return err::kSizeLimit;
  if (stages == 2 && second_length != CDownSample_Lpf2::kFftSize / 2) return err::kSizeLimit;
  channels_ = channels;
  threads_ = OneBitFilterThreads(threads);
  first_ratio_ = first_ratio;
  table_count_ = first_length / 8;
  output_frames_ = block_length / ratio;
  std::unique_ptr<CDownSample> second;
  if (stages == 2) {
    if (const Error rc =
            CDownSample_Lpf2::Create(second_length, second_attenuation_db, channels, threads_, &second))
      return rc;
  } else {
    if (const Error rc = MakeNew<CDownSample_Apf2>(&second, channels)) return rc;
  }
  stage1_count_ = second->InputCount(output_frames_);
  // The first stage's outputs cover the block and the second stage's
  // history: its input starts half the first kernel before the first one.
  input_bytes_ = (stage1_count_ * first_ratio + first_length - first_ratio) / 8;
  const Error rc = TryAlloc([&] {
    tables_ = lpf_detail::BuildByteTables(EvenKernel(DesignFirstStageHalf(first_length, first_ratio,
                                                                            first_attenuation_db)),
                                          gain);
    // The wide table pays while it stays in the processor's second-level
    // cache; very long kernels keep the narrow one.
    const std::size_t step = first_ratio / 8;
    wide_ = lpf_detail::WideRows(table_count_, step) * 256 * lpf_detail::kWideOutputs * sizeof(float) <=
            kMaxWideTableBytes;
    if (wide_) tables_ = lpf_detail::BuildWideTables(tables_, table_count_, step);
    planes_.assign(input_bytes_ * channels, 0);
    stage1_.assign(stage1_count_ * channels, T(0));
    rows_.resize(channels);
  });
  if (rc) return rc;
  for (std::size_t c = 0; c < channels; ++c) rows_[c] = stage1_.data() + c * stage1_count_;
  second_ = std::move(second);
  return err::kOk;
}

template <typename T>
Error COneBitLpf_Std<T>::Process(const CInputBits& in, float* out) {
  if (in.channels() != channels_ || in.bytes_per_channel() < input_bytes_) return err::kSizeLimit;
  const auto first = wide_ ? lpf_detail::FirstStageWide : lpf_detail::FirstStageNarrow;
  const std::size_t step = first_ratio_ / 8;
  const long ch = channels_;
  // Each channel is cut into pieces of about kPieceOutputs, at least one
  // per thread, handed out as threads come free: a thread that loses its
  // processor to another program for a while then holds up no one.
  const long pieces = static_cast<long>(
      std::max<std::size_t>(threads_, (stage1_count_ + kPieceOutputs - 1) / kPieceOutputs));
  const long tasks = ch * pieces;
#pragma omp parallel num_threads(threads_) if (threads_ > 1)
  {
#pragma omp for schedule(static)
    for (long c = 0; c < ch; ++c)
      in.Bytes(planes_.data() + static_cast<std::size_t>(c) * input_bytes_, input_bytes_, 0,
               static_cast<std::uint16_t>(c));
#pragma omp for schedule(dynamic, 1)
    for (long t = 0; t < tasks; ++t) {
      const std::size_t c = static_cast<std::size_t>(t / pieces);
      const std::size_t piece = static_cast<std::size_t>(t % pieces);
      // Pieces start at whole groups of the wide kernel.
      const std::size_t k0 = stage1_count_ * piece / static_cast<std::size_t>(pieces) / 4 * 4;
      const std::size_t k1 =
          piece + 1 == static_cast<std::size_t>(pieces)
              ? stage1_count_
              : stage1_count_ * (piece + 1) / static_cast<std::size_t>(pieces) / 4 * 4;
      first(tables_.data(), table_count_, planes_.data() + c * input_bytes_ + k0 * step, step,
            stage1_.data() + c * stage1_count_ + k0, k1 - k0);
    }
  }
  second_->Process(rows_.data(), output_frames_, out);
  return err::kOk;
}

template class COneBitLpf_Std<float>;

}  // namespace tidemark::NS_1BIT
