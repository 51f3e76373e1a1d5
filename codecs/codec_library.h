// The codec libraries, loaded with dlopen at first use. Each library is
// looked up once; a library that cannot be loaded stays missing for the run
// and every reader or writer that needs it answers
// err::kCodecLibraryUnavailable, naming the Debian package to install
// through MissingCodecPackage(). Nothing else depends on the libraries.
//
// TIDEMARK_CODEC_PATH, when set, is the only folder searched (the library's
// file name is appended to it); an empty folder hides every library.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tidemark {

enum class CodecLibrary {
  kFlac,
  kMpg123,
  kLame,
  kVorbisFile,
  kVorbisEnc,
  kOpusFile,
  kOpusEnc,
  kAvFormat,
  kAvCodec,
  kSwResample,
};
inline constexpr std::size_t kCodecLibraryCount = 10;

struct CodecLibraryInfo {
  std::string_view name;     // shown by `encoders`
  std::string_view soname;   // what dlopen is given
  std::string_view package;  // the Debian package that ships it
};

const CodecLibraryInfo& DescribeCodecLibrary(CodecLibrary library);

// The library's handle, loading it on first use. 37 when it cannot be
// loaded; the package is then remembered for MissingCodecPackage().
[[nodiscard]] Error LoadCodecLibrary(CodecLibrary library, void** handle);

// Resolves `count` symbols into `slots` (function pointers stored as void*)
// from the library; 37 when the library or any symbol is missing.
[[nodiscard]] Error ResolveCodecSymbols(CodecLibrary library, const char* const* names, void** slots,
                                        std::size_t count);

// True when the library can be loaded (loads it).
bool CodecLibraryAvailable(CodecLibrary library);

// The package of the library whose load failed last in this thread, empty
// when none did; the console names it under a 37.
std::string MissingCodecPackage();

namespace detail {
// Forgets every loaded library (handles stay open) so that a test can
// change TIDEMARK_CODEC_PATH between cases.
void ResetCodecLibraries();
}  // namespace detail

}  // namespace tidemark
