// The automation object model: the classes behind the "Tidemark" type
// library's interfaces. One application object (CApp) at a time reaches the
// editor through an AutomationHost; every other object is reached from it.
//
// Lifetime and identity:
//  - CApp owns its Documents collection, popup and system objects (each a
//    separate counted object the application holds one reference to).
//  - CDocs holds one CDoc per open document it has met; lookups compare the
//    document, so two objects never stand for one document.
//  - Children point at the application without a reference; destroying the
//    application detaches every live object (DetachAllLiveObjects), after
//    which their members answer E_ACCESSDENIED.
//  - A document closed by any path (the console's close included) detaches
//    its CDoc: the host tells the application before the document goes.
//
// Errors follow one contract, in this order: a null out-pointer or a
// required string that is null or empty (E_INVALIDARG, out-pointers cleared
// first); a detached object (E_ACCESSDENIED); argument ranges
// (E_INVALIDARG); then the work runs inside Guarded(), which turns a
// CAppError into error info (source "Tidemark.Application", the catalogue
// text of the error number, "\n\n" and the detail) and E_FAIL.
//
// Every member runs on the user-interface thread (the proxy carries calls
// from a script thread there).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/com/com.h"
#include "automation/host/automation_host.h"
#include "automation/model/model_rules.h"
#include "automation/typelib/interfaces.h"
#include "core/document/document_metadata.h"
#include "core/edit/sound_clip.h"
#include "effects/analysis/waveform_statistics.h"
#include "formats/open_sound_file.h"

namespace tidemark::NS_SCRIPT {

using namespace tidemark::com;  // NOLINT: the model speaks COM throughout
using automation::AutomationHost;

// The application error: an error number of the catalogue and an optional
// detail. The only exception of the layer; it never leaves a member.
struct CAppError {
  Error code;
  std::string detail;
};
[[noreturn]] void RaiseAppError(Error code, std::string detail = {});
// Raises `code` when it is not 0.
void CheckApp(Error code);
// Runs `work` (answering an HRESULT) and turns a CAppError (or running out
// of memory) into error info for `iid` and E_FAIL.
template <typename Work>
HRESULT Guarded(const IID& iid, Work&& work);
HRESULT ReportAppError(const IID& iid, const CAppError& error);

class CApp;
class CDocs;
class CDoc;

// An object of the application: it knows the application until detached.
template <typename Derived, typename Interface>
class CAppChild : public CBase<Derived, Interface> {
 public:
  HRESULT get_Application(IApplication** out) override;
  bool Detach() override {
    OnDetach();
    app_ = nullptr;
    return true;
  }
  CApp* app() const { return app_; }

 protected:
  explicit CAppChild(CApp* app) : app_(app) {}
  virtual void OnDetach() {}
  CApp* app_;
};

// What CLabels and CText reach their owner (a document or a clip) through.
class CLabelsParent {
 public:
  // Null once the owner is detached.
  virtual MarkerList* LabelList() = 0;
  virtual std::uint32_t LabelRate() = 0;
  virtual std::uint32_t LabelLength() = 0;
  // Each takes over or names nodes of LabelList().
  [[nodiscard]] virtual Error AddLabel(Marker* marker) = 0;
  [[nodiscard]] virtual Error RemoveLabels(const std::vector<Marker*>& markers) = 0;
  // `now` gets the node that stands for the label afterwards (an edit may
  // put a new node in the list).
  [[nodiscard]] virtual Error ChangeLabel(Marker* marker, std::uint32_t position, const std::string& name,
                                          const std::string& comment, Marker** now) = 0;
  // The owner as a dispatch interface (its CLabels holds a reference).
  virtual IDispatch* LabelsOwner() = 0;
  // The owner's CLabels went away or was detached.
  virtual void LabelsGone() = 0;

 protected:
  ~CLabelsParent() = default;
};

class CTextParent {
 public:
  // Null once the owner is detached.
  virtual const DocumentMetadata* Texts() = 0;
  virtual void SetText(InfoText slot, std::string text) = 0;
  virtual IDispatch* TextOwner() = 0;
  virtual void TextGone() = 0;

