// The object model's members through IDispatch, as a script engine calls
// them: the edge cases of every interface, the error contract in its order,
// identity, the collection's states, enumeration, detaching and the project
// switch. Every test ends with no automation object alive.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "automation/model/model_ops.h"
#include "core/edit/sound_clip.h"
#include "config/error_messages.h"
#include "config/text_catalogue.h"
#include "platform/message_queue.h"
#include "tests/automation/model_test_support.h"

namespace tidemark::NS_SCRIPT {
namespace {

using namespace testing;

class Model : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    docs_ = Get(app(), "Documents").object();
    ASSERT_TRUE(docs_);
  }
  IDispatch* docs() { return docs_; }
  // A stereo 4000 Hz file of `ms` milliseconds: left alternating +-`left`,
  // right `dc`.
  std::string Sound(const std::string& name, std::uint32_t ms, double left = 0.5, double dc = 0.25) {
    const std::string path = File(name);
    WriteWav(path, 4000, 2, ms * 4, [&](std::uint32_t i, std::uint16_t c) {
      return c == 0 ? (i % 2 ? left : -left) : dc;
    });
    return path;
  }

  IDispatch* docs_ = nullptr;  // the application's own (embedded) collection
};

TEST_F(Model, AddChecksRateAndChannels) {
  struct Row {
    LONG rate;
    LONG channels;
    bool ok;
  } rows[] = {{3999, 1, false}, {384001, 2, false}, {44100, 3, false}, {4000, 1, true}, {384000, 2, true}};
  for (const Row& r : rows) {
    Result doc = Method(docs(), "Add", {V(r.rate), V(r.channels)});
    EXPECT_EQ(doc.hr, r.ok ? S_OK : E_INVALIDARG) << r.rate << " " << r.channels;
    if (!r.ok) continue;
    EXPECT_EQ(Get(doc.object(), "BitsPerSample").number(), 16);
    EXPECT_EQ(Get(doc.object(), "Channels").number(), r.channels);
    EXPECT_EQ(Get(doc.object(), "SampleRate").number(), r.rate);
  }
  EXPECT_EQ(Get(docs(), "Count").number(), 2);
}

TEST_F(Model, OpeningAnOpenFileGivesTheSameObjectAndActivatesIt) {
  const std::string a = Sound("a.wav", 100), b = Sound("b.wav", 100);
  IDispatch* first = Keep(Method(docs(), "Open", {V(a.c_str())}));
  Keep(Method(docs(), "Open", {V(b.c_str())}));
  EXPECT_NE(host_.active_, nullptr);
  const SoundDocument* of_b = host_.active_;
  IDispatch* again = Keep(Method(docs(), "Open", {V(a.c_str())}));
  EXPECT_EQ(again, first);
  EXPECT_NE(host_.active_, of_b);
  EXPECT_EQ(Get(docs(), "Count").number(), 2);
  // ActiveDocument and Item give the same object too.
  EXPECT_EQ(Keep(Get(app(), "ActiveDocument")), first);
  EXPECT_EQ(Keep(Get(docs(), "Item", {V(LONG{0})})), first);
  EXPECT_EQ(Get(docs(), "Item", {V(LONG{2})}).hr, E_INVALIDARG);
  EXPECT_EQ(Method(docs(), "Open", {V("")}).hr, E_INVALIDARG);
}

TEST_F(Model, ClosedDocumentAnswersAccessDenied) {
  IDispatch* doc = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{2})}));
  IDispatch* labels = Keep(Get(doc, "Labels"));
  ASSERT_EQ(Method(doc, "Close").hr, S_OK);
  EXPECT_EQ(Get(doc, "Length").hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(doc, "Parent").hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(labels, "Count").hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(docs(), "Count").number(), 1);
  EXPECT_EQ(host_.docs_.size(), 1u);
}

TEST_F(Model, ActiveDocumentWithoutDocumentIsSFalse) {
  const Result r = Get(app(), "ActiveDocument");
  EXPECT_EQ(r.hr, S_FALSE);
  EXPECT_EQ(r.object(), nullptr);
}

