// The codec-information and format objects, and the writers with a format
// menu: MP3 over LAME and Ogg Vorbis.
#include <algorithm>
#include <cstdio>

#include "automation/model/writer_objects.h"
#include "automation/model/writer_values.h"
#include "codecs/mp3_encoder.h"
#include "codecs/vorbis_encoder.h"
#include "platform/utf.h"

namespace tidemark::NS_SCRIPT {

namespace {

using writer_values::GetBool;
using writer_values::GetValue;
using writer_values::PutBool;

constexpr std::string_view CodecName(ScriptCodec codec) {
  return codec == ScriptCodec::kLame ? "MPEG Audio Layer 3 (Lame)" : "Ogg Vorbis";
}

CodecFormat Described(std::uint32_t rate, int channels, std::uint32_t kbps, int quality, const char* mode) {
  CodecFormat f;
  f.channels = channels;
  f.sample_rate = rate;
  f.vbr = quality >= 0;
  f.quality_based = quality >= 0;
  f.quality = std::max(quality, 0);
  f.bitrate = kbps * 1000;
  char text[64];
  const unsigned khz = (rate + 500) / 1000;
  const char* word = channels == 2 ? "stereo" : "mono";
  if (quality >= 0)
    std::snprintf(text, sizeof text, "Quality %3d, %2u kHz, %s, %s", quality, khz, word, mode);
  else
    std::snprintf(text, sizeof text, "%3u kbps, %2u kHz, %s, %s", kbps, khz, word, mode);
  f.description = text;
  return f;
}

// A writer takes only its own codec's format objects: another codec's or a
// foreign object (or none) is E_INVALIDARG and leaves the choice as it was.
template <typename Format>
HRESULT TakeOwnFormat(ICodecFormat* value, ComRef<Format>* slot) {
  if (!value) return E_INVALIDARG;
  ComRef<IUnknown> inner = UnwrapProxy(value);
  ComRef<ICodecFormat> own = QueryAs<ICodecFormat>(inner.get());
  auto* format = own ? dynamic_cast<Format*>(own.get()) : nullptr;
  if (!format) return E_INVALIDARG;
  *slot = ComRef<Format>::Share(format);
  return S_OK;
}

}  // namespace

bool ScriptCodecFormats(ScriptCodec codec, std::uint32_t rate, int channels, bool two_pass, bool vbr,
                        std::vector<CodecFormat>* formats) {
  formats->clear();
  if (codec == ScriptCodec::kLame) return GetCodecFormats(CodecFamily::kLame, rate, channels, two_pass, vbr, formats);
  if (rate < 4000 || rate > 384000 || (channels != 1 && channels != 2)) return false;
  if (two_pass) return true;
  if (vbr) {
    if (rate < 8000 || rate > 192000) return true;
    for (int q = 100; q >= 0; q -= 10) formats->push_back(Described(rate, channels, 0, q, "VBR"));
    return true;
  }
  if (rate != 44100 && rate != 48000) return true;
  static constexpr std::uint32_t kStereo[] = {320, 256, 224, 192, 160, 128, 112, 96};
  static constexpr std::uint32_t kMono[] = {160, 128, 112, 96, 80, 64};
  if (channels == 2)
    for (const std::uint32_t k : kStereo) formats->push_back(Described(rate, channels, k, -1, "ABR"));
  else
    for (const std::uint32_t k : kMono) formats->push_back(Described(rate, channels, k, -1, "ABR"));
  return true;
}

// --- CCodecInfo ---

template <ScriptCodec F>
HRESULT CCodecInfo<F>::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!this->app_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<IApplication*>(this->app_), out);
}

template <ScriptCodec F>
HRESULT CCodecInfo<F>::GetCodecFormats(LONG sample_rate, INT num_channels, SAFEARRAY** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!this->app_) return E_ACCESSDENIED;
  if (sample_rate < 0) return E_INVALIDARG;
  std::vector<CodecFormat> formats;
  if (!ScriptCodecFormats(F, static_cast<std::uint32_t>(sample_rate), num_channels, two_pass_, vbr_, &formats))
    return E_INVALIDARG;
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(formats.size()));
  if (!psa) return E_OUTOFMEMORY;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    auto made = ComRef<CCodecFormatObject<F>>::Adopt(
        new CCodecFormatObject<F>(this->app_, ComRef<CCodecInfo<F>>::Share(this), std::move(formats[i])));
    Variant v;
    VariantSetDispatch(&v, static_cast<ICodecFormat*>(made.get()));
    const LONG index = static_cast<LONG>(i);
    if (FAILED(SafeArrayPutElement(psa, &index, &v))) {
      SafeArrayDestroy(psa);
      return E_OUTOFMEMORY;
    }
  }
  *out = psa;
  return S_OK;
}

