#include "dsp/filters/biquad.h"

#include <algorithm>

#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

Error SBiQuadFilter::SetPairs(const SBiQuadSection* given, int n) {
  if (n < 0 || n > kMaxSections) return err::kSizeLimit;
  std::copy(given, given + n, sections);
  count = n;
  gain = 1.0;
  return err::kOk;
}

Error SBiQuadFilter::SetTriples(const double (*numerators)[3], const double (*denominators)[2], int n) {
  if (n < 0 || n > kMaxSections) return err::kSizeLimit;
  for (int s = 0; s < n; ++s) {
    if (numerators[s][0] == 0.0) return err::kSizeLimit;
  }
  double product = 1.0;
  for (int s = 0; s < n; ++s) {
    const double c0 = numerators[s][0];
    sections[s] = {1.0, numerators[s][1] / c0, numerators[s][2] / c0, denominators[s][0], denominators[s][1]};
    product *= c0;
  }
  count = n;
  gain = product;
  return err::kOk;
}

Error SBiQuadFilter::Append(const SBiQuadFilter& other) {
  if (count + other.count > kMaxSections) return err::kSizeLimit;
  std::copy(other.sections, other.sections + other.count, sections + count);
  count += other.count;
  gain *= other.gain;
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT

namespace tidemark::dsp {

namespace {

using NS_EFFECT::SBiQuadSection;

// Two channels side by side; SSE2 on the x86-64 baseline, where a packed
// double multiply or add rounds exactly as the scalar one.
typedef double Pair __attribute__((vector_size(16)));

// Frames per pass: the scratch between section groups stays in L1.
constexpr std::size_t kChunk = 256;
// Sections run sample by sample in one group with their states in
// registers: their recursions overlap, so a group costs about its multiply
// and add count rather than its chain of latencies.
constexpr int kGroup = 4;

template <typename V>
struct GroupState {
  V w1[kGroup];
  V w2[kGroup];
};

// Runs sections coef[0..G-1] over data[0..frames-1] (one lane per channel).
template <typename V, int G>
void RunGroup(const SBiQuadSection* coef, GroupState<V>& st, V* data, std::size_t frames) {
  V w1[G];
  V w2[G];
  double b0[G], b1[G], b2[G], a1[G], a2[G];
  for (int s = 0; s < G; ++s) {
    w1[s] = st.w1[s];
    w2[s] = st.w2[s];
    b0[s] = coef[s].b0;
    b1[s] = coef[s].b1;
    b2[s] = coef[s].b2;
    a1[s] = coef[s].a1;
    a2[s] = coef[s].a2;
  }
  for (std::size_t i = 0; i < frames; ++i) {
    V x = data[i];
#pragma GCC unroll 4
    for (int s = 0; s < G; ++s) {
      const V w = x - a1[s] * w1[s] - a2[s] * w2[s];
      x = b0[s] * w + b1[s] * w1[s] + b2[s] * w2[s];
      w2[s] = w1[s];
      w1[s] = w;
    }
    data[i] = x;
  }
  for (int s = 0; s < G; ++s) {
    st.w1[s] = w1[s];
    st.w2[s] = w2[s];
  }
}

template <typename V>
void RunSections(const SBiQuadSection* coef, int count, GroupState<V>* states, V* data, std::size_t frames) {
  for (int first = 0, g = 0; first < count; first += kGroup, ++g) {
    switch (std::min(kGroup, count - first)) {
      case 1: RunGroup<V, 1>(coef + first, states[g], data, frames); break;
      case 2: RunGroup<V, 2>(coef + first, states[g], data, frames); break;
      case 3: RunGroup<V, 3>(coef + first, states[g], data, frames); break;
      default: RunGroup<V, 4>(coef + first, states[g], data, frames); break;
    }
  }
}

constexpr int kMaxGroups = (NS_EFFECT::SBiQuadFilter::kMaxSections + kGroup - 1) / kGroup;

}  // namespace

Error BiquadKernel::Init(const NS_EFFECT::SBiQuadFilter& filter, std::uint16_t channels) {
  const int count = std::clamp(filter.count, 0, NS_EFFECT::SBiQuadFilter::kMaxSections);
  const std::size_t need = static_cast<std::size_t>(channels) * static_cast<std::size_t>(std::max(count, 1)) * 2;
  if (need > capacity_ || !state_) {
    state_.reset();
    capacity_ = 0;
    count_ = 0;
    active_ = 0;
    channels_ = 0;
    const Error rc = MakeNew(&state_, std::max<std::size_t>(need, 1));
    if (rc) return rc;
    capacity_ = std::max<std::size_t>(need, 1);
  }
  if (count == 0) {
    coef_[0] = SBiQuadSection{};
    count_ = 1;
  } else {
    std::copy(filter.sections, filter.sections + count, coef_);
    count_ = count;
  }
  // A pass-through section is skipped rather than run: it would turn -0 into
  // +0 and, once an infinity passed, 0 x inf into NaN.
  active_ = 0;
  for (int s = 0; s < count_; ++s) {
    const SBiQuadSection& c = coef_[s];
    if (c.b0 == 1.0 && c.b1 == 0.0 && c.b2 == 0.0 && c.a1 == 0.0 && c.a2 == 0.0) continue;
    run_[active_] = c;
    slot_[active_++] = s;
  }
  gain_ = filter.gain;
  channels_ = channels;
  Reset();
  return err::kOk;
}

void BiquadKernel::Reset() { std::fill(state_.get(), state_.get() + capacity_, 0.0); }

void BiquadKernel::Process(float* buffer, std::size_t frames, std::uint32_t mask) {
  if (active_ == 0) return;
  const std::size_t stride = channels_;
  const std::size_t per_channel = static_cast<std::size_t>(count_) * 2;
  const auto processed = [&](std::size_t ch) { return ch < 32 && (mask & (std::uint32_t{1} << ch)) != 0; };
  for (std::size_t ch = 0; ch < stride; ++ch) {
    if (!processed(ch)) continue;
    double* mine = state_.get() + ch * per_channel;
    if (ch + 1 < stride && processed(ch + 1)) {
      double* next = mine + per_channel;
      GroupState<Pair> st[kMaxGroups];
      for (int j = 0; j < active_; ++j) {
        const std::size_t at = 2 * static_cast<std::size_t>(slot_[j]);
        st[j / kGroup].w1[j % kGroup] = Pair{mine[at], next[at]};
        st[j / kGroup].w2[j % kGroup] = Pair{mine[at + 1], next[at + 1]};
      }
      Pair data[kChunk];
      for (std::size_t done = 0; done < frames; done += kChunk) {
        const std::size_t n = std::min(kChunk, frames - done);
        float* p = buffer + done * stride + ch;
        for (std::size_t i = 0; i < n; ++i) data[i] = Pair{p[i * stride], p[i * stride + 1]};
        RunSections(run_, active_, st, data, n);
        for (std::size_t i = 0; i < n; ++i) {
          p[i * stride] = static_cast<float>(data[i][0]);
          p[i * stride + 1] = static_cast<float>(data[i][1]);
        }
      }
      for (int j = 0; j < active_; ++j) {
        const std::size_t at = 2 * static_cast<std::size_t>(slot_[j]);
        mine[at] = st[j / kGroup].w1[j % kGroup][0];
        next[at] = st[j / kGroup].w1[j % kGroup][1];
        mine[at + 1] = st[j / kGroup].w2[j % kGroup][0];
        next[at + 1] = st[j / kGroup].w2[j % kGroup][1];
      }
      ++ch;
      continue;
    }
    GroupState<double> st[kMaxGroups];
    for (int j = 0; j < active_; ++j) {
      const std::size_t at = 2 * static_cast<std::size_t>(slot_[j]);
      st[j / kGroup].w1[j % kGroup] = mine[at];
      st[j / kGroup].w2[j % kGroup] = mine[at + 1];
    }
    double data[kChunk];
    for (std::size_t done = 0; done < frames; done += kChunk) {
      const std::size_t n = std::min(kChunk, frames - done);
      float* p = buffer + done * stride + ch;
      for (std::size_t i = 0; i < n; ++i) data[i] = p[i * stride];
      RunSections(run_, active_, st, data, n);
      for (std::size_t i = 0; i < n; ++i) p[i * stride] = static_cast<float>(data[i]);
    }
    for (int j = 0; j < active_; ++j) {
      const std::size_t at = 2 * static_cast<std::size_t>(slot_[j]);
      mine[at] = st[j / kGroup].w1[j % kGroup];
      mine[at + 1] = st[j / kGroup].w2[j % kGroup];
    }
  }
}

}  // namespace tidemark::dsp
