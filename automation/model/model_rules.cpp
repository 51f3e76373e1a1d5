#include "automation/model/model_rules.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "core/io/work_folder.h"
#include "core/samples/sample_format.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_SCRIPT {

std::uint32_t SecondsToFrames(double seconds, std::uint32_t rate) {
  const double frames = std::floor(seconds * static_cast<double>(rate) + 0.5);
  if (!(frames > 0)) return 0;
  if (frames >= static_cast<double>(kMaxFrames)) return kMaxFrames;
  return static_cast<std::uint32_t>(frames);
}

FrameRange PutSelectionFrom(FrameRange old, std::uint32_t length, double seconds, std::uint32_t rate) {
  FrameRange r = old;
  r.from = seconds < 0 ? 0 : std::min(SecondsToFrames(seconds, rate), length);
  if (r.to < r.from) r.to = r.from;
  return r;
}

FrameRange PutSelectionTo(FrameRange old, std::uint32_t length, double seconds, std::uint32_t rate) {
  if (seconds < 0) return FrameRange{};
  FrameRange r = old;
  r.to = std::min(SecondsToFrames(seconds, rate), length);
  if (r.from > r.to) r.from = r.to;
  return r;
}

std::optional<ParsedSampleType> ParsePcmFileSample(std::string_view words) {
  std::optional<ParsedSampleType> parsed = ParseSampleTypeText(words);
  if (!parsed) return std::nullopt;
  if (parsed->kind == PcmFileKind::Temp) parsed->kind = PcmFileKind::Wave;
  const NormalisedCode n = NormaliseForKind(parsed->kind, parsed->code);
  if (n.invalid) return std::nullopt;
  parsed->code = n.code;
  return parsed;
}

namespace {
// Paths longer than this are refused (the limit scripts were written for).
constexpr std::size_t kMaxPath = 260;
}  // namespace

Error CreateTempName(std::string_view folder, std::string_view prefix, bool make_dir, std::string* path,
                     std::optional<std::uint16_t> start) {
  path->clear();
  std::string base;
  {
    std::error_code ec;
    const std::filesystem::path absolute =
        std::filesystem::absolute(folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder), ec);
    if (ec) return err::kInvalidPath;
    base = absolute.lexically_normal().string();
  }
  if (base.empty() || base.back() != '/') base += '/';
  const std::uint16_t first_drawn = start ? *start : DrawWorkNameStart();
  const std::uint16_t first = first_drawn == 0 ? 1 : first_drawn;
  std::uint16_t value = first;
  do {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(value));
    std::string candidate = base;
    candidate.append(prefix).append(digits).append(".tmp");
    if (candidate.size() > kMaxPath) return model_err::kPathTooLong;
    int rc = 0;
    if (make_dir) {
      rc = ::mkdir(candidate.c_str(), 0777);
    } else {
      const int fd = ::open(candidate.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
      if (fd >= 0) ::close(fd);
      rc = fd >= 0 ? 0 : -1;
    }
    if (rc == 0) {
      *path = std::move(candidate);
      return err::kOk;
    }
    const int e = errno;
    if (e != EEXIST) return err::OsError(e);
    value = static_cast<std::uint16_t>(value + 1);
    if (value == 0) value = 1;
  } while (value != first);
  return make_dir ? kAllNamesTaken : err::OsError(EEXIST);
}

std::string JoinAppPrivate(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    out += '"';
    for (const char c : items[i]) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::vector<std::string> SplitAppPrivate(std::string_view field) {
  std::vector<std::string> items;
  if (field.empty()) return items;
  std::size_t i = 0;
  while (i < field.size()) {
    std::string item;
    if (field[i] == '"') {
      ++i;
      while (i < field.size() && field[i] != '"') {
        if (field[i] == '\\' && i + 1 < field.size()) ++i;
        item += field[i++];
      }
      ++i;  // the closing quote
      // Anything up to the next separator belongs to no element.
      while (i < field.size() && field[i] != ',') ++i;
    } else {
      while (i < field.size() && field[i] != ',') item += field[i++];
    }
    items.push_back(std::move(item));
    if (i < field.size() && field[i] == ',') {
      ++i;
      if (i == field.size()) items.emplace_back();
    }
  }
  return items;
}

std::optional<char> WeightingLetter(std::string_view argument, char current) {
  if (argument.empty()) return current;
  const unsigned char c = static_cast<unsigned char>(argument[0]);
  if (c > 127) return std::nullopt;
  const char upper = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (upper == '0' || (upper >= 'A' && upper <= 'D')) return upper;
  return std::nullopt;
}

std::optional<double> WaveformValue(const WaveformStatistics& stats, std::uint32_t rate, std::string_view key,
                                    int channel) {
  if (channel > 1 || key.empty()) return std::nullopt;
  const double seconds_per_frame = rate ? 1.0 / static_cast<double>(rate) : 0.0;
  if (channel < 0) {
    if (EqualsIgnoreAsciiCase(key, "InstantPeak")) return stats.instant_peak;
    if (EqualsIgnoreAsciiCase(key, "InstantPeakPos")) return stats.instant_peak_pos * seconds_per_frame;
    if (EqualsIgnoreAsciiCase(key, "Rms")) return stats.rms;
    if (EqualsIgnoreAsciiCase(key, "ShortRmsPeak")) return stats.short_rms_peak;
    if (EqualsIgnoreAsciiCase(key, "ShortRmsPeakPos")) return stats.short_rms_peak_pos * seconds_per_frame;
    return std::nullopt;
  }
  const ChannelStatistics& c = stats.channel[static_cast<std::size_t>(channel)];
  if (EqualsIgnoreAsciiCase(key, "InstantMax")) return c.instant_max;
  if (EqualsIgnoreAsciiCase(key, "InstantMin")) return c.instant_min;
  if (EqualsIgnoreAsciiCase(key, "Offset")) return c.offset;
  if (EqualsIgnoreAsciiCase(key, "MeanSquare")) return c.mean_square;
  if (EqualsIgnoreAsciiCase(key, "Variance")) return c.variance;
  return std::nullopt;
}

}  // namespace tidemark::NS_SCRIPT
