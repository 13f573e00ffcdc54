#pragma once
// A script host for tests: scene components as plain records, the rest as fields the test
// sets and reads back, the platform through the headless back end. Plus a caller that runs
// one built-in function of a family with constants and variables as arguments.

#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "script/paramcollection.h"
#include "script/paramvar.h"
#include "script/scripthost.h"
#include "script/sysfuncfamilies.h"
#include "support/stream.h"

namespace qubo::testing {

class FakeComponent : public TScriptComponent {
 public:
  FakeComponent(std::string name, int32_t type) : name_(std::move(name)), type_(type) {}
  std::string Name() const override { return name_; }
  int32_t TypeCode() const override { return type_; }
  bool IsBaseLayer() const override { return baseLayer; }
  bool InCabinet() const override { return inCabinet; }
  bool OnCurrentBase() const override { return onCurrentBase; }

  bool GetCheck(int32_t i) override { return Entry(i).check; }
  void SetCheck(int32_t i, bool v) override { Entry(i).check = v; }
  bool GetEnabled(int32_t i) override { return Entry(i).enabled; }
  void SetEnabled(int32_t i, bool v) override { Entry(i).enabled = v; }
  bool GetVisible(int32_t i) override { return Entry(i).visible; }
  void SetVisible(int32_t i, bool v) override { Entry(i).visible = v; }
  bool GetSelected(int32_t i) override { return Entry(i).selected; }
  void SetSelected(int32_t i, bool v) override { Entry(i).selected = v; }
  int32_t GroupIndex(int32_t i) override { return Entry(i).group; }
  std::string ItemText(int32_t i) override { return Entry(i).text; }
  std::string MenuText() override { return menuText; }
  int32_t FindEntry(std::string_view name) override {
    for (const auto& [i, e] : entries) {
      if (e.text == name) return i;
    }
    return -1;
  }
  TScriptPoint ClientToScreen(TScriptPoint p) override { return {p.x + left, p.y + top}; }
  TScriptPoint ScreenToClient(TScriptPoint p) override { return {p.x - left, p.y - top}; }
  bool ImeOpened() override { return ime; }
  void SetImeOpened(bool v) override {
    if (imeWorks) ime = v;
  }
  void GetProperty(int32_t id, TFuncResult& out) override {
    if (auto it = props.find(id); it != props.end()) out.SetStr(it->second);
  }
  void SetProperty(int32_t id, const TCustomParam& v) override { props[id] = v.AsStr(); }

  struct EntryState {
    bool check = false, enabled = true, visible = true, selected = false;
    int32_t group = 0;
    std::string text;
  };
  // Entries exist where the test made them; others answer the defaults and keep nothing.
  EntryState& Entry(int32_t i) {
    if (auto it = entries.find(i); it != entries.end()) return it->second;
    scratch = EntryState{};
    return scratch;
  }

  std::map<int32_t, EntryState> entries;
  std::map<int32_t, std::string> props;
  std::string menuText;
  bool baseLayer = false, inCabinet = false, onCurrentBase = true;
  bool ime = false, imeWorks = true;
  int32_t left = 0, top = 0;
  FakeComponent* parent = nullptr;

 private:
  std::string name_;
  int32_t type_;
  EntryState scratch;
};

class FakeHost : public TScriptHost {
 public:
  explicit FakeHost(platform::HeadlessOptions options = {}) : platform_(platform::MakeHeadlessPlatform(options)) {}

  platform::HeadlessPlatform& Headless() { return *platform_; }
  platform::Platform* Platform() override { return withPlatform ? platform_.get() : nullptr; }

  // ---- Call stack
  TCustomParam* ResultValue() override { return result.get(); }
  int32_t ArgCount() override { return static_cast<int32_t>(args.size()); }
  std::string ArgText(int32_t i) override { return args.at(static_cast<size_t>(i)); }
  std::string Sender() override { return sender; }
  int32_t FrameCount() override { return frames; }

