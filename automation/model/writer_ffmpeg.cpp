// The MP3 (system codec), AAC and WMA writers and their codec objects.
#include "automation/model/writer_ffmpeg.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "automation/model/writer_values.h"
#include "codecs/ffmpeg_encoder.h"
#include "effects/framework/progress_scope.h"
#include "platform/utf.h"

namespace tidemark::NS_SCRIPT {

namespace {

using writer_values::GetBool;
using writer_values::GetValue;
using writer_values::PutBool;

bool IsWma(AvScriptCodec codec) { return codec == AvScriptCodec::kWmaV1 || codec == AvScriptCodec::kWmaV2; }
bool SameCodec(AvScriptCodec a, AvScriptCodec b) { return a == b || (IsWma(a) && IsWma(b)); }

std::string_view CodecName(AvScriptCodec codec) {
  switch (codec) {
    case AvScriptCodec::kMp3:
      return "MPEG Audio Layer 3 (ACM)";
    case AvScriptCodec::kAac:
      return "Advanced Audio Coding (AAC-LC)";
    case AvScriptCodec::kWmaV1:
      return "Windows Media Audio 1";
    case AvScriptCodec::kWmaV2:
      break;
  }
  return "Windows Media Audio 2";
}

CodecFormat WmaFormat(std::uint32_t rate, int channels, std::uint32_t kbps) {
  CodecFormat f;
  f.bitrate = kbps * 1000;
  f.channels = channels;
  f.sample_rate = rate;
  char text[64];
  std::snprintf(text, sizeof text, "%3u kbps, %2u kHz, %s, CBR", kbps, (rate + 500) / 1000,
                channels == 2 ? "stereo" : "mono");
  f.description = text;
  return f;
}

void WmaFormats(std::uint32_t rate, int channels, std::vector<CodecFormat>* formats) {
  static constexpr std::uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
  static constexpr std::uint32_t kKbps[] = {320, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32, 24};
  if (std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates)) return;
  const std::uint64_t pcm = std::uint64_t{rate} * static_cast<std::uint64_t>(channels) * 16;
  for (const std::uint32_t k : kKbps) {
    const bool in_range = channels == 2 ? k >= 32 : k <= 160;
    if (in_range && std::uint64_t{k} * 1000 <= pcm) formats->push_back(WmaFormat(rate, channels, k));
  }
}

AvEncodeSettings SettingsFor(const CAvCodecFormat& chosen) {
  AvEncodeSettings settings;
  switch (chosen.codec()) {
    case AvScriptCodec::kMp3:
      settings.writer = AvWriter::kMp3;
      break;
    case AvScriptCodec::kAac:
      settings.writer = AvWriter::kAac;
      break;
    case AvScriptCodec::kWmaV1:
    case AvScriptCodec::kWmaV2:
      settings.writer = AvWriter::kWma;
      settings.wma_version = chosen.codec() == AvScriptCodec::kWmaV1 ? 1 : 2;
      break;
  }
  settings.bitrate = chosen.format().bitrate;
  return settings;
}

}  // namespace

bool AvScriptCodecFormats(AvScriptCodec codec, std::uint32_t rate, int channels, bool two_pass, bool vbr,
                          std::vector<CodecFormat>* formats) {
  formats->clear();
  if (rate < 4000 || rate > 384000 || (channels != 1 && channels != 2)) return false;
  if (two_pass) return true;
  if (codec == AvScriptCodec::kAac) return GetCodecFormats(CodecFamily::kAac, rate, channels, false, vbr, formats);
  if (vbr) return true;  // constant bitrates only
  if (IsWma(codec)) {
    WmaFormats(rate, channels, formats);
    return true;
  }
  if (!GetCodecFormats(CodecFamily::kLame, rate, channels, false, false, formats)) return false;
  std::erase_if(*formats, [](const CodecFormat& f) { return f.bitrate < 32000; });
  return true;
}

// --- CAvCodecInfo ---

