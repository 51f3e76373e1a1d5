// The "Tidemark" type library: every interface's members in declaration
// order with dispatch ids, parameters, optional flags and defaults, and the
// invoker that calls the C++ method. Ids run from 0x60020000 in declaration
// order, a property's get and put share one and take two vtable slots;
// Item (and IApplication.Name) is DISPID_VALUE and _NewEnum DISPID_NEWENUM,
// each still taking its slot. The writers' members, whose order the design
// leaves open, are in alphabetical order.
#include "automation/typelib/typelib.h"

namespace tidemark::com {
namespace {

using T = ParamType;
using R = ParamType;
using K = MemberKind;
constexpr DISPID kBase = 0x60020000;

constexpr ParamInfo kIApplication_4[] = {{"", T::kVariantPtr}};
constexpr ParamInfo kIApplication_7[] = {{"type_name", T::kBstr}};
constexpr ParamInfo kIApplication_17[] = {{"file_name", T::kBstr}};
constexpr ParamInfo kIApplication_24[] = {{"", T::kBstr}};
constexpr ParamInfo kIApplication_25[] = {{"", T::kBstr}};
constexpr ParamInfo kIApplication_29[] = {{"", T::kBool}};
constexpr MemberInfo kIApplicationMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IApplication::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IApplication::get_Parent>},
    {"ActiveDocument", kBase + 2, K::kGet, {}, R::kInterface, "IDocument", false, &RetThunk<&IApplication::get_ActiveDocument>},
    {"Clipboard", kBase + 3, K::kGet, {}, R::kInterface, "ISoundClip", false, &RetThunk<&IApplication::get_Clipboard>},
    {"Clipboard", kBase + 3, K::kPut, kIApplication_4, R::kVoid, nullptr, false, &MethodThunk<&IApplication::put_Clipboard>},
    {"CreateCdReader", kBase + 5, K::kMethod, {}, R::kInterface, "ICdReader", false, &RetThunk<&IApplication::CreateCdReader>},
    {"CreateCdWriter", kBase + 6, K::kMethod, {}, R::kInterface, "ICdWriter", false, &RetThunk<&IApplication::CreateCdWriter>},
    {"CreateFileWriter", kBase + 7, K::kMethod, kIApplication_7, R::kDispatch, nullptr, false, &RetThunk<&IApplication::CreateFileWriter>},
    {"CreateFileWriter_1Bit", kBase + 8, K::kMethod, {}, R::kInterface, "IFileWriter_1Bit", false, &RetThunk<&IApplication::CreateFileWriter_1Bit>},
    {"CreateFileWriter_AAC", kBase + 9, K::kMethod, {}, R::kInterface, "IFileWriter_AAC", false, &RetThunk<&IApplication::CreateFileWriter_AAC>},
    {"CreateFileWriter_FLAC", kBase + 10, K::kMethod, {}, R::kInterface, "IFileWriter_FLAC", false, &RetThunk<&IApplication::CreateFileWriter_FLAC>},
    {"CreateFileWriter_LAME", kBase + 11, K::kMethod, {}, R::kInterface, "IFileWriter_LAME", false, &RetThunk<&IApplication::CreateFileWriter_LAME>},
    {"CreateFileWriter_MP3", kBase + 12, K::kMethod, {}, R::kInterface, "IFileWriter_MP3", false, &RetThunk<&IApplication::CreateFileWriter_MP3>},
    {"CreateFileWriter_OggVorbis", kBase + 13, K::kMethod, {}, R::kInterface, "IFileWriter_OggVorbis", false, &RetThunk<&IApplication::CreateFileWriter_OggVorbis>},
    {"CreateFileWriter_Opus", kBase + 14, K::kMethod, {}, R::kInterface, "IFileWriter_Opus", false, &RetThunk<&IApplication::CreateFileWriter_Opus>},
    {"CreateFileWriter_PCM", kBase + 15, K::kMethod, {}, R::kInterface, "IFileWriter_PCM", false, &RetThunk<&IApplication::CreateFileWriter_PCM>},
    {"CreateFileWriter_WMA", kBase + 16, K::kMethod, {}, R::kInterface, "IFileWriter_WMA", false, &RetThunk<&IApplication::CreateFileWriter_WMA>},
    {"CreateSoundClip", kBase + 17, K::kMethod, kIApplication_17, R::kInterface, "ISoundClip", false, &RetThunk<&IApplication::CreateSoundClip>},
    {"Documents", kBase + 18, K::kGet, {}, R::kInterface, "IDocuments", false, &RetThunk<&IApplication::get_Documents>},
    {"FullName", kBase + 19, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IApplication::get_FullName>},
    {"Name", DISPID_VALUE, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IApplication::get_Name>},
    {"Path", kBase + 21, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IApplication::get_Path>},
    {"Popup", kBase + 22, K::kGet, {}, R::kInterface, "IPopup", false, &RetThunk<&IApplication::get_Popup>},
    {"Project", kBase + 23, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IApplication::get_Project>},
    {"Project", kBase + 23, K::kPut, kIApplication_24, R::kVoid, nullptr, false, &MethodThunk<&IApplication::put_Project>},
    {"StatusBar", kBase + 25, K::kPut, kIApplication_25, R::kVoid, nullptr, false, &MethodThunk<&IApplication::put_StatusBar>},
    {"System", kBase + 26, K::kGet, {}, R::kInterface, "ISystem", false, &RetThunk<&IApplication::get_System>},
    {"Version", kBase + 27, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IApplication::get_Version>},
    {"Visible", kBase + 28, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IApplication::get_Visible>},
    {"Visible", kBase + 28, K::kPut, kIApplication_29, R::kVoid, nullptr, false, &MethodThunk<&IApplication::put_Visible>},
};
}  // namespace

