#include "automation/script/script_host.h"

#include "automation/model/deferred_suspend.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "automation/script/host_typelib.h"
#include "automation/script/script_arguments.h"
#include "automation/script/script_engine.h"
#include "config/error_codes.h"
#include "config/error_messages.h"
#include "config/text_catalogue.h"
#include "platform/message_wait.h"

namespace tidemark::NS_SCRIPT {
namespace {

constexpr std::string_view kErrorSource = "Tidemark.Script";
// Catalogue errors of the "error" section: the script could not be run, and
// no engine exists for the file type.
constexpr Error kScriptNotRun{69};
constexpr Error kNoScriptEngine{70};

struct RunRecord;

// The process-wide host state: the chain of running scripts (head: the
// innermost), the console, the pending suspend.
struct HostState {
  std::mutex mutex;
  RunRecord* head = nullptr;
  ScriptConsole* console = nullptr;
  bool running = false;
  bool stopping = false;  // a Quit or break is in progress
  bool broken = false;
  LONG exit_code = 0;
  bool suspend_pending = false;
  bool suspend_hibernate = false;
  bool suspend_force = false;
};
HostState& Host() {
  static HostState state;
  return state;
}

// One script being run (ExecScript's child gets its own, chained).
struct RunRecord {
  std::string full_path;
  std::vector<std::string> args;
  RunRecord* next = nullptr;  // the caller's record
  // The engines of this run: its own first, then libraries it loaded.
  std::vector<std::unique_ptr<ScriptEngine>> engines;
  std::atomic<bool> stopping{false};
  // Run in the caller's working folder instead of the script's.
  bool keep_directory = false;
  // The last script error reported (for ExecScript's caller).
  bool had_error = false;
  std::string error_description;
  HRESULT error_scode = S_OK;
};

void Print(ConsoleStream stream, std::string_view text) {
  HostState& h = Host();
  if (h.console) h.console->Write(stream, text);
}

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Marks every run of the chain as stopping and interrupts their engines.
// A second stop while one is in progress is ignored unless it is a break.
bool StopChain(bool is_break, LONG code) {
  HostState& h = Host();
  std::lock_guard lock(h.mutex);
  if (!h.running || !h.head) return false;
  if (h.stopping && !is_break) return true;
  if (is_break) {
    if (h.console) h.console->Write(ConsoleStream::kErr, "\n*** BREAK ***\n");
    h.broken = true;
  } else {
    h.exit_code = code;
  }
  h.stopping = true;
  for (RunRecord* r = h.head; r; r = r->next) {
    r->stopping.store(true);
    for (auto& e : r->engines) e->InterruptAll();
  }
  return true;
}

HRESULT ReportScriptError(Error code) {
  return ReportError(IScript::IID, kErrorSource, DescribeError(code));
}

// ---- The console stream ----------------------------------------------------

class CConStream final : public CBase<CConStream, ITextStream> {
 public:
  CConStream(IDispatch* host, ConsoleStream stream) : host_(ComRef<IDispatch>::Share(host)), stream_(stream) {}
  HRESULT get_Application(IDispatch** out) override { return Give(out); }
  HRESULT get_Parent(IDispatch** out) override { return Give(out); }
  HRESULT get_AtEndOfLine(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT get_AtEndOfStream(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT Close() override { return S_FALSE; }
  HRESULT get_Column(LONG*) override { return E_NOTIMPL; }
  HRESULT get_Line(LONG*) override { return E_NOTIMPL; }
  HRESULT Read(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT ReadAll(BSTR*) override { return E_NOTIMPL; }
  HRESULT ReadLine(BSTR*) override { return E_NOTIMPL; }
  HRESULT Skip(LONG) override { return E_NOTIMPL; }
  HRESULT SkipLine() override { return E_NOTIMPL; }
  HRESULT Write(BSTR text) override {
    if (!Host().console) return E_UNEXPECTED;
    if (SysStringLen(text)) Print(stream_, BstrToUtf8(text));
    return S_OK;
  }
  HRESULT WriteBlankLines(LONG n) override {
    if (!Host().console) return E_UNEXPECTED;
    if (n < 0) return E_INVALIDARG;
    Print(stream_, std::string(static_cast<std::size_t>(n), '\n'));
    return S_OK;
  }
  HRESULT WriteLine(BSTR text) override {
    if (!Host().console) return E_UNEXPECTED;
    Print(stream_, BstrToUtf8(text) + "\n");
    return S_OK;
  }

 private:
  HRESULT Give(IDispatch** out) {
    if (!out) return E_INVALIDARG;
    *out = host_.get();
    (*out)->AddRef();
    return S_OK;
  }
  ComRef<IDispatch> host_;
  ConsoleStream stream_;
};

// ---- The arguments ----------------------------------------------------------

HRESULT GiveText(std::string_view text, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = BstrFromUtf8(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT EnumOfTexts(const std::vector<std::string>& texts, IUnknown** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  std::vector<Variant> items(texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i)
    if (!VariantSetString(&items[i], texts[i])) return E_OUTOFMEMORY;
  IEnumVARIANT* en = nullptr;
  const HRESULT hr = CreateEnumVariant(items.data(), items.size(), &en);
  *out = en;
  return hr;
}

template <typename Derived, typename Interface>
class CHostChild : public CBase<Derived, Interface> {
 public:
  HRESULT get_Application(IDispatch** out) override { return Give(host_.get(), out); }
  HRESULT get_Parent(IDispatch** out) override { return Give(parent_.get(), out); }

 protected:
  CHostChild(IDispatch* host, IDispatch* parent)
      : host_(ComRef<IDispatch>::Share(host)), parent_(ComRef<IDispatch>::Share(parent)) {}
  static HRESULT Give(IDispatch* d, IDispatch** out) {
    if (!out) return E_INVALIDARG;
    *out = d;
    d->AddRef();
    return S_OK;
  }
  ComRef<IDispatch> host_;
  ComRef<IDispatch> parent_;
};

class CNamed final : public CHostChild<CNamed, INamed> {
 public:
  CNamed(IDispatch* host, IDispatch* parent, const std::vector<std::string>& args) : CHostChild(host, parent) {
    for (const std::string& a : args)
      if (IsNamedArgument(a)) named_.push_back(a);
  }
  HRESULT get__NewEnum(IUnknown** out) override {
    std::vector<std::string> names;
    for (const std::string& a : named_) names.emplace_back(ArgumentName(a));
    return EnumOfTexts(names, out);
  }
  HRESULT Count(LONG* out) override { return get_length(out); }
  HRESULT Exists(BSTR name, VARIANT_BOOL* out) override {
    if (!out) return E_INVALIDARG;
    *out = NamedArgumentExists(named_, BstrToUtf8(name)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT get_Item(BSTR name, VARIANT* out) override {
    if (!out) return E_INVALIDARG;
    VariantInit(out);
    if (SysStringLen(name) == 0) return E_INVALIDARG;
    const std::optional<std::string> value = NamedArgumentValue(named_, BstrToUtf8(name));
    if (!value) return S_FALSE;
    return VariantSetString(out, *value) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT get_length(LONG* out) override {
    if (!out) return E_INVALIDARG;
    *out = static_cast<LONG>(named_.size());
    return S_OK;
  }

 private:
  std::vector<std::string> named_;
};

class CUnnamed final : public CHostChild<CUnnamed, IUnnamed> {
 public:
  CUnnamed(IDispatch* host, IDispatch* parent, const std::vector<std::string>& args) : CHostChild(host, parent) {
    for (const std::string& a : args)
      if (!IsNamedArgument(a)) unnamed_.push_back(a);
  }
  HRESULT get__NewEnum(IUnknown** out) override { return EnumOfTexts(unnamed_, out); }
  HRESULT Count(LONG* out) override { return get_length(out); }
  HRESULT get_Item(LONG index, BSTR* out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= unnamed_.size()) return E_INVALIDARG;
    return GiveText(unnamed_[static_cast<std::size_t>(index)], out);
  }
  HRESULT get_length(LONG* out) override {
    if (!out) return E_INVALIDARG;
    *out = static_cast<LONG>(unnamed_.size());
    return S_OK;
  }

 private:
  std::vector<std::string> unnamed_;
};

class CArguments final : public CHostChild<CArguments, IArguments> {
 public:
  CArguments(IDispatch* host, std::vector<std::string> args) : CHostChild(host, host), args_(std::move(args)) {}
  HRESULT get__NewEnum(IUnknown** out) override { return EnumOfTexts(args_, out); }
  HRESULT Count(LONG* out) override { return get_length(out); }
  HRESULT get_Item(LONG index, BSTR* out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= args_.size()) return E_INVALIDARG;
    return GiveText(args_[static_cast<std::size_t>(index)], out);
  }
  HRESULT get_length(LONG* out) override {
    if (!out) return E_INVALIDARG;
    *out = static_cast<LONG>(args_.size());
    return S_OK;
  }
  HRESULT get_Named(INamed** out) override {
    if (!out) return E_INVALIDARG;
    if (!named_) named_ = ComRef<CNamed>::Adopt(new CNamed(host_.get(), dispatch(), args_));
    *out = named_->dispatch();
    (*out)->AddRef();
    return S_OK;
  }
  HRESULT get_Unnamed(IUnnamed** out) override {
    if (!out) return E_INVALIDARG;
    if (!unnamed_) unnamed_ = ComRef<CUnnamed>::Adopt(new CUnnamed(host_.get(), dispatch(), args_));
    *out = unnamed_->dispatch();
    (*out)->AddRef();
    return S_OK;
  }
  // Breaks the cycle through the children's parent references.
  void Drop() {
    named_ = {};
    unnamed_ = {};
  }

 private:
  std::vector<std::string> args_;
  ComRef<CNamed> named_;
  ComRef<CUnnamed> unnamed_;
};

// The engine site of one run.
class Site final : public ScriptSite {
 public:
  Site(RunRecord& record, IDispatch* application, IDispatch* script)
      : record_(record), application_(application), script_(script) {}
  HRESULT GetItem(std::string_view name, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    IDispatch* d = name == "Application" ? application_ : name == "Script" ? script_ : nullptr;
    if (!d) return TYPE_E_ELEMENTNOTFOUND;
    d->AddRef();
    *out = d;
    return S_OK;
  }
  void OnScriptError(const ScriptErrorReport& r) override {
    record_.had_error = true;
    record_.error_description = r.description;
    record_.error_scode = r.scode;
    std::string text = "*** ERROR ***\n";
    text += std::string(UiText(text::kScriptFileLabel)) + FileNameOf(record_.full_path) + "\n";
    char buf[64];
    if (r.has_position) {
      std::snprintf(buf, sizeof buf, "%lu, %ld\n", static_cast<unsigned long>(r.line) + 1,
                    static_cast<long>(r.column) + 1);
      text += std::string(UiText(text::kScriptPositionLabel)) + buf;
    }
    if (!r.description.empty() && r.description.size() < 513) {
      text += std::string(UiText(text::kScriptDescriptionLabel)) + r.description + "\n";
    } else {
      std::snprintf(buf, sizeof buf, "0x%08lx\n", static_cast<unsigned long>(static_cast<ULONG>(r.scode)));
      text += std::string(UiText(text::kScriptErrorCodeLabel)) + buf;
    }
    if (!r.source_line.empty() && r.source_line.size() < 513) {
      if (r.source_line.find('\n') != std::string::npos)
        text += std::string(UiText(text::kScriptSourceLabel)) + std::string(UiText(text::kScriptSourceTextLabel)) + "\n\n" +
                r.source_line + "\n\n";
      else
        text += std::string(UiText(text::kScriptSourceLabel)) + r.source_line + "\n";
    }
    Print(ConsoleStream::kErr, text);
  }

 private:
  RunRecord& record_;
  IDispatch* application_;
  IDispatch* script_;
};

// ---- The host object -------------------------------------------------------

HRESULT ExecuteRecord(RunRecord& record, IDispatch* application);
std::string ChildPath(const RunRecord& caller, const std::string& name);

class CScript final : public CBase<CScript, IScript> {
 public:
  CScript(RunRecord* record, IDispatch* application)
      : record_(record), application_(ComRef<IDispatch>::Share(application)) {}
  HRESULT get_Application(IDispatch** out) override { return Self(out); }
  HRESULT get_Parent(IDispatch** out) override { return Self(out); }
  HRESULT get_Arguments(IArguments** out) override {
    if (!out) return E_INVALIDARG;
    if (!arguments_) arguments_ = ComRef<CArguments>::Adopt(new CArguments(dispatch(), record_->args));
    *out = arguments_->dispatch();
    (*out)->AddRef();
    return S_OK;
  }
  HRESULT Echo(SAFEARRAY* psa) override {
    if (!Host().console) return E_ACCESSDENIED;
    VARTYPE vt = VT_EMPTY;
    if (!psa || SafeArrayGetDim(psa) != 1 || FAILED(SafeArrayGetVartype(psa, &vt)) || vt != VT_VARIANT)
      return E_INVALIDARG;
    LONG lo = 0, hi = -1;
    (void)SafeArrayGetLBound(psa, 1, &lo);
    (void)SafeArrayGetUBound(psa, 1, &hi);
    std::string line;
    for (LONG i = lo; i <= hi; ++i) {
      Variant item;
      HRESULT hr = SafeArrayGetElement(psa, &i, &item);
      std::string text;
      if (SUCCEEDED(hr)) hr = EchoText(item, &text);
      if (FAILED(hr)) return hr;
      if (i > lo) line += ' ';
      line += text;
    }
    line += '\n';
    Print(ConsoleStream::kOut, line);
    return S_OK;
  }
  HRESULT ExecScript(BSTR file_name, BSTR parameters, LONG* out) override;
  HRESULT LoadScript(BSTR file_name, IDispatch** out) override;
  HRESULT get_name(BSTR* out) override { return GiveText("Script Host", out); }
  HRESULT Quit(LONG code) override {
    StopChain(false, code);
    return S_OK;
  }
  HRESULT get_ScriptFullName(BSTR* out) override { return GiveText(record_->full_path, out); }
  HRESULT get_ScriptName(BSTR* out) override { return GiveText(FileNameOf(record_->full_path), out); }
  HRESULT Sleep(LONG ms) override {
    if (ms < 0) return E_INVALIDARG;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(ms);
    while (true) {
      if (record_->stopping.load()) return S_FALSE;
      const Clock::time_point now = Clock::now();
      if (now >= due) return S_OK;
      std::this_thread::sleep_for(std::min<Clock::duration>(due - now, std::chrono::milliseconds(100)));
    }
  }
  HRESULT get_StdErr(ITextStream** out) override { return Stream(ConsoleStream::kErr, out); }
  HRESULT get_StdOut(ITextStream** out) override { return Stream(ConsoleStream::kOut, out); }

  // The run is over: its children go.
  void Drop() {
    if (arguments_) arguments_->Drop();
    arguments_ = {};
    application_ = {};
  }

 private:
  HRESULT Self(IDispatch** out) {
    if (!out) return E_INVALIDARG;
    *out = dispatch();
    AddRef();
    return S_OK;
  }
  HRESULT Stream(ConsoleStream s, ITextStream** out) {
    if (!out) return E_INVALIDARG;
    *out = (new CConStream(dispatch(), s))->dispatch();
    return S_OK;
  }

  RunRecord* record_;
  ComRef<IDispatch> application_;
  ComRef<CArguments> arguments_;
  // The sites of loaded libraries; their engines live in the record.
  std::vector<std::unique_ptr<Site>> libraries_;
};

// Links `record` in as the chain's head for its lifetime.
class ChainLink {
 public:
  explicit ChainLink(RunRecord& record) : record_(record) {
    std::lock_guard lock(Host().mutex);
    record.next = Host().head;
    Host().head = &record;
    if (Host().stopping) record.stopping.store(true);
  }
  ~ChainLink() {
    std::lock_guard lock(Host().mutex);
    Host().head = record_.next;
  }
  ChainLink(const ChainLink&) = delete;
  ChainLink& operator=(const ChainLink&) = delete;

 private:
  RunRecord& record_;
};

// Adds an engine to the record where StopChain can reach it.
ScriptEngine* AddEngine(RunRecord& record, std::unique_ptr<ScriptEngine> engine) {
  std::lock_guard lock(Host().mutex);
  record.engines.push_back(std::move(engine));
  ScriptEngine* e = record.engines.back().get();
  if (record.stopping.load()) e->InterruptAll();
  return e;
}

// Tears the record's engines down (outside the lock: finalizers run).
void DropEngines(RunRecord& record) {
  std::vector<std::unique_ptr<ScriptEngine>> engines;
  {
    std::lock_guard lock(Host().mutex);
    engines.swap(record.engines);
  }
  while (!engines.empty()) engines.pop_back();  // libraries first, the run's own engine last
}

bool ReadScript(const std::string& path, std::string* text) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *text = s.str();
  return true;
}

// Makes, parses and runs one engine for `path` in `record`; `run`: connect
// it (a library is connected too, which runs its global code).
HRESULT StartEngine(RunRecord& record, const std::string& path, Site& site, ScriptEngine** out) {
  const std::optional<CLSID> clsid = EngineTable::FromSettings().EngineFor(path);
  if (!clsid) {
    Print(ConsoleStream::kErr, DescribeError(kNoScriptEngine) + " (" + FileNameOf(path) + ")\n");
    return E_FAIL;
  }
  HRESULT hr = S_OK;
  std::unique_ptr<ScriptEngine> made = CreateScriptEngine(*clsid, &hr);
  if (!made) {
    Print(ConsoleStream::kErr, DescribeError(err::kScriptEngineStartFailed) + " " + HResultName(hr) + "\n");
    return hr;
  }
  std::string text;
  if (!ReadScript(path, &text)) {
    Print(ConsoleStream::kErr, DescribeError(kScriptNotRun) + " (" + path + ")\n");
    return MakeHr(0x80070002);  // file not found
  }
  ScriptEngine* engine = AddEngine(record, std::move(made));
  (void)engine->SetSite(&site);
  hr = engine->ParseScriptText(text, FileNameOf(path));
  if (SUCCEEDED(hr)) hr = engine->AddNamedItem("Application");
  if (SUCCEEDED(hr)) hr = engine->AddNamedItem("Script");
  if (SUCCEEDED(hr)) hr = engine->Connect();
  *out = engine;
  return hr;
}

// The steps of the worker thread for one record, on the calling thread.
HRESULT ExecuteRecord(RunRecord& record, IDispatch* application) {
  std::error_code ec;
  record.full_path = std::filesystem::absolute(record.full_path, ec).lexically_normal().string();
  std::filesystem::path previous;
  if (!record.keep_directory) {
    previous = std::filesystem::current_path(ec);
    std::filesystem::current_path(std::filesystem::path(record.full_path).parent_path(), ec);
  }
  ChainLink link(record);
  ComRef<CScript> script = ComRef<CScript>::Adopt(new CScript(&record, application));
  HRESULT hr;
  {
    Site site(record, application, script->dispatch());
    ScriptEngine* engine = nullptr;
    hr = StartEngine(record, record.full_path, site, &engine);
    DropEngines(record);  // before the site goes
  }
  script->Drop();
  script = {};
  if (!previous.empty()) std::filesystem::current_path(previous, ec);
  return hr;
}

HRESULT CScript::ExecScript(BSTR file_name, BSTR parameters, LONG* out) {
  if (!out) return E_INVALIDARG;
  *out = 0;
  if (SysStringLen(file_name) == 0) return E_INVALIDARG;
  if (Host().stopping) return ReportScriptError(err::kScriptHostEnding);
  RunRecord child;
  child.full_path = ChildPath(*record_, BstrToUtf8(file_name));
  child.keep_directory = record_->keep_directory;
  child.args = SplitArguments(ExpandEnvironment(BstrToUtf8(parameters)));
  const HRESULT hr = ExecuteRecord(child, application_.get());
  if (hr == SCRIPT_E_INTERRUPTED) return hr;
  if (FAILED(hr)) {
    const std::string text = child.had_error ? child.error_description : "The script " + FileNameOf(child.full_path) + " could not be run.";
    ReportError(IScript::IID, kErrorSource, text);
    return child.had_error && FAILED(child.error_scode) && child.error_scode != DISP_E_EXCEPTION ? child.error_scode
                                                                                                 : E_FAIL;
  }
  return S_OK;
}

HRESULT CScript::LoadScript(BSTR file_name, IDispatch** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (SysStringLen(file_name) == 0) return E_INVALIDARG;
  if (Host().stopping) return ReportScriptError(err::kScriptHostEnding);
  const std::string path = ChildPath(*record_, BstrToUtf8(file_name));
  // The library's errors are printed under the caller's record; its site
  // lives with the record's engines (until the run ends).
  libraries_.push_back(std::make_unique<Site>(*record_, application_.get(), dispatch()));
  ScriptEngine* engine = nullptr;
  const bool had_error = record_->had_error;
  record_->had_error = false;
  const HRESULT hr = StartEngine(*record_, path, *libraries_.back(), &engine);
  if (FAILED(hr)) {
    if (hr == SCRIPT_E_INTERRUPTED) return hr;
    const std::string text = record_->had_error ? record_->error_description : "The script library " + FileNameOf(path) + " could not be loaded.";
    record_->had_error = had_error;
    return ReportError(IScript::IID, kErrorSource, text);
  }
  return engine->GetScriptDispatch(out);
}

// A child script's name: relative names are looked up beside the calling
// script first, then in the working folder.
std::string ChildPath(const RunRecord& caller, const std::string& name) {
  std::error_code ec;
  const std::filesystem::path p(name);
  if (p.is_relative()) {
    const std::filesystem::path beside = std::filesystem::path(caller.full_path).parent_path() / p;
    if (std::filesystem::is_regular_file(beside, ec)) return beside.lexically_normal().string();
  }
  return std::filesystem::absolute(p, ec).lexically_normal().string();
}

// Runs a deferred suspend with the recorded flags.
bool SystemSuspend(bool hibernate, bool) {
  return std::system(hibernate ? "systemctl hibernate" : "systemctl suspend") == 0;
}

}  // namespace

HRESULT EchoText(const VARIANT& value, std::string* out) {
  const VARIANT* v = VariantDeref(&value);
  if (v->vt == VT_BOOL) {
    *out = v->boolVal != VARIANT_FALSE ? "True" : "False";
    return S_OK;
  }
  if (v->vt == VT_NULL) {
    *out = "null";
    return S_OK;
  }
  if (VariantIsMissing(v)) {
    out->clear();
    return S_OK;
  }
  Variant text;
  const HRESULT hr = VariantChangeType(&text, v, 0, VT_BSTR);
  if (FAILED(hr)) return hr;
  *out = BstrToUtf8(text.bstrVal);
  return S_OK;
}

bool BreakRunningScript() { return StopChain(true, 0); }

bool RequestDeferredSuspend(bool hibernate, bool force) {
  HostState& h = Host();
  std::lock_guard lock(h.mutex);
  if (!h.running) return false;
  h.suspend_pending = true;
  h.suspend_hibernate = hibernate;
  h.suspend_force = force;
  return true;
}

bool ScriptIsRunning() {
  std::lock_guard lock(Host().mutex);
  return Host().running;
}

RunOutcome RunScript(const RunRequest& request) {
  RunOutcome outcome;
  HostState& h = Host();
  SetDeferredSuspendHandler(&RequestDeferredSuspend);
  // Refused before anything starts: no engine for the extension, a missing
  // file, or a run already in progress.
  const EngineTable fallback = request.engines ? EngineTable() : EngineTable::FromSettings();
  const EngineTable& table = request.engines ? *request.engines : fallback;
  auto refuse = [&](std::string text, Error code) {
    if (request.console) request.console->Write(ConsoleStream::kErr, text + "\n");
    outcome.error = true;
    outcome.hr = E_FAIL;
    outcome.app_error = code;
    return outcome;
  };
  if (request.path.empty()) return refuse(std::string(UiText(text::kScriptPopupNoPath)), kScriptNotRun);
  if (!table.EngineFor(request.path))
    return refuse(DescribeError(kNoScriptEngine) + " (" + request.path + ")", kNoScriptEngine);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(request.path, ec))
    return refuse(DescribeError(kScriptNotRun) + " (" + request.path + ")", kScriptNotRun);
  {
    std::lock_guard lock(h.mutex);
    if (h.running) return refuse(DescribeError(err::kScriptHostEnding), err::kScriptHostEnding);
    h.running = true;
    h.stopping = false;
    h.broken = false;
    h.exit_code = 0;
    h.console = request.console;
    h.suspend_pending = false;
  }
  if (request.debug && request.console)
    request.console->Write(ConsoleStream::kErr,
                           "Script debugging is not available on this platform; the script runs without a debugger.\n");

  ComRef<IDispatch> application = request.make_application ? request.make_application() : ComRef<IDispatch>();
  HRESULT hr = S_OK;
  {
    ApartmentBridge bridge;
    ComRef<IDispatch> proxy = application ? bridge.Wrap(application.get()) : ComRef<IDispatch>();
    RunRecord record;
    record.full_path = request.path;
    record.args = request.arguments;
    record.keep_directory = request.keep_directory;
    Event done;
    outcome.started = true;
    std::thread worker([&] {
      hr = ExecuteRecord(record, proxy.get());
      proxy = {};
      done.Set();
    });
    bool broke = false;
    while (!PumpUntil(done, 20)) {
      if (!broke && ((request.break_request && request.break_request->load()) ||
                     (request.break_requested && request.break_requested()))) {
        broke = true;
        BreakRunningScript();
      }
    }
    worker.join();
    bridge.DisconnectAll();
  }
  application = {};
  if (request.end_application) request.end_application();

  bool suspend = false, hibernate = false, force = false;
  {
    std::lock_guard lock(h.mutex);
    outcome.exit_code = h.exit_code;
    outcome.broken = h.broken;
    suspend = h.suspend_pending;
    hibernate = h.suspend_hibernate;
    force = h.suspend_force;
    h.console = nullptr;
    h.running = false;
    h.stopping = false;
    h.suspend_pending = false;
  }
  outcome.hr = hr == SCRIPT_E_INTERRUPTED ? S_OK : hr;
  outcome.error = FAILED(outcome.hr) || outcome.broken;
  if (suspend) (void)(request.suspend ? request.suspend(hibernate, force) : SystemSuspend(hibernate, force));
  if (!outcome.error && outcome.exit_code >= 0 && request.console) {
    char line[64];
    std::snprintf(line, sizeof line, " %ld\n", static_cast<long>(outcome.exit_code));
    request.console->Write(ConsoleStream::kOut, "*** EXIT ***\n" + FileNameOf(request.path) + " " +
                                                    std::string(UiText(text::kScriptExitCodeLabel)) + line);
  }
  return outcome;
}

}  // namespace tidemark::NS_SCRIPT