 protected:
  ~CTextParent() = default;
};

class CLabel;

class CLabels final : public CAppChild<CLabels, ILabels> {
 public:
  // Holds its owner while it lives; the owner keeps only a pointer, so that
  // one CLabels stands for one owner's labels at a time.
  CLabels(CApp* app, CLabelsParent* parent)
      : CAppChild(app), parent_(parent), owner_(ComRef<IDispatch>::Share(parent->LabelsOwner())) {}
  ~CLabels() override;
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get__NewEnum(IUnknown** out) override;
  HRESULT Add(double Position, BSTR Name, BSTR comment, ILabel** out) override;
  HRESULT RemoveAll() override;
  HRESULT get_Count(LONG* out) override;
  HRESULT get_Item(LONG index, ILabel** out) override;

  CLabelsParent* parent() const { return parent_; }
  // The object of `marker`, made when missing.
  ComRef<CLabel> ObjectFor(Marker* marker);
  // Detaches the objects of `markers` and drops them.
  void Forget(const std::vector<Marker*>& markers);

 protected:
  void OnDetach() override;

 private:
  CLabelsParent* parent_;  // null once detached
  ComRef<IDispatch> owner_;
  std::vector<ComRef<CLabel>> items_;
};

class CLabel final : public CAppChild<CLabel, ILabel> {
 public:
  CLabel(CApp* app, CLabels* labels, Marker* marker);
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get_Comments(BSTR* out) override;
  HRESULT get_Name(BSTR* out) override;
  HRESULT get_Position(double* out) override;
  HRESULT Remove() override;
  HRESULT Set(double Position, BSTR Name, BSTR comment) override;

  Marker* marker() const { return marker_.get(); }
  void Unlink() { labels_ = nullptr; }
  void Rebind(Marker* marker) { marker_ = IntrusiveRef<Marker>::Share(marker); }

 protected:
  void OnDetach() override { labels_ = nullptr; }

 private:
  // Null once the label was removed; the node is kept alive meanwhile.
  CLabels* labels_;
  IntrusiveRef<Marker> marker_;
  std::uint32_t rate_;  // for Position after the label was removed
};

class CText final : public CAppChild<CText, IText> {
 public:
  CText(CApp* app, CTextParent* parent)
      : CAppChild(app), parent_(parent), owner_(ComRef<IDispatch>::Share(parent->TextOwner())) {}
  ~CText() override;
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get__NewEnum(IUnknown** out) override;
  HRESULT GetAppPrivate(SAFEARRAY** out) override;
  HRESULT get_Item(BSTR index, BSTR* out) override;
  HRESULT put_Item(BSTR index, BSTR value) override;
  HRESULT Items(SAFEARRAY** out) override;
  HRESULT Keys(SAFEARRAY** out) override;
  HRESULT RemoveAll() override;
  HRESULT SetAppPrivate(SAFEARRAY* psa) override;

 protected:
  void OnDetach() override;

 private:
  CTextParent* parent_;  // null once detached
  ComRef<IDispatch> owner_;
};

class CWaveformInfo final : public CAppChild<CWaveformInfo, IWaveformInfo> {
 public:
  CWaveformInfo(CApp* app, ComRef<CDoc> document, const WaveformStatistics& stats, std::uint32_t rate)
      : CAppChild(app), document_(std::move(document)), stats_(stats), rate_(rate) {}
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get_Item(BSTR key, INT channel, double* out) override;

