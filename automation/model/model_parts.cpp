// Sound clips, label collections and labels, and text fields.
#include <algorithm>
#include <cmath>

#include "automation/model/model_objects.h"
#include "automation/model/model_ops.h"
#include "core/samples/sample_type_text.h"
#include "formats/tags/tag_set.h"
#include "platform/ascii_case.h"

namespace tidemark::NS_SCRIPT {

// --- CSndClip ---

CSndClip::CSndClip(CApp* app, ClipRef clip, DocumentMetadata texts, ComRef<CDoc> parent)
    : CAppChild(app), clip_(std::move(clip)), texts_(std::move(texts)), parent_(std::move(parent)) {
  // A clip shared with the program's clipboard is copied so that the
  // clip's label and rate changes stay its own (segments are shared).
  if (clip_ && clip_->ref_count() > 1) {
    ClipRef own;
    if (!ClipOfRange(*clip_, 0, clip_->length, &own)) clip_ = own;
  }
}

CSndClip::CSndClip(CApp* app, std::string path, OpenOptions options)
    : CAppChild(app), source_(std::move(path)), options_(std::move(options)) {}

const ClipRef& CSndClip::clip() {
  if (clip_) return clip_;
  ClipRef made;
  DocumentMetadata tags;
  CheckApp(DecodeClip(source_, options_, &made, &tags));
  clip_ = std::move(made);
  texts_ = std::move(tags);
  source_.clear();
  return clip_;
}

template <typename Work>
HRESULT CSndClip::WithSamples(Work&& work) {
  if (!clip_ && !app_) return E_ACCESSDENIED;
  return Guarded(ISoundClip::IID, [&]() -> HRESULT { return work(*clip()); });
}

void CSndClip::OnDetach() {
  if (labels_) labels_->Detach();
  if (text_) text_->Detach();
}

HRESULT CSndClip::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  if (parent_) return ReturnObject<IDispatch>(static_cast<IDocument*>(parent_.get()), out);
  return ReturnObject<IDispatch>(static_cast<IApplication*>(app_), out);
}

HRESULT CSndClip::get_BitsPerSample(INT* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  return WithSamples([&](const SoundClip& c) {
    *out = static_cast<INT>(BytesPerSample(c.code) * 8);
    return S_OK;
  });
}

HRESULT CSndClip::get_Channels(INT* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  return WithSamples([&](const SoundClip& c) {
    *out = c.channels;
    return S_OK;
  });
}

HRESULT CSndClip::CreateSoundClip(double pos1, double pos2, ISoundClip** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  if (std::isnan(pos1) || std::isnan(pos2)) return E_INVALIDARG;
  return WithSamples([&](const SoundClip& c) {
    const std::uint32_t length = c.length;
    const std::uint32_t from = std::min(SecondsToFrames(pos1, c.rate), length);
    // A negative end gives an empty clip at the start position.
    const std::uint32_t to = pos2 < 0 ? from : std::min(std::max(from, SecondsToFrames(pos2, c.rate)), length);
    ClipRef part;
    CheckApp(ClipOfRange(c, from, to, &part));
    auto made = ComRef<CSndClip>::Adopt(new CSndClip(app_, part, texts_, parent_));
    return ReturnObject<ISoundClip>(made.get(), out);
  });
}

HRESULT CSndClip::Decode() {
  if (!app_) return E_ACCESSDENIED;
  return WithSamples([](const SoundClip&) { return S_OK; });
}

HRESULT CSndClip::get_Labels(ILabels** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  // The labels come from the file: decoded first.
  return WithSamples([&](const SoundClip&) {
    if (labels_) return ReturnObject<ILabels>(labels_, out);
    auto made = ComRef<CLabels>::Adopt(new CLabels(app_, this));
    labels_ = made.get();
    return ReturnObject<ILabels>(labels_, out);
  });
}

HRESULT CSndClip::get_Length(double* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  return WithSamples([&](const SoundClip& c) {
    *out = c.rate ? static_cast<double>(c.length) / c.rate : 0.0;
    return S_OK;
  });
}

HRESULT CSndClip::get_PcmFileSample(BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return WithSamples([&](const SoundClip& c) { return ReturnString(SampleTypeText(PcmFileKind::Wave, c.code), out); });
}

