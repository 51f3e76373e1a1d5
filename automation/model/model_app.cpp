// The application object, the popup and system objects, the CD objects and
// the helpers every member shares.
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "automation/model/deferred_suspend.h"
#include "automation/model/model_objects.h"
#include "automation/model/model_ops.h"
#include "automation/model/writer_ffmpeg.h"
#include "automation/model/writer_objects.h"
#include "config/error_messages.h"
#include "platform/ascii_case.h"
#include "platform/utf.h"

extern char** environ;

namespace tidemark::NS_SCRIPT {

namespace {
constexpr std::string_view kSource = "Tidemark.Application";
std::atomic<CApp*> g_app{nullptr};
}  // namespace

void RaiseAppError(Error code, std::string detail) { throw CAppError{code, std::move(detail)}; }

void CheckApp(Error code) {
  if (code) RaiseAppError(code);
}

HRESULT ReportAppError(const IID& iid, const CAppError& error) {
  std::string text = DescribeError(error.code);
  if (!error.detail.empty()) text += "\n\n" + error.detail;
  return ReportError(iid, kSource, text);
}

HRESULT ReturnString(std::string_view utf8, BSTR* out) {
  *out = BstrFromUtf8(utf8);
  return *out ? S_OK : E_OUTOFMEMORY;
}

namespace {
// The program object behind `object` asked as interface I: null when the
// object does not answer I; `foreign` set when it answers but is not ours.
template <typename Class, typename I>
Class* OwnObject(IDispatch* object, bool* answers, bool* foreign) {
  *answers = false;
  *foreign = false;
  ComRef<I> asked = QueryAs<I>(object);
  if (!asked) return nullptr;
  *answers = true;
  ComRef<IUnknown> inner = UnwrapProxy(asked.get());
  ComRef<I> own = QueryAs<I>(inner.get());
  Class* c = own ? dynamic_cast<Class*>(own.get()) : nullptr;
  if (!c) *foreign = true;
  return c;
}
}  // namespace

HRESULT SourceClip(VARIANT* src_obj, ClipRef* clip) {
  const VARIANT* v = src_obj ? VariantDeref(src_obj) : nullptr;
  if (!v || v->vt != VT_DISPATCH || !v->pdispVal) return E_INVALIDARG;
  bool answers = false, foreign = false;
  if (CSndClip* c = OwnObject<CSndClip, ISoundClip>(v->pdispVal, &answers, &foreign)) {
    if (!c->app()) return E_ACCESSDENIED;
    *clip = c->clip();
    return S_OK;
  }
  if (answers) return foreign ? E_UNEXPECTED : E_INVALIDARG;
  if (CDoc* d = OwnObject<CDoc, IDocument>(v->pdispVal, &answers, &foreign)) {
    if (!d->document()) return E_ACCESSDENIED;
    CheckApp(ClipOfSelection(*d->document(), clip));
    return S_OK;
  }
  return foreign ? E_UNEXPECTED : E_INVALIDARG;
}

// --- CApp ---

ComRef<CApp> CApp::Create(AutomationHost& host) {
  if (g_app.load()) return {};
  ComRef<CApp> app = ComRef<CApp>::Adopt(new CApp(host));
  CApp* expected = nullptr;
  if (!g_app.compare_exchange_strong(expected, app.get())) return {};
  return app;
}

CApp* CApp::Current() { return g_app.load(); }

CApp::CApp(AutomationHost& host)
    : host_(host),
      docs_(ComRef<CDocs>::Adopt(new CDocs(this))),
      popup_(ComRef<CPopup>::Adopt(new CPopup(this))),
      system_(ComRef<CSystem>::Adopt(new CSystem(this))) {
  host_.SetCloseListener([this](SoundDocument* document) { docs_->Forget(document); });
}

CApp::~CApp() {
  host_.SetCloseListener({});
  // Objects let go of the documents, and scripts that kept them get the
  // disconnected answer from now on.
  DetachAllLiveObjects();
  DisconnectAllLiveObjects();
  CApp* self = this;
  g_app.compare_exchange_strong(self, nullptr);
}

HRESULT CApp::get_Application(IApplication** out) {
  if (!out) return E_INVALIDARG;
  return ReturnObject<IApplication>(this, out);
}

HRESULT CApp::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  return ReturnObject<IDispatch>(static_cast<IApplication*>(this), out);
}

