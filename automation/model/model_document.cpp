// The Documents collection, the document object and the waveform snapshot.
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "automation/model/model_objects.h"
#include "automation/model/model_ops.h"
#include "core/edit/document_properties.h"
#include "core/undo/marker_commands.h"
#include "effects/pitch/time_stretch.h"
#include "platform/ascii_case.h"
#include "platform/utf.h"

namespace tidemark::NS_SCRIPT {

// --- CDocs ---

HRESULT CDocs::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<IApplication*>(app_), out);
}

void CDocs::Build() {
  if (!app_) return;
  const std::vector<SoundDocument*> open = app_->host().Documents();  // newest first
  if (count_ < 0) {
    items_.clear();
    for (SoundDocument* d : open) items_.push_back(ComRef<CDoc>::Adopt(new CDoc(app_, d)));
    std::reverse(items_.begin(), items_.end());  // the oldest is item 0
  } else {
    // Documents the user opened meanwhile join at the end, oldest first.
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
      const bool known = std::any_of(items_.begin(), items_.end(),
                                     [&](const ComRef<CDoc>& c) { return c->document() == *it; });
      if (!known) items_.push_back(ComRef<CDoc>::Adopt(new CDoc(app_, *it)));
    }
  }
  count_ = static_cast<long>(items_.size());
}

ComRef<CDoc> CDocs::ObjectFor(SoundDocument* document) {
  Build();
  for (const ComRef<CDoc>& c : items_)
    if (c->document() == document) return c;
  items_.push_back(ComRef<CDoc>::Adopt(new CDoc(app_, document)));
  count_ = static_cast<long>(items_.size());
  return items_.back();
}

void CDocs::Forget(SoundDocument* document) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if ((*it)->document() != document) continue;
    const ComRef<CDoc> held = *it;
    items_.erase(it);
    if (count_ >= 0) count_ = static_cast<long>(items_.size());
    held->Detach();
    return;
  }
}

void CDocs::Empty() {
  std::vector<ComRef<CDoc>> items;
  items.swap(items_);
  for (const ComRef<CDoc>& c : items) c->Detach();
  count_ = 0;
}

void CDocs::Rebuild() {
  Empty();
  count_ = -1;
  Build();
}

void CDocs::OnDetach() {
  std::vector<ComRef<CDoc>> items;
  items.swap(items_);
  for (const ComRef<CDoc>& c : items) c->Detach();
  count_ = -1;
}

HRESULT CDocs::get__NewEnum(IUnknown** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  Build();
  std::vector<IDispatch*> objects;
  for (const ComRef<CDoc>& c : items_) objects.push_back(c->dispatch());
  IEnumVARIANT* e = nullptr;
  const HRESULT hr = CreateEnumVariant(objects, &e);
  *out = e;
  return hr;
}

HRESULT CDocs::Add(LONG sample_rate, INT num_channels, IDocument** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  if (sample_rate < 4000 || sample_rate > 384000 || (num_channels != 1 && num_channels != 2)) return E_INVALIDARG;
  return Guarded(IDocuments::IID, [&]() -> HRESULT {
    DocumentPtr made;
    CheckApp(NewDocument(static_cast<std::uint32_t>(sample_rate), static_cast<std::uint16_t>(num_channels), &made));
    SoundDocument* d = made.get();
    app_->host().Adopt(std::move(made));
    return ReturnObject<IDocument>(ObjectFor(d).get(), out);
  });
}

HRESULT CDocs::AddSoundClip(VARIANT* src_obj, IDocument** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return Guarded(IDocuments::IID, [&]() -> HRESULT {
    ClipRef clip;
    if (const HRESULT hr = SourceClip(src_obj, &clip); FAILED(hr)) return hr;
    DocumentPtr made;
    CheckApp(NewDocumentFromClip(*clip, &made));
    SoundDocument* d = made.get();
    app_->host().Adopt(std::move(made));
    return ReturnObject<IDocument>(ObjectFor(d).get(), out);
  });
}

HRESULT CDocs::Close() {
  if (!app_) return E_ACCESSDENIED;
  CApp* app = app_;
  Build();
  for (SoundDocument* d : app->host().Documents()) {
    Forget(d);
    app->host().Close(d);
  }
  return S_OK;
}

HRESULT CDocs::get_Count(LONG* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  if (!app_) return E_ACCESSDENIED;
  Build();
  *out = static_cast<LONG>(count_);
  return S_OK;
}