HRESULT CSndClip::get_SampleRate(LONG* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  return WithSamples([&](const SoundClip& c) {
    *out = static_cast<LONG>(c.rate);
    return S_OK;
  });
}

HRESULT CSndClip::put_SampleRate(LONG value) {
  if (!app_) return E_ACCESSDENIED;
  if (value < 4000 || value > 384000) return E_INVALIDARG;
  return WithSamples([&](const SoundClip&) {
    clip_->rate = static_cast<std::uint32_t>(value);
    return S_OK;
  });
}

HRESULT CSndClip::get_Text(IText** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  // The texts come from the file: decoded first.
  return WithSamples([&](const SoundClip&) {
    if (text_) return ReturnObject<IText>(text_, out);
    auto made = ComRef<CText>::Adopt(new CText(app_, this));
    text_ = made.get();
    return ReturnObject<IText>(text_, out);
  });
}

// Labels and texts are reached only through objects made after decoding.
MarkerList* CSndClip::LabelList() { return app_ && clip_ ? &clip_->markers : nullptr; }
std::uint32_t CSndClip::LabelRate() { return clip_ ? clip_->rate : 0; }
std::uint32_t CSndClip::LabelLength() { return clip_ ? clip_->length : 0; }

Error CSndClip::AddLabel(Marker* marker) {
  InsertMarker(clip_->markers, marker);
  return err::kOk;
}

Error CSndClip::RemoveLabels(const std::vector<Marker*>& markers) {
  for (Marker* target : markers) {
    Marker* before = nullptr;
    for (Marker* m = clip_->markers.first(); m; before = m, m = m->next) {
      if (m != target) continue;
      clip_->markers.UnlinkAfter(before)->Release();
      break;
    }
  }
  return err::kOk;
}

Error CSndClip::ChangeLabel(Marker* marker, std::uint32_t position, const std::string& name,
                            const std::string& comment, Marker** now) {
  *now = marker;
  Marker* made = NewMarker(name, comment, position);
  if (!made) return err::kOutOfMemory;
  if (const Error rc = RemoveLabels({marker})) {
    made->Release();
    return rc;
  }
  InsertMarker(clip_->markers, made);
  *now = made;
  return err::kOk;
}

const DocumentMetadata* CSndClip::Texts() { return app_ && clip_ ? &texts_ : nullptr; }

void CSndClip::SetText(InfoText slot, std::string text) {
  texts_[slot] = text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
}

// --- CLabels ---

CLabels::~CLabels() {
  if (parent_) parent_->LabelsGone();
  // Labels a script still holds outlive their collection, detached.
  for (const ComRef<CLabel>& l : items_) l->Unlink();
}

void CLabels::OnDetach() {
  if (parent_) parent_->LabelsGone();
  parent_ = nullptr;
  for (const ComRef<CLabel>& l : items_) l->Unlink();
  items_.clear();
}

HRESULT CLabels::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(owner_.get(), out);
}

ComRef<CLabel> CLabels::ObjectFor(Marker* marker) {
  for (const ComRef<CLabel>& l : items_)
    if (l->marker() == marker) return l;
  items_.push_back(ComRef<CLabel>::Adopt(new CLabel(app_, this, marker)));
  return items_.back();
}

void CLabels::Forget(const std::vector<Marker*>& markers) {
  for (auto it = items_.begin(); it != items_.end();) {
    if (std::find(markers.begin(), markers.end(), (*it)->marker()) != markers.end()) {
      (*it)->Unlink();
      it = items_.erase(it);
    } else {
      ++it;
    }
  }
}

HRESULT CLabels::get__NewEnum(IUnknown** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  std::vector<ComRef<CLabel>> held;
  for (Marker* m = parent_->LabelList()->first(); m; m = m->next) held.push_back(ObjectFor(m));
  std::vector<IDispatch*> objects;
  for (const ComRef<CLabel>& l : held) objects.push_back(l->dispatch());
  IEnumVARIANT* e = nullptr;
  const HRESULT hr = CreateEnumVariant(objects, &e);
  *out = e;
  return hr;
}

