#pragma once
// The deterministic back end: nothing reaches the operating system except, when asked, the
// writing of frame pictures and the reading of the font list. Time is a virtual clock that
// the caller advances; input is a queue of scripted events; dialogs answer from queues of
// scripted answers; every call with an effect is written to a transcript (UTF-8 lines) that
// tests read; every presented frame is kept as its size and hash.
//
// Transcript lines (texts converted from CP932 to UTF-8):
//   OpenWindow "title" 640x480          SetTitle "title"        SetClientSize 800x600
//   CenterWindow                        SetFullScreen 2 -> ok   SetFullScreen 9 -> refused
//   WarpMouse 10,20                     ShowCursor on|off       SetCursorImage 32x32 hot 1,2 | default
//   MessageBox "caption" "text" OkCancel Information -> Cancel [scripted|unanswered|not offered]
//   SelectPath Open "title" "filter" "folder" -> /path | cancel [scripted|unanswered]
//   Open "target" -> started | refused  SetWallpaper "path" 1
//   AcquireInstance "name" -> held | refused
//   StartTextInput 0,0,100,20           StopTextInput           SetClipboardText "text"
// Presenting, polling and queries are not written (see Frames()).

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qubo::platform {

struct HeadlessFont {
  FontFamily family;  // name in CP932
  std::string path;
};

struct HeadlessOptions {
  // Local date and time when the clock reads 0; it advances with the clock.
  LocalDateTime startTime{2001, 2, 3, 4, 5, 6, 7, 6};
  // The system millisecond timer when the clock reads 0.
  uint32_t systemTimerStart = 1000000;

  std::vector<DisplayMode> modes{{1920, 1080, 32, 60}, {1280, 720, 32, 60}, {1024, 768, 32, 60},
                                 {800, 600, 32, 60},   {800, 600, 16, 60},  {640, 480, 32, 60}};
  DisplayMode desktopMode{1920, 1080, 32, 60};
  TRect usableBounds{0, 0, 1920, 1040};
  bool fullScreenWorks = true;  // false: every full-screen request is refused

  // When not empty, every presented frame is also written there as frame-000001.png, ...
  std::string pngFolder;

  // An unanswered message box answers its default button, or with this set what closing it
  // answers (EscapeAnswer). An unanswered file dialog always answers cancel.
  bool unansweredMessageEscapes = false;

  // Fonts: the installed ones through fontconfig, or the list below.
  bool systemFonts = false;
  std::vector<HeadlessFont> fonts = DefaultFonts();

  std::string desktopFolder = "/home/player/Desktop";
  std::string documentsFolder = "/home/player/Documents";
  std::string programPath = "/opt/game/quboplayer";
  bool japanese = true;
  bool wallpaperWorks = true;

  // The IPA fonts at the paths the Debian packages install them to.
  static std::vector<HeadlessFont> DefaultFonts();
};

class HeadlessPlatform : public Platform {
 public:
  explicit HeadlessPlatform(HeadlessOptions options = {});
  ~HeadlessPlatform() override;

  Clock& GetClock() override;
  Dialogs& GetDialogs() override;
  Shell& GetShell() override;
  Display& GetDisplay() override;
  Input& GetInput() override;
  FontSource& GetFonts() override;

  // --- Time
  void AdvanceClock(uint64_t ms);
  uint64_t Now() const { return now_; }
  // Sleep advances the clock (the default) or leaves it alone.
  void SetSleepAdvances(bool on) { sleepAdvances_ = on; }

  // --- Input: an event is delivered by Poll once the clock has reached atMs.
  void QueueEvent(InputEvent event, uint64_t atMs = 0);
  void QueueKey(int32_t vk, bool down, uint64_t atMs = 0);
  void QueueMouseMove(int32_t x, int32_t y, uint64_t atMs = 0);
  // A press and a release at (x, y).
  void QueueClick(int32_t x, int32_t y, MouseButton button = MouseButton::Left, uint64_t atMs = 0);
  void QueueText(const std::string& cp932, uint64_t atMs = 0);
  size_t PendingEvents() const { return events_.size(); }

  // --- Dialogs: answers are used in order, one per box or dialog.
  void QueueMessageAnswer(MsgButton answer);
  // nullopt scripts a cancel.
  void QueuePathAnswer(std::optional<std::string> path);
  const std::vector<MessageBoxRequest>& MessageBoxes() const { return messageBoxes_; }
  const std::vector<FileDialogRequest>& PathDialogs() const { return pathDialogs_; }

  // --- Shell
  // Makes AcquireInstance refuse name, as when another process holds it.
  void HoldInstanceElsewhere(const std::string& name);
  const std::vector<std::string>& OpenedTargets() const { return opened_; }

  // --- Display state
  struct FrameRecord {
    int32_t width = 0, height = 0;
    uint64_t hash = 0;
  };
  const std::vector<FrameRecord>& Frames() const { return frames_; }
  // The frames written as PNG files, in order (empty without pngFolder).
  const std::vector<std::string>& FrameFiles() const { return frameFiles_; }
  std::string WindowTitleUtf8() const { return titleUtf8_; }
  int32_t ClientWidth() const { return clientW_; }
  int32_t ClientHeight() const { return clientH_; }
  int FullScreenMode() const { return fullScreen_; }  // -1 windowed, kDesktopFullScreen, or a mode
  bool CursorVisible() const { return cursorVisible_; }

  // --- Transcript
  const std::vector<std::string>& Transcript() const { return transcript_; }
  void ClearTranscript() { transcript_.clear(); }
  void Record(std::string line) { transcript_.push_back(std::move(line)); }

 private:
  class ClockImpl;
  class DialogsImpl;
  class ShellImpl;
  class DisplayImpl;
  class InputImpl;
  class FontsImpl;
  friend class ClockImpl;
  friend class DialogsImpl;
  friend class ShellImpl;
  friend class DisplayImpl;
  friend class InputImpl;
  friend class FontsImpl;

  struct TimedEvent {
    uint64_t at;
    InputEvent event;
  };

  HeadlessOptions options_;
  uint64_t now_ = 0;
  bool sleepAdvances_ = true;
  std::deque<TimedEvent> events_;
  std::deque<MsgButton> messageAnswers_;
  std::deque<std::optional<std::string>> pathAnswers_;
  std::vector<MessageBoxRequest> messageBoxes_;
  std::vector<FileDialogRequest> pathDialogs_;
  std::set<std::string> heldElsewhere_;
  std::set<std::string> heldHere_;
  std::vector<std::string> opened_;
  std::vector<FrameRecord> frames_;
  std::vector<std::string> frameFiles_;
  std::vector<std::string> transcript_;
  bool windowOpen_ = false;
  std::string titleUtf8_;
  int32_t clientW_ = 0, clientH_ = 0;
  int fullScreen_ = -1;
  bool cursorVisible_ = true;
  int32_t mouseX_ = 0, mouseY_ = 0;
  bool keys_[256] = {};
  bool textInput_ = false;
  std::string clipboard_;

  std::unique_ptr<ClockImpl> clock_;
  std::unique_ptr<DialogsImpl> dialogs_;
  std::unique_ptr<ShellImpl> shell_;
  std::unique_ptr<DisplayImpl> display_;
  std::unique_ptr<InputImpl> input_;
  std::unique_ptr<FontsImpl> fonts_;
};

std::unique_ptr<HeadlessPlatform> MakeHeadlessPlatform(HeadlessOptions options = {});

// The local date and time ms milliseconds after start (calendar arithmetic, no time zones).
LocalDateTime AddMilliseconds(const LocalDateTime& start, uint64_t ms);

}  // namespace qubo::platform
