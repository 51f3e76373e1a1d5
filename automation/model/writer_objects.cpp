// The PCM, FLAC and Opus file writers and the Process steps every writer
// shares.
#include "automation/model/writer_objects.h"
#include "automation/model/writer_values.h"

#include <algorithm>
#include <filesystem>

#include "automation/model/model_ops.h"
#include "codecs/codec_library.h"
#include "codecs/flac_codec.h"
#include "codecs/opus_codec.h"
#include "core/edit/format_change.h"
#include "formats/save_document.h"
#include "platform/utf.h"

namespace tidemark::NS_SCRIPT {

namespace {

constexpr bool RateAccepted(LONG rate) { return rate == 0 || (rate >= 4000 && rate <= 384000); }
constexpr bool ChannelsAccepted(INT channels) { return channels >= 0 && channels <= 2; }

using writer_values::GetBool;
using writer_values::GetValue;

// The texts of the source object (a clip's own, or the document's); empty
// for anything else (SourceClip has refused those already).
DocumentMetadata SourceTexts(VARIANT* src_obj) {
  const VARIANT* v = VariantDeref(src_obj);
  if (!v || v->vt != VT_DISPATCH || !v->pdispVal) return {};
  if (ComRef<ISoundClip> asked = QueryAs<ISoundClip>(v->pdispVal)) {
    ComRef<IUnknown> inner = UnwrapProxy(asked.get());
    ComRef<ISoundClip> own = QueryAs<ISoundClip>(inner.get());
    if (auto* c = own ? dynamic_cast<CSndClip*>(own.get()) : nullptr)
      if (const DocumentMetadata* t = c->Texts()) return *t;
    return {};
  }
  if (ComRef<IDocument> asked = QueryAs<IDocument>(v->pdispVal)) {
    ComRef<IUnknown> inner = UnwrapProxy(asked.get());
    ComRef<IDocument> own = QueryAs<IDocument>(inner.get());
    if (auto* d = own ? dynamic_cast<CDoc*>(own.get()) : nullptr)
      if (const DocumentMetadata* t = d->Texts()) return *t;
  }
  return {};
}

}  // namespace

HRESULT PrepareWriterJob(VARIANT* src_obj, BSTR file_name, std::uint32_t rate, std::uint16_t channels,
                         WriterJob* job) {
  ClipRef clip;
  if (const HRESULT hr = SourceClip(src_obj, &clip); FAILED(hr)) return hr;
  if (IsEmpty(file_name)) return E_INVALIDARG;
  std::error_code ec;
  const std::string path = std::filesystem::absolute(BstrToUtf8(file_name), ec).lexically_normal().string();
  if (ec) RaiseAppError(err::kInvalidPath);
  if (path.size() > 260) RaiseAppError(model_err::kPathTooLong);
  job->path = path;
  job->source_rate = clip->rate;
  job->source_channels = clip->channels;
  job->source_code = clip->code;
  const std::uint32_t out_rate = rate ? rate : clip->rate;
  const std::uint16_t out_channels = channels ? channels : static_cast<std::uint16_t>(std::min<int>(clip->channels, 2));
  ClipRef use = clip;
  if (out_rate != clip->rate || out_channels != clip->channels)
    CheckApp(ConvertClip(*clip, out_rate, out_channels, nullptr, &use));
  CheckApp(NewDocumentFromClip(*use, &job->document));
  job->document->metadata = SourceTexts(src_obj);
  return S_OK;
}

void CheckWrite(Error code) {
  if (code == err::kCodecLibraryUnavailable) {
    const std::string package = MissingCodecPackage();
    if (!package.empty()) RaiseAppError(code, "install the Debian package " + package);
  }
  CheckApp(code);
}

// --- CFileWriter_PCM ---

HRESULT CFileWriter_PCM::get_Channels(INT* out) { return GetValue(out, channels_); }
HRESULT CFileWriter_PCM::put_Channels(INT value) {
  if (!ChannelsAccepted(value)) return E_INVALIDARG;
  channels_ = value;
  return S_OK;
}
HRESULT CFileWriter_PCM::get_SampleRate(LONG* out) { return GetValue(out, rate_); }
HRESULT CFileWriter_PCM::put_SampleRate(LONG value) {
  if (!RateAccepted(value)) return E_INVALIDARG;
  rate_ = value;
  return S_OK;
}
HRESULT CFileWriter_PCM::get_PcmFileSample(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(sample_, out);
}
HRESULT CFileWriter_PCM::put_PcmFileSample(BSTR value) {
  std::string words = BstrToUtf8(value);
  if (!words.empty() && !ParsePcmFileSample(words)) return E_INVALIDARG;
  sample_ = std::move(words);
  return S_OK;
}

HRESULT CFileWriter_PCM::Process(VARIANT* src_obj, BSTR file_name) {
  if (!app_) return E_ACCESSDENIED;
  return Guarded(IFileWriter_PCM::IID, [&]() -> HRESULT {
    WriterJob job;
    const HRESULT hr = PrepareWriterJob(src_obj, file_name, static_cast<std::uint32_t>(rate_),
                                        static_cast<std::uint16_t>(channels_), &job);
    if (FAILED(hr)) return hr;
    ParsedSampleType type{PcmFileKind::Wave, NormaliseForKind(PcmFileKind::Wave, job.source_code).code};
    if (!sample_.empty()) type = *ParsePcmFileSample(sample_);
    CheckApp(SaveAs(*job.document, job.path, type.kind, type.code, app_->host().SaveSettings()));
    return S_OK;
  });
}

// --- CFileWriter_FLAC ---

HRESULT CFileWriter_FLAC::get_BitsPerSample(INT* out) { return GetValue(out, bits_); }
HRESULT CFileWriter_FLAC::put_BitsPerSample(INT value) {
  // The encoder takes whole bytes up to 24 bits.
  if (value < 0 || value > 31 || value % 8 != 0) return E_INVALIDARG;
  bits_ = value;
  return S_OK;
}
HRESULT CFileWriter_FLAC::get_Channels(INT* out) { return GetValue(out, channels_); }
HRESULT CFileWriter_FLAC::put_Channels(INT value) {
  if (!ChannelsAccepted(value)) return E_INVALIDARG;
  channels_ = value;
  return S_OK;
}
HRESULT CFileWriter_FLAC::get_CompressLevel(INT* out) { return GetValue(out, level_); }
HRESULT CFileWriter_FLAC::put_CompressLevel(INT value) {
  if (value < 0 || value > 8) return E_INVALIDARG;
  level_ = value;
  return S_OK;
}
HRESULT CFileWriter_FLAC::get_ReplayGain(VARIANT_BOOL* out) { return GetBool(out, replay_gain_); }
HRESULT CFileWriter_FLAC::put_ReplayGain(VARIANT_BOOL value) {
  replay_gain_ = value != VARIANT_FALSE;
  return S_OK;
}
HRESULT CFileWriter_FLAC::get_SampleRate(LONG* out) { return GetValue(out, rate_); }
HRESULT CFileWriter_FLAC::put_SampleRate(LONG value) {
  if (!RateAccepted(value)) return E_INVALIDARG;
  rate_ = value;
  return S_OK;
}
HRESULT CFileWriter_FLAC::get_Verify(VARIANT_BOOL* out) { return GetBool(out, verify_); }
HRESULT CFileWriter_FLAC::put_Verify(VARIANT_BOOL value) {
  verify_ = value != VARIANT_FALSE;
  return S_OK;
}

HRESULT CFileWriter_FLAC::Process(VARIANT* src_obj, BSTR file_name) {
  if (!app_) return E_ACCESSDENIED;
  return Guarded(IFileWriter_FLAC::IID, [&]() -> HRESULT {
    WriterJob job;
    const HRESULT hr = PrepareWriterJob(src_obj, file_name, static_cast<std::uint32_t>(rate_),
                                        static_cast<std::uint16_t>(channels_), &job);
    if (FAILED(hr)) return hr;
    FlacEncodeSettings settings;
    settings.level = static_cast<std::uint8_t>(level_);
    // 0: the source's width rounded up to whole bytes, capped at 24.
    const unsigned source_bits = IsFloatCode(job.source_code) ? 24u : BitsPerSample(job.source_code);
    settings.bits = static_cast<std::uint8_t>(bits_ ? static_cast<unsigned>(bits_) : std::min(source_bits, 24u));
    settings.verify = verify_;
    settings.replay_gain = replay_gain_;
    CheckWrite(WriteFlacFile(*job.document, job.path, settings));
    return S_OK;
  });
}

// --- CFileWriter_Opus ---

HRESULT CFileWriter_Opus::get_Bitrate(LONG* out) { return GetValue(out, bitrate_); }
HRESULT CFileWriter_Opus::put_Bitrate(LONG value) {
  // Any non-zero value is taken, clamped to the range Opus encodes (a
  // negative one to its floor).
  bitrate_ = static_cast<LONG>(ClampOpusBitrate(value < 0 ? 1u : static_cast<std::uint64_t>(value)));
  return S_OK;
}
HRESULT CFileWriter_Opus::get_Channels(INT* out) { return GetValue(out, channels_); }
HRESULT CFileWriter_Opus::put_Channels(INT value) {
  if (!ChannelsAccepted(value)) return E_INVALIDARG;
  channels_ = value;
  return S_OK;
}
HRESULT CFileWriter_Opus::get_EnableVBR(VARIANT_BOOL* out) { return GetBool(out, vbr_); }
HRESULT CFileWriter_Opus::put_EnableVBR(VARIANT_BOOL value) {
  vbr_ = value != VARIANT_FALSE;
  return S_OK;
}
HRESULT CFileWriter_Opus::get_SampleRate(LONG* out) { return GetValue(out, rate_); }
HRESULT CFileWriter_Opus::put_SampleRate(LONG value) {
  if (!RateAccepted(value)) return E_INVALIDARG;
  rate_ = value;
  return S_OK;
}
HRESULT CFileWriter_Opus::get_SignalType(INT* out) { return GetValue(out, signal_); }
HRESULT CFileWriter_Opus::put_SignalType(INT value) {
  if (value < 0 || value > 2) return E_INVALIDARG;
  signal_ = value;
  return S_OK;
}
HRESULT CFileWriter_Opus::get_VBRConstraint(VARIANT_BOOL* out) { return GetBool(out, constrained_); }
HRESULT CFileWriter_Opus::put_VBRConstraint(VARIANT_BOOL value) {
  constrained_ = value != VARIANT_FALSE;
  return S_OK;
}

HRESULT CFileWriter_Opus::Process(VARIANT* src_obj, BSTR file_name) {
  if (!app_) return E_ACCESSDENIED;
  return Guarded(IFileWriter_Opus::IID, [&]() -> HRESULT {
    WriterJob job;
    const HRESULT hr = PrepareWriterJob(src_obj, file_name, static_cast<std::uint32_t>(rate_),
                                        static_cast<std::uint16_t>(channels_), &job);
    if (FAILED(hr)) return hr;
    OpusEncodeSettings settings;
    settings.bitrate = static_cast<std::uint32_t>(bitrate_);
    settings.rate_control =
        !vbr_ ? OpusRateControl::kCbr : (constrained_ ? OpusRateControl::kConstrainedVbr : OpusRateControl::kVbr);
    settings.signal = static_cast<OpusSignal>(signal_);
    CheckWrite(WriteOpusFile(*job.document, job.path, settings));
    return S_OK;
  });
}

}  // namespace tidemark::NS_SCRIPT
