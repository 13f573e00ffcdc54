#include "host/headlessgame.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "data/dbfuncs.h"
#include "data/dbs.h"
#include "host/scriptbridge.h"
#include "platform/headless.h"
#include "platform/system.h"
#include "script/callman.h"
#include "script/sysfuncman.h"
#include "script/sysvars.h"
#include "script/expreval.h"
#include "script/paramcollection.h"
#include "script/project.h"
#include "storage/vrfiles.h"
#include "support/encoding.h"
#include "support/errors.h"

namespace qubo::host {
namespace {

// A value for people: strings in quotes, arrays as [a, b, ...] (at most 20 elements shown).
std::string ValueText(const TCustomParam& v) {
  auto one = [&](int32_t i) {
    const std::string s = v.GetStrAt(i);
    return v.ParamType() == PT_STR ? "\"" + s + "\"" : s;
  };
  if (v.DimCount() <= 1 && v.Count() == 1) return one(0);
  std::string out = "[";
  const int32_t n = v.Count();
  for (int32_t i = 0; i < n && i < 20; ++i) out += (i > 0 ? ", " : "") + one(i);
  if (n > 20) out += ", ...";
  return out + "]";
}

// Message boxes go to the terminal; each answers as if closed without a choice.
class TerminalDialogs : public platform::Dialogs {
 public:
  platform::MsgButton ShowMessage(const platform::MessageBoxRequest& r) override {
    std::printf("[%s] %s\n", Cp932ToUtf8(r.caption).c_str(), Cp932ToUtf8(r.text).c_str());
    std::fflush(stdout);
    // A game that keeps asking (a disc that never comes) is stopped here.
    if (++shown_ > 1000) {
      std::fprintf(stderr, "quboplayer: too many message boxes, stopping\n");
      std::exit(1);
    }
    return platform::EscapeAnswer(r.buttons);
  }
  std::optional<std::string> SelectPath(const platform::FileDialogRequest&) override { return std::nullopt; }

 private:
  int shown_ = 0;
};

class HeadlessEngineHost : public TEngineHost {
 public:
  explicit HeadlessEngineHost(TVrFileManager& files) : files_(files) {}
  TProject* project = nullptr;
  uint32_t clock = 0;
  int32_t frame = 16;
  TEventQueue queue;

  bool HasPage(const std::string& name) override {
    return project != nullptr ? project->HasFile(name) : files_.Exists(name);
  }
  std::vector<uint8_t> ReadPage(const std::string& name) override {
    TKoMemoryStream s;
    files_.Read(s, name);
    return std::move(s.Bytes());
  }
  uint32_t GameClock() override { return clock; }
  int32_t FrameElapsed() override { return frame; }
  TEventQueue* Events() override { return &queue; }
  void ShowWarning(const std::string& caption, const std::string& text) override {
    std::printf("[%s] %s\n", Cp932ToUtf8(caption).c_str(), Cp932ToUtf8(text).c_str());
  }
  void ReportFailure(const TFailureReport& r) override {
    std::printf("error: %s(%d): %s\n", Cp932ToUtf8(r.page).c_str(), r.line, Cp932ToUtf8(r.message).c_str());
  }
  void RequestSave(int32_t slot, const std::string& caption, const std::string&, int32_t) override {
    if (project != nullptr) project->RequestSave(slot, caption, "", 0);
  }
  void RequestLoad(int32_t slot) override {
    if (project != nullptr) project->RequestLoad(slot);
  }

 private:
  TVrFileManager& files_;
};

// The headless platform (virtual clock, fixed display, recorded shell) with message boxes on
// the terminal.
class TerminalPlatform : public platform::Platform {
 public:
  TerminalPlatform() : base_(platform::MakeHeadlessPlatform()) {}
  platform::Clock& GetClock() override { return base_->GetClock(); }
  platform::Dialogs& GetDialogs() override { return dialogs_; }
  platform::Shell& GetShell() override { return base_->GetShell(); }
  platform::Display& GetDisplay() override { return base_->GetDisplay(); }
  platform::Input& GetInput() override { return base_->GetInput(); }
  platform::FontSource& GetFonts() override { return base_->GetFonts(); }