TEST_F(Model, SelectionPropertiesClamp) {
  // One second at 4000 Hz.
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("s.wav", 1000).c_str())}));
  struct Row {
    double from0, to0;  // the selection before
    const char* property;
    double value;
    double from, to;  // after
  } rows[] = {
      {0.2, 0.6, "SelectionFrom", -1, 0, 0.6},
      {0.2, 0.6, "SelectionTo", -1, 0, 0},
      {0.2, 0.6, "SelectionFrom", 5, 1, 1},
      {0.2, 0.6, "SelectionTo", 0.1, 0.1, 0.1},
      {0.2, 0.6, "SelectionTo", 0.0001, 0, 0},  // rounds to frame 0
      {0.2, 0.6, "SelectionFrom", 0.000125, 0.00025, 0.6},  // half a frame rounds up
  };
  for (const Row& r : rows) {
    ASSERT_EQ(Put(doc, "SelectionTo", V(r.to0)).hr, S_OK);
    ASSERT_EQ(Put(doc, "SelectionFrom", V(r.from0)).hr, S_OK);
    ASSERT_EQ(Put(doc, r.property, V(r.value)).hr, S_OK);
    EXPECT_DOUBLE_EQ(Get(doc, "SelectionFrom").number(), r.from) << r.property << " " << r.value;
    EXPECT_DOUBLE_EQ(Get(doc, "SelectionTo").number(), r.to) << r.property << " " << r.value;
  }
}

TEST_F(Model, ChannelSelectionIsMaskedAndIgnoredForMono) {
  IDispatch* stereo = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{2})}));
  IDispatch* mono = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  EXPECT_EQ(Put(stereo, "ChannelSelection", V(LONG{6})).hr, S_OK);
  EXPECT_EQ(Get(stereo, "ChannelSelection").number(), 2);
  EXPECT_EQ(Put(mono, "ChannelSelection", V(LONG{2})).hr, S_OK);
  EXPECT_EQ(Get(mono, "ChannelSelection").number(), 1);
}

TEST_F(Model, FileWritersAndVisible) {
  EXPECT_EQ(Method(app(), "CreateFileWriter", {V("FLAC")}).hr, S_OK);
  EXPECT_EQ(Method(app(), "CreateFileWriter", {V("wma")}).hr, S_OK);
  EXPECT_EQ(Method(app(), "CreateFileWriter", {V("ogg")}).hr, E_INVALIDARG);
  EXPECT_EQ(Method(app(), "CreateFileWriter_WMA").hr, S_OK);
  EXPECT_EQ(Put(app(), "Visible", VBool(true)).hr, E_NOTIMPL);
  EXPECT_EQ(Get(app(), "Name").text(), "Tidemark");
  EXPECT_EQ(Get(app(), "Version").text(), "1.8.5.2");
}

TEST_F(Model, SaveAsTakesFormatWords) {
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("f.wav", 200).c_str())}));
  struct Row {
    const char* words;
    HRESULT hr;
  } rows[] = {{"Raw16", E_INVALIDARG}, {"Wave16Signed", E_INVALIDARG}, {"WaveFloatDouble", E_INVALIDARG},
              {"Wave 24", S_OK},       {"RawBigEndian16", S_OK},       {"AIFF16", S_OK}};
  int n = 0;
  for (const Row& r : rows) {
    const std::string target = File("out" + std::to_string(n++) + ".bin");
    EXPECT_EQ(Method(doc, "SaveAs", {V(target.c_str()), V(r.words)}).hr, r.hr) << r.words;
    EXPECT_EQ(std::filesystem::exists(target), r.hr == S_OK) << r.words;
    if (r.hr == S_OK) {
      EXPECT_EQ(ParsePcmFileSample(Get(doc, "PcmFileSample").text()), ParsePcmFileSample(r.words));
    }
  }
  EXPECT_EQ(Method(doc, "SaveAs", {V(""), V("")}).hr, E_INVALIDARG);
}

TEST_F(Model, WaveformInfoKeysAndWeighting) {
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("w.wav", 2000).c_str())}));
  ASSERT_EQ(Put(doc, "SelectionTo", V(2.0)).hr, S_OK);
  IDispatch* lower = Keep(Method(doc, "GetWaveformInfo", {V("a")}));
  IDispatch* upper = Keep(Method(doc, "GetWaveformInfo", {V("A")}));
  EXPECT_EQ(Get(lower, "Item", {V("Rms")}).number(), Get(upper, "Item", {V("Rms")}).number());
  EXPECT_EQ(Method(doc, "GetWaveformInfo", {V("Z")}).hr, E_INVALIDARG);
  IDispatch* flat = Keep(Method(doc, "GetWaveformInfo"));
  EXPECT_NEAR(Get(flat, "Item", {V("Offset"), V(LONG{1})}).number(), 0.25, 1e-3);
  EXPECT_NEAR(Get(flat, "Item", {V("InstantPeak")}).number(), 0.5, 1e-3);
  EXPECT_EQ(Get(flat, "Item", {V("Rms"), V(LONG{0})}).hr, E_INVALIDARG);
  EXPECT_EQ(Get(flat, "Item", {V("Offset"), V(LONG{2})}).hr, E_INVALIDARG);
  EXPECT_EQ(Get(flat, "Item", {V("")}).hr, E_INVALIDARG);
}