template <ScriptCodec F>
HRESULT CCodecInfo<F>::get_IsTwoPass(VARIANT_BOOL* out) {
  return GetBool(out, two_pass_);
}
template <ScriptCodec F>
HRESULT CCodecInfo<F>::put_IsTwoPass(VARIANT_BOOL value) {
  return PutBool(&two_pass_, value);
}
template <ScriptCodec F>
HRESULT CCodecInfo<F>::get_IsVBR(VARIANT_BOOL* out) {
  return GetBool(out, vbr_);
}
template <ScriptCodec F>
HRESULT CCodecInfo<F>::put_IsVBR(VARIANT_BOOL value) {
  return PutBool(&vbr_, value);
}
template <ScriptCodec F>
HRESULT CCodecInfo<F>::get_Name(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(CodecName(F), out);
}

template class CCodecInfo<ScriptCodec::kLame>;
template class CCodecInfo<ScriptCodec::kVorbis>;

// --- CFileWriter_LAME ---

ComRef<CCodecFormat_LAME> CFileWriter_LAME::Format() {
  if (format_) return format_;
  auto info = ComRef<CCodecInfo_LAME>::Adopt(new CCodecInfo_LAME(app_));
  std::vector<CodecFormat> formats;
  if (GetCodecFormats(CodecFamily::kLame, 44100, 2, false, false, &formats)) {
    const auto it = std::find_if(formats.begin(), formats.end(),
                                 [](const CodecFormat& f) { return f.bitrate == 128000; });
    if (it != formats.end()) format_ = ComRef<CCodecFormat_LAME>::Adopt(new CCodecFormat_LAME(app_, info, *it));
  }
  return format_;
}

HRESULT CFileWriter_LAME::get_ChannelMode(INT* out) { return GetValue(out, channel_mode_); }
HRESULT CFileWriter_LAME::put_ChannelMode(INT value) {
  if (value < 0 || value > 2) return E_INVALIDARG;
  channel_mode_ = value;
  return S_OK;
}
HRESULT CFileWriter_LAME::get_CodecFormat(ICodecFormat** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<ICodecFormat>(Format().get(), out);
}
HRESULT CFileWriter_LAME::put_CodecFormat(ICodecFormat* value) { return TakeOwnFormat(value, &format_); }
HRESULT CFileWriter_LAME::get_Copyright(VARIANT_BOOL* out) { return GetBool(out, copyright_); }
HRESULT CFileWriter_LAME::put_Copyright(VARIANT_BOOL value) { return PutBool(&copyright_, value); }
HRESULT CFileWriter_LAME::get_CRC(VARIANT_BOOL* out) { return GetBool(out, crc_); }
HRESULT CFileWriter_LAME::put_CRC(VARIANT_BOOL value) { return PutBool(&crc_, value); }
HRESULT CFileWriter_LAME::get_EnableABR(VARIANT_BOOL* out) { return GetBool(out, abr_); }
HRESULT CFileWriter_LAME::put_EnableABR(VARIANT_BOOL value) { return PutBool(&abr_, value); }
HRESULT CFileWriter_LAME::get_MaxBitrate(LONG* out) { return GetValue(out, max_bitrate_); }
HRESULT CFileWriter_LAME::put_MaxBitrate(LONG value) {
  if (value < 0) return E_INVALIDARG;
  max_bitrate_ = value;
  return S_OK;
}
HRESULT CFileWriter_LAME::get_Original(VARIANT_BOOL* out) { return GetBool(out, original_); }
HRESULT CFileWriter_LAME::put_Original(VARIANT_BOOL value) { return PutBool(&original_, value); }
HRESULT CFileWriter_LAME::get_Private(VARIANT_BOOL* out) { return GetBool(out, private_); }
HRESULT CFileWriter_LAME::put_Private(VARIANT_BOOL value) { return PutBool(&private_, value); }
HRESULT CFileWriter_LAME::get_Quality(INT* out) { return GetValue(out, quality_); }
HRESULT CFileWriter_LAME::put_Quality(INT value) {
  if (value < -1 || value > 9) return E_INVALIDARG;
  quality_ = value;
  return S_OK;
}
HRESULT CFileWriter_LAME::get_Unicode(VARIANT_BOOL* out) { return GetBool(out, unicode_); }
HRESULT CFileWriter_LAME::put_Unicode(VARIANT_BOOL value) { return PutBool(&unicode_, value); }