HRESULT CApp::get_ActiveDocument(IDocument** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return Guarded(IApplication::IID, [&]() -> HRESULT {
    SoundDocument* active = host_.ActiveDocument();
    if (!active) return S_FALSE;
    return ReturnObject<IDocument>(docs_->ObjectFor(active).get(), out);
  });
}

HRESULT CApp::get_Clipboard(ISoundClip** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return Guarded(IApplication::IID, [&]() -> HRESULT {
    ClipRef clip;
    CheckApp(ClipForPaste(&clip));
    if (!clip) {
      clip = NewClip(44100, 2, sample_code::kS16);
      if (!clip) RaiseAppError(err::kOutOfMemory);
    }
    auto made = ComRef<CSndClip>::Adopt(new CSndClip(this, clip, {}, {}));
    return ReturnObject<ISoundClip>(made.get(), out);
  });
}

HRESULT CApp::put_Clipboard(VARIANT* value) {
  const VARIANT* v = value ? VariantDeref(value) : nullptr;
  if (!v || v->vt != VT_DISPATCH || !v->pdispVal) return E_INVALIDARG;
  return Guarded(IApplication::IID, [&]() -> HRESULT {
    bool answers = false, foreign = false;
    if (CDoc* d = OwnObject<CDoc, IDocument>(v->pdispVal, &answers, &foreign)) {
      if (!d->document()) return E_ACCESSDENIED;
      const FrameRange sel = SelectionOf(*d->document());
      CheckApp(CopySelection(*d->document(), sel.from, sel.to));
      return S_OK;
    }
    if (answers) return foreign ? E_UNEXPECTED : E_INVALIDARG;
    if (CSndClip* c = OwnObject<CSndClip, ISoundClip>(v->pdispVal, &answers, &foreign)) {
      if (!c->app()) return E_ACCESSDENIED;
      // Made plain PCM first (as Decode); the clipboard gets a copy so that
      // later changes to the clip stay the clip's.
      const ClipRef& samples = c->clip();
      ClipRef copy;
      CheckApp(ClipOfRange(*samples, 0, samples->length, &copy));
      CheckApp(SetCurrentClip(copy));
      return S_OK;
    }
    return foreign ? E_UNEXPECTED : E_INVALIDARG;
  });
}

HRESULT CApp::CreateCdReader(ICdReader** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CCdReader>::Adopt(new CCdReader(this));
  return ReturnObject<ICdReader>(made.get(), out);
}

HRESULT CApp::CreateCdWriter(ICdWriter** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CCdWriter>::Adopt(new CCdWriter(this));
  return ReturnObject<ICdWriter>(made.get(), out);
}

