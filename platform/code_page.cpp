#include "platform/code_page.h"

#include <errno.h>
#include <iconv.h>

#include <utility>

#include "platform/utf.h"

namespace tidemark {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

class IconvHandle {
 public:
  IconvHandle() = default;
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  IconvHandle(IconvHandle&& other) noexcept : cd_(std::exchange(other.cd_, kNoConverter)) {}
  IconvHandle& operator=(IconvHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      cd_ = std::exchange(other.cd_, kNoConverter);
    }
    return *this;
  }
  ~IconvHandle() { Reset(); }

  bool Open(const std::string& to, const std::string& from) {
    Reset();
    cd_ = iconv_open(to.c_str(), from.c_str());
    return cd_ != kNoConverter;
  }
  bool valid() const { return cd_ != kNoConverter; }
  iconv_t get() const { return cd_; }

 private:
  void Reset() {
    if (cd_ != kNoConverter) iconv_close(cd_);
    cd_ = kNoConverter;
  }
  iconv_t cd_ = kNoConverter;
};

// iconv_open reads gconv modules, so each thread keeps the converter it used
// last for each direction.
struct CachedConverter {
  std::string codeset;
  IconvHandle handle;
};

iconv_t Converter(CachedConverter& cache, std::string_view codeset, bool to_utf8) {
  if (!cache.handle.valid() || cache.codeset != codeset) {
    cache.codeset = std::string(codeset);
    const std::string name(codeset);
    if (!(to_utf8 ? cache.handle.Open("UTF-8", name) : cache.handle.Open(name, "UTF-8")))
      return kNoConverter;
  }
  iconv(cache.handle.get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  return cache.handle.get();
}

// Growing output buffer for iconv.
class OutBuffer {
 public:
  explicit OutBuffer(std::size_t hint) : data_(hint < 16 ? 16 : hint, '\0') {}
  char** cursor() {
    ptr_ = data_.data() + used_;
    return &ptr_;
  }
  std::size_t* room() {
    room_ = data_.size() - used_;
    return &room_;
  }
  // Accounts for what iconv wrote through cursor()/room().
  void Commit() { used_ = static_cast<std::size_t>(ptr_ - data_.data()); }
  void Grow() { data_.resize(data_.size() * 2); }
  void Append(std::string_view bytes) {
    while (data_.size() - used_ < bytes.size()) Grow();
    data_.replace(used_, bytes.size(), bytes);
    used_ += bytes.size();
  }
  std::string Take() {
    data_.resize(used_);
    return std::move(data_);
  }

 private:
  std::string data_;
  std::size_t used_ = 0;
  char* ptr_ = nullptr;
  std::size_t room_ = 0;
};

// Runs iconv over the whole input; `on_invalid` is called with the position of
// each byte iconv refuses and returns how many input bytes to skip.
template <typename OnInvalid>
std::string RunIconv(iconv_t cd, std::string_view input, OnInvalid on_invalid) {
  OutBuffer out(input.size() + input.size() / 2);
  char* in = const_cast<char*>(input.data());  // iconv does not write its input
  std::size_t in_left = input.size();
  while (in_left > 0) {
    char** cursor = out.cursor();
    std::size_t* room = out.room();
    const std::size_t rc = iconv(cd, &in, &in_left, cursor, room);
    out.Commit();
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.Grow();
      continue;
    }
    // EILSEQ (invalid or unrepresentable) or EINVAL (incomplete at the end).
    const std::size_t pos = input.size() - in_left;
    std::size_t skip = on_invalid(cd, out, pos);
    if (skip > in_left) skip = in_left;
    in += skip;
    in_left -= skip;
  }
  for (;;) {  // flush a stateful encoder's shift state
    char** cursor = out.cursor();
    std::size_t* room = out.room();
    const std::size_t rc = iconv(cd, nullptr, nullptr, cursor, room);
    out.Commit();
    if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) break;
    out.Grow();
  }
  return out.Take();
}

std::string RepairUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) AppendUtf8(out, DecodeUtf8Step(utf8, &pos));
  return out;
}

std::string FoldName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_') continue;
    out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return out;
}

}  // namespace

std::string NarrowToUtf8(std::string_view bytes, std::string_view codeset) {
  if (IsUtf8Codeset(codeset)) return RepairUtf8(bytes);
  static thread_local CachedConverter cache;
  const iconv_t cd = Converter(cache, codeset, /*to_utf8=*/true);
  if (cd == kNoConverter) {
    std::string out;
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out.push_back(c);
      } else {
        AppendUtf8(out, kReplacementChar);
      }
    }
    return out;
  }
  return RunIconv(cd, bytes, [](iconv_t, OutBuffer& out, std::size_t) {
    out.Append("\xEF\xBF\xBD");
    return std::size_t{1};
  });
}

std::string NarrowToUtf8(std::string_view bytes) { return NarrowToUtf8(bytes, NarrowCodeset()); }

std::string Utf8ToNarrow(std::string_view utf8, std::string_view codeset) {
  if (IsUtf8Codeset(codeset)) return RepairUtf8(utf8);
  static thread_local CachedConverter cache;
  const iconv_t cd = Converter(cache, codeset, /*to_utf8=*/false);
  if (cd == kNoConverter) {
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
      const char32_t cp = DecodeUtf8Step(utf8, &pos);
      out.push_back(cp < 0x80 ? static_cast<char>(cp) : '?');
    }
    return out;
  }
  return RunIconv(cd, utf8, [utf8](iconv_t converter, OutBuffer& out, std::size_t pos) {
    // The '?' goes through the converter too, so a stateful code page stays
    // in a consistent shift state.
    char question[] = "?";
    char* in = question;
    std::size_t in_left = 1;
    for (;;) {
      char** cursor = out.cursor();
      std::size_t* room = out.room();
      const std::size_t rc = iconv(converter, &in, &in_left, cursor, room);
      out.Commit();
      if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) break;
      out.Grow();
    }
    std::size_t next = pos;
    DecodeUtf8Step(utf8, &next);
    return next - pos;
  });
}

std::string Utf8ToNarrow(std::string_view utf8) { return Utf8ToNarrow(utf8, NarrowCodeset()); }

bool IsCodesetSupported(std::string_view codeset) {
  IconvHandle to, from;
  const std::string name(codeset);
  return to.Open(name, "UTF-8") && from.Open("UTF-8", name);
}

bool IsDoubleByteLead(std::string_view codeset, unsigned char byte) {
  const std::string name = FoldName(codeset);
  if (name == "CP932" || name == "MS932" || name == "WINDOWS31J" || name == "SJIS" ||
      name == "SHIFTJIS") {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  }
  if (name == "CP936" || name == "MS936" || name == "GBK" || name == "CP949" || name == "MS949" ||
      name == "UHC" || name == "CP950" || name == "MS950" || name == "BIG5") {
    return byte >= 0x81 && byte <= 0xFE;
  }
  return false;
}

}  // namespace tidemark