  // ---- Scene
  FakeComponent& Add(const std::string& name, int32_t type, FakeComponent* parent = nullptr) {
    components.push_back(std::make_unique<FakeComponent>(name, type));
    components.back()->parent = parent;
    return *components.back();
  }
  TScriptComponent* FindComponent(std::string_view name) override {
    for (auto& c : components) {
      if (c->Name() == name) return c.get();
    }
    return nullptr;
  }
  std::vector<TScriptComponent*> Components(TScriptComponent* parent) override {
    std::vector<TScriptComponent*> out;
    for (auto& c : components) {
      if (parent == nullptr || c->parent == parent) out.push_back(c.get());
    }
    return out;
  }
  bool CreateComponent(int32_t type, const std::string& name, TScriptComponent* parent) override {
    created.push_back({type, name, parent ? parent->Name() : std::string()});
    if (type <= 0 || FindComponent(name)) return false;
    Add(name, type, static_cast<FakeComponent*>(parent));
    return true;
  }
  bool DeleteComponent(TScriptComponent* c) override {
    for (size_t i = 0; i < components.size(); ++i) {
      if (components[i].get() == c) {
        components.erase(components.begin() + static_cast<ptrdiff_t>(i));
        return true;
      }
    }
    return false;
  }
  std::string ActiveComponent() override { return active; }
  void SetActiveComponent(const std::string& name) override {
    if (FindComponent(name)) active = name;
  }
  bool SoundOn() override { return soundOn; }
  void SetSoundOn(bool v) override { soundOn = v; }

  // ---- Mouse and keys
  bool GetMouseFlag(MouseFlag f) override { return mouseFlags[static_cast<int>(f)]; }
  void SetMouseFlag(MouseFlag f, bool v) override { mouseFlags[static_cast<int>(f)] = v; }
  TScriptPoint MousePos() override { return mouse; }
  void MoveMouse(TScriptPoint p) override {
    mouse = p;
    ++mouseMoves;
  }
  bool GetKey(KeyState s, int32_t k) override { return keys.count({static_cast<int>(s), k}) != 0; }

  // ---- Screen
  bool FullScreen() override { return fullScreen; }
  void SetFullScreen(bool v) override { fullScreen = v; }
  std::vector<platform::DisplayMode> DisplayModes() override { return modes; }
  int32_t DisplayModeIndex() override { return modeIndex; }
  void SetDisplayModeIndex(int32_t i) override { modeIndex = i; }
  bool WriteSnapshot(TStream& out, const TSnapshotRequest& r) override {
    snapshots.push_back(r);
    if (!screen) return false;
    const std::string bytes = "BRX " + std::to_string(r.width) + "x" + std::to_string(r.height);
    out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return true;
  }
  bool WriteBitmap(const std::string& image, const std::string& path) override;

  // ---- Clocks, history, media, image cache, project
  uint32_t TickCount() override { return ticks; }
  uint32_t UpdateCount() override { return updates; }
  int32_t HistoryCount(const std::string& name) override {
    auto it = history.find(name);
    return it == history.end() ? -1 : it->second.first;
  }
  int32_t HistoryMaxCount(const std::string& name) override {
    auto it = history.find(name);
    return it == history.end() ? -1 : it->second.second;
  }
  bool SetHistoryMaxCount(const std::string& name, int32_t n) override {
    auto it = history.find(name);
    if (it == history.end()) return false;
    it->second.second = n;
    return true;
  }
  std::vector<std::string> MidiPorts() override { return ports; }
  std::string MidiPort() override { return port; }
  void SetMidiPort(const std::string& p) override { port = p; }
  bool Dither() override { return dither; }
  void SetDither(bool v) override { dither = v; }
  void DropImage(const std::string& name) override { dropped.push_back(name); }
  std::vector<SaveCaption> SaveCaptions() override { return captions; }
  std::string SaveCaptionOf(int32_t slot) override {
    for (const auto& c : captions) {
      if (c.slot == slot) return c.caption;
    }
    return {};
  }
  std::string Title() override { return title; }
  int32_t ScreenWidth() override { return width; }
  int32_t ScreenHeight() override { return height; }
  void AddDeleteOnExit(const std::string& path) override { deleteOnExit.push_back(path); }
  bool AddInstallName(const std::string& name) override {
    installNames.push_back(name);
    return true;
  }
  std::string WallpaperFolder() override { return wallpaperFolder; }
  bool StoreSaveEntry(const std::string& name, const std::vector<uint8_t>& bytes) override {
    saveEntries[name] = bytes;
    return saveArchive;
  }

