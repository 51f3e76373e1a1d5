// The object model driven as a script engine drives it: names resolved with
// GetIDsOfNames, calls through Invoke with VARIANT arguments in reverse
// order; and a host over documents made in the test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "automation/com/com.h"
#include "automation/host/automation_host.h"
#include "automation/model/model_objects.h"
#include "config/text_catalogue.h"
#include "platform/utf.h"
#include "tests/automation/com_test_support.h"

namespace tidemark::NS_SCRIPT::testing {

// The argument builders are the COM layer tests' own.
using com::testing::V;
using com::testing::VBool;
using com::testing::VDisp;
using com::testing::VMissing;

inline VARIANT VArray(SAFEARRAY* psa) {
  VARIANT v;
  v.vt = VT_ARRAY | VT_VARIANT;
  v.parray = psa;
  return v;
}

struct Result {
  Result() { VariantInit(&value); }
  Result(Result&& o) noexcept : hr(o.hr), value(o.value) { VariantInit(&o.value); }
  Result& operator=(Result&& o) noexcept {
    (void)VariantClear(&value);
    hr = o.hr;
    value = o.value;
    VariantInit(&o.value);
    return *this;
  }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  ~Result() { (void)VariantClear(&value); }
  HRESULT hr = S_OK;
  VARIANT value;
  IDispatch* object() const { return value.vt == VT_DISPATCH ? value.pdispVal : nullptr; }
  double number() const {
    Variant d;
    return SUCCEEDED(VariantChangeType(&d, &value, 0, VT_R8)) ? d.dblVal : std::nan("");
  }
  std::string text() const {
    Variant s;
    return SUCCEEDED(VariantChangeType(&s, &value, 0, VT_BSTR)) ? BstrToUtf8(s.bstrVal) : "?";
  }
};

// Invokes `name` with `args` in declaration order (cleared afterwards).
inline Result Call(IDispatch* d, const char* name, WORD flags, std::vector<VARIANT> args = {}) {
  Result r;
  const std::u16string wide = Utf8ToUtf16(name);
  const OLECHAR* names[] = {wide.c_str()};
  DISPID id = 0;
  r.hr = d->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id);
  if (SUCCEEDED(r.hr)) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put_id = DISPID_PROPERTYPUT;
    DISPPARAMS params;
    params.rgvarg = reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (flags & DISPATCH_PROPERTYPUT) {
      params.rgdispidNamedArgs = &put_id;
      params.cNamedArgs = 1;
    }
    UINT arg_err = 0;
    r.hr = d->Invoke(id, IID_NULL, 0x409, flags, &params, &r.value, nullptr, &arg_err);
    args.assign(reversed.rbegin(), reversed.rend());
  }
  for (VARIANT& a : args) (void)VariantClear(&a);
  return r;
}
inline Result Get(IDispatch* d, const char* name, std::vector<VARIANT> args = {}) {
  return Call(d, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::move(args));
}
inline Result Put(IDispatch* d, const char* name, VARIANT value) {
  return Call(d, name, DISPATCH_PROPERTYPUT, {value});
}
inline Result Method(IDispatch* d, const char* name, std::vector<VARIANT> args = {}) {
  return Call(d, name, DISPATCH_METHOD, std::move(args));
}

// The description of the thread's error info, if any.
inline std::string ErrorDescription() {
  IErrorInfo* raw = nullptr;
  if (GetErrorInfo(0, &raw) != S_OK || !raw) return {};
  const ComRef<IErrorInfo> info = ComRef<IErrorInfo>::Adopt(raw);
  Bstr text;
  info->GetDescription(text.out());
  return text.utf8();
}

// The English catalogue, so that error descriptions are the real texts.
inline void LoadEnglishCatalogue() {
  const char* root = std::getenv("TIDEMARK_SOURCE_DIR");
  ASSERT_TRUE(root);
  ASSERT_FALSE(ProcessTextCatalogue().LoadFile(std::string(root) + "/UIText/en.txt", "UTF-8"));
}