TEST_F(Model, GainAndOffsetChangeTheSelection) {
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("g.wav", 1000).c_str())}));
  ASSERT_EQ(Put(doc, "SelectionTo", V(1.0)).hr, S_OK);
  EXPECT_EQ(Method(doc, "AddGain", {V(std::nan(""))}).hr, E_INVALIDARG);
  EXPECT_EQ(Method(doc, "AddGain", {V(0.5), V(HUGE_VAL)}).hr, E_INVALIDARG);
  EXPECT_EQ(Get(doc, "Saved").number(), -1);  // refused calls changed nothing
  ASSERT_EQ(Method(doc, "AddGain", {V(0.5), V("2")}).hr, S_OK);
  IDispatch* info = Keep(Method(doc, "GetWaveformInfo"));
  EXPECT_NEAR(Get(info, "Item", {V("InstantMax"), V(LONG{0})}).number(), 0.25, 1e-3);
  EXPECT_NEAR(Get(info, "Item", {V("Offset"), V(LONG{1})}).number(), 0.5, 1e-3);
  EXPECT_EQ(Get(doc, "Saved").number(), 0);
  // Without arguments the offsets are measured and removed.
  ASSERT_EQ(Method(doc, "AddOffset").hr, S_OK);
  info = Keep(Method(doc, "GetWaveformInfo"));
  EXPECT_NEAR(Get(info, "Item", {V("Offset"), V(LONG{1})}).number(), 0.0, 1e-3);
  ASSERT_EQ(Method(doc, "AddOffset", {V(0.125)}).hr, S_OK);
  info = Keep(Method(doc, "GetWaveformInfo"));
  EXPECT_NEAR(Get(info, "Item", {V("Offset"), V(LONG{0})}).number(), 0.125, 1e-3);
  EXPECT_NEAR(Get(info, "Item", {V("Offset"), V(LONG{1})}).number(), 0.125, 1e-3);
}

TEST_F(Model, DeleteWithSilence) {
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("d.wav", 1000).c_str())}));
  ASSERT_EQ(Put(doc, "SelectionTo", V(0.5)).hr, S_OK);
  EXPECT_EQ(Method(doc, "Delete", {V(-0.5)}).hr, E_INVALIDARG);
  EXPECT_DOUBLE_EQ(Get(doc, "Length").number(), 1.0);
  ASSERT_EQ(Method(doc, "Delete").hr, S_OK);
  EXPECT_DOUBLE_EQ(Get(doc, "Length").number(), 0.5);
  ASSERT_EQ(Put(doc, "SelectionTo", V(0.1)).hr, S_OK);
  ASSERT_EQ(Method(doc, "Delete", {V(0.25)}).hr, S_OK);
  EXPECT_DOUBLE_EQ(Get(doc, "Length").number(), 0.65);
}

TEST_F(Model, TimeStretchRanges) {
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("t.wav", 1000).c_str())}));
  ASSERT_EQ(Put(doc, "SelectionTo", V(1.0)).hr, S_OK);
  EXPECT_EQ(Method(doc, "TimeStretch", {V(0.09)}).hr, E_INVALIDARG);
  EXPECT_EQ(Method(doc, "TimeStretch", {V(10.0)}).hr, S_OK);
  EXPECT_EQ(Method(doc, "TimeStretch", {V(0.1)}).hr, S_OK);
  EXPECT_EQ(Method(doc, "TimeStretch2", {V(0.49), V(1.0)}).hr, E_INVALIDARG);
  EXPECT_EQ(Method(doc, "TimeStretch2", {V(1.0), V(2.01)}).hr, E_INVALIDARG);
}

