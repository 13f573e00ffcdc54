// qubo-tool run: runs a game's script headlessly, tick by tick on a virtual 16 ms clock, from
// the project file or from a given page, printing trace lines and message boxes.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "command.h"
#include "script/callman.h"
#include "script/paramcollection.h"
#include "script/project.h"
#include "storage/vrfiles.h"
#include "support/encoding.h"
#include "support/errors.h"
#include "toolscript.h"

namespace qubo::tool {
namespace {

const char* const kName = "run";
constexpr int32_t kFrame = 16;

int Usage() {
  std::fprintf(stderr,
               "usage: qubo-tool run GAME_DIR [--page START.qsb] [--ticks N] [--trace] [--vars]\n"
               "Runs the game in GAME_DIR without a window: from the project file's start page, or\n"
               "from START.qsb when given. Ticks are 16 ms of a virtual clock; it stops when the\n"
               "script has ended with no event pending, when it terminates, or after N ticks\n"
               "(default 100000).\n"
               "  --trace  print a line for every command entered (clock, page, source line)\n"
               "  --vars   print the variables when it stops\n");
  return 2;
}

// Message boxes go to the terminal; each answers as if closed without a choice.
class TerminalDialogs : public platform::Dialogs {
 public:
  platform::MsgButton ShowMessage(const platform::MessageBoxRequest& r) override {
    std::printf("[%s] %s\n", Cp932ToUtf8(r.caption).c_str(), Cp932ToUtf8(r.text).c_str());
    std::fflush(stdout);
    // A game that keeps asking (a disc that never comes) is stopped here.
    if (++shown_ > 1000) {
      std::fprintf(stderr, "qubo-tool run: too many message boxes, stopping\n");
      std::exit(1);
    }
    return platform::EscapeAnswer(r.buttons);
  }
  std::optional<std::string> SelectPath(const platform::FileDialogRequest&) override { return std::nullopt; }

 private:
  int shown_ = 0;
};

class ToolEngineHost : public TEngineHost {
 public:
  explicit ToolEngineHost(TVrFileManager& files) : files_(files) {}
  TProject* project = nullptr;
  uint32_t clock = 0;
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
  int32_t FrameElapsed() override { return kFrame; }
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

void PrintVars(const TParamCollection& vars) {
  for (int i = vars.SystemCount(); i < vars.Count(); ++i) {
    const TParamCollectionItem* v = vars.Var(i);
    if (v == nullptr || v->Name().empty()) continue;
    std::printf("%s = %s\n", Cp932ToUtf8(v->Name()).c_str(), Cp932ToUtf8(ValueText(v->Value())).c_str());
  }
}

int RunMain(const Args& args) {
  std::string dir, page;
  long ticks = 100000;
  bool trace = false, vars = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return Usage();
    if (a == "--trace") {
      trace = true;
    } else if (a == "--vars") {
      vars = true;
    } else if ((a == "--page" || a == "--ticks") && i + 1 < args.size()) {
      if (a == "--page") {
        page = Utf8ToCp932Lossy(args[++i]);
      } else {
        char* end = nullptr;
        ticks = std::strtol(args[++i].c_str(), &end, 10);
        if (end == nullptr || *end != 0 || ticks < 0) return Usage();
      }
    } else if (dir.empty() && !a.starts_with("--")) {
      dir = a;
    } else {
      return Usage();
    }
  }
  if (dir.empty()) return Usage();

  TVrFileManager files;
  files.SetBaseFolder(dir);
  TVrFileManager::SetInstance(&files);
  TToolScript script;
  ToolEngineHost host(files);
  TCallMan* engine = nullptr;
  TerminalDialogs dialogs;
  std::unique_ptr<TProject> project;
  std::unique_ptr<TCallMan> ownEngine;

  auto makeEngine = [&]() {
    auto e = std::make_unique<TCallMan>(host, script.context);
    if (trace) e->SetTraceSink([](std::string_view line) { std::printf("%s\n", Cp932ToUtf8(line).c_str()); });
    engine = e.get();
    return e;
  };
  if (page.empty()) {
    TProjectHost ph;
    ph.dialogs = &dialogs;
    ph.files = &files;
    ph.vars = &script.vars;
    ph.args = {dir};
    ph.programFolder = dir;
    ph.makeEngine = [&](TProject&) -> std::unique_ptr<TProjectEngine> { return makeEngine(); };
    ph.abnormalEnd = [&] { return engine != nullptr && engine->AbnormalEnd(); };
    project = std::make_unique<TProject>(std::move(ph));
    host.project = project.get();
    script.project = project.get();
    if (project->Create() != TProject::StartResult::Started) {
      TVrFileManager::SetInstance(nullptr);
      return 1;
    }
  } else {
    ownEngine = makeEngine();
    engine->Start(page);
  }

  long tick = 0;
  const char* why = "the tick limit was reached";
  for (; tick < ticks; ++tick) {
    if (engine == nullptr || engine->Terminated()) {
      why = "the game terminated";
      break;
    }
    if (engine->Idle()) {
      why = "the script ended";
      break;
    }
    host.clock += kFrame;
    engine->Run();
    if (project) project->AfterTick();
  }
  if (engine != nullptr && engine->Terminated() && tick == ticks) why = "the game terminated";
  const bool failed = engine != nullptr && engine->AbnormalEnd();
  if (vars) PrintVars(script.vars);
  std::printf("stopped after %ld ticks: %s\n", tick, failed ? "the game failed" : why);
  if (project) project->Destroy();
  project.reset();
  ownEngine.reset();
  TVrFileManager::SetInstance(nullptr);
  return failed ? 1 : 0;
}

const Registration reg{kName, "run a game's script headlessly and trace it", &RunMain};

}  // namespace
}  // namespace qubo::tool