 private:
  ComRef<CDoc> document_;
  WaveformStatistics stats_;
  std::uint32_t rate_;
};

class CDoc final : public CAppChild<CDoc, IDocument>, public CLabelsParent, public CTextParent {
 public:
  CDoc(CApp* app, SoundDocument* document);
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT Activate(VARIANT_BOOL maximize) override;
  HRESULT AddGain(double left, VARIANT* right) override;
  HRESULT AddOffset(VARIANT* left, VARIANT* right) override;
  HRESULT get_BitsPerSample(INT* out) override;
  HRESULT get_Channels(INT* out) override;
  HRESULT get_ChannelSelection(INT* out) override;
  HRESULT put_ChannelSelection(INT value) override;
  HRESULT Close() override;
  HRESULT CreateSoundClip(ISoundClip** out) override;
  HRESULT Delete(double silent_secs) override;
  HRESULT EffectChain(BSTR preset_name) override;
  HRESULT get_FullName(BSTR* out) override;
  HRESULT GetWaveformInfo(BSTR weighting_filter, IWaveformInfo** out) override;
  HRESULT get_Labels(ILabels** out) override;
  HRESULT get_Length(double* out) override;
  HRESULT get_Name(BSTR* out) override;
  HRESULT get_Path(BSTR* out) override;
  HRESULT get_PcmFileSample(BSTR* out) override;
  HRESULT Replace(VARIANT* src_obj, INT channel_mask) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;
  HRESULT Save() override;
  HRESULT SaveAs(BSTR file_name, BSTR pcm_file_sample) override;
  HRESULT get_Saved(VARIANT_BOOL* out) override;
  HRESULT get_SelectionFrom(double* out) override;
  HRESULT put_SelectionFrom(double value) override;
  HRESULT get_SelectionTo(double* out) override;
  HRESULT put_SelectionTo(double value) override;
  HRESULT get_Text(IText** out) override;
  HRESULT TimeStretch(double speed, VARIANT_BOOL smoothing) override;
  HRESULT TimeStretch2(double pitch, double speed, VARIANT_BOOL for_music) override;
  HRESULT get_Title(BSTR* out) override;

  SoundDocument* document() const { return document_; }
  // A new clip of the selection (application errors raised).
  ComRef<class CSndClip> SelectionClip();

  // CLabelsParent
  MarkerList* LabelList() override;
  std::uint32_t LabelRate() override;
  std::uint32_t LabelLength() override;
  [[nodiscard]] Error AddLabel(Marker* marker) override;
  [[nodiscard]] Error RemoveLabels(const std::vector<Marker*>& markers) override;
  [[nodiscard]] Error ChangeLabel(Marker* marker, std::uint32_t position, const std::string& name,
                                  const std::string& comment, Marker** now) override;
  IDispatch* LabelsOwner() override { return dispatch(); }
  void LabelsGone() override { labels_ = nullptr; }
  // CTextParent
  const DocumentMetadata* Texts() override;
  void SetText(InfoText slot, std::string text) override;
  IDispatch* TextOwner() override { return dispatch(); }
  void TextGone() override { text_ = nullptr; }

 protected:
  void OnDetach() override;

 private:
  // Activates the window before a change, so the undo step and display
  // refer to it.
  void ActivateForChange();

  SoundDocument* document_;  // null once detached
  // The live CLabels and CText of this document, if any (each holds us).
  CLabels* labels_ = nullptr;
  CText* text_ = nullptr;
};

// A clip holds its samples, or (made from a codec file) only the file's
// name until Decode or the first member that needs samples, labels or texts
// decodes it; a decode that fails or is cancelled leaves it undecoded, and
// a detached clip that was never decoded answers E_ACCESSDENIED.
class CSndClip final : public CAppChild<CSndClip, ISoundClip>, public CLabelsParent, public CTextParent {
 public:
  // `parent`: the document the clip was made from, or none.
  CSndClip(CApp* app, ClipRef clip, DocumentMetadata texts, ComRef<CDoc> parent);
  // An undecoded clip of the file `path`, opened with `options` later.
  CSndClip(CApp* app, std::string path, OpenOptions options);
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get_BitsPerSample(INT* out) override;
  HRESULT get_Channels(INT* out) override;
  HRESULT CreateSoundClip(double pos1, double pos2, ISoundClip** out) override;
  HRESULT Decode() override;
  HRESULT get_Labels(ILabels** out) override;
  HRESULT get_Length(double* out) override;
  HRESULT get_PcmFileSample(BSTR* out) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;
  HRESULT get_Text(IText** out) override;

