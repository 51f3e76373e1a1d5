#include "effects/pitch/internal/resample_chain.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

namespace {

constexpr std::uint32_t kPiece = 2048;  // output frames interpolated per window refill
constexpr std::uint32_t kMaxOutput = 0xFFFF0000u;

}  // namespace

Error DocumentFeed::Next(std::uint32_t frames, float* dst) {
  const std::int64_t absolute = std::int64_t{start_} + at_;
  std::uint32_t silent = 0;
  if (absolute < 0) silent = static_cast<std::uint32_t>(std::min<std::int64_t>(-absolute, frames));
  std::fill(dst, dst + std::size_t{silent} * channels_, 0.0f);
  if (frames > silent) {
    const std::int64_t from = absolute + silent;
    const std::uint32_t rest = frames - silent;
    float* to = dst + std::size_t{silent} * channels_;
    if (from > std::int64_t{UINT32_MAX} - rest) {
      std::fill(to, to + std::size_t{rest} * channels_, 0.0f);
    } else if (const Error rc = source_->Read(static_cast<std::uint32_t>(from), rest, to, channels_)) {
      return rc;
    }
  }
  at_ += frames;
  return err::kOk;
}

Error StretchFeed::Init(std::uint32_t rate, const dsp::StretchOptions& options) {
  if (const Error rc = stretcher_.Init(channels_, rate, options)) return rc;
  try {
    staging_.resize(std::size_t{4096} * channels_);
  } catch (const std::bad_alloc&) {
    return err::kOutOfMemory;
  }
  return err::kOk;
}

void StretchFeed::Reset() {
  at_ = first_;
  fed_ = 0;
  stretcher_.Reset();
}

Error StretchFeed::Next(std::uint32_t frames, float* dst) {
  std::uint32_t done = 0;
  if (at_ < 0) {
    done = static_cast<std::uint32_t>(std::min<std::int64_t>(-at_, frames));
    std::fill(dst, dst + std::size_t{done} * channels_, 0.0f);
  }
  while (done < frames) {
    done += static_cast<std::uint32_t>(stretcher_.Pull(dst + std::size_t{done} * channels_, frames - done));
    if (done == frames) break;
    // The stretcher wants input: the next piece of the selection, then the end.
    if (fed_ == length_) {
      stretcher_.Finish();
      continue;
    }
    const auto take = static_cast<std::uint32_t>(
        std::min<std::size_t>({stretcher_.InputSpace(), std::size_t{4096}, std::size_t{length_ - fed_}}));
    if (take == 0) return err::kSizeLimit;  // cannot happen: the stretcher holds room for a frame's reach
    if (const Error rc = input_.Next(take, staging_.data())) return rc;
    stretcher_.Push(staging_.data(), take);
    fed_ += take;
  }
  at_ += frames;
  return err::kOk;
}

Error FrameWindow::Init(std::uint16_t channels, std::size_t capacity, std::int64_t first) {
  channels_ = channels;
  capacity_ = capacity;
  try {
    frames_.assign(capacity * channels, 0.0f);
  } catch (const std::bad_alloc&) {
    return err::kOutOfMemory;
  }
  Reset(first);
  return err::kOk;
}

void FrameWindow::Reset(std::int64_t first) {
  base_ = first;
  count_ = 0;
}

Error FrameWindow::Ensure(FrameFeed& feed, std::int64_t lo, std::int64_t hi) {
  if (hi - lo > static_cast<std::int64_t>(capacity_)) return err::kSizeLimit;
  const std::int64_t end = base_ + static_cast<std::int64_t>(count_);
  // Skip (read and forget) what lies wholly below lo.
  while (lo > base_ + static_cast<std::int64_t>(count_)) {
    count_ = 0;
    const auto skip = static_cast<std::uint32_t>(std::min<std::int64_t>(lo - base_, static_cast<std::int64_t>(capacity_)));
    if (const Error rc = feed.Next(skip, frames_.data())) return rc;
    base_ += skip;
  }
  (void)end;
  if (lo > base_) {
    const auto drop = static_cast<std::size_t>(lo - base_);
    std::copy(frames_.begin() + static_cast<std::ptrdiff_t>(drop * channels_),
              frames_.begin() + static_cast<std::ptrdiff_t>(count_ * channels_), frames_.begin());
    count_ -= drop;
    base_ = lo;
  }
  const std::int64_t have = base_ + static_cast<std::int64_t>(count_);
  if (hi > have) {
    const auto more = static_cast<std::uint32_t>(hi - have);
    if (count_ + more > capacity_) return err::kSizeLimit;
    float* at = frames_.data() + count_ * channels_;
    if (const Error rc = feed.Next(more, at)) return rc;
    for (float* p = at; p != at + std::size_t{more} * channels_; ++p)
      if (!std::isfinite(*p)) *p = 0.0f;
    count_ += more;
  }
  return err::kOk;
}

void EasedPositions::Init(std::uint32_t source, std::uint32_t output) {
  source_ = source;
  output_ = output;
  easing_ = std::min<std::uint32_t>(256, output / 4096);
  step_ = output > 1 + easing_ ? (static_cast<double>(source) - 1 - easing_) / (static_cast<double>(output) - 1 - easing_)
                               : 1.0;
}

double EasedPositions::At(std::uint32_t n) const {
  if (n < easing_) return Ease(n);
  const std::uint32_t last = output_ - 1;
  if (n > last - easing_) return static_cast<double>(source_) - 1 - Ease(last - n);
  return easing_ * (1 + step_) / 2 + step_ * (n - easing_);
}

