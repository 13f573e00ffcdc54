// SDL2 events to the player's input events. Mouse positions arrive in logical coordinates
// (the renderer's logical size scales them); keys become virtual-key codes.

#include <cstring>

#include "platform/sdlvideo.h"
#include "platform/vkeys.h"
#include "support/encoding.h"

namespace qubo::platform {
namespace {

uint32_t Mods(uint16_t m) {
  uint32_t out = 0;
  if (m & KMOD_SHIFT) out |= kModShift;
  if (m & KMOD_CTRL) out |= kModCtrl;
  if (m & KMOD_ALT) out |= kModAlt;
  return out;
}

// Byte offset in the CP932 form of utf8 of its first chars characters.
int32_t Cp932Offset(const char* utf8, int32_t chars) {
  size_t i = 0;
  const size_t n = std::strlen(utf8);
  for (int32_t c = 0; c < chars && i < n; ++c) {
    ++i;
    while (i < n && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
  }
  return static_cast<int32_t>(Utf8ToCp932Lossy(std::string(utf8, i)).size());
}

class SdlInput : public Input {
 public:
  explicit SdlInput(SdlWindow& w) : w_(w) {
    // SDL starts with text input on; it is off until a text field asks for it.
    SDL_StopTextInput();
  }

  bool Poll(InputEvent& out) override {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      out = InputEvent{};
      if (Convert(e, out)) return true;
    }
    return false;
  }

  bool IsKeyDown(int32_t vk) override { return vk >= 0 && vk < 256 && keys_[vk]; }
  void MousePosition(int32_t& x, int32_t& y) override {
    x = mouseX_;
    y = mouseY_;
  }

  void StartTextInput(const TRect& area) override {
    int l = 0, t = 0, r = 0, b = 0;
    w_.LogicalToWindow(area.left, area.top, l, t);
    w_.LogicalToWindow(area.right, area.bottom, r, b);
    SDL_Rect rect{l, t, std::max(1, r - l), std::max(1, b - t)};
    SDL_SetTextInputRect(&rect);
    SDL_StartTextInput();
  }
  void StopTextInput() override { SDL_StopTextInput(); }
  bool IsTextInputActive() override { return SDL_IsTextInputActive() == SDL_TRUE; }

  std::string ClipboardText() override {
    char* text = SDL_GetClipboardText();
    if (!text) return {};
    std::string out = Utf8ToCp932Lossy(text);
    SDL_free(text);
    return out;
  }
  void SetClipboardText(const std::string& cp932) override { SDL_SetClipboardText(Cp932ToUtf8(cp932).c_str()); }

 private:
  bool Convert(const SDL_Event& e, InputEvent& out) {
    switch (e.type) {
      case SDL_QUIT:
        out.type = EventType::Quit;
        return true;
      case SDL_WINDOWEVENT:
        switch (e.window.event) {
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            out.type = EventType::Activate;
            return true;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            for (bool& k : keys_) k = false;
            out.type = EventType::Deactivate;
            return true;
          case SDL_WINDOWEVENT_EXPOSED:
          case SDL_WINDOWEVENT_SIZE_CHANGED:
          case SDL_WINDOWEVENT_RESTORED:
            out.type = EventType::Expose;
            return true;
          case SDL_WINDOWEVENT_LEAVE:
            out.type = EventType::MouseLeave;
            return true;
          default:
            return false;
        }
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const int32_t code = VkFromKey(static_cast<uint32_t>(e.key.keysym.scancode), e.key.keysym.sym);
        if (code <= 0 || code > 255) return false;
        const bool down = e.type == SDL_KEYDOWN;
        keys_[code] = down;
        out.type = down ? EventType::KeyDown : EventType::KeyUp;
        out.vk = code;
        out.repeat = e.key.repeat != 0;
        out.mods = Mods(e.key.keysym.mod);
        return true;
      }
      case SDL_MOUSEMOTION:
        mouseX_ = e.motion.x;
        mouseY_ = e.motion.y;
        out.type = EventType::MouseMove;
        out.x = mouseX_;
        out.y = mouseY_;
        return true;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        int code = 0;
        switch (e.button.button) {
          case SDL_BUTTON_LEFT:
            out.button = MouseButton::Left;
            code = vk::kLButton;
            break;
          case SDL_BUTTON_RIGHT:
            out.button = MouseButton::Right;
            code = vk::kRButton;
            break;
          case SDL_BUTTON_MIDDLE:
            out.button = MouseButton::Middle;
            code = vk::kMButton;
            break;
          default:
            return false;
        }
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        keys_[code] = down;
        mouseX_ = e.button.x;
        mouseY_ = e.button.y;
        out.type = down ? EventType::MouseDown : EventType::MouseUp;
        out.x = mouseX_;
        out.y = mouseY_;
        return true;
      }
      case SDL_MOUSEWHEEL: {
        int32_t y = e.wheel.y;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
        if (y == 0) return false;
        out.type = EventType::MouseWheel;
        out.wheel = y;
        out.x = mouseX_;
        out.y = mouseY_;
        return true;
      }
      case SDL_TEXTINPUT:
        out.type = EventType::TextInput;
        out.text = Utf8ToCp932Lossy(e.text.text);
        return !out.text.empty();
      case SDL_TEXTEDITING:
        out.type = EventType::TextEditing;
        out.text = Utf8ToCp932Lossy(e.edit.text);
        out.cursor = Cp932Offset(e.edit.text, e.edit.start);
        return true;
      default:
        return false;
    }
  }

  SdlWindow& w_;
  bool keys_[256] = {};
  int32_t mouseX_ = 0, mouseY_ = 0;
};

}  // namespace

std::unique_ptr<Input> MakeSdlInput(SdlWindow& shared) { return std::make_unique<SdlInput>(shared); }

}  // namespace qubo::platform