HRESULT CApp::CreateFileWriter(BSTR type_name, IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!type_name) return E_INVALIDARG;
  const std::string name = BstrToUtf8(type_name);
  if (EqualsIgnoreAsciiCase(name, "pcm")) {
    auto made = ComRef<CFileWriter_PCM>::Adopt(new CFileWriter_PCM(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_PCM*>(made.get()), out);
  }
  if (EqualsIgnoreAsciiCase(name, "flac")) {
    auto made = ComRef<CFileWriter_FLAC>::Adopt(new CFileWriter_FLAC(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_FLAC*>(made.get()), out);
  }
  if (EqualsIgnoreAsciiCase(name, "lame")) {
    auto made = ComRef<CFileWriter_LAME>::Adopt(new CFileWriter_LAME(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_LAME*>(made.get()), out);
  }
  if (EqualsIgnoreAsciiCase(name, "opus")) {
    auto made = ComRef<CFileWriter_Opus>::Adopt(new CFileWriter_Opus(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_Opus*>(made.get()), out);
  }
  if (EqualsIgnoreAsciiCase(name, "oggvorbis")) {
    auto made = ComRef<CFileWriter_OV>::Adopt(new CFileWriter_OV(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_OggVorbis*>(made.get()), out);
  }
  if (EqualsIgnoreAsciiCase(name, "1bit")) {
    auto made = ComRef<CFileWriter_1Bit>::Adopt(new CFileWriter_1Bit(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_1Bit*>(made.get()), out);
  }
  if (EqualsIgnoreAsciiCase(name, "mp3")) {
    auto made = ComRef<CFileWriter_MP3>::Adopt(new CFileWriter_MP3(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_MP3*>(made.get()), out);
  }
  if (EqualsIgnoreAsciiCase(name, "aac")) {
    auto made = ComRef<CFileWriter_AAC>::Adopt(new CFileWriter_AAC(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_AAC*>(made.get()), out);
  }
  if (EqualsIgnoreAsciiCase(name, "wma")) {
    auto made = ComRef<CFileWriter_WMA>::Adopt(new CFileWriter_WMA(this));
    return ReturnObject<IDispatch>(static_cast<IFileWriter_WMA*>(made.get()), out);
  }
  return E_INVALIDARG;
}

HRESULT CApp::CreateFileWriter_1Bit(IFileWriter_1Bit** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_1Bit>::Adopt(new CFileWriter_1Bit(this));
  return ReturnObject<IFileWriter_1Bit>(made.get(), out);
}

HRESULT CApp::CreateFileWriter_FLAC(IFileWriter_FLAC** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_FLAC>::Adopt(new CFileWriter_FLAC(this));
  return ReturnObject<IFileWriter_FLAC>(made.get(), out);
}

HRESULT CApp::CreateFileWriter_LAME(IFileWriter_LAME** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_LAME>::Adopt(new CFileWriter_LAME(this));
  return ReturnObject<IFileWriter_LAME>(made.get(), out);
}

HRESULT CApp::CreateFileWriter_OggVorbis(IFileWriter_OggVorbis** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_OV>::Adopt(new CFileWriter_OV(this));
  return ReturnObject<IFileWriter_OggVorbis>(made.get(), out);
}

HRESULT CApp::CreateFileWriter_Opus(IFileWriter_Opus** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_Opus>::Adopt(new CFileWriter_Opus(this));
  return ReturnObject<IFileWriter_Opus>(made.get(), out);
}

HRESULT CApp::CreateFileWriter_PCM(IFileWriter_PCM** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_PCM>::Adopt(new CFileWriter_PCM(this));
  return ReturnObject<IFileWriter_PCM>(made.get(), out);
}

HRESULT CApp::CreateFileWriter_AAC(IFileWriter_AAC** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_AAC>::Adopt(new CFileWriter_AAC(this));
  return ReturnObject<IFileWriter_AAC>(made.get(), out);
}

HRESULT CApp::CreateFileWriter_MP3(IFileWriter_MP3** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_MP3>::Adopt(new CFileWriter_MP3(this));
  return ReturnObject<IFileWriter_MP3>(made.get(), out);
}

HRESULT CApp::CreateFileWriter_WMA(IFileWriter_WMA** out) {
  if (!out) return E_INVALIDARG;
  auto made = ComRef<CFileWriter_WMA>::Adopt(new CFileWriter_WMA(this));
  return ReturnObject<IFileWriter_WMA>(made.get(), out);
}

HRESULT CApp::CreateSoundClip(BSTR file_name, ISoundClip** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (IsEmpty(file_name)) return E_INVALIDARG;
  return Guarded(IApplication::IID, [&]() -> HRESULT {
    std::error_code ec;
    const std::string path = std::filesystem::absolute(BstrToUtf8(file_name), ec).string();
    if (ec) RaiseAppError(err::kInvalidPath);
    // Only a file that cannot be read at all fails here; a codec file's
    // content is looked at when it is decoded.
    bool undecoded = false;
    CheckApp(ProbeClipSource(path, &undecoded));
    if (undecoded) {
      auto made = ComRef<CSndClip>::Adopt(new CSndClip(this, path, host_.OpenSettings()));
      return ReturnObject<ISoundClip>(made.get(), out);
    }
    ClipRef clip;
    DocumentMetadata tags;
    CheckApp(OpenClip(path, host_.OpenSettings(), &clip, &tags));
    auto made = ComRef<CSndClip>::Adopt(new CSndClip(this, clip, std::move(tags), {}));
    return ReturnObject<ISoundClip>(made.get(), out);
  });
}

HRESULT CApp::get_Documents(IDocuments** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return Guarded(IApplication::IID, [&]() -> HRESULT {
    docs_->Build();
    return ReturnObject<IDocuments>(docs_.get(), out);
  });
}

namespace {
std::string ProgramPath() {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}
}  // namespace

HRESULT CApp::get_FullName(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(ProgramPath(), out);
}

HRESULT CApp::get_Name(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString("Tidemark", out);
}

HRESULT CApp::get_Path(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(std::filesystem::path(ProgramPath()).parent_path().string(), out);
}

HRESULT CApp::get_Popup(IPopup** out) {
  if (!out) return E_INVALIDARG;
  return ReturnObject<IPopup>(popup_.get(), out);
}

HRESULT CApp::get_Project(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(host_.ProjectFolder(), out);
}

HRESULT CApp::put_Project(BSTR value) {
  if (IsEmpty(value)) return E_INVALIDARG;
  return Guarded(IApplication::IID, [&]() -> HRESULT {
    std::error_code ec;
    const std::string folder = std::filesystem::absolute(BstrToUtf8(value), ec).lexically_normal().string();
    if (ec) RaiseAppError(err::kInvalidPath);
    const std::string current = host_.ProjectFolder();
    if (!current.empty() && EqualsIgnoreAsciiCase(folder, current)) return S_OK;
    // Every object lets go of what it stands for before the documents go;
    // the application's own children stay attached.
    docs_->Empty();
    ForEachLiveObject([&](ObjectNode& node) {
      IUnknown* object = node.AsUnknown();
      if (object == docs_->AsUnknown() || object == popup_->AsUnknown() || object == system_->AsUnknown() ||
          object == AsUnknown())
        return;
      if (!node.Detach()) (void)CoDisconnectObject(object);
    });
    const Error rc = host_.SwitchProject(folder);
    docs_->Rebuild();
    CheckApp(rc);
    return S_OK;
  });
}

HRESULT CApp::put_StatusBar(BSTR value) {
  host_.SetStatusText(BstrToUtf8(value));
  return S_OK;
}

HRESULT CApp::get_System(ISystem** out) {
  if (!out) return E_INVALIDARG;
  return ReturnObject<ISystem>(system_.get(), out);
}

HRESULT CApp::get_Version(BSTR* out) {
  if (!out) return E_INVALIDARG;
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", 1, 8, 5, 2);
  return ReturnString(text, out);
}

HRESULT CApp::get_Visible(VARIANT_BOOL* out) {
  if (!out) return E_INVALIDARG;
  *out = host_.Visible() ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT CApp::put_Visible(VARIANT_BOOL) { return E_NOTIMPL; }

// --- CPopup ---

HRESULT CPopup::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<IApplication*>(app_), out);
}

namespace {

bool OnTerminal() { return ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO); }

struct ButtonSet {
  const char* labels[3];
  INT ids[3];
};
// The customary sets: OK, OK/Cancel, Abort/Retry/Ignore, Yes/No/Cancel,
// Yes/No, Retry/Cancel, Cancel/Try again/Continue.
constexpr ButtonSet kButtonSets[] = {
    {{"OK", nullptr, nullptr}, {1, 0, 0}},
    {{"OK", "Cancel", nullptr}, {1, 2, 0}},
    {{"Abort", "Retry", "Ignore"}, {3, 4, 5}},
    {{"Yes", "No", "Cancel"}, {6, 7, 2}},
    {{"Yes", "No", nullptr}, {6, 7, 0}},
    {{"Retry", "Cancel", nullptr}, {4, 2, 0}},
    {{"Cancel", "Try again", "Continue"}, {2, 10, 11}},
};

std::string Caption(BSTR title) { return IsEmpty(title) ? std::string("Script") : BstrToUtf8(title); }

}  // namespace

HRESULT CPopup::MsgBox(BSTR prompt, LONG buttons, BSTR Title, BSTR, LONG, INT* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  if (IsEmpty(prompt)) return E_INVALIDARG;
  const std::size_t set_index = static_cast<std::size_t>(buttons & 0xF);
  const ButtonSet& set = kButtonSets[set_index < std::size(kButtonSets) ? set_index : 0];
  std::size_t count = 0;
  while (count < 3 && set.labels[count]) ++count;
  std::size_t chosen = static_cast<std::size_t>((buttons >> 8) & 0xF);
  if (chosen >= count) chosen = 0;
  if (!OnTerminal()) {
    *out = set.ids[chosen];
    return S_OK;
  }
  std::cout << "[" << Caption(Title) << "] " << BstrToUtf8(prompt) << '\n';
  // An empty line or the end of input takes the default button.
  for (bool asked = false; !asked;) {
    for (std::size_t i = 0; i < count; ++i)
      std::cout << (i ? "  " : "") << i + 1 << ") " << set.labels[i] << (i == chosen ? " (default)" : "");
    std::cout << "\n> " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line) || line.empty()) break;
    for (std::size_t i = 0; i < count; ++i) {
      if (line == std::to_string(i + 1) || EqualsIgnoreAsciiCase(line, set.labels[i])) {
        chosen = i;
        asked = true;
      }
    }
  }
  *out = set.ids[chosen];
  return S_OK;
}

HRESULT CPopup::InputBox(BSTR prompt, BSTR Title, BSTR defval, LONG, LONG, BSTR, LONG, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  std::string answer = BstrToUtf8(defval);
  if (OnTerminal()) {
    std::cout << "[" << Caption(Title) << "] " << BstrToUtf8(prompt) << "\n(empty line keeps \"" << answer
              << "\", a single '.' cancels)\n> " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line) || line == ".")
      answer.clear();  // cancelled: an empty string and no error
    else if (!line.empty())
      answer = line;
  }
  return ReturnString(answer, out);
}

// --- CSystem ---

HRESULT CSystem::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<IApplication*>(app_), out);
}