const InterfaceInfo& IApplication::Info() {
  static constexpr InterfaceInfo kInfo{"IApplication", IApplication::IID, kIApplicationMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIDocument_2[] = {{"maximize", T::kBool, true, "0"}};
constexpr ParamInfo kIDocument_3[] = {{"left", T::kDouble}, {"right", T::kVariantPtr, true, nullptr}};
constexpr ParamInfo kIDocument_4[] = {{"left", T::kVariantPtr, true, nullptr}, {"right", T::kVariantPtr, true, nullptr}};
constexpr ParamInfo kIDocument_8[] = {{"", T::kInt}};
constexpr ParamInfo kIDocument_11[] = {{"silent_secs", T::kDouble, true, "0"}};
constexpr ParamInfo kIDocument_12[] = {{"preset_name", T::kBstr}};
constexpr ParamInfo kIDocument_14[] = {{"weighting_filter", T::kBstr, true, ""}};
constexpr ParamInfo kIDocument_20[] = {{"src_obj", T::kVariantPtr}, {"channel_mask", T::kInt, true, "0"}};
constexpr ParamInfo kIDocument_22[] = {{"", T::kLong}};
constexpr ParamInfo kIDocument_24[] = {{"file_name", T::kBstr}, {"pcm_file_sample", T::kBstr, true, ""}};
constexpr ParamInfo kIDocument_27[] = {{"", T::kDouble}};
constexpr ParamInfo kIDocument_29[] = {{"", T::kDouble}};
constexpr ParamInfo kIDocument_31[] = {{"speed", T::kDouble}, {"smoothing", T::kBool, true, "0"}};
constexpr ParamInfo kIDocument_32[] = {{"pitch", T::kDouble}, {"speed", T::kDouble}, {"for_music", T::kBool, true, "0"}};
constexpr MemberInfo kIDocumentMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IDocument::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IDocument::get_Parent>},
    {"Activate", kBase + 2, K::kMethod, kIDocument_2, R::kVoid, nullptr, false, &MethodThunk<&IDocument::Activate>},
    {"AddGain", kBase + 3, K::kMethod, kIDocument_3, R::kVoid, nullptr, false, &MethodThunk<&IDocument::AddGain>},
    {"AddOffset", kBase + 4, K::kMethod, kIDocument_4, R::kVoid, nullptr, false, &MethodThunk<&IDocument::AddOffset>},
    {"BitsPerSample", kBase + 5, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IDocument::get_BitsPerSample>},
    {"Channels", kBase + 6, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IDocument::get_Channels>},
    {"ChannelSelection", kBase + 7, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IDocument::get_ChannelSelection>},
    {"ChannelSelection", kBase + 7, K::kPut, kIDocument_8, R::kVoid, nullptr, false, &MethodThunk<&IDocument::put_ChannelSelection>},
    {"Close", kBase + 9, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&IDocument::Close>},
    {"CreateSoundClip", kBase + 10, K::kMethod, {}, R::kInterface, "ISoundClip", false, &RetThunk<&IDocument::CreateSoundClip>},
    {"Delete", kBase + 11, K::kMethod, kIDocument_11, R::kVoid, nullptr, false, &MethodThunk<&IDocument::Delete>},
    {"EffectChain", kBase + 12, K::kMethod, kIDocument_12, R::kVoid, nullptr, false, &MethodThunk<&IDocument::EffectChain>},
    {"FullName", kBase + 13, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IDocument::get_FullName>},
    {"GetWaveformInfo", kBase + 14, K::kMethod, kIDocument_14, R::kInterface, "IWaveformInfo", false, &RetThunk<&IDocument::GetWaveformInfo>},
    {"Labels", kBase + 15, K::kGet, {}, R::kInterface, "ILabels", false, &RetThunk<&IDocument::get_Labels>},
    {"Length", kBase + 16, K::kGet, {}, R::kDouble, nullptr, false, &RetThunk<&IDocument::get_Length>},
    {"Name", kBase + 17, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IDocument::get_Name>},
    {"Path", kBase + 18, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IDocument::get_Path>},
    {"PcmFileSample", kBase + 19, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IDocument::get_PcmFileSample>},
    {"Replace", kBase + 20, K::kMethod, kIDocument_20, R::kVoid, nullptr, false, &MethodThunk<&IDocument::Replace>},
    {"SampleRate", kBase + 21, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IDocument::get_SampleRate>},
    {"SampleRate", kBase + 21, K::kPut, kIDocument_22, R::kVoid, nullptr, false, &MethodThunk<&IDocument::put_SampleRate>},
    {"Save", kBase + 23, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&IDocument::Save>},
    {"SaveAs", kBase + 24, K::kMethod, kIDocument_24, R::kVoid, nullptr, false, &MethodThunk<&IDocument::SaveAs>},
    {"Saved", kBase + 25, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IDocument::get_Saved>},
    {"SelectionFrom", kBase + 26, K::kGet, {}, R::kDouble, nullptr, false, &RetThunk<&IDocument::get_SelectionFrom>},
    {"SelectionFrom", kBase + 26, K::kPut, kIDocument_27, R::kVoid, nullptr, false, &MethodThunk<&IDocument::put_SelectionFrom>},
    {"SelectionTo", kBase + 28, K::kGet, {}, R::kDouble, nullptr, false, &RetThunk<&IDocument::get_SelectionTo>},
    {"SelectionTo", kBase + 28, K::kPut, kIDocument_29, R::kVoid, nullptr, false, &MethodThunk<&IDocument::put_SelectionTo>},
    {"Text", kBase + 30, K::kGet, {}, R::kInterface, "IText", false, &RetThunk<&IDocument::get_Text>},
    {"TimeStretch", kBase + 31, K::kMethod, kIDocument_31, R::kVoid, nullptr, false, &MethodThunk<&IDocument::TimeStretch>},
    {"TimeStretch2", kBase + 32, K::kMethod, kIDocument_32, R::kVoid, nullptr, false, &MethodThunk<&IDocument::TimeStretch2>},
    {"Title", kBase + 33, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IDocument::get_Title>},
};
}  // namespace

