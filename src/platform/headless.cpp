// The headless back end.

#include "platform/headless.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>

#include "platform/fcfonts.h"
#include "platform/frames.h"
#include "support/encoding.h"
#include "support/sjis.h"

namespace qubo::platform {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int32_t& y, int32_t& m, int32_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}

std::string Quote(const std::string& cp932) { return "\"" + Cp932ToUtf8(cp932) + "\""; }
std::string QuoteHost(const std::string& s) { return "\"" + s + "\""; }

const char* ButtonsName(MsgButtons b) {
  switch (b) {
    case MsgButtons::Ok:
      return "Ok";
    case MsgButtons::OkCancel:
      return "OkCancel";
    case MsgButtons::YesNo:
      return "YesNo";
    case MsgButtons::YesNoCancel:
      return "YesNoCancel";
    case MsgButtons::YesNoAllCancel:
      return "YesNoAllCancel";
  }
  return "?";
}

const char* KindName(FileDialogKind k) {
  switch (k) {
    case FileDialogKind::Open:
      return "Open";
    case FileDialogKind::Save:
      return "Save";
    case FileDialogKind::Folder:
      return "Folder";
  }
  return "?";
}

std::string Cp(const char* utf8) { return Utf8ToCp932Lossy(utf8); }

}  // namespace

LocalDateTime AddMilliseconds(const LocalDateTime& start, uint64_t ms) {
  const uint64_t startOfDay = MillisecondsOfDay(start);
  const uint64_t total = startOfDay + ms;
  const int64_t days = DaysFromCivil(start.year, start.month, start.day) + static_cast<int64_t>(total / 86400000);
  uint64_t rest = total % 86400000;
  LocalDateTime t;
  CivilFromDays(days, t.year, t.month, t.day);
  t.millisecond = static_cast<int32_t>(rest % 1000);
  rest /= 1000;
  t.second = static_cast<int32_t>(rest % 60);
  rest /= 60;
  t.minute = static_cast<int32_t>(rest % 60);
  t.hour = static_cast<int32_t>(rest / 60);
  // 1970-01-01 was a Thursday.
  t.weekday = static_cast<int32_t>(((days % 7) + 7 + 4) % 7);
  return t;
}

std::vector<HeadlessFont> HeadlessOptions::DefaultFonts() {
  return {
      {{Cp("IPAGothic"), true, true, true}, "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"},
      {{Cp("IPAMincho"), true, true, true}, "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf"},
      {{Cp("IPAPGothic"), false, true, true}, "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"},
      {{Cp("IPAPMincho"), false, true, true}, "/usr/share/fonts/opentype/ipafont-mincho/ipamp.ttf"},
  };
}

// ---------------------------------------------------------------------------------------

class HeadlessPlatform::ClockImpl : public Clock {
 public:
  explicit ClockImpl(HeadlessPlatform& p) : p_(p) {}
  uint64_t Milliseconds() override { return p_.now_; }
  uint32_t SystemMilliseconds() override {
    return static_cast<uint32_t>(p_.options_.systemTimerStart + static_cast<uint32_t>(p_.now_));
  }
  void Sleep(uint32_t ms) override {
    if (p_.sleepAdvances_) p_.now_ += ms;
  }
  LocalDateTime Now() override { return AddMilliseconds(p_.options_.startTime, p_.now_); }

 private:
  HeadlessPlatform& p_;
};

class HeadlessPlatform::DialogsImpl : public Dialogs {
 public:
  explicit DialogsImpl(HeadlessPlatform& p) : p_(p) {}

  MsgButton ShowMessage(const MessageBoxRequest& request) override {
    p_.messageBoxes_.push_back(request);
    const auto offered = ButtonsOf(request.buttons);
    MsgButton answer;
    const char* how;
    if (!p_.messageAnswers_.empty()) {
      answer = p_.messageAnswers_.front();
      p_.messageAnswers_.pop_front();
      how = "scripted";
      bool ok = false;
      for (MsgButton b : offered) ok = ok || b == answer;
      if (!ok) {
        answer = EscapeAnswer(request.buttons);
        how = "not offered";
      }
    } else if (p_.options_.unansweredMessageEscapes) {
      answer = EscapeAnswer(request.buttons);
      how = "unanswered";
    } else {
      const size_t d = request.defaultButton >= 0 ? static_cast<size_t>(request.defaultButton) : 0;
      answer = offered[d < offered.size() ? d : 0];
      how = "unanswered";
    }
    p_.Record("MessageBox " + Quote(request.caption) + " " + Quote(request.text) + " " + ButtonsName(request.buttons) +
              " " + IconName(request.icon) + " -> " + ButtonName(answer) + " [" + how + "]");
    return answer;
  }

