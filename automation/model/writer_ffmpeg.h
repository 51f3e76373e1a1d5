// The writers that encode through FFmpeg: MP3 through the system codec
// (FFmpeg's MP3 encoder), AAC-LC in an M4A file (.mp4 by that extension) and
// WMA in an ASF file, with their codec-information and format objects.
//
// Format lists (GetCodecFormats; E_INVALIDARG outside 4000...384000 Hz or for
// a channel count other than 1 or 2; IsTwoPass set lists nothing for all):
//  - MP3 (system codec), Name "MPEG Audio Layer 3 (ACM)": constant bitrate
//    only (IsVBR set lists nothing); the LAME CBR list of the rate
//    (codecs/codec_formats_menu.h) without the bitrates under 32 kbit/s, the
//    least the encoder settings take: 32, 44.1, 48 kHz stereo 320 ... 64,
//    mono 160 ... 32; 16, 22.05, 24 kHz stereo 160 ... 32, mono 80 ... 32.
//  - AAC, Name "Advanced Audio Coding (AAC-LC)": 44100 and 48000 Hz only,
//    192, 160, 128, 96 kbit/s, "CBR", or "VBR" with IsVBR set (the bitrate
//    is then the target of the encoder's rate control).
//  - WMA: two codec-information entries, Name "Windows Media Audio 1"
//    (FFmpeg's wmav1) and "Windows Media Audio 2" (wmav2), same list:
//    constant bitrate only, at 8000, 11025, 16000, 22050, 32000, 44100 and
//    48000 Hz; stereo 320, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32 kbit/s,
//    mono 160 ... 24 kbit/s, keeping only bitrates no higher than the 16-bit
//    PCM stream's (rate x channels x 16).
//
// Default CodecFormat: 128 kbps, 44 kHz, stereo, CBR for all three (WMA
// through "Windows Media Audio 2").
//
// A format's Parent is its codec-information object; a WMA one's Parent is
// the CCodecInfoList_WMA whose Item made it (its Parent the application).
// The list makes a new information object on each Item or enumeration;
// an information object holds its list, never the other way round.
//
// The MP3 writer's Copyright, Original (default on) and Private bits go into
// every audio frame header; Unicode (default on) writes an ID3v2.4 tag in
// UTF-8, off an ID3v2.3 tag in ISO-8859-1 where the texts are ASCII.
// Encoders missing at run time give application error 37 naming the Debian
// package to install.
#pragma once

#include <cstdint>
#include <vector>

#include "automation/model/writer_objects.h"
#include "codecs/av_encode_blocks.h"

namespace tidemark::NS_SCRIPT {

enum class AvScriptCodec { kMp3, kAac, kWmaV1, kWmaV2 };

// The list of `codec` (see above); false for an invalid rate or channel count.
bool AvScriptCodecFormats(AvScriptCodec codec, std::uint32_t rate, int channels, bool two_pass, bool vbr,
                          std::vector<CodecFormat>* formats);

class CCodecInfoList_WMA;

// The codec-information object of the FFmpeg codecs; which one is a value.
class CAvCodecInfo final : public CAppChild<CAvCodecInfo, ICodecInfo> {
 public:
  CAvCodecInfo(CApp* app, AvScriptCodec codec, ComRef<CCodecInfoList_WMA> list = {});
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT GetCodecFormats(LONG sample_rate, INT num_channels, SAFEARRAY** out) override;
  HRESULT get_IsTwoPass(VARIANT_BOOL* out) override;
  HRESULT put_IsTwoPass(VARIANT_BOOL value) override;
  HRESULT get_IsVBR(VARIANT_BOOL* out) override;
  HRESULT put_IsVBR(VARIANT_BOOL value) override;
  HRESULT get_Name(BSTR* out) override;

  AvScriptCodec codec() const { return codec_; }

 private:
  AvScriptCodec codec_;
  ComRef<CCodecInfoList_WMA> list_;  // WMA only
  bool two_pass_ = false;
  bool vbr_ = false;
};

class CAvCodecFormat final : public CodecFormatBase<CAvCodecFormat, CAvCodecInfo> {
 public:
  CAvCodecFormat(CApp* app, ComRef<CAvCodecInfo> info, CodecFormat format)
      : CodecFormatBase(app, std::move(info), std::move(format)) {}
  AvScriptCodec codec() const { return info_->codec(); }
};

using CCodecInfo_MP3 = CAvCodecInfo;
using CCodecInfo_AAC = CAvCodecInfo;
using CCodecInfo_WMA = CAvCodecInfo;
using CCodecFormat_MP3 = CAvCodecFormat;
using CCodecFormat_AAC = CAvCodecFormat;
using CCodecFormat_WMA = CAvCodecFormat;

// The WMA codecs: Item(0) wmav1, Item(1) wmav2.
class CCodecInfoList_WMA final : public CAppChild<CCodecInfoList_WMA, ICodecInfoList> {
 public:
  explicit CCodecInfoList_WMA(CApp* app) : CAppChild(app) {}
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get__NewEnum(IUnknown** out) override;
  HRESULT get_Count(LONG* out) override;
  HRESULT get_Item(LONG index, ICodecInfo** out) override;

 private:
  ComRef<CAvCodecInfo> Make(LONG index);
};

// What the three writers share: the CodecFormat property and Process.
template <typename Derived, typename Interface>
class CAvFileWriter : public CFileWriter<Derived, Interface> {
 public:
  HRESULT get_CodecFormat(ICodecFormat** out) override;
  HRESULT put_CodecFormat(ICodecFormat* value) override;
  HRESULT Process(VARIANT* src_obj, BSTR file_name) override;

 protected:
  CAvFileWriter(CApp* app, AvScriptCodec codec) : CFileWriter<Derived, Interface>(app), codec_(codec) {}
  // The writer's own settings over those of the chosen format.
  virtual void Adjust(AvEncodeSettings*) const {}

 private:
  ComRef<CAvCodecFormat> Format();

  AvScriptCodec codec_;  // the default's; WMA takes either version
  ComRef<CAvCodecFormat> format_;
};

class CFileWriter_MP3 final : public CAvFileWriter<CFileWriter_MP3, IFileWriter_MP3> {
 public:
  explicit CFileWriter_MP3(CApp* app) : CAvFileWriter(app, AvScriptCodec::kMp3) {}
  HRESULT get_Copyright(VARIANT_BOOL* out) override;
  HRESULT put_Copyright(VARIANT_BOOL value) override;
  HRESULT get_Original(VARIANT_BOOL* out) override;
  HRESULT put_Original(VARIANT_BOOL value) override;
  HRESULT get_Private(VARIANT_BOOL* out) override;
  HRESULT put_Private(VARIANT_BOOL value) override;
  HRESULT get_Unicode(VARIANT_BOOL* out) override;
  HRESULT put_Unicode(VARIANT_BOOL value) override;

 private:
  void Adjust(AvEncodeSettings* settings) const override;

  Mp3HeaderBits bits_;
  bool unicode_ = true;
};

class CFileWriter_AAC final : public CAvFileWriter<CFileWriter_AAC, IFileWriter_AAC> {
 public:
  explicit CFileWriter_AAC(CApp* app) : CAvFileWriter(app, AvScriptCodec::kAac) {}
};

class CFileWriter_WMA final : public CAvFileWriter<CFileWriter_WMA, IFileWriter_WMA> {
 public:
  explicit CFileWriter_WMA(CApp* app) : CAvFileWriter(app, AvScriptCodec::kWmaV2) {}
};

}  // namespace tidemark::NS_SCRIPT