const InterfaceInfo& IDocument::Info() {
  static constexpr InterfaceInfo kInfo{"IDocument", IDocument::IID, kIDocumentMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIDocuments_3[] = {{"sample_rate", T::kLong}, {"num_channels", T::kInt}};
constexpr ParamInfo kIDocuments_4[] = {{"src_obj", T::kVariantPtr}};
constexpr ParamInfo kIDocuments_7[] = {{"index", T::kLong}};
constexpr ParamInfo kIDocuments_8[] = {{"file_name", T::kBstr}, {"pcm_file_sample", T::kBstr, true, ""}};
constexpr ParamInfo kIDocuments_9[] = {{"file_name", T::kBstr}};
constexpr MemberInfo kIDocumentsMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IDocuments::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IDocuments::get_Parent>},
    {"_NewEnum", DISPID_NEWENUM, K::kGet, {}, R::kUnknown, nullptr, false, &RetThunk<&IDocuments::get__NewEnum>},
    {"Add", kBase + 3, K::kMethod, kIDocuments_3, R::kInterface, "IDocument", false, &RetThunk<&IDocuments::Add>},
    {"AddSoundClip", kBase + 4, K::kMethod, kIDocuments_4, R::kInterface, "IDocument", false, &RetThunk<&IDocuments::AddSoundClip>},
    {"Close", kBase + 5, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&IDocuments::Close>},
    {"Count", kBase + 6, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IDocuments::get_Count>},
    {"Item", DISPID_VALUE, K::kGet, kIDocuments_7, R::kInterface, "IDocument", false, &RetThunk<&IDocuments::get_Item>},
    {"MixWrite", kBase + 8, K::kMethod, kIDocuments_8, R::kVoid, nullptr, false, &MethodThunk<&IDocuments::MixWrite>},
    {"Open", kBase + 9, K::kMethod, kIDocuments_9, R::kInterface, "IDocument", false, &RetThunk<&IDocuments::Open>},
};
}  // namespace

const InterfaceInfo& IDocuments::Info() {
  static constexpr InterfaceInfo kInfo{"IDocuments", IDocuments::IID, kIDocumentsMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kISoundClip_4[] = {{"pos1", T::kDouble}, {"pos2", T::kDouble}};
constexpr ParamInfo kISoundClip_10[] = {{"", T::kLong}};
constexpr MemberInfo kISoundClipMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ISoundClip::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ISoundClip::get_Parent>},
    {"BitsPerSample", kBase + 2, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ISoundClip::get_BitsPerSample>},
    {"Channels", kBase + 3, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ISoundClip::get_Channels>},
    {"CreateSoundClip", kBase + 4, K::kMethod, kISoundClip_4, R::kInterface, "ISoundClip", false, &RetThunk<&ISoundClip::CreateSoundClip>},
    {"Decode", kBase + 5, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ISoundClip::Decode>},
    {"Labels", kBase + 6, K::kGet, {}, R::kInterface, "ILabels", false, &RetThunk<&ISoundClip::get_Labels>},
    {"Length", kBase + 7, K::kGet, {}, R::kDouble, nullptr, false, &RetThunk<&ISoundClip::get_Length>},
    {"PcmFileSample", kBase + 8, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ISoundClip::get_PcmFileSample>},
    {"SampleRate", kBase + 9, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&ISoundClip::get_SampleRate>},
    {"SampleRate", kBase + 9, K::kPut, kISoundClip_10, R::kVoid, nullptr, false, &MethodThunk<&ISoundClip::put_SampleRate>},
    {"Text", kBase + 11, K::kGet, {}, R::kInterface, "IText", false, &RetThunk<&ISoundClip::get_Text>},
};
}  // namespace

const InterfaceInfo& ISoundClip::Info() {
  static constexpr InterfaceInfo kInfo{"ISoundClip", ISoundClip::IID, kISoundClipMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kILabels_3[] = {{"Position", T::kDouble}, {"Name", T::kBstr}, {"comment", T::kBstr}};
constexpr ParamInfo kILabels_6[] = {{"index", T::kLong}};
constexpr MemberInfo kILabelsMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ILabels::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ILabels::get_Parent>},
    {"_NewEnum", DISPID_NEWENUM, K::kGet, {}, R::kUnknown, nullptr, false, &RetThunk<&ILabels::get__NewEnum>},
    {"Add", kBase + 3, K::kMethod, kILabels_3, R::kInterface, "ILabel", false, &RetThunk<&ILabels::Add>},
    {"RemoveAll", kBase + 4, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ILabels::RemoveAll>},
    {"Count", kBase + 5, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&ILabels::get_Count>},
    {"Item", DISPID_VALUE, K::kGet, kILabels_6, R::kInterface, "ILabel", false, &RetThunk<&ILabels::get_Item>},
};
}  // namespace

const InterfaceInfo& ILabels::Info() {
  static constexpr InterfaceInfo kInfo{"ILabels", ILabels::IID, kILabelsMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kILabel_6[] = {{"Position", T::kDouble}, {"Name", T::kBstr}, {"comment", T::kBstr}};
constexpr MemberInfo kILabelMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ILabel::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ILabel::get_Parent>},
    {"Comments", kBase + 2, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ILabel::get_Comments>},
    {"Name", kBase + 3, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ILabel::get_Name>},
    {"Position", kBase + 4, K::kGet, {}, R::kDouble, nullptr, false, &RetThunk<&ILabel::get_Position>},
    {"Remove", kBase + 5, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ILabel::Remove>},
    {"Set", kBase + 6, K::kMethod, kILabel_6, R::kVoid, nullptr, false, &MethodThunk<&ILabel::Set>},
};
}  // namespace

const InterfaceInfo& ILabel::Info() {
  static constexpr InterfaceInfo kInfo{"ILabel", ILabel::IID, kILabelMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIText_4[] = {{"index", T::kBstr}};
constexpr ParamInfo kIText_5[] = {{"index", T::kBstr}, {"", T::kBstr}};
constexpr ParamInfo kIText_9[] = {{"psa", T::kSafeArray}};
constexpr MemberInfo kITextMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IText::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IText::get_Parent>},
    {"_NewEnum", DISPID_NEWENUM, K::kGet, {}, R::kUnknown, nullptr, false, &RetThunk<&IText::get__NewEnum>},
    {"GetAppPrivate", kBase + 3, K::kMethod, {}, R::kSafeArray, nullptr, false, &RetThunk<&IText::GetAppPrivate>},
    {"Item", DISPID_VALUE, K::kGet, kIText_4, R::kBstr, nullptr, false, &RetThunk<&IText::get_Item>},
    {"Item", DISPID_VALUE, K::kPut, kIText_5, R::kVoid, nullptr, false, &MethodThunk<&IText::put_Item>},
    {"Items", kBase + 6, K::kMethod, {}, R::kSafeArray, nullptr, false, &RetThunk<&IText::Items>},
    {"Keys", kBase + 7, K::kMethod, {}, R::kSafeArray, nullptr, false, &RetThunk<&IText::Keys>},
    {"RemoveAll", kBase + 8, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&IText::RemoveAll>},
    {"SetAppPrivate", kBase + 9, K::kMethod, kIText_9, R::kVoid, nullptr, false, &MethodThunk<&IText::SetAppPrivate>},
};
}  // namespace