CAvCodecInfo::CAvCodecInfo(CApp* app, AvScriptCodec codec, ComRef<CCodecInfoList_WMA> list)
    : CAppChild(app), codec_(codec), list_(std::move(list)) {}

HRESULT CAvCodecInfo::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  if (list_) return ReturnObject<IDispatch>(static_cast<ICodecInfoList*>(list_.get()), out);
  return ReturnObject<IDispatch>(static_cast<IApplication*>(app_), out);
}

HRESULT CAvCodecInfo::GetCodecFormats(LONG sample_rate, INT num_channels, SAFEARRAY** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  std::vector<CodecFormat> formats;
  if (sample_rate < 0 ||
      !AvScriptCodecFormats(codec_, static_cast<std::uint32_t>(sample_rate), num_channels, two_pass_, vbr_, &formats))
    return E_INVALIDARG;
  return writer_values::ReturnObjectArray(
      formats.size(),
      [&](std::size_t i) {
        return ComRef<CAvCodecFormat>::Adopt(
            new CAvCodecFormat(app_, ComRef<CAvCodecInfo>::Share(this), std::move(formats[i])));
      },
      out);
}

HRESULT CAvCodecInfo::get_IsTwoPass(VARIANT_BOOL* out) { return GetBool(out, two_pass_); }
HRESULT CAvCodecInfo::put_IsTwoPass(VARIANT_BOOL value) { return PutBool(&two_pass_, value); }
HRESULT CAvCodecInfo::get_IsVBR(VARIANT_BOOL* out) { return GetBool(out, vbr_); }
HRESULT CAvCodecInfo::put_IsVBR(VARIANT_BOOL value) { return PutBool(&vbr_, value); }
HRESULT CAvCodecInfo::get_Name(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(CodecName(codec_), out);
}

// --- CCodecInfoList_WMA ---

HRESULT CCodecInfoList_WMA::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<IApplication*>(app_), out);
}
HRESULT CCodecInfoList_WMA::get_Count(LONG* out) { return GetValue(out, 2); }
ComRef<CAvCodecInfo> CCodecInfoList_WMA::Make(LONG index) {
  return ComRef<CAvCodecInfo>::Adopt(new CAvCodecInfo(
      app_, index == 0 ? AvScriptCodec::kWmaV1 : AvScriptCodec::kWmaV2, ComRef<CCodecInfoList_WMA>::Share(this)));
}
HRESULT CCodecInfoList_WMA::get_Item(LONG index, ICodecInfo** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  if (index < 0 || index > 1) return E_INVALIDARG;
  return ReturnObject<ICodecInfo>(Make(index).get(), out);
}
HRESULT CCodecInfoList_WMA::get__NewEnum(IUnknown** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  const ComRef<CAvCodecInfo> held[2] = {Make(0), Make(1)};
  IEnumVARIANT* e = nullptr;
  const HRESULT hr = CreateEnumVariant({held[0]->dispatch(), held[1]->dispatch()}, &e);
  *out = e;
  return hr;
}

// --- CAvFileWriter ---

template <typename Derived, typename Interface>
ComRef<CAvCodecFormat> CAvFileWriter<Derived, Interface>::Format() {
  if (format_) return format_;
  ComRef<CCodecInfoList_WMA> list;
  if (IsWma(codec_)) list = ComRef<CCodecInfoList_WMA>::Adopt(new CCodecInfoList_WMA(this->app_));
  auto info = ComRef<CAvCodecInfo>::Adopt(new CAvCodecInfo(this->app_, codec_, std::move(list)));
  std::vector<CodecFormat> formats;
  if (AvScriptCodecFormats(codec_, 44100, 2, false, false, &formats)) {
    const auto it = std::find_if(formats.begin(), formats.end(), [](const CodecFormat& f) { return f.bitrate == 128000; });
    if (it != formats.end()) format_ = ComRef<CAvCodecFormat>::Adopt(new CAvCodecFormat(this->app_, info, *it));
  }
  return format_;
}

