#include "codecs/codec_library.h"

#include <dlfcn.h>

#include <array>
#include <cstdlib>
#include <mutex>

#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::array<CodecLibraryInfo, kCodecLibraryCount> kLibraries = {{
    {"libFLAC", "libFLAC.so.12", "libflac12"},
    {"libmpg123", "libmpg123.so.0", "libmpg123-0"},
    {"libmp3lame", "libmp3lame.so.0", "libmp3lame0"},
    {"libvorbisfile", "libvorbisfile.so.3", "libvorbisfile3"},
    {"libvorbisenc", "libvorbisenc.so.2", "libvorbisenc2"},
    {"libopusfile", "libopusfile.so.0", "libopusfile0"},
    {"libopusenc", "libopusenc.so.0", "libopusenc0"},
    {"libavformat", "libavformat.so.59", "libavformat59"},
    {"libavcodec", "libavcodec.so.59", "libavcodec59"},
    {"libswresample", "libswresample.so.4", "libswresample4"},
}};

enum class LoadState { kUnknown, kLoaded, kMissing };

struct Slot {
  LoadState state = LoadState::kUnknown;
  void* handle = nullptr;
};

std::mutex g_mutex;
std::array<Slot, kCodecLibraryCount> g_slots;
thread_local std::string t_missing_package;

void* OpenLibrary(const CodecLibraryInfo& info) {
  const char* folder = std::getenv("TIDEMARK_CODEC_PATH");
  std::string file(info.soname);
  if (folder) {
    std::string dir(folder);
    // An empty folder setting hides every library.
    if (dir.empty()) return nullptr;
    if (dir.back() != '/') dir += '/';
    file = dir + file;
  }
  return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

const CodecLibraryInfo& DescribeCodecLibrary(CodecLibrary library) {
  return kLibraries[static_cast<std::size_t>(library)];
}

Error LoadCodecLibrary(CodecLibrary library, void** handle) {
  const std::size_t index = static_cast<std::size_t>(library);
  std::lock_guard<std::mutex> lock(g_mutex);
  Slot& slot = g_slots[index];
  if (slot.state == LoadState::kUnknown) {
    slot.handle = OpenLibrary(kLibraries[index]);
    slot.state = slot.handle ? LoadState::kLoaded : LoadState::kMissing;
  }
  if (slot.state == LoadState::kMissing) {
    t_missing_package = std::string(kLibraries[index].package);
    return err::kCodecLibraryUnavailable;
  }
  *handle = slot.handle;
  return err::kOk;
}

Error ResolveCodecSymbols(CodecLibrary library, const char* const* names, void** slots, std::size_t count) {
  void* handle = nullptr;
  if (const Error rc = LoadCodecLibrary(library, &handle)) return rc;
  for (std::size_t i = 0; i < count; ++i) {
    slots[i] = dlsym(handle, names[i]);
    if (!slots[i]) {
      // An older library without a symbol we call counts as missing.
      t_missing_package = std::string(DescribeCodecLibrary(library).package);
      return err::kCodecLibraryUnavailable;
    }
  }
  return err::kOk;
}

bool CodecLibraryAvailable(CodecLibrary library) {
  void* handle = nullptr;
  return LoadCodecLibrary(library, &handle) == err::kOk;
}

std::string MissingCodecPackage() { return t_missing_package; }

void detail::ResetCodecLibraries() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_slots = {};
  t_missing_package.clear();
}

}  // namespace tidemark