const InterfaceInfo& IText::Info() {
  static constexpr InterfaceInfo kInfo{"IText", IText::IID, kITextMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIWaveformInfo_2[] = {{"key", T::kBstr}, {"channel", T::kInt, true, "-1"}};
constexpr MemberInfo kIWaveformInfoMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IWaveformInfo::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IWaveformInfo::get_Parent>},
    {"Item", DISPID_VALUE, K::kGet, kIWaveformInfo_2, R::kDouble, nullptr, false, &RetThunk<&IWaveformInfo::get_Item>},
};
}  // namespace

const InterfaceInfo& IWaveformInfo::Info() {
  static constexpr InterfaceInfo kInfo{"IWaveformInfo", IWaveformInfo::IID, kIWaveformInfoMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIPopup_2[] = {{"prompt", T::kBstr}, {"Title", T::kBstr, true, ""}, {"defval", T::kBstr, true, ""}, {"xpos", T::kLong, true, "-2147483648"}, {"ypos", T::kLong, true, "-2147483648"}, {"helpfile", T::kBstr, true, ""}, {"context", T::kLong, true, "0"}};
constexpr ParamInfo kIPopup_3[] = {{"prompt", T::kBstr}, {"buttons", T::kLong, true, "0"}, {"Title", T::kBstr, true, ""}, {"helpfile", T::kBstr, true, ""}, {"context", T::kLong, true, "0"}};
constexpr MemberInfo kIPopupMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IPopup::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IPopup::get_Parent>},
    {"InputBox", kBase + 2, K::kMethod, kIPopup_2, R::kBstr, nullptr, false, &RetThunk<&IPopup::InputBox>},
    {"MsgBox", kBase + 3, K::kMethod, kIPopup_3, R::kInt, nullptr, false, &RetThunk<&IPopup::MsgBox>},
};
}  // namespace

const InterfaceInfo& IPopup::Info() {
  static constexpr InterfaceInfo kInfo{"IPopup", IPopup::IID, kIPopupMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kISystem_2[] = {{"Path", T::kBstr}, {"prefix", T::kBstr}, {"create_dir", T::kBool, true, "0"}};
constexpr ParamInfo kISystem_4[] = {{"Path", T::kBstr}, {"prefix", T::kBstr}, {"make_dir", T::kBool, true, "0"}};
constexpr ParamInfo kISystem_5[] = {{"hiber", T::kBool}, {"force", T::kBool}, {"immediate", T::kBool}};
constexpr MemberInfo kISystemMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ISystem::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ISystem::get_Parent>},
    {"CreateTemp", kBase + 2, K::kMethod, kISystem_2, R::kBstr, nullptr, false, &RetThunk<&ISystem::CreateTemp>},
    {"GetTickCount", kBase + 3, K::kMethod, {}, R::kLong, nullptr, false, &RetThunk<&ISystem::GetTickCount>},
    {"MakeTemp", kBase + 4, K::kMethod, kISystem_4, R::kBstr, nullptr, false, &RetThunk<&ISystem::MakeTemp>},
    {"SetSuspendState", kBase + 5, K::kMethod, kISystem_5, R::kBool, nullptr, false, &RetThunk<&ISystem::SetSuspendState>},
};
}  // namespace

const InterfaceInfo& ISystem::Info() {
  static constexpr InterfaceInfo kInfo{"ISystem", ISystem::IID, kISystemMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kICdReader_3[] = {{"", T::kInt}};
constexpr ParamInfo kICdReader_4[] = {{"psa", T::kSafeArray}};
constexpr ParamInfo kICdReader_6[] = {{"", T::kBstr}};
constexpr ParamInfo kICdReader_9[] = {{"", T::kInt}};
constexpr ParamInfo kICdReader_12[] = {{"", T::kBool}};
constexpr ParamInfo kICdReader_14[] = {{"", T::kInt}};
constexpr ParamInfo kICdReader_16[] = {{"", T::kLong}};
constexpr MemberInfo kICdReaderMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ICdReader::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ICdReader::get_Parent>},
    {"Channels", kBase + 2, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICdReader::get_Channels>},
    {"Channels", kBase + 2, K::kPut, kICdReader_3, R::kVoid, nullptr, false, &MethodThunk<&ICdReader::put_Channels>},
    {"CreateSoundClips", kBase + 4, K::kMethod, kICdReader_4, R::kSafeArray, nullptr, false, &RetThunk<&ICdReader::CreateSoundClips>},
    {"DriveLetter", kBase + 5, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICdReader::get_DriveLetter>},
    {"DriveLetter", kBase + 5, K::kPut, kICdReader_6, R::kVoid, nullptr, false, &MethodThunk<&ICdReader::put_DriveLetter>},
    {"DriveName", kBase + 7, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICdReader::get_DriveName>},
    {"DriveSpeed", kBase + 8, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICdReader::get_DriveSpeed>},
    {"DriveSpeed", kBase + 8, K::kPut, kICdReader_9, R::kVoid, nullptr, false, &MethodThunk<&ICdReader::put_DriveSpeed>},
    {"Eject", kBase + 10, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ICdReader::Eject>},
    {"ErrorCorrection", kBase + 11, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICdReader::get_ErrorCorrection>},
    {"ErrorCorrection", kBase + 11, K::kPut, kICdReader_12, R::kVoid, nullptr, false, &MethodThunk<&ICdReader::put_ErrorCorrection>},
    {"Language", kBase + 13, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICdReader::get_Language>},
    {"Language", kBase + 13, K::kPut, kICdReader_14, R::kVoid, nullptr, false, &MethodThunk<&ICdReader::put_Language>},
    {"SampleRate", kBase + 15, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&ICdReader::get_SampleRate>},
    {"SampleRate", kBase + 15, K::kPut, kICdReader_16, R::kVoid, nullptr, false, &MethodThunk<&ICdReader::put_SampleRate>},
    {"SetNextDrive", kBase + 17, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ICdReader::SetNextDrive>},
};
}  // namespace