HRESULT CSystem::CreateTemp(BSTR Path, BSTR prefix, VARIANT_BOOL create_dir, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return Guarded(ISystem::IID, [&]() -> HRESULT {
    std::string path;
    const Error rc = CreateTempName(BstrToUtf8(Path), BstrToUtf8(prefix), create_dir != VARIANT_FALSE, &path);
    if (rc == kAllNamesTaken) return E_FAIL;
    CheckApp(rc);
    return ReturnString(path, out);
  });
}

HRESULT CSystem::MakeTemp(BSTR Path, BSTR prefix, VARIANT_BOOL make_dir, BSTR* out) {
  return CreateTemp(Path, prefix, make_dir, out);
}

HRESULT CSystem::GetTickCount(LONG* out) {
  if (!out) return E_INVALIDARG;
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  *out = static_cast<LONG>(static_cast<std::uint32_t>(ms));  // wraps as a 32-bit tick count does
  return S_OK;
}

namespace {
// Runs the sleep command: TIDEMARK_SUSPEND_COMMAND when set (tests point it
// at a stand-in), else systemctl; its one argument is "suspend" or
// "hibernate". True when it ran and succeeded.
bool RunSleepCommand(bool hibernate) {
  const char* override_command = std::getenv("TIDEMARK_SUSPEND_COMMAND");
  std::string program = override_command && *override_command ? override_command : "systemctl";
  std::string verb = hibernate ? "hibernate" : "suspend";
  char* argv[] = {program.data(), verb.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
}  // namespace

HRESULT CSystem::SetSuspendState(VARIANT_BOOL hiber, VARIANT_BOOL force, VARIANT_BOOL immediate,
                                 VARIANT_BOOL* out) {
  if (!out) return E_INVALIDARG;
  *out = VARIANT_FALSE;
  if (!app_) return E_ACCESSDENIED;
  if (immediate == VARIANT_FALSE) {
    // Carried out by the script host once the script has finished.
    if (!RequestSuspendAfterScript(hiber != VARIANT_FALSE, force != VARIANT_FALSE)) return E_ACCESSDENIED;
    *out = VARIANT_TRUE;
    return S_OK;
  }
  return Guarded(ISystem::IID, [&]() -> HRESULT {
    if (!RunSleepCommand(hiber != VARIANT_FALSE)) RaiseAppError(model_err::kNoSleepState);
    *out = VARIANT_TRUE;
    return S_OK;
  });
}

// --- the CD objects ---

namespace {
HRESULT NoDrive(const IID& iid) {
  return ReportAppError(iid, CAppError{model_err::kNotOnThisSystem, {}});
}
template <typename T, typename V>
HRESULT Get(T* out, V value) {
  if (!out) return E_INVALIDARG;
  *out = static_cast<T>(value);
  return S_OK;
}
}  // namespace

HRESULT CCdReader::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<IApplication*>(app_), out);
}
HRESULT CCdReader::get_Channels(INT* out) { return Get(out, channels_); }
HRESULT CCdReader::put_Channels(INT value) {
  if (value != 1 && value != 2) return E_INVALIDARG;
  channels_ = value;
  return S_OK;
}
HRESULT CCdReader::CreateSoundClips(SAFEARRAY*, SAFEARRAY** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return NoDrive(ICdReader::IID);
}
HRESULT CCdReader::get_DriveLetter(BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return NoDrive(ICdReader::IID);
}
HRESULT CCdReader::put_DriveLetter(BSTR) { return NoDrive(ICdReader::IID); }
HRESULT CCdReader::get_DriveName(BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return NoDrive(ICdReader::IID);
}
HRESULT CCdReader::get_DriveSpeed(INT* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  return NoDrive(ICdReader::IID);
}
HRESULT CCdReader::put_DriveSpeed(INT) { return NoDrive(ICdReader::IID); }
HRESULT CCdReader::Eject() { return NoDrive(ICdReader::IID); }
HRESULT CCdReader::get_ErrorCorrection(VARIANT_BOOL* out) {
  return Get(out, error_correction_ ? VARIANT_TRUE : VARIANT_FALSE);
}
HRESULT CCdReader::put_ErrorCorrection(VARIANT_BOOL value) {
  error_correction_ = value != VARIANT_FALSE;
  return S_OK;
}
HRESULT CCdReader::get_Language(INT* out) { return Get(out, language_); }
HRESULT CCdReader::put_Language(INT value) {
  language_ = value;
  return S_OK;
}
HRESULT CCdReader::get_SampleRate(LONG* out) { return Get(out, rate_); }
HRESULT CCdReader::put_SampleRate(LONG value) {
  if (!IsValidSampleRate(static_cast<std::uint32_t>(value)) || value <= 0) return E_INVALIDARG;
  rate_ = value;
  return S_OK;
}
HRESULT CCdReader::SetNextDrive() { return NoDrive(ICdReader::IID); }

