// Arbitrary bytes as what FFmpeg hands the readers: a stream's duration,
// time base and rate (the first 20 bytes, little-endian), then container
// metadata as NUL-separated keys and values. The stated length is 0 or
// below 1e12 and 0 whenever its inputs are unknown; mapping metadata to a
// tag set and back never fails, and a second pass changes nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "codecs/internal/av_decode.h"
#include "codecs/internal/av_tags.h"

using namespace tidemark;
using Entries = std::vector<std::pair<std::string, std::string>>;

namespace {

template <typename T>
T Take(const std::uint8_t* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

// Keys and values in turn, each ended by a NUL; an unended last text is dropped.
Entries Split(const std::uint8_t* data, std::size_t size) {
  Entries entries;
  const char* text = reinterpret_cast<const char*>(data);
  const char* end = text + size;
  std::string key;
  bool have_key = false;
  while (const char* nul = static_cast<const char*>(std::memchr(text, 0, static_cast<std::size_t>(end - text)))) {
    if (have_key)
      entries.emplace_back(std::move(key), std::string(text, nul));
    else
      key.assign(text, nul);
    have_key = !have_key;
    text = nul + 1;
  }
  return entries;
}

Entries RoundTrip(const Entries& entries) {
  Entries out;
  if (codec_detail::AvEntriesFromTags(codec_detail::TagsFromAvEntries(entries), &out) != 0) std::abort();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHead = 20;
  if (size < kHead) return 0;
  const auto duration = Take<std::int64_t>(data);
  const AVRational time_base{Take<std::int32_t>(data + 8), Take<std::int32_t>(data + 12)};
  const auto rate = Take<std::uint32_t>(data + 16);
  const std::uint64_t frames = codec_detail::StatedFrames(duration, time_base, rate);
  if (frames >= 1000000000000ULL) std::abort();
  if (frames != 0 && (duration <= 0 || time_base.num <= 0 || time_base.den <= 0 || rate == 0)) std::abort();

  const Entries once = RoundTrip(Split(data + kHead, size - kHead));
  if (RoundTrip(once) != once) std::abort();
  return 0;
}
