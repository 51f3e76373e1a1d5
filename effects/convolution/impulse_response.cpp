#include "effects/convolution/impulse_response.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <memory>

#include "dsp/resample/resample.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

namespace {
std::atomic<ResponseLoader> g_loader{nullptr};
constexpr std::uint32_t kConvertBlockMs = 200;
}  // namespace

void SetResponseLoader(ResponseLoader loader) { g_loader.store(loader); }

Error LoadImpulseResponse(const std::string& path, ImpulseResponse* out) {
  *out = ImpulseResponse{};
  const ResponseLoader loader = g_loader.load();
  if (!loader) return err::kCannotOpen;
  const Error rc = loader(path, out);
  if (rc) *out = ImpulseResponse{};
  return rc;
}

std::uint32_t ParseDelayAnnotation(std::string_view text) {
  constexpr std::string_view kKey = "DELAY=";
  for (std::size_t i = 0; i + kKey.size() <= text.size(); ++i) {
    bool match = true;
    for (std::size_t j = 0; j < kKey.size() && match; ++j)
      match = std::toupper(static_cast<unsigned char>(text[i + j])) == kKey[j];
    if (!match) continue;
    std::uint64_t value = 0;
    std::size_t k = i + kKey.size();
    const std::size_t first = k;
    while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])) && value <= 0xFFFFFFFFu)
      value = value * 10 + static_cast<std::uint64_t>(text[k++] - '0');
    return k == first || value > 0x7FFFFFFFu ? 0 : static_cast<std::uint32_t>(value);
  }
  return 0;
}

Error ConvertResponseRate(ImpulseResponse* ir, std::uint32_t rate) {
  if (ir->rate == rate || ir->frames == 0) return err::kOk;
  const auto ch = static_cast<std::uint16_t>(ir->channels.size());
  std::unique_ptr<dsp::CResample> conv;
  if (const Error rc = dsp::MakeResampler(rate, ir->rate, ch, kConvertBlockMs, dsp::ResampleOptions{}, &conv)) return rc;
  if (!conv) return err::kOk;
  const double ratio = static_cast<double>(rate) / ir->rate;
  const auto want64 = static_cast<std::uint64_t>(std::ceil(ir->frames * ratio));
  if (want64 > 0x7FFFFFFFu) return err::kSizeLimit;
  const auto want = static_cast<std::uint32_t>(std::max<std::uint64_t>(want64, 1));
  const std::uint32_t skip = conv->GetOutputLatency();
  return TryAlloc([&]() -> Error {
    std::vector<std::vector<float>> out(ch);
    for (auto& c : out) c.reserve(want);
    std::vector<float> block(std::size_t{conv->GetOutputBlock()} * ch);
    std::uint64_t produced = 0;
    std::uint32_t read = 0;
    while (out[0].size() < want) {
      const std::uint32_t n = conv->GetInputBlock();
      float* const* in = conv->GetInputPointers();
      for (std::uint16_t c = 0; c < ch; ++c) {
        for (std::uint32_t i = 0; i < n; ++i) {
          const std::uint64_t at = std::uint64_t{read} + i;
          in[c][i] = at < ir->frames ? ir->channels[c][at] : 0.0f;  // silence flushes the tail
        }
      }
      read += n;
      const std::uint32_t got = conv->Process(block.data(), n);
      for (std::uint32_t i = 0; i < got && out[0].size() < want; ++i, ++produced) {
        if (produced < skip) continue;
        for (std::uint16_t c = 0; c < ch; ++c) out[c].push_back(block[std::size_t{i} * ch + c]);
      }
    }
    ir->channels = std::move(out);
    ir->frames = want;
    ir->delay = static_cast<std::uint32_t>(std::llround(ir->delay * ratio));
    ir->rate = rate;
    return err::kOk;
  });
}

}  // namespace tidemark::NS_EFFECT