template <typename Derived, typename Interface>
HRESULT CAvFileWriter<Derived, Interface>::get_CodecFormat(ICodecFormat** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!this->app_) return E_ACCESSDENIED;
  return ReturnObject<ICodecFormat>(Format().get(), out);
}

template <typename Derived, typename Interface>
HRESULT CAvFileWriter<Derived, Interface>::put_CodecFormat(ICodecFormat* value) {
  // Only a format of this writer's codec (either WMA version for WMA); the
  // choice stays as it was otherwise.
  if (!value) return E_INVALIDARG;
  ComRef<IUnknown> inner = UnwrapProxy(value);
  ComRef<ICodecFormat> own = QueryAs<ICodecFormat>(inner.get());
  auto* format = own ? dynamic_cast<CAvCodecFormat*>(own.get()) : nullptr;
  if (!format || !SameCodec(format->codec(), codec_)) return E_INVALIDARG;
  format_ = ComRef<CAvCodecFormat>::Share(format);
  return S_OK;
}

template <typename Derived, typename Interface>
HRESULT CAvFileWriter<Derived, Interface>::Process(VARIANT* src_obj, BSTR file_name) {
  if (!this->app_) return E_ACCESSDENIED;
  return Guarded(Interface::IID, [&]() -> HRESULT {
    const ComRef<CAvCodecFormat> chosen = Format();
    if (!chosen) RaiseAppError(err::kOutOfMemory);
    const CodecFormat& format = chosen->format();
    WriterJob job;
    const HRESULT hr = PrepareWriterJob(src_obj, file_name, format.sample_rate,
                                        static_cast<std::uint16_t>(format.channels), &job);
    if (FAILED(hr)) return hr;
    AvEncodeSettings settings = SettingsFor(*chosen);
    Adjust(&settings);
    // Asked here: the package of a missing library is known to this thread only.
    std::string package;
    if (const Error missing = FindFfmpegEncoder(settings, &package))
      RaiseAppError(missing, "install the Debian package " + package);
    ProgressScope scope;
    CheckApp(scope.RunWorker([&](ProgressScope& s) -> Error {
      s.SetCaption(std::string(CodecName(chosen->codec())));
      return WriteThroughFfmpeg(*job.document, job.path, settings, [&s](std::uint64_t done, std::uint64_t total) {
        s.Update(done, total);
        return !s.Cancelled();
      });
    }));
    return S_OK;
  });
}

template class CAvFileWriter<CFileWriter_MP3, IFileWriter_MP3>;
template class CAvFileWriter<CFileWriter_AAC, IFileWriter_AAC>;
template class CAvFileWriter<CFileWriter_WMA, IFileWriter_WMA>;

// --- CFileWriter_MP3 ---

HRESULT CFileWriter_MP3::get_Copyright(VARIANT_BOOL* out) { return GetBool(out, bits_.copyright); }
HRESULT CFileWriter_MP3::put_Copyright(VARIANT_BOOL value) { return PutBool(&bits_.copyright, value); }
HRESULT CFileWriter_MP3::get_Original(VARIANT_BOOL* out) { return GetBool(out, bits_.original); }
HRESULT CFileWriter_MP3::put_Original(VARIANT_BOOL value) { return PutBool(&bits_.original, value); }
HRESULT CFileWriter_MP3::get_Private(VARIANT_BOOL* out) { return GetBool(out, bits_.private_bit); }
HRESULT CFileWriter_MP3::put_Private(VARIANT_BOOL value) { return PutBool(&bits_.private_bit, value); }
HRESULT CFileWriter_MP3::get_Unicode(VARIANT_BOOL* out) { return GetBool(out, unicode_); }
HRESULT CFileWriter_MP3::put_Unicode(VARIANT_BOOL value) { return PutBool(&unicode_, value); }

void CFileWriter_MP3::Adjust(AvEncodeSettings* settings) const {
  settings->mp3_header_set = true;
  settings->mp3_header = bits_;
  settings->id3_unicode = unicode_;
}

}  // namespace tidemark::NS_SCRIPT
