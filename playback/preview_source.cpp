#include "playback/preview_source.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <optional>
#include <vector>

#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/samples/sample_convert.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "playback/internal/range_source.h"

namespace tidemark::playback {
namespace {

constexpr std::uint32_t kChunk = 4096;

struct PreviewSource;
// The playing preview and its change waiting for the playback thread.
std::mutex g_preview_mutex;
PreviewSource* g_preview = nullptr;
std::unique_ptr<PreviewChange> g_change;

// Frees itself after the stop.
struct PreviewSource {
  ~PreviewSource() {
    const std::lock_guard lock(g_preview_mutex);
    if (g_preview == this) {
      g_preview = nullptr;
      g_change.reset();
    }
  }

  SoundDocument* document = nullptr;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  std::uint16_t channels = 1;
  std::unique_ptr<PreviewProcessor> processor;
  std::optional<SegmentCursor> cursor;
  std::optional<SegmentCursor> dry_cursor;  // at the output position, for the channels left alone
  std::vector<float> work, dry;
  std::uint32_t mask = 0xFFFFFFFFu;
  std::uint32_t read = 0;  // frames read from `start` on
  Error failed;            // a failed restart, reported by the next fill

  bool AllProcessed() const { return (~mask & ((1u << channels) - 1u)) == 0; }

  // The next `frames` input frames: the document while it lasts, then silence.
  Error ReadInput(float* dst, std::uint32_t frames) {
    const std::uint64_t at = std::uint64_t{start} + read;
    const auto have =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, at < document->length ? document->length - at : 0));
    if (have > 0) {
      if (const Error rc = cursor->Read(have, dst, sample_code::kFloat)) return rc;
    }
    std::fill(dst + std::size_t{have} * channels, dst + std::size_t{frames} * channels, 0.0f);
    read += frames;
    return {};
  }

  std::uint64_t Restart() {
    failed = Rewind();
    return length;
  }

  Error Rewind() {
    processor->Reset();
    cursor->Seek(start);
    dry_cursor->Seek(start);
    read = 0;
    // The first `latency` frames out of the run precede the range's first.
    for (std::uint32_t skip = processor->Latency(); skip > 0;) {
      const std::uint32_t n = std::min(skip, kChunk);
      if (const Error rc = ReadInput(work.data(), n)) return rc;
      if (const Error rc = processor->Process(work.data(), n, channels)) return rc;
      skip -= n;
    }
    return {};
  }

  Error TakeChange() {
    std::unique_ptr<PreviewChange> change;
    {
      const std::lock_guard lock(g_preview_mutex);
      change = std::move(g_change);
    }
    return change ? change->ApplyTo(*processor) : Error{};
  }

  Error Fill(std::uint32_t frames, void* buffer, SampleCode code) {
    if (failed) return failed;
    if (const Error rc = TakeChange()) return rc;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t frame_bytes = std::size_t{BytesPerSample(code)} * channels;
    while (frames > 0) {
      const std::uint32_t n = std::min(frames, kChunk);
      if (const Error rc = ReadInput(work.data(), n)) return rc;
      if (const Error rc = processor->Process(work.data(), n, channels)) return rc;
      const std::size_t count = std::size_t{n} * channels;
      if (!AllProcessed()) {
        if (const Error rc = dry_cursor->Read(n, dry.data(), sample_code::kFloat)) return rc;
        for (std::uint16_t c = 0; c < channels; ++c)
          if (!(mask >> c & 1u))
            for (std::size_t i = c; i < count; i += channels) work[i] = dry[i];
      }
      for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(work[i])) work[i] = 0.0f;
      Convert(work.data(), out, count, sample_code::kFloat, code);
      out += n * frame_bytes;
      frames -= n;
    }
    return {};
  }
};

}  // namespace

bool ChangePreview(std::unique_ptr<PreviewChange> change) {
  const std::lock_guard lock(g_preview_mutex);
  if (g_preview == nullptr) return false;
  g_change = std::move(change);
  return true;
}

bool PreviewPlaying() {
  const std::lock_guard lock(g_preview_mutex);
  return g_preview != nullptr;
}

Error PlayPreview(SoundDocument& document, std::uint32_t start, std::uint32_t length, bool loop,
                  std::unique_ptr<PreviewProcessor> processor, const PlaySettings& settings) {
  if (PlaybackExists()) return err::kPlaybackRunning;
  std::unique_ptr<PreviewSource> source;
  if (const Error rc = MakeNew(&source)) return rc;
  source->document = &document;
  source->start = start;
  source->length = length;
  source->channels = document.channels;
  source->mask = processor->ChannelMask();
  source->processor = std::move(processor);
  if (const Error rc = TryAlloc([&] {
        source->work.resize(std::size_t{kChunk} * document.channels);
        source->dry.resize(std::size_t{kChunk} * document.channels);
        source->cursor.emplace(document.segments, document.channels, document.length);
        source->dry_cursor.emplace(document.segments, document.channels, document.length);
      }))
    return rc;
  PlayStart s;
  s.source = &RangeSourceProc<PreviewSource>;
  s.context = source.get();
  s.rate = document.rate;
  s.channels = document.channels;
  s.loop = loop;
  s.flags = kLargeBuffers;
  {
    const std::lock_guard lock(g_preview_mutex);
    g_preview = source.get();
    g_change.reset();
  }
  if (const Error rc = StartPlayback(s, settings)) return rc;
  source.release();  // the source frees itself after the stop
  return {};
}

}  // namespace tidemark::playback
