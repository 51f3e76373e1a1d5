#include "app/response_loader.h"

#include <algorithm>

#include "core/document/segment_cursor.h"
#include "formats/open_sound_file.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error LoadResponseFile(const std::string& path, NS_EFFECT::ImpulseResponse* out) {
  SoundFileInfo sniff;
  if (const Error rc = SniffSoundHeader(path, &sniff)) return err::kCannotOpen;
  // The open limits refuse these with 15; name the layout instead.
  if (sniff.channels > 2) return NS_EFFECT::kResponseChannels;
  SoundFileInfo info;
  SegmentList segments;
  const Error rc = OpenSoundFile(path, OpenOptions{}, true, &info, &segments);
  if (rc == err::kTooManyFrames) return NS_EFFECT::kResponseLength;
  if (rc == err::kUnsupportedFormat) return rc;
  if (rc) return err::kCannotOpen;
  if (info.channels < 1 || info.channels > 2) return NS_EFFECT::kResponseChannels;
  if (info.frames == 0 || info.frames > 0x7FFFFFFFu) return NS_EFFECT::kResponseLength;
  return TryAlloc([&]() -> Error {
    NS_EFFECT::ImpulseResponse ir;
    ir.rate = info.rate;
    ir.frames = info.frames;
    ir.channels.assign(info.channels, std::vector<float>(info.frames));
    SegmentCursor cursor(segments, info.channels, info.frames);
    constexpr std::uint32_t kChunk = 65536;
    std::vector<float> buf(std::size_t{kChunk} * info.channels);
    for (std::uint32_t done = 0; done < info.frames;) {
      const std::uint32_t n = std::min(kChunk, info.frames - done);
      if (const Error read = cursor.ReadFloat(n, buf.data(), info.channels)) return read;
      for (std::uint16_t c = 0; c < info.channels; ++c)
        for (std::uint32_t i = 0; i < n; ++i) ir.channels[c][done + i] = buf[std::size_t{i} * info.channels + c];
      done += n;
    }
    for (const auto& text : info.tags.texts) {
      if (!text) continue;
      if (const std::uint32_t d = NS_EFFECT::ParseDelayAnnotation(*text)) {
        ir.delay = d;
        break;
      }
    }
    *out = std::move(ir);
    return err::kOk;
  });
}

void InstallResponseLoader() { NS_EFFECT::SetResponseLoader(&LoadResponseFile); }

}  // namespace tidemark