HRESULT CDocs::get_Item(LONG index, IDocument** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_ || !built()) return E_ACCESSDENIED;
  Build();
  if (index < 0 || index >= count_) return E_INVALIDARG;
  return ReturnObject<IDocument>(items_[static_cast<std::size_t>(index)].get(), out);
}

HRESULT CDocs::MixWrite(BSTR file_name, BSTR pcm_file_sample) {
  if (IsEmpty(file_name)) return E_INVALIDARG;
  if (!app_ || !built()) return E_ACCESSDENIED;
  Build();
  if (items_.empty()) return E_ACCESSDENIED;
  ParsedSampleType type{PcmFileKind::Wave, sample_code::kS16};
  if (!IsEmpty(pcm_file_sample)) {
    const auto parsed = ParsePcmFileSample(BstrToUtf8(pcm_file_sample));
    if (!parsed) return E_INVALIDARG;
    type = *parsed;
  }
  return Guarded(IDocuments::IID, [&]() -> HRESULT {
    std::vector<SoundDocument*> docs;
    for (const ComRef<CDoc>& c : items_) docs.push_back(c->document());
    std::error_code ec;
    const std::string path = std::filesystem::absolute(BstrToUtf8(file_name), ec).string();
    if (ec) RaiseAppError(err::kInvalidPath);
    CheckApp(MixDown(docs, path, type, app_->host().SaveSettings()));
    return S_OK;
  });
}

HRESULT CDocs::Open(BSTR file_name, IDocument** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (IsEmpty(file_name)) return E_INVALIDARG;
  if (!app_) return E_ACCESSDENIED;
  return Guarded(IDocuments::IID, [&]() -> HRESULT {
    std::error_code ec;
    const std::string path = std::filesystem::absolute(BstrToUtf8(file_name), ec).lexically_normal().string();
    if (ec) RaiseAppError(err::kInvalidPath);
    for (SoundDocument* d : app_->host().Documents()) {
      const std::optional<std::string>& own = d->path ? d->path : d->second_path;
      if (own && EqualsIgnoreAsciiCase(*own, path)) {
        app_->host().Activate(d, false);
        return ReturnObject<IDocument>(ObjectFor(d).get(), out);
      }
    }
    SoundDocument* opened = nullptr;
    CheckApp(app_->host().Open(path, &opened));
    return ReturnObject<IDocument>(ObjectFor(opened).get(), out);
  });
}

// --- CDoc ---

CDoc::CDoc(CApp* app, SoundDocument* document) : CAppChild(app), document_(document) {}

void CDoc::OnDetach() {
  document_ = nullptr;
  if (labels_) labels_->Detach();
  if (text_) text_->Detach();
}

void CDoc::ActivateForChange() { app_->host().Activate(document_, false); }

#define TIDEMARK_DOC_OUT(out)    \
  if (!(out)) return E_INVALIDARG; \
  *(out) = {};                     \
  if (!document_) return E_ACCESSDENIED
#define TIDEMARK_DOC_ATTACHED() \
  if (!document_) return E_ACCESSDENIED

HRESULT CDoc::get_Parent(IDispatch** out) {
  TIDEMARK_DOC_OUT(out);
  return ReturnObject<IDispatch>(static_cast<IDocuments*>(app_->docs()), out);
}

HRESULT CDoc::Activate(VARIANT_BOOL maximize) {
  TIDEMARK_DOC_ATTACHED();
  app_->host().Activate(document_, maximize != VARIANT_FALSE);
  return S_OK;
}

namespace {
// The VARIANT as a double; nothing when it is missing or does not convert.
std::optional<double> AsDouble(VARIANT* v) {
  if (!v || VariantIsMissing(VariantDeref(v))) return std::nullopt;
  Variant d;
  if (FAILED(VariantChangeType(&d, v, 0, VT_R8))) return std::nullopt;
  return d.dblVal;
}
}  // namespace

HRESULT CDoc::AddGain(double left, VARIANT* right) {
  TIDEMARK_DOC_ATTACHED();
  const double r = AsDouble(right).value_or(left);
  if (!std::isfinite(left) || !std::isfinite(r)) return E_INVALIDARG;
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    ActivateForChange();
    CheckApp(NS_SCRIPT::AddGain(*document_, left, r));
    return S_OK;
  });
}