TEST_F(Model, TextFieldsAndAppPrivate) {
  IDispatch* doc = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  IDispatch* text = Keep(Get(doc, "Text"));
  EXPECT_EQ(Keep(Get(doc, "Text")), text);
  ASSERT_EQ(Call(text, "Item", DISPATCH_PROPERTYPUT, {V("artist"), V("Someone")}).hr, S_OK);
  EXPECT_EQ(Get(text, "Item", {V("ARTIST")}).text(), "Someone");
  EXPECT_EQ(host_.docs_[0]->metadata[InfoText::Artist].value_or(""), "Someone");
  EXPECT_EQ(Get(text, "Item", {V("Album")}).hr, E_INVALIDARG);
  EXPECT_EQ(Get(text, "Item", {V("Genre")}).text(), "");
  // A list holding the separator, quotes and backslashes comes back whole.
  const char* items[] = {"a,b", "\"q\"", "back\\slash", ""};
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, 4);
  for (LONG i = 0; i < 4; ++i) {
    Variant v;
    VariantSetString(&v, items[i]);
    ASSERT_EQ(SafeArrayPutElement(psa, &i, &v), S_OK);
  }
  ASSERT_EQ(Method(text, "SetAppPrivate", {VArray(psa)}).hr, S_OK);
  const Result back = Method(text, "GetAppPrivate");
  ASSERT_EQ(back.hr, S_OK);
  ASSERT_EQ(back.value.vt, VT_ARRAY | VT_VARIANT);
  LONG hi = -1;
  ASSERT_EQ(SafeArrayGetUBound(back.value.parray, 1, &hi), S_OK);
  ASSERT_EQ(hi, 3);
  for (LONG i = 0; i < 4; ++i) {
    Variant v;
    ASSERT_EQ(SafeArrayGetElement(back.value.parray, &i, &v), S_OK);
    EXPECT_EQ(BstrToUtf8(v.bstrVal), items[i]);
  }
  // Arrays of another shape or element type are refused.
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
  EXPECT_EQ(Method(text, "SetAppPrivate", {VArray(SafeArrayCreate(VT_VARIANT, 2, bounds))}).hr, E_INVALIDARG);
  EXPECT_EQ(Method(text, "SetAppPrivate", {VArray(SafeArrayCreateVector(VT_BSTR, 0, 1))}).hr != S_OK, true);
  const Result keys = Method(text, "Keys");
  ASSERT_EQ(SafeArrayGetUBound(keys.value.parray, 1, &hi), S_OK);
  EXPECT_EQ(hi, 18);
}

TEST_F(Model, LabelsAddRemoveAndDetach) {
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("l.wav", 1000).c_str())}));
  IDispatch* labels = Keep(Get(doc, "Labels"));
  IDispatch* late = Keep(Method(labels, "Add", {V(0.75), V("late"), V("c2")}));
  IDispatch* early = Keep(Method(labels, "Add", {V(0.25), V("early"), V("c1")}));
  Keep(Method(labels, "Add", {V(9.0), V("clamped"), V("")}));
  EXPECT_EQ(Get(labels, "Count").number(), 3);
  EXPECT_EQ(Keep(Get(labels, "Item", {V(LONG{0})})), early);  // in position order, one object per label
  EXPECT_DOUBLE_EQ(Get(Keep(Get(labels, "Item", {V(LONG{2})})), "Position").number(), 1.0);
  EXPECT_EQ(Get(labels, "Item", {V(LONG{3})}).hr, E_INVALIDARG);
  EXPECT_EQ(Get(doc, "Saved").number(), 0);
  ASSERT_EQ(Method(late, "Set", {V(0.5), V("middle"), V("c3")}).hr, S_OK);
  EXPECT_EQ(Get(late, "Name").text(), "middle");
  EXPECT_DOUBLE_EQ(Get(late, "Position").number(), 0.5);
  EXPECT_EQ(Keep(Get(labels, "Item", {V(LONG{1})})), late);
  ASSERT_EQ(Method(early, "Remove").hr, S_OK);
  EXPECT_EQ(Get(labels, "Count").number(), 2);
  EXPECT_EQ(Get(early, "Parent").hr, E_ACCESSDENIED);
  EXPECT_EQ(Method(early, "Remove").hr, E_ACCESSDENIED);
  EXPECT_EQ(Method(early, "Set", {V(0.1), V("x"), V("y")}).hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(early, "Name").text(), "early");
  ASSERT_EQ(Method(labels, "RemoveAll").hr, S_OK);
  EXPECT_EQ(Get(labels, "Count").number(), 0);
  EXPECT_EQ(Get(late, "Parent").hr, E_ACCESSDENIED);
}

