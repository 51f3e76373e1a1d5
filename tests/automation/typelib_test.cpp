// The "Tidemark" type library against its description: member order,
// dispatch ids by the numbering rule, identifiers, and dispatch through a
// generated table.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "automation/typelib/typelib.h"
#include "tests/automation/com_test_support.h"

namespace tidemark::com {
namespace {

// Member names in declaration order after Application and Parent; a
// property with get and put is listed once.
const std::map<std::string, std::string> kMembers = {
    {"IApplication",
     "ActiveDocument Clipboard CreateCdReader CreateCdWriter CreateFileWriter CreateFileWriter_1Bit "
     "CreateFileWriter_AAC CreateFileWriter_FLAC CreateFileWriter_LAME CreateFileWriter_MP3 "
     "CreateFileWriter_OggVorbis CreateFileWriter_Opus CreateFileWriter_PCM CreateFileWriter_WMA CreateSoundClip "
     "Documents FullName Name Path Popup Project StatusBar System Version Visible"},
    {"IDocuments", "_NewEnum Add AddSoundClip Close Count Item MixWrite Open"},
    {"IDocument",
     "Activate AddGain AddOffset BitsPerSample Channels ChannelSelection Close CreateSoundClip Delete EffectChain "
     "FullName GetWaveformInfo Labels Length Name Path PcmFileSample Replace SampleRate Save SaveAs Saved "
     "SelectionFrom SelectionTo Text TimeStretch TimeStretch2 Title"},
    {"ISoundClip", "BitsPerSample Channels CreateSoundClip Decode Labels Length PcmFileSample SampleRate Text"},
    {"ILabels", "_NewEnum Add RemoveAll Count Item"},
    {"ILabel", "Comments Name Position Remove Set"},
    {"IText", "_NewEnum GetAppPrivate Item Items Keys RemoveAll SetAppPrivate"},
    {"IWaveformInfo", "Item"},
    {"IPopup", "InputBox MsgBox"},
    {"ISystem", "CreateTemp GetTickCount MakeTemp SetSuspendState"},
    {"ICdReader",
     "Channels CreateSoundClips DriveLetter DriveName DriveSpeed Eject ErrorCorrection Language SampleRate "
     "SetNextDrive"},
    {"ICdWriter",
     "Blank BufferSize CdText DriveLetter DriveName DriveSpeed Eject SetNextDrive Tracks VolumeAdjust Write "
     "WriteMode"},
    {"ICdTracks", "Add AlbumArtist AlbumTitle Copy ExtraGaps MCN RemoveAllTracks SetTrackProps"},
    {"ICodecFormat", "Bitrate BitsPerSample Channels Desc Quality IsQualityBased IsTwoPass IsVBR SampleRate"},
    {"ICodecInfo", "GetCodecFormats IsTwoPass IsVBR Name"},
    {"ICodecInfoList", "_NewEnum Count Item"},
    {"IFileWriter_PCM", "Channels PcmFileSample Process SampleRate"},
    {"IFileWriter_1Bit", "Channels Process SampleRate"},
    {"IFileWriter_AAC", "CodecFormat Process"},
    {"IFileWriter_FLAC", "BitsPerSample Channels CompressLevel Process ReplayGain SampleRate Verify"},
    {"IFileWriter_LAME",
     "ChannelMode CodecFormat Copyright CRC EnableABR MaxBitrate Original Private Process Quality Unicode"},
    {"IFileWriter_MP3", "CodecFormat Copyright Original Private Process Unicode"},
    {"IFileWriter_OggVorbis", "CodecFormat MaxBitrate MinBitrate Process"},
    {"IFileWriter_Opus", "Bitrate Channels EnableVBR Process SampleRate SignalType VBRConstraint"},
    {"IFileWriter_WMA", "CodecFormat Process"},
};

std::string NamesAfterParent(const InterfaceInfo& info) {
  std::string names;
  for (std::size_t i = 2; i < info.members.size(); ++i) {
    const MemberInfo& m = info.members[i];
    if (m.kind == MemberKind::kPut && info.members[i - 1].kind == MemberKind::kGet &&
        std::string_view(info.members[i - 1].name) == m.name)
      continue;
    if (!names.empty()) names += ' ';
    names += m.name;
  }
  return names;
}

TEST(Typelib, MembersAreInDeclarationOrder) {
  ASSERT_EQ(typelib::Interfaces().size(), 25u);
  std::set<std::string> iids;
  for (const InterfaceInfo* info : typelib::Interfaces()) {
    SCOPED_TRACE(info->name);
    iids.insert(FormatGuid(info->iid));
    ASSERT_TRUE(kMembers.count(info->name));
    EXPECT_EQ(NamesAfterParent(*info), kMembers.at(info->name));
    ASSERT_GE(info->members.size(), 2u);
    EXPECT_STREQ(info->members[0].name, "Application");
    EXPECT_STREQ(info->members[0].result_name, "IApplication");
    EXPECT_STREQ(info->members[1].name, "Parent");
    EXPECT_EQ(info->members[1].result, ParamType::kDispatch);
    EXPECT_EQ(typelib::FindInterface(info->iid), info);
  }
  EXPECT_EQ(iids.size(), 25u);
  EXPECT_FALSE(iids.count(FormatGuid(typelib::kLibraryId)));
  EXPECT_EQ(FormatGuid(IDocument::IID), "{7B0236CC-101C-44B3-880A-566C01DBB06E}");
  EXPECT_EQ(FormatGuid(typelib::kApplicationClassId), "{9057EE2D-3F06-443D-B622-C5CF38297850}");
}

// Each member takes one vtable slot; ids count slots from 0x60020000, a
// put after its get shares the get's id; Item, IApplication.Name and
// _NewEnum take their fixed ids.
TEST(Typelib, DispatchIdsFollowTheNumberingRule) {
  for (const InterfaceInfo* info : typelib::Interfaces()) {
    SCOPED_TRACE(info->name);
    for (std::size_t slot = 0; slot < info->members.size(); ++slot) {
      const MemberInfo& m = info->members[slot];
      const std::string name = m.name;
      DISPID expected = typelib::kFirstMemberId + static_cast<DISPID>(slot);
      if (name == "Item" || (name == "Name" && std::string_view(info->name) == "IApplication"))
        expected = DISPID_VALUE;
      else if (name == "_NewEnum")
        expected = DISPID_NEWENUM;
      if (m.kind == MemberKind::kPut && slot > 0 && info->members[slot - 1].name == name)
        expected = info->members[slot - 1].id;
      EXPECT_EQ(m.id, expected) << name;
      EXPECT_NE(m.invoke, nullptr) << name;
      // Defaults belong to optional parameters, and every optional
      // parameter but a VARIANT* has one.
      for (const ParamInfo& p : m.params)
        EXPECT_EQ(p.optional && p.type != ParamType::kVariantPtr, p.default_value != nullptr) << name;
    }
  }
}

DISPID IdOf(const char* iface, const char* member, MemberKind kind) {
  for (const MemberInfo& m : typelib::FindInterface(iface)->members)
    if (std::string_view(m.name) == member && m.kind == kind) return m.id;
  return DISPID_UNKNOWN;
}

TEST(Typelib, NamedExamples) {
  struct Row {
    const char* iface;
    const char* member;
    MemberKind kind;
    DISPID offset;
  } const rows[] = {
      {"IDocument", "ChannelSelection", MemberKind::kGet, 7},
      {"IDocument", "ChannelSelection", MemberKind::kPut, 7},
      {"IDocument", "Close", MemberKind::kMethod, 9},
      {"IDocument", "Title", MemberKind::kGet, 33},
      {"IApplication", "StatusBar", MemberKind::kPut, 25},
      {"IApplication", "Visible", MemberKind::kPut, 28},
      {"IDocuments", "MixWrite", MemberKind::kMethod, 8},
      {"ISoundClip", "Text", MemberKind::kGet, 11},
      {"IText", "Items", MemberKind::kMethod, 6},
  };
  for (const Row& r : rows)
    EXPECT_EQ(IdOf(r.iface, r.member, r.kind), typelib::kFirstMemberId + r.offset) << r.iface << "." << r.member;
  EXPECT_EQ(IdOf("IApplication", "Name", MemberKind::kGet), DISPID_VALUE);
  EXPECT_EQ(IdOf("IText", "Item", MemberKind::kPut), DISPID_VALUE);
  EXPECT_EQ(IdOf("ILabels", "_NewEnum", MemberKind::kGet), DISPID_NEWENUM);

  // Parameters and defaults as scripts see them.
  const InterfaceInfo* popup = typelib::FindInterface("IPopup");
  const MemberInfo& input = popup->members[2];
  ASSERT_EQ(input.params.size(), 7u);
  EXPECT_STREQ(input.params[3].name, "xpos");
  EXPECT_STREQ(input.params[3].default_value, "-2147483648");
  EXPECT_EQ(input.result, ParamType::kBstr);
}

// A label through the generated ILabel table.
class StubLabel final : public CBase<StubLabel, ILabel> {
 public:
  double position = 0;
  std::string name, comment;