 private:
  std::unique_ptr<platform::HeadlessPlatform> base_;
  TerminalDialogs dialogs_;
};

void PrintVars(const TParamCollection& vars) {
  for (int i = vars.SystemCount(); i < vars.Count(); ++i) {
    const TParamCollectionItem* v = vars.Var(i);
    if (v == nullptr || v->Name().empty()) continue;
    std::printf("%s = %s\n", Cp932ToUtf8(v->Name()).c_str(), Cp932ToUtf8(ValueText(v->Value())).c_str());
  }
}

}  // namespace

int RunHeadless(const THeadlessOptions& o) {
  TVrFileManager files;
  files.SetBaseFolder(o.gameDir);
  TVrFileManager::SetInstance(&files);
  // Every variable table of the player holds the system variables.
  InstallSystemVars();
  TParamCollection vars;
  TExprContext context;
  context.vars = &vars;
  TDBManager tables;
  TDBManager::SetInstance(&tables);
  TDBFunctions tableFunctions(&tables);
  TSysFuncMan functions(vars, &tableFunctions);
  functions.SetContext(&context);
  context.functions = &functions;
  SetRandomSeed(o.randomSeed ? *o.randomSeed : platform::MakeSystemClock()->RandomSeed());
  HeadlessEngineHost host(files);
  host.frame = o.frameMs;
  TCallMan* engine = nullptr;
  TerminalPlatform terminal;
  TScriptBridge bridge;
  bridge.platform = &terminal;
  bridge.tickCount = [&] { return host.clock; };
  SetScriptHost(&bridge);
  TerminalDialogs& dialogs = static_cast<TerminalDialogs&>(terminal.GetDialogs());
  std::unique_ptr<TProject> project;
  std::unique_ptr<TCallMan> ownEngine;

  auto makeEngine = [&]() {
    auto e = std::make_unique<TCallMan>(host, context);
    e->Stack().SetVars(&vars);
    if (o.trace) e->SetTraceSink([](std::string_view line) { std::printf("%s\n", Cp932ToUtf8(line).c_str()); });
    engine = e.get();
    bridge.engine = engine;
    return e;
  };
  int code = 0;
  if (o.startPage.empty()) {
    TProjectHost ph;
    ph.dialogs = &dialogs;
    ph.files = &files;
    ph.vars = &vars;
    ph.args = {o.gameDir};
    ph.programFolder = o.gameDir;
    ph.makeEngine = [&](TProject&) -> std::unique_ptr<TProjectEngine> { return makeEngine(); };
    ph.abnormalEnd = [&] { return engine != nullptr && engine->AbnormalEnd(); };
    project = std::make_unique<TProject>(std::move(ph));
    if (!o.saveDir.empty()) project->SetSaveDir(o.saveDir);
    host.project = project.get();
    bridge.project = project.get();
    TProject::SetInstance(project.get());
    tableFunctions.fileAvailable = [&](std::string_view name) { return project->HasFile(std::string(name)); };
    if (project->Create() != TProject::StartResult::Started) code = 1;
  } else {
    ownEngine = makeEngine();
    engine->Start(o.startPage);
  }

  if (code == 0) {
    int64_t tick = 0;
    const char* why = "the tick limit was reached";
    for (; tick < o.maxTicks; ++tick) {
      if (engine == nullptr || engine->Terminated()) {
        why = "the game terminated";
        break;
      }
      if (engine->Idle()) {
        why = "the script ended";
        break;
      }
      host.clock += static_cast<uint32_t>(o.frameMs);
      engine->Run();
      if (project) project->AfterTick();
    }
    if (engine != nullptr && engine->Terminated()) why = "the game terminated";
    const bool failed = engine != nullptr && engine->AbnormalEnd();
    if (o.printVars) PrintVars(vars);
    std::printf("stopped after %lld ticks: %s\n", static_cast<long long>(tick), failed ? "the game failed" : why);
    if (failed) code = 1;
  }
  if (project) project->Destroy();
  TProject::SetInstance(nullptr);
  project.reset();
  ownEngine.reset();
  SetScriptHost(nullptr);
  TDBManager::SetInstance(nullptr);
  TVrFileManager::SetInstance(nullptr);
  return code;
}

}  // namespace qubo::host