TEST_F(Model, EnumerationGivesTheCollectionsObjectsInOrder) {
  IDispatch* a = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  IDispatch* b = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{2})}));
  Result e = Get(docs(), "_NewEnum");
  ASSERT_EQ(e.hr, S_OK);
  ASSERT_TRUE(e.value.vt == VT_UNKNOWN || e.value.vt == VT_DISPATCH);
  ComRef<IEnumVARIANT> en = QueryAs<IEnumVARIANT>(e.value.punkVal);
  ASSERT_TRUE(en);
  VARIANT items[3];
  for (VARIANT& v : items) VariantInit(&v);
  ULONG fetched = 0;
  EXPECT_EQ(en->Next(3, items, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_TRUE(SameObject(items[0].pdispVal, a));
  EXPECT_TRUE(SameObject(items[1].pdispVal, b));
  for (VARIANT& v : items) VariantClear(&v);
  en = {};
}

TEST_F(Model, ErrorContractOrder) {
  IDispatch* doc = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  CDoc* own = dynamic_cast<CDoc*>(static_cast<IDocument*>(doc));
  ASSERT_TRUE(own);
  // 1: a null out-pointer first, even on a detached object.
  ASSERT_EQ(Method(doc, "Close").hr, S_OK);
  EXPECT_EQ(own->get_Length(nullptr), E_INVALIDARG);
  // 2: detached before ranges.
  EXPECT_EQ(own->put_SampleRate(1), E_ACCESSDENIED);
  EXPECT_EQ(own->Delete(-1), E_ACCESSDENIED);
  // 3: ranges; 4: an application error as E_FAIL with the catalogue's text.
  IDispatch* live = Keep(Method(docs(), "Open", {V(Sound("e.wav", 100).c_str())}));
  EXPECT_EQ(Put(live, "SampleRate", V(LONG{3999})).hr, E_INVALIDARG);
  ASSERT_EQ(Put(live, "SelectionTo", V(0.1)).hr, S_OK);
  (void)SetErrorInfo(0, nullptr);
  const Result r = Method(live, "EffectChain", {V("no such chain")});
  if (r.hr == E_FAIL) {
    ComRef<IErrorInfo> info;
    IErrorInfo* raw = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &raw), S_OK);
    info = ComRef<IErrorInfo>::Adopt(raw);
    BSTR source = nullptr, description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    EXPECT_EQ(BstrToUtf8(source), "Tidemark.Application");
    // No chain file at all, or one without the name: 0x40002 either way.
    EXPECT_FALSE(DescribeError(Error{0x40002}).empty());
    EXPECT_EQ(BstrToUtf8(description), DescribeError(Error{0x40002}));
    GUID guid;
    info->GetGUID(&guid);
    EXPECT_TRUE(guid == IDocument::IID);
    SysFreeString(source);
    SysFreeString(description);
  } else {
    ADD_FAILURE() << "EffectChain of a missing chain answered " << HResultName(r.hr);
  }
}

TEST_F(Model, SourceObjectsForReplaceAndAddSoundClip) {
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("r.wav", 1000).c_str())}));
  ASSERT_EQ(Put(doc, "SelectionTo", V(0.5)).hr, S_OK);
  EXPECT_EQ(Method(docs(), "AddSoundClip", {V(LONG{1})}).hr, E_INVALIDARG);
  EXPECT_EQ(Method(docs(), "AddSoundClip", {VDisp(Keep(Get(doc, "Labels")))}).hr, E_INVALIDARG);
  // A document as source: a clip of its selection.
  IDispatch* copy = Keep(Method(docs(), "AddSoundClip", {VDisp(doc)}));
  EXPECT_DOUBLE_EQ(Get(copy, "Length").number(), 0.5);
  IDispatch* clip = Keep(Method(doc, "CreateSoundClip"));
  EXPECT_TRUE(SameObject(Keep(Get(clip, "Parent")), doc));
  IDispatch* part = Keep(Method(clip, "CreateSoundClip", {V(0.1), V(0.3)}));
  EXPECT_DOUBLE_EQ(Get(part, "Length").number(), 0.2);
  IDispatch* empty = Keep(Method(clip, "CreateSoundClip", {V(0.1), V(-1.0)}));
  EXPECT_DOUBLE_EQ(Get(empty, "Length").number(), 0.0);
  // Replacing half a second by 0.2 s shortens the document by 0.3 s.
  ASSERT_EQ(Method(doc, "Replace", {VDisp(part)}).hr, S_OK);
  EXPECT_DOUBLE_EQ(Get(doc, "Length").number(), 0.7);
  // A clip of another rate is converted to the document's.
  ASSERT_EQ(Put(part, "SampleRate", V(LONG{8000})).hr, S_OK);
  ASSERT_EQ(Put(doc, "SelectionFrom", V(0.0)).hr, S_OK);
  ASSERT_EQ(Put(doc, "SelectionTo", V(0.0)).hr, S_OK);
  ASSERT_EQ(Method(doc, "Replace", {VDisp(part)}).hr, S_OK);
  EXPECT_NEAR(Get(doc, "Length").number(), 0.8, 0.002);
}

