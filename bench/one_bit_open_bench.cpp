// Opening hostile 1-bit files: "one_bit_open_bench [FOLDER]" writes the
// worst cases of each reader that fit in 1 MiB (tens of thousands of empty
// chunks at the top, in the property chunk and in "DIIN", a "DIIN" full of
// marks in reverse order, a "COMT" of 65535 comments, a DSF tag with a
// lyrics frame of 200,000 entries or 100,000 empty frames, and a WSD file of
// the same size) and times opening each as a document with its markers and
// tags: the first open (the one a user waits for, when the allocator's
// state is fresh) and the best of three. The files are deleted afterwards.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/segment.h"
#include "formats/chunks/byte_order.h"
#include "formats/one_bit/one_bit_document.h"
#include "formats/sound_file_info.h"

namespace tidemark::NS_1BIT {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRate = 2822400;
constexpr std::size_t kLimit = std::size_t{1} << 20;

void PutBe(Bytes& b, std::uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
// Appended by resizing: g++ 12 warns falsely about inserting a range into
// an empty vector.
void PutText(Bytes& b, std::string_view t) {
  const std::size_t at = b.size();
  b.resize(at + t.size());
  std::copy(t.begin(), t.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

// A DSDIFF chunk: id, u64 big-endian size, body, pad byte after an odd body.
Bytes Chunk(std::string_view id, const Bytes& body) {
  Bytes b;
  PutText(b, id);
  PutBe(b, body.size(), 8);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
  return b;
}
Bytes Typed(std::string_view type, const Bytes& inner) {
  Bytes b;
  PutText(b, type);
  b.insert(b.end(), inner.begin(), inner.end());
  return b;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}
// `n` empty chunks.
Bytes EmptyChunks(std::size_t n) {
  Bytes b;
  for (std::size_t i = 0; i < n; ++i) {
    const Bytes c = Chunk("JUNK", {});
    b.insert(b.end(), c.begin(), c.end());
  }
  return b;
}

Bytes Prop(const Bytes& extra = {}) {
  Bytes fs, chnl, cmpr;
  PutBe(fs, kRate, 4);
  PutBe(chnl, 2, 2);
  PutText(chnl, "SLFTSRGT");
  PutText(cmpr, "DSD ");
  cmpr.push_back(14);
  PutText(cmpr, "not compressed");
  return Chunk("PROP", Typed("SND ", Cat({extra, Chunk("FS  ", fs), Chunk("CHNL", chnl), Chunk("CMPR", cmpr)})));
}

Bytes Fver() {
  Bytes v;
  PutBe(v, 0x01050000, 4);
  return Chunk("FVER", v);
}

Bytes Dsdiff(const Bytes& body) { return Chunk("FRM8", Typed("DSD ", body)); }

// The usual header chunks and 64 data bytes: what every DSDIFF case starts with.
Bytes DsdiffHead() { return Cat({Fver(), Prop(), Chunk("DSD ", Bytes(64, 0xAA))}); }

// Room left for `per_item`-byte items after a head of `head` bytes inside a
// chunk inside the container.
std::size_t Fit(std::size_t head, std::size_t per_item) { return (kLimit - 16 - head - 32) / per_item; }

Bytes TopChunks() {
  const Bytes head = DsdiffHead();
  return Dsdiff(Cat({head, EmptyChunks(Fit(head.size(), 12))}));
}

Bytes PropChunks() {
  const Bytes rest = Cat({Fver(), Chunk("DSD ", Bytes(64, 0xAA))});
  return Dsdiff(Cat({Fver(), Prop(EmptyChunks(Fit(rest.size() + 200, 12))), Chunk("DSD ", Bytes(64, 0xAA))}));
}

Bytes DiinChunks() {
  const Bytes head = DsdiffHead();
  return Dsdiff(Cat({head, Chunk("DIIN", EmptyChunks(Fit(head.size(), 12)))}));
}

Bytes ReversedMarks() {
  const Bytes head = DsdiffHead();
  const std::size_t n = Fit(head.size(), 34);
  Bytes marks;
  for (std::size_t i = 0; i < n; ++i) {
    Bytes m;
    PutBe(m, 0, 4);                 // hours, minutes, seconds
    PutBe(m, 64 * (n - i), 4);      // samples
    PutBe(m, 0, 4);                 // offset
    PutBe(m, 0, 2);                 // track start
    PutBe(m, 0, 2);                 // all channels
    PutBe(m, 0, 2);                 // flags
    PutBe(m, 0, 4);                 // no text
    const Bytes c = Chunk("MARK", m);
    marks.insert(marks.end(), c.begin(), c.end());
  }
  return Dsdiff(Cat({head, Chunk("DIIN", marks)}));
}

Bytes ManyComments() {
  Bytes body;
  PutBe(body, 65535, 2);
  for (int i = 0; i < 65535; ++i) {
    PutBe(body, 2024, 2);
    PutBe(body, 0x01020304, 4);
    PutBe(body, 1, 2);  // type 1: not one that is read
    PutBe(body, 1, 2);
    PutBe(body, 0, 4);
  }
  return Dsdiff(Cat({DsdiffHead(), Chunk("COMT", body)}));
}

// A DSF file of one block of silence per channel and `tag` after it.
Bytes Dsf(const Bytes& tag) {
  Bytes b(92 + 8192 + tag.size(), 0x55);
  std::fill_n(b.begin(), 92, std::uint8_t{0});
  std::copy(tag.begin(), tag.end(), b.begin() + 92 + 8192);
  std::copy_n("DSD ", 4, b.begin());
  StoreLe64(b.data() + 4, 28);
  StoreLe64(b.data() + 12, 92 + 8192 + tag.size());
  StoreLe64(b.data() + 20, 92 + 8192);
  std::copy_n("fmt ", 4, b.begin() + 28);
  StoreLe64(b.data() + 32, 52);
  StoreLe32(b.data() + 40, 1);
  StoreLe32(b.data() + 48, 2);
  StoreLe32(b.data() + 52, 2);
  StoreLe32(b.data() + 56, kRate);
  StoreLe32(b.data() + 60, 1);
  StoreLe64(b.data() + 64, 4096 * 8);
  StoreLe32(b.data() + 72, 4096);
  std::copy_n("data", 4, b.begin() + 80);
  StoreLe64(b.data() + 84, 8192 + 12);
  return b;
}

Bytes Id3(const Bytes& frames) {
  Bytes b;
  PutText(b, "ID3");
  b.push_back(3);
  b.push_back(0);
  b.push_back(0);
  const auto n = static_cast<std::uint32_t>(frames.size());
  for (int shift : {21, 14, 7, 0}) b.push_back(static_cast<std::uint8_t>((n >> shift) & 0x7F));
  b.insert(b.end(), frames.begin(), frames.end());
  return b;
}

Bytes Frame(std::string_view id, const Bytes& body) {
  Bytes b;
  PutText(b, id);
  PutBe(b, body.size(), 4);
  PutBe(b, 0, 2);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes ReversedLyrics() {
  const std::size_t n = (kLimit - 92 - 8192 - 64) / 5;
  Bytes body = {0, 'e', 'n', 'g', 2, 1, 0};
  for (std::size_t i = 0; i < n; ++i) {
    body.push_back(0);  // empty text
    PutBe(body, 10 * (n - i), 4);
  }
  return Dsf(Id3(Frame("SYLT", body)));
}

Bytes EmptyFrames() {
  Bytes frames;
  for (std::size_t i = 0; i < (kLimit - 92 - 8192 - 64) / 10; ++i) {
    const Bytes f = Frame("TXXX", {});
    frames.insert(frames.end(), f.begin(), f.end());
  }
  return Dsf(Id3(frames));
}

Bytes Wsd() {
  Bytes b(kLimit - 1, 0xAA);
  std::fill_n(b.begin(), 2048, std::uint8_t{0});
  std::copy_n("1bit", 4, b.begin());
  b[8] = 0x10;
  StoreBe32(b.data() + 12, static_cast<std::uint32_t>(b.size()));
  StoreBe32(b.data() + 20, 128);
  StoreBe32(b.data() + 24, 2048);
  StoreBe32(b.data() + 36, kRate);
  b[44] = 2;
  b[48] = 0x44;
  std::fill_n(b.begin() + 128, 1920, std::uint8_t{' '});
  return b;
}

double Seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

int Run(int argc, char** argv) {
  std::string folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/one_bit_open_bench.XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      return 1;
    }
    folder = pattern;
  }
  struct Case {
    const char* name;
    std::function<Bytes()> make;
  };
  const Case cases[] = {{"top_chunks.dff", TopChunks},     {"prop_chunks.dff", PropChunks},
                        {"diin_chunks.dff", DiinChunks},   {"reversed_marks.dff", ReversedMarks},
                        {"comments.dff", ManyComments},    {"reversed_lyrics.dsf", ReversedLyrics},
                        {"empty_frames.dsf", EmptyFrames}, {"plain.wsd", Wsd}};
  int failures = 0;
  std::printf("  %-22s %9s %9s %9s %9s\n", "file", "bytes", "markers", "first ms", "best ms");
  for (const Case& c : cases) {
    const Bytes bytes = c.make();
    if (bytes.size() >= kLimit) {
      std::fprintf(stderr, "%s: %zu bytes, not under 1 MiB\n", c.name, bytes.size());
      return 1;
    }
    const std::string path = folder + "/" + c.name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    double first = 0, best = 1e30;
    std::size_t markers = 0;
    for (int round = 0; round < 3; ++round) {
      SegmentList segments;
      SoundFileInfo info;
      const auto t0 = std::chrono::steady_clock::now();
      const Error rc = OpenOneBitFile(path, true, false, &segments, &info);
      const double s = Seconds(t0);
      if (round == 0) first = s;
      best = std::min(best, s);
      if (rc != 0) {
        std::fprintf(stderr, "%s: error %u\n", c.name, rc.code());
        ++failures;
        break;
      }
      markers = info.markers.size();
    }
    std::printf("  %-22s %9zu %9zu %9.1f %9.1f\n", c.name, bytes.size(), markers, first * 1e3, best * 1e3);
    std::remove(path.c_str());
  }
  if (argc <= 1) rmdir(folder.c_str());
  return failures;
}

}  // namespace
}  // namespace tidemark::NS_1BIT

int main(int argc, char** argv) { return tidemark::NS_1BIT::Run(argc, argv); }