const InterfaceInfo& ICdReader::Info() {
  static constexpr InterfaceInfo kInfo{"ICdReader", ICdReader::IID, kICdReaderMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kICdWriter_2[] = {{"blank_type", T::kInt}};
constexpr ParamInfo kICdWriter_4[] = {{"", T::kInt}};
constexpr ParamInfo kICdWriter_6[] = {{"", T::kBool}};
constexpr ParamInfo kICdWriter_8[] = {{"", T::kBstr}};
constexpr ParamInfo kICdWriter_11[] = {{"", T::kInt}};
constexpr ParamInfo kICdWriter_16[] = {{"", T::kBool}};
constexpr ParamInfo kICdWriter_17[] = {{"test_mode", T::kBool, true, "0"}};
constexpr ParamInfo kICdWriter_19[] = {{"", T::kInt}};
constexpr MemberInfo kICdWriterMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ICdWriter::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ICdWriter::get_Parent>},
    {"Blank", kBase + 2, K::kMethod, kICdWriter_2, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::Blank>},
    {"BufferSize", kBase + 3, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICdWriter::get_BufferSize>},
    {"BufferSize", kBase + 3, K::kPut, kICdWriter_4, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::put_BufferSize>},
    {"CdText", kBase + 5, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICdWriter::get_CdText>},
    {"CdText", kBase + 5, K::kPut, kICdWriter_6, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::put_CdText>},
    {"DriveLetter", kBase + 7, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICdWriter::get_DriveLetter>},
    {"DriveLetter", kBase + 7, K::kPut, kICdWriter_8, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::put_DriveLetter>},
    {"DriveName", kBase + 9, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICdWriter::get_DriveName>},
    {"DriveSpeed", kBase + 10, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICdWriter::get_DriveSpeed>},
    {"DriveSpeed", kBase + 10, K::kPut, kICdWriter_11, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::put_DriveSpeed>},
    {"Eject", kBase + 12, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::Eject>},
    {"SetNextDrive", kBase + 13, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::SetNextDrive>},
    {"Tracks", kBase + 14, K::kGet, {}, R::kInterface, "ICdTracks", false, &RetThunk<&ICdWriter::get_Tracks>},
    {"VolumeAdjust", kBase + 15, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICdWriter::get_VolumeAdjust>},
    {"VolumeAdjust", kBase + 15, K::kPut, kICdWriter_16, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::put_VolumeAdjust>},
    {"Write", kBase + 17, K::kMethod, kICdWriter_17, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::Write>},
    {"WriteMode", kBase + 18, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICdWriter::get_WriteMode>},
    {"WriteMode", kBase + 18, K::kPut, kICdWriter_19, R::kVoid, nullptr, false, &MethodThunk<&ICdWriter::put_WriteMode>},
};
}  // namespace

const InterfaceInfo& ICdWriter::Info() {
  static constexpr InterfaceInfo kInfo{"ICdWriter", ICdWriter::IID, kICdWriterMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kICdTracks_2[] = {{"src_obj", T::kVariantPtr}, {"bound1", T::kDouble, true, "0"}, {"bound2", T::kDouble, true, "0"}};
constexpr ParamInfo kICdTracks_4[] = {{"", T::kBstr}};
constexpr ParamInfo kICdTracks_6[] = {{"", T::kBstr}};
constexpr ParamInfo kICdTracks_7[] = {{"tno", T::kInt}};
constexpr ParamInfo kICdTracks_9[] = {{"", T::kBool}};
constexpr ParamInfo kICdTracks_11[] = {{"", T::kBstr}};
constexpr ParamInfo kICdTracks_13[] = {{"tno", T::kInt}, {"isrc", T::kBstr}, {"pre_emphasis", T::kBool}, {"permit_copy", T::kBool}};
constexpr MemberInfo kICdTracksMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ICdTracks::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ICdTracks::get_Parent>},
    {"Add", kBase + 2, K::kMethod, kICdTracks_2, R::kInt, nullptr, false, &RetThunk<&ICdTracks::Add>},
    {"AlbumArtist", kBase + 3, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICdTracks::get_AlbumArtist>},
    {"AlbumArtist", kBase + 3, K::kPut, kICdTracks_4, R::kVoid, nullptr, false, &MethodThunk<&ICdTracks::put_AlbumArtist>},
    {"AlbumTitle", kBase + 5, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICdTracks::get_AlbumTitle>},
    {"AlbumTitle", kBase + 5, K::kPut, kICdTracks_6, R::kVoid, nullptr, false, &MethodThunk<&ICdTracks::put_AlbumTitle>},
    {"Copy", kBase + 7, K::kMethod, kICdTracks_7, R::kInt, nullptr, false, &RetThunk<&ICdTracks::Copy>},
    {"ExtraGaps", kBase + 8, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICdTracks::get_ExtraGaps>},
    {"ExtraGaps", kBase + 8, K::kPut, kICdTracks_9, R::kVoid, nullptr, false, &MethodThunk<&ICdTracks::put_ExtraGaps>},
    {"MCN", kBase + 10, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICdTracks::get_MCN>},
    {"MCN", kBase + 10, K::kPut, kICdTracks_11, R::kVoid, nullptr, false, &MethodThunk<&ICdTracks::put_MCN>},
    {"RemoveAllTracks", kBase + 12, K::kMethod, {}, R::kVoid, nullptr, false, &MethodThunk<&ICdTracks::RemoveAllTracks>},
    {"SetTrackProps", kBase + 13, K::kMethod, kICdTracks_13, R::kVoid, nullptr, false, &MethodThunk<&ICdTracks::SetTrackProps>},
};
}  // namespace

const InterfaceInfo& ICdTracks::Info() {
  static constexpr InterfaceInfo kInfo{"ICdTracks", ICdTracks::IID, kICdTracksMembers};
  return kInfo;
}

namespace {

constexpr MemberInfo kICodecFormatMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ICodecFormat::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ICodecFormat::get_Parent>},
    {"Bitrate", kBase + 2, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&ICodecFormat::get_Bitrate>},
    {"BitsPerSample", kBase + 3, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICodecFormat::get_BitsPerSample>},
    {"Channels", kBase + 4, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICodecFormat::get_Channels>},
    {"Desc", kBase + 5, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICodecFormat::get_Desc>},
    {"Quality", kBase + 6, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&ICodecFormat::get_Quality>},
    {"IsQualityBased", kBase + 7, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICodecFormat::get_IsQualityBased>},
    {"IsTwoPass", kBase + 8, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICodecFormat::get_IsTwoPass>},
    {"IsVBR", kBase + 9, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICodecFormat::get_IsVBR>},
    {"SampleRate", kBase + 10, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&ICodecFormat::get_SampleRate>},
};
}  // namespace

