#pragma once
// What the built-in functions and system variables reach beyond the variable table: the call
// stack, the scene and its components, the screen, input, media, history, save captions and
// the project. Each piece is a virtual with a null answer: the base class itself is the host
// of a player without a scene, a stack or a project, and answers as the functions do without
// that object (no component exists, no frames, no history formats, no MIDI ports...). The
// player's adaptor overrides what it has; tests override what they look at.
//
// One host is current at a time (ScriptHost()); SetScriptHost(nullptr) restores the null host.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "script/exprfunc.h"
#include "script/params.h"
#include "support/stream.h"

namespace qubo {

struct TScriptPoint {
  int32_t x = 0, y = 0;
};

// One component of the scene, as the functions see it. Entries are the items of list-like
// components (buttons of a group, lines of a menu); an entry outside a component's range
// answers false, 0 or empty and ignores writes.
class TScriptComponent {
 public:
  virtual ~TScriptComponent() = default;
  virtual std::string Name() const = 0;
  // Type code of the component (the LT_ table).
  virtual int32_t TypeCode() const = 0;
  virtual bool IsBaseLayer() const { return false; }
  virtual bool InCabinet() const { return false; }
  // Lies on the scene's current base layer.
  virtual bool OnCurrentBase() const { return false; }

  virtual bool GetCheck(int32_t) { return false; }
  virtual void SetCheck(int32_t, bool) {}
  virtual bool GetEnabled(int32_t) { return false; }
  virtual void SetEnabled(int32_t, bool) {}
  virtual bool GetVisible(int32_t) { return false; }
  virtual void SetVisible(int32_t, bool) {}
  virtual bool GetSelected(int32_t) { return false; }
  virtual void SetSelected(int32_t, bool) {}
  virtual int32_t GroupIndex(int32_t) { return 0; }
  virtual std::string ItemText(int32_t) { return {}; }
  // The texts of the menu entries, one per line.
  virtual std::string MenuText() { return {}; }
  // Index of the preview-menu entry of that name, or -1.
  virtual int32_t FindEntry(std::string_view) { return -1; }

  virtual TScriptPoint ClientToScreen(TScriptPoint p) { return p; }
  virtual TScriptPoint ScreenToClient(TScriptPoint p) { return p; }

  virtual bool ImeOpened() { return false; }
  virtual void SetImeOpened(bool) {}

  // Property id into out (nothing for an unknown id); set from a value.
  virtual void GetProperty(int32_t, TFuncResult&) {}
  virtual void SetProperty(int32_t, const TCustomParam&) {}
};

// Where a save snapshot comes from.
struct TSnapshotRequest {
  int32_t width = 0, height = 0;  // the image size (already resolved, both > 0)
  bool backLayer = false;         // the back base layer instead of the front one
};

class TScriptHost {
 public:
  virtual ~TScriptHost() = default;

  // ---- Platform (null: no dialogs, shell, clock or fonts)
  virtual platform::Platform* Platform() { return nullptr; }

  // ---- Call stack
  // Result value of the current frame; null without a frame.
  virtual TCustomParam* ResultValue() { return nullptr; }
  virtual int32_t ArgCount() { return 0; }
  virtual std::string ArgText(int32_t) { return {}; }
  virtual std::string Sender() { return {}; }
  virtual int32_t FrameCount() { return 0; }
  // Takes frame n (0 = the oldest) off the stack; the caller has already freed its variables.
  // False when there is no such frame.
  virtual bool RemoveFrame(int32_t) { return false; }
  // Whether frame n is the one running now (its locals are in use).
  virtual bool IsRunningFrame(int32_t n) { return n == FrameCount() - 1; }

  // ---- Scene
  virtual TScriptComponent* FindComponent(std::string_view) { return nullptr; }
  // Direct children of parent; for null, every component of the scene.
  virtual std::vector<TScriptComponent*> Components(TScriptComponent*) { return {}; }
  // Creates a component of a type code named name under parent (null: the current base
  // layer); false when it could not be made.
  virtual bool CreateComponent(int32_t, const std::string&, TScriptComponent*) { return false; }
  virtual bool DeleteComponent(TScriptComponent*) { return false; }
  virtual std::string ActiveComponent() { return {}; }
  // Gives the focus to the named component when it can take it.
  virtual void SetActiveComponent(const std::string&) {}
  virtual bool SoundOn() { return false; }
  virtual void SetSoundOn(bool) {}

  // ---- Mouse and keys of the current base layer
  enum class MouseFlag { LClick, RClick, LPush, RPush, WheelDown, WheelUp };
  virtual bool GetMouseFlag(MouseFlag) { return false; }
  virtual void SetMouseFlag(MouseFlag, bool) {}
  virtual TScriptPoint MousePos() { return {}; }
  virtual void MoveMouse(TScriptPoint) {}
  enum class KeyState { Push, Click, Repeat };
  // k 0..255 a virtual-key code, 256 wheel down, 257 wheel up.
  virtual bool GetKey(KeyState, int32_t) { return false; }

  // ---- Screen
  virtual bool FullScreen() { return false; }
  virtual void SetFullScreen(bool) {}
  virtual std::vector<platform::DisplayMode> DisplayModes() { return {}; }
  virtual int32_t DisplayModeIndex() { return 0; }
  virtual void SetDisplayModeIndex(int32_t) {}
  // Writes a layered image of the screen into out; false when there is no screen.
  virtual bool WriteSnapshot(TStream&, const TSnapshotRequest&) { return false; }
  // Writes the screen (empty name) or the named game image as a bitmap file at hostPath.
  virtual bool WriteBitmap(const std::string&, const std::string&) { return false; }

  // ---- Clocks
  virtual uint32_t TickCount() { return 0; }
  virtual uint32_t UpdateCount() { return 0; }

  // ---- History (name: a history format; empty: the default one). -1 without the format.
  virtual int32_t HistoryCount(const std::string&) { return -1; }
  virtual int32_t HistoryMaxCount(const std::string&) { return -1; }
  virtual bool SetHistoryMaxCount(const std::string&, int32_t) { return false; }

  // ---- Media
  virtual std::vector<std::string> MidiPorts() { return {}; }
  virtual std::string MidiPort() { return {}; }
  virtual void SetMidiPort(const std::string&) {}

  // ---- Image cache
  virtual bool Dither() { return false; }
  virtual void SetDither(bool) {}
  virtual void DropImage(const std::string&) {}

  // ---- Project
  struct SaveCaption {
    int32_t slot;
    std::string caption;
  };
  virtual std::vector<SaveCaption> SaveCaptions() { return {}; }
  virtual std::string SaveCaptionOf(int32_t) { return {}; }
  virtual std::string Title() { return {}; }
  virtual int32_t ScreenWidth() { return 640; }
  virtual int32_t ScreenHeight() { return 480; }
  // Host paths of files deleted when the program ends; a path already listed is not added
  // again.
  virtual void AddDeleteOnExit(const std::string&) {}
  // Adds a game file name to the list of names of the base folder's install record (its last
  // list of strings) unless it is there without regard to case, and writes the record back.
  // False without an install record.
  virtual bool AddInstallName(const std::string&) { return false; }
  // A host folder of the player's own where the wallpaper bitmap is written; empty: nowhere
  // (the wallpaper cannot be set).
  virtual std::string WallpaperFolder() { return {}; }
  // Rewrites the save archive with one entry replaced; false without a save archive.
  virtual bool StoreSaveEntry(const std::string&, const std::vector<uint8_t>&) { return false; }
};

TScriptHost& ScriptHost();
void SetScriptHost(TScriptHost* host);

}  // namespace qubo