HRESULT CDoc::AddOffset(VARIANT* left, VARIANT* right) {
  TIDEMARK_DOC_ATTACHED();
  const std::optional<double> l = AsDouble(left);
  std::optional<double> r = AsDouble(right);
  if (l && !r) r = l;
  if ((l && !std::isfinite(*l)) || (r && !std::isfinite(*r))) return E_INVALIDARG;
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    ActivateForChange();
    CheckApp(NS_SCRIPT::AddOffset(*document_, l, l ? r : std::nullopt));
    return S_OK;
  });
}

HRESULT CDoc::get_BitsPerSample(INT* out) {
  TIDEMARK_DOC_OUT(out);
  *out = static_cast<INT>(BitsPerSample(*document_));
  return S_OK;
}

HRESULT CDoc::get_Channels(INT* out) {
  TIDEMARK_DOC_OUT(out);
  *out = document_->channels;
  return S_OK;
}

HRESULT CDoc::get_ChannelSelection(INT* out) {
  TIDEMARK_DOC_OUT(out);
  *out = static_cast<INT>(ChannelSelection(*document_));
  return S_OK;
}

HRESULT CDoc::put_ChannelSelection(INT value) {
  TIDEMARK_DOC_ATTACHED();
  if (document_->channels >= 2)
    SetChannelSelection(*document_, static_cast<std::uint32_t>(value) & ((1u << document_->channels) - 1));
  return S_OK;
}

HRESULT CDoc::Close() {
  TIDEMARK_DOC_ATTACHED();
  const ComRef<CDoc> self = ComRef<CDoc>::Share(this);
  SoundDocument* d = document_;
  CApp* app = app_;
  app->docs()->Forget(d);
  Detach();
  app->host().Close(d);
  return S_OK;
}

ComRef<CSndClip> CDoc::SelectionClip() {
  ClipRef clip;
  CheckApp(ClipOfSelection(*document_, &clip));
  DocumentMetadata texts = document_->metadata;
  return ComRef<CSndClip>::Adopt(new CSndClip(app_, clip, std::move(texts), ComRef<CDoc>::Share(this)));
}

HRESULT CDoc::CreateSoundClip(ISoundClip** out) {
  TIDEMARK_DOC_OUT(out);
  return Guarded(IDocument::IID, [&]() -> HRESULT { return ReturnObject<ISoundClip>(SelectionClip().get(), out); });
}

HRESULT CDoc::Delete(double silent_secs) {
  TIDEMARK_DOC_ATTACHED();
  if (!(silent_secs >= 0)) return E_INVALIDARG;
  const FrameRange sel = SelectionOf(*document_);
  const double silent = std::floor(silent_secs * document_->rate + 0.5);
  if (static_cast<double>(document_->length) - (sel.to - sel.from) + silent > static_cast<double>(kMaxFrames))
    return E_INVALIDARG;
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    ActivateForChange();
    CheckApp(DeleteWithSilenceSeconds(*document_, silent_secs));
    return S_OK;
  });
}

HRESULT CDoc::EffectChain(BSTR preset_name) {
  TIDEMARK_DOC_ATTACHED();
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    ActivateForChange();
    std::string member;
    const Error rc = RunChain(*document_, BstrView(preset_name), &member);
    if (rc) RaiseAppError(rc, member);
    return S_OK;
  });
}

namespace {
std::string FilePath(const SoundDocument& d) {
  if (d.path) return *d.path;
  return d.second_path.value_or(std::string());
}
}  // namespace

HRESULT CDoc::get_FullName(BSTR* out) {
  TIDEMARK_DOC_OUT(out);
  return ReturnString(FilePath(*document_), out);
}

HRESULT CDoc::GetWaveformInfo(BSTR weighting_filter, IWaveformInfo** out) {
  TIDEMARK_DOC_OUT(out);
  const std::optional<char> letter = WeightingLetter(BstrToUtf8(weighting_filter), app_->host().Weighting());
  if (!letter) return E_INVALIDARG;
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    WaveformStatistics stats;
    CheckApp(MeasureSelection(*document_, *letter, &stats));
    auto info = ComRef<CWaveformInfo>::Adopt(
        new CWaveformInfo(app_, ComRef<CDoc>::Share(this), stats, document_->rate));
    return ReturnObject<IWaveformInfo>(info.get(), out);
  });
}