TEST_F(Model, MixWriteAlignsAtTheStartAndGuardsTheSum) {
  EXPECT_EQ(Method(docs(), "MixWrite", {V(File("none.wav").c_str())}).hr, E_ACCESSDENIED);
  // Two full-scale documents of different lengths: the sum would clip.
  Keep(Method(docs(), "Open", {V(Sound("m1.wav", 1000, 1.0, 0.5).c_str())}));
  Keep(Method(docs(), "Open", {V(Sound("m2.wav", 400, 1.0, 0.5).c_str())}));
  EXPECT_EQ(Method(docs(), "MixWrite", {V(""), V("")}).hr, E_INVALIDARG);
  EXPECT_EQ(Method(docs(), "MixWrite", {V(File("bad.wav").c_str()), V("Raw16")}).hr, E_INVALIDARG);
  const std::string out = File("mix.wav");
  ASSERT_EQ(Method(docs(), "MixWrite", {V(out.c_str())}).hr, S_OK);
  IDispatch* mix = Keep(Method(docs(), "Open", {V(out.c_str())}));
  EXPECT_DOUBLE_EQ(Get(mix, "Length").number(), 1.0);
  EXPECT_EQ(Get(mix, "PcmFileSample").text(), "Wave16");
  ASSERT_EQ(Put(mix, "SelectionTo", V(1.0)).hr, S_OK);
  IDispatch* info = Keep(Method(mix, "GetWaveformInfo"));
  // Peak 2 scaled to full scale: the right channel's 1.0 (both) becomes 0.5.
  EXPECT_NEAR(Get(info, "Item", {V("InstantPeak")}).number(), 1.0, 1e-3);
  ASSERT_EQ(Put(mix, "SelectionFrom", V(0.5)).hr, S_OK);
  info = Keep(Method(mix, "GetWaveformInfo"));
  EXPECT_NEAR(Get(info, "Item", {V("Offset"), V(LONG{1})}).number(), 0.25, 1e-3);  // the longer alone
}

TEST_F(Model, MixWriteCountsNonFiniteSamplesAsZero) {
  std::vector<float> samples(4000, 0.25f);
  samples[10] = std::nanf("");
  samples[20] = HUGE_VALF;
  samples[30] = -HUGE_VALF;
  const std::string bad = File("nan.wav");
  WriteFloatWav(bad, 4000, samples);
  Keep(Method(docs(), "Open", {V(bad.c_str())}));
  Keep(Method(docs(), "Open", {V(Sound("plain.wav", 1000, 0.5, 0.5).c_str())}));
  const std::string out = File("mixnan.wav");
  ASSERT_EQ(Method(docs(), "MixWrite", {V(out.c_str()), V("WaveFloat")}).hr, S_OK);
  IDispatch* mix = Keep(Method(docs(), "Open", {V(out.c_str())}));
  ASSERT_EQ(Put(mix, "SelectionTo", V(1.0)).hr, S_OK);
  IDispatch* info = Keep(Method(mix, "GetWaveformInfo"));
  // The mono mix: 0.25 + mean(+-0.5, 0.5) peaks at 0.75, no guard needed.
  EXPECT_NEAR(Get(info, "Item", {V("InstantPeak")}).number(), 0.75, 1e-6);
  EXPECT_TRUE(std::isfinite(Get(info, "Item", {V("Rms")}).number()));
  // Frames 10 and 20 (NaN, +inf) take only the other document's 0 there.
  for (const double start : {0.0025, 0.005}) {
    ASSERT_EQ(Put(mix, "SelectionFrom", V(0.0)).hr, S_OK);
    ASSERT_EQ(Put(mix, "SelectionTo", V(start + 0.00025)).hr, S_OK);
    ASSERT_EQ(Put(mix, "SelectionFrom", V(start)).hr, S_OK);
    info = Keep(Method(mix, "GetWaveformInfo"));
    EXPECT_EQ(Get(info, "Item", {V("InstantMax"), V(LONG{0})}).number(), 0.0) << start;
    EXPECT_EQ(Get(info, "Item", {V("InstantMin"), V(LONG{0})}).number(), 0.0) << start;
  }
}

TEST_F(Model, ProjectSwitchDetachesEveryObject) {
  IDispatch* doc = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  IDispatch* text = Keep(Get(doc, "Text"));
  ASSERT_EQ(Put(app(), "Project", V(dir_.c_str())).hr, S_OK);
  EXPECT_EQ(host_.switches_, 1);
  EXPECT_EQ(Get(doc, "Length").hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(text, "Item", {V("Name")}).hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(app(), "Project").text(), dir_.string());
  // The same folder again changes nothing.
  ASSERT_EQ(Put(app(), "Project", V(dir_.c_str())).hr, S_OK);
  EXPECT_EQ(host_.switches_, 1);
  // The collection object the application holds was detached too; a new
  // one is reached through the application.
}

TEST_F(Model, PopupWithoutTerminalTakesDefaults) {
  IDispatch* popup = Keep(Get(app(), "Popup"));
  EXPECT_EQ(Method(popup, "MsgBox", {V("")}).hr, E_INVALIDARG);
  struct Row {
    LONG buttons;
    double id;
  } rows[] = {{0, 1}, {1, 1}, {1 | 256, 2}, {3 | 512, 2}, {4 | 256, 7}, {2 | 768, 3}};
  for (const Row& r : rows) EXPECT_EQ(Method(popup, "MsgBox", {V("prompt"), V(r.buttons)}).number(), r.id) << r.buttons;
  EXPECT_EQ(Method(popup, "InputBox", {V("name?"), V(""), V("given")}).text(), "given");
  EXPECT_EQ(Method(popup, "InputBox", {V("name?")}).text(), "");
}

