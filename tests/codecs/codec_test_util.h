// What the codec tests share: a scratch folder, running the peers, whole
// files, decoding through ffmpeg and comparing lossy output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/codec_library.h"
#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "formats/open_sound_file.h"
#include "platform/error.h"

namespace tidemark::codec_test {

namespace fs = std::filesystem;

inline fs::path Folder(const char* name) {
  fs::path p = fs::temp_directory_path() / name;
  fs::create_directories(p);
  return p;
}

inline int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// What a command prints on its standard output.
inline std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    ::pclose(p);
  }
  return out;
}

inline std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// Interleaved float samples as ffmpeg decodes `path`.
inline std::vector<float> FfmpegDecode(const fs::path& path) {
  const fs::path raw = path.string() + ".f32";
  EXPECT_EQ(Shell("/usr/bin/ffmpeg -v error -y -i '" + path.string() + "' -f f32le '" + raw.string() + "'"), 0);
  const auto bytes = ReadBytes(raw);
  std::vector<float> samples(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

inline double SnrDb(const std::vector<float>& reference, const std::vector<float>& test) {
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < reference.size() && i < test.size(); ++i) {
    signal += double(reference[i]) * reference[i];
    noise += (double(reference[i]) - test[i]) * (double(reference[i]) - test[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1e-30));
}

inline double Correlation(const std::vector<float>& a, const std::vector<float>& b) {
  double ab = 0, aa = 0, bb = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    ab += double(a[i]) * b[i];
    aa += double(a[i]) * a[i];
    bb += double(b[i]) * b[i];
  }
  return ab / std::sqrt(aa * bb);
}

// A file decoded by one of the readers, its samples read back as floats.
struct Decoded {
  Error rc;
  SoundFileInfo info;
  std::vector<float> samples;
};

template <typename Reader>
Decoded DecodeWith(Reader read, const fs::path& path) {
  Decoded d;
  SegmentList segments;
  d.rc = read(path.string(), true, &d.info, &segments);
  if (d.rc) return d;
  d.samples.resize(static_cast<std::size_t>(d.info.frames) * d.info.channels);
  SegmentCursor cursor(segments, d.info.channels, d.info.frames);
  EXPECT_EQ(cursor.Read(d.info.frames, d.samples.data(), sample_code::kFloat), 0u);
  return d;
}

// Decodes with a search folder (made in `scratch`) that holds the system's
// `soname` and no other codec library: FFmpeg hidden.
template <typename Reader>
Decoded DecodeWithOnly(Reader read, const fs::path& path, const char* soname, const fs::path& scratch) {
  const fs::path only = scratch / (std::string(soname) + "_only");
  fs::create_directories(only);
  std::error_code ignored;
  fs::create_symlink(fs::path("/usr/lib/x86_64-linux-gnu") / soname, only / soname, ignored);
  ::setenv("TIDEMARK_CODEC_PATH", only.c_str(), 1);
  detail::ResetCodecLibraries();
  Decoded d = DecodeWith(read, path);
  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  return d;
}

}  // namespace tidemark::codec_test