  bool withPlatform = true;
  std::unique_ptr<TCustomParam> result;
  std::vector<std::string> args;
  std::string sender;
  int32_t frames = 0;
  std::vector<std::unique_ptr<FakeComponent>> components;
  struct Created {
    int32_t type;
    std::string name, parent;
  };
  std::vector<Created> created;
  std::string active;
  bool soundOn = true;
  bool mouseFlags[6] = {};
  TScriptPoint mouse{};
  int mouseMoves = 0;
  std::set<std::pair<int, int32_t>> keys;
  bool fullScreen = false;
  std::vector<platform::DisplayMode> modes{{800, 600, 32, 60}, {640, 480, 16, 0}};
  int32_t modeIndex = 0;
  bool screen = true;
  std::vector<TSnapshotRequest> snapshots;
  std::vector<std::pair<std::string, std::string>> bitmaps;  // image, path
  uint32_t ticks = 0, updates = 0;
  std::map<std::string, std::pair<int32_t, int32_t>> history;  // count, maximum
  std::vector<std::string> ports;
  std::string port;
  bool dither = false;
  std::vector<std::string> dropped;
  std::vector<SaveCaption> captions;
  std::string title = "Game";
  int32_t width = 640, height = 480;
  std::vector<std::string> deleteOnExit;
  std::vector<std::string> installNames;
  std::string wallpaperFolder;
  std::map<std::string, std::vector<uint8_t>> saveEntries;
  bool saveArchive = true;

 private:
  std::unique_ptr<platform::HeadlessPlatform> platform_;
};

inline bool FakeHost::WriteBitmap(const std::string& image, const std::string& path) {
  bitmaps.emplace_back(image, path);
  if (!screen) return false;
  TFileStream out(path, TFileStream::Mode::Create);
  out.WriteBuffer("BM", 2);
  return true;
}

// Makes host the current script host while it lives.
struct HostScope {
  explicit HostScope(TScriptHost& host) { SetScriptHost(&host); }
  ~HostScope() { SetScriptHost(nullptr); }
};

using Family = bool (*)(int, TFuncCall&);

// Runs built-in functions over one table and one host. Arguments are made with Str, Int,
// Float, Flag (constants) and Ref (a variable of the table written by name).
struct Caller {
  TParamCollection vars;
  FakeHost host;
  std::vector<std::unique_ptr<TCustomParam>> operands;

  explicit Caller(platform::HeadlessOptions options = {}) : host(std::move(options)) {}

  TCustomParam* Str(const std::string& s) { return Keep(PT_STR)->SetStr(s), operands.back().get(); }
  TCustomParam* Int(int32_t n) { return Keep(PT_INT)->SetInt(n), operands.back().get(); }
  TCustomParam* Flag(bool b) { return Keep(PT_BOOL)->SetBool(b), operands.back().get(); }
  TCustomParam* Float(Real x) { return Keep(PT_FLOAT)->SetFloat(x), operands.back().get(); }
  // A variable written by name: declared (as type) when missing, then referenced.
  TCustomParam* Ref(const std::string& name, uint8_t type = PT_STR) {
    if (vars.FindVar(name) == nullptr) vars.AddNamed(type, name);
    auto ref = std::make_unique<TParamVar>(&vars);
    ref->SetName(name);
    vars.ResolveReference(*ref);
    operands.push_back(std::move(ref));
    return operands.back().get();
  }
  TCustomParam& Var(const std::string& name) { return vars.FindVar(name)->Value(); }

  // The function's result; handled is false when the family does not own the index.
  TFuncResult Call(Family family, int index, std::vector<TCustomParam*> args, bool* handled = nullptr) {
    TFuncResult result;
    TFuncCall call{args.data(), static_cast<int>(args.size()), result, vars, host};
    const bool took = family(index, call);
    if (handled) *handled = took;
    return result;
  }

 private:
  TCustomParam* Keep(uint8_t type) {
    operands.push_back(NewParam(type));
    return operands.back().get();
  }
};

}  // namespace qubo::testing
