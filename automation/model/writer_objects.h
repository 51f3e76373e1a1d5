// The file-writer objects scripts make through IApplication.CreateFileWriter*.
// A writer keeps its output settings; each Process call resolves a source
// object to a clip, fills the settings left at 0 from it, converts the clip
// to the chosen rate and channels and writes one file with the clip's texts
// and labels. PCM, 1-bit, FLAC, LAME, Opus and Ogg Vorbis are here;
// MP3 through the system codec, AAC and WMA are in writer_ffmpeg.h.
//
// Codec objects: a writer with a format menu (LAME) answers CodecFormat with
// the chosen format object or its default; a format object's Parent is the
// codec-information object that made it, through which a script lists the
// other candidates (w.CodecFormat.Parent.GetCodecFormats(rate, channels)).
// A format object holds its codec-information object; neither holds the
// writer, so no cycle forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "automation/model/model_objects.h"
#include "automation/model/writer_values.h"
#include "codecs/codec_formats_menu.h"
#include "core/document/sound_document.h"

namespace tidemark::NS_SCRIPT {

// A writer of the application (Parent is the application).
template <typename Derived, typename Interface>
class CFileWriter : public CAppChild<Derived, Interface> {
 public:
  HRESULT get_Parent(IDispatch** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!this->app_) return E_ACCESSDENIED;
    return ReturnObject<IDispatch>(static_cast<IApplication*>(this->app_), out);
  }

 protected:
  explicit CFileWriter(CApp* app) : CAppChild<Derived, Interface>(app) {}
};

// What Process hands a writer: the clip converted to the output rate and
// channels as a document carrying the clip's labels and texts, and the full
// path of the file to write.
struct WriterJob {
  DocumentPtr document;
  std::string path;
  std::uint32_t source_rate = 0;
  std::uint16_t source_channels = 0;
  SampleCode source_code = sample_code::kS16;
};

// Steps 1-4 of Process: resolves `src_obj`, refuses an empty name, makes it a
// full path (35, 36), converts the clip to `rate` and `channels` (0: the
// source's). Answers S_OK with `job` filled, or the failure as is
// (application errors raised).
HRESULT PrepareWriterJob(VARIANT* src_obj, BSTR file_name, std::uint32_t rate, std::uint16_t channels,
                         WriterJob* job);

// Raises an encoder's or a file's error (step 6); a codec library missing at
// run time names the Debian package that ships it in the detail.
void CheckWrite(Error code);

// PcmFileSample takes the format words of IDocument.SaveAs; empty writes a
// WAV file in the clip's own sample format.
class CFileWriter_PCM final : public CFileWriter<CFileWriter_PCM, IFileWriter_PCM> {
 public:
  explicit CFileWriter_PCM(CApp* app) : CFileWriter(app) {}
  HRESULT get_Channels(INT* out) override;
  HRESULT put_Channels(INT value) override;
  HRESULT get_PcmFileSample(BSTR* out) override;
  HRESULT put_PcmFileSample(BSTR value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;

 private:
  INT channels_ = 0;
  LONG rate_ = 0;
  std::string sample_;  // empty: as the source
};

// The 1-bit writer: the clip is converted to SampleRate / 64 (44.1 or 48 kHz
// and their multiples) and modulated by the delta-sigma modulator to
// SampleRate, then written as DSF, DSDIFF or WSD by the file name's
// extension (any other: E_INVALIDARG). The stream starts with the
// modulator's interpolation delay (a few PCM frames of silence) and keeps the
// clip's length. Defaults: 2822400 Hz, stereo.
class CFileWriter_1Bit final : public CFileWriter<CFileWriter_1Bit, IFileWriter_1Bit> {
 public:
  explicit CFileWriter_1Bit(CApp* app) : CFileWriter(app) {}
  HRESULT get_Channels(INT* out) override;
  HRESULT put_Channels(INT value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;

 private:
  INT channels_ = 2;
  LONG rate_ = 2822400;
};

class CFileWriter_FLAC final : public CFileWriter<CFileWriter_FLAC, IFileWriter_FLAC> {
 public:
  explicit CFileWriter_FLAC(CApp* app) : CFileWriter(app) {}
  HRESULT get_BitsPerSample(INT* out) override;
  HRESULT put_BitsPerSample(INT value) override;
  HRESULT get_Channels(INT* out) override;
  HRESULT put_Channels(INT value) override;
  HRESULT get_CompressLevel(INT* out) override;
  HRESULT put_CompressLevel(INT value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;
  HRESULT get_ReplayGain(VARIANT_BOOL* out) override;
  HRESULT put_ReplayGain(VARIANT_BOOL value) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;
  HRESULT get_Verify(VARIANT_BOOL* out) override;
  HRESULT put_Verify(VARIANT_BOOL value) override;

 private:
  INT bits_ = 0;
  INT channels_ = 0;
  INT level_ = 5;
  bool replay_gain_ = false;
  LONG rate_ = 0;
  bool verify_ = false;
};

// The codecs with a format menu among the writers built so far.
enum class ScriptCodec { kLame, kVorbis };

// The menu of `codec` for `rate` and `channels` (see CodecFormats in
// codecs/codec_formats_menu.h for LAME). Ogg Vorbis: with two-pass set the
// list is empty; otherwise, with VBR set, the qualities 100, 90 ... 0
// (libvorbis's -q 10 ... 0) at any rate from 8000 to 192000 Hz; with VBR
// clear, bitrate formats ("ABR", the encoder's managed mode) at 44100 and
// 48000 Hz only: stereo 320, 256, 224, 192, 160, 128, 112, 96 kbit/s, mono
// 160, 128, 112, 96, 80, 64 kbit/s. False for a rate outside 4000...384000 or
// a channel count other than 1 or 2.
bool ScriptCodecFormats(ScriptCodec codec, std::uint32_t rate, int channels, bool two_pass, bool vbr,
                        std::vector<CodecFormat>* formats);

// The codec-information object of one codec: its name and the
// switches that choose which family of formats GetCodecFormats lists.
template <ScriptCodec F>
class CCodecInfo final : public CAppChild<CCodecInfo<F>, ICodecInfo> {
 public:
  explicit CCodecInfo(CApp* app) : CAppChild<CCodecInfo<F>, ICodecInfo>(app) {}
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT GetCodecFormats(LONG sample_rate, INT num_channels, SAFEARRAY** out) override;
  HRESULT get_IsTwoPass(VARIANT_BOOL* out) override;
  HRESULT put_IsTwoPass(VARIANT_BOOL value) override;
  HRESULT get_IsVBR(VARIANT_BOOL* out) override;
  HRESULT put_IsVBR(VARIANT_BOOL value) override;
  HRESULT get_Name(BSTR* out) override;