HRESULT CDoc::get_Labels(ILabels** out) {
  TIDEMARK_DOC_OUT(out);
  if (labels_) return ReturnObject<ILabels>(labels_, out);
  auto made = ComRef<CLabels>::Adopt(new CLabels(app_, this));
  labels_ = made.get();
  return ReturnObject<ILabels>(labels_, out);
}

HRESULT CDoc::get_Length(double* out) {
  TIDEMARK_DOC_OUT(out);
  *out = LengthSeconds(*document_);
  return S_OK;
}

HRESULT CDoc::get_Name(BSTR* out) {
  TIDEMARK_DOC_OUT(out);
  return ReturnString(std::filesystem::path(FilePath(*document_)).filename().string(), out);
}

HRESULT CDoc::get_Path(BSTR* out) {
  TIDEMARK_DOC_OUT(out);
  return ReturnString(std::filesystem::path(FilePath(*document_)).parent_path().string(), out);
}

HRESULT CDoc::get_PcmFileSample(BSTR* out) {
  TIDEMARK_DOC_OUT(out);
  return ReturnString(PcmFileSample(*document_), out);
}

HRESULT CDoc::Replace(VARIANT* src_obj, INT channel_mask) {
  TIDEMARK_DOC_ATTACHED();
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    ClipRef clip;
    if (const HRESULT hr = SourceClip(src_obj, &clip); FAILED(hr)) return hr;
    ActivateForChange();
    CheckApp(ReplaceSelection(*document_, *clip, static_cast<std::uint32_t>(channel_mask)));
    return S_OK;
  });
}

HRESULT CDoc::get_SampleRate(LONG* out) {
  TIDEMARK_DOC_OUT(out);
  *out = static_cast<LONG>(document_->rate);
  return S_OK;
}

HRESULT CDoc::put_SampleRate(LONG value) {
  TIDEMARK_DOC_ATTACHED();
  if (value < 4000 || value > 384000) return E_INVALIDARG;
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    CheckApp(SetSampleRate(*document_, static_cast<std::uint32_t>(value)));
    return S_OK;
  });
}

HRESULT CDoc::Save() {
  TIDEMARK_DOC_ATTACHED();
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    if (!document_->path) RaiseAppError(err::kInvalidPath);
    ActivateForChange();
    const PcmFileKind kind = document_->kind == PcmFileKind::Temp ? PcmFileKind::Wave : document_->kind;
    CheckApp(tidemark::SaveAs(*document_, *document_->path, kind, document_->code, app_->host().SaveSettings()));
    return S_OK;
  });
}

HRESULT CDoc::SaveAs(BSTR file_name, BSTR pcm_file_sample) {
  if (IsEmpty(file_name)) return E_INVALIDARG;
  TIDEMARK_DOC_ATTACHED();
  ParsedSampleType type{document_->kind == PcmFileKind::Temp ? PcmFileKind::Wave : document_->kind, document_->code};
  if (!IsEmpty(pcm_file_sample)) {
    const auto parsed = ParsePcmFileSample(BstrToUtf8(pcm_file_sample));
    if (!parsed) return E_INVALIDARG;
    type = *parsed;
  } else {
    const NormalisedCode n = NormaliseForKind(type.kind, type.code);
    if (n.invalid) return E_INVALIDARG;
    type.code = n.code;
  }
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    std::error_code ec;
    const std::string path = std::filesystem::absolute(BstrToUtf8(file_name), ec).lexically_normal().string();
    if (ec) RaiseAppError(err::kInvalidPath);
    if (path.size() > 260) RaiseAppError(model_err::kPathTooLong);
    ActivateForChange();
    CheckApp(tidemark::SaveAs(*document_, path, type.kind, type.code, app_->host().SaveSettings()));
    return S_OK;
  });
}

