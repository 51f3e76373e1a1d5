// Scripts run through the host against a small test object standing in for
// the application: the console texts, the JScript idioms, Break and Quit.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "automation/model/deferred_suspend.h"
#include "automation/script/host_typelib.h"
#include "automation/script/script_host.h"
#include "config/text_catalogue.h"

namespace tidemark::com {

// The stand-in application: a collection of itself-made children.
class ITestApp : public IDispatch {
 public:
  static constexpr com::IID IID = MakeGuid("0E2A7B51-98C4-4B07-A3E2-5F6A11D2C901");
  static const InterfaceInfo& Info();
  virtual HRESULT get__NewEnum(IUnknown** out) = 0;
  virtual HRESULT get_Count(LONG* out) = 0;
  virtual HRESULT get_Item(LONG index, IDispatch** out) = 0;
  virtual HRESULT Keys(SAFEARRAY** out) = 0;
  virtual HRESULT TypeOf(VARIANT* value, BSTR* out) = 0;
  virtual HRESULT Fail(LONG how) = 0;

 protected:
  ~ITestApp() = default;
};

namespace {

constexpr ParamInfo kIndex[] = {{"index", ParamType::kLong}};
constexpr ParamInfo kValue[] = {{"value", ParamType::kVariantPtr, true}};
constexpr ParamInfo kHow[] = {{"how", ParamType::kLong}};
constexpr MemberInfo kMembers[] = {
    {"_NewEnum", DISPID_NEWENUM, MemberKind::kGet, {}, ParamType::kUnknown, nullptr, false, &RetThunk<&ITestApp::get__NewEnum>},
    {"Count", 0x60020001, MemberKind::kGet, {}, ParamType::kLong, nullptr, false, &RetThunk<&ITestApp::get_Count>},
    {"Item", DISPID_VALUE, MemberKind::kGet, kIndex, ParamType::kDispatch, nullptr, false, &RetThunk<&ITestApp::get_Item>},
    {"Keys", 0x60020003, MemberKind::kMethod, {}, ParamType::kSafeArray, nullptr, false, &RetThunk<&ITestApp::Keys>},
    {"TypeOf", 0x60020004, MemberKind::kMethod, kValue, ParamType::kBstr, nullptr, false, &RetThunk<&ITestApp::TypeOf>},
    {"Fail", 0x60020005, MemberKind::kMethod, kHow, ParamType::kVoid, nullptr, false, &MethodThunk<&ITestApp::Fail>},
};

}  // namespace

const InterfaceInfo& ITestApp::Info() {
  static constexpr InterfaceInfo kInfo{"ITestApp", ITestApp::IID, kMembers};
  return kInfo;
}

namespace {

class CTestApp final : public CBase<CTestApp, ITestApp> {
 public:
  explicit CTestApp(int children) {
    for (int i = 0; i < children; ++i) children_.push_back(ComRef<CTestApp>::Adopt(new CTestApp(0)));
  }
  HRESULT get__NewEnum(IUnknown** out) override {
    std::vector<IDispatch*> items;
    for (auto& c : children_) items.push_back(c->dispatch());
    IEnumVARIANT* en = nullptr;
    const HRESULT hr = CreateEnumVariant(items, &en);
    *out = en;
    return hr;
  }
  HRESULT get_Count(LONG* out) override {
    *out = static_cast<LONG>(children_.size());
    return S_OK;
  }
  HRESULT get_Item(LONG index, IDispatch** out) override {
    *out = nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= children_.size()) return E_INVALIDARG;
    *out = children_[static_cast<std::size_t>(index)]->dispatch();
    (*out)->AddRef();
    return S_OK;
  }
  HRESULT Keys(SAFEARRAY** out) override {
    *out = SafeArrayCreateVector(VT_VARIANT, 0, 3);
    const char* keys[] = {"ISRC", "INAM", "IART"};
    for (LONG i = 0; i < 3; ++i) {
      Variant v;
      (void)VariantSetString(&v, keys[i]);
      (void)SafeArrayPutElement(*out, &i, &v);
    }
    return S_OK;
  }
  HRESULT TypeOf(VARIANT* value, BSTR* out) override {
    const VARTYPE vt = VariantIsMissing(value) ? static_cast<VARTYPE>(VT_ERROR) : VariantDeref(value)->vt;
    const char* name = vt == VT_I4 ? "I4" : vt == VT_R8 ? "R8" : vt == VT_BSTR ? "BSTR" : vt == VT_ERROR ? "missing"
                     : vt == VT_DISPATCH ? "DISPATCH" : vt == (VT_ARRAY | VT_VARIANT) ? "ARRAY" : "other";
    *out = BstrFromUtf8(name);
    return S_OK;
  }
  HRESULT Fail(LONG how) override {
    if (how == 0) return E_INVALIDARG;
    // ISystem.SetSuspendState without `immediate` goes through the same hook.
    if (how == 2) return NS_SCRIPT::RequestSuspendAfterScript(true, false) ? S_OK : E_ACCESSDENIED;
    return ReportError(ITestApp::IID, "Tidemark.Application", "The thing went wrong.");
  }

