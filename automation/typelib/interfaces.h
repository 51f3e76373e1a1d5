// The dual interfaces of the "Tidemark" type library, as C++ abstract
// classes: methods in vtable order after IDispatch's (get_X/put_X for a
// property, the [out, retval] last). Each names its IID and its dispatch
// table (Info(), defined with the tables in tidemark_typelib.cpp). Every
// interface begins with Application and Parent.
#pragma once

#include "automation/com/dispatch_table.h"

namespace tidemark::com {

class IApplication;
class IDocument;
class IDocuments;
class ISoundClip;
class ILabels;
class ILabel;
class IText;
class IWaveformInfo;
class IPopup;
class ISystem;
class ICdReader;
class ICdWriter;
class ICdTracks;
class ICodecFormat;
class ICodecInfo;
class ICodecInfoList;
class IFileWriter_PCM;
class IFileWriter_1Bit;
class IFileWriter_AAC;
class IFileWriter_FLAC;
class IFileWriter_LAME;
class IFileWriter_MP3;
class IFileWriter_OggVorbis;
class IFileWriter_Opus;
class IFileWriter_WMA;

class IApplication : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("816A561E-9439-4C93-9D73-00198BE7F222");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_ActiveDocument(IDocument** out) = 0;
  virtual HRESULT get_Clipboard(ISoundClip** out) = 0;
  virtual HRESULT put_Clipboard(VARIANT* value) = 0;
  virtual HRESULT CreateCdReader(ICdReader** out) = 0;
  virtual HRESULT CreateCdWriter(ICdWriter** out) = 0;
  virtual HRESULT CreateFileWriter(BSTR type_name, IDispatch** out) = 0;
  virtual HRESULT CreateFileWriter_1Bit(IFileWriter_1Bit** out) = 0;
  virtual HRESULT CreateFileWriter_AAC(IFileWriter_AAC** out) = 0;
  virtual HRESULT CreateFileWriter_FLAC(IFileWriter_FLAC** out) = 0;
  virtual HRESULT CreateFileWriter_LAME(IFileWriter_LAME** out) = 0;
  virtual HRESULT CreateFileWriter_MP3(IFileWriter_MP3** out) = 0;
  virtual HRESULT CreateFileWriter_OggVorbis(IFileWriter_OggVorbis** out) = 0;
  virtual HRESULT CreateFileWriter_Opus(IFileWriter_Opus** out) = 0;
  virtual HRESULT CreateFileWriter_PCM(IFileWriter_PCM** out) = 0;
  virtual HRESULT CreateFileWriter_WMA(IFileWriter_WMA** out) = 0;
  virtual HRESULT CreateSoundClip(BSTR file_name, ISoundClip** out) = 0;
  virtual HRESULT get_Documents(IDocuments** out) = 0;
  virtual HRESULT get_FullName(BSTR* out) = 0;
  virtual HRESULT get_Name(BSTR* out) = 0;
  virtual HRESULT get_Path(BSTR* out) = 0;
  virtual HRESULT get_Popup(IPopup** out) = 0;
  virtual HRESULT get_Project(BSTR* out) = 0;
  virtual HRESULT put_Project(BSTR value) = 0;
  virtual HRESULT put_StatusBar(BSTR value) = 0;
  virtual HRESULT get_System(ISystem** out) = 0;
  virtual HRESULT get_Version(BSTR* out) = 0;
  virtual HRESULT get_Visible(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Visible(VARIANT_BOOL value) = 0;

 protected:
  ~IApplication() = default;
};

class IDocument : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("7B0236CC-101C-44B3-880A-566C01DBB06E");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT Activate(VARIANT_BOOL maximize) = 0;
  virtual HRESULT AddGain(double left, VARIANT* right) = 0;
  virtual HRESULT AddOffset(VARIANT* left, VARIANT* right) = 0;
  virtual HRESULT get_BitsPerSample(INT* out) = 0;
  virtual HRESULT get_Channels(INT* out) = 0;
  virtual HRESULT get_ChannelSelection(INT* out) = 0;
  virtual HRESULT put_ChannelSelection(INT value) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT CreateSoundClip(ISoundClip** out) = 0;
  virtual HRESULT Delete(double silent_secs) = 0;
  virtual HRESULT EffectChain(BSTR preset_name) = 0;
  virtual HRESULT get_FullName(BSTR* out) = 0;
  virtual HRESULT GetWaveformInfo(BSTR weighting_filter, IWaveformInfo** out) = 0;
  virtual HRESULT get_Labels(ILabels** out) = 0;
  virtual HRESULT get_Length(double* out) = 0;
  virtual HRESULT get_Name(BSTR* out) = 0;
  virtual HRESULT get_Path(BSTR* out) = 0;
  virtual HRESULT get_PcmFileSample(BSTR* out) = 0;
  virtual HRESULT Replace(VARIANT* src_obj, INT channel_mask) = 0;
  virtual HRESULT get_SampleRate(LONG* out) = 0;
  virtual HRESULT put_SampleRate(LONG value) = 0;
  virtual HRESULT Save() = 0;
  virtual HRESULT SaveAs(BSTR file_name, BSTR pcm_file_sample) = 0;
  virtual HRESULT get_Saved(VARIANT_BOOL* out) = 0;
  virtual HRESULT get_SelectionFrom(double* out) = 0;
  virtual HRESULT put_SelectionFrom(double value) = 0;
  virtual HRESULT get_SelectionTo(double* out) = 0;
  virtual HRESULT put_SelectionTo(double value) = 0;
  virtual HRESULT get_Text(IText** out) = 0;
  virtual HRESULT TimeStretch(double speed, VARIANT_BOOL smoothing) = 0;
  virtual HRESULT TimeStretch2(double pitch, double speed, VARIANT_BOOL for_music) = 0;
  virtual HRESULT get_Title(BSTR* out) = 0;