 private:
  bool two_pass_ = false;
  bool vbr_ = false;
};

// One stream format of a codec's menu; Parent is the information object
// `Info` that made it.
template <typename Derived, typename Info>
class CodecFormatBase : public CAppChild<Derived, ICodecFormat> {
 public:
  HRESULT get_Parent(IDispatch** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!this->app_) return E_ACCESSDENIED;
    return ReturnObject<IDispatch>(static_cast<ICodecInfo*>(info_.get()), out);
  }
  HRESULT get_Bitrate(LONG* out) override { return writer_values::GetValue(out, format_.bitrate); }
  HRESULT get_BitsPerSample(INT* out) override { return writer_values::GetValue(out, format_.bits_per_sample); }
  HRESULT get_Channels(INT* out) override { return writer_values::GetValue(out, format_.channels); }
  HRESULT get_Desc(BSTR* out) override {
    if (!out) return E_INVALIDARG;
    return ReturnString(format_.description, out);
  }
  HRESULT get_Quality(INT* out) override { return writer_values::GetValue(out, format_.quality); }
  HRESULT get_IsQualityBased(VARIANT_BOOL* out) override { return writer_values::GetBool(out, format_.quality_based); }
  HRESULT get_IsTwoPass(VARIANT_BOOL* out) override { return writer_values::GetBool(out, format_.two_pass); }
  HRESULT get_IsVBR(VARIANT_BOOL* out) override { return writer_values::GetBool(out, format_.vbr); }
  HRESULT get_SampleRate(LONG* out) override { return writer_values::GetValue(out, format_.sample_rate); }

  const CodecFormat& format() const { return format_; }

 protected:
  CodecFormatBase(CApp* app, ComRef<Info> info, CodecFormat format)
      : CAppChild<Derived, ICodecFormat>(app), info_(std::move(info)), format_(std::move(format)) {}