  // The samples, decoded first when still undecoded (application errors
  // raised).
  const ClipRef& clip();
  bool decoded() const { return static_cast<bool>(clip_); }

  MarkerList* LabelList() override;
  std::uint32_t LabelRate() override;
  std::uint32_t LabelLength() override;
  [[nodiscard]] Error AddLabel(Marker* marker) override;
  [[nodiscard]] Error RemoveLabels(const std::vector<Marker*>& markers) override;
  [[nodiscard]] Error ChangeLabel(Marker* marker, std::uint32_t position, const std::string& name,
                                  const std::string& comment, Marker** now) override;
  IDispatch* LabelsOwner() override { return dispatch(); }
  void LabelsGone() override { labels_ = nullptr; }
  const DocumentMetadata* Texts() override;
  void SetText(InfoText slot, std::string text) override;
  IDispatch* TextOwner() override { return dispatch(); }
  void TextGone() override { text_ = nullptr; }

 protected:
  void OnDetach() override;

 private:
  // Runs `work` on the decoded samples inside the guard.
  template <typename Work>
  HRESULT WithSamples(Work&& work);

  ClipRef clip_;        // null while undecoded
  std::string source_;  // the undecoded file; empty once decoded
  OpenOptions options_;
  DocumentMetadata texts_;
  ComRef<CDoc> parent_;
  CLabels* labels_ = nullptr;
  CText* text_ = nullptr;
};

class CDocs final : public CAppChild<CDocs, IDocuments> {
 public:
  explicit CDocs(CApp* app) : CAppChild(app) {}
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get__NewEnum(IUnknown** out) override;
  HRESULT Add(LONG sample_rate, INT num_channels, IDocument** out) override;
  HRESULT AddSoundClip(VARIANT* src_obj, IDocument** out) override;
  HRESULT Close() override;
  HRESULT get_Count(LONG* out) override;
  HRESULT get_Item(LONG index, IDocument** out) override;
  HRESULT MixWrite(BSTR file_name, BSTR pcm_file_sample) override;
  HRESULT Open(BSTR file_name, IDocument** out) override;

  // Builds the collection when it is not built yet.
  void Build();
  bool built() const { return count_ >= 0; }
  // The object of `document`, appended when missing.
  ComRef<CDoc> ObjectFor(SoundDocument* document);
  // Removes and detaches the object of `document` (nothing when none).
  void Forget(SoundDocument* document);
  // Detaches and drops every object; the collection counts as built and
  // empty until Rebuild.
  void Empty();
  void Rebuild();

 protected:
  void OnDetach() override;

 private:
  std::vector<ComRef<CDoc>> items_;
  long count_ = -1;  // -1: not built yet
};

class CPopup final : public CAppChild<CPopup, IPopup> {
 public:
  explicit CPopup(CApp* app) : CAppChild(app) {}
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT InputBox(BSTR prompt, BSTR Title, BSTR defval, LONG xpos, LONG ypos, BSTR helpfile, LONG context,
                   BSTR* out) override;
  HRESULT MsgBox(BSTR prompt, LONG buttons, BSTR Title, BSTR helpfile, LONG context, INT* out) override;
};

class CSystem final : public CAppChild<CSystem, ISystem> {
 public:
  explicit CSystem(CApp* app) : CAppChild(app) {}
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT CreateTemp(BSTR Path, BSTR prefix, VARIANT_BOOL create_dir, BSTR* out) override;
  HRESULT GetTickCount(LONG* out) override;
  HRESULT MakeTemp(BSTR Path, BSTR prefix, VARIANT_BOOL make_dir, BSTR* out) override;
  HRESULT SetSuspendState(VARIANT_BOOL hiber, VARIANT_BOOL force, VARIANT_BOOL immediate,
                          VARIANT_BOOL* out) override;
};

class CCdTracks;

// The CD objects: their settings are kept; every member that would reach a
// drive answers application error 80 (no optical drive support here).
class CCdReader final : public CAppChild<CCdReader, ICdReader> {
 public:
  explicit CCdReader(CApp* app) : CAppChild(app) {}
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get_Channels(INT* out) override;
  HRESULT put_Channels(INT value) override;
  HRESULT CreateSoundClips(SAFEARRAY* psa, SAFEARRAY** out) override;
  HRESULT get_DriveLetter(BSTR* out) override;
  HRESULT put_DriveLetter(BSTR value) override;
  HRESULT get_DriveName(BSTR* out) override;
  HRESULT get_DriveSpeed(INT* out) override;
  HRESULT put_DriveSpeed(INT value) override;
  HRESULT Eject() override;
  HRESULT get_ErrorCorrection(VARIANT_BOOL* out) override;
  HRESULT put_ErrorCorrection(VARIANT_BOOL value) override;
  HRESULT get_Language(INT* out) override;
  HRESULT put_Language(INT value) override;
  HRESULT get_SampleRate(LONG* out) override;
  HRESULT put_SampleRate(LONG value) override;
  HRESULT SetNextDrive() override;