 protected:
  ~IDocument() = default;
};

class IDocuments : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("42FC6550-DED0-4486-831E-21F7CC732EF7");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;
  virtual HRESULT Add(LONG sample_rate, INT num_channels, IDocument** out) = 0;
  virtual HRESULT AddSoundClip(VARIANT* src_obj, IDocument** out) = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT get_Count(LONG* out) = 0;
  virtual HRESULT get_Item(LONG index, IDocument** out) = 0;
  virtual HRESULT MixWrite(BSTR file_name, BSTR pcm_file_sample) = 0;
  virtual HRESULT Open(BSTR file_name, IDocument** out) = 0;

 protected:
  ~IDocuments() = default;
};

class ISoundClip : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("808B851B-19CD-4058-956E-17A8A28348F6");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_BitsPerSample(INT* out) = 0;
  virtual HRESULT get_Channels(INT* out) = 0;
  virtual HRESULT CreateSoundClip(double pos1, double pos2, ISoundClip** out) = 0;
  virtual HRESULT Decode() = 0;
  virtual HRESULT get_Labels(ILabels** out) = 0;
  virtual HRESULT get_Length(double* out) = 0;
  virtual HRESULT get_PcmFileSample(BSTR* out) = 0;
  virtual HRESULT get_SampleRate(LONG* out) = 0;
  virtual HRESULT put_SampleRate(LONG value) = 0;
  virtual HRESULT get_Text(IText** out) = 0;

 protected:
  ~ISoundClip() = default;
};

class ILabels : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("D5BC5EB0-1504-4FBB-BC8E-397CD59F4A17");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;
  virtual HRESULT Add(double Position, BSTR Name, BSTR comment, ILabel** out) = 0;
  virtual HRESULT RemoveAll() = 0;
  virtual HRESULT get_Count(LONG* out) = 0;
  virtual HRESULT get_Item(LONG index, ILabel** out) = 0;

 protected:
  ~ILabels() = default;
};

class ILabel : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("69371B14-8A37-4A46-9C61-E8118CADE4EA");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_Comments(BSTR* out) = 0;
  virtual HRESULT get_Name(BSTR* out) = 0;
  virtual HRESULT get_Position(double* out) = 0;
  virtual HRESULT Remove() = 0;
  virtual HRESULT Set(double Position, BSTR Name, BSTR comment) = 0;

 protected:
  ~ILabel() = default;
};

class IText : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("6824416C-47CE-497C-9EB9-9782C2B358F6");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;
  virtual HRESULT GetAppPrivate(SAFEARRAY** out) = 0;
  virtual HRESULT get_Item(BSTR index, BSTR* out) = 0;
  virtual HRESULT put_Item(BSTR index, BSTR value) = 0;
  virtual HRESULT Items(SAFEARRAY** out) = 0;
  virtual HRESULT Keys(SAFEARRAY** out) = 0;
  virtual HRESULT RemoveAll() = 0;
  virtual HRESULT SetAppPrivate(SAFEARRAY* psa) = 0;

 protected:
  ~IText() = default;
};