CCdWriter::CCdWriter(CApp* app) : CAppChild(app), tracks_(ComRef<CCdTracks>::Adopt(new CCdTracks(app, this))) {}
CCdWriter::~CCdWriter() { tracks_->Orphan(); }
HRESULT CCdWriter::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!app_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<IApplication*>(app_), out);
}
HRESULT CCdWriter::Blank(INT) { return NoDrive(ICdWriter::IID); }
HRESULT CCdWriter::get_BufferSize(INT* out) { return Get(out, buffer_size_); }
HRESULT CCdWriter::put_BufferSize(INT value) {
  if (value < 0) return E_INVALIDARG;
  buffer_size_ = value;
  return S_OK;
}
HRESULT CCdWriter::get_CdText(VARIANT_BOOL* out) { return Get(out, cd_text_ ? VARIANT_TRUE : VARIANT_FALSE); }
HRESULT CCdWriter::put_CdText(VARIANT_BOOL value) {
  cd_text_ = value != VARIANT_FALSE;
  return S_OK;
}
HRESULT CCdWriter::get_DriveLetter(BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return NoDrive(ICdWriter::IID);
}
HRESULT CCdWriter::put_DriveLetter(BSTR) { return NoDrive(ICdWriter::IID); }
HRESULT CCdWriter::get_DriveName(BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return NoDrive(ICdWriter::IID);
}
HRESULT CCdWriter::get_DriveSpeed(INT* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  return NoDrive(ICdWriter::IID);
}
HRESULT CCdWriter::put_DriveSpeed(INT) { return NoDrive(ICdWriter::IID); }
HRESULT CCdWriter::Eject() { return NoDrive(ICdWriter::IID); }
HRESULT CCdWriter::SetNextDrive() { return NoDrive(ICdWriter::IID); }
HRESULT CCdWriter::get_Tracks(ICdTracks** out) {
  if (!out) return E_INVALIDARG;
  return ReturnObject<ICdTracks>(tracks_.get(), out);
}
HRESULT CCdWriter::get_VolumeAdjust(VARIANT_BOOL* out) {
  return Get(out, volume_adjust_ ? VARIANT_TRUE : VARIANT_FALSE);
}
HRESULT CCdWriter::put_VolumeAdjust(VARIANT_BOOL value) {
  volume_adjust_ = value != VARIANT_FALSE;
  return S_OK;
}
HRESULT CCdWriter::Write(VARIANT_BOOL) { return NoDrive(ICdWriter::IID); }
HRESULT CCdWriter::get_WriteMode(INT* out) { return Get(out, write_mode_); }
HRESULT CCdWriter::put_WriteMode(INT value) {
  write_mode_ = value;
  return S_OK;
}