  std::optional<std::string> SelectPath(const FileDialogRequest& request) override {
    p_.pathDialogs_.push_back(request);
    std::optional<std::string> answer;
    const char* how = "unanswered";
    if (!p_.pathAnswers_.empty()) {
      answer = p_.pathAnswers_.front();
      p_.pathAnswers_.pop_front();
      how = "scripted";
    }
    p_.Record(std::string("SelectPath ") + KindName(request.kind) + " " + Quote(request.title) + " " +
              Quote(request.filter) + " " + QuoteHost(request.initialFolder) + " -> " +
              (answer ? *answer : std::string("cancel")) + " [" + how + "]");
    return answer;
  }

 private:
  HeadlessPlatform& p_;
};

class HeadlessPlatform::ShellImpl : public Shell {
 public:
  explicit ShellImpl(HeadlessPlatform& p) : p_(p) {}

  bool Open(const std::string& target) override {
    const bool ok = !target.empty();
    if (ok) p_.opened_.push_back(target);
    p_.Record("Open " + QuoteHost(target) + (ok ? " -> started" : " -> refused"));
    return ok;
  }
  std::string UserFolderPath(UserFolder which) override {
    return which == UserFolder::Desktop ? p_.options_.desktopFolder : p_.options_.documentsFolder;
  }
  std::string ProgramPath() override { return p_.options_.programPath; }
  bool IsJapaneseLanguage() override { return p_.options_.japanese; }
  bool SetWallpaper(const std::string& imagePath, int style) override {
    p_.Record("SetWallpaper " + QuoteHost(imagePath) + " " + std::to_string(style));
    return p_.options_.wallpaperWorks;
  }

  class Lock : public InstanceLock {
   public:
    Lock(HeadlessPlatform& p, std::string name) : p_(p), name_(std::move(name)) {}
    ~Lock() override { p_.heldHere_.erase(name_); }

   private:
    HeadlessPlatform& p_;
    std::string name_;
  };

  std::unique_ptr<InstanceLock> AcquireInstance(const std::string& name) override {
    const bool refused = p_.heldElsewhere_.count(name) != 0 || p_.heldHere_.count(name) != 0;
    p_.Record("AcquireInstance " + QuoteHost(name) + (refused ? " -> refused" : " -> held"));
    if (refused) return nullptr;
    p_.heldHere_.insert(name);
    return std::make_unique<Lock>(p_, name);
  }

 private:
  HeadlessPlatform& p_;
};

class HeadlessPlatform::DisplayImpl : public Display {
 public:
  explicit DisplayImpl(HeadlessPlatform& p) : p_(p) {}

  std::vector<DisplayMode> Modes() override { return p_.options_.modes; }
  DisplayMode DesktopMode() override { return p_.options_.desktopMode; }
  TRect DesktopBounds() override { return {0, 0, p_.options_.desktopMode.width, p_.options_.desktopMode.height}; }
  TRect UsableBounds() override { return p_.options_.usableBounds; }

  bool OpenWindow(const WindowOptions& options) override {
    p_.windowOpen_ = true;
    p_.titleUtf8_ = Cp932ToUtf8(options.title);
    p_.clientW_ = std::max<int32_t>(1, options.clientWidth);
    p_.clientH_ = std::max<int32_t>(1, options.clientHeight);
    p_.Record("OpenWindow \"" + p_.titleUtf8_ + "\" " + std::to_string(p_.clientW_) + "x" +
              std::to_string(p_.clientH_));
    return true;
  }
  bool IsOpen() override { return p_.windowOpen_; }
  void SetTitle(const std::string& cp932) override {
    p_.titleUtf8_ = Cp932ToUtf8(cp932);
    p_.Record("SetTitle \"" + p_.titleUtf8_ + "\"");
  }
  void SetClientSize(int32_t width, int32_t height) override {
    p_.clientW_ = std::max<int32_t>(1, width);
    p_.clientH_ = std::max<int32_t>(1, height);
    p_.Record("SetClientSize " + std::to_string(p_.clientW_) + "x" + std::to_string(p_.clientH_));
  }
  void CenterWindow() override { p_.Record("CenterWindow"); }
  bool SetFullScreen(int modeIndex) override {
    bool ok = true;
    int state = -1;
    if (modeIndex == kDesktopFullScreen) {
      ok = p_.options_.fullScreenWorks;
      state = ok ? kDesktopFullScreen : -1;
    } else if (modeIndex >= 0) {
      ok = p_.options_.fullScreenWorks && static_cast<size_t>(modeIndex) < p_.options_.modes.size();
      state = ok ? modeIndex : -1;
    } else {
      modeIndex = -1;
    }
    p_.fullScreen_ = state;
    p_.Record("SetFullScreen " + std::to_string(modeIndex) + (ok ? " -> ok" : " -> refused"));
    return ok;
  }
  bool IsFullScreen() override { return p_.fullScreen_ != -1; }