class IWaveformInfo : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("AE7BF125-2C9D-43D4-B5CE-7537C239A06C");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_Item(BSTR key, INT channel, double* out) = 0;

 protected:
  ~IWaveformInfo() = default;
};

class IPopup : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("6BBF0868-EE67-42F7-8A71-8FEB248C9A41");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT InputBox(BSTR prompt, BSTR Title, BSTR defval, LONG xpos, LONG ypos, BSTR helpfile, LONG context, BSTR* out) = 0;
  virtual HRESULT MsgBox(BSTR prompt, LONG buttons, BSTR Title, BSTR helpfile, LONG context, INT* out) = 0;

 protected:
  ~IPopup() = default;
};

class ISystem : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("2CB75918-E1B9-4B60-B5E2-67DC4CA9BC36");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT CreateTemp(BSTR Path, BSTR prefix, VARIANT_BOOL create_dir, BSTR* out) = 0;
  virtual HRESULT GetTickCount(LONG* out) = 0;
  virtual HRESULT MakeTemp(BSTR Path, BSTR prefix, VARIANT_BOOL make_dir, BSTR* out) = 0;
  virtual HRESULT SetSuspendState(VARIANT_BOOL hiber, VARIANT_BOOL force, VARIANT_BOOL immediate, VARIANT_BOOL* out) = 0;

 protected:
  ~ISystem() = default;
};

class ICdReader : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("BCB1BB3E-84C4-44F9-85F5-FBC5D785B6A6");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_Channels(INT* out) = 0;
  virtual HRESULT put_Channels(INT value) = 0;
  virtual HRESULT CreateSoundClips(SAFEARRAY* psa, SAFEARRAY** out) = 0;
  virtual HRESULT get_DriveLetter(BSTR* out) = 0;
  virtual HRESULT put_DriveLetter(BSTR value) = 0;
  virtual HRESULT get_DriveName(BSTR* out) = 0;
  virtual HRESULT get_DriveSpeed(INT* out) = 0;
  virtual HRESULT put_DriveSpeed(INT value) = 0;
  virtual HRESULT Eject() = 0;
  virtual HRESULT get_ErrorCorrection(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_ErrorCorrection(VARIANT_BOOL value) = 0;
  virtual HRESULT get_Language(INT* out) = 0;
  virtual HRESULT put_Language(INT value) = 0;
  virtual HRESULT get_SampleRate(LONG* out) = 0;
  virtual HRESULT put_SampleRate(LONG value) = 0;
  virtual HRESULT SetNextDrive() = 0;

 protected:
  ~ICdReader() = default;
};

class ICdWriter : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("5EFA4B08-F7D1-4824-841C-B93583BB307C");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT Blank(INT blank_type) = 0;
  virtual HRESULT get_BufferSize(INT* out) = 0;
  virtual HRESULT put_BufferSize(INT value) = 0;
  virtual HRESULT get_CdText(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_CdText(VARIANT_BOOL value) = 0;
  virtual HRESULT get_DriveLetter(BSTR* out) = 0;
  virtual HRESULT put_DriveLetter(BSTR value) = 0;
  virtual HRESULT get_DriveName(BSTR* out) = 0;
  virtual HRESULT get_DriveSpeed(INT* out) = 0;
  virtual HRESULT put_DriveSpeed(INT value) = 0;
  virtual HRESULT Eject() = 0;
  virtual HRESULT SetNextDrive() = 0;
  virtual HRESULT get_Tracks(ICdTracks** out) = 0;
  virtual HRESULT get_VolumeAdjust(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_VolumeAdjust(VARIANT_BOOL value) = 0;
  virtual HRESULT Write(VARIANT_BOOL test_mode) = 0;
  virtual HRESULT get_WriteMode(INT* out) = 0;
  virtual HRESULT put_WriteMode(INT value) = 0;

 protected:
  ~ICdWriter() = default;
};

class ICdTracks : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("C901F666-5E0B-418C-A30E-8C670312A1A1");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT Add(VARIANT* src_obj, double bound1, double bound2, INT* out) = 0;
  virtual HRESULT get_AlbumArtist(BSTR* out) = 0;
  virtual HRESULT put_AlbumArtist(BSTR value) = 0;
  virtual HRESULT get_AlbumTitle(BSTR* out) = 0;
  virtual HRESULT put_AlbumTitle(BSTR value) = 0;
  virtual HRESULT Copy(INT tno, INT* out) = 0;
  virtual HRESULT get_ExtraGaps(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_ExtraGaps(VARIANT_BOOL value) = 0;
  virtual HRESULT get_MCN(BSTR* out) = 0;
  virtual HRESULT put_MCN(BSTR value) = 0;
  virtual HRESULT RemoveAllTracks() = 0;
  virtual HRESULT SetTrackProps(INT tno, BSTR isrc, VARIANT_BOOL pre_emphasis, VARIANT_BOOL permit_copy) = 0;

 protected:
  ~ICdTracks() = default;
};

class ICodecFormat : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("367307D3-6814-4F09-95F2-C148A8CB0996");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_Bitrate(LONG* out) = 0;
  virtual HRESULT get_BitsPerSample(INT* out) = 0;
  virtual HRESULT get_Channels(INT* out) = 0;
  virtual HRESULT get_Desc(BSTR* out) = 0;
  virtual HRESULT get_Quality(INT* out) = 0;
  virtual HRESULT get_IsQualityBased(VARIANT_BOOL* out) = 0;
  virtual HRESULT get_IsTwoPass(VARIANT_BOOL* out) = 0;
  virtual HRESULT get_IsVBR(VARIANT_BOOL* out) = 0;
  virtual HRESULT get_SampleRate(LONG* out) = 0;

 protected:
  ~ICodecFormat() = default;
};