  HRESULT get_Application(IApplication** out) override {
    *out = nullptr;
    return S_FALSE;
  }
  HRESULT get_Parent(IDispatch** out) override {
    *out = nullptr;
    return E_ACCESSDENIED;
  }
  HRESULT get_Comments(BSTR* out) override { return Give(comment, out); }
  HRESULT get_Name(BSTR* out) override { return Give(name, out); }
  HRESULT get_Position(double* out) override {
    *out = position;
    return S_OK;
  }
  HRESULT Remove() override { return S_OK; }
  HRESULT Set(double p, BSTR n, BSTR c) override {
    position = p;
    name = BstrToUtf8(n);
    comment = BstrToUtf8(c);
    return S_OK;
  }

 private:
  static HRESULT Give(const std::string& s, BSTR* out) {
    *out = BstrFromUtf8(s);
    return S_OK;
  }
};

TEST(Typelib, GeneratedTablesDispatchToTheCppMembers) {
  const long before = LiveObjectCount();
  {
    auto label = ComRef<StubLabel>::Adopt(new StubLabel);
    IDispatch* d = label->dispatch();
    using namespace testing;
    EXPECT_EQ(Method(d, "set", {V("2.5"), V("Intro"), V(LONG{7})}).hr, S_OK);
    EXPECT_EQ(label->position, 2.5);
    EXPECT_EQ(label->comment, "7");
    EXPECT_EQ(Text(Get(d, "NAME").value), "Intro");
    EXPECT_EQ(Get(d, "Position").value.dblVal, 2.5);
    EXPECT_EQ(Method(d, "Set", {V(1.0), V("x")}).hr, DISP_E_BADPARAMCOUNT);
    CallResult app = Get(d, "Application");
    EXPECT_EQ(app.hr, S_FALSE);
    EXPECT_EQ(app.value.vt, VT_DISPATCH);
    EXPECT_EQ(app.value.pdispVal, nullptr);
    CallResult parent = Get(d, "Parent");
    EXPECT_EQ(parent.hr, E_ACCESSDENIED);
    EXPECT_EQ(parent.value.vt, VT_EMPTY);
    EXPECT_EQ(QueryAs<ILabel>(d).get(), static_cast<ILabel*>(label.get()));
    EXPECT_FALSE(QueryAs<IDocument>(d));
  }
  EXPECT_EQ(LiveObjectCount(), before);
}

}  // namespace
}  // namespace tidemark::com