// Answers ISoundClip without being one of the program's clips.
class ForeignClip final : public CBase<ForeignClip, ISoundClip> {
 public:
  HRESULT get_Application(IApplication**) override { return E_NOTIMPL; }
  HRESULT get_Parent(IDispatch**) override { return E_NOTIMPL; }
  HRESULT get_BitsPerSample(INT*) override { return E_NOTIMPL; }
  HRESULT get_Channels(INT*) override { return E_NOTIMPL; }
  HRESULT CreateSoundClip(double, double, ISoundClip**) override { return E_NOTIMPL; }
  HRESULT Decode() override { return E_NOTIMPL; }
  HRESULT get_Labels(ILabels**) override { return E_NOTIMPL; }
  HRESULT get_Length(double*) override { return E_NOTIMPL; }
  HRESULT get_PcmFileSample(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_SampleRate(LONG*) override { return E_NOTIMPL; }
  HRESULT put_SampleRate(LONG) override { return E_NOTIMPL; }
  HRESULT get_Text(IText**) override { return E_NOTIMPL; }
};

// The editor as the model sees it, over documents the test makes.
class TestHost final : public automation::AutomationHost {
 public:
  ~TestHost() override { docs_.clear(); }
  std::vector<SoundDocument*> Documents() override {
    std::vector<SoundDocument*> out;
    for (auto it = docs_.rbegin(); it != docs_.rend(); ++it) out.push_back(it->get());
    return out;
  }
  SoundDocument* ActiveDocument() override {
    last_thread_ = std::this_thread::get_id();
    return active_;
  }
  Error Open(const std::string& path, SoundDocument** document) override {
    SoundDocument* d = nullptr;
    if (const Error rc = OpenSoundDocument(path, {}, &d)) return rc;
    Adopt(DocumentPtr(d));
    *document = d;
    return err::kOk;
  }
  void Adopt(DocumentPtr document) override {
    active_ = document.get();
    docs_.push_back(std::move(document));
  }
  void Activate(SoundDocument* document, bool) override {
    active_ = document;
    ++activations_;
  }
  void Close(SoundDocument* document) override {
    for (auto it = docs_.begin(); it != docs_.end(); ++it) {
      if (it->get() != document) continue;
      if (listener_) listener_(document);
      docs_.erase(it);
      active_ = docs_.empty() ? nullptr : docs_.back().get();
      return;
    }
  }
  void SetStatusText(std::string_view text) override { status_ = text; }
  bool Visible() override { return true; }
  std::string ProjectFolder() override { return project_; }
  Error SwitchProject(const std::string& folder) override {
    while (!docs_.empty()) Close(docs_.front().get());
    project_ = folder;
    ++switches_;
    return err::kOk;
  }
  char Weighting() override { return '0'; }
  SaveOptions SaveSettings() override { return {}; }
  OpenOptions OpenSettings() override { return {}; }
  void SetCloseListener(CloseListener listener) override { listener_ = std::move(listener); }

  std::vector<DocumentPtr> docs_;  // oldest first
  SoundDocument* active_ = nullptr;
  std::string status_;
  std::string project_;
  int switches_ = 0;
  int activations_ = 0;
  CloseListener listener_;
  std::thread::id last_thread_;
};

// Writes a 16-bit WAV file of `frames` frames; sample(frame, channel) in -1..1.
template <typename F>
void WriteWav(const std::string& path, std::uint32_t rate, std::uint16_t channels, std::uint32_t frames, F sample) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f) << path;
  const std::uint32_t data = frames * channels * 2u;
  auto u32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(1);
  u16(channels);
  u32(rate);
  u32(rate * channels * 2u);
  u16(static_cast<std::uint16_t>(channels * 2));
  u16(16);
  std::fwrite("data", 1, 4, f);
  u32(data);
  for (std::uint32_t i = 0; i < frames; ++i)
    for (std::uint16_t c = 0; c < channels; ++c)
      u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(sample(i, c) * 32767.0))));
  std::fclose(f);
}

// A mono 32-bit float WAV file holding `samples` as they are.
inline void WriteFloatWav(const std::string& path, std::uint32_t rate, const std::vector<float>& samples) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f) << path;
  const std::uint32_t data = static_cast<std::uint32_t>(samples.size() * 4);
  auto u32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(3);
  u16(1);
  u32(rate);
  u32(rate * 4u);
  u16(4);
  u16(32);
  std::fwrite("data", 1, 4, f);
  u32(data);
  std::fwrite(samples.data(), 4, samples.size(), f);
  std::fclose(f);
}

// A fresh application over a test host and a scratch folder; the objects a
// test keeps are let go at the end, and none may outlive the test.
class AppTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { LoadEnglishCatalogue(); }
  void SetUp() override {
    ASSERT_EQ(LiveObjectCount(), 0);
    dir_ = std::filesystem::temp_directory_path() / ("automation_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    app_ = CApp::Create(host_);
    ASSERT_TRUE(app_);
  }
  void TearDown() override {
    held_.clear();
    app_ = {};
    EXPECT_EQ(LiveObjectCount(), 0) << "an automation object leaked";
    host_.docs_.clear();
    std::filesystem::remove_all(dir_);
  }
  IDispatch* app() { return static_cast<IApplication*>(app_.get()); }
  std::string File(const std::string& name) { return (dir_ / name).string(); }
  // Holds a dispatch result for the test's duration.
  IDispatch* Keep(Result r) {
    EXPECT_EQ(r.hr, S_OK) << ErrorDescription();
    IDispatch* d = r.object();
    if (d) held_.push_back(ComRef<IDispatch>::Share(d));
    return d;
  }
  IDispatch* Writer(const char* type) { return Keep(Method(app(), "CreateFileWriter", {V(type)})); }

  TestHost host_;
  ComRef<CApp> app_;
  std::vector<ComRef<IDispatch>> held_;
  std::filesystem::path dir_;
};

}  // namespace tidemark::NS_SCRIPT::testing