class ICodecInfo : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("1D89FEEE-C55A-4ED4-B9B6-99485DCBD5F9");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT GetCodecFormats(LONG sample_rate, INT num_channels, SAFEARRAY** out) = 0;
  virtual HRESULT get_IsTwoPass(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_IsTwoPass(VARIANT_BOOL value) = 0;
  virtual HRESULT get_IsVBR(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_IsVBR(VARIANT_BOOL value) = 0;
  virtual HRESULT get_Name(BSTR* out) = 0;

 protected:
  ~ICodecInfo() = default;
};

class ICodecInfoList : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("797E1BD6-F5ED-465E-9F3B-062E7CBE77FF");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;
  virtual HRESULT get_Count(LONG* out) = 0;
  virtual HRESULT get_Item(LONG index, ICodecInfo** out) = 0;

 protected:
  ~ICodecInfoList() = default;
};

class IFileWriter_PCM : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("BFFFE6A1-4006-4695-8EA5-D82FCE9050AD");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_Channels(INT* out) = 0;
  virtual HRESULT put_Channels(INT value) = 0;
  virtual HRESULT get_PcmFileSample(BSTR* out) = 0;
  virtual HRESULT put_PcmFileSample(BSTR value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;
  virtual HRESULT get_SampleRate(LONG* out) = 0;
  virtual HRESULT put_SampleRate(LONG value) = 0;

 protected:
  ~IFileWriter_PCM() = default;
};

class IFileWriter_1Bit : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("47AA4038-C8B8-4C7B-B8A7-00A16DB2DD3A");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_Channels(INT* out) = 0;
  virtual HRESULT put_Channels(INT value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;
  virtual HRESULT get_SampleRate(LONG* out) = 0;
  virtual HRESULT put_SampleRate(LONG value) = 0;

 protected:
  ~IFileWriter_1Bit() = default;
};

class IFileWriter_AAC : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("F9421744-ECD5-40DF-8A17-CBB6061F24B9");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_CodecFormat(ICodecFormat** out) = 0;
  virtual HRESULT put_CodecFormat(ICodecFormat* value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;

 protected:
  ~IFileWriter_AAC() = default;
};