Error OutputFramesFor(std::uint32_t source, double ratio, std::uint32_t* frames) {
  const double n = std::floor(static_cast<double>(source) / ratio + 0.5);
  if (!(n >= 0) || n > kMaxOutput) return err::kSizeLimit;
  *frames = static_cast<std::uint32_t>(n);
  return err::kOk;
}

Error ResampleChainRun::CompleteLengths(Plan* plan) {
  plan->stretched_length = plan->length;
  if (plan->stretch)
    if (const Error rc = OutputFramesFor(plan->length, plan->stretch_options.speed, &plan->stretched_length)) return rc;
  if (plan->overall_speed > 0) return OutputFramesFor(plan->length, plan->overall_speed, &plan->output_length);
  return OutputFramesFor(plan->stretched_length, plan->ratio, &plan->output_length);
}

ResampleChainRun::ResampleChainRun(const Plan& plan) : plan_(plan), document_(plan.start, plan.channels, 0) {}

Error ResampleChainRun::Create(const Plan& plan, ResampleEffRunPtr* run) {
  std::unique_ptr<ResampleChainRun> made;
  if (MakeNew(&made, plan)) return err::kOutOfMemory;
  if (const Error rc = made->Init()) return rc;
  *run = std::move(made);
  return err::kOk;
}

Error ResampleChainRun::Init() {
  if (!(plan_.ratio > 0)) return err::kSizeLimit;
  if (const Error rc = kernel_.Init(0.5 / std::max(1.0, plan_.ratio), 16)) return rc;
  const std::int64_t first = Copies() ? 0 : 1 - kernel_.reach();
  if (plan_.stretch) {
    document_ = DocumentFeed(plan_.start, plan_.channels, 0);
    if (MakeNew(&stretch_, document_, plan_.length, plan_.channels, first)) return err::kOutOfMemory;
    if (const Error rc = stretch_->Init(plan_.rate, plan_.stretch_options)) return rc;
  } else {
    document_ = DocumentFeed(plan_.start, plan_.channels, first);
  }
  const auto capacity = static_cast<std::size_t>(std::ceil(kPiece * std::max(1.0, plan_.ratio) * 1.01)) +
                        2 * static_cast<std::size_t>(kernel_.reach()) + 16;
  if (const Error rc = window_.Init(plan_.channels, capacity, first)) return rc;
  try {
    weights_.resize(static_cast<std::size_t>(kernel_.taps()));
  } catch (const std::bad_alloc&) {
    return err::kOutOfMemory;
  }
  positions_.Init(plan_.stretched_length, plan_.output_length);
  return err::kOk;
}

void ResampleChainRun::Reset() {
  done_ = 0;
  document_.Reset();
  if (stretch_) stretch_->Reset();
  window_.Reset(Copies() ? 0 : 1 - kernel_.reach());
}

Error ResampleChainRun::Pull(PullSource& source, float* dst, std::uint32_t frames, std::uint32_t* delivered) {
  document_.SetSource(&source);
  const std::uint16_t ch = plan_.channels;
  const std::uint32_t total = std::min(frames, plan_.output_length - done_);
  std::uint32_t made = 0;
  while (made < total) {
    const std::uint32_t n = std::min(kPiece, total - made);
    float* out = dst + std::size_t{made} * ch;
    if (Copies()) {
      if (const Error rc = window_.Ensure(Feed(), done_, std::int64_t{done_} + n)) return rc;
      std::copy(window_.Frame(done_), window_.Frame(done_) + std::size_t{n} * ch, out);
    } else {
      const int reach = kernel_.reach();
      const auto lo = static_cast<std::int64_t>(std::floor(positions_.At(done_))) + 1 - reach;
      const auto hi = static_cast<std::int64_t>(std::floor(positions_.At(done_ + n - 1))) + reach + 1;
      if (const Error rc = window_.Ensure(Feed(), lo, hi)) return rc;
      const int taps = kernel_.taps();
      for (std::uint32_t j = 0; j < n; ++j) {
        const double t = positions_.At(done_ + j);
        const double whole = std::floor(t);
        kernel_.Weights(t - whole, weights_.data());
        const float* x = window_.Frame(static_cast<std::int64_t>(whole) + 1 - reach);
        const float* w = weights_.data();
        const auto n_taps = static_cast<std::size_t>(taps);  // even
        if (ch == 2) {
          // Two partial sums a channel: independent chains for the pipeline.
          float l0 = 0, l1 = 0, r0 = 0, r1 = 0;
          for (std::size_t k = 0; k < n_taps; k += 2) {
            l0 += w[k] * x[2 * k];
            r0 += w[k] * x[2 * k + 1];
            l1 += w[k + 1] * x[2 * k + 2];
            r1 += w[k + 1] * x[2 * k + 3];
          }
          out[std::size_t{j} * 2] = l0 + l1;
          out[std::size_t{j} * 2 + 1] = r0 + r1;
        } else {
          float m0 = 0, m1 = 0;
          for (std::size_t k = 0; k < n_taps; k += 2) {
            m0 += w[k] * x[k];
            m1 += w[k + 1] * x[k + 1];
          }
          out[j] = m0 + m1;
        }
      }
    }
    done_ += n;
    made += n;
  }
  *delivered = made;
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT
