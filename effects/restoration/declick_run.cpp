#include "effects/restoration/declick_run.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "effects/restoration/declick.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT {

namespace {

constexpr std::uint32_t kHops = DeclickGeometry::kHopsPerRun;

float Finite(float x) { return std::isfinite(x) ? x : 0.0f; }

}  // namespace

Error CDeClick::Create(std::uint32_t rate, std::uint16_t channels, std::uint32_t length,
                       const DeclickSettings& settings, bool link, std::unique_ptr<CDeClick>* run) {
  if (rate == 0 || channels < 1 || channels > kMaxChannels) return err::kSizeLimit;
  std::unique_ptr<CDeClick> made;
  if (TryAlloc([&] { made.reset(new CDeClick()); })) return err::kOutOfMemory;
  const DeclickGeometry g = DeclickGeometry::ForRate(rate);
  made->geometry_ = g;
  made->settings_ = settings;
  made->channels_ = channels;
  made->length_ = length;
  made->link_ = link && channels == 2;
  made->pre_check_ = length >= (std::uint64_t{rate} + 19) / 20 && g.HasBand();
  DeclickPlans& plans = made->plans_;
  if (const Error rc = plans.window_fft.Init(g.window)) return rc;
  if (const Error rc = plans.block_fft.Init(g.fft)) return rc;
  if (MakeNew(&plans.hann, g.window) || MakeNew(&plans.block_hann, g.block) ||
      MakeNew(&plans.local_hann, 2 * g.margin)) return err::kOutOfMemory;
  const double two_pi = 2.0 * std::numbers::pi;
  for (std::uint32_t i = 0; i < g.window; ++i)
    plans.hann[i] = static_cast<float>(0.5 - 0.5 * std::cos(two_pi * i / g.window));
  for (std::uint32_t i = 0; i < g.block; ++i) plans.block_hann[i] = 0.5 - 0.5 * std::cos(two_pi * (i + 0.5) / g.block);
  for (std::uint32_t i = 0; i < 2 * g.margin; ++i)
    plans.local_hann[i] = 0.5 - 0.5 * std::cos(two_pi * (i + 0.5) / (2 * g.margin));
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (const Error rc = made->analysed_[c].Allocate(g)) return rc;
    if (MakeNew(&made->input_[c], g.span) || MakeNew(&made->output_[c], std::size_t{kHops} * g.hop))
      return err::kOutOfMemory;
  }
  made->Reset();
  *run = std::move(made);
  return err::kOk;
}

void CDeClick::Reset() {
  for (std::uint16_t c = 0; c < channels_; ++c) {
    analysed_[c].Reset();
    std::fill_n(input_[c].get(), geometry_.span, 0.0f);
    std::fill_n(output_[c].get(), std::size_t{kHops} * geometry_.hop, 0.0f);
  }
  fill_ = 0;
  out_at_ = 0;
  hops_ = 0;
  skip_before_.fill(0);
  repaired_ = 0;
}

std::string CDeClick::GetName() const { return NS_EFFECT_DECLICK::Entry().GetDisplayName(); }

Error CDeClick::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != channels_) return err::kLayoutMismatch;
  const bool linked = link_ && (mask & 3u) == 3u;
  const std::uint32_t full = geometry_.span - geometry_.margin;
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t n = std::min(frames - done, full - fill_);
    float* frame = buffer + std::size_t{done} * channels;
    TakeInput(frame, n, channels, mask, linked);
    for (std::uint16_t c = 0; c < channels; ++c) {
      if (!(mask & (1u << c))) continue;
      // Until the first hops are finished the output is the latency's silence.
      for (std::uint32_t i = 0; i < n; ++i)
        frame[std::size_t{i} * channels + c] = hops_ == 0 ? 0.0f : output_[c][out_at_ + i];
    }
    fill_ += n;
    out_at_ += n;
    done += n;
    if (fill_ == full) RunHops(mask, linked);
  }
  return err::kOk;
}

void CDeClick::TakeInput(const float* frames, std::uint32_t n, std::uint16_t channels, std::uint32_t mask,
                         bool linked) {
  const std::uint32_t at = geometry_.margin + fill_;
  for (std::uint16_t c = 0; c < channels; ++c) {
    float* raw = input_[c].get() + at;
    for (std::uint32_t i = 0; i < n; ++i) raw[i] = frames[std::size_t{i} * channels + c];
  }
  if (linked) {
    const float* left = input_[0].get() + at;
    const float* right = input_[1].get() + at;
    float* mid = analysed_[0].samples() + at;
    float* side = analysed_[1].samples() + at;
    for (std::uint32_t i = 0; i < n; ++i) {
      const float l = Finite(left[i]), r = Finite(right[i]);
      mid[i] = 0.5f * (l + r);
      side[i] = 0.5f * (l - r);
    }
    return;
  }
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (!(mask & (1u << c))) continue;
    const float* raw = input_[c].get() + at;
    float* analysed = analysed_[c].samples() + at;
    for (std::uint32_t i = 0; i < n; ++i) analysed[i] = Finite(raw[i]);
  }
}

std::uint32_t CDeClick::AnalyseHop(std::uint16_t a, std::uint32_t hop) {
  const DeclickGeometry& g = geometry_;
  DeclickChannel& channel = analysed_[a];
  channel.SetHop(g, hop);
  if (pre_check_ && !channel.PreCheck(g, plans_)) return 0;
  // Block frame i holds stream frame base + i - margin.
  const std::uint64_t base = (hops_ + hop) * g.hop;
  const auto to_block = [&](std::uint64_t stream) -> std::uint32_t {
    const std::uint64_t i = stream + g.margin;
    return i <= base ? 0u : static_cast<std::uint32_t>(std::min<std::uint64_t>(i - base, g.block));
  };
  // A frame is tested once the predictor's whole history lies in the
  // selection, and only inside the selection.
  const std::uint32_t from =
      std::max({g.margin, to_block(DeclickGeometry::kOrder), to_block(skip_before_[a])});
  const std::uint32_t test_end = to_block(length_);
  std::uint32_t repaired = 0;
  const std::uint32_t next =
      channel.DetectAndRepair(g, plans_, settings_, from, g.margin + g.hop, to_block(0), test_end, &repaired);
  skip_before_[a] = std::max<std::uint64_t>(skip_before_[a], base + next - g.margin);
  return repaired;
}

void CDeClick::RunHops(std::uint32_t mask, bool linked) {
  const DeclickGeometry& g = geometry_;
  std::array<std::uint16_t, kMaxChannels> active{};
  std::uint16_t count = 0;
  for (std::uint16_t c = 0; c < channels_; ++c)
    if (linked || (mask & (1u << c))) active[count++] = c;
  std::array<std::uint32_t, kMaxChannels> repaired{};
  const auto analyse = [&](std::uint16_t k) {
    for (std::uint32_t hop = 0; hop < kHops; ++hop) repaired[k] += AnalyseHop(active[k], hop);
  };
  if (count > 1) {
    // One task per channel, each writing only its own channel's buffers and
    // taking its hops in order, so the result does not depend on how many
    // threads run them.
    // The runtime may give fewer threads when the machine is busy (the
    // waiting threads' spinning then costs more than the second thread
    // gains); the caller's setting is restored.
    const int threads = std::min<int>(count, omp_get_max_threads());
    const int dynamic = omp_get_dynamic();
    omp_set_dynamic(1);
#pragma omp parallel num_threads(threads)
#pragma omp single
    for (std::uint16_t k = 0; k < count; ++k) {
#pragma omp task firstprivate(k) shared(analyse)
      analyse(k);
    }
    omp_set_dynamic(dynamic);
  } else if (count == 1) {
    analyse(0);
  }
  for (std::uint16_t k = 0; k < count; ++k) repaired_ += repaired[k];

  // The finished hops: the raw input plus what the repairs changed.
  const std::uint32_t done = kHops * g.hop;
  for (std::uint16_t c = 0; c < channels_; ++c) {
    const float* raw = input_[c].get() + g.margin;
    float* out = output_[c].get();
    if (linked) {
      const float* mid = analysed_[0].changes() + g.margin;
      const float* side = analysed_[1].changes() + g.margin;
      const float sign = c == 0 ? 1.0f : -1.0f;
      for (std::uint32_t i = 0; i < done; ++i) out[i] = raw[i] + (mid[i] + sign * side[i]);
    } else if (mask & (1u << c)) {
      const float* change = analysed_[c].changes() + g.margin;
      for (std::uint32_t i = 0; i < done; ++i) out[i] = raw[i] + change[i];
    } else {
      std::copy_n(raw, done, out);
    }
  }
  for (std::uint16_t c = 0; c < channels_; ++c) {
    analysed_[c].Shift(g);
    std::memmove(input_[c].get(), input_[c].get() + done, (g.span - done) * sizeof(float));
  }
  fill_ = g.margin;
  out_at_ = 0;
  hops_ += kHops;
}

}  // namespace tidemark::NS_EFFECT