const InterfaceInfo& ICodecFormat::Info() {
  static constexpr InterfaceInfo kInfo{"ICodecFormat", ICodecFormat::IID, kICodecFormatMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kICodecInfo_2[] = {{"sample_rate", T::kLong}, {"num_channels", T::kInt}};
constexpr ParamInfo kICodecInfo_4[] = {{"", T::kBool}};
constexpr ParamInfo kICodecInfo_6[] = {{"", T::kBool}};
constexpr MemberInfo kICodecInfoMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ICodecInfo::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ICodecInfo::get_Parent>},
    {"GetCodecFormats", kBase + 2, K::kMethod, kICodecInfo_2, R::kSafeArray, nullptr, false, &RetThunk<&ICodecInfo::GetCodecFormats>},
    {"IsTwoPass", kBase + 3, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICodecInfo::get_IsTwoPass>},
    {"IsTwoPass", kBase + 3, K::kPut, kICodecInfo_4, R::kVoid, nullptr, false, &MethodThunk<&ICodecInfo::put_IsTwoPass>},
    {"IsVBR", kBase + 5, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&ICodecInfo::get_IsVBR>},
    {"IsVBR", kBase + 5, K::kPut, kICodecInfo_6, R::kVoid, nullptr, false, &MethodThunk<&ICodecInfo::put_IsVBR>},
    {"Name", kBase + 7, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&ICodecInfo::get_Name>},
};
}  // namespace

const InterfaceInfo& ICodecInfo::Info() {
  static constexpr InterfaceInfo kInfo{"ICodecInfo", ICodecInfo::IID, kICodecInfoMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kICodecInfoList_4[] = {{"index", T::kLong}};
constexpr MemberInfo kICodecInfoListMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&ICodecInfoList::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&ICodecInfoList::get_Parent>},
    {"_NewEnum", DISPID_NEWENUM, K::kGet, {}, R::kUnknown, nullptr, false, &RetThunk<&ICodecInfoList::get__NewEnum>},
    {"Count", kBase + 3, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&ICodecInfoList::get_Count>},
    {"Item", DISPID_VALUE, K::kGet, kICodecInfoList_4, R::kInterface, "ICodecInfo", false, &RetThunk<&ICodecInfoList::get_Item>},
};
}  // namespace

const InterfaceInfo& ICodecInfoList::Info() {
  static constexpr InterfaceInfo kInfo{"ICodecInfoList", ICodecInfoList::IID, kICodecInfoListMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_PCM_3[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_PCM_5[] = {{"", T::kBstr}};
constexpr ParamInfo kIFileWriter_PCM_6[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr ParamInfo kIFileWriter_PCM_8[] = {{"", T::kLong}};
constexpr MemberInfo kIFileWriter_PCMMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_PCM::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_PCM::get_Parent>},
    {"Channels", kBase + 2, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_PCM::get_Channels>},
    {"Channels", kBase + 2, K::kPut, kIFileWriter_PCM_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_PCM::put_Channels>},
    {"PcmFileSample", kBase + 4, K::kGet, {}, R::kBstr, nullptr, false, &RetThunk<&IFileWriter_PCM::get_PcmFileSample>},
    {"PcmFileSample", kBase + 4, K::kPut, kIFileWriter_PCM_5, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_PCM::put_PcmFileSample>},
    {"Process", kBase + 6, K::kMethod, kIFileWriter_PCM_6, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_PCM::Process>},
    {"SampleRate", kBase + 7, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IFileWriter_PCM::get_SampleRate>},
    {"SampleRate", kBase + 7, K::kPut, kIFileWriter_PCM_8, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_PCM::put_SampleRate>},
};
}  // namespace

const InterfaceInfo& IFileWriter_PCM::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_PCM", IFileWriter_PCM::IID, kIFileWriter_PCMMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_1Bit_3[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_1Bit_4[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr ParamInfo kIFileWriter_1Bit_6[] = {{"", T::kLong}};
constexpr MemberInfo kIFileWriter_1BitMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_1Bit::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_1Bit::get_Parent>},
    {"Channels", kBase + 2, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_1Bit::get_Channels>},
    {"Channels", kBase + 2, K::kPut, kIFileWriter_1Bit_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_1Bit::put_Channels>},
    {"Process", kBase + 4, K::kMethod, kIFileWriter_1Bit_4, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_1Bit::Process>},
    {"SampleRate", kBase + 5, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IFileWriter_1Bit::get_SampleRate>},
    {"SampleRate", kBase + 5, K::kPut, kIFileWriter_1Bit_6, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_1Bit::put_SampleRate>},
};
}  // namespace

const InterfaceInfo& IFileWriter_1Bit::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_1Bit", IFileWriter_1Bit::IID, kIFileWriter_1BitMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_AAC_3[] = {{"", T::kInterface, false, nullptr, "ICodecFormat"}};
constexpr ParamInfo kIFileWriter_AAC_4[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr MemberInfo kIFileWriter_AACMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_AAC::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_AAC::get_Parent>},
    {"CodecFormat", kBase + 2, K::kGet, {}, R::kInterface, "ICodecFormat", false, &RetThunk<&IFileWriter_AAC::get_CodecFormat>},
    {"CodecFormat", kBase + 2, K::kPut, kIFileWriter_AAC_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_AAC::put_CodecFormat>},
    {"Process", kBase + 4, K::kMethod, kIFileWriter_AAC_4, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_AAC::Process>},
};
}  // namespace

const InterfaceInfo& IFileWriter_AAC::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_AAC", IFileWriter_AAC::IID, kIFileWriter_AACMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_FLAC_3[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_FLAC_5[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_FLAC_7[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_FLAC_8[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr ParamInfo kIFileWriter_FLAC_10[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_FLAC_12[] = {{"", T::kLong}};
constexpr ParamInfo kIFileWriter_FLAC_14[] = {{"", T::kBool}};
constexpr MemberInfo kIFileWriter_FLACMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_FLAC::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_FLAC::get_Parent>},
    {"BitsPerSample", kBase + 2, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_FLAC::get_BitsPerSample>},
    {"BitsPerSample", kBase + 2, K::kPut, kIFileWriter_FLAC_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_FLAC::put_BitsPerSample>},
    {"Channels", kBase + 4, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_FLAC::get_Channels>},
    {"Channels", kBase + 4, K::kPut, kIFileWriter_FLAC_5, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_FLAC::put_Channels>},
    {"CompressLevel", kBase + 6, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_FLAC::get_CompressLevel>},
    {"CompressLevel", kBase + 6, K::kPut, kIFileWriter_FLAC_7, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_FLAC::put_CompressLevel>},
    {"Process", kBase + 8, K::kMethod, kIFileWriter_FLAC_8, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_FLAC::Process>},
    {"ReplayGain", kBase + 9, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_FLAC::get_ReplayGain>},
    {"ReplayGain", kBase + 9, K::kPut, kIFileWriter_FLAC_10, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_FLAC::put_ReplayGain>},
    {"SampleRate", kBase + 11, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IFileWriter_FLAC::get_SampleRate>},
    {"SampleRate", kBase + 11, K::kPut, kIFileWriter_FLAC_12, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_FLAC::put_SampleRate>},
    {"Verify", kBase + 13, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_FLAC::get_Verify>},
    {"Verify", kBase + 13, K::kPut, kIFileWriter_FLAC_14, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_FLAC::put_Verify>},
};
}  // namespace