 private:
  std::vector<ComRef<CTestApp>> children_;
};

}  // namespace
}  // namespace tidemark::com

namespace tidemark::NS_SCRIPT {
namespace {

class Capture final : public ScriptConsole {
 public:
  void Write(ConsoleStream stream, std::string_view text) override {
    std::lock_guard lock(mutex_);
    (stream == ConsoleStream::kOut ? out : err) += text;
  }
  std::mutex mutex_;
  std::string out, err;
};

class ScriptRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* src = std::getenv("TIDEMARK_SOURCE_DIR");
    ASSERT_TRUE(src);
    ASSERT_FALSE(ProcessTextCatalogue().LoadFile(std::string(src) + "/UIText/en.txt", "UTF-8"));
  }
  void TearDown() override { EXPECT_EQ(LiveObjectCount(), 0); }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  RunOutcome Run(const std::string& text, std::vector<std::string> args = {}, const std::atomic<bool>* brk = nullptr,
                 const std::string& name = "s.js") {
    RunRequest req;
    req.path = Write(name, text);
    req.arguments = std::move(args);
    req.console = &console;
    req.make_application = [] { return ComRef<IDispatch>::Adopt(new CTestApp(3)); };
    req.break_request = brk;
    return RunScript(req);
  }
  Capture console;
};

struct Case {
  const char* name;
  const char* script;
  const char* out;
};
class ScriptOutput : public ScriptRun, public ::testing::WithParamInterface<Case> {};