TEST_F(Model, SystemTempNamesTicksAndSleep) {
  IDispatch* system = Keep(Get(app(), "System"));
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  const Result made = Method(system, "CreateTemp", {V(""), V("ab"), VBool(true)});
  std::filesystem::current_path(old);
  ASSERT_EQ(made.hr, S_OK);
  const std::filesystem::path p(made.text());
  EXPECT_TRUE(std::filesystem::is_directory(p));
  EXPECT_EQ(p.parent_path(), std::filesystem::canonical(dir_));
  const std::string name = p.filename().string();
  ASSERT_EQ(name.size(), 10u);
  EXPECT_EQ(name.substr(0, 2), "ab");
  EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", 2), 6u);
  EXPECT_EQ(name.substr(6), ".tmp");
  const Result file = Method(system, "MakeTemp", {V(dir_.c_str()), V("cd")});
  EXPECT_TRUE(std::filesystem::is_regular_file(file.text()));
  EXPECT_EQ(Method(system, "GetTickCount").value.vt, VT_I4);
  // Sleeping runs the machine's command; a stand-in keeps the test machine awake.
  ::setenv("TIDEMARK_SUSPEND_COMMAND", "/bin/false", 1);
  EXPECT_EQ(Method(system, "SetSuspendState", {VBool(false), VBool(false), VBool(true)}).hr, E_FAIL);
  ::setenv("TIDEMARK_SUSPEND_COMMAND", "/bin/true", 1);
  EXPECT_EQ(Method(system, "SetSuspendState", {VBool(false), VBool(false), VBool(true)}).number(), -1);
  EXPECT_EQ(Method(system, "SetSuspendState", {VBool(false), VBool(false), VBool(false)}).hr, E_ACCESSDENIED);
  ::unsetenv("TIDEMARK_SUSPEND_COMMAND");
}

TEST_F(Model, CdObjectsAnswerError80FromTheDrive) {
  IDispatch* reader = Keep(Method(app(), "CreateCdReader"));
  IDispatch* writer = Keep(Method(app(), "CreateCdWriter"));
  (void)SetErrorInfo(0, nullptr);
  EXPECT_EQ(Get(reader, "DriveName").hr, E_FAIL);
  IErrorInfo* raw = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &raw), S_OK);
  const ComRef<IErrorInfo> info = ComRef<IErrorInfo>::Adopt(raw);
  BSTR description = nullptr;
  info->GetDescription(&description);
  EXPECT_FALSE(DescribeError(Error{80}).empty());
  EXPECT_EQ(BstrToUtf8(description), DescribeError(Error{80}));
  SysFreeString(description);
  EXPECT_EQ(Method(reader, "Eject").hr, E_FAIL);
  EXPECT_EQ(Method(writer, "Write").hr, E_FAIL);
  EXPECT_EQ(Put(reader, "SampleRate", V(LONG{48000})).hr, S_OK);
  EXPECT_EQ(Get(reader, "SampleRate").number(), 48000);
  IDispatch* tracks = Keep(Get(writer, "Tracks"));
  EXPECT_TRUE(SameObject(Keep(Get(tracks, "Parent")), writer));
}

TEST_F(Model, ClipboardTakesDocumentsAndClipsOnly) {
  IDispatch* doc = Keep(Method(docs(), "Open", {V(Sound("c.wav", 1000).c_str())}));
  ASSERT_EQ(Put(doc, "SelectionTo", V(0.25)).hr, S_OK);
  ASSERT_EQ(Put(app(), "Clipboard", VDisp(doc)).hr, S_OK);
  IDispatch* clip = Keep(Get(app(), "Clipboard"));
  EXPECT_DOUBLE_EQ(Get(clip, "Length").number(), 0.25);
  IDispatch* part = Keep(Method(clip, "CreateSoundClip", {V(0.0), V(0.1)}));
  ASSERT_EQ(Put(app(), "Clipboard", VDisp(part)).hr, S_OK);
  EXPECT_DOUBLE_EQ(Get(Keep(Get(app(), "Clipboard")), "Length").number(), 0.1);
  EXPECT_EQ(Put(app(), "Clipboard", V(LONG{3})).hr, E_INVALIDARG);
  EXPECT_EQ(Put(app(), "Clipboard", VDisp(Keep(Get(doc, "Labels")))).hr, E_INVALIDARG);
  const ComRef<ForeignClip> foreign = ComRef<ForeignClip>::Adopt(new ForeignClip);
  EXPECT_EQ(Put(app(), "Clipboard", VDisp(foreign->dispatch())).hr, E_UNEXPECTED);
  EXPECT_EQ(Method(doc, "Replace", {VDisp(foreign->dispatch())}).hr, E_UNEXPECTED);
  ASSERT_EQ(Method(doc, "Close").hr, S_OK);
  EXPECT_EQ(Put(app(), "Clipboard", VDisp(doc)).hr, E_ACCESSDENIED);
  (void)SetCurrentClip(ClipRef());
}