  void Present(const FrameView& frame) override {
    if (!IsValidFrame(frame)) return;
    p_.frames_.push_back({frame.width, frame.height, HashFrame(frame)});
    if (!p_.options_.pngFolder.empty()) {
      char name[32];
      std::snprintf(name, sizeof name, "frame-%06zu.png", p_.frames_.size());
      const std::string path = (std::filesystem::path(p_.options_.pngFolder) / name).string();
      if (WriteFramePng(frame, path)) p_.frameFiles_.push_back(path);
    }
  }

  void WarpMouse(int32_t x, int32_t y) override {
    p_.Record("WarpMouse " + std::to_string(x) + "," + std::to_string(y));
    p_.mouseX_ = x;
    p_.mouseY_ = y;
    // Moving the pointer reports a movement, as the real one does.
    InputEvent e;
    e.type = EventType::MouseMove;
    e.x = x;
    e.y = y;
    p_.QueueEvent(e, p_.now_);
  }
  void ShowCursor(bool visible) override {
    p_.cursorVisible_ = visible;
    p_.Record(visible ? "ShowCursor on" : "ShowCursor off");
  }
  bool SetCursorImage(const CursorImage* image) override {
    if (!image) {
      p_.Record("SetCursorImage default");
      return true;
    }
    const bool ok = image->width > 0 && image->height > 0 &&
                    image->pixels.size() == static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    p_.Record("SetCursorImage " + std::to_string(image->width) + "x" + std::to_string(image->height) + " hot " +
              std::to_string(image->hotX) + "," + std::to_string(image->hotY) + (ok ? "" : " -> refused"));
    return ok;
  }

 private:
  HeadlessPlatform& p_;
};

class HeadlessPlatform::InputImpl : public Input {
 public:
  explicit InputImpl(HeadlessPlatform& p) : p_(p) {}

  bool Poll(InputEvent& event) override {
    if (p_.events_.empty() || p_.events_.front().at > p_.now_) return false;
    event = std::move(p_.events_.front().event);
    p_.events_.pop_front();
    switch (event.type) {
      case EventType::KeyDown:
      case EventType::KeyUp:
        if (event.vk > 0 && event.vk < 256) p_.keys_[event.vk] = event.type == EventType::KeyDown;
        break;
      case EventType::MouseDown:
      case EventType::MouseUp: {
        const int code = event.button == MouseButton::Left     ? 1
                         : event.button == MouseButton::Right  ? 2
                         : event.button == MouseButton::Middle ? 4
                                                               : 0;
        if (code) p_.keys_[code] = event.type == EventType::MouseDown;
        p_.mouseX_ = event.x;
        p_.mouseY_ = event.y;
        break;
      }
      case EventType::MouseMove:
      case EventType::MouseWheel:
        p_.mouseX_ = event.x;
        p_.mouseY_ = event.y;
        break;
      case EventType::Deactivate:
        // Keys held while the window loses the focus are released.
        for (bool& k : p_.keys_) k = false;
        break;
      default:
        break;
    }
    return true;
  }
  bool IsKeyDown(int32_t vk) override { return vk >= 0 && vk < 256 && p_.keys_[vk]; }
  void MousePosition(int32_t& x, int32_t& y) override {
    x = p_.mouseX_;
    y = p_.mouseY_;
  }
  void StartTextInput(const TRect& area) override {
    p_.textInput_ = true;
    p_.Record("StartTextInput " + std::to_string(area.left) + "," + std::to_string(area.top) + "," +
              std::to_string(area.right) + "," + std::to_string(area.bottom));
  }
  void StopTextInput() override {
    p_.textInput_ = false;
    p_.Record("StopTextInput");
  }
  bool IsTextInputActive() override { return p_.textInput_; }
  std::string ClipboardText() override { return p_.clipboard_; }
  void SetClipboardText(const std::string& cp932) override {
    p_.clipboard_ = cp932;
    p_.Record("SetClipboardText " + Quote(cp932));
  }

