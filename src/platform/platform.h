#pragma once
// The one door through which the player reaches the operating system: time, dialogs and
// message boxes, the desktop shell, the window and its display, input and the installed
// fonts. The rest of the player sees only these interfaces; two back ends implement them: a
// deterministic headless one (platform/headless.h) that every test uses, and the real one
// (SDL2, fontconfig, xdg-open and zenity; MakeRealPlatform).
//
// Text conventions at this interface:
//   - captions, message texts, window titles, dialog filters, typed text, clipboard text and
//     font family names are code-page-932 bytes, like all text inside the player; the back
//     end converts them to and from UTF-8;
//   - paths (dialog answers, user folders, font files, the program's path) are host paths:
//     UTF-8 with '/' separators, as the file system takes them;
//   - URLs are passed through as bytes.
//
// Audio and MIDI output (AudioOut, MidiOut) will join the aggregate with the media code.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/geometry.h"

namespace qubo::platform {

// ---------------------------------------------------------------------------------------
// Time

struct LocalDateTime {
  int32_t year = 1899, month = 12, day = 30;  // month 1-12, day 1-31
  int32_t hour = 0, minute = 0, second = 0, millisecond = 0;
  int32_t weekday = 6;  // 0 = Sunday ... 6 = Saturday
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since the clock was made; never decreases.
  virtual uint64_t Milliseconds() = 0;
  // The system's millisecond timer, wrapping at 2^32 (its origin is the system's, not ours).
  virtual uint32_t SystemMilliseconds() = 0;
  // Blocks the calling thread for ms milliseconds (the headless clock just advances).
  virtual void Sleep(uint32_t ms) = 0;
  // The current local date and time.
  virtual LocalDateTime Now() = 0;
  // A seed for the script's pseudo-random generator: the milliseconds since local midnight.
  uint32_t RandomSeed();
};

// Milliseconds since midnight of t (0 ... 86 399 999 for valid fields).
uint32_t MillisecondsOfDay(const LocalDateTime& t);

// ---------------------------------------------------------------------------------------
// Message boxes and file dialogs

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButton { Ok, Cancel, Yes, No, YesToAll, NoToAll };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoAllCancel };

// The buttons of a set, in the order they are shown (YesNoAllCancel: Yes, No, Yes to all,
// No to all, Cancel).
std::vector<MsgButton> ButtonsOf(MsgButtons set);
// What closing a box without choosing answers: Cancel when the set has it, else No, else Ok.
MsgButton EscapeAnswer(MsgButtons set);
const char* ButtonName(MsgButton b);  // "Ok", "Cancel", "Yes", ... (for transcripts)
const char* IconName(MsgIcon i);

struct MessageBoxRequest {
  std::string caption;  // CP932
  std::string text;     // CP932; "\r\n" or "\n" break lines
  MsgButtons buttons = MsgButtons::Ok;
  MsgIcon icon = MsgIcon::None;
  int defaultButton = 0;  // index into ButtonsOf(buttons); out of range means the first
};

enum class FileDialogKind { Open, Save, Folder };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::Open;
  std::string title;          // CP932; empty: the back end's own
  std::string filter;         // CP932, "Description|*.a;*.b|Description|*.*"; empty: all files
  std::string initialFolder;  // host path; empty: the back end's choice
  std::string initialName;    // host file name proposed by a save dialog
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal. The answer is one of the request's buttons.
  virtual MsgButton ShowMessage(const MessageBoxRequest& request) = 0;
  // Modal. The chosen host path, or nullopt when the user cancels or no dialog can be shown.
  // A folder answer has no trailing '/' (unless it is "/").
  virtual std::optional<std::string> SelectPath(const FileDialogRequest& request) = 0;
};

// One entry of a dialog filter: "Text files|*.txt;*.log" gives {"Text files", {"*.txt",
// "*.log"}}. A trailing description without patterns is dropped; empty patterns are dropped.
struct FilterEntry {
  std::string description;  // CP932
  std::vector<std::string> patterns;
  friend bool operator==(const FilterEntry&, const FilterEntry&) = default;
};
std::vector<FilterEntry> ParseDialogFilter(const std::string& filter);

// ---------------------------------------------------------------------------------------
// The desktop shell

