// What the lossy writers' tests share: music-like test documents (float
// WAV files opened into documents), tags and markers put on them, and the
// check that a failed write left nothing in the folder.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/document/sound_document.h"
#include "core/markers/marker_list.h"
#include "formats/open_sound_file.h"
#include "formats/tags/tag_set.h"
#include "tests/codecs/codec_test_util.h"

namespace tidemark::codec_test {

// Two partials with a slow tremolo and a seeded noise floor, interleaved.
inline std::vector<float> MusicLike(std::uint32_t rate, std::uint16_t channels, std::uint32_t frames, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> noise(0.0f, 0.01f);
  std::vector<float> out(static_cast<std::size_t>(frames) * channels);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    for (std::uint16_t c = 0; c < channels; ++c) {
      const double v = 0.3 * std::sin(2 * M_PI * (440.0 + 110.0 * c) * t) * (0.8 + 0.2 * std::sin(2 * M_PI * 3 * t)) +
                       0.15 * std::sin(2 * M_PI * 1234.0 * t);
      out[static_cast<std::size_t>(i) * channels + c] = static_cast<float>(v) + noise(random);
    }
  }
  return out;
}

// A 32-bit float WAV file of `samples`.
inline void WriteFloatWav(const fs::path& path, std::uint32_t rate, std::uint16_t channels,
                          const std::vector<float>& samples) {
  std::vector<std::uint8_t> out;
  auto put = [&out](std::uint32_t v, int bytes) {
    for (int b = 0; b < bytes; ++b) out.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
  };
  const auto data = static_cast<std::uint32_t>(samples.size() * 4);
  out = {'R', 'I', 'F', 'F'};
  put(36 + data, 4);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<std::uint8_t>(c));
  put(16, 4);
  put(3, 2);
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * 4, 4);
  put(channels * 4u, 2);
  put(32, 2);
  for (char c : std::string("data")) out.push_back(static_cast<std::uint8_t>(c));
  put(data, 4);
  const std::size_t at = out.size();
  out.resize(at + data);
  std::memcpy(out.data() + at, samples.data(), data);
  WriteBytes(path, out);
}

inline DocumentPtr OpenFloatDocument(const fs::path& wav, std::uint32_t rate, std::uint16_t channels,
                                     const std::vector<float>& samples) {
  WriteFloatWav(wav, rate, channels, samples);
  SoundDocument* raw = nullptr;
  EXPECT_EQ(OpenSoundDocument(wav.string(), OpenOptions(), &raw), 0u);
  return DocumentPtr(raw);
}

inline void AddMarker(SoundDocument& d, std::uint32_t position, const char* name) {
  InsertMarker(d.markers, NewMarker(name, {}, position));
}

// Entries of the folder whose name holds ".part" (an encoder's hidden file).
inline int PartFiles(const fs::path& folder) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().find(".part") != std::string::npos) ++n;
  return n;
}

inline bool HaveMutagen() { return Shell("/usr/bin/python3 -c 'import mutagen'") == 0; }

// What mutagen reads from `path`: one "KEY=VALUE" line per field of the
// Python expression's dictionary, sorted.
inline std::string Mutagen(const fs::path& path, const std::string& expression) {
  const fs::path out = path.string() + ".mutagen.txt";
  const std::string script = "import mutagen, mutagen.id3, sys\n"
                             "f = sys.argv[1]\n"
                             "d = " + expression + "\n"
                             "open(sys.argv[2], 'w', encoding='utf-8').write(''.join(sorted('%s=%s\\n' % kv for kv in d.items())))\n";
  const fs::path py = path.string() + ".py";
  WriteBytes(py, std::vector<std::uint8_t>(script.begin(), script.end()));
  EXPECT_EQ(Shell("/usr/bin/python3 '" + py.string() + "' '" + path.string() + "' '" + out.string() + "'"), 0);
  const auto bytes = ReadBytes(out);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace tidemark::codec_test