 private:
  INT channels_ = 2;
  bool error_correction_ = false;
  INT language_ = 0;
  LONG rate_ = 44100;
};

class CCdWriter final : public CAppChild<CCdWriter, ICdWriter> {
 public:
  explicit CCdWriter(CApp* app);
  ~CCdWriter() override;
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT Blank(INT blank_type) override;
  HRESULT get_BufferSize(INT* out) override;
  HRESULT put_BufferSize(INT value) override;
  HRESULT get_CdText(VARIANT_BOOL* out) override;
  HRESULT put_CdText(VARIANT_BOOL value) override;
  HRESULT get_DriveLetter(BSTR* out) override;
  HRESULT put_DriveLetter(BSTR value) override;
  HRESULT get_DriveName(BSTR* out) override;
  HRESULT get_DriveSpeed(INT* out) override;
  HRESULT put_DriveSpeed(INT value) override;
  HRESULT Eject() override;
  HRESULT SetNextDrive() override;
  HRESULT get_Tracks(ICdTracks** out) override;
  HRESULT get_VolumeAdjust(VARIANT_BOOL* out) override;
  HRESULT put_VolumeAdjust(VARIANT_BOOL value) override;
  HRESULT Write(VARIANT_BOOL test_mode) override;
  HRESULT get_WriteMode(INT* out) override;
  HRESULT put_WriteMode(INT value) override;

 private:
  INT buffer_size_ = 0;
  bool cd_text_ = false;
  bool volume_adjust_ = false;
  INT write_mode_ = 0;
  ComRef<CCdTracks> tracks_;
};

class CCdTracks final : public CAppChild<CCdTracks, ICdTracks> {
 public:
  CCdTracks(CApp* app, CCdWriter* writer) : CAppChild(app), writer_(writer) {}
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT Add(VARIANT* src_obj, double bound1, double bound2, INT* out) override;
  HRESULT get_AlbumArtist(BSTR* out) override;
  HRESULT put_AlbumArtist(BSTR value) override;
  HRESULT get_AlbumTitle(BSTR* out) override;
  HRESULT put_AlbumTitle(BSTR value) override;
  HRESULT Copy(INT tno, INT* out) override;
  HRESULT get_ExtraGaps(VARIANT_BOOL* out) override;
  HRESULT put_ExtraGaps(VARIANT_BOOL value) override;
  HRESULT get_MCN(BSTR* out) override;
  HRESULT put_MCN(BSTR value) override;
  HRESULT RemoveAllTracks() override;
  HRESULT SetTrackProps(INT tno, BSTR isrc, VARIANT_BOOL pre_emphasis, VARIANT_BOOL permit_copy) override;
  // The writer went away while a script holds its tracks.
  void Orphan() { writer_ = nullptr; }

 protected:
  void OnDetach() override { writer_ = nullptr; }

 private:
  CCdWriter* writer_;  // the writer holds the tracks
  std::vector<ClipRef> tracks_;
  std::string artist_, title_, mcn_;
  bool extra_gaps_ = false;
};

class CApp final : public CBase<CApp, IApplication> {
 public:
  // The process's application object over `host` (which must outlive it);
  // null when one exists already.
  static ComRef<CApp> Create(AutomationHost& host);
  // The application object while one lives.
  static CApp* Current();