TEST_P(ScriptOutput, PrintsWhatTheScriptSays) {
  const RunOutcome r = Run(GetParam().script, {"/out:x.wav", "a", "/verbose", "/:x", "/", "/tmp/in.wav"});
  EXPECT_FALSE(r.error) << console.err;
  EXPECT_EQ(console.out, std::string(GetParam().out) + "*** EXIT ***\ns.js exit code 0\n");
  EXPECT_EQ(console.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScriptOutput,
    ::testing::Values(
        Case{"Echo", "Script.Echo(1, true, 'x'); Script.Echo(-2147024809, 0.5, false, null); Script.Echo();",
             "1 True x\n-2147024809 0.5 False null\n\n"},
        Case{"Streams", "Script.StdOut.Write('a'); Script.StdOut.Write(''); Script.StdOut.WriteLine('b');"
                        "Script.StdOut.WriteBlankLines(2); Script.StdOut.WriteLine();",
             "ab\n\n\n\n"},
        Case{"Named", "var n = Script.Arguments.Named; Script.Echo(n.Item('OUT'), n.Exists('verbose'),"
                      " typeof n.Item('verbose'), n.length, Script.Arguments.Unnamed.Count());",
             "x.wav True undefined 2 4\n"},
        Case{"Unnamed", "var u = Script.Arguments.Unnamed; var s = [];"
                        "for (var i = 0; i < u.length; ++i) s.push(u.Item(i)); Script.Echo(s.join('|'));"
                        "Script.Echo(Script.Arguments(0), Script.Arguments.Item(5));",
             "a|/:x|/|/tmp/in.wav\n/out:x.wav /tmp/in.wav\n"},
        Case{"Enumerator", "var s = []; for (var e = new Enumerator(Script.Arguments); !e.atEnd(); e.moveNext())"
                           " s.push(e.item()); Script.Echo(s.length, s[0]);"
                           "var n = 0; for (var d = new Enumerator(Application); !d.atEnd(); d.moveNext())"
                           " if (d.item() === Application.Item(n)) ++n; Script.Echo(n);",
             "6 /out:x.wav\n3\n"},
        Case{"VBArray", "var k = new VBArray(Application.Keys()); var a = k.toArray();"
                        "Script.Echo(a.join(','), k.lbound(), k.ubound(), k.getItem(1));",
             "ISRC,INAM,IART 0 2 INAM\n"},
        Case{"Identity", "Script.Echo(Script.Arguments === Script.Arguments, Application.Item(1) === Application(1),"
                         " Application.Item(0) === Application.Item(1), Script.Application === Script);",
             "True True False True\n"},
        Case{"NumbersAndOptional", "Script.Echo(Application.TypeOf(1), Application.TypeOf(-2147483648),"
                                   " Application.TypeOf(2147483648), Application.TypeOf(0.5), Application.TypeOf(),"
                                   " Application.TypeOf('1'), Application.TypeOf(Application), Application.TypeOf([1]));",
             "I4 I4 R8 R8 missing BSTR DISPATCH ARRAY\n"},
        // Nothing after Quit reaches the host, not even from a catch.
        Case{"QuitEndsTheRun", "Script.Echo(1); Script.Quit(0); Script.Echo(2);"
                               "try { Script.Echo(3); } catch (e) { Script.Echo(4); }",
             "1\n"},
        Case{"TryCatch", "try { Script.Sleep(-1); } catch (e) { Script.Echo(e.number, e.number === -2147024809,"
                         " e instanceof Error, e.message === e.description); }"
                         "try { Application.Fail(1); } catch (e) { Script.Echo(e.number, e.description); }",
             "-2147024809 True True True\n-2147467259 The thing went wrong.\n"},
        Case{"SleepZero", "Script.Sleep(0); Script.Echo(Script.name, Script.ScriptName);", "Script Host s.js\n"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST_F(ScriptRun, QuitPrintsTheExitLineWithItsCodeAndStopsAtOnce) {
  const RunOutcome r = Run("Script.Echo('before'); Script.Quit(3); for (;;) {}");
  EXPECT_FALSE(r.error);
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(console.out, "before\n*** EXIT ***\ns.js exit code 3\n");
}

TEST_F(ScriptRun, ErrorAtTheFirstCharacterReportsPositionOneOne) {
  const RunOutcome r = Run("@ not a script\nScript.Echo(1);");
  EXPECT_TRUE(r.error);
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(console.err.rfind("*** ERROR ***\nFile: s.js\nLine, column: 1, 1\nDescription: SyntaxError", 0), 0u)
      << console.err;
  EXPECT_NE(console.err.find("Source: @ not a script\n"), std::string::npos);
}

TEST_F(ScriptRun, UncaughtAutomationFailureReportsItsText) {
  const RunOutcome r = Run("Script.Echo(1);\nApplication.Fail(1);\n");
  EXPECT_TRUE(r.error);
  EXPECT_EQ(console.out, "1\n");
  EXPECT_EQ(console.err,
            "*** ERROR ***\nFile: s.js\nLine, column: 2, 1\nDescription: The thing went wrong.\n"
            "Source: Application.Fail(1);\n");
}

TEST_F(ScriptRun, DeepRecursionAndGarbageAreErrorsNotCrashes) {
  EXPECT_TRUE(Run("function f(n) { return f(n + 1) + 1; } f(0);").error);
  EXPECT_NE(console.err.find("RangeError"), std::string::npos) << console.err;
  console.err.clear();
  EXPECT_TRUE(Run(std::string("\x7f\x00\xff\xfe garbage", 13)).error);
  EXPECT_NE(console.err.find("*** ERROR ***"), std::string::npos);
}

TEST_F(ScriptRun, DeferredSuspendRunsAfterTheRunAndDebuggingSaysItIsAbsent) {
  std::vector<std::pair<bool, bool>> calls;
  RunRequest req;
  req.path = Write("s.js", "Application.Fail(2); Script.Echo('still running');");
  req.console = &console;
  req.make_application = [] { return ComRef<IDispatch>::Adopt(new CTestApp(0)); };
  req.suspend = [&](bool hibernate, bool force) {
    EXPECT_FALSE(ScriptIsRunning());
    calls.emplace_back(hibernate, force);
    return true;
  };
  req.debug = true;
  EXPECT_FALSE(RunScript(req).error) << console.err;
  EXPECT_EQ(calls, (std::vector<std::pair<bool, bool>>{{true, false}}));
  EXPECT_EQ(console.out, "still running\n*** EXIT ***\ns.js exit code 0\n");
  EXPECT_NE(console.err.find("debugging is not available"), std::string::npos);
  // No script runs: nothing to defer to.
  EXPECT_FALSE(RequestDeferredSuspend(false, false));
  calls.clear();
  req.debug = false;
  req.path = Write("s.js", "Script.Echo(1);");
  EXPECT_FALSE(RunScript(req).error);
  EXPECT_TRUE(calls.empty());
}

TEST_F(ScriptRun, UnknownExtensionIsRefusedBeforeAnythingStarts) {
  bool made = false;
  RunRequest req;
  req.path = Write("s.vbs", "WScript.Echo 1");
  req.console = &console;
  req.make_application = [&] {
    made = true;
    return ComRef<IDispatch>();
  };
  const RunOutcome r = RunScript(req);
  EXPECT_FALSE(r.started);
  EXPECT_FALSE(made);
  EXPECT_NE(console.err.find("No script engine"), std::string::npos);
}

// Break is asked for from another thread, as Ctrl-C does; the bounds are
// loose on purpose (a shared machine), the shape is what counts: a tight
// loop and a long Sleep both end long before they would on their own.
void BreakSoon(std::atomic<bool>* flag) {
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  flag->store(true);
}

TEST_F(ScriptRun, BreakStopsATightLoopAndALongSleep) {
  for (const char* script : {"for (;;) {}", "try { for (;;) {} } catch (e) { for (;;) {} }", "Script.Sleep(10000);"}) {
    console.out.clear();
    console.err.clear();
    std::atomic<bool> flag{false};
    std::thread breaker(BreakSoon, &flag);
    const auto start = std::chrono::steady_clock::now();
    const RunOutcome r = Run(script, {}, &flag);
    const auto took = std::chrono::steady_clock::now() - start;
    breaker.join();
    EXPECT_TRUE(r.broken) << script;
    EXPECT_LT(took, std::chrono::seconds(3)) << script;
    EXPECT_EQ(console.err, "\n*** BREAK ***\n");
    EXPECT_EQ(console.out, "");
  }
}

TEST_F(ScriptRun, ExecScriptAndLoadScriptRunChildren) {
  Write("child.js", "Script.Echo('child', Script.Arguments.length, Script.Arguments(1));");
  Write("lib.js", "function twice(x) { return 2 * x; } function boom() { throw new Error('lib failed'); }");
  Write("bad.js", "nosuch();");
  const RunOutcome r = Run(
      "Script.ExecScript('child.js', 'a \"b c\"');"
      "var lib = Script.LoadScript('lib.js'); Script.Echo(lib.twice(21));"
      "try { Script.ExecScript('bad.js'); } catch (e) { Script.Echo('caught', e.description.indexOf('nosuch') >= 0); }"
      "try { lib.boom(); } catch (e) { Script.Echo('lib', typeof e.number); }");
  EXPECT_FALSE(r.error) << console.err;
  EXPECT_EQ(console.out, "child 2 b c\n42\ncaught True\nlib number\n*** EXIT ***\ns.js exit code 0\n");
  EXPECT_NE(console.err.find("File: bad.js"), std::string::npos) << console.err;
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