HRESULT CLabels::Add(double Position, BSTR Name, BSTR comment, ILabel** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  if (std::isnan(Position)) return E_INVALIDARG;
  return Guarded(ILabels::IID, [&]() -> HRESULT {
    const std::uint32_t position = std::min(SecondsToFrames(Position, parent_->LabelRate()), parent_->LabelLength());
    Marker* m = NewMarker(BstrToUtf8(Name), BstrToUtf8(comment), position);
    if (!m) RaiseAppError(err::kOutOfMemory);
    m->AddRef();  // ours while the owner takes the list's
    const IntrusiveRef<Marker> held = IntrusiveRef<Marker>::Adopt(m);
    CheckApp(parent_->AddLabel(m));
    return ReturnObject<ILabel>(ObjectFor(m).get(), out);
  });
}

HRESULT CLabels::RemoveAll() {
  if (!parent_) return E_ACCESSDENIED;
  return Guarded(ILabels::IID, [&]() -> HRESULT {
    std::vector<Marker*> all;
    for (Marker* m = parent_->LabelList()->first(); m; m = m->next) all.push_back(m);
    CheckApp(parent_->RemoveLabels(all));
    Forget(all);
    return S_OK;
  });
}

HRESULT CLabels::get_Count(LONG* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  if (!parent_) return E_ACCESSDENIED;
  *out = static_cast<LONG>(parent_->LabelList()->size());
  return S_OK;
}

HRESULT CLabels::get_Item(LONG index, ILabel** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  if (index < 0) return E_INVALIDARG;
  LONG i = 0;
  for (Marker* m = parent_->LabelList()->first(); m; m = m->next, ++i)
    if (i == index) return ReturnObject<ILabel>(ObjectFor(m).get(), out);
  return E_INVALIDARG;
}

// --- CLabel ---

CLabel::CLabel(CApp* app, CLabels* labels, Marker* marker)
    : CAppChild(app),
      labels_(labels),
      marker_(IntrusiveRef<Marker>::Share(marker)),
      rate_(labels->parent()->LabelRate()) {}

HRESULT CLabel::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!labels_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<ILabels*>(labels_), out);
}

HRESULT CLabel::get_Comments(BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return ReturnString(marker_->comment ? *marker_->comment : std::string(), out);
}

HRESULT CLabel::get_Name(BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return ReturnString(marker_->name, out);
}

HRESULT CLabel::get_Position(double* out) {
  if (!out) return E_INVALIDARG;
  // The owner's present rate while attached (it may be relabelled).
  if (labels_ && labels_->parent()) rate_ = labels_->parent()->LabelRate();
  *out = rate_ ? static_cast<double>(marker_->position) / rate_ : 0.0;
  return S_OK;
}

HRESULT CLabel::Remove() {
  if (!labels_ || !labels_->parent()) return E_ACCESSDENIED;
  return Guarded(ILabel::IID, [&]() -> HRESULT {
    const ComRef<CLabel> self = ComRef<CLabel>::Share(this);
    Marker* m = marker_.get();
    CheckApp(labels_->parent()->RemoveLabels({m}));
    labels_->Forget({m});
    return S_OK;
  });
}

HRESULT CLabel::Set(double Position, BSTR Name, BSTR comment) {
  if (!labels_ || !labels_->parent()) return E_ACCESSDENIED;
  if (std::isnan(Position)) return E_INVALIDARG;
  return Guarded(ILabel::IID, [&]() -> HRESULT {
    CLabelsParent* owner = labels_->parent();
    const std::uint32_t position = std::min(SecondsToFrames(Position, owner->LabelRate()), owner->LabelLength());
    Marker* now = nullptr;
    CheckApp(owner->ChangeLabel(marker_.get(), position, BstrToUtf8(Name), BstrToUtf8(comment), &now));
    Rebind(now);
    return S_OK;
  });
}

// --- CText ---

CText::~CText() {
  if (parent_) parent_->TextGone();
}

void CText::OnDetach() {
  if (parent_) parent_->TextGone();
  parent_ = nullptr;
}

HRESULT CText::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(owner_.get(), out);
}

namespace {
std::string FieldText(const DocumentMetadata& texts, std::size_t slot) {
  return texts.texts[slot].value_or(std::string());
}

// A one-dimensional array of strings; null when out of memory.
SAFEARRAY* StringArray(const std::vector<std::string>& items) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(items.size()));
  if (!psa) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    Variant v;
    const LONG index = static_cast<LONG>(i);
    if (!VariantSetString(&v, items[i]) || FAILED(SafeArrayPutElement(psa, &index, &v))) {
      SafeArrayDestroy(psa);
      return nullptr;
    }
  }
  return psa;
}

