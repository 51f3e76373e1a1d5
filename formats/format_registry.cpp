#include "formats/format_registry.h"

#include <mutex>

#include "core/io/pcm_header.h"
#include "formats/aiff_au/internal/iff_header.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// AIFF gets the AIFC layout only when its code needs it; AIFC always does.
template <bool kForceAifc>
Error IffSize(const PcmHeaderRequest& request, std::uint32_t* bytes) {
  *bytes = IffHeaderSize(request.code, kForceAifc);
  return err::kOk;
}

template <bool kForceAifc>
Error IffBuild(const PcmHeaderRequest& r, std::byte* out) {
  BuildIffHeader(reinterpret_cast<std::uint8_t*>(out), r.rate, r.code, r.channels, r.frames, kForceAifc);
  return err::kOk;
}

Error AuSize(const PcmHeaderRequest&, std::uint32_t* bytes) {
  *bytes = kAuHeaderBytes;
  return err::kOk;
}

Error AuBuild(const PcmHeaderRequest& r, std::byte* out) {
  BuildAuHeader(reinterpret_cast<std::uint8_t*>(out), r.rate, r.code, r.channels, r.frames);
  return err::kOk;
}

}  // namespace

void RegisterFormatHeaderBuilders() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterPcmHeaderFormat(PcmFileKind::AIFF, {IffSize<false>, IffBuild<false>});
    RegisterPcmHeaderFormat(PcmFileKind::AIFC, {IffSize<true>, IffBuild<true>});
    RegisterPcmHeaderFormat(PcmFileKind::AU, {AuSize, AuBuild});
  });
}

}  // namespace tidemark