TEST_F(Model, HeldObjectsOutliveTheirHolders) {
  IDispatch* doc = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  Result label;
  Result tracks;
  {
    const Result labels = Get(doc, "Labels");
    label = Method(labels.object(), "Add", {V(0.0), V("kept"), V("")});
    const Result writer = Method(app(), "CreateCdWriter");
    tracks = Get(writer.object(), "Tracks");
  }
  // Their collection and writer are gone: the objects answer, detached.
  EXPECT_EQ(Get(label.object(), "Name").text(), "kept");
  EXPECT_EQ(Get(label.object(), "Parent").hr, E_ACCESSDENIED);
  EXPECT_EQ(Method(label.object(), "Remove").hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(tracks.object(), "Parent").hr, E_ACCESSDENIED);
  // A new collection finds the label still in the document.
  EXPECT_EQ(Get(Keep(Get(doc, "Labels")), "Count").number(), 1);
}

TEST_F(Model, StatusBarReachesTheHost) {
  ASSERT_EQ(Put(app(), "StatusBar", V("working")).hr, S_OK);
  EXPECT_EQ(host_.status_, "working");
}

TEST_F(Model, DocumentClosedByTheEditorDetachesItsObject) {
  IDispatch* doc = Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  host_.Close(host_.docs_[0].get());  // as the user's close does
  EXPECT_EQ(Get(doc, "Length").hr, E_ACCESSDENIED);
  EXPECT_EQ(Get(docs(), "Count").number(), 0);
}

TEST_F(Model, CollectionIsBuiltOldestFirstAndItemNeedsItBuilt) {
  ComRef<CApp> none;
  // A second application cannot be made while one lives.
  EXPECT_FALSE(CApp::Create(host_));
  // Documents opened before the collection is built.
  app_ = {};
  for (int i = 0; i < 3; ++i) {
    DocumentPtr d;
    ASSERT_EQ(NewDocument(8000, 1, &d), err::kOk);
    d->untitled_number = static_cast<std::uint32_t>(i + 1);
    host_.Adopt(std::move(d));
  }
  app_ = CApp::Create(host_);
  CDocs* collection = app_->docs();
  IDocument* item = nullptr;
  EXPECT_EQ(collection->get_Item(0, &item), E_ACCESSDENIED);  // not built yet
  docs_ = Get(app(), "Documents").object();
  for (LONG i = 0; i < 3; ++i) {
    IDispatch* d = Keep(Get(docs(), "Item", {V(i)}));
    EXPECT_EQ(Get(d, "Title").text(), "Untitled " + std::to_string(i + 1));
  }
}

// Runs `work` on a script thread while this (the user-interface) thread
// pumps its queue.
void OnScriptThread(const std::function<void()>& work) {
  const auto queue = MessageQueue::ForThisThread();
  std::atomic<bool> done{false};
  std::thread script([&] {
    work();
    done = true;
    queue->Wake();
  });
  while (!done) {
    (void)queue->WaitForSignalOrMessage([&] { return done.load(); }, 5000);
    queue->PumpPending();
  }
  script.join();
}

TEST_F(Model, ProxyKeepsIdentityAndRunsOnTheUiThread) {
  Keep(Method(docs(), "Add", {V(LONG{8000}), V(LONG{1})}));
  auto bridge = std::make_unique<ApartmentBridge>();
  ComRef<IDispatch> proxy = bridge->Wrap(app());
  const std::thread::id ui = std::this_thread::get_id();
  OnScriptThread([&] {
    const Result a = Get(proxy.get(), "Documents");
    const Result b = Get(proxy.get(), "Documents");
    ASSERT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.object(), b.object());
    const Result item = Get(a.object(), "Item", {V(LONG{0})});
    const Result active = Get(proxy.get(), "ActiveDocument");
    EXPECT_EQ(item.object(), active.object());
    EXPECT_EQ(Get(item.object(), "Channels").number(), 1);
    // An object handed back as an argument reaches the model as its own.
    const Result copy = Method(a.object(), "AddSoundClip", {VDisp(item.object())});
    EXPECT_EQ(copy.hr, S_OK);
  });
  EXPECT_EQ(host_.last_thread_, ui);
  EXPECT_EQ(host_.docs_.size(), 2u);
  bridge.reset();
  OnScriptThread([&] { EXPECT_EQ(Get(proxy.get(), "Name").hr, RPC_E_DISCONNECTED); });
  proxy = {};
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