  ComRef<Info> info_;
  CodecFormat format_;
};

template <ScriptCodec F>
class CCodecFormatObject final : public CodecFormatBase<CCodecFormatObject<F>, CCodecInfo<F>> {
 public:
  CCodecFormatObject(CApp* app, ComRef<CCodecInfo<F>> info, CodecFormat format)
      : CodecFormatBase<CCodecFormatObject<F>, CCodecInfo<F>>(app, std::move(info), std::move(format)) {}
};

using CCodecInfo_LAME = CCodecInfo<ScriptCodec::kLame>;
using CCodecFormat_LAME = CCodecFormatObject<ScriptCodec::kLame>;

// The MP3 writer over LAME. It encodes at the chosen format's rate and
// channels (the clip converted to them); the default format is 128 kbit/s
// CBR, 44.1 kHz, stereo. ChannelMode: 0 joint stereo, 1 stereo, 2 mono (the
// clip mixed to one channel). MaxBitrate is in bit/s (0: none), used by the
// VBR and ABR modes. EnableABR turns a CBR format's bitrate into an average.
class CFileWriter_LAME final : public CFileWriter<CFileWriter_LAME, IFileWriter_LAME> {
 public:
  explicit CFileWriter_LAME(CApp* app) : CFileWriter(app) {}
  HRESULT get_ChannelMode(INT* out) override;
  HRESULT put_ChannelMode(INT value) override;
  HRESULT get_CodecFormat(ICodecFormat** out) override;
  HRESULT put_CodecFormat(ICodecFormat* value) override;
  HRESULT get_Copyright(VARIANT_BOOL* out) override;
  HRESULT put_Copyright(VARIANT_BOOL value) override;
  HRESULT get_CRC(VARIANT_BOOL* out) override;
  HRESULT put_CRC(VARIANT_BOOL value) override;
  HRESULT get_EnableABR(VARIANT_BOOL* out) override;
  HRESULT put_EnableABR(VARIANT_BOOL value) override;
  HRESULT get_MaxBitrate(LONG* out) override;
  HRESULT put_MaxBitrate(LONG value) override;
  HRESULT get_Original(VARIANT_BOOL* out) override;
  HRESULT put_Original(VARIANT_BOOL value) override;
  HRESULT get_Private(VARIANT_BOOL* out) override;
  HRESULT put_Private(VARIANT_BOOL value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;
  HRESULT get_Quality(INT* out) override;
  HRESULT put_Quality(INT value) override;
  HRESULT get_Unicode(VARIANT_BOOL* out) override;
  HRESULT put_Unicode(VARIANT_BOOL value) override;

 private:
  // The chosen format, the default made when none was put.
  ComRef<CCodecFormat_LAME> Format();

  INT channel_mode_ = 0;
  ComRef<CCodecFormat_LAME> format_;
  bool copyright_ = false;
  bool crc_ = false;
  bool abr_ = false;
  LONG max_bitrate_ = 0;
  bool original_ = true;
  bool private_ = false;
  INT quality_ = -1;
  bool unicode_ = true;
};

using CCodecInfo_OV = CCodecInfo<ScriptCodec::kVorbis>;
using CCodecFormat_OV = CCodecFormatObject<ScriptCodec::kVorbis>;

// The Ogg Vorbis writer. It encodes at its CodecFormat's rate and channels;
// the default format is quality 50 (libvorbis's -q 5), 44.1 kHz, stereo,
// VBR. MinBitrate and MaxBitrate (bit/s, 0: none) bound the bitrate formats'
// managed mode; quality formats ignore them.
class CFileWriter_OV final : public CFileWriter<CFileWriter_OV, IFileWriter_OggVorbis> {
 public:
  explicit CFileWriter_OV(CApp* app) : CFileWriter(app) {}
  HRESULT get_CodecFormat(ICodecFormat** out) override;
  HRESULT put_CodecFormat(ICodecFormat* value) override;
  HRESULT get_MaxBitrate(LONG* out) override;
  HRESULT put_MaxBitrate(LONG value) override;
  HRESULT get_MinBitrate(LONG* out) override;
  HRESULT put_MinBitrate(LONG value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;

 private:
  ComRef<CCodecFormat_OV> Format();

  ComRef<CCodecFormat_OV> format_;
  LONG max_bitrate_ = 0;
  LONG min_bitrate_ = 0;
};

// The Opus writer. Bitrate 0 leaves the choice to the encoder; EnableVBR
// (default on) with VBRConstraint picks constrained VBR, without EnableVBR
// the stream is CBR. SampleRate is the rate recorded as the original one:
// the clip is converted to it before encoding.
class CFileWriter_Opus final : public CFileWriter<CFileWriter_Opus, IFileWriter_Opus> {
 public:
  explicit CFileWriter_Opus(CApp* app) : CFileWriter(app) {}
  HRESULT get_Bitrate(LONG* out) override;
  HRESULT put_Bitrate(LONG value) override;
  HRESULT get_Channels(INT* out) override;
  HRESULT put_Channels(INT value) override;
  HRESULT get_EnableVBR(VARIANT_BOOL* out) override;
  HRESULT put_EnableVBR(VARIANT_BOOL value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;
  HRESULT get_SignalType(INT* out) override;
  HRESULT put_SignalType(INT value) override;
  HRESULT get_VBRConstraint(VARIANT_BOOL* out) override;
  HRESULT put_VBRConstraint(VARIANT_BOOL value) override;

 private:
  LONG bitrate_ = 0;
  INT channels_ = 0;
  bool vbr_ = true;
  LONG rate_ = 0;
  INT signal_ = 0;
  bool constrained_ = false;
};

}  // namespace tidemark::NS_SCRIPT