HRESULT CDoc::get_Saved(VARIANT_BOOL* out) {
  TIDEMARK_DOC_OUT(out);
  *out = IsSaved(*document_) ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT CDoc::get_SelectionFrom(double* out) {
  TIDEMARK_DOC_OUT(out);
  *out = SelectionFromSeconds(*document_);
  return S_OK;
}

HRESULT CDoc::get_SelectionTo(double* out) {
  TIDEMARK_DOC_OUT(out);
  *out = SelectionToSeconds(*document_);
  return S_OK;
}

HRESULT CDoc::put_SelectionFrom(double value) {
  TIDEMARK_DOC_ATTACHED();
  if (std::isnan(value)) return E_INVALIDARG;
  const FrameRange r = PutSelectionFrom(SelectionOf(*document_), document_->length, value, document_->rate);
  SetSelection(*document_, r.from, r.to);
  return S_OK;
}

HRESULT CDoc::put_SelectionTo(double value) {
  TIDEMARK_DOC_ATTACHED();
  if (std::isnan(value)) return E_INVALIDARG;
  const FrameRange r = PutSelectionTo(SelectionOf(*document_), document_->length, value, document_->rate);
  SetSelection(*document_, r.from, r.to);
  return S_OK;
}

HRESULT CDoc::get_Text(IText** out) {
  TIDEMARK_DOC_OUT(out);
  if (text_) return ReturnObject<IText>(text_, out);
  auto made = ComRef<CText>::Adopt(new CText(app_, this));
  text_ = made.get();
  return ReturnObject<IText>(text_, out);
}

HRESULT CDoc::TimeStretch(double speed, VARIANT_BOOL smoothing) {
  TIDEMARK_DOC_ATTACHED();
  if (!(speed >= NS_EFFECT::kStretchMinSpeed && speed <= NS_EFFECT::kStretchMaxSpeed)) return E_INVALIDARG;
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    ActivateForChange();
    CheckApp(Stretch(*document_, speed, smoothing != VARIANT_FALSE));
    return S_OK;
  });
}

HRESULT CDoc::TimeStretch2(double pitch, double speed, VARIANT_BOOL for_music) {
  TIDEMARK_DOC_ATTACHED();
  const auto in_range = [](double v) { return v >= NS_EFFECT::kPitchSpeedMin && v <= NS_EFFECT::kPitchSpeedMax; };
  if (!in_range(pitch) || !in_range(speed)) return E_INVALIDARG;
  return Guarded(IDocument::IID, [&]() -> HRESULT {
    ActivateForChange();
    CheckApp(PitchAndSpeed(*document_, pitch, speed, for_music != VARIANT_FALSE));
    return S_OK;
  });
}

HRESULT CDoc::get_Title(BSTR* out) {
  TIDEMARK_DOC_OUT(out);
  const std::string path = FilePath(*document_);
  const std::string title = path.empty() ? "Untitled " + std::to_string(document_->untitled_number)
                                         : std::filesystem::path(path).filename().string();
  return ReturnString(title, out);
}

MarkerList* CDoc::LabelList() { return document_ ? &document_->markers : nullptr; }
std::uint32_t CDoc::LabelRate() { return document_ ? document_->rate : 0; }
std::uint32_t CDoc::LabelLength() { return document_ ? document_->length : 0; }

Error CDoc::AddLabel(Marker* marker) {
  MarkerList list;
  list.InsertAfterAdopt(nullptr, marker);
  return AddMarkers(*document_, std::move(list));
}

Error CDoc::RemoveLabels(const std::vector<Marker*>& markers) {
  if (markers.empty()) return err::kOk;
  return DeleteMarkers(*document_, markers);
}

Error CDoc::ChangeLabel(Marker* marker, std::uint32_t position, const std::string& name,
                        const std::string& comment, Marker** now) {
  std::vector<const Marker*> before;
  for (const Marker* m = document_->markers.first(); m; m = m->next) before.push_back(m);
  *now = marker;
  if (const Error rc = ChangeMarker(*document_, marker, position, name, comment)) return rc;
  for (Marker* m = document_->markers.first(); m; m = m->next)
    if (std::find(before.begin(), before.end(), m) == before.end()) *now = m;
  return err::kOk;
}

const DocumentMetadata* CDoc::Texts() { return document_ ? &document_->metadata : nullptr; }

void CDoc::SetText(InfoText slot, std::string text) {
  SetDocumentTag(*document_, slot, text.empty() ? std::nullopt : std::optional<std::string>(std::move(text)));
}

#undef TIDEMARK_DOC_OUT
#undef TIDEMARK_DOC_ATTACHED

// --- CWaveformInfo ---

HRESULT CWaveformInfo::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_ || !document_->document()) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<IDocument*>(document_.get()), out);
}

HRESULT CWaveformInfo::get_Item(BSTR key, INT channel, double* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  if (IsEmpty(key)) return E_INVALIDARG;
  const std::optional<double> v = WaveformValue(stats_, rate_, BstrToUtf8(key), channel);
  if (!v) return E_INVALIDARG;
  *out = *v;
  return S_OK;
}

}  // namespace tidemark::NS_SCRIPT
