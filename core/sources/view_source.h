// Channel views of another source: a stereo view (both channels from one
// channel of the inner source) and a mono view (one channel of a stereo
// source).
#pragma once

#include <cstdint>

#include "core/sources/sound_source.h"
#include "platform/error.h"

namespace tidemark {

class ViewSource : public SoundSource {
 public:
  // Writes "sf2 " with the number the writer gives the inner source
  // (21 when it has none).
  Error Serialize(ChunkWriter& writer) override;
  std::uint32_t rate() const override { return inner_->rate(); }

  SoundSource* inner() const { return inner_.get(); }
  std::uint16_t channel() const { return channel_; }

 protected:
  ViewSource(SourceRef inner, std::uint16_t channel) : inner_(std::move(inner)), channel_(channel) {}

  SourceRef inner_;
  std::uint16_t channel_;
};

// Inner mono: each sample doubled into both channels. Inner stereo: the
// chosen channel copied into both.
class StereoViewSource final : public ViewSource {
 public:
  StereoViewSource(SourceRef inner, std::uint16_t channel) : ViewSource(std::move(inner), channel) {}
  Error Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) override;
  SourceKind kind() const override { return SourceKind::StereoView; }
  std::uint16_t channels() const override { return 2; }
};

// The chosen channel of a stereo source.
class MonoViewSource final : public ViewSource {
 public:
  MonoViewSource(SourceRef inner, std::uint16_t channel) : ViewSource(std::move(inner), channel) {}
  Error Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) override;
  SourceKind kind() const override { return SourceKind::MonoView; }
  std::uint16_t channels() const override { return 1; }
};

// New views; empty when the inner source is missing or has another channel
// count than the view can read (a stereo view needs 1 or 2, a mono view 2),
// when `channel` is above 1, or when memory runs out.
SourceRef MakeStereoView(SourceRef inner, std::uint16_t channel);
SourceRef MakeMonoView(SourceRef inner, std::uint16_t channel);

// The view behind `source`, or null for other kinds.
const ViewSource* AsViewSource(const SoundSource* source);

}  // namespace tidemark