  HRESULT get_Application(IApplication** out) override;
  HRESULT get_Parent(IDispatch** out) override;
  HRESULT get_ActiveDocument(IDocument** out) override;
  HRESULT get_Clipboard(ISoundClip** out) override;
  HRESULT put_Clipboard(VARIANT* value) override;
  HRESULT CreateCdReader(ICdReader** out) override;
  HRESULT CreateCdWriter(ICdWriter** out) override;
  HRESULT CreateFileWriter(BSTR type_name, IDispatch** out) override;
  HRESULT CreateFileWriter_1Bit(IFileWriter_1Bit** out) override;
  HRESULT CreateFileWriter_AAC(IFileWriter_AAC** out) override;
  HRESULT CreateFileWriter_FLAC(IFileWriter_FLAC** out) override;
  HRESULT CreateFileWriter_LAME(IFileWriter_LAME** out) override;
  HRESULT CreateFileWriter_MP3(IFileWriter_MP3** out) override;
  HRESULT CreateFileWriter_OggVorbis(IFileWriter_OggVorbis** out) override;
  HRESULT CreateFileWriter_Opus(IFileWriter_Opus** out) override;
  HRESULT CreateFileWriter_PCM(IFileWriter_PCM** out) override;
  HRESULT CreateFileWriter_WMA(IFileWriter_WMA** out) override;
  HRESULT CreateSoundClip(BSTR file_name, ISoundClip** out) override;
  HRESULT get_Documents(IDocuments** out) override;
  HRESULT get_FullName(BSTR* out) override;
  HRESULT get_Name(BSTR* out) override;
  HRESULT get_Path(BSTR* out) override;
  HRESULT get_Popup(IPopup** out) override;
  HRESULT get_Project(BSTR* out) override;
  HRESULT put_Project(BSTR value) override;
  HRESULT put_StatusBar(BSTR value) override;
  HRESULT get_System(ISystem** out) override;
  HRESULT get_Version(BSTR* out) override;
  HRESULT get_Visible(VARIANT_BOOL* out) override;
  HRESULT put_Visible(VARIANT_BOOL value) override;

  AutomationHost& host() const { return host_; }
  CDocs* docs() const { return docs_.get(); }

 private:
  explicit CApp(AutomationHost& host);
  ~CApp() override;
  friend class CBase<CApp, IApplication>;

  AutomationHost& host_;
  ComRef<CDocs> docs_;
  ComRef<CPopup> popup_;
  ComRef<CSystem> system_;
};

// --- helpers shared by the members ---

// Copies `object` (a reference added) into *out.
template <typename I, typename T>
HRESULT ReturnObject(T* object, I** out) {
  *out = object ? static_cast<I*>(object) : nullptr;
  if (object) object->AddRef();
  return S_OK;
}
// A new BSTR into *out; E_OUTOFMEMORY when it cannot be made.
HRESULT ReturnString(std::string_view utf8, BSTR* out);
inline bool IsEmpty(BSTR s) { return SysStringLen(s) == 0; }

// The clip a source object stands for: an ISoundClip's clip, or a new clip
// of an IDocument's selection. E_INVALIDARG for a VARIANT without an
// object or another object, E_UNEXPECTED for an object that answers the
// interface but is not one of this program's, E_ACCESSDENIED for a
// detached document. Application errors raised.
HRESULT SourceClip(VARIANT* src_obj, ClipRef* clip);

template <typename Work>
HRESULT Guarded(const IID& iid, Work&& work) {
  try {
    return work();
  } catch (const CAppError& e) {
    return ReportAppError(iid, e);
  } catch (const std::bad_alloc&) {
    return ReportAppError(iid, CAppError{err::kOutOfMemory, {}});
  }
}

template <typename Derived, typename Interface>
HRESULT CAppChild<Derived, Interface>::get_Application(IApplication** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<IApplication>(app_, out);
}

}  // namespace tidemark::NS_SCRIPT