HRESULT CCdTracks::get_Parent(IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!writer_) return E_ACCESSDENIED;
  return ReturnObject<IDispatch>(static_cast<ICdWriter*>(writer_), out);
}
HRESULT CCdTracks::Add(VARIANT* src_obj, double bound1, double bound2, INT* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  if (!app_) return E_ACCESSDENIED;
  return Guarded(ICdTracks::IID, [&]() -> HRESULT {
    ClipRef clip;
    if (const HRESULT hr = SourceClip(src_obj, &clip); FAILED(hr)) return hr;
    // Bounds in seconds pick a part of the source; both 0 take all of it.
    if (bound1 != 0 || bound2 != 0) {
      const std::uint32_t a = SecondsToFrames(bound1, clip->rate);
      const std::uint32_t b = bound2 <= 0 ? clip->length : SecondsToFrames(bound2, clip->rate);
      ClipRef part;
      CheckApp(ClipOfRange(*clip, std::min(a, clip->length), std::min(std::max(a, b), clip->length), &part));
      clip = part;
    }
    tracks_.push_back(clip);
    *out = static_cast<INT>(tracks_.size());
    return S_OK;
  });
}
HRESULT CCdTracks::get_AlbumArtist(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(artist_, out);
}
HRESULT CCdTracks::put_AlbumArtist(BSTR value) {
  artist_ = BstrToUtf8(value);
  return S_OK;
}
HRESULT CCdTracks::get_AlbumTitle(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(title_, out);
}
HRESULT CCdTracks::put_AlbumTitle(BSTR value) {
  title_ = BstrToUtf8(value);
  return S_OK;
}
HRESULT CCdTracks::Copy(INT, INT* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  return NoDrive(ICdTracks::IID);
}
HRESULT CCdTracks::get_ExtraGaps(VARIANT_BOOL* out) { return Get(out, extra_gaps_ ? VARIANT_TRUE : VARIANT_FALSE); }
HRESULT CCdTracks::put_ExtraGaps(VARIANT_BOOL value) {
  extra_gaps_ = value != VARIANT_FALSE;
  return S_OK;
}
HRESULT CCdTracks::get_MCN(BSTR* out) {
  if (!out) return E_INVALIDARG;
  return ReturnString(mcn_, out);
}
HRESULT CCdTracks::put_MCN(BSTR value) {
  mcn_ = BstrToUtf8(value);
  return S_OK;
}
HRESULT CCdTracks::RemoveAllTracks() {
  tracks_.clear();
  return S_OK;
}
HRESULT CCdTracks::SetTrackProps(INT tno, BSTR, VARIANT_BOOL, VARIANT_BOOL) {
  if (tno < 1 || static_cast<std::size_t>(tno) > tracks_.size()) return E_INVALIDARG;
  return S_OK;
}

}  // namespace tidemark::NS_SCRIPT