HRESULT CFileWriter_LAME::Process(VARIANT* src_obj, BSTR file_name) {
  if (!app_) return E_ACCESSDENIED;
  return Guarded(IFileWriter_LAME::IID, [&]() -> HRESULT {
    const ComRef<CCodecFormat_LAME> chosen = Format();
    if (!chosen) RaiseAppError(err::kOutOfMemory);
    const CodecFormat& format = chosen->format();
    const bool mono = format.channels == 1 || channel_mode_ == 2;
    WriterJob job;
    const HRESULT hr = PrepareWriterJob(src_obj, file_name, format.sample_rate, mono ? 1 : 2, &job);
    if (FAILED(hr)) return hr;
    LameEncodeSettings settings = LameSettingsFor(format);
    if (abr_ && !format.quality_based) settings.mode = LameMode::kAbr;
    settings.channels = mono ? LameChannels::kMono
                             : (channel_mode_ == 1 ? LameChannels::kStereo : LameChannels::kJointStereo);
    settings.quality = static_cast<std::int8_t>(quality_);
    // Bound in kbit/s within what an MPEG frame can carry.
    if (max_bitrate_ > 0 && settings.mode != LameMode::kCbr)
      settings.max_bitrate = static_cast<std::uint16_t>(std::clamp<LONG>(max_bitrate_ / 1000, 8, 320));
    settings.crc = crc_;
    settings.copyright = copyright_;
    settings.original = original_;
    settings.private_bit = private_;
    settings.unicode = unicode_;
    CheckWrite(WriteMp3File(*job.document, job.path, settings));
    return S_OK;
  });
}

// --- CFileWriter_OV ---

ComRef<CCodecFormat_OV> CFileWriter_OV::Format() {
  if (format_) return format_;
  auto info = ComRef<CCodecInfo_OV>::Adopt(new CCodecInfo_OV(app_));
  std::vector<CodecFormat> formats;
  if (ScriptCodecFormats(ScriptCodec::kVorbis, 44100, 2, false, true, &formats)) {
    const auto it = std::find_if(formats.begin(), formats.end(), [](const CodecFormat& f) { return f.quality == 50; });
    if (it != formats.end()) format_ = ComRef<CCodecFormat_OV>::Adopt(new CCodecFormat_OV(app_, info, *it));
  }
  return format_;
}

HRESULT CFileWriter_OV::get_CodecFormat(ICodecFormat** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<ICodecFormat>(Format().get(), out);
}
HRESULT CFileWriter_OV::put_CodecFormat(ICodecFormat* value) { return TakeOwnFormat(value, &format_); }
HRESULT CFileWriter_OV::get_MaxBitrate(LONG* out) { return GetValue(out, max_bitrate_); }
HRESULT CFileWriter_OV::put_MaxBitrate(LONG value) {
  if (value < 0) return E_INVALIDARG;
  max_bitrate_ = value;
  return S_OK;
}
HRESULT CFileWriter_OV::get_MinBitrate(LONG* out) { return GetValue(out, min_bitrate_); }
HRESULT CFileWriter_OV::put_MinBitrate(LONG value) {
  if (value < 0) return E_INVALIDARG;
  min_bitrate_ = value;
  return S_OK;
}

HRESULT CFileWriter_OV::Process(VARIANT* src_obj, BSTR file_name) {
  if (!app_) return E_ACCESSDENIED;
  return Guarded(IFileWriter_OggVorbis::IID, [&]() -> HRESULT {
    const ComRef<CCodecFormat_OV> chosen = Format();
    if (!chosen) RaiseAppError(err::kOutOfMemory);
    const CodecFormat& format = chosen->format();
    WriterJob job;
    const HRESULT hr = PrepareWriterJob(src_obj, file_name, format.sample_rate,
                                        static_cast<std::uint16_t>(format.channels), &job);
    if (FAILED(hr)) return hr;
    VorbisEncodeSettings settings;
    if (format.quality_based) {
      settings.quality = static_cast<std::int8_t>(format.quality / 10);
    } else {
      settings.nominal_bitrate = format.bitrate;
      settings.min_bitrate = static_cast<std::uint32_t>(min_bitrate_);
      settings.max_bitrate = static_cast<std::uint32_t>(max_bitrate_);
    }
    CheckWrite(WriteVorbisFile(*job.document, job.path, settings));
    return S_OK;
  });
}

}  // namespace tidemark::NS_SCRIPT
