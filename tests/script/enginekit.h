#pragma once
// A headless engine for tests: pages held in memory, a game clock advanced by hand, an event
// queue, and the requests and reports the engine makes, recorded.

#include <map>
#include <string>
#include <vector>

#include "authoring/pagebuilder.h"
#include "script/callman.h"
#include "script/paramcollection.h"
#include "support/errors.h"

namespace qubo::testkit {

class FakeEngineHost : public TEngineHost {
 public:
  std::map<std::string, std::vector<uint8_t>> pages;
  std::vector<std::string> objects;
  TEventQueue queue;
  uint32_t clock = 0;
  int32_t elapsed = 16;
  std::vector<TFailureReport> failures;
  std::vector<std::string> warnings;
  int closeRequests = 0;
  std::vector<std::string> requests;
  int resets = 0;

  bool HasPage(const std::string& name) override { return pages.count(name) != 0; }
  std::vector<uint8_t> ReadPage(const std::string& name) override {
    const auto it = pages.find(name);
    if (it == pages.end()) throw QuboError(name + ": missing");
    return it->second;
  }
  uint32_t GameClock() override { return clock; }
  int32_t FrameElapsed() override { return elapsed; }
  bool ObjectExists(const std::string& name) override {
    for (const auto& o : objects) {
      if (o == name) return true;
    }
    return false;
  }
  TEventQueue* Events() override { return &queue; }
  void ShowWarning(const std::string& caption, const std::string& text) override {
    warnings.push_back(caption + "|" + text);
  }
  void ReportFailure(const TFailureReport& r) override { failures.push_back(r); }
  void RequestClose() override { ++closeRequests; }
  void RequestSave(int32_t slot, const std::string& caption, const std::string& page, int32_t pos) override {
    requests.push_back("save " + std::to_string(slot) + " " + caption + " " + page + " " + std::to_string(pos));
  }
  void RequestLoad(int32_t slot) override { requests.push_back("load " + std::to_string(slot)); }
  void ResetWorld() override { ++resets; }
};

struct EngineRig {
  TParamCollection vars;
  TExprContext ctx;
  FakeEngineHost host;
  TCallMan engine{host, ctx};
  std::vector<std::string> trace;

  EngineRig() {
    ctx.vars = &vars;
    engine.Stack().SetVars(&vars);
  }
  void AddPage(const std::string& name, const authoring::TPageBuilder& b) { host.pages[name] = b.Bytes(); }
  // One tick: the clock moves by the frame time, then the engine runs.
  void Tick() {
    host.clock += static_cast<uint32_t>(host.elapsed);
    engine.Run();
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) Tick();
  }
  int32_t Int(const std::string& name) {
    TParamCollectionItem* v = vars.FindVar(name);
    return v != nullptr ? v->Value().AsInt() : -999999;
  }
  std::string Str(const std::string& name) {
    TParamCollectionItem* v = vars.FindVar(name);
    return v != nullptr ? v->Value().AsStr() : "<none>";
  }
  void Post(const std::string& handler, const std::string& sender = "btn", std::vector<std::string> args = {}) {
    TQueuedEvent e;
    e.handler = handler;
    e.sender = sender;
    e.args = std::move(args);
    host.queue.Post(std::move(e));
  }
};

}  // namespace qubo::testkit