enum class UserFolder { Desktop, Documents };

// Held while this process is the one instance of a name (see Shell::AcquireInstance).
class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a URL or a host path with the desktop's handler, without waiting for it. True when
  // the handler was started (not whether it succeeded). An empty target opens nothing.
  virtual bool Open(const std::string& target) = 0;
  // The user's Desktop or Documents folder (host path, no trailing '/'); never empty.
  virtual std::string UserFolderPath(UserFolder which) = 0;
  // Host path of the running program.
  virtual std::string ProgramPath() = 0;
  // True when the user's language is Japanese.
  virtual bool IsJapaneseLanguage() = 0;
  // Sets the desktop wallpaper to an image file: style 0 centred, 1 tiled, other stretched.
  // True when the desktop took it.
  virtual bool SetWallpaper(const std::string& imagePath, int style) = 0;
  // Makes this process the one instance of name (any bytes). nullptr when another live
  // process holds it. The instance ends when the lock is destroyed (or the process ends).
  virtual std::unique_ptr<InstanceLock> AcquireInstance(const std::string& name) = 0;
};

// ---------------------------------------------------------------------------------------
// The window and its display

struct DisplayMode {
  int32_t width = 0, height = 0;
  int32_t bits = 32;    // 15, 16, 24 or 32 (an 8-8-8 format padded to 32 bits counts as 32)
  int32_t refresh = 0;  // Hz, 0 when unknown
  friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

// A frame to present: 32-bit words 0x00RRGGBB, that is bytes B, G, R, X in memory on this
// little-endian machine; the top byte is ignored. Rows are pitchBytes apart (a multiple of 4,
// at least 4 * width).
struct FrameView {
  const uint32_t* pixels = nullptr;
  int32_t width = 0, height = 0;
  int32_t pitchBytes = 0;
  uint32_t At(int32_t x, int32_t y) const {
    return *reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) +
                                              static_cast<ptrdiff_t>(y) * pitchBytes + 4 * static_cast<ptrdiff_t>(x));
  }
};

// A cursor image: 32-bit words 0xAARRGGBB (alpha in the top byte), rows packed.
struct CursorImage {
  int32_t width = 0, height = 0;
  int32_t hotX = 0, hotY = 0;
  std::vector<uint32_t> pixels;
};

struct WindowOptions {
  std::string title;  // CP932
  int32_t clientWidth = 640, clientHeight = 480;
};

// Where the game's frame lands: the client area holds a logical surface of the client size;
// mouse positions are reported and taken in its coordinates. In full screen the logical
// surface is scaled to fit the screen, its aspect kept, and centred.
class Display {
 public:
  virtual ~Display() = default;
  // Full-screen modes of the primary display, largest first (as the system lists them).
  virtual std::vector<DisplayMode> Modes() = 0;
  // The mode the desktop runs in.
  virtual DisplayMode DesktopMode() = 0;
  // The primary display's bounds and the part of it windows may use (work area).
  virtual TRect DesktopBounds() = 0;
  virtual TRect UsableBounds() = 0;

  // Opens the one window (shown, centred on the usable area). False when it cannot be made.
  virtual bool OpenWindow(const WindowOptions& options) = 0;
  virtual bool IsOpen() = 0;
  virtual void SetTitle(const std::string& cp932) = 0;
  // Client area (and logical surface) size; in windowed display the window is resized.
  virtual void SetClientSize(int32_t width, int32_t height) = 0;
  virtual void CenterWindow() = 0;
  // modeIndex < 0: windowed. modeIndex >= 0: exclusive full screen in Modes()[modeIndex].
  // kDesktopFullScreen: full screen at the desktop's mode. False when the state was not
  // taken; the display is then windowed.
  static constexpr int kDesktopFullScreen = -2;
  virtual bool SetFullScreen(int modeIndex) = 0;
  virtual bool IsFullScreen() = 0;
  // Shows a frame, scaled to the logical surface when its size differs. Never throws; an
  // empty or malformed frame shows nothing.
  virtual void Present(const FrameView& frame) = 0;