HRESULT ReturnArray(const std::vector<std::string>& items, SAFEARRAY** out) {
  *out = StringArray(items);
  return *out ? S_OK : E_OUTOFMEMORY;
}
}  // namespace

HRESULT CText::get__NewEnum(IUnknown** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  const DocumentMetadata& texts = *parent_->Texts();
  std::vector<VARIANT> keys;
  keys.reserve(kInfoTextCount);
  HRESULT hr = S_OK;
  for (std::size_t i = 0; i < kInfoTextCount && SUCCEEDED(hr); ++i) {
    if (FieldText(texts, i).empty()) continue;
    keys.emplace_back();
    VariantInit(&keys.back());
    if (!VariantSetString(&keys.back(), kTagNames[i])) hr = E_OUTOFMEMORY;
  }
  IEnumVARIANT* e = nullptr;
  if (SUCCEEDED(hr)) hr = CreateEnumVariant(keys.data(), keys.size(), &e);
  for (VARIANT& v : keys) VariantClear(&v);
  *out = e;
  return hr;
}

HRESULT CText::GetAppPrivate(SAFEARRAY** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  return ReturnArray(SplitAppPrivate(FieldText(*parent_->Texts(), static_cast<std::size_t>(InfoText::AppPrivate))),
                     out);
}

HRESULT CText::get_Item(BSTR index, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (IsEmpty(index)) return E_INVALIDARG;
  if (!parent_) return E_ACCESSDENIED;
  const std::optional<InfoText> slot = TagSlotByName(BstrToUtf8(index));
  if (!slot) return E_INVALIDARG;
  return ReturnString(FieldText(*parent_->Texts(), static_cast<std::size_t>(*slot)), out);
}

HRESULT CText::put_Item(BSTR index, BSTR value) {
  if (IsEmpty(index)) return E_INVALIDARG;
  if (!parent_) return E_ACCESSDENIED;
  const std::optional<InfoText> slot = TagSlotByName(BstrToUtf8(index));
  if (!slot) return E_INVALIDARG;
  parent_->SetText(*slot, BstrToUtf8(value));
  return S_OK;
}

HRESULT CText::Items(SAFEARRAY** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  std::vector<std::string> values;
  for (std::size_t i = 0; i < kInfoTextCount; ++i) values.push_back(FieldText(*parent_->Texts(), i));
  return ReturnArray(values, out);
}

HRESULT CText::Keys(SAFEARRAY** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!parent_) return E_ACCESSDENIED;
  return ReturnArray(std::vector<std::string>(kTagNames.begin(), kTagNames.end()), out);
}

HRESULT CText::RemoveAll() {
  if (!parent_) return E_ACCESSDENIED;
  for (std::size_t i = 0; i < kInfoTextCount; ++i)
    if (!FieldText(*parent_->Texts(), i).empty()) parent_->SetText(static_cast<InfoText>(i), {});
  return S_OK;
}

HRESULT CText::SetAppPrivate(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (!parent_) return E_ACCESSDENIED;
  VARTYPE vt = VT_EMPTY;
  if (SafeArrayGetDim(psa) != 1 || FAILED(SafeArrayGetVartype(psa, &vt)) || vt != VT_VARIANT) return E_INVALIDARG;
  LONG lo = 0, hi = -1;
  if (FAILED(SafeArrayGetLBound(psa, 1, &lo)) || FAILED(SafeArrayGetUBound(psa, 1, &hi))) return E_INVALIDARG;
  std::vector<std::string> items;
  for (LONG i = lo; i <= hi; ++i) {
    Variant element, text;
    if (FAILED(SafeArrayGetElement(psa, &i, &element))) return E_INVALIDARG;
    const HRESULT hr = VariantChangeType(&text, &element, 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    items.push_back(BstrToUtf8(text.bstrVal));
  }
  parent_->SetText(InfoText::AppPrivate, JoinAppPrivate(items));
  return S_OK;
}

}  // namespace tidemark::NS_SCRIPT