class IFileWriter_FLAC : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("3A2A8053-1D5A-4949-8542-B92FBA629906");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_BitsPerSample(INT* out) = 0;
  virtual HRESULT put_BitsPerSample(INT value) = 0;
  virtual HRESULT get_Channels(INT* out) = 0;
  virtual HRESULT put_Channels(INT value) = 0;
  virtual HRESULT get_CompressLevel(INT* out) = 0;
  virtual HRESULT put_CompressLevel(INT value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;
  virtual HRESULT get_ReplayGain(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_ReplayGain(VARIANT_BOOL value) = 0;
  virtual HRESULT get_SampleRate(LONG* out) = 0;
  virtual HRESULT put_SampleRate(LONG value) = 0;
  virtual HRESULT get_Verify(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Verify(VARIANT_BOOL value) = 0;

 protected:
  ~IFileWriter_FLAC() = default;
};

class IFileWriter_LAME : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("DC051802-0F6E-43E6-BF75-67B75BFC948A");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_ChannelMode(INT* out) = 0;
  virtual HRESULT put_ChannelMode(INT value) = 0;
  virtual HRESULT get_CodecFormat(ICodecFormat** out) = 0;
  virtual HRESULT put_CodecFormat(ICodecFormat* value) = 0;
  virtual HRESULT get_Copyright(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Copyright(VARIANT_BOOL value) = 0;
  virtual HRESULT get_CRC(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_CRC(VARIANT_BOOL value) = 0;
  virtual HRESULT get_EnableABR(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_EnableABR(VARIANT_BOOL value) = 0;
  virtual HRESULT get_MaxBitrate(LONG* out) = 0;
  virtual HRESULT put_MaxBitrate(LONG value) = 0;
  virtual HRESULT get_Original(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Original(VARIANT_BOOL value) = 0;
  virtual HRESULT get_Private(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Private(VARIANT_BOOL value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;
  virtual HRESULT get_Quality(INT* out) = 0;
  virtual HRESULT put_Quality(INT value) = 0;
  virtual HRESULT get_Unicode(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Unicode(VARIANT_BOOL value) = 0;

 protected:
  ~IFileWriter_LAME() = default;
};

class IFileWriter_MP3 : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("322B552D-1F71-400F-9151-EE68A892F566");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_CodecFormat(ICodecFormat** out) = 0;
  virtual HRESULT put_CodecFormat(ICodecFormat* value) = 0;
  virtual HRESULT get_Copyright(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Copyright(VARIANT_BOOL value) = 0;
  virtual HRESULT get_Original(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Original(VARIANT_BOOL value) = 0;
  virtual HRESULT get_Private(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Private(VARIANT_BOOL value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;
  virtual HRESULT get_Unicode(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_Unicode(VARIANT_BOOL value) = 0;

 protected:
  ~IFileWriter_MP3() = default;
};

class IFileWriter_OggVorbis : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("33356A93-EF7A-4D30-B950-36CEDAF5DB9A");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_CodecFormat(ICodecFormat** out) = 0;
  virtual HRESULT put_CodecFormat(ICodecFormat* value) = 0;
  virtual HRESULT get_MaxBitrate(LONG* out) = 0;
  virtual HRESULT put_MaxBitrate(LONG value) = 0;
  virtual HRESULT get_MinBitrate(LONG* out) = 0;
  virtual HRESULT put_MinBitrate(LONG value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;

 protected:
  ~IFileWriter_OggVorbis() = default;
};

class IFileWriter_Opus : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("D0E2628C-7E29-4103-8233-CDA7A86DC848");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_Bitrate(LONG* out) = 0;
  virtual HRESULT put_Bitrate(LONG value) = 0;
  virtual HRESULT get_Channels(INT* out) = 0;
  virtual HRESULT put_Channels(INT value) = 0;
  virtual HRESULT get_EnableVBR(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_EnableVBR(VARIANT_BOOL value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;
  virtual HRESULT get_SampleRate(LONG* out) = 0;
  virtual HRESULT put_SampleRate(LONG value) = 0;
  virtual HRESULT get_SignalType(INT* out) = 0;
  virtual HRESULT put_SignalType(INT value) = 0;
  virtual HRESULT get_VBRConstraint(VARIANT_BOOL* out) = 0;
  virtual HRESULT put_VBRConstraint(VARIANT_BOOL value) = 0;

 protected:
  ~IFileWriter_Opus() = default;
};

class IFileWriter_WMA : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("52DD3EF9-1076-424E-9DBD-AED339A7A53B");
  static const InterfaceInfo& Info();
  virtual HRESULT get_Application(IApplication** out) = 0;
  virtual HRESULT get_Parent(IDispatch** out) = 0;
  virtual HRESULT get_CodecFormat(ICodecFormat** out) = 0;
  virtual HRESULT put_CodecFormat(ICodecFormat* value) = 0;
  virtual HRESULT Process(VARIANT* src_obj, BSTR file_name) = 0;

 protected:
  ~IFileWriter_WMA() = default;
};

}  // namespace tidemark::com