  // Mouse pointer in logical coordinates.
  virtual void WarpMouse(int32_t x, int32_t y) = 0;
  virtual void ShowCursor(bool visible) = 0;
  // nullptr: the system's arrow. False when the image cannot become a cursor (the previous
  // cursor stays).
  virtual bool SetCursorImage(const CursorImage* image) = 0;
};

// ---------------------------------------------------------------------------------------
// Input

enum class EventType {
  None,
  Quit,        // the user asks to close the window
  Activate,    // the window gained the input focus
  Deactivate,  // the window lost it
  Expose,      // the window's content was lost: present again
  MouseMove,   // x, y
  MouseDown,   // button, x, y
  MouseUp,     // button, x, y
  MouseWheel,  // wheel: notches, > 0 away from the user (up), < 0 towards (down); x, y
  MouseLeave,  // the pointer left the window
  KeyDown,     // vk, repeat, mods
  KeyUp,       // vk, mods
  TextInput,   // text (CP932): characters typed, after any input method
  TextEditing  // text (CP932): the input method's composition; cursor: its caret in bytes
};

enum class MouseButton { None, Left, Right, Middle };

inline constexpr uint32_t kModShift = 1, kModCtrl = 2, kModAlt = 4;

struct InputEvent {
  EventType type = EventType::None;
  int32_t x = 0, y = 0;
  MouseButton button = MouseButton::None;
  int32_t wheel = 0;
  int32_t vk = 0;  // virtual-key code, 1-255 (platform/vkeys.h)
  bool repeat = false;
  uint32_t mods = 0;
  std::string text;
  int32_t cursor = 0;
};

class Input {
 public:
  virtual ~Input() = default;
  // The next pending event; false when none is waiting. Never blocks.
  virtual bool Poll(InputEvent& event) = 0;
  // Whether a key (virtual-key code) is held now; codes outside 0-255 are never held. The
  // mouse buttons answer as VK_LBUTTON, VK_RBUTTON and VK_MBUTTON.
  virtual bool IsKeyDown(int32_t vk) = 0;
  // The mouse pointer in logical coordinates, as last reported.
  virtual void MousePosition(int32_t& x, int32_t& y) = 0;
  // Typed text (TextInput / TextEditing events) flows while text input is on; area is where
  // the input method may show its candidates (logical coordinates).
  virtual void StartTextInput(const TRect& area) = 0;
  virtual void StopTextInput() = 0;
  virtual bool IsTextInputActive() = 0;
  virtual std::string ClipboardText() = 0;  // CP932; characters without a CP932 form become '?'
  virtual void SetClipboardText(const std::string& cp932) = 0;
};

// ---------------------------------------------------------------------------------------
// Fonts

struct FontFamily {
  std::string name;  // CP932
  bool fixedPitch = false;
  bool scalable = true;   // an outline font (not a bitmap font)
  bool japanese = false;  // covers Japanese
  friend bool operator==(const FontFamily&, const FontFamily&) = default;
};

struct FontFile {
  std::string path;          // host path
  int32_t index = 0;         // face index inside a collection file
  bool exactFamily = false;  // false: a substitute the font system chose for the name
};

class FontSource {
 public:
  virtual ~FontSource() = default;
  // Installed families, sorted by name (byte order), each once. Families whose names have no
  // CP932 form are left out.
  virtual std::vector<FontFamily> Families() = 0;
  // The file of a family at a weight (bold or regular) and slant; a substitute when the
  // family is not installed; nullopt when there is no font at all.
  virtual std::optional<FontFile> FindFile(const std::string& familyCp932, bool bold, bool italic) = 0;
};

// ---------------------------------------------------------------------------------------
// The aggregate

class Platform {
 public:
  virtual ~Platform() = default;
  virtual Clock& GetClock() = 0;
  virtual Dialogs& GetDialogs() = 0;
  virtual Shell& GetShell() = 0;
  virtual Display& GetDisplay() = 0;
  virtual Input& GetInput() = 0;
  virtual FontSource& GetFonts() = 0;
};

// The real back end: SDL2 video and events, fontconfig, xdg-open, zenity. Raises QuboError
// when SDL's video cannot start. One real platform exists at a time (it owns SDL).
std::unique_ptr<Platform> MakeRealPlatform();

}  // namespace qubo::platform
