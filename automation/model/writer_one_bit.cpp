// The 1-bit file writer: PCM through the delta-sigma modulator into DSF,
// DSDIFF or WSD.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "automation/model/writer_objects.h"
#include "core/document/segment_cursor.h"
#include "dsp/delta_sigma/delta_sigma_modulator.h"
#include "effects/framework/progress_scope.h"
#include "formats/one_bit/one_bit_writer.h"
#include "platform/ascii_case.h"
#include "platform/utf.h"

namespace tidemark::NS_SCRIPT {

namespace {

constexpr LONG kOneBitRates[] = {1411200, 1536000, 2822400, 3072000, 5644800, 6144000, 11289600, 12288000};
// Every accepted rate is 64 times a PCM rate of the 44.1 or 48 kHz families.
constexpr std::uint32_t kRatio = 64;
constexpr std::uint32_t kBlockFrames = 4096;

// Modulates the document and writes it through `writer` (opened on `path`).
Error WriteOneBit(const SoundDocument& document, NS_1BIT::COneBitWriter& writer, std::uint32_t one_bit_rate) {
  const std::uint16_t channels = document.channels;
  dsp::DeltaSigmaModulator modulator;
  dsp::DeltaSigmaOptions options;
  options.one_bit_rate = one_bit_rate;
  options.pcm_rate = document.rate;
  options.channels = channels;
  options.lsb_first = writer.lsb_first();
  if (const Error rc = modulator.Init(options)) return rc;
  const std::uint32_t length = document.length;
  const std::uint64_t per_channel = static_cast<std::uint64_t>(length) * kRatio / 8;
  if (const Error rc = writer.Begin(one_bit_rate, channels, per_channel * channels)) return rc;
  std::vector<float> pcm(static_cast<std::size_t>(kBlockFrames) * channels);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kBlockFrames) * kRatio / 8 * channels);
  std::uint8_t* planes[2] = {bytes.data(), bytes.data() + static_cast<std::size_t>(kBlockFrames) * kRatio / 8};
  ProgressScope scope;
  return scope.RunWorker([&](ProgressScope& s) -> Error {
    s.SetCaption("1-bit");
    SegmentCursor cursor(document.segments, channels, length);
    cursor.Seek(0);
    for (std::uint32_t frame = 0; frame < length;) {
      if (s.Cancelled()) return err::kCancelled;
      s.Update(frame, length);
      const std::uint32_t n = std::min(kBlockFrames, length - frame);
      if (const Error rc = cursor.ReadFloat(n, pcm.data(), channels)) return rc;
      // The modulator takes NaN as 0 and clips beyond full scale.
      if (const Error rc = modulator.Process(pcm.data(), n, planes)) return rc;
      if (const Error rc = writer.WritePlanar(planes, n * kRatio / 8, channels)) return rc;
      frame += n;
    }
    if (const Error rc = writer.Finish()) return rc;
    return writer.WriteMetadata(one_bit_rate, document.metadata);
  });
}

}  // namespace

HRESULT CFileWriter_1Bit::get_Channels(INT* out) {
  if (!out) return E_INVALIDARG;
  *out = channels_;
  return S_OK;
}
HRESULT CFileWriter_1Bit::put_Channels(INT value) {
  if (value != 1 && value != 2) return E_INVALIDARG;
  channels_ = value;
  return S_OK;
}
HRESULT CFileWriter_1Bit::get_SampleRate(LONG* out) {
  if (!out) return E_INVALIDARG;
  *out = rate_;
  return S_OK;
}
HRESULT CFileWriter_1Bit::put_SampleRate(LONG value) {
  if (std::find(std::begin(kOneBitRates), std::end(kOneBitRates), value) == std::end(kOneBitRates))
    return E_INVALIDARG;
  rate_ = value;
  return S_OK;
}

HRESULT CFileWriter_1Bit::Process(VARIANT* src_obj, BSTR file_name) {
  if (!app_) return E_ACCESSDENIED;
  return Guarded(IFileWriter_1Bit::IID, [&]() -> HRESULT {
    ClipRef probe;
    if (const HRESULT hr = SourceClip(src_obj, &probe); FAILED(hr)) return hr;
    if (IsEmpty(file_name)) return E_INVALIDARG;
    const std::string extension = std::filesystem::path(BstrToUtf8(file_name)).extension().string();
    std::unique_ptr<NS_1BIT::COneBitWriter> writer = NS_1BIT::MakeOneBitWriter(extension);
    if (!writer) {
      if (EqualsIgnoreAsciiCase(extension, ".dsf") || EqualsIgnoreAsciiCase(extension, ".dff") ||
          EqualsIgnoreAsciiCase(extension, ".wsd"))
        RaiseAppError(err::kOutOfMemory);
      return E_INVALIDARG;
    }
    WriterJob job;
    const std::uint32_t one_bit_rate = static_cast<std::uint32_t>(rate_);
    const HRESULT hr = PrepareWriterJob(src_obj, file_name, one_bit_rate / kRatio,
                                        static_cast<std::uint16_t>(channels_), &job);
    if (FAILED(hr)) return hr;
    if (const Error opened = writer->Open(job.path)) {
      // Open empties the file before it fails at a later step: that empty
      // file goes, a file it could not touch stays.
      std::error_code ec;
      if (std::filesystem::file_size(job.path, ec) == 0 && !ec) std::filesystem::remove(job.path, ec);
      RaiseAppError(opened);
    }
    const Error written = WriteOneBit(*job.document, *writer, one_bit_rate);
    const Error closed = writer->Close();
    if (written || closed) {
      std::error_code ec;
      std::filesystem::remove(job.path, ec);  // no half-written file stays
      RaiseAppError(written ? written : closed);
    }
    return S_OK;
  });
}

}  // namespace tidemark::NS_SCRIPT
