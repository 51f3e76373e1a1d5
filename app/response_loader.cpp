#include "app/response_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "core/document/segment_cursor.h"
#include "config/settings.h"
#include "effects/convolution/fir_file.h"
#include "effects/convolution/reverb.h"
#include "formats/open_sound_file.h"
#include "formats/tags/tags.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/posix_file.h"

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

namespace {

void PutLe(std::vector<std::uint8_t>& b, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutId(std::vector<std::uint8_t>& b, const char* id) { b.insert(b.end(), id, id + 4); }

// RIFF header, fmt (IEEE float, 64 bits) and the data chunk of `ir`.
// `*created` tells whether the file at `path` was (re)made, and so is ours
// to remove on failure.
Error WriteFloat64Wav(const std::string& path, const NS_EFFECT::ImpulseResponse& ir, bool* created) {
  const auto channels = static_cast<std::uint16_t>(ir.channels.size());
  const std::uint64_t data = std::uint64_t{ir.frames} * channels * 8;
  constexpr std::uint32_t kHeader = 4 + (8 + 18) + 8;
  if (data + kHeader + 8 > 0xFFFFFFFFu) return err::kTooManyFramesForTarget;
  std::vector<std::uint8_t> head;
  PutId(head, "RIFF");
  PutLe(head, kHeader + data, 4);
  PutId(head, "WAVE");
  PutId(head, "fmt ");
  PutLe(head, 18, 4);
  PutLe(head, 3, 2);  // IEEE float
  PutLe(head, channels, 2);
  PutLe(head, ir.rate, 4);
  PutLe(head, std::uint64_t{ir.rate} * channels * 8, 4);
  PutLe(head, channels * 8u, 2);
  PutLe(head, 64, 2);
  PutLe(head, 0, 2);
  PutId(head, "data");
  PutLe(head, data, 4);
  PosixFile file;
  FileOpenOptions options;
  options.access = FileAccess::kWrite;
  options.disposition = FileDisposition::kCreateAlways;
  if (const Error rc = file.Open(path, options)) return rc;
  *created = true;
  std::size_t done = 0;
  if (const Error rc = file.WriteAt(head.data(), head.size(), 0, &done)) return rc;
  std::uint64_t offset = head.size();
  constexpr std::uint32_t kChunk = 8192;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(std::size_t{kChunk} * channels * 8);
  for (std::uint32_t at = 0; at < ir.frames; at += kChunk) {
    bytes.clear();
    const std::uint32_t n = std::min(kChunk, ir.frames - at);
    for (std::uint32_t i = 0; i < n; ++i) {
      for (std::uint16_t c = 0; c < channels; ++c) {
        const double v = ir.channels[c][at + i];
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        PutLe(bytes, bits, 8);
      }
    }
    if (const Error rc = file.WriteAt(bytes.data(), bytes.size(), offset, &done)) return rc;
    offset += bytes.size();
  }
  return file.Close();
}

}  // namespace

Error SaveResponseFile(const std::string& path, const NS_EFFECT::ImpulseResponse& ir) {
  if (ir.channels.empty() || ir.frames == 0) return NS_EFFECT::kResponseLength;
  bool created = false;
  const Error rc = TryAlloc([&]() -> Error {
    if (const Error written = WriteFloat64Wav(path, ir, &created)) return written;
    TagSet tags;
    SetTagText(tags, InfoText::Name, "Room impulse response (synthetic)");
    SetTagText(tags, InfoText::Genre, "FIR Filter");
    SetTagText(tags, InfoText::Comments, "Generated by Tidemark Roomsynth 1.8.5.2");
    char delay[32];
    std::snprintf(delay, sizeof delay, "DELAY=%u", ir.delay);
    SetTagText(tags, InfoText::Keywords, delay);
    return WriteTags(path, PcmFileKind::Wave, tags);
  });
  if (rc && created) std::remove(path.c_str());
  return rc;
}

bool SynthesisesResponse(const CEffEntry& entry) {
  return entry.GetCommandId() == NS_EFFECT_REVERB::Entry().GetCommandId();
}

Error SaveSynthesisedResponse(const CEffEntry& entry, const SettingsBlock& block, std::uint32_t rate,
                              const std::string& path, std::uint32_t* frames) {
  constexpr Error kNoResponse{80};
  if (!SynthesisesResponse(entry)) return kNoResponse;
  NS_EFFECT::ImpulseResponse ir;
  if (const Error rc = NS_EFFECT_REVERB::SynthesiseRoomResponse(block, rate, &ir)) return rc;
  *frames = ir.frames;
  return SaveResponseFile(path, ir);
}

namespace {

std::mutex g_recent_mutex;
std::vector<std::string> g_recent;

// Lists every file the effects read (FIRFilter's file).
Error LoadAndRemember(const std::string& path, NS_EFFECT::ImpulseResponse* out) {
  const Error rc = LoadResponseFile(path, out);
  if (!rc) RememberResponseFile(path);
  return rc;
}

void PutFirst(std::vector<std::string>& list, std::string path) {
  if (path.empty()) return;
  list.erase(std::remove(list.begin(), list.end(), path), list.end());
  list.insert(list.begin(), std::move(path));
  if (list.size() > kRecentResponseCount) list.resize(kRecentResponseCount);
}

}  // namespace

std::vector<std::string> RecentResponseFiles() {
  const std::lock_guard lock(g_recent_mutex);
  return g_recent;
}

void RememberResponseFile(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  const std::lock_guard lock(g_recent_mutex);
  PutFirst(g_recent, ec ? path : absolute.lexically_normal().string());
}

void RestoreRecentResponseFiles(const Settings& settings) {
  std::vector<std::string> kept;
  for (const std::string& path : settings.fir_filters) {
    if (path.empty() || std::find(kept.begin(), kept.end(), path) != kept.end()) continue;
    if (kept.size() < kRecentResponseCount) kept.push_back(path);
  }
  const std::lock_guard lock(g_recent_mutex);
  g_recent = std::move(kept);
}

void SaveRecentResponseFiles(Settings& settings) { settings.fir_filters = RecentResponseFiles(); }

std::vector<std::string> RecentResponseFilesOf(const CEffEntry& entry) {
  if (entry.GetCommandId() != NS_EFFECT_FIRFILE::Entry().GetCommandId()) return {};
  return RecentResponseFiles();
}

void InstallResponseLoader() { NS_EFFECT::SetResponseLoader(&LoadAndRemember); }

}  // namespace tidemark
