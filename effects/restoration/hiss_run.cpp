#include "effects/restoration/hiss_run.h"

#include <omp.h>

#include <algorithm>
#include <system_error>
#include <thread>

#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_HISS {

Error CHissRun::Init(std::uint16_t channels, std::uint32_t mask, std::uint32_t fft_length,
                     const std::vector<std::vector<float>>& noise, const dsp::DenoiseSettings& settings) {
  if (channels < 1 || channels > 16 || noise.size() < channels) return err::kSizeLimit;
  if (const Error rc = plan_.Init(fft_length)) return rc;
  fft_length_ = fft_length;
  channels_ = channels;
  prepared_ = 0;
  if (const Error rc = TryAlloc([&] { denoisers_.resize(channels); })) return rc;
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (!(mask & (1u << c))) continue;
    if (const Error rc = MakeNew(&denoisers_[c])) return rc;
    if (const Error rc = denoisers_[c]->Init(plan_, noise[c], settings)) return rc;
    prepared_ |= 1u << c;
  }
  return err::kOk;
}

Error CHissRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != channels_ || (mask & ~prepared_ & ((1u << channels) - 1)) != 0) return err::kLayoutMismatch;
  std::uint16_t active[16];
  int count = 0;
  for (std::uint16_t c = 0; c < channels; ++c)
    if (mask & (1u << c)) active[count++] = c;
  const auto work = [&](int first) {
    for (int i = first; i < count; i += 2) denoisers_[active[i]]->Process(buffer + active[i], frames, channels);
  };
  // Every second channel on a helper thread when the thread setting allows
  // two; without a thread, all here.
  std::thread helper;
  if (count > 1 && omp_get_max_threads() > 1) {
    try {
      helper = std::thread(work, 1);
    } catch (const std::system_error&) {
    }
  }
  if (!helper.joinable()) {
    work(0);
    if (count > 1) work(1);
    return err::kOk;
  }
  work(0);
  helper.join();
  return err::kOk;
}

void CHissRun::Reset() {
  for (auto& d : denoisers_)
    if (d) d->Reset();
}

}  // namespace tidemark::NS_EFFECT_HISS