const InterfaceInfo& IFileWriter_FLAC::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_FLAC", IFileWriter_FLAC::IID, kIFileWriter_FLACMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_LAME_3[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_LAME_5[] = {{"", T::kInterface, false, nullptr, "ICodecFormat"}};
constexpr ParamInfo kIFileWriter_LAME_7[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_LAME_9[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_LAME_11[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_LAME_13[] = {{"", T::kLong}};
constexpr ParamInfo kIFileWriter_LAME_15[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_LAME_17[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_LAME_18[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr ParamInfo kIFileWriter_LAME_20[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_LAME_22[] = {{"", T::kBool}};
constexpr MemberInfo kIFileWriter_LAMEMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_LAME::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_LAME::get_Parent>},
    {"ChannelMode", kBase + 2, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_LAME::get_ChannelMode>},
    {"ChannelMode", kBase + 2, K::kPut, kIFileWriter_LAME_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_ChannelMode>},
    {"CodecFormat", kBase + 4, K::kGet, {}, R::kInterface, "ICodecFormat", false, &RetThunk<&IFileWriter_LAME::get_CodecFormat>},
    {"CodecFormat", kBase + 4, K::kPut, kIFileWriter_LAME_5, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_CodecFormat>},
    {"Copyright", kBase + 6, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_LAME::get_Copyright>},
    {"Copyright", kBase + 6, K::kPut, kIFileWriter_LAME_7, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_Copyright>},
    {"CRC", kBase + 8, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_LAME::get_CRC>},
    {"CRC", kBase + 8, K::kPut, kIFileWriter_LAME_9, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_CRC>},
    {"EnableABR", kBase + 10, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_LAME::get_EnableABR>},
    {"EnableABR", kBase + 10, K::kPut, kIFileWriter_LAME_11, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_EnableABR>},
    {"MaxBitrate", kBase + 12, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IFileWriter_LAME::get_MaxBitrate>},
    {"MaxBitrate", kBase + 12, K::kPut, kIFileWriter_LAME_13, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_MaxBitrate>},
    {"Original", kBase + 14, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_LAME::get_Original>},
    {"Original", kBase + 14, K::kPut, kIFileWriter_LAME_15, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_Original>},
    {"Private", kBase + 16, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_LAME::get_Private>},
    {"Private", kBase + 16, K::kPut, kIFileWriter_LAME_17, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_Private>},
    {"Process", kBase + 18, K::kMethod, kIFileWriter_LAME_18, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::Process>},
    {"Quality", kBase + 19, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_LAME::get_Quality>},
    {"Quality", kBase + 19, K::kPut, kIFileWriter_LAME_20, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_Quality>},
    {"Unicode", kBase + 21, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_LAME::get_Unicode>},
    {"Unicode", kBase + 21, K::kPut, kIFileWriter_LAME_22, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_LAME::put_Unicode>},
};
}  // namespace

const InterfaceInfo& IFileWriter_LAME::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_LAME", IFileWriter_LAME::IID, kIFileWriter_LAMEMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_MP3_3[] = {{"", T::kInterface, false, nullptr, "ICodecFormat"}};
constexpr ParamInfo kIFileWriter_MP3_5[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_MP3_7[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_MP3_9[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_MP3_10[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr ParamInfo kIFileWriter_MP3_12[] = {{"", T::kBool}};
constexpr MemberInfo kIFileWriter_MP3Members[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_MP3::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_MP3::get_Parent>},
    {"CodecFormat", kBase + 2, K::kGet, {}, R::kInterface, "ICodecFormat", false, &RetThunk<&IFileWriter_MP3::get_CodecFormat>},
    {"CodecFormat", kBase + 2, K::kPut, kIFileWriter_MP3_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_MP3::put_CodecFormat>},
    {"Copyright", kBase + 4, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_MP3::get_Copyright>},
    {"Copyright", kBase + 4, K::kPut, kIFileWriter_MP3_5, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_MP3::put_Copyright>},
    {"Original", kBase + 6, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_MP3::get_Original>},
    {"Original", kBase + 6, K::kPut, kIFileWriter_MP3_7, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_MP3::put_Original>},
    {"Private", kBase + 8, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_MP3::get_Private>},
    {"Private", kBase + 8, K::kPut, kIFileWriter_MP3_9, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_MP3::put_Private>},
    {"Process", kBase + 10, K::kMethod, kIFileWriter_MP3_10, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_MP3::Process>},
    {"Unicode", kBase + 11, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_MP3::get_Unicode>},
    {"Unicode", kBase + 11, K::kPut, kIFileWriter_MP3_12, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_MP3::put_Unicode>},
};
}  // namespace

const InterfaceInfo& IFileWriter_MP3::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_MP3", IFileWriter_MP3::IID, kIFileWriter_MP3Members};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_OggVorbis_3[] = {{"", T::kInterface, false, nullptr, "ICodecFormat"}};
constexpr ParamInfo kIFileWriter_OggVorbis_5[] = {{"", T::kLong}};
constexpr ParamInfo kIFileWriter_OggVorbis_7[] = {{"", T::kLong}};
constexpr ParamInfo kIFileWriter_OggVorbis_8[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr MemberInfo kIFileWriter_OggVorbisMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_OggVorbis::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_OggVorbis::get_Parent>},
    {"CodecFormat", kBase + 2, K::kGet, {}, R::kInterface, "ICodecFormat", false, &RetThunk<&IFileWriter_OggVorbis::get_CodecFormat>},
    {"CodecFormat", kBase + 2, K::kPut, kIFileWriter_OggVorbis_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_OggVorbis::put_CodecFormat>},
    {"MaxBitrate", kBase + 4, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IFileWriter_OggVorbis::get_MaxBitrate>},
    {"MaxBitrate", kBase + 4, K::kPut, kIFileWriter_OggVorbis_5, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_OggVorbis::put_MaxBitrate>},
    {"MinBitrate", kBase + 6, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IFileWriter_OggVorbis::get_MinBitrate>},
    {"MinBitrate", kBase + 6, K::kPut, kIFileWriter_OggVorbis_7, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_OggVorbis::put_MinBitrate>},
    {"Process", kBase + 8, K::kMethod, kIFileWriter_OggVorbis_8, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_OggVorbis::Process>},
};
}  // namespace

const InterfaceInfo& IFileWriter_OggVorbis::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_OggVorbis", IFileWriter_OggVorbis::IID, kIFileWriter_OggVorbisMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_Opus_3[] = {{"", T::kLong}};
constexpr ParamInfo kIFileWriter_Opus_5[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_Opus_7[] = {{"", T::kBool}};
constexpr ParamInfo kIFileWriter_Opus_8[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr ParamInfo kIFileWriter_Opus_10[] = {{"", T::kLong}};
constexpr ParamInfo kIFileWriter_Opus_12[] = {{"", T::kInt}};
constexpr ParamInfo kIFileWriter_Opus_14[] = {{"", T::kBool}};
constexpr MemberInfo kIFileWriter_OpusMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_Opus::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_Opus::get_Parent>},
    {"Bitrate", kBase + 2, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IFileWriter_Opus::get_Bitrate>},
    {"Bitrate", kBase + 2, K::kPut, kIFileWriter_Opus_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_Opus::put_Bitrate>},
    {"Channels", kBase + 4, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_Opus::get_Channels>},
    {"Channels", kBase + 4, K::kPut, kIFileWriter_Opus_5, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_Opus::put_Channels>},
    {"EnableVBR", kBase + 6, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_Opus::get_EnableVBR>},
    {"EnableVBR", kBase + 6, K::kPut, kIFileWriter_Opus_7, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_Opus::put_EnableVBR>},
    {"Process", kBase + 8, K::kMethod, kIFileWriter_Opus_8, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_Opus::Process>},
    {"SampleRate", kBase + 9, K::kGet, {}, R::kLong, nullptr, false, &RetThunk<&IFileWriter_Opus::get_SampleRate>},
    {"SampleRate", kBase + 9, K::kPut, kIFileWriter_Opus_10, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_Opus::put_SampleRate>},
    {"SignalType", kBase + 11, K::kGet, {}, R::kInt, nullptr, false, &RetThunk<&IFileWriter_Opus::get_SignalType>},
    {"SignalType", kBase + 11, K::kPut, kIFileWriter_Opus_12, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_Opus::put_SignalType>},
    {"VBRConstraint", kBase + 13, K::kGet, {}, R::kBool, nullptr, false, &RetThunk<&IFileWriter_Opus::get_VBRConstraint>},
    {"VBRConstraint", kBase + 13, K::kPut, kIFileWriter_Opus_14, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_Opus::put_VBRConstraint>},
};
}  // namespace

const InterfaceInfo& IFileWriter_Opus::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_Opus", IFileWriter_Opus::IID, kIFileWriter_OpusMembers};
  return kInfo;
}

namespace {

constexpr ParamInfo kIFileWriter_WMA_3[] = {{"", T::kInterface, false, nullptr, "ICodecFormat"}};
constexpr ParamInfo kIFileWriter_WMA_4[] = {{"src_obj", T::kVariantPtr}, {"file_name", T::kBstr}};
constexpr MemberInfo kIFileWriter_WMAMembers[] = {
    {"Application", kBase + 0, K::kGet, {}, R::kInterface, "IApplication", false, &RetThunk<&IFileWriter_WMA::get_Application>},
    {"Parent", kBase + 1, K::kGet, {}, R::kDispatch, nullptr, false, &RetThunk<&IFileWriter_WMA::get_Parent>},
    {"CodecFormat", kBase + 2, K::kGet, {}, R::kInterface, "ICodecFormat", false, &RetThunk<&IFileWriter_WMA::get_CodecFormat>},
    {"CodecFormat", kBase + 2, K::kPut, kIFileWriter_WMA_3, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_WMA::put_CodecFormat>},
    {"Process", kBase + 4, K::kMethod, kIFileWriter_WMA_4, R::kVoid, nullptr, false, &MethodThunk<&IFileWriter_WMA::Process>},
};
}  // namespace

const InterfaceInfo& IFileWriter_WMA::Info() {
  static constexpr InterfaceInfo kInfo{"IFileWriter_WMA", IFileWriter_WMA::IID, kIFileWriter_WMAMembers};
  return kInfo;
}

namespace {

}  // namespace

namespace typelib {

std::span<const InterfaceInfo* const> Interfaces() {
  static const InterfaceInfo* const kAll[] = {
      &IApplication::Info(),     &IDocument::Info(),        &IDocuments::Info(),
      &ISoundClip::Info(),       &ILabels::Info(),          &ILabel::Info(),
      &IText::Info(),            &IWaveformInfo::Info(),    &IPopup::Info(),
      &ISystem::Info(),          &ICdReader::Info(),        &ICdWriter::Info(),
      &ICdTracks::Info(),        &ICodecFormat::Info(),     &ICodecInfo::Info(),
      &ICodecInfoList::Info(),   &IFileWriter_PCM::Info(),  &IFileWriter_1Bit::Info(),
      &IFileWriter_AAC::Info(),  &IFileWriter_FLAC::Info(), &IFileWriter_LAME::Info(),
      &IFileWriter_MP3::Info(),  &IFileWriter_OggVorbis::Info(), &IFileWriter_Opus::Info(),
      &IFileWriter_WMA::Info()};
  return kAll;
}

const InterfaceInfo* FindInterface(std::string_view name) {
  for (const InterfaceInfo* info : Interfaces())
    if (name == info->name) return info;
  return nullptr;
}

const InterfaceInfo* FindInterface(const IID& iid) {
  for (const InterfaceInfo* info : Interfaces())
    if (info->iid == iid) return info;
  return nullptr;
}

}  // namespace typelib
}  // namespace tidemark::com
