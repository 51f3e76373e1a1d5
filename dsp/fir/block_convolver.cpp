#include "dsp/fir/block_convolver.h"

#include <algorithm>
#include <cstring>

#include "platform/alloc.h"

namespace tidemark::dsp {

namespace {

constexpr std::size_t kMinFftSize = 32;

template <typename T>
Error Allocate(std::unique_ptr<T[]>* out, std::size_t n) {
  if (const Error rc = MakeNew(out, n)) return rc;
  std::fill_n(out->get(), n, T{});
  return err::kOk;
}

}  // namespace

Error BlockConvolver::Init(const double* taps, std::size_t count, std::uint16_t channels) {
  *this = BlockConvolver();
  if (count == 0 || channels == 0 || count > RealFft<float>::kMaxSize / 2) return err::kSizeLimit;
  const std::size_t order = count - 1;
  std::size_t size = kMinFftSize;
  while (size <= order) size *= 2;
  RealFft<float> fft;
  if (const Error rc = fft.Init(size)) return rc;
  std::unique_ptr<float[]> response, history, spectrum, work;
  if (const Error rc = Allocate(&response, size)) return rc;
  if (const Error rc = Allocate(&history, size * channels)) return rc;
  if (const Error rc = Allocate(&spectrum, size)) return rc;
  if (const Error rc = Allocate(&work, fft.work_size())) return rc;
  const float scale = 1.0f / static_cast<float>(size);
  for (std::size_t k = 0; k < count; ++k) spectrum[k] = static_cast<float>(taps[k]) * scale;
  fft.Forward(spectrum.get(), response.get(), work.get());
  fft_ = std::move(fft);
  size_ = size;
  order_ = order;
  block_ = size - order;
  channels_ = channels;
  response_ = std::move(response);
  history_ = std::move(history);
  spectrum_ = std::move(spectrum);
  work_ = std::move(work);
  return err::kOk;
}

void BlockConvolver::Reset() {
  if (history_) std::fill_n(history_.get(), size_ * channels_, 0.0f);
}

void BlockConvolver::Filter(std::uint16_t channel, const float* in, float* out) {
  float* window = history_.get() + std::size_t{channel} * size_;
  std::memmove(window, window + block_, order_ * sizeof(float));
  std::memcpy(window + order_, in, block_ * sizeof(float));
  float* s = spectrum_.get();
  fft_.Forward(window, s, work_.get());
  const float* h = response_.get();
  s[0] *= h[0];
  s[1] *= h[1];
  for (std::size_t k = 2; k < size_; k += 2) {
    const float re = s[k] * h[k] - s[k + 1] * h[k + 1];
    const float im = s[k] * h[k + 1] + s[k + 1] * h[k];
    s[k] = re;
    s[k + 1] = im;
  }
  fft_.Inverse(s, s, work_.get());
  // The first N outputs wrap around the circular convolution; the rest are
  // the linear convolution's.
  std::memcpy(out, s + order_, block_ * sizeof(float));
}

}  // namespace tidemark::dsp