 private:
  HeadlessPlatform& p_;
};

class HeadlessPlatform::FontsImpl : public FontSource {
 public:
  explicit FontsImpl(HeadlessPlatform& p) : p_(p) {
    if (p.options_.systemFonts) system_ = MakeFontconfigSource();
  }
  std::vector<FontFamily> Families() override {
    if (system_) return system_->Families();
    std::vector<FontFamily> out;
    for (const auto& f : p_.options_.fonts) {
      bool seen = false;
      for (const auto& o : out) seen = seen || o.name == f.family.name;
      if (!seen) out.push_back(f.family);
    }
    std::sort(out.begin(), out.end(), [](const FontFamily& a, const FontFamily& b) { return a.name < b.name; });
    return out;
  }
  std::optional<FontFile> FindFile(const std::string& familyCp932, bool bold, bool italic) override {
    if (system_) return system_->FindFile(familyCp932, bold, italic);
    const auto& fonts = p_.options_.fonts;
    if (fonts.empty()) return std::nullopt;
    for (const auto& f : fonts) {
      if (sjis::EqualsNoCase(f.family.name, familyCp932)) return FontFile{f.path, 0, true};
    }
    return FontFile{fonts.front().path, 0, false};
  }

 private:
  HeadlessPlatform& p_;
  std::unique_ptr<FontSource> system_;
};

// ---------------------------------------------------------------------------------------

HeadlessPlatform::HeadlessPlatform(HeadlessOptions options)
    : options_(std::move(options)),
      clock_(std::make_unique<ClockImpl>(*this)),
      dialogs_(std::make_unique<DialogsImpl>(*this)),
      shell_(std::make_unique<ShellImpl>(*this)),
      display_(std::make_unique<DisplayImpl>(*this)),
      input_(std::make_unique<InputImpl>(*this)),
      fonts_(std::make_unique<FontsImpl>(*this)) {}

HeadlessPlatform::~HeadlessPlatform() = default;

Clock& HeadlessPlatform::GetClock() { return *clock_; }
Dialogs& HeadlessPlatform::GetDialogs() { return *dialogs_; }
Shell& HeadlessPlatform::GetShell() { return *shell_; }
Display& HeadlessPlatform::GetDisplay() { return *display_; }
Input& HeadlessPlatform::GetInput() { return *input_; }
FontSource& HeadlessPlatform::GetFonts() { return *fonts_; }

void HeadlessPlatform::AdvanceClock(uint64_t ms) { now_ += ms; }

void HeadlessPlatform::QueueEvent(InputEvent event, uint64_t atMs) {
  // Kept in delivery order; events of the same time keep the order they were queued in.
  auto it = events_.end();
  while (it != events_.begin() && std::prev(it)->at > atMs) --it;
  events_.insert(it, TimedEvent{atMs, std::move(event)});
}

void HeadlessPlatform::QueueKey(int32_t vk, bool down, uint64_t atMs) {
  InputEvent e;
  e.type = down ? EventType::KeyDown : EventType::KeyUp;
  e.vk = vk;
  QueueEvent(std::move(e), atMs);
}

void HeadlessPlatform::QueueMouseMove(int32_t x, int32_t y, uint64_t atMs) {
  InputEvent e;
  e.type = EventType::MouseMove;
  e.x = x;
  e.y = y;
  QueueEvent(std::move(e), atMs);
}

void HeadlessPlatform::QueueClick(int32_t x, int32_t y, MouseButton button, uint64_t atMs) {
  InputEvent e;
  e.x = x;
  e.y = y;
  e.button = button;
  e.type = EventType::MouseDown;
  QueueEvent(e, atMs);
  e.type = EventType::MouseUp;
  QueueEvent(std::move(e), atMs);
}

void HeadlessPlatform::QueueText(const std::string& cp932, uint64_t atMs) {
  InputEvent e;
  e.type = EventType::TextInput;
  e.text = cp932;
  QueueEvent(std::move(e), atMs);
}

void HeadlessPlatform::QueueMessageAnswer(MsgButton answer) { messageAnswers_.push_back(answer); }
void HeadlessPlatform::QueuePathAnswer(std::optional<std::string> path) { pathAnswers_.push_back(std::move(path)); }
void HeadlessPlatform::HoldInstanceElsewhere(const std::string& name) { heldElsewhere_.insert(name); }

std::unique_ptr<HeadlessPlatform> MakeHeadlessPlatform(HeadlessOptions options) {
  return std::make_unique<HeadlessPlatform>(std::move(options));
}

}  // namespace qubo::platform
